# SPDX-License-Identifier: MIT
# Cross build for 32-bit Windows with MinGW-w64 (i686). Programs run through
# Wine's 32-bit loader (or, where the kernel cannot run 32-bit code, in the
# emulated machine of tests/windows/guest).
set(ZELQ_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(ZELQ_WINE_LOADER_NAMES wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
