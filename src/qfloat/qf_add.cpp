// Addition and subtraction, correctly rounded to 352 bits; negation and
// absolute value. Subtraction is addition of the negated second operand.
#include "qf_six_limbs.h"
#include "qf_words32.h"

// 32-bit targets add on words instead: qf_add32.cpp.
#if !defined(QF_WORDS32)

#if defined(__GNUC__) && !defined(__clang__)
// Limb loops run best as scalar carry chains; SLP vectorization only shuffles.
#pragma GCC optimize("no-tree-vectorize")
#endif

// Number of zero bits below the lowest set bit of a nonzero significand.
static inline uint32_t trailing_zeros(const uint64_t *m)
{
    int i = QF_LIMBS - 1;
    while (m[i] == 0)
        i--;
    return (uint32_t)((QF_LIMBS - 1 - i) * 64 + __builtin_ctzll(m[i]));
}

// dst[0..n) = the six limbs of src shifted right by d bits, for n = 6 or 7
// and d < 64 * n. Bits shifted below dst are dropped: a bit of src lands
// below dst exactly when d > trailing_zeros(src) + 64 * (n - 6).
static inline void shift_right(const uint64_t *src, uint32_t d, uint64_t *dst, int n)
{
    // Whole limbs first, in three steps of 4, 2 and 1 limbs chosen by
    // selects: the limb count varies from call to call, and neither a jump
    // table nor an indexed buffer (store forwarding) keeps up with that.
    uint64_t w[QF_LIMBS + 1];
    unsigned ls = d >> 6;
    QF_UNROLL
    for (int i = 0; i <= QF_LIMBS; i++)
        w[i] = i < QF_LIMBS ? src[i] : 0;
    if (ls) { // similar sizes (ls == 0) skip this
        QF_UNROLL
        for (int step = 4; step >= 1; step /= 2) {
            unsigned take = ls & (unsigned)step;
            QF_UNROLL
            for (int i = QF_LIMBS; i >= 0; i--)
                w[i] = take ? (i >= step ? w[i - step] : 0) : w[i];
        }
    }
    unsigned bs = d & 63;
    dst[0] = w[0] >> bs;
    QF_UNROLL
    for (int i = 1; i < n; i++)
        dst[i] = qf_shrd(w[i], w[i - 1], bs);
}

// Same signs: |a| + |b| with ea >= eb.
static inline void add_magnitudes(qfloat *out, int neg, int32_t ea, const uint64_t *a, int32_t eb,
                                  const uint64_t *b)
{
    uint32_t d = (uint32_t)(ea - eb);
    if (QF_UNLIKELY(d >= 64 * QF_LIMBS)) {
        qf_finish(out, neg, ea, a, 1); // b lies wholly below the rounding bit
        return;
    }
    // a's bits below the 352nd are zero, so the sum over the six limbs is
    // exact and the bits shifted out of t only ever count as sticky.
    uint64_t t[QF_LIMBS], s[QF_LIMBS];
    shift_right(b, d, t, QF_LIMBS);
    uint64_t sticky = d > 32 && d > trailing_zeros(b); // b's low 32 bits are zero
    unsigned c = qf_add6(s, a, t);
    // On a carry out, shift right one bit (branch-free: c is 0 or 1).
    sticky |= s[5] & c;
    QF_UNROLL
    for (int i = QF_LIMBS - 1; i > 0; i--)
        s[i] = qf_shr1_if(s[i], s[i - 1], c);
    s[0] = (s[0] >> c) | ((uint64_t)c << 63);
    qf_finish(out, neg, ea + c, s, sticky);
}

// Exact difference of two significands that may cancel any number of
// leading bits: normalizes s (nonzero) and rounds (only the range can).
static void finish_cancelled(qfloat *out, int neg, int32_t e, const uint64_t *s)
{
    int lead = 0;
    while (s[lead] == 0)
        lead++;
    int bs = qf_clz64(s[lead]);
    uint64_t r[QF_LIMBS];
    QF_UNROLL
    for (int i = 0; i < QF_LIMBS; i++) {
        uint64_t hi = i + lead < QF_LIMBS ? s[i + lead] : 0;
        uint64_t lo = i + lead + 1 < QF_LIMBS ? s[i + lead + 1] : 0;
        r[i] = qf_shld(hi, lo, (unsigned)bs);
    }
    qf_finish(out, neg, e - (lead * 64 + bs), r, 0);
}

// Different signs: |a| - |b| with ea >= eb; the result takes a's sign,
// or b's when |b| > |a|. Exact cancellation gives +0.
static inline void sub_magnitudes(qfloat *out, int neg, int32_t ea, const uint64_t *a, int32_t eb,
                                  const uint64_t *b)
{
    uint32_t d = (uint32_t)(ea - eb);
    if (d <= 1) {
        // b fits the six limbs after a shift of at most one bit: the
        // difference is exact.
        uint64_t t[QF_LIMBS], s[QF_LIMBS];
        t[0] = b[0] >> d;
        QF_UNROLL
        for (int i = 1; i < QF_LIMBS; i++)
            t[i] = qf_shrd(b[i], b[i - 1], d);
        if (qf_sub6(s, a, t, 0)) { // |b| > |a| (only when d == 0): negate
            const uint64_t zero[QF_LIMBS] = {0, 0, 0, 0, 0, 0};
            qf_sub6(s, zero, s, 0);
            neg = !neg;
        }
        if ((s[0] | s[1] | s[2] | s[3] | s[4] | s[5]) == 0) {
            qf_set_zero(out, 0); // exact cancellation is +0 when rounding to nearest
            return;
        }
        finish_cancelled(out, neg, ea, s);
        return;
    }
    // d >= 2: the difference exceeds a quarter of 2^ea, so at most one
    // leading bit cancels; a seventh limb keeps enough bits below for that.
    uint64_t t[QF_LIMBS + 1] = {0, 0, 0, 0, 0, 0, 0}, s[QF_LIMBS + 1];
    unsigned lost = 1;
    if (d < 64 * (QF_LIMBS + 1)) {
        shift_right(b, d, t, QF_LIMBS + 1);
        lost = d > 64 + 32 && d > trailing_zeros(b) + 64;
    }
    // Subtracting the truncated b and then one more unit of the last limb
    // when bits were lost leaves s strictly below the exact difference,
    // within one unit: the sticky bit then stands for the remainder.
    s[QF_LIMBS] = 0 - t[QF_LIMBS] - lost;
    qf_sub6(s, a, t, (t[QF_LIMBS] | lost) != 0);
    // One bit cancelled: shift left one bit (branch-free).
    unsigned k = !(s[0] >> 63);
    QF_UNROLL
    for (int i = 0; i < QF_LIMBS; i++)
        s[i] = qf_shl1_if(s[i], s[i + 1], k);
    s[QF_LIMBS] <<= k;
    uint64_t sticky = lost;
    qf_finish(out, neg, ea - (int32_t)k, s, sticky | s[QF_LIMBS]);
}

static inline void add_finite(qfloat *out, int na, int32_t ea, const uint64_t *a, int nb, int32_t eb,
                              const uint64_t *b)
{
    // Larger exponent first; selects rather than a branch, since which
    // operand is larger is as good as random.
    int swap = ea < eb;
    const uint64_t *x = swap ? b : a, *y = swap ? a : b;
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
    qf_unpack(a, &ua);
    qf_unpack(b, &ub);
    ub.neg ^= flip;
    if (ua.cls == QF_NAN || ub.cls == QF_NAN) {
        qf_set_nan(out);
    } else if (ua.cls == QF_INF || ub.cls == QF_INF) {
        if (ua.cls == QF_INF && ub.cls == QF_INF && ua.neg != ub.neg)
            qf_set_nan(out); // inf - inf
        else
            qf_set_inf(out, ua.cls == QF_INF ? ua.neg : ub.neg);
    } else if (ua.cls == QF_ZERO && ub.cls == QF_ZERO) {
        qf_set_zero(out, ua.neg & ub.neg); // -0 + -0 = -0, otherwise +0
    } else if (ub.cls == QF_ZERO) {
        qf_pack_exact(out, &ua);
    } else if (ua.cls == QF_ZERO) {
        qf_pack_exact(out, &ub);
    } else {
        add_finite(out, ua.neg, ua.exp, ua.m, ub.neg, ub.exp, ub.m);
    }
}

// a + b, with b's sign flipped when flip is 1.
static inline void add_signed(qfloat *out, const qfloat *a, const qfloat *b, int flip)
{
    uint64_t am[QF_LIMBS], bm[QF_LIMBS];
    int na, nb;
    int32_t ea, eb;
    if (QF_LIKELY(qf_load_normal(a, &na, &ea, am) & qf_load_normal(b, &nb, &eb, bm)))
        add_finite(out, na, ea, am, nb ^ flip, eb, bm);
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

void __op_minus_pqfloat(qfloat *out, const qfloat *a)
{
    uint64_t m[QF_LIMBS];
    int neg;
    int32_t e;
    if (QF_LIKELY(qf_load_normal(a, &neg, &e, m))) {
        qf_store_limbs(out, !neg, a->exponent, m);
        return;
    }
    qf_unpacked u;
    qf_unpack(a, &u);
    u.neg = !u.neg; // a NaN comes out as the one NaN pattern, sign 0
    qf_pack_exact(out, &u);
}

qfloat *_qabs(qfloat *x)
{
    x->sign = 0;
    return x;
}
