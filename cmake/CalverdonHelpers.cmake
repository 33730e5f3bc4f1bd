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
