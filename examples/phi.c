// SPDX-License-Identifier: MIT
/*
 * A C host of zelq: prints Phi(x) for every argument x, through the same
 * 8-bit entry that Maple calls. Build against an installed zelq with
 *   cc phi.c $(pkg-config --cflags --libs zelq)
 * or, in CMake, find_package(zelq) and link zelq::zelq.
 */
#include <stdio.h>
#include <string.h>

#include "zelq.h"

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        /* The length of the text already in the buffer sets the capacity;
         * 115 characters ask for the most the entry gives. */
        char y[116];
        memset(y, ' ', 115);
        y[115] = '\0';
        int n = str_Zelq_str_Maple(argv[i], y);
        printf("Phi(%s) = %.*s\n", argv[i], n, y);
    }
    return 0;
}
