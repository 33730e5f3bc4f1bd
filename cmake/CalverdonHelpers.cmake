# Small helpers shared by all targets of the project.

# Warnings are private to each target, so that consumers of our headers
# are not forced to build with them.
function(calverdon_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
endfunction()

# calverdon_add_test(NAME SOURCES file... [LIBS target...] [GTEST] [ENV VAR=value...])
# Builds one test program and registers it with CTest. GTEST links GoogleTest
# with its main. Every test runs in the C.UTF-8 locale, headless for Qt, with
# CALVERDON_TEST_DATA pointing at tests/data.
function(calverdon_add_test name)
    cmake_parse_arguments(ARG "GTEST" "" "SOURCES;LIBS;ENV" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    calverdon_warnings(${name})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    target_compile_definitions(${name} PRIVATE
        CALVERDON_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data")
    if(ARG_GTEST)
        find_package(GTest REQUIRED)
        target_link_libraries(${name} PRIVATE GTest::gmock GTest::gtest_main)
        include(GoogleTest)
        gtest_discover_tests(${name}
            DISCOVERY_TIMEOUT 60
            PROPERTIES ENVIRONMENT "LC_ALL=C.UTF-8;QT_QPA_PLATFORM=offscreen;${ARG_ENV}")
    else()
        add_test(NAME ${name} COMMAND ${name})
        set_tests_properties(${name} PROPERTIES
            ENVIRONMENT "LC_ALL=C.UTF-8;QT_QPA_PLATFORM=offscreen;${ARG_ENV}")
    endif()
endfunction()

# calverdon_add_cli_test(NAME name ARGS arg... [STDIN text] [EXPECT_OUT regex]
#                        [EXPECT_ERR regex] EXPECT_EXIT code)
# Runs calverdon-cli end to end with ARGS (generator expressions allowed),
# its standard input fed from STDIN (empty when not given). The test passes
# when the exit status is EXPECT_EXIT, standard output matches EXPECT_OUT
# and, when given, standard error matches EXPECT_ERR; the expressions are
# CMake's, anchored with ^ and $ at the start and end of the whole output.
# The case is written to a file of its own that tests/cli/run-cli.cmake
# reads, so that arguments, input and expressions reach the tool unchanged
# by any shell; each value there is a bracket argument that starts with a
# newline, which CMake drops, so that a value's own first newline stays.
# Empty arguments are not passed on.
function(calverdon_add_cli_test)
    cmake_parse_arguments(PARSE_ARGV 0 ARG "" "NAME;STDIN;EXPECT_OUT;EXPECT_ERR;EXPECT_EXIT" "ARGS")
    if(NOT ARG_NAME OR NOT DEFINED ARG_EXPECT_EXIT)
        message(FATAL_ERROR "calverdon_add_cli_test: NAME and EXPECT_EXIT are required")
    endif()
    set(case "${CMAKE_CURRENT_BINARY_DIR}/cli-cases/${ARG_NAME}")
    set(content "set(PROGRAM [==[$<TARGET_FILE:calverdon-cli>]==])\nset(ARGS")
    foreach(arg IN LISTS ARG_ARGS)
        string(APPEND content " [==[\n${arg}]==]")
    endforeach()
    string(APPEND content ")\nset(EXPECT_EXIT [==[\n${ARG_EXPECT_EXIT}]==])\n")
    string(APPEND content "set(EXPECT_OUT [==[\n${ARG_EXPECT_OUT}]==])\n")
    if(DEFINED ARG_EXPECT_ERR)
        string(APPEND content "set(EXPECT_ERR [==[\n${ARG_EXPECT_ERR}]==])\n")
    endif()
    if(DEFINED ARG_STDIN)
        file(GENERATE OUTPUT "${case}.stdin" CONTENT "${ARG_STDIN}")
        string(APPEND content "set(STDIN [==[${case}.stdin]==])\n")
    endif()
    file(GENERATE OUTPUT "${case}.cmake" CONTENT "${content}")
    add_test(NAME ${ARG_NAME}
        COMMAND ${CMAKE_COMMAND} "-DCASE=${case}.cmake" -P "${PROJECT_SOURCE_DIR}/tests/cli/run-cli.cmake")
    set_tests_properties(${ARG_NAME} PROPERTIES ENVIRONMENT "LC_ALL=C.UTF-8;QT_QPA_PLATFORM=offscreen")
endfunction()
