# SPDX-License-Identifier: MIT
# Shared by the install and package checks: a fresh WORK_DIR, run() for one
# step that must succeed (its output in run_out), and expect_phi() for a
# program's output that must be Phi(-1.5).
set(PHI_M1_5 "6\\.68072012688580660[0-9]*e-2")
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}\n${err}")
  endif()
  set(run_out "${out}" PARENT_SCOPE)
endfunction()

function(expect_phi what text)
  if(NOT text MATCHES "${PHI_M1_5}")
    message(FATAL_ERROR "${what} printed '${text}', not Phi(-1.5)")
  endif()
  message(STATUS "${what}: ${text}")
endfunction()
