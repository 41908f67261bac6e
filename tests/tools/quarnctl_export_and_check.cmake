# Exports both built-in catalogues with the real quarnctl and checks them.
file(REMOVE quarnctl-lock.xml quarnctl-unlock.xml)
foreach(which lock unlock)
    execute_process(COMMAND ${EMULATOR} ${QUARNCTL} export ${which} quarnctl-${which}.xml
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "export ${which} ended with ${status}")
    endif()
    execute_process(COMMAND ${EMULATOR} ${QUARNCTL} check quarnctl-${which}.xml
                    RESULT_VARIABLE status OUTPUT_VARIABLE output)
    if(NOT status EQUAL 0 OR NOT output MATCHES "No findings in 371 rows")
        message(FATAL_ERROR "check ${which} ended with ${status}: ${output}")
    endif()
endforeach()
execute_process(COMMAND ${EMULATOR} ${QUARNCTL} diff quarnctl-lock.xml quarnctl-unlock.xml
                RESULT_VARIABLE status)
if(NOT status EQUAL 1)
    message(FATAL_ERROR "diff of lock and unlock ended with ${status}")
endif()
