// Multiplication, correctly rounded to 352 bits. The product of the two
// significands is formed exactly; a one-limb operand (small integers and
// other short values) takes six limb products instead of thirty-six.
#include "qf_six_limbs.h"
#include "qf_words32.h"

// 32-bit targets multiply on words instead: qf_mul32.cpp.
#if !defined(QF_WORDS32)

// p[0..7) = a * d exactly (a: six limbs, d: one limb), most significant first.
static inline void mul_by_limb(const uint64_t *a, uint64_t d, uint64_t *p)
{
    uint64_t carry = 0;
    QF_UNROLL
    for (int i = QF_LIMBS - 1; i >= 0; i--)
        qf_mac(a[i], d, carry, 0, &carry, &p[i + 1]);
    p[0] = carry;
}

// p[0..12) = a * b exactly, most significant first.
static inline void mul_full(const uint64_t *a, const uint64_t *b, uint64_t *p)
{
    uint64_t r[2 * QF_LIMBS] = {0}; // least significant first
    QF_UNROLL
    for (int i = 0; i < QF_LIMBS; i++) {
        uint64_t ai = a[QF_LIMBS - 1 - i], carry = 0;
        QF_UNROLL
        for (int j = 0; j < QF_LIMBS; j++)
            qf_mac(ai, b[QF_LIMBS - 1 - j], r[i + j], carry, &carry, &r[i + j]);
        r[i + QF_LIMBS] = carry;
    }
    QF_UNROLL
    for (int i = 0; i < 2 * QF_LIMBS; i++)
        p[i] = r[2 * QF_LIMBS - 1 - i];
}

// Adds the 128-bit product a*b to the three-limb column accumulator (c2:c1:c0).
static inline void column_mac(uint64_t a, uint64_t b, uint64_t *c0, uint64_t *c1, uint64_t *c2)
{
#if defined(QF_X86_64_ASM)
    uint64_t hi;
    __asm__("mulq %[b]\n\taddq %%rax, %[c0]\n\tadcq %%rdx, %[c1]\n\tadcq $0, %[c2]"
            : [c0] "+r"(*c0), [c1] "+r"(*c1), [c2] "+r"(*c2), "+a"(a), "=d"(hi)
            : [b] "rm"(b)
            : "cc");
#elif defined(__SIZEOF_INT128__)
    unsigned __int128 t = (unsigned __int128)a * b;
    unsigned __int128 acc = ((unsigned __int128)*c1 << 64 | *c0) + t;
    *c2 += acc < t;
    *c1 = (uint64_t)(acc >> 64);
    *c0 = (uint64_t)acc;
#else
    uint64_t hi, lo;
    qf_mul64(a, b, &hi, &lo);
    *c0 += lo;
    hi += *c0 < lo; // hi <= 2^64 - 2: no wrap
    *c1 += hi;
    *c2 += *c1 < hi;
#endif
}

// The high part of a * b: the products whose column (i + j, limbs counted
// from the least significant) is at least 5, summed column by column into
// p[0..7), most significant first. The 15 products left out sum to less
// than 6 * 2^384, so the exact product lies in [P, P + 7 units of p[5]),
// P being p[0..6) read as an integer (the 1 more covers the carry out of p[6]).
static inline void mul_high(const uint64_t *a, const uint64_t *b, uint64_t *p)
{
    uint64_t c0 = 0, c1 = 0, c2 = 0;
    QF_UNROLL
    for (int k = QF_LIMBS - 1; k <= 2 * QF_LIMBS - 2; k++) {
        QF_UNROLL
        for (int i = 0; i < QF_LIMBS; i++)
            if (k - i >= 0 && k - i < QF_LIMBS)
                column_mac(a[QF_LIMBS - 1 - i], b[QF_LIMBS - 1 - (k - i)], &c0, &c1, &c2);
        p[2 * QF_LIMBS - 1 - k] = c0; // column k is limb 11 - k counted from the top
        c0 = c1;
        c1 = c2;
        c2 = 0;
    }
    p[0] = c0;
}

// Rounds the exact product 0.p * 2^exp (p: n >= 7 limbs, top bit of p[0] or
// of p[0] << 1 set, since both factors were in [1/2, 1)).
static inline void finish_product(qfloat *out, int neg, int32_t exp, uint64_t *p, int n)
{
    if (!(p[0] >> 63)) {
        QF_UNROLL
        for (int i = 0; i < QF_LIMBS; i++)
            p[i] = (p[i] << 1) | (p[i + 1] >> 63);
        p[QF_LIMBS] <<= 1; // its old top bit now sits in p[5]; the rest stays sticky
        exp--;
    }
    uint64_t sticky = 0;
    for (int i = QF_LIMBS; i < n; i++) // trip count known only at run time: clang cannot unroll it
        sticky |= p[i];
    qf_finish(out, neg, exp, p, sticky);
}

// Nonzero when limbs 1..5 are zero: the significand fits one limb.
static inline int one_limb(const uint64_t *m)
{
    return (m[1] | m[2] | m[3] | m[4] | m[5]) == 0;
}

static void mul_finite(qfloat *out, int neg, int32_t ea, const uint64_t *a, int32_t eb, const uint64_t *b)
{
    if (one_limb(b) || one_limb(a)) {
        uint64_t p[QF_LIMBS + 1];
        if (one_limb(b))
            mul_by_limb(a, b[0], p);
        else
            mul_by_limb(b, a[0], p);
        finish_product(out, neg, ea + eb, p, QF_LIMBS + 1);
        return;
    }
    int32_t e = ea + eb;
    if (QF_LIKELY(e > QF_EMIN && e <= QF_EMAX)) {
        // The high part settles the rounding unless the bits below the last
        // kept one lie within its error (15 units once normalized) of the
        // half-way point or of the next unit.
        uint64_t p[QF_LIMBS + 1];
        mul_high(a, b, p);
        unsigned k = !(p[0] >> 63);
        uint64_t below = qf_shl1_if(p[5], p[6], k) & QF_LOW32;
        if (below + 15 < 0x80000000u || (below > 0x80000000u && below + 15 <= QF_LOW32)) {
            QF_UNROLL
            for (int i = 0; i < QF_LIMBS; i++)
                p[i] = qf_shl1_if(p[i], p[i + 1], k);
            qf_finish(out, neg, e - (int32_t)k, p, 1);
            return;
        }
    }
    uint64_t p[2 * QF_LIMBS];
    mul_full(a, b, p);
    finish_product(out, neg, e, p, 2 * QF_LIMBS);
}

void __op_multiply_pqfloat_pqfloat(qfloat *out, const qfloat *a, const qfloat *b)
{
    uint64_t am[QF_LIMBS], bm[QF_LIMBS];
    int na, nb;
    int32_t ea, eb;
    if (QF_LIKELY(qf_load_normal(a, &na, &ea, am) & qf_load_normal(b, &nb, &eb, bm))) {
        mul_finite(out, na ^ nb, ea, am, eb, bm);
        return;
    }
    qf_unpacked ua, ub;
    qf_unpack(a, &ua);
    qf_unpack(b, &ub);
    int neg = ua.neg ^ ub.neg;
    if (ua.cls == QF_NAN || ub.cls == QF_NAN) {
        qf_set_nan(out);
    } else if (ua.cls == QF_INF || ub.cls == QF_INF) {
        if (ua.cls == QF_ZERO || ub.cls == QF_ZERO)
            qf_set_nan(out); // 0 * inf
        else
            qf_set_inf(out, neg);
    } else if (ua.cls == QF_ZERO || ub.cls == QF_ZERO) {
        qf_set_zero(out, neg);
    } else {
        mul_finite(out, neg, ua.exp, ua.m, ub.exp, ub.m);
    }
}

#endif
