// SPDX-License-Identifier: MIT
// The few Win32 loader calls that tests/windows/zelq_dll_test.cpp makes on
// a loaded module, over dlsym and dlclose, so that the same program runs as
// a 32-bit x86 Linux program against libzelq.so built as a stand-in for
// zelq.dll (stdcall entries, five exported names). ELF has no export
// ordinals, version resources or import search: ZELQ_PE 0 tells the program
// to report those checks as not applicable.
#pragma once

#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#define ZELQ_PE 0

#define WINAPI __attribute__((stdcall))
typedef int BOOL;
typedef void *HMODULE;
typedef int(WINAPI *FARPROC)(void);

// Ordinals travel as pointer values below 0x10000, as on Windows.
#define MAKEINTRESOURCEA(i) ((const char *)(uintptr_t)(uint16_t)(i))

// By name: the dynamic symbol, if the library exports it. By ordinal: none.
static inline FARPROC GetProcAddress(HMODULE h, const char *name)
{
    if ((uintptr_t)name < 0x10000)
        return NULL;
    return (FARPROC)dlsym(h, name);
}

static inline BOOL FreeLibrary(HMODULE h)
{
    return dlclose(h) == 0;
}
