# SPDX-License-Identifier: MIT
# Runs the i386 test program under qemu-i386-static in the folder of its
# libzelq.so. Passes only if the program exits with 0 and its summary says
# that no applicable check failed: a program that dies before the summary, or
# whose exit code hides failures, fails the test.
#   cmake -DQEMU=... -DPROGRAM=... -DDIR=... -P run_standin.cmake
foreach(v QEMU PROGRAM DIR)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "run_standin.cmake: ${v} is not set")
  endif()
endforeach()
execute_process(COMMAND ${QEMU} ${PROGRAM} ${DIR} WORKING_DIRECTORY ${DIR} RESULT_VARIABLE rc OUTPUT_VARIABLE out
                ERROR_VARIABLE err TIMEOUT 240)
message("${out}${err}")
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} under ${QEMU}: exit ${rc}")
endif()
if(NOT out MATCHES "\n([0-9]+) checks, 0 failed, ([0-9]+) not applicable\n")
  message(FATAL_ERROR "${PROGRAM}: no summary with 0 failed checks")
endif()
if(CMAKE_MATCH_1 LESS 1000)
  message(FATAL_ERROR "${PROGRAM}: only ${CMAKE_MATCH_1} checks ran")
endif()
