// The few Win32 loader calls that tests/windows/zelq_dll_test.cpp makes,
// over dlopen and dlsym, so that the same program runs as a 32-bit x86 Linux
// program against libzelq.so built as a stand-in for zelq.dll (stdcall
// entries, five exported names). ELF has no export ordinals: lookups by
// ordinal find nothing, and ZELQ_PE_ORDINALS tells the program to leave
// those checks out rather than count them.
#pragma once

#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#define ZELQ_PE_ORDINALS 0

#define WINAPI __attribute__((stdcall))
typedef int BOOL;
typedef unsigned long DWORD;
typedef void *HMODULE;
typedef int(WINAPI *FARPROC)(void);

// Ordinals travel as pointer values below 0x10000, as on Windows.
#define MAKEINTRESOURCEA(i) ((const char *)(uintptr_t)(uint16_t)(i))

// ERROR_MOD_NOT_FOUND: the one failure LoadLibraryA reports here.
static inline DWORD GetLastError(void)
{
    return 126;
}

// "zelq.dll" is looked up as ./libzelq.so: beside the program's working
// directory, as the Windows loader looks in the program's folder. Prints
// the dynamic loader's reason when the library does not load.
static inline HMODULE LoadLibraryA(const char *name)
{
    char path[256];
    size_t n = strlen(name);
    if (n > 4 && strcmp(name + n - 4, ".dll") == 0)
        n -= 4;
    if (n + 12 > sizeof path)
        return NULL;
    snprintf(path, sizeof path, "./lib%.*s.so", (int)n, name);
    HMODULE h = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!h)
        printf("dlopen(%s): %s\n", path, dlerror());
    return h;
}

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
