// SPDX-License-Identifier: MIT
/*
 * The six-limb layer of the arithmetic operations: a significand as six
 * 64-bit limbs, MOST significant first (as in the packed layout; limb 5
 * uses only its high half), word moves between the two, limb-level
 * multiply and divide steps, and the rounding of a normal in-range result
 * without the general bit loops of qf_round_pack (which still decides every
 * other case). The big integers of the text conversions (qf_big_*,
 * qf_bigint.h) are a different layer: variable length, least significant
 * limb first.
 */
#ifndef ZELQ_QF_SIX_LIMBS_H
#define ZELQ_QF_SIX_LIMBS_H

#include "qf_internal.h"

#include <string.h>

#if defined(__GNUC__)
#define QF_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define QF_ALWAYS_INLINE inline
#endif

#if defined(__GNUC__)
#define QF_LIKELY(x) __builtin_expect(!!(x), 1)
#define QF_UNLIKELY(x) __builtin_expect(!!(x), 0)
#else
#define QF_LIKELY(x) (x)
#define QF_UNLIKELY(x) (x)
#endif

/* Limb loops have a fixed trip count; fully unrolled they keep the limbs
 * in registers (-O2 alone leaves most of them rolled). */
#if defined(__clang__)
#define QF_UNROLL _Pragma("unroll")
#elif defined(__GNUC__)
#define QF_UNROLL _Pragma("GCC unroll 16")
#else
#define QF_UNROLL
#endif

#define QF_LOW32 0xFFFFFFFFull
#define QF_HIGH32 0xFFFFFFFF00000000ull

/* QF_PORTABLE_ONLY selects the portable code on x86-64 as well, so that the
 * paths of 32-bit targets can be tested natively. */
#if defined(__x86_64__) && defined(__GNUC__) && !defined(QF_PORTABLE_ONLY)
#define QF_X86_64_ASM 1
#endif

/* s = a + b over six limbs; returns the carry out. s may be a or b. */
static inline unsigned qf_add6(uint64_t *s, const uint64_t *a, const uint64_t *b)
{
#if defined(QF_X86_64_ASM)
    uint64_t r0 = a[0], r1 = a[1], r2 = a[2], r3 = a[3], r4 = a[4], r5 = a[5];
    unsigned char c;
    __asm__("addq %12, %5\n\tadcq %11, %4\n\tadcq %10, %3\n\tadcq %9, %2\n\tadcq %8, %1\n\tadcq %7, %0\n\t"
            "setc %6"
            : "+r"(r0), "+r"(r1), "+r"(r2), "+r"(r3), "+r"(r4), "+r"(r5), "=q"(c)
            : "rm"(b[0]), "rm"(b[1]), "rm"(b[2]), "rm"(b[3]), "rm"(b[4]), "rm"(b[5])
            : "cc");
    s[0] = r0, s[1] = r1, s[2] = r2, s[3] = r3, s[4] = r4, s[5] = r5;
    return c;
#else
    unsigned c = 0;
    QF_UNROLL
    for (int i = QF_LIMBS - 1; i >= 0; i--) {
        uint64_t x = a[i] + b[i], y = x + c;
        c = (x < b[i]) | (y < x);
        s[i] = y;
    }
    return c;
#endif
}

/* s = a - b - borrow (borrow 0 or 1) over six limbs; returns the borrow
 * out. s may be a or b. */
static inline unsigned qf_sub6(uint64_t *s, const uint64_t *a, const uint64_t *b, unsigned borrow)
{
#if defined(QF_X86_64_ASM)
    uint64_t r0 = a[0], r1 = a[1], r2 = a[2], r3 = a[3], r4 = a[4], r5 = a[5];
    unsigned char c;
    __asm__("btl $0, %13\n\tsbbq %12, %5\n\tsbbq %11, %4\n\tsbbq %10, %3\n\tsbbq %9, %2\n\tsbbq %8, %1\n\t"
            "sbbq %7, %0\n\tsetc %6"
            : "+r"(r0), "+r"(r1), "+r"(r2), "+r"(r3), "+r"(r4), "+r"(r5), "=q"(c)
            : "rm"(b[0]), "rm"(b[1]), "rm"(b[2]), "rm"(b[3]), "rm"(b[4]), "rm"(b[5]), "r"(borrow)
            : "cc");
    s[0] = r0, s[1] = r1, s[2] = r2, s[3] = r3, s[4] = r4, s[5] = r5;
    return c;
#else
    unsigned c = borrow;
    QF_UNROLL
    for (int i = QF_LIMBS - 1; i >= 0; i--) {
        uint64_t x = a[i] - b[i], y = x - c;
        c = (a[i] < b[i]) | (x < c);
        s[i] = y;
    }
    return c;
#endif
}

/* Adds v to limb 5 of m[0..6) and carries it up; returns the carry out of
 * m[0] (then m is zero). */
static inline unsigned qf_add_at_limb5(uint64_t *m, uint64_t v)
{
#if defined(QF_X86_64_ASM)
    unsigned char c;
    __asm__("addq %7, %5\n\tadcq $0, %4\n\tadcq $0, %3\n\tadcq $0, %2\n\tadcq $0, %1\n\tadcq $0, %0\n\t"
            "setc %6"
            : "+r"(m[0]), "+r"(m[1]), "+r"(m[2]), "+r"(m[3]), "+r"(m[4]), "+r"(m[5]), "=q"(c)
            : "r"(v)
            : "cc");
    return c;
#else
    uint64_t c = v;
    QF_UNROLL
    for (int i = QF_LIMBS - 1; i >= 0; i--) {
        m[i] += c;
        c = m[i] < c;
    }
    return (unsigned)c;
#endif
}

/* Low 64 bits of (hi:lo) >> n, for 0 <= n < 64 (n = 0 included). */
static inline uint64_t qf_shrd(uint64_t lo, uint64_t hi, unsigned n)
{
#if defined(QF_X86_64_ASM)
    __asm__("shrdq %%cl, %1, %0" : "+r"(lo) : "r"(hi), "c"(n) : "cc");
    return lo;
#else
    return (lo >> n) | ((hi << 1) << (63 - n));
#endif
}

/* High 64 bits of (hi:lo) << n, for 0 <= n < 64. */
static inline uint64_t qf_shld(uint64_t hi, uint64_t lo, unsigned n)
{
    return (hi << n) | ((lo >> 1) >> (63 - n));
}

/* (hi:lo) >> 1 when c, else lo: the one-bit renormalizing shifts. */
static inline uint64_t qf_shr1_if(uint64_t lo, uint64_t hi, unsigned c)
{
    return c ? (lo >> 1) | (hi << 63) : lo;
}

/* (hi:lo) << 1 when c, else hi: high limb. */
static inline uint64_t qf_shl1_if(uint64_t hi, uint64_t lo, unsigned c)
{
    return c ? (hi << 1) | (lo >> 63) : hi;
}

/* Loads words 1..11 into six limbs. Exact word moves; no normalization. */
static inline void qf_load_limbs(const qfloat *x, uint64_t m[QF_LIMBS])
{
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // Two consecutive words are one limb with its halves swapped.
    QF_UNROLL
    for (int i = 0; i < QF_LIMBS - 1; i++) {
        uint64_t w;
        memcpy(&w, &x->mantissa[1 + 2 * i], sizeof w);
        m[i] = (w << 32) | (w >> 32);
    }
#else
    QF_UNROLL
    for (int i = 0; i < QF_LIMBS - 1; i++)
        m[i] = ((uint64_t)x->mantissa[1 + 2 * i] << 32) | x->mantissa[2 + 2 * i];
#endif
    m[QF_LIMBS - 1] = (uint64_t)x->mantissa[11] << 32;
}

/* Stores a finite value with the given biased exponent; the low half of
 * m[5] is dropped (callers have rounded it away). Writes the guard word 0. */
static inline void qf_store_limbs(qfloat *out, int neg, uint32_t biased, const uint64_t m[QF_LIMBS])
{
    out->sign = neg ? 0xFFFFFFFFu : 0u;
    out->exponent = biased;
    out->mantissa[0] = 0;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    QF_UNROLL
    for (int i = 0; i < QF_LIMBS - 1; i++) {
        uint64_t w = (m[i] << 32) | (m[i] >> 32);
        memcpy(&out->mantissa[1 + 2 * i], &w, sizeof w);
    }
#else
    QF_UNROLL
    for (int i = 0; i < QF_LIMBS - 1; i++) {
        out->mantissa[1 + 2 * i] = (uint32_t)(m[i] >> 32);
        out->mantissa[2 + 2 * i] = (uint32_t)m[i];
    }
#endif
    out->mantissa[11] = (uint32_t)(m[QF_LIMBS - 1] >> 32);
}

/* Loads x when it is a normal finite number in canonical form (exponent
 * field 1..65534, top significand bit set) and returns 1; returns 0 for
 * everything else (zero, subnormal, unnormalized, infinity, NaN), leaving
 * the outputs unspecified: those inputs go through qf_unpack. */
static inline int qf_load_normal(const qfloat *x, int *neg, int32_t *exp, uint64_t m[QF_LIMBS])
{
    qf_load_limbs(x, m);
    *neg = x->sign != 0;
    *exp = (int32_t)(x->exponent - (uint32_t)QFLT_EXP_BIAS); /* any field value, without overflow */
    return (x->exponent - 1u < QFLT_EXP_INFNAN - 1u) & (int)(m[0] >> 63);
}

/*
 * Rounds 0.m * 2^exp to 352 bits (to nearest, ties to even) and stores it.
 * m: six limbs with the top bit set; the low half of m[5] holds the bits
 * just below the last kept bit; sticky != 0 when nonzero bits lie below m.
 * Results inside the normal range are rounded here; any other exponent
 * (subnormal, overflow) goes to qf_round_pack, so the result is always the
 * correctly rounded one.
 */
static inline void qf_finish(qfloat *out, int neg, int32_t exp, const uint64_t m[QF_LIMBS], uint64_t sticky)
{
    if (QF_UNLIKELY(exp < QF_EMIN || exp > QF_EMAX)) {
        qf_round_pack6(out, neg, exp, sticky != 0, m[0], m[1], m[2], m[3], m[4], m[5]);
        return;
    }
    // Round to nearest, ties to even, by one addition: with the sticky bit
    // folded into the lowest bit, the bits below the last kept one carry
    // into it exactly when they exceed one half, or equal it and it is odd.
    uint64_t r[QF_LIMBS];
    QF_UNROLL
    for (int i = 0; i < QF_LIMBS - 1; i++)
        r[i] = m[i];
    uint64_t low = m[5] | (sticky != 0), half = 0x7FFFFFFFu + ((m[5] >> 32) & 1);
    r[5] = low + half;
    if (QF_UNLIKELY(r[5] < half)) {
        // the increment carries into the higher limbs
        r[5] = low;
        if (qf_add_at_limb5(r, half)) {
            // 0.111...1 rounded up to 1.0: one binade higher
            r[0] = 1ull << 63;
            if (++exp > QF_EMAX) {
                qf_set_inf(out, neg);
                return;
            }
        }
    }
    qf_store_limbs(out, neg, (uint32_t)(exp + QFLT_EXP_BIAS), r); // drops the low half of r[5]
}

/* a*b + c + d as a 128-bit (hi, lo) pair; cannot overflow. */
static inline void qf_mac(uint64_t a, uint64_t b, uint64_t c, uint64_t d, uint64_t *hi, uint64_t *lo)
{
#if defined(__SIZEOF_INT128__)
    unsigned __int128 t = (unsigned __int128)a * b + c + d;
    *hi = (uint64_t)(t >> 64);
    *lo = (uint64_t)t;
#else
    uint64_t h, l;
    qf_mul64(a, b, &h, &l);
    l += c;
    h += l < c;
    l += d;
    h += l < d;
    *hi = h;
    *lo = l;
#endif
}

/*
 * (hi:lo) / d for a normalized divisor (top bit set) with hi < d, so that the
 * quotient fits 64 bits. Exact quotient and remainder. Portable version from
 * 32-bit half-limbs (long division with two-digit quotient estimates).
 */
static inline uint64_t qf_div128_portable(uint64_t hi, uint64_t lo, uint64_t d, uint64_t *rem)
{
    const uint64_t b = 1ull << 32;
    uint64_t d1 = d >> 32, d0 = d & QF_LOW32;
    uint64_t l1 = lo >> 32, l0 = lo & QF_LOW32;
    uint64_t q1 = hi / d1, rhat = hi - q1 * d1;
    while (q1 >= b || q1 * d0 > ((rhat << 32) | l1)) {
        q1--;
        rhat += d1;
        if (rhat >= b)
            break;
    }
    uint64_t mid = (hi << 32) + l1 - q1 * d; // < d: the partial remainder
    uint64_t q0 = mid / d1;
    rhat = mid - q0 * d1;
    while (q0 >= b || q0 * d0 > ((rhat << 32) | l0)) {
        q0--;
        rhat += d1;
        if (rhat >= b)
            break;
    }
    *rem = (mid << 32) + l0 - q0 * d;
    return (q1 << 32) + q0;
}

/* (hi:lo) / d with hi < d and d normalized; exact quotient and remainder. */
static inline uint64_t qf_div128(uint64_t hi, uint64_t lo, uint64_t d, uint64_t *rem)
{
#if defined(__x86_64__) && defined(__GNUC__) && !defined(QF_PORTABLE_ONLY)
    uint64_t q, r;
    __asm__("divq %4" : "=a"(q), "=d"(r) : "a"(lo), "d"(hi), "rm"(d));
    *rem = r;
    return q;
#else
    return qf_div128_portable(hi, lo, d, rem);
#endif
}

/* The reciprocal of a normalized d used by qf_div128_preinv:
 * floor((2^128 - 1) / d) - 2^64. */
static inline uint64_t qf_reciprocal(uint64_t d)
{
    uint64_t r;
    return qf_div128(~d, ~0ull, d, &r);
}

/*
 * (hi:lo) / d with hi < d and d normalized, from the precomputed reciprocal
 * v = qf_reciprocal(d): two multiplications instead of a hardware division
 * (division by invariant integers, Moller and Granlund). Exact quotient and
 * remainder.
 */
static inline uint64_t qf_div128_preinv(uint64_t hi, uint64_t lo, uint64_t d, uint64_t v, uint64_t *rem)
{
    uint64_t q1, q0;
    qf_mul64(v, hi, &q1, &q0);
    q0 += lo;
    q1 += hi + 1 + (q0 < lo);
    uint64_t r = lo - q1 * d;
    if (r > q0) { // the candidate was one too large
        q1--;
        r += d;
    }
    if (QF_UNLIKELY(r >= d)) {
        q1++;
        r -= d;
    }
    *rem = r;
    return q1;
}

#endif
