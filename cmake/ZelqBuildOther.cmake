# SPDX-License-Identifier: MIT
# Brings the other Windows build tree (-DOTHER=..., preset -DPRESET=...) up
# to date before its binaries go into the zip.
if(NOT EXISTS ${OTHER}/CMakeCache.txt)
  message(FATAL_ERROR "The zip holds both Windows builds, and ${OTHER} is not configured: "
                      "cmake --preset ${PRESET} && cmake --build --preset ${PRESET}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${OTHER} --target zelq qfloat zelq_cli RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "building ${OTHER} failed")
endif()
