# Runs the fuzz target for SECONDS seconds on a copy of the seed corpus in a
# temporary folder, so that the inputs it adds never land in the source tree.
# An input that fails is kept in ARTIFACTS for replay (engine_fuzz <file>).
execute_process(COMMAND mktemp -d OUTPUT_VARIABLE work OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
file(COPY ${CORPUS}/ DESTINATION ${work})
file(MAKE_DIRECTORY ${ARTIFACTS})
execute_process(COMMAND ${FUZZER} -max_total_time=${SECONDS} -max_len=512 -timeout=10 -print_final_stats=1
                        -artifact_prefix=${ARTIFACTS}/engine_fuzz- ${work}
                RESULT_VARIABLE status)
file(REMOVE_RECURSE ${work})
if(NOT status EQUAL 0)
    message(FATAL_ERROR "engine_fuzz failed (${status}); the failing input is in ${ARTIFACTS}")
endif()
