// Multiplication on 32-bit targets (qf_words32.h), correctly rounded to 352
// bits: the same results as qf_mul.cpp, from 32x32-bit products of the packed
// words. A truncated high product settles the rounding in nearly every case;
// otherwise the exact product decides. A two-word operand (small integers and
// other short values) takes 22 products instead.
#include "qf_words32.h"

#if defined(QF_WORDS32)

// p[0..13) = columns 9..20 of a * b and the carry above them, most
// significant first (p[0] = word 21 of the product, p[12] = column 9's low
// word). Leaves out the 45 products of columns 0..8, which sum to less than
// (9 + 2^-28) 2^320: the exact product lies in [P, P + 11 * 2^320), P being
// p[0..12) read as an integer times 2^320, i.e. within 11 units of p[11].
static inline void mul_high(const uint32_t *a, const uint32_t *b, uint32_t *p)
{
    uint32_t c0 = 0, c1 = 0, c2 = 0;
    QF_UNROLL
    for (int k = 9; k <= 20; k++) {
        QF_UNROLL
        for (int i = 0; i < QF_WORDS; i++)
            if (k - i >= 0 && k - i < QF_WORDS)
                qf_mac32(a[QF_WORDS - 1 - i], b[QF_WORDS - 1 - (k - i)], &c0, &c1, &c2);
        p[21 - k] = c0;
        c0 = c1;
        c1 = c2;
        c2 = 0;
    }
    p[0] = c0;
}

// p[0..22) = a * b exactly, most significant first.
static inline void mul_full(const uint32_t *a, const uint32_t *b, uint32_t *p)
{
    uint32_t c0 = 0, c1 = 0, c2 = 0;
    QF_UNROLL
    for (int k = 0; k <= 20; k++) {
        QF_UNROLL
        for (int i = 0; i < QF_WORDS; i++)
            if (k - i >= 0 && k - i < QF_WORDS)
                qf_mac32(a[QF_WORDS - 1 - i], b[QF_WORDS - 1 - (k - i)], &c0, &c1, &c2);
        p[21 - k] = c0;
        c0 = c1;
        c1 = c2;
        c2 = 0;
    }
    p[0] = c0;
}

// p[0..13) = a * (b0:b1) exactly, most significant first (a: 11 words).
static inline void mul_by_two_words(const uint32_t *a, uint32_t b0, uint32_t b1, uint32_t *p)
{
    uint32_t c0 = 0, c1 = 0, c2 = 0;
    QF_UNROLL
    for (int k = 0; k <= 11; k++) {
        if (k <= 10)
            qf_mac32(a[QF_WORDS - 1 - k], b1, &c0, &c1, &c2);
        if (k >= 1)
            qf_mac32(a[QF_WORDS - k], b0, &c0, &c1, &c2);
        p[12 - k] = c0;
        c0 = c1;
        c1 = c2;
        c2 = 0;
    }
    p[0] = c0;
}

// Rounds the exact product 0.p * 2^exp (p: n >= 13 words, the top bit of
// p[0] or of p[0] << 1 set, since both factors were in [1/2, 1)).
static inline void finish_product(qfloat *out, int neg, int32_t exp, uint32_t *p, int n)
{
    if (!(p[0] >> 31)) {
        for (int i = 0; i < n - 1; i++)
            p[i] = (p[i] << 1) | (p[i + 1] >> 31);
        p[n - 1] <<= 1;
        exp--;
    }
    uint32_t sticky = 0;
    for (int i = QF_WORDS + 1; i < n; i++)
        sticky |= p[i];
    qf_finish_words(out, neg, exp, p, sticky);
}

// Nonzero when words 2..10 are zero: the significand fits two words (the
// last word first: it settles the usual full-length case).
static inline int two_words(const uint32_t *m)
{
    return m[10] == 0 && (m[2] | m[3] | m[4] | m[5] | m[6] | m[7] | m[8] | m[9]) == 0;
}

// Rounds and stores the product from its high part p (mul_high) when that
// settles the rounding, and returns 1; returns 0, storing nothing, when the
// bits below the last kept one lie within the high part's error (11 units of
// p[11], 22 once normalized; 24 allowed) of the half-way point or of the
// next unit, or when rounding up carries out of the last word. e: the
// exponent of 0.p, with e - 1 still in the normal range.
static inline int finish_high(qfloat *out, int neg, int32_t e, const uint32_t *p)
{
    unsigned k = !(p[0] >> 31);
    uint32_t last = k ? (p[10] << 1) | (p[11] >> 31) : p[10];
    uint32_t below = k ? (p[11] << 1) | (p[12] >> 31) : p[11];
    if (!(below + 24 < 0x80000000u || (below > 0x80000000u && below <= 0xFFFFFFFFu - 24)))
        return 0;
    // below is now clear of the half-way point: its top bit says round up
    uint32_t up = below >> 31;
    last += up;
    if (QF_UNLIKELY(last < up))
        return 0;
    out->sign = neg ? 0xFFFFFFFFu : 0u;
    out->exponent = (uint32_t)(e - (int32_t)k + QFLT_EXP_BIAS);
    out->mantissa[0] = 0;
    if (k) {
        QF_UNROLL
        for (int i = 0; i < QF_WORDS - 1; i++)
            out->mantissa[1 + i] = qf_shl1_words(p[i], p[i + 1]);
    } else {
        QF_UNROLL
        for (int i = 0; i < QF_WORDS - 1; i++)
            out->mantissa[1 + i] = p[i];
    }
    out->mantissa[QF_WORDS] = last;
    return 1;
}

// The product of two normal significands, every case: short operands,
// results outside the normal range, and those the high part cannot settle.
#if defined(__GNUC__)
__attribute__((noinline))
#endif
static void
mul_finite(qfloat *out, int neg, int32_t ea, const uint32_t *a, int32_t eb, const uint32_t *b)
{
    int32_t e = ea + eb;
    if (two_words(b) || two_words(a)) {
        uint32_t p[QF_WORDS + 2];
        if (two_words(b))
            mul_by_two_words(a, b[0], b[1], p);
        else
            mul_by_two_words(b, a[0], a[1], p);
        finish_product(out, neg, e, p, QF_WORDS + 2);
        return;
    }
    uint32_t p[2 * QF_WORDS];
    if (QF_LIKELY(e > QF_EMIN && e <= QF_EMAX)) {
        mul_high(a, b, p);
        if (finish_high(out, neg, e, p))
            return;
    }
    mul_full(a, b, p);
    finish_product(out, neg, e, p, 2 * QF_WORDS);
}

void __op_multiply_pqfloat_pqfloat(qfloat *out, const qfloat *a, const qfloat *b)
{
    // Canonical operands are read in place; every word is read before out is
    // written, so out may be a or b.
    if (QF_LIKELY(qf_is_canonical(a) & qf_is_canonical(b))) {
        const uint32_t *am = &a->mantissa[1], *bm = &b->mantissa[1];
        int neg = (a->sign != 0) ^ (b->sign != 0);
        int32_t ea = qf_words_exp(a), eb = qf_words_exp(b), e = ea + eb;
        // The usual case inline: full-length operands, a product in range.
        if (QF_LIKELY(!two_words(bm) && !two_words(am) && e > QF_EMIN && e <= QF_EMAX)) {
            uint32_t p[QF_WORDS + 2];
            mul_high(am, bm, p);
            if (finish_high(out, neg, e, p))
                return;
        }
        mul_finite(out, neg, ea, am, eb, bm);
        return;
    }
    uint32_t am[QF_WORDS], bm[QF_WORDS];
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
        qf_unpacked_words(&ua, am);
        qf_unpacked_words(&ub, bm);
        mul_finite(out, neg, ua.exp, am, ub.exp, bm);
    }
}

#endif
