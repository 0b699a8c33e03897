// SPDX-License-Identifier: MIT
/*
 * The multiplication kernels of qf_fixed.h on 32-bit words, for targets
 * without 128-bit integers (i386), where a 64x64-bit limb product costs four
 * multiplications and a dozen additions in C. On a little-endian target an
 * array of 64-bit limbs, least significant first, is in memory the array of
 * its 32-bit words, least significant first, so these read and write the
 * same arrays as words, one 32x32 -> 64 multiplication per word product.
 * Each meets the error bound of the limb kernel it stands for.
 */
#ifndef ZELQ_QF_FIXED32_H
#define ZELQ_QF_FIXED32_H

#include "qf_words32.h"

#if defined(QF_WORDS32) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ &&           \
    defined(__GNUC__)
#define QF_FX_WORDS32 1

/* A 32-bit word that may alias the 64-bit limbs it is part of. */
typedef uint32_t qf_fx_word __attribute__((may_alias));

/*
 * qf_fx_mul_frac on words: r = a * b / 2^(64n) - delta with 0 <= delta <
 * 1 + 2n * 2^-64 units of r's last limb (within the limb kernel's
 * 1 + n * 2^-60). With N = 2n words, the columns N-3 and up (words counted
 * from the least significant) are formed: the 1 + 2 + ... + (N-3) products
 * left out sum to less than (N-3) * 2^(32(N-2)) (1 + 2^-31), below
 * 2n * 2^-64 units of 2^(32N); the rest is the truncation (below one unit).
 * r must not alias a or b.
 */
static inline void qf_fx_mul_frac_words(uint64_t *r, const uint64_t *a, const uint64_t *b, int n)
{
    const qf_fx_word *x = (const qf_fx_word *)a, *y = (const qf_fx_word *)b;
    qf_fx_word *z = (qf_fx_word *)r;
    const int N = 2 * n;
    uint32_t c0 = 0, c1 = 0, c2 = 0; // column accumulator c2:c1:c0
#pragma GCC unroll 32
    for (int k = N - 3; k <= 2 * N - 2; k++) {
        int lo = k - (N - 1) > 0 ? k - (N - 1) : 0;
        int hi = k < N - 1 ? k : N - 1;
#pragma GCC unroll 32
        for (int i = lo; i <= hi; i++)
            qf_mac32(x[i], y[k - i], &c0, &c1, &c2);
        if (k >= N)
            z[k - N] = c0;
        c0 = c1;
        c1 = c2;
        c2 = 0;
    }
    z[N - 1] = c0;
}

/* qf_fx_mul_limb on words: r[0..n-1] = low n limbs of a * c; returns the
 * limb above them. Exact. r may alias a. */
static inline uint64_t qf_fx_mul_limb_words(uint64_t *r, const uint64_t *a, int n, uint64_t c)
{
    const qf_fx_word *x = (const qf_fx_word *)a;
    qf_fx_word *z = (qf_fx_word *)r;
    const int N = 2 * n;
    const uint32_t cl = (uint32_t)c, ch = (uint32_t)(c >> 32);
    uint32_t c0 = 0, c1 = 0, c2 = 0, prev = 0;
    for (int k = 0; k < N; k++) {
        uint32_t xk = x[k]; // read before z[k] is written: r may be a
        qf_mac32(xk, cl, &c0, &c1, &c2);
        qf_mac32(prev, ch, &c0, &c1, &c2);
        z[k] = c0;
        c0 = c1;
        c1 = c2;
        c2 = 0;
        prev = xk;
    }
    qf_mac32(prev, ch, &c0, &c1, &c2);
    return ((uint64_t)c1 << 32) | c0;
}

#endif

#endif
