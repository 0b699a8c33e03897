# SPDX-License-Identifier: MIT
# Cross build for 64-bit Windows with MinGW-w64 (x86_64). Programs run
# through Wine's 64-bit loader, named directly: /usr/bin/wine would start the
# 32-bit loader first, which not every machine can execute.
set(ZELQ_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(ZELQ_WINE_LOADER_NAMES wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
