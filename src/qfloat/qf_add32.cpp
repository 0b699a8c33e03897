// SPDX-License-Identifier: MIT
// Addition and subtraction on 32-bit targets (qf_words32.h), correctly
// rounded to 352 bits: the same results as qf_add.cpp, on the packed words.
// The smaller operand is aligned into twelve words (one below the last kept
// word); what falls below them only ever counts as sticky.
#include "qf_words32.h"

#if defined(QF_WORDS32)

#if defined(__GNUC__) && !defined(__clang__)
// Word loops run best as scalar carry chains; SLP vectorization only shuffles.
#pragma GCC optimize("no-tree-vectorize")
#endif

// Number of zero bits below the lowest set bit of a nonzero significand
// (11 words).
static inline uint32_t trailing_zeros(const uint32_t *m)
{
    int i = QF_WORDS - 1;
    while (m[i] == 0)
        i--;
    return (uint32_t)((QF_WORDS - 1 - i) * 32 + __builtin_ctz(m[i]));
}

// dst[0..12) = src (11 words, nonzero) shifted right by d bits, any d;
// returns 1 when nonzero bits of src fall below dst, else 0.
static inline uint32_t shift_right(const uint32_t *src, uint32_t d, uint32_t *dst)
{
    uint32_t lost = d > 32 && d - 32 > trailing_zeros(src);
    unsigned ws = d >> 5, bs = d & 31;
    if (QF_UNLIKELY(ws > QF_WORDS)) { // everything lies below dst
        memset(dst, 0, (QF_WORDS + 1) * sizeof(uint32_t));
        return lost;
    }
    if (ws == 0) {
        dst[0] = src[0] >> bs;
        QF_UNROLL
        for (int i = 1; i < QF_WORDS; i++)
            dst[i] = qf_shrd32(src[i], src[i - 1], bs);
        dst[QF_WORDS] = qf_shrd32(0, src[QF_WORDS - 1], bs);
        return lost;
    }
    // ws = 1..11: ws zero words, then src's words from its top; src's last
    // word, shifted, lands in dst[11] or below it.
    uint32_t *q = dst + ws;
    for (unsigned i = 0; i < ws; i++)
        dst[i] = 0;
    q[0] = src[0] >> bs;
    for (unsigned j = 1; j <= QF_WORDS - ws; j++)
        q[j] = qf_shrd32(src[j], src[j - 1], bs);
    return lost;
}

// Same signs: |a| + |b| with ea >= eb. The sum goes straight into out's
// words (a word of a is read before its place in out is written, and b is
// read whole into t first, so out may be a or b).
static inline void add_magnitudes(qfloat *out, int neg, int32_t ea, const uint32_t *a, int32_t eb,
                                  const uint32_t *b)
{
    // a's twelfth word is zero, so the sum over twelve words is exact and
    // the bits shifted out of t only ever count as sticky.
    uint32_t t[QF_WORDS + 1];
    uint32_t sticky = shift_right(b, (uint32_t)(ea - eb), t);
    uint32_t *s = &out->mantissa[1];
    uint32_t c = qf_add_words(s, a, t);
    uint32_t below = t[QF_WORDS];
    if (c) { // carried out: shift right one bit
        sticky |= below & 1;
        below = qf_shrd32(below, s[QF_WORDS - 1], 1);
        QF_UNROLL
        for (int i = QF_WORDS - 1; i > 0; i--)
            s[i] = qf_shrd32(s[i], s[i - 1], 1);
        s[0] = (s[0] >> 1) | 0x80000000u;
    }
    qf_finish_words_in_place(out, neg, ea + (int32_t)c, below, sticky);
}

// Exact difference of two significands that may cancel any number of
// leading bits: normalizes s (12 words, nonzero) and rounds (the twelfth
// word can still hold bits below the last kept one).
static void finish_cancelled(qfloat *out, int neg, int32_t e, const uint32_t *s)
{
    uint32_t buf[2 * (QF_WORDS + 1)];
    memcpy(buf, s, (QF_WORDS + 1) * sizeof(uint32_t));
    memset(buf + QF_WORDS + 1, 0, (QF_WORDS + 1) * sizeof(uint32_t));
    int lead = 0;
    while (buf[lead] == 0)
        lead++;
    unsigned bs = (unsigned)__builtin_clz(buf[lead]);
    uint32_t r[QF_WORDS + 1];
    for (int i = 0; i <= QF_WORDS; i++)
        r[i] = qf_shld32(buf[i + lead], buf[i + lead + 1], bs);
    qf_finish_words(out, neg, e - (lead * 32 + (int32_t)bs), r, 0);
}

// Different signs: |a| - |b| with ea >= eb; the result takes a's sign,
// or b's when |b| > |a|. Exact cancellation gives +0.
static inline void sub_magnitudes(qfloat *out, int neg, int32_t ea, const uint32_t *a, int32_t eb,
                                  const uint32_t *b)
{
    uint32_t d = (uint32_t)(ea - eb);
    uint32_t t[QF_WORDS + 1];
    uint32_t lost = shift_right(b, d, t);
    if (d <= 1) {
        // b fits the twelve words after a shift of at most one bit: the
        // difference is exact (lost is 0), and may cancel any number of bits.
        uint32_t s[QF_WORDS + 1];
        s[QF_WORDS] = 0 - t[QF_WORDS];
        if (qf_sub_words(s, a, t, t[QF_WORDS] != 0)) {
            // |b| > |a| (only when d == 0, so s[11] is 0): negate
            const uint32_t zero[QF_WORDS] = {0};
            qf_sub_words(s, zero, s, 0);
            neg = !neg;
        }
        uint32_t any = s[QF_WORDS];
        for (int i = 0; i < QF_WORDS; i++)
            any |= s[i];
        if (any == 0) {
            qf_set_zero(out, 0); // exact cancellation is +0 when rounding to nearest
            return;
        }
        finish_cancelled(out, neg, ea, s);
        return;
    }
    // d >= 2: subtracting the truncated b and then one more unit of the
    // twelfth word when bits were lost leaves the difference strictly below
    // the exact one, within one unit: the sticky bit then stands for the
    // remainder. It goes straight into out's words, as in add_magnitudes.
    uint32_t *s = &out->mantissa[1];
    uint32_t below = 0 - t[QF_WORDS] - lost;
    qf_sub_words(s, a, t, (t[QF_WORDS] | lost) != 0);
    // The difference exceeds a quarter of 2^ea, so at most one leading bit
    // cancels: shift left one bit then.
    unsigned k = !(s[0] >> 31);
    if (k) {
        QF_UNROLL
        for (int i = 0; i < QF_WORDS - 1; i++)
            s[i] = qf_shl1_words(s[i], s[i + 1]);
        s[QF_WORDS - 1] = qf_shl1_words(s[QF_WORDS - 1], below);
        below <<= 1;
    }
    qf_finish_words_in_place(out, neg, ea - (int32_t)k, below, lost);
}

#if defined(__GNUC__)
__attribute__((always_inline))
#endif
static inline void
add_finite(qfloat *out, int na, int32_t ea, const uint32_t *a, int nb, int32_t eb, const uint32_t *b)
{
    // Larger exponent first; selects rather than a branch, since which
    // operand is larger is as good as random.
    int swap = ea < eb;
    const uint32_t *x = swap ? b : a, *y = swap ? a : b;
    int32_t ex = swap ? eb : ea, ey = swap ? ea : eb;
    int nx = swap ? nb : na;
    if (na == nb)
        add_magnitudes(out, nx, ex, x, ey, y);
    else
        sub_magnitudes(out, nx, ex, x, ey, y);
}

// Zeros, infinities, NaN and noncanonical patterns (subnormals included).
#if defined(__GNUC__)
__attribute__((noinline, cold))
#endif
static void
add_general(qfloat *out, const qfloat *a, const qfloat *b, int flip)
{
    qf_unpacked ua, ub;
    if (qf_add_unpacked_exceptional(out, a, b, flip, &ua, &ub))
        return;
    uint32_t am[QF_WORDS], bm[QF_WORDS];
    qf_unpacked_words(&ua, am);
    qf_unpacked_words(&ub, bm);
    add_finite(out, ua.neg, ua.exp, am, ub.neg, ub.exp, bm);
}

// a + b, with b's sign flipped when flip is 1. Canonical operands are read
// in place; every word is read before out is written.
static inline void add_signed(qfloat *out, const qfloat *a, const qfloat *b, int flip)
{
    if (QF_LIKELY(qf_is_canonical(a) & qf_is_canonical(b)))
        add_finite(out, a->sign != 0, qf_words_exp(a), &a->mantissa[1], (b->sign != 0) ^ flip,
                   qf_words_exp(b), &b->mantissa[1]);
    else
        add_general(out, a, b, flip);
}

void __op_plus_pqfloat_pqfloat(qfloat *out, const qfloat *a, const qfloat *b)
{
    add_signed(out, a, b, 0);
}

void __op_minus_pqfloat_pqfloat(qfloat *out, const qfloat *a, const qfloat *b)
{
    add_signed(out, a, b, 1);
}

#endif
