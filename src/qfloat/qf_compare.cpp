// SPDX-License-Identifier: MIT
// Comparisons. +0 and -0 are equal; a NaN is unordered, so every comparison
// with it is false; the infinities lie beyond every finite value.
#include "qf_six_limbs.h"
#include "qf_words32.h"

#define QF_UNORDERED 2

// Sign of a - b as -1, 0 or 1; QF_UNORDERED when either is NaN.
static int compare_unpacked(const qf_unpacked *a, const qf_unpacked *b)
{
    if (a->cls == QF_NAN || b->cls == QF_NAN)
        return QF_UNORDERED;
    // Signs first; zeros carry no sign here.
    int sa = a->cls == QF_ZERO ? 0 : (a->neg ? -1 : 1);
    int sb = b->cls == QF_ZERO ? 0 : (b->neg ? -1 : 1);
    if (sa != sb)
        return sa < sb ? -1 : 1;
    if (sa == 0)
        return 0;
    // Same sign, both nonzero: order the magnitudes, then apply the sign.
    int mag = 0;
    if (a->cls != b->cls)
        mag = a->cls < b->cls ? -1 : 1; // finite below infinite
    else if (a->cls == QF_FINITE && a->exp != b->exp)
        mag = a->exp < b->exp ? -1 : 1;
    else if (a->cls == QF_FINITE)
        for (int i = 0; i < QF_LIMBS && mag == 0; i++)
            if (a->m[i] != b->m[i])
                mag = a->m[i] < b->m[i] ? -1 : 1;
    return sa * mag;
}

// Reads x; canonical normal numbers skip the general unpacking.
static inline void read(const qfloat *x, qf_unpacked *u)
{
    if (qf_load_normal(x, &u->neg, &u->exp, u->m))
        u->cls = QF_FINITE;
    else
        qf_unpack(x, u);
}

// n exactly, as an unpacked value.
static void from_int(int32_t n, qf_unpacked *u)
{
    uint64_t mag = n < 0 ? 0 - (uint64_t)(int64_t)n : (uint64_t)n;
    u->neg = n < 0;
    for (int i = 0; i < QF_LIMBS; i++)
        u->m[i] = 0;
    if (mag == 0) {
        u->cls = QF_ZERO;
        u->exp = 0;
        return;
    }
    int z = qf_clz64(mag);
    u->cls = QF_FINITE;
    u->exp = 64 - z;
    u->m[0] = mag << z;
}

#if defined(QF_WORDS32)
// Sign of a - b for canonical normal a and b, on the packed words in place
// (32-bit targets, where forming 64-bit limbs costs more than the comparison).
static inline int compare_canonical(const qfloat *a, const qfloat *b)
{
    int sa = a->sign ? -1 : 1, sb = b->sign ? -1 : 1;
    if (sa != sb)
        return sa < sb ? -1 : 1;
    int mag = 0;
    if (a->exponent != b->exponent) {
        mag = a->exponent < b->exponent ? -1 : 1;
    } else {
        for (int i = 1; i <= QF_WORDS; i++)
            if (a->mantissa[i] != b->mantissa[i]) {
                mag = a->mantissa[i] < b->mantissa[i] ? -1 : 1;
                break;
            }
    }
    return sa * mag;
}
#endif

// Sign of a - b for any pair, out of line so that the callers' fast paths
// stay small.
#if defined(__GNUC__)
__attribute__((noinline))
#endif
static int
compare_general(const qfloat *a, const qfloat *b)
{
    qf_unpacked ua, ub;
    read(a, &ua);
    read(b, &ub);
    return compare_unpacked(&ua, &ub);
}

static inline int compare(const qfloat *a, const qfloat *b)
{
#if defined(QF_WORDS32)
    if (QF_LIKELY(qf_is_canonical(a) & qf_is_canonical(b)))
        return compare_canonical(a, b);
#endif
    return compare_general(a, b);
}

#if !defined(QF_WORDS32)
// The 64 bits at p, as they lie in memory.
static inline uint64_t load64(const void *p)
{
    uint64_t v;
    memcpy(&v, p, sizeof v);
    return v;
}
#endif

int __op_equal_pqfloat_pqfloat(const qfloat *a, const qfloat *b)
{
#if defined(QF_WORDS32)
    // Canonical normal numbers are equal exactly when their fields are
    // (signs compared as negative or not); unequal ones mostly differ early.
    if (QF_LIKELY(qf_is_canonical(a) & qf_is_canonical(b))) {
        if (a->exponent != b->exponent)
            return 0;
        for (int i = 1; i <= QF_WORDS; i++)
            if (a->mantissa[i] != b->mantissa[i])
                return 0;
        return (a->sign != 0) == (b->sign != 0);
    }
#else
    if (QF_LIKELY(qf_is_canonical(a)) && QF_LIKELY(qf_is_canonical(b))) {
        // one encoding per value: equal signs, exponents and words 1..11,
        // these compared as they lie (five 64-bit pieces and word 11); the
        // last word alone settles most unequal pairs
        if (a->mantissa[11] != b->mantissa[11])
            return 0;
        uint64_t diff = (load64(&a->mantissa[1]) ^ load64(&b->mantissa[1])) |
                        (load64(&a->mantissa[3]) ^ load64(&b->mantissa[3])) |
                        (load64(&a->mantissa[5]) ^ load64(&b->mantissa[5])) |
                        (load64(&a->mantissa[7]) ^ load64(&b->mantissa[7])) |
                        (load64(&a->mantissa[9]) ^ load64(&b->mantissa[9])) | (a->exponent ^ b->exponent);
        return (diff == 0) & ((a->sign != 0) == (b->sign != 0));
    }
#endif
    return compare_general(a, b) == 0;
}

int __op_less_pqfloat_pqfloat(const qfloat *a, const qfloat *b)
{
    return compare(a, b) == -1;
}

int __op_lessequal_pqfloat_pqfloat(const qfloat *a, const qfloat *b)
{
    int c = compare(a, b);
    return c == -1 || c == 0;
}

int __op_less_int_pqfloat(int32_t n, const qfloat *b)
{
    qf_unpacked un, ub;
    from_int(n, &un);
    read(b, &ub);
    return compare_unpacked(&un, &ub) == -1;
}

int __op_less_pqfloat_int(const qfloat *a, int32_t n)
{
    qf_unpacked ua, un;
    read(a, &ua);
    from_int(n, &un);
    return compare_unpacked(&ua, &un) == -1;
}
