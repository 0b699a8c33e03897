// SPDX-License-Identifier: MIT
/*
 * Multi-limb unsigned fixed-point kernels for the exp and log evaluations.
 * A value is an array of 64-bit limbs, least significant first. "Fraction"
 * arrays of n limbs stand for A / 2^(64n); "mixed" arrays carry one more limb
 * on top holding a small integer part. Differences are taken modulo the
 * array width (two's complement), so signed intermediate values work too.
 * Every routine is exact unless its comment states an error bound, given in
 * units U of the last limb (U = 2^-64n for an n-limb fraction).
 */
#ifndef ZELQ_QF_FIXED_H
#define ZELQ_QF_FIXED_H

#include "qf_fixed32.h"
#include "qf_internal.h"

#include <stdint.h>
#include <string.h>

/* Widest array any caller uses (47 fraction limbs, integer limb, spare). */
#define QF_FX_MAX 50

/* r = a + b over n limbs; returns the carry out. r may alias a or b. */
static inline uint64_t qf_fx_add(uint64_t *r, const uint64_t *a, const uint64_t *b, int n)
{
    uint64_t c = 0;
    for (int i = 0; i < n; i++) {
        uint64_t s = a[i] + c;
        c = s < c;
        uint64_t t = s + b[i];
        c += t < s;
        r[i] = t;
    }
    return c;
}

/* r = a - b over n limbs; returns the borrow out. r may alias a or b. */
static inline uint64_t qf_fx_sub(uint64_t *r, const uint64_t *a, const uint64_t *b, int n)
{
    uint64_t c = 0;
    for (int i = 0; i < n; i++) {
        uint64_t s = a[i] - c;
        c = s > a[i];
        uint64_t t = s - b[i];
        c += t > s;
        r[i] = t;
    }
    return c;
}

/* a = -a over n limbs (two's complement). */
static inline void qf_fx_neg(uint64_t *a, int n)
{
    uint64_t c = 1;
    for (int i = 0; i < n; i++) {
        uint64_t t = ~a[i] + c;
        c = c && t == 0;
        a[i] = t;
    }
}

/* Adds v * 2^(64 pos) to a (n limbs), carrying upwards; the carry out of the
 * top limb is dropped (modular). */
static inline void qf_fx_add_limb(uint64_t *a, int n, int pos, uint64_t v)
{
    for (int i = pos; i < n && v; i++) {
        uint64_t t = a[i] + v;
        v = t < v;
        a[i] = t;
    }
}

/* Nonzero when all n limbs of a are zero. */
static inline int qf_fx_is_zero(const uint64_t *a, int n)
{
    uint64_t any = 0;
    for (int i = 0; i < n; i++)
        any |= a[i];
    return any == 0;
}

/* -1, 0, 1 as a <, =, > b (unsigned, n limbs). */
static inline int qf_fx_cmp(const uint64_t *a, const uint64_t *b, int n)
{
    for (int i = n - 1; i >= 0; i--)
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    return 0;
}

/*
 * Product of two n-limb fractions (n >= 2): r = a * b / 2^(64n) - delta with
 * 0 <= delta < 1 + n * 2^-60 units of r's last limb. Only the partial
 * products of columns n-2 and up are formed: what the lower columns would
 * carry in is below n * 2^-64 units, the rest is the truncation. r must not
 * alias a or b.
 */
static inline void qf_fx_mul_frac(uint64_t *r, const uint64_t *a, const uint64_t *b, int n)
{
#if defined(QF_FX_WORDS32)
    qf_fx_mul_frac_words(r, a, b, n); // 32-bit targets: on words, same bound
    return;
#endif
    uint64_t c0 = 0, c1 = 0, c2 = 0; // column accumulator c2:c1:c0
#pragma GCC unroll 16
    for (int d = n - 2; d <= 2 * n - 2; d++) {
        int lo = d - (n - 1) > 0 ? d - (n - 1) : 0;
        int hi = d < n - 1 ? d : n - 1;
#pragma GCC unroll 16
        for (int i = lo; i <= hi; i++) {
            uint64_t ph, pl;
            qf_mul64(a[i], b[d - i], &ph, &pl);
#if defined(__SIZEOF_INT128__) && defined(__x86_64__) && defined(__GNUC__)
            // three-limb add with carries; compilers do not emit this chain well
            __asm__("addq %3, %0\n\tadcq %4, %1\n\tadcq $0, %2"
                    : "+&r"(c0), "+&r"(c1), "+&r"(c2)
                    : "r"(pl), "r"(ph)
                    : "cc");
#else
            c0 += pl;
            ph += c0 < pl; // ph <= 2^64 - 2: no overflow
            c1 += ph;
            c2 += c1 < ph;
#endif
        }
        if (d >= n)
            r[d - n] = c0;
        c0 = c1;
        c1 = c2;
        c2 = 0;
    }
    r[n - 1] = c0;
}

/*
 * Short product for Horner steps whose result is later scaled down: t = a * b
 * from the top m limbs of the n-limb fractions a and b (2 <= m <= n), t's
 * lower n - m limbs zero. Below the exact product by less than
 * (a + b + 1.01) 2^(-64m). r must not alias a or b.
 */
static inline void qf_fx_mul_top(uint64_t *t, const uint64_t *a, const uint64_t *b, int n, int m)
{
    qf_fx_mul_frac(t + (n - m), a + (n - m), b + (n - m), m);
    for (int i = 0; i < n - m; i++)
        t[i] = 0;
}

/*
 * Limbs that Horner step n of a 7-limb polynomial in a variable below 2^-24
 * needs, when that step's error reaches the result scaled by 2^(-24n): enough
 * that 2^(-64m - 24n) stays below 2^-456, i.e. 2^-8 units of 2^-448.
 */
static inline int qf_fx_horner_limbs(int n)
{
    int m = (456 - 24 * n + 63) / 64;
    return m < 2 ? 2 : (m > 7 ? 7 : m);
}

/* r[0..n-1] = low n limbs of a * c; returns the limb above them. Exact. r
 * may alias a. */
static inline uint64_t qf_fx_mul_limb(uint64_t *r, const uint64_t *a, int n, uint64_t c)
{
#if defined(QF_FX_WORDS32)
    return qf_fx_mul_limb_words(r, a, n, c); // 32-bit targets: on words
#endif
    uint64_t carry = 0;
    for (int i = 0; i < n; i++) {
        uint64_t ph, pl;
        qf_mul64(a[i], c, &ph, &pl);
        pl += carry;
        ph += pl < carry;
        r[i] = pl;
        carry = ph;
    }
    return carry;
}

/*
 * Product of two mixed values of nf fraction limbs and one integer limb each
 * (a = I + f, b = J + g, small integer parts): r = I*J + I*g + J*f + f*g with
 * f*g formed by qf_fx_mul_frac, so r is below the exact product by less than
 * 1 + nf * 2^-60 units. The integer part must stay below 2^64. r must not
 * alias a or b.
 */
static inline void qf_fx_mul_mixed(uint64_t *r, const uint64_t *a, const uint64_t *b, int nf)
{
    uint64_t t[QF_FX_MAX];
    qf_fx_mul_frac(r, a, b, nf);
    r[nf] = a[nf] * b[nf];
    if (b[nf]) {
        t[nf] = qf_fx_mul_limb(t, a, nf, b[nf]);
        qf_fx_add(r, r, t, nf + 1);
    }
    if (a[nf]) {
        t[nf] = qf_fx_mul_limb(t, b, nf, a[nf]);
        qf_fx_add(r, r, t, nf + 1);
    }
}

/* r = y * (1 + e) for a mixed y (nf + 1 limbs) and an nf-limb fraction e,
 * below the exact product by less than 1 + nf * 2^-60 units. r must not alias
 * y or e. */
static inline void qf_fx_mul_one_plus(uint64_t *r, const uint64_t *y, const uint64_t *e, int nf)
{
    uint64_t t[QF_FX_MAX];
    qf_fx_mul_frac(r, y, e, nf);
    r[nf] = 0;
    qf_fx_add(r, r, y, nf + 1);
    t[nf] = qf_fx_mul_limb(t, e, nf, y[nf]);
    qf_fx_add(r, r, t, nf + 1);
}

/* Bits [b, b + 64) of the integer in a (n limbs); bits outside it read 0. */
static inline uint64_t qf_fx_bits_at(const uint64_t *a, int n, long b)
{
    long q = b >= 0 ? b / 64 : -((-b + 63) / 64);
    int o = (int)(b - 64 * q);
    uint64_t lo = (q >= 0 && q < n) ? a[q] : 0;
    uint64_t hi = (q + 1 >= 0 && q + 1 < n) ? a[q + 1] : 0;
    return o ? (lo >> o) | (hi << (64 - o)) : lo;
}

/* r (nr limbs) = floor(a * 2^s) for the integer a (na limbs), s of either
 * sign; bits shifted past the top of r are lost. r must not alias a. */
static inline void qf_fx_shift(uint64_t *r, int nr, const uint64_t *a, int na, long s)
{
    for (int i = 0; i < nr; i++)
        r[i] = qf_fx_bits_at(a, na, 64L * i - s);
}

/* a = floor(a / d) in place (n limbs, 0 < d < 2^32), by 32-bit halves so that
 * only 64-bit divisions are needed. */
static inline void qf_fx_div_small(uint64_t *a, int n, uint32_t d)
{
    uint64_t rem = 0;
    for (int i = n - 1; i >= 0; i--) {
        uint64_t cur = (rem << 32) | (a[i] >> 32);
        uint64_t qh = cur / d;
        rem = cur % d;
        cur = (rem << 32) | (a[i] & 0xFFFFFFFFull);
        uint64_t ql = cur / d;
        rem = cur % d;
        a[i] = (qh << 32) | ql;
    }
}

#ifdef __cplusplus
extern "C" {
#endif

/* Rounds L * 2^scale (L: the integer in le, n limbs, n <= QF_FX_MAX) to a
 * qfloat with the given sign, by qf_round_pack. */
void qf_fx_round(qfloat *out, int neg, int32_t scale, const uint64_t *le, int n);

/*
 * Rounding decision: the exact value lies within 2^errbit units of
 * approx * 2^scale (approx: n limbs, 0 <= errbit < 64 * (n - 1), top limb
 * with headroom). Rounds both ends of that interval; when they agree the
 * rounding of the exact value is decided (rounding is monotone) and stored
 * in out, and 1 is returned. Returns 0 when the interval straddles a
 * rounding boundary or reaches zero; out is then untouched.
 */
int qf_fx_decide(qfloat *out, int neg, int32_t scale, const uint64_t *approx, int n, int errbit);

#ifdef __cplusplus
}
#endif

#endif
