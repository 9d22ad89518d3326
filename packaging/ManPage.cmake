# Writes the manual page a program prints with its hidden --help-man option:
#   cmake -DPROGRAM=path -DOUTPUT=page.1 -P ManPage.cmake
# No display is needed: both programs answer before any window exists.
execute_process(COMMAND ${PROGRAM} --help-man
                OUTPUT_FILE ${OUTPUT}.tmp
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    file(REMOVE ${OUTPUT}.tmp)
    message(FATAL_ERROR "${PROGRAM} --help-man failed: ${status}")
endif()
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
