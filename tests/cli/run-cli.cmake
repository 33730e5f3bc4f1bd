# One end-to-end case of calverdon-cli, as calverdon_add_cli_test
# (cmake/CalverdonHelpers.cmake) wrote it:
#   cmake -DCASE=<case file> -P run-cli.cmake
# Runs the tool and fails with what it printed unless the exit status and
# the outputs are the expected ones.
include("${CASE}")
if(NOT DEFINED STDIN)
    set(STDIN /dev/null)
endif()
execute_process(COMMAND "${PROGRAM}" ${ARGS}
    INPUT_FILE "${STDIN}"
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err
    RESULT_VARIABLE status)

set(wrong "")
if(NOT status STREQUAL EXPECT_EXIT)
    string(APPEND wrong "exit status ${status}, expected ${EXPECT_EXIT}\n")
endif()
if(NOT out MATCHES "${EXPECT_OUT}")
    string(APPEND wrong "standard output does not match: ${EXPECT_OUT}\n")
endif()
if(DEFINED EXPECT_ERR AND NOT err MATCHES "${EXPECT_ERR}")
    string(APPEND wrong "standard error does not match: ${EXPECT_ERR}\n")
endif()
if(wrong)
    message(FATAL_ERROR "${wrong}--- standard output:\n${out}--- standard error:\n${err}")
endif()
