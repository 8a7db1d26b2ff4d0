# Runs one bench for ctest:
#   cmake -DBENCH=<program> "-DARGS=<arguments>" "-DREPORT=<regex>" -DLIMIT=<s> -P run_bench.cmake
# and fails when it has not ended within LIMIT seconds (it is ended then),
# ends with a failure, or prints no line that matches REPORT.
separate_arguments(args UNIX_COMMAND "${ARGS}")
execute_process(COMMAND ${BENCH} ${args} TIMEOUT ${LIMIT}
                RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
message("${out}${err}")
if(NOT code STREQUAL "0")
  message(FATAL_ERROR "${BENCH} ${ARGS}: ${code}")
endif()
if(NOT out MATCHES "${REPORT}")
  message(FATAL_ERROR "${BENCH} ${ARGS} printed no report line (${REPORT})")
endif()
