// Addition and subtraction, correctly rounded to 352 bits; negation and
// absolute value. Subtraction is addition of the negated second operand.
#include "qf_limbs.h"

// dst[0..n) = the 6-limb src shifted right by d bits (n = 6 or 7); returns
// nonzero when bits shifted out below dst[n-1] were nonzero.
static inline uint64_t shift_right(const uint64_t *src, uint32_t d, uint64_t *dst, int n)
{
    if (d >= (uint32_t)n * 64) {
        for (int i = 0; i < n; i++)
            dst[i] = 0;
        return 1; // src is a nonzero significand
    }
    int ls = (int)(d / 64), bs = (int)(d % 64);
    uint64_t lost = 0;
    for (int i = 0; i < QF_LIMBS; i++)
        if (i + ls >= n) // limb i lands wholly below dst
            lost |= src[i];
    for (int i = n - 1; i >= 0; i--) {
        int s = i - ls; // source limb landing (partly) in dst[i]
        uint64_t hi = (s >= 0 && s < QF_LIMBS) ? src[s] : 0;
        uint64_t lo = (s - 1 >= 0 && s - 1 < QF_LIMBS) ? src[s - 1] : 0;
        dst[i] = bs ? (hi >> bs) | (lo << (64 - bs)) : hi;
    }
    if (bs) {
        int s = n - 1 - ls; // its low bs bits drop out of dst[n-1]
        if (s >= 0 && s < QF_LIMBS)
            lost |= src[s] << (64 - bs);
    }
    return lost;
}

// Same signs: |a| + |b| with ea >= eb.
static void add_magnitudes(qfloat *out, int neg, int32_t ea, const uint64_t *a, int32_t eb, const uint64_t *b)
{
    uint64_t t[QF_LIMBS], s[QF_LIMBS];
    // a's bits below the 352nd are zero, so the sum over the six limbs is
    // exact and the bits shifted out of t only ever count as sticky.
    uint64_t sticky = shift_right(b, (uint32_t)(ea - eb), t, QF_LIMBS);
    uint64_t carry = 0;
    for (int i = QF_LIMBS - 1; i >= 0; i--) {
        uint64_t x = a[i] + carry;
        uint64_t c1 = x < carry;
        s[i] = x + t[i];
        carry = c1 | (s[i] < t[i]);
    }
    if (carry) {
        sticky |= s[5] & 1;
        for (int i = QF_LIMBS - 1; i > 0; i--)
            s[i] = (s[i] >> 1) | (s[i - 1] << 63);
        s[0] = (s[0] >> 1) | (1ull << 63);
        ea++;
    }
    qf_finish(out, neg, ea, s, sticky);
}

// Different signs: |a| - |b| with |a| > |b| (so ea >= eb).
static void sub_magnitudes(qfloat *out, int neg, int32_t ea, const uint64_t *a, int32_t eb, const uint64_t *b)
{
    uint32_t d = (uint32_t)(ea - eb);
    if (d <= 1) {
        // b fits the six limbs after a shift of at most one bit: the
        // difference is exact and may cancel any number of leading bits.
        uint64_t t[QF_LIMBS], s[QF_LIMBS];
        shift_right(b, d, t, QF_LIMBS);
        uint64_t borrow = 0;
        for (int i = QF_LIMBS - 1; i >= 0; i--) {
            uint64_t x = a[i] - t[i];
            uint64_t b1 = a[i] < t[i];
            s[i] = x - borrow;
            borrow = b1 | (x < borrow);
        }
        int lead = 0;
        while (s[lead] == 0) // s != 0 since |a| > |b|
            lead++;
        int bs = qf_clz64(s[lead]);
        uint64_t r[QF_LIMBS];
        for (int i = 0; i < QF_LIMBS; i++) {
            uint64_t hi = i + lead < QF_LIMBS ? s[i + lead] : 0;
            uint64_t lo = i + lead + 1 < QF_LIMBS ? s[i + lead + 1] : 0;
            r[i] = bs ? (hi << bs) | (lo >> (64 - bs)) : hi;
        }
        qf_finish(out, neg, ea - (lead * 64 + bs), r, 0);
        return;
    }
    // d >= 2: the difference exceeds a quarter of 2^ea, so at most one
    // leading bit cancels; a seventh limb keeps enough bits below for that.
    uint64_t t[QF_LIMBS + 1], s[QF_LIMBS + 1];
    uint64_t sticky = shift_right(b, d, t, QF_LIMBS + 1) != 0;
    // Subtracting the truncated b and then one more unit of the last limb
    // when bits were lost leaves s strictly below the exact difference,
    // within one unit: the sticky bit then stands for the remainder.
    uint64_t borrow = sticky;
    for (int i = QF_LIMBS; i >= 0; i--) {
        uint64_t ai = i < QF_LIMBS ? a[i] : 0;
        uint64_t x = ai - t[i];
        uint64_t b1 = ai < t[i];
        s[i] = x - borrow;
        borrow = b1 | (x < borrow);
    }
    if (!(s[0] >> 63)) {
        for (int i = 0; i < QF_LIMBS; i++)
            s[i] = (s[i] << 1) | (s[i + 1] >> 63);
        s[QF_LIMBS] <<= 1;
        ea--;
    }
    qf_finish(out, neg, ea, s, sticky | s[QF_LIMBS]);
}

// Nonzero when |a| > |b| for normalized finite operands.
static inline int mag_greater(int32_t ea, const uint64_t *a, int32_t eb, const uint64_t *b)
{
    if (ea != eb)
        return ea > eb;
    for (int i = 0; i < QF_LIMBS; i++)
        if (a[i] != b[i])
            return a[i] > b[i];
    return 0;
}

static void add_finite(qfloat *out, int na, int32_t ea, const uint64_t *a, int nb, int32_t eb,
                       const uint64_t *b)
{
    if (na == nb) {
        if (ea >= eb)
            add_magnitudes(out, na, ea, a, eb, b);
        else
            add_magnitudes(out, na, eb, b, ea, a);
        return;
    }
    if (mag_greater(ea, a, eb, b))
        sub_magnitudes(out, na, ea, a, eb, b);
    else if (mag_greater(eb, b, ea, a))
        sub_magnitudes(out, nb, eb, b, ea, a);
    else
        qf_set_zero(out, 0); // exact cancellation is +0 when rounding to nearest
}

// a + b, with b's sign flipped when flip is 1.
static void add_signed(qfloat *out, const qfloat *a, const qfloat *b, int flip)
{
    uint64_t am[QF_LIMBS], bm[QF_LIMBS];
    int na, nb;
    int32_t ea, eb;
    if (QF_LIKELY(qf_load_normal(a, &na, &ea, am) & qf_load_normal(b, &nb, &eb, bm))) {
        add_finite(out, na, ea, am, nb ^ flip, eb, bm);
        return;
    }
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

void __op_plus_pqfloat_pqfloat(qfloat *out, const qfloat *a, const qfloat *b)
{
    add_signed(out, a, b, 0);
}

void __op_minus_pqfloat_pqfloat(qfloat *out, const qfloat *a, const qfloat *b)
{
    add_signed(out, a, b, 1);
}

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
