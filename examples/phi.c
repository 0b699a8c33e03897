// SPDX-License-Identifier: MIT
/*
 * A C host of zelq: prints Phi(x) for every argument x, through the same
 * 8-bit entry that Maple calls, and then takes the result back through the
 * inverse Phi^-1 (ndtri_Maple), which returns x to about 100 digits. For an
 * upper-tail probability q, ndtri_Maple(q, y, 1) gives the z with
 * 1 - Phi(z) = q without ever forming 1 - q. Build against an installed zelq
 * with
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
         * 115 characters ask for the most the entries give. */
        char p[116], z[116];
        memset(p, ' ', 115);
        p[115] = '\0';
        int n = str_Zelq_str_Maple(argv[i], p);
        printf("Phi(%s) = %.*s\n", argv[i], n, p);
        memset(z, ' ', 115);
        z[115] = '\0';
        n = ndtri_Maple(p, z, 0);
        printf("Phi^-1 of that = %.*s\n", n, z);
    }
    return 0;
}
