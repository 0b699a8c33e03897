// SPDX-License-Identifier: MIT
// Addition and subtraction, correctly rounded to 352 bits; negation and
// absolute value. Subtraction is addition of the negated second operand. On
// x86-64 a second build (qf_cpu.h) adds operands of equal signs in assembly
// with BMI2 (RORX, SHRX, SHLX, MULX).
#include "qf_cpu.h"
#include "qf_six_limbs.h"
#include "qf_words32.h"

// 32-bit targets add on words instead: qf_add32.cpp.
#if !defined(QF_WORDS32)

#if defined(QF_ADX_PATH)
#include <emmintrin.h>
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

// t = the six limbs of b shifted right by d < 64 bits; the low d bits of
// b[5] fall out (the callers account for them).
static QF_ALWAYS_INLINE void shift_near(const uint64_t *b, uint32_t d, uint64_t *t)
{
    t[0] = b[0] >> d;
    QF_UNROLL
    for (int i = 1; i < QF_LIMBS; i++)
        t[i] = qf_shrd(b[i], b[i - 1], d);
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
    shift_near(w, bs, dst);
    if (n > QF_LIMBS)
        dst[QF_LIMBS] = qf_shrd(w[QF_LIMBS], w[QF_LIMBS - 1], bs);
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
    shift_near(b, d, t);
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
    shift_near(b, d, t);
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
    shift_near(b, d, t);
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

// Limb kernels of the cases below: a's sign, exponent and limbs, the
// exponent gap d, b's limbs.
typedef void limb_case(qfloat *out, int neg, int32_t ea, const uint64_t *a, uint32_t d, const uint64_t *b);

// The case Kernel on packed canonical operands: their limbs loaded, then
// the kernel (inlined into this copy of its own).
template <limb_case Kernel>
QF_CASE static void packed_case(qfloat *out, int neg, int32_t ea, const qfloat *a, uint32_t d,
                                const qfloat *b)
{
    uint64_t am[QF_LIMBS], bm[QF_LIMBS];
    qf_load_limbs(a, am);
    qf_load_limbs(b, bm);
    Kernel(out, neg, ea, am, d, bm);
}

// Different signs: the case for the gap d (see packed_case).
static QF_ALWAYS_INLINE void sub_packed(qfloat *out, int neg, int32_t ea, const qfloat *a, uint32_t d,
                                        const qfloat *b)
{
    if (d <= 1)
        packed_case<sub_near>(out, neg, ea, a, d, b);
    else if (d < 64)
        packed_case<sub_mid>(out, neg, ea, a, d, b);
    else
        packed_case<sub_far>(out, neg, ea, a, d, b);
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
    if (!qf_add_unpacked_exceptional(out, a, b, flip, &ua, &ub))
        add_finite(out, &ua, &ub);
}

#if defined(QF_ADX_PATH)
// The tail shared by add_near_adx and add_far_adx: rounds the sum s0 .. s5
// (carry set when it carried out of s0; the bits lost below s5 folded into
// its lowest bit, by the code STICKY when not yet) and stores it, or sets the
// carry and stores nothing.
//   3: rounds to nearest, ties to even, by adding 2^31 - 1 + (the last kept
//      bit) to the 32 bits below that bit; a carry out of limb 5 goes the
//      slow way. Then stores, the halves swapped back by RORX (which leaves
//      the carry clear), each piece the size that readers load, so that the
//      stores forward to them.
//   2: the sum carried out of limb 0: one bit right, the bit shifted out
//      kept as sticky, the exponent one higher (beyond the range: the slow
//      way); then as 3.
#define ADD_ROUND_STORE_ASM(STICKY)                                                                          \
    "jc 2f\n\t" STICKY "movq %[hdr], %[ha]\n"                                                                \
    "3:\n\t"                                                                                                 \
    "rorxq $32, %[s5], %[t]\n\t"                                                                             \
    "andl $1, %k[t]\n\t"                                                                                     \
    "addq $0x7FFFFFFF, %[t]\n\t"                                                                             \
    "addq %[t], %[s5]\n\t"                                                                                   \
    "jc 1f\n\t"                                                                                              \
    "rorxq $32, %[s0], %[s0]\n\t"                                                                            \
    "rorxq $32, %[s1], %[s1]\n\t"                                                                            \
    "rorxq $32, %[s2], %[s2]\n\t"                                                                            \
    "rorxq $32, %[s3], %[s3]\n\t"                                                                            \
    "rorxq $32, %[s4], %[s4]\n\t"                                                                            \
    "rorxq $32, %[s5], %[s5]\n\t"                                                                            \
    "movq %[ha], (%[o])\n\t"                                                                                 \
    "movl $0, 8(%[o])\n\t"                                                                                   \
    "movq %[s0], 12(%[o])\n\t"                                                                               \
    "movq %[s1], 20(%[o])\n\t"                                                                               \
    "movq %[s2], 28(%[o])\n\t"                                                                               \
    "movq %[s3], 36(%[o])\n\t"                                                                               \
    "movq %[s4], 44(%[o])\n\t"                                                                               \
    "movl %k[s5], 52(%[o])\n\t"                                                                              \
    "jmp 1f\n"                                                                                               \
    "2:\n\t" STICKY "movq %[s5], %[t]\n\t"                                                                   \
    "andl $1, %k[t]\n\t"                                                                                     \
    "shrdq $1, %[s4], %[s5]\n\t"                                                                             \
    "shrdq $1, %[s3], %[s4]\n\t"                                                                             \
    "shrdq $1, %[s2], %[s3]\n\t"                                                                             \
    "shrdq $1, %[s1], %[s2]\n\t"                                                                             \
    "shrdq $1, %[s0], %[s1]\n\t"                                                                             \
    "shrq $1, %[s0]\n\t"                                                                                     \
    "btsq $63, %[s0]\n\t"                                                                                    \
    "orq %[t], %[s5]\n\t"                                                                                    \
    "rorxq $32, %[hdr], %[ha]\n\t"                                                                           \
    "addq $1, %[ha]\n\t"                                                                                     \
    "cmpl $65535, %k[ha]\n\t"                                                                                \
    "rorxq $32, %[ha], %[ha]\n\t"                                                                            \
    "jne 3b\n\t"                                                                                             \
    "stc\n"                                                                                                  \
    "1:"

// Same signs, |x| + |y| for y d binades below x, 1 <= d <= 63, rounded and
// stored; returns 0. Returns 1 and writes nothing when the rounding
// carries beyond the last kept limb (at most once in 2^32) or the sum
// overflows: the caller then takes the general path. hdr: out's first 64
// bits (sign word, x's biased exponent).
//
// y's limbs (read with their halves swapped by RORX) are shifted by SHRX and
// SHLX, and the two parts of each shifted limb joined by LEA, none of which
// touches the carry of the sum. The bits of y shifted below the six limbs
// (limb 5 shifted left by 64 - d) are folded into the lowest bit after the
// sum (below the 32 rounding bits, so rounding sees "more than nothing").
static inline int add_near_adx(qfloat *out, const qfloat *x, const qfloat *y, uint32_t d, uint64_t hdr)
{
    uint64_t s0, s1, s2, s3, s4, s5, ha, l, t, nd = 64 - d, dd = d; // dd: d, then out
    unsigned char slow;
    __asm__("movl 52(%[y]), %k[t]\n\t"
            "shlq $32, %[t]\n\t"
            "rorxq $32, 44(%[y]), %[ha]\n\t"
            "shrxq %%rcx, %[t], %[s5]\n\t"
            "shlxq %%rdx, %[ha], %[l]\n\t"
            "orq %[l], %[s5]\n\t"
            "movl 52(%[x]), %k[l]\n\t"
            "shlq $32, %[l]\n\t"
            "addq %[l], %[s5]\n\t"
            "rorxq $32, 36(%[y]), %[t]\n\t"
            "shrxq %%rcx, %[ha], %[ha]\n\t"
            "shlxq %%rdx, %[t], %[s4]\n\t"
            "leaq (%[ha], %[s4]), %[s4]\n\t"
            "rorxq $32, 44(%[x]), %[l]\n\t"
            "adcq %[l], %[s4]\n\t"
            "rorxq $32, 28(%[y]), %[ha]\n\t"
            "shrxq %%rcx, %[t], %[t]\n\t"
            "shlxq %%rdx, %[ha], %[s3]\n\t"
            "leaq (%[t], %[s3]), %[s3]\n\t"
            "rorxq $32, 36(%[x]), %[l]\n\t"
            "adcq %[l], %[s3]\n\t"
            "rorxq $32, 20(%[y]), %[t]\n\t"
            "shrxq %%rcx, %[ha], %[ha]\n\t"
            "shlxq %%rdx, %[t], %[s2]\n\t"
            "leaq (%[ha], %[s2]), %[s2]\n\t"
            "rorxq $32, 28(%[x]), %[l]\n\t"
            "adcq %[l], %[s2]\n\t"
            "rorxq $32, 12(%[y]), %[ha]\n\t"
            "shrxq %%rcx, %[t], %[t]\n\t"
            "shlxq %%rdx, %[ha], %[s1]\n\t"
            "leaq (%[t], %[s1]), %[s1]\n\t"
            "rorxq $32, 20(%[x]), %[l]\n\t"
            "adcq %[l], %[s1]\n\t"
            "shrxq %%rcx, %[ha], %[ha]\n\t"
            "rorxq $32, 12(%[x]), %[s0]\n\t"
            "adcq %[ha], %[s0]\n\t"
            "movq %[op], %[o]\n\t" ADD_ROUND_STORE_ASM("movl 52(%[y]), %k[l]\n\t"
                                                       "shlq $32, %[l]\n\t"
                                                       "shlxq %%rdx, %[l], %[l]\n\t"
                                                       "negq %[l]\n\t"
                                                       "sbbq %[l], %[l]\n\t"
                                                       "negq %[l]\n\t"
                                                       "orq %[l], %[s5]\n\t")
            : [s0] "=&r"(s0), [s1] "=&r"(s1), [s2] "=&r"(s2), [s3] "=&r"(s3), [s4] "=&r"(s4), [s5] "=&r"(s5),
              [ha] "=&r"(ha), [l] "=&r"(l), [t] "=&r"(t), [o] "+&c"(dd), "=@ccc"(slow)
            : [x] "r"(x), [y] "r"(y), [op] "m"(out), "d"(nd), [hdr] "m"(hdr)
            : "memory");
    return slow;
}

// Same signs, |x| + |y| for y d binades below x, 64 <= d <= 384, word 11 of y
// nonzero, rounded and stored with MULX; returns 0. Returns 1 and writes
// nothing when the rounding carries beyond the last kept limb (at most once
// in 2^32) or the sum overflows: the caller then takes the general path.
// hdr: out's first 64 bits (sign word, x's biased exponent).
//
// With d = 64 q + r, 1 <= r <= 64: y's limbs (halves swapped by PSHUFD) go to
// a buffer behind six zero limbs, so that reading it q limbs early moves
// them down q limbs; each limb times 2^(64 - r) then splits into the part
// that stays (high half) and the part that moves into the limb below (low
// half). LEA joins them without touching the carry of the sum. Bits of y
// shifted below the six limbs exist exactly when y's trailing zeros,
// 32 + bsf(word 11), fall short of d: they are folded into the lowest bit
// (below the 32 rounding bits, so rounding sees "more than nothing").
static inline int add_far_adx(qfloat *out, const qfloat *x, const qfloat *y, uint32_t d, uint64_t hdr)
{
    alignas(16) uint64_t yb[2 * QF_LIMBS];
    uint64_t s0, s1, s2, s3, s4, s5, ha, l, m, dd = d; // dd: d, then out
    uintptr_t yp = (uintptr_t)y, tp = (uintptr_t)yb;
    __m128i x0, x1;
    unsigned char slow;
    __asm__("movq 12(%[y]), %[x0]\n\t"
            "movhps 20(%[y]), %[x0]\n\t"
            "pshufd $0xB1, %[x0], %[x0]\n\t"
            "movdqa %[x0], 48(%[t])\n\t"
            "movq 28(%[y]), %[x0]\n\t"
            "movhps 36(%[y]), %[x0]\n\t"
            "pshufd $0xB1, %[x0], %[x0]\n\t"
            "movdqa %[x0], 64(%[t])\n\t"
            "movq 44(%[y]), %[x0]\n\t"
            "movd 52(%[y]), %[x1]\n\t"
            "punpcklqdq %[x1], %[x0]\n\t"
            "pshufd $0xB1, %[x0], %[x0]\n\t"
            "movdqa %[x0], 80(%[t])\n\t"
            "pxor %[x1], %[x1]\n\t"
            "movdqa %[x1], (%[t])\n\t"
            "movdqa %[x1], 16(%[t])\n\t"
            "movdqa %[x1], 32(%[t])\n\t"
            // l = 1 when bits of y fall below the six limbs
            "bsfl 52(%[y]), %k[l]\n\t"
            "addl $32, %k[l]\n\t"
            "cmpl %%ecx, %k[l]\n\t"
            "sbbq %[l], %[l]\n\t"
            "negq %[l]\n\t"
            // y: the buffer read q = (d - 1) / 64 limbs early; rdx = 2^(64 - r)
            "leaq -1(%%rcx), %[y]\n\t"
            "shrq $6, %[y]\n\t"
            "negq %[y]\n\t"
            "leaq 48(%[t], %[y], 8), %[y]\n\t"
            "negl %%ecx\n\t"
            "movl $1, %%edx\n\t"
            "shlxq %%rcx, %%rdx, %%rdx\n\t"
            // limb 5 of the shifted y, the sticky bit, x's limb 5 added
            "mulxq 40(%[y]), %[t], %[ha]\n\t"
            "mulxq 32(%[y]), %[t], %%rcx\n\t"
            "leaq (%[ha], %[t]), %[s5]\n\t"
            "orq %[l], %[s5]\n\t"
            "movl 52(%[x]), %k[t]\n\t"
            "shlq $32, %[t]\n\t"
            "addq %[t], %[s5]\n\t"
            // limbs 4 .. 0 down the carry chain
            "mulxq 24(%[y]), %[t], %[ha]\n\t"
            "leaq (%%rcx, %[t]), %[t]\n\t"
            "rorxq $32, 44(%[x]), %[s4]\n\t"
            "adcq %[t], %[s4]\n\t"
            "mulxq 16(%[y]), %[t], %%rcx\n\t"
            "leaq (%[ha], %[t]), %[t]\n\t"
            "rorxq $32, 36(%[x]), %[s3]\n\t"
            "adcq %[t], %[s3]\n\t"
            "mulxq 8(%[y]), %[t], %[ha]\n\t"
            "leaq (%%rcx, %[t]), %[t]\n\t"
            "rorxq $32, 28(%[x]), %[s2]\n\t"
            "adcq %[t], %[s2]\n\t"
            "mulxq (%[y]), %[t], %%rcx\n\t"
            "leaq (%[ha], %[t]), %[t]\n\t"
            "rorxq $32, 20(%[x]), %[s1]\n\t"
            "adcq %[t], %[s1]\n\t"
            "rorxq $32, 12(%[x]), %[s0]\n\t"
            "adcq %%rcx, %[s0]\n\t"
            "movq %[op], %[o]\n\t" ADD_ROUND_STORE_ASM("")
            : [s0] "=&r"(s0), [s1] "=&r"(s1), [s2] "=&r"(s2), [s3] "=&r"(s3), [s4] "=&r"(s4), [s5] "=&r"(s5),
              [ha] "=&r"(ha), [l] "=&r"(l),
              "=&d"(m), [x0] "=&x"(x0), [x1] "=&x"(x1), [y] "+&r"(yp), [t] "+&r"(tp), [o] "+&c"(dd),
              "=@ccc"(slow)
            : [x] "r"(x), [op] "m"(out), [hdr] "m"(hdr)
            : "memory");
    return slow;
}

#endif

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
            packed_case<add_near>(out, nx, ex, x, d, y);
        else
            packed_case<add_far>(out, nx, ex, x, d, y);
    } else {
        sub_packed(out, nx, ex, x, d, y);
    }
}

#if defined(QF_ADX_PATH)
// add_signed of the MULX build: equal signs (after the flip) go to
// add_near_adx or add_far_adx where they apply; everything else, and their
// rare cases, as in add_signed.
// Equal signs, the MULX build, behind add_signed_adx: add_near_adx or
// add_far_adx, or where they do not apply or decline, the generic cases.
// hdr: x's sign word and biased exponent, as add_near_adx takes them. Each a
// function of its own (tail calls), so that the entry keeps few registers.
QF_CASE QF_ADX_TARGET static void add_same_near_adx(qfloat *out, const qfloat *x, const qfloat *y, uint32_t d,
                                                    uint64_t hdr)
{
    if (QF_LIKELY(!add_near_adx(out, x, y, d, hdr)))
        return;
    uint64_t am[QF_LIMBS], bm[QF_LIMBS];
    qf_load_limbs(x, am);
    qf_load_limbs(y, bm);
    add_near(out, (uint32_t)hdr != 0, (int32_t)(hdr >> 32) - QFLT_EXP_BIAS, am, d, bm);
}

QF_CASE QF_ADX_TARGET static void add_same_far_adx(qfloat *out, const qfloat *x, const qfloat *y, uint32_t d,
                                                   uint64_t hdr)
{
    if (QF_LIKELY(d - 1u < 64u * QF_LIMBS && y->mantissa[11] != 0) &&
        QF_LIKELY(!add_far_adx(out, x, y, d, hdr)))
        return;
    uint64_t am[QF_LIMBS], bm[QF_LIMBS];
    qf_load_limbs(x, am);
    qf_load_limbs(y, bm);
    int neg = (uint32_t)hdr != 0;
    int32_t ex = (int32_t)(hdr >> 32) - QFLT_EXP_BIAS;
    if (d < 64)
        add_near(out, neg, ex, am, d, bm);
    else
        add_far(out, neg, ex, am, d, bm);
}

static QF_ALWAYS_INLINE void add_signed_adx(qfloat *out, const qfloat *a, const qfloat *b, int flip)
{
    uint32_t xa = a->exponent, xb = b->exponent;
    if (QF_UNLIKELY(xa - 1u >= QFLT_EXP_INFNAN - 1u) || QF_UNLIKELY(xb - 1u >= QFLT_EXP_INFNAN - 1u) ||
        QF_UNLIKELY((int32_t)(a->mantissa[1] & b->mantissa[1]) >= 0)) {
        add_general(out, a, b, flip);
        return;
    }
    int na = a->sign != 0, nb = (b->sign != 0) ^ flip;
    int swap = xa < xb;
    const qfloat *x = swap ? b : a, *y = swap ? a : b;
    uint32_t d = swap ? xb - xa : xa - xb, xx = swap ? xb : xa;
    if (na == nb) {
        uint64_t hdr = (uint64_t)xx << 32 | (uint32_t)-na;
        if (d - 1u < 63u)
            add_same_near_adx(out, x, y, d, hdr);
        else
            add_same_far_adx(out, x, y, d, hdr);
        return;
    }
    int32_t ex = (int32_t)xx - QFLT_EXP_BIAS;
    int nx = swap ? nb : na;
    sub_packed(out, nx, ex, x, d, y);
}
#endif

#if defined(QF_ADX_PATH)
// a + b and a - b, the generic x86-64 build.
void qf_add_generic(qfloat *out, const qfloat *a, const qfloat *b)
{
    add_signed(out, a, b, 0);
}

void qf_sub_generic(qfloat *out, const qfloat *a, const qfloat *b)
{
    add_signed(out, a, b, 1);
}

// a + b and a - b, the MULX build.
QF_ADX_TARGET void qf_add_adx(qfloat *out, const qfloat *a, const qfloat *b)
{
    add_signed_adx(out, a, b, 0);
}

QF_ADX_TARGET void qf_sub_adx(qfloat *out, const qfloat *a, const qfloat *b)
{
    add_signed_adx(out, a, b, 1);
}

// The exported entries: one of the builds (qf_cpu.h).
QF_DISPATCH(__op_plus_pqfloat_pqfloat, (qfloat * out, const qfloat *a, const qfloat *b), (out, a, b),
            qf_add_generic, qf_add_adx)
QF_DISPATCH(__op_minus_pqfloat_pqfloat, (qfloat * out, const qfloat *a, const qfloat *b), (out, a, b),
            qf_sub_generic, qf_sub_adx)
#else
void __op_plus_pqfloat_pqfloat(qfloat *out, const qfloat *a, const qfloat *b)
{
    add_signed(out, a, b, 0);
}

void __op_minus_pqfloat_pqfloat(qfloat *out, const qfloat *a, const qfloat *b)
{
    add_signed(out, a, b, 1);
}
#endif

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
