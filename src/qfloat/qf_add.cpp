// Addition and subtraction, correctly rounded to 352 bits; negation and
// absolute value. Subtraction is addition of the negated second operand.
#include "qf_six_limbs.h"
#include "qf_words32.h"

// 32-bit targets add on words instead: qf_add32.cpp.
#if !defined(QF_WORDS32)

#if defined(__GNUC__)
#define QF_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define QF_ALWAYS_INLINE inline
#endif

#if defined(__GNUC__) && !defined(__clang__)
// Limb loops run best as scalar carry chains; SLP vectorization only shuffles.
#pragma GCC optimize("no-tree-vectorize")
#endif

// Number of zero bits below the lowest set bit of a nonzero significand.
static inline uint32_t trailing_zeros(const uint64_t *m)
{
    // unrolled (no indexed access), so that m can stay in registers
    uint32_t base = 0;
    QF_UNROLL
    for (int i = QF_LIMBS - 1; i > 0; i--) {
        if (m[i])
            return base + (uint32_t)__builtin_ctzll(m[i]);
        base += 64;
    }
    return base + (uint32_t)__builtin_ctzll(m[0]);
}

// w[0..7) moved down (toward the least significant end) by ls whole limbs,
// 0 <= ls < 8, zeros moved in at the top. In three steps of 4, 2 and 1 limbs
// chosen by selects: the limb count varies from call to call, and neither a
// jump table nor an indexed buffer (store forwarding) keeps up with that.
static inline void move_down(uint64_t *w, unsigned ls)
{
#if defined(QF_X86_64_ASM)
    // compilers turn the selects into branches; CMOV keeps them selects
    uint64_t z;
    __asm__("xorl %k[z], %k[z]\n\t"
            "testl $4, %[ls]\n\t"
            "cmovnzq %[w2], %[w6]\n\tcmovnzq %[w1], %[w5]\n\tcmovnzq %[w0], %[w4]\n\tcmovnzq %[z], %[w3]\n\t"
            "cmovnzq %[z], %[w2]\n\tcmovnzq %[z], %[w1]\n\tcmovnzq %[z], %[w0]\n\t"
            "testl $2, %[ls]\n\t"
            "cmovnzq %[w4], %[w6]\n\tcmovnzq %[w3], %[w5]\n\tcmovnzq %[w2], %[w4]\n\tcmovnzq %[w1], %[w3]\n\t"
            "cmovnzq %[w0], %[w2]\n\tcmovnzq %[z], %[w1]\n\tcmovnzq %[z], %[w0]\n\t"
            "testl $1, %[ls]\n\t"
            "cmovnzq %[w5], %[w6]\n\tcmovnzq %[w4], %[w5]\n\tcmovnzq %[w3], %[w4]\n\tcmovnzq %[w2], %[w3]\n\t"
            "cmovnzq %[w1], %[w2]\n\tcmovnzq %[w0], %[w1]\n\tcmovnzq %[z], %[w0]"
            : [w0] "+r"(w[0]), [w1] "+r"(w[1]), [w2] "+r"(w[2]), [w3] "+r"(w[3]), [w4] "+r"(w[4]),
              [w5] "+r"(w[5]), [w6] "+r"(w[6]), [z] "=&r"(z)
            : [ls] "r"(ls)
            : "cc");
#else
    QF_UNROLL
    for (int step = 4; step >= 1; step /= 2) {
        unsigned take = ls & (unsigned)step;
        QF_UNROLL
        for (int i = QF_LIMBS; i >= 0; i--)
            w[i] = take ? (i >= step ? w[i - step] : 0) : w[i];
    }
#endif
}

// dst[0..n) = the six limbs of src shifted right by d bits, for n = 6 or 7
// and d < 64 * n. Bits shifted below dst are dropped: a bit of src lands
// below dst exactly when d > trailing_zeros(src) + 64 * (n - 6).
static inline void shift_right(const uint64_t *src, uint32_t d, uint64_t *dst, int n)
{
    uint64_t w[QF_LIMBS + 1];
    QF_UNROLL
    for (int i = 0; i <= QF_LIMBS; i++)
        w[i] = i < QF_LIMBS ? src[i] : 0;
    move_down(w, d >> 6);
    unsigned bs = d & 63;
    dst[0] = w[0] >> bs;
    QF_UNROLL
    for (int i = 1; i < n; i++)
        dst[i] = qf_shrd(w[i], w[i - 1], bs);
}

// Same signs, |a| + |b| for b at least 64 binades below a (d = ea - eb):
// whole limbs move.
static QF_ALWAYS_INLINE void add_far(qfloat *out, int neg, int32_t ea, const uint64_t *a, uint32_t d,
                                     const uint64_t *b)
{
    if (QF_UNLIKELY(d >= 64 * QF_LIMBS)) {
        qf_finish(out, neg, ea, a, 1); // b lies wholly below the rounding bit
        return;
    }
    // a's bits below the 352nd are zero, so the sum over the six limbs is
    // exact and the bits shifted out of t only ever count as sticky.
    uint64_t t[QF_LIMBS], s[QF_LIMBS];
    shift_right(b, d, t, QF_LIMBS);
    uint64_t sticky = d > trailing_zeros(b);
    unsigned c = qf_add6(s, a, t);
    // On a carry out, shift right one bit (branch-free: c is 0 or 1).
    sticky |= s[5] & c;
    QF_UNROLL
    for (int i = QF_LIMBS - 1; i > 0; i--)
        s[i] = qf_shr1_if(s[i], s[i - 1], c);
    s[0] = (s[0] >> c) | ((uint64_t)c << 63);
    qf_finish(out, neg, ea + c, s, sticky);
}

// Same signs, |a| + |b| for b less than 64 binades below a: the bits shifted
// out are the low d of b[5] (whose low half is zero); the sum over six limbs
// is exact.
static QF_ALWAYS_INLINE void add_near(qfloat *out, int neg, int32_t ea, const uint64_t *a, uint32_t d,
                                      const uint64_t *b)
{
    uint64_t t[QF_LIMBS], s[QF_LIMBS];
    t[0] = b[0] >> d;
    QF_UNROLL
    for (int i = 1; i < QF_LIMBS; i++)
        t[i] = qf_shrd(b[i], b[i - 1], d);
    uint64_t sticky = (b[5] << (63 - d)) << 1;
    if (qf_add6(s, a, t)) {
        // carried out (rare once b is a few binades below): shift right one bit
        sticky |= s[5] & 1;
        QF_UNROLL
        for (int i = QF_LIMBS - 1; i > 0; i--)
            s[i] = (s[i] >> 1) | (s[i - 1] << 63);
        s[0] = (s[0] >> 1) | (1ull << 63);
        ea++;
    }
    qf_finish(out, neg, ea, s, sticky);
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

// Different signs, |a| - |b| for b at most one binade below a (d = ea - eb
// is 0 or 1): any number of leading bits may cancel; the result takes a's
// sign, or b's when |b| > |a|. Exact cancellation gives +0.
static void sub_near(qfloat *out, int neg, int32_t ea, const uint64_t *a, uint32_t d, const uint64_t *b)
{
    // b fits the six limbs after a shift of at most one bit: the difference
    // is exact.
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
}

// Different signs, |a| - |b| for b at least 64 binades below a.
static QF_ALWAYS_INLINE void sub_far(qfloat *out, int neg, int32_t ea, const uint64_t *a, uint32_t d,
                                     const uint64_t *b)
{
    // The difference exceeds a quarter of 2^ea, so at most one leading bit
    // cancels; a seventh limb keeps enough bits below for that.
    uint64_t t[QF_LIMBS + 1] = {0, 0, 0, 0, 0, 0, 0}, s[QF_LIMBS + 1];
    unsigned lost = 1;
    if (d < 64 * (QF_LIMBS + 1)) {
        shift_right(b, d, t, QF_LIMBS + 1);
        lost = d > trailing_zeros(b) + 64;
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
    qf_finish(out, neg, ea - (int32_t)k, s, lost | s[QF_LIMBS]);
}

// Different signs, |a| - |b| for b 2..63 binades below a: the difference
// exceeds a quarter of 2^ea, so at most one leading bit cancels. b shifted
// right spans seven limbs, the seventh holding the low d bits of b[5]; the
// seven-limb difference is exact.
static QF_ALWAYS_INLINE void sub_mid(qfloat *out, int neg, int32_t ea, const uint64_t *a, uint32_t d,
                                     const uint64_t *b)
{
    uint64_t t[QF_LIMBS], s[QF_LIMBS];
    t[0] = b[0] >> d;
    QF_UNROLL
    for (int i = 1; i < QF_LIMBS; i++)
        t[i] = qf_shrd(b[i], b[i - 1], d);
    uint64_t s6 = 0 - (b[5] << (64 - d));
    qf_sub6(s, a, t, s6 != 0);
    // One bit cancelled: shift left one bit (branch-free).
    unsigned k = !(s[0] >> 63);
    QF_UNROLL
    for (int i = 0; i < QF_LIMBS - 1; i++)
        s[i] = qf_shl1_if(s[i], s[i + 1], k);
    s[QF_LIMBS - 1] = qf_shl1_if(s[QF_LIMBS - 1], s6, k);
    qf_finish(out, neg, ea - (int32_t)k, s, s6 << k);
}

// |a| + |b| (same signs) or |a| - |b| (different signs) for b d binades
// below a; neg is a's sign.
static void add_limbs(qfloat *out, int same, int neg, int32_t ea, const uint64_t *a, uint32_t d,
                      const uint64_t *b)
{
    if (same) {
        if (d < 64)
            add_near(out, neg, ea, a, d, b);
        else
            add_far(out, neg, ea, a, d, b);
    } else {
        if (d <= 1)
            sub_near(out, neg, ea, a, d, b);
        else if (d < 64)
            sub_mid(out, neg, ea, a, d, b);
        else
            sub_far(out, neg, ea, a, d, b);
    }
}

// The cases of packed canonical operands, each in a function of its own:
// the entry only picks one (a tail call), and each gets the registers to
// itself. a: the operand with the larger exponent ea; b lies d binades
// below; neg: a's sign.
#if defined(__GNUC__)
#define QF_CASE __attribute__((noinline))
#else
#define QF_CASE
#endif

// Same signs, d < 64.
QF_CASE static void add_packed_near(qfloat *out, int neg, int32_t ea, const qfloat *a, uint32_t d,
                                    const qfloat *b)
{
    uint64_t am[QF_LIMBS], bm[QF_LIMBS];
    qf_load_limbs(a, am);
    qf_load_limbs(b, bm);
    add_near(out, neg, ea, am, d, bm);
}

// Same signs, d >= 64.
QF_CASE static void add_packed_far(qfloat *out, int neg, int32_t ea, const qfloat *a, uint32_t d,
                                   const qfloat *b)
{
    uint64_t am[QF_LIMBS], bm[QF_LIMBS];
    qf_load_limbs(a, am);
    qf_load_limbs(b, bm);
    add_far(out, neg, ea, am, d, bm);
}

// Different signs, d <= 1.
QF_CASE static void sub_packed_near(qfloat *out, int neg, int32_t ea, const qfloat *a, uint32_t d,
                                    const qfloat *b)
{
    uint64_t am[QF_LIMBS], bm[QF_LIMBS];
    qf_load_limbs(a, am);
    qf_load_limbs(b, bm);
    sub_near(out, neg, ea, am, d, bm);
}

// Different signs, 2 <= d < 64.
QF_CASE static void sub_packed_mid(qfloat *out, int neg, int32_t ea, const qfloat *a, uint32_t d,
                                   const qfloat *b)
{
    uint64_t am[QF_LIMBS], bm[QF_LIMBS];
    qf_load_limbs(a, am);
    qf_load_limbs(b, bm);
    sub_mid(out, neg, ea, am, d, bm);
}

// Different signs, d >= 64.
QF_CASE static void sub_packed_far(qfloat *out, int neg, int32_t ea, const qfloat *a, uint32_t d,
                                   const qfloat *b)
{
    uint64_t am[QF_LIMBS], bm[QF_LIMBS];
    qf_load_limbs(a, am);
    qf_load_limbs(b, bm);
    sub_far(out, neg, ea, am, d, bm);
}

// a + b for finite a and b (unpacked, normalized: subnormal ones have their
// exponents below QF_EMIN), b's sign already flipped for a subtraction.
static void add_finite(qfloat *out, const qf_unpacked *ua, const qf_unpacked *ub)
{
    if (ua->exp < ub->exp)
        add_limbs(out, ua->neg == ub->neg, ub->neg, ub->exp, ub->m, (uint32_t)(ub->exp - ua->exp), ua->m);
    else
        add_limbs(out, ua->neg == ub->neg, ua->neg, ua->exp, ua->m, (uint32_t)(ua->exp - ub->exp), ub->m);
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
        add_finite(out, &ua, &ub);
    }
}

// a + b, with b's sign flipped when flip is 1. The operand with the larger
// exponent (a when they are equal) is read as x, the other as y: which one
// it is is as good as random, so it is chosen by selects, not a branch.
static QF_ALWAYS_INLINE void add_signed(qfloat *out, const qfloat *a, const qfloat *b, int flip)
{
    if (QF_UNLIKELY(!(qf_is_canonical(a) & qf_is_canonical(b)))) {
        add_general(out, a, b, flip);
        return;
    }
    uint32_t xa = a->exponent, xb = b->exponent;
    int na = a->sign != 0, nb = (b->sign != 0) ^ flip;
    int swap = xa < xb;
    const qfloat *x = swap ? b : a, *y = swap ? a : b;
    uint32_t d = swap ? xb - xa : xa - xb;
    int32_t ex = (int32_t)(swap ? xb : xa) - QFLT_EXP_BIAS;
    int nx = swap ? nb : na;
    if (na == nb) {
        if (d < 64)
            add_packed_near(out, nx, ex, x, d, y);
        else
            add_packed_far(out, nx, ex, x, d, y);
    } else {
        if (d <= 1)
            sub_packed_near(out, nx, ex, x, d, y);
        else if (d < 64)
            sub_packed_mid(out, nx, ex, x, d, y);
        else
            sub_packed_far(out, nx, ex, x, d, y);
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

#endif // !QF_WORDS32

// -a for zeros, infinities, NaN and noncanonical patterns.
#if defined(__GNUC__)
__attribute__((noinline, cold))
#endif
static void
negate_general(qfloat *out, const qfloat *a)
{
    qf_unpacked u;
    qf_unpack(a, &u);
    u.neg = !u.neg; // a NaN comes out as the one NaN pattern, sign 0
    qf_pack_exact(out, &u);
}

void __op_minus_pqfloat(qfloat *out, const qfloat *a)
{
    if (QF_LIKELY(qf_is_canonical(a))) {
        // words 1..11 as they lie, in the pieces qf_store_limbs writes; all
        // read before anything is written (out may be a)
        uint64_t w[QF_LIMBS - 1];
        for (int i = 0; i < QF_LIMBS - 1; i++)
            memcpy(&w[i], &a->mantissa[1 + 2 * i], sizeof w[i]);
        uint32_t last = a->mantissa[11], biased = a->exponent, sign = a->sign ? 0u : 0xFFFFFFFFu;
        out->sign = sign;
        out->exponent = biased;
        out->mantissa[0] = 0;
        for (int i = 0; i < QF_LIMBS - 1; i++)
            memcpy(&out->mantissa[1 + 2 * i], &w[i], sizeof w[i]);
        out->mantissa[11] = last;
        return;
    }
    negate_general(out, a);
}

qfloat *_qabs(qfloat *x)
{
    x->sign = 0;
    return x;
}
