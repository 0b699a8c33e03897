// SPDX-License-Identifier: MIT
/*
 * Library entry routine. The library keeps no state, so no loader
 * notification has anything to set up or release.
 */
#include "zelq.h"

/* Returns 1 for every reason; reads neither handle nor reserved pointer. */
int ZELQ_CALL LibMain(void *hDLLInst, unsigned fdwReason, void *lpvReserved)
{
    (void)hDLLInst;
    (void)fdwReason;
    (void)lpvReserved;
    return 1;
}

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

/* The runtime's start-up routine calls DllMain for each notification; it
 * forwards all three arguments to LibMain and hands back its result. */
extern "C" BOOL WINAPI DllMain(HINSTANCE hDLLInst, DWORD fdwReason, LPVOID lpvReserved)
{
    return LibMain(hDLLInst, fdwReason, lpvReserved);
}
#endif
