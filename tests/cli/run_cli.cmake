# SPDX-License-Identifier: MIT
# Runs the zelq command once and checks its exit status, standard output and
# standard error. Invoked as: cmake -DTOOL=... [-D...] -P run_cli.cmake
#   EMULATOR       program that runs TOOL (a cross build's emulator), if any
#   ARGS           arguments, separated by commas
#   STDIN_LINES    lines fed to standard input, separated by commas
#   STDIN_FILE     file fed to standard input (instead of STDIN_LINES)
#   EXPECT_RC      expected exit status (default 0)
#   EXPECT_STDOUT  regex for standard output, its lines joined by commas
#   EXPECT_STDERR  regex for standard error, lines joined the same way
#   EXPECT_LINES   expected number of output lines
#   EXPECT_ERR_LINES  expected number of lines on standard error
cmake_minimum_required(VERSION 3.25)
if(NOT DEFINED EXPECT_RC)
  set(EXPECT_RC 0)
endif()
string(REPLACE "," ";" args "${ARGS}")

set(input_opt)
if(DEFINED STDIN_LINES)
  string(REPLACE "," "\n" text "${STDIN_LINES}")
  string(MD5 tag "${ARGS}|${STDIN_LINES}")
  set(STDIN_FILE "${CMAKE_CURRENT_BINARY_DIR}/stdin-${tag}.txt")
  file(WRITE "${STDIN_FILE}" "${text}\n")
endif()
if(DEFINED STDIN_FILE)
  set(input_opt INPUT_FILE "${STDIN_FILE}")
endif()

execute_process(COMMAND ${EMULATOR} "${TOOL}" ${args} ${input_opt} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)

# Lines joined by commas, without the final line end, so that one-line
# regexes can describe several lines.
function(join_lines text var)
  string(REGEX REPLACE "\n$" "" text "${text}")
  string(REPLACE "\n" "," text "${text}")
  set(${var} "${text}" PARENT_SCOPE)
endfunction()
join_lines("${out}" out_joined)
join_lines("${err}" err_joined)

set(problems)
if(NOT rc STREQUAL EXPECT_RC)
  list(APPEND problems "exit status ${rc}, expected ${EXPECT_RC}")
endif()
if(DEFINED EXPECT_STDOUT AND NOT out_joined MATCHES "${EXPECT_STDOUT}")
  list(APPEND problems "standard output does not match ${EXPECT_STDOUT}")
endif()
if(DEFINED EXPECT_STDERR AND NOT err_joined MATCHES "${EXPECT_STDERR}")
  list(APPEND problems "standard error does not match ${EXPECT_STDERR}")
endif()
foreach(stream out err)
  set(want EXPECT_LINES)
  if(stream STREQUAL "err")
    set(want EXPECT_ERR_LINES)
  endif()
  if(DEFINED ${want})
    string(REGEX MATCHALL "\n" ends "${${stream}}")
    list(LENGTH ends nlines)
    if(NOT nlines EQUAL ${want})
      list(APPEND problems "${nlines} lines on std${stream}, expected ${${want}}")
    endif()
  endif()
endforeach()
if(problems)
  string(REPLACE ";" "\n  " problems "${problems}")
  message(FATAL_ERROR "zelq ${ARGS}\n  ${problems}\n--- stdout:\n${out}--- stderr:\n${err}")
endif()
