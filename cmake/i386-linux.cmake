# SPDX-License-Identifier: MIT
# 32-bit x86 Linux programs from an x86-64 Debian host: g++ -m32 (g++-multilib)
# against the i386 multiarch libraries of Debian's :i386 packages. Used by the
# bench32 preset, so that the benchmarks measure the code that the 32-bit DLL
# runs (no 128-bit integers, 32-bit limbs in GMP, MPFR and FLINT), and by the
# test32 presets, which run the native test suite as 32-bit programs.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
# pkg-config (MPFR) must see only the i386 .pc files.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig)

# Running the programs (tests, test discovery): natively where the kernel runs
# 32-bit x86 code, otherwise under qemu-i386-static (some hosts have IA-32
# emulation switched off). ZELQ_I386_QEMU: AUTO probes the kernel once, ON
# always runs under qemu (to try that path on any host), OFF never does.
# try_compile projects read this file again; they run nothing.
get_property(zelq_in_try_compile GLOBAL PROPERTY IN_TRY_COMPILE)
if(NOT zelq_in_try_compile)
  set(ZELQ_I386_QEMU AUTO CACHE STRING "Run the 32-bit programs under qemu-i386-static: AUTO, ON or OFF")
  set_property(CACHE ZELQ_I386_QEMU PROPERTY STRINGS AUTO ON OFF)
  if(ZELQ_I386_QEMU STREQUAL "AUTO" AND NOT DEFINED ZELQ_I386_RUNS_NATIVELY)
    # A static program, so that only the kernel is asked, not the i386 loader.
    set(probe_dir ${CMAKE_BINARY_DIR}/CMakeFiles/i386-probe)
    file(MAKE_DIRECTORY ${probe_dir})
    file(WRITE ${probe_dir}/probe.c "int main(void) { return sizeof(void *) == 4 ? 0 : 1; }\n")
    execute_process(COMMAND ${CMAKE_C_COMPILER} -m32 -static probe.c -o probe WORKING_DIRECTORY ${probe_dir}
                    RESULT_VARIABLE build_rc OUTPUT_QUIET ERROR_QUIET)
    set(run_rc 1)
    if(build_rc EQUAL 0)
      execute_process(COMMAND ${probe_dir}/probe RESULT_VARIABLE run_rc OUTPUT_QUIET ERROR_QUIET TIMEOUT 30)
    endif()
    if(run_rc EQUAL 0)
      set(runs ON)
    else()
      set(runs OFF)
    endif()
    set(ZELQ_I386_RUNS_NATIVELY ${runs} CACHE BOOL "This machine runs 32-bit x86 programs natively")
  endif()
  if(ZELQ_I386_QEMU STREQUAL "ON" OR (ZELQ_I386_QEMU STREQUAL "AUTO" AND NOT ZELQ_I386_RUNS_NATIVELY))
    find_program(ZELQ_QEMU_I386_EMULATOR NAMES qemu-i386-static qemu-i386 REQUIRED)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${ZELQ_QEMU_I386_EMULATOR})
    message(STATUS "32-bit programs run under ${ZELQ_QEMU_I386_EMULATOR}")
  endif()
endif()
