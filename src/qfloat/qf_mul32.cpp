// SPDX-License-Identifier: MIT
// Multiplication on 32-bit targets (qf_words32.h), correctly rounded to 352
// bits: the same results as qf_mul.cpp, from 32x32-bit products of the packed
// words. A truncated high product settles the rounding in nearly every case;
// otherwise the exact product decides. A two-word operand (small integers and
// other short values) takes 22 products instead. On x86 the high product of
// the usual case comes from SSE2 or AVX2 where the processor has them
// (qf_cpu32.h): the same words, faster.
#include "qf_cpu.h"
#include "qf_cpu32.h"
#include "qf_words32.h"

#if defined(QF_WORDS32)

// Adds column k of a * b (the products a_i * b_j with i + j = k, words
// counted from the least significant) to the accumulator (z:y:x), stores its
// low word x as word k of the product (p[21 - k], most significant first)
// and clears x, which becomes the top word of the column after next.
static inline void column(const uint32_t *a, const uint32_t *b, int k, uint32_t *p, uint32_t *x, uint32_t *y,
                          uint32_t *z)
{
    QF_UNROLL
    for (int i = 0; i < QF_WORDS; i++)
        if (k - i >= 0 && k - i < QF_WORDS)
            qf_mac32(a[QF_WORDS - 1 - i], b[QF_WORDS - 1 - (k - i)], x, y, z);
    p[21 - k] = *x;
    *x = 0;
}

// column() for a * (d0:d1) placed as the last two words of d: word k of that
// 13-word product into p[12 - k]; only the products with d0 and d1 are formed.
static inline void short_column(const uint32_t *a, const uint32_t *d, int k, uint32_t *p, uint32_t *x,
                                uint32_t *y, uint32_t *z)
{
    if (k <= QF_WORDS - 1)
        qf_mac32(a[QF_WORDS - 1 - k], d[QF_WORDS - 1], x, y, z);
    if (k >= 1 && k <= QF_WORDS)
        qf_mac32(a[QF_WORDS - k], d[QF_WORDS - 2], x, y, z);
    p[12 - k] = *x;
    *x = 0;
}

// Columns from..to of a * b (a multiple of three of them) into p, and the
// carry above the last as p[20 - to]. The accumulator words change roles
// from column to column instead of moving.
static inline void columns(const uint32_t *a, const uint32_t *b, int from, int to, uint32_t *p)
{
    uint32_t c0 = 0, c1 = 0, c2 = 0;
    QF_UNROLL
    for (int k = from; k <= to; k += 3) {
        column(a, b, k, p, &c0, &c1, &c2);
        column(a, b, k + 1, p, &c1, &c2, &c0);
        column(a, b, k + 2, p, &c2, &c0, &c1);
    }
    p[20 - to] = c0;
}

// p[0..13) = columns 9..20 of a * b and the carry above them, most
// significant first (p[0] = word 21 of the product, p[12] = column 9's low
// word). Leaves out the 45 products of columns 0..8, which sum to less than
// (9 + 2^-28) 2^320: the exact product lies in [P, P + 11 * 2^320), P being
// p[0..12) read as an integer times 2^320, i.e. within 11 units of p[11].
#if defined(__GNUC__)
__attribute__((always_inline))
#endif
static inline void
mul_high(const uint32_t *a, const uint32_t *b, uint32_t *p)
{
#if defined(QF_I386_ASM)
    // The same columns in one block with fixed registers: x and y in
    // registers, z in memory (so that six registers do, a frame pointer left
    // alone), each taking the low, middle and top role in turn, so that no
    // word moves between columns. QF_MAC(oa, ob, lo, mid, top) adds the
    // product of the words at byte offsets oa of a and ob of b.
#define QF_MAC(oa, ob, lo, mid, top)                                                                         \
    "movl " #oa "(%[a]), %%eax\n\tmull " #ob "(%[b])\n\taddl %%eax, %[" #lo "]\n\tadcl %%edx, %[" #mid       \
    "]\n\tadcl $0, %[" #top "]\n\t"
#define QF_TOP0(r) "movl $0, %[" #r "]\n\t"
#define QF_STORE_R(r, pj) "movl %[" #r "], %[" #pj "]\n\t"
#define QF_STORE_M(r, pj) "movl %[" #r "], %%eax\n\tmovl %%eax, %[" #pj "]\n\t"
    uint32_t x, y, z;
    // clang-format off
    __asm__(
        "xorl %[x], %[x]\n\txorl %[y], %[y]\n\tmovl $0, %[z]\n\t"
        // column 9: low x, middle y, top z
        QF_MAC(40, 4, x, y, z) QF_MAC(36, 8, x, y, z) QF_MAC(32, 12, x, y, z) QF_MAC(28, 16, x, y, z)
        QF_MAC(24, 20, x, y, z) QF_MAC(20, 24, x, y, z) QF_MAC(16, 28, x, y, z) QF_MAC(12, 32, x, y, z)
        QF_MAC(8, 36, x, y, z) QF_MAC(4, 40, x, y, z) QF_STORE_R(x, p12)
        // column 10: low y, middle z, top x
        QF_TOP0(x) QF_MAC(40, 0, y, z, x) QF_MAC(36, 4, y, z, x) QF_MAC(32, 8, y, z, x)
        QF_MAC(28, 12, y, z, x) QF_MAC(24, 16, y, z, x) QF_MAC(20, 20, y, z, x) QF_MAC(16, 24, y, z, x)
        QF_MAC(12, 28, y, z, x) QF_MAC(8, 32, y, z, x) QF_MAC(4, 36, y, z, x) QF_MAC(0, 40, y, z, x)
        QF_STORE_R(y, p11)
        // column 11: low z, middle x, top y
        QF_TOP0(y) QF_MAC(36, 0, z, x, y) QF_MAC(32, 4, z, x, y) QF_MAC(28, 8, z, x, y)
        QF_MAC(24, 12, z, x, y) QF_MAC(20, 16, z, x, y) QF_MAC(16, 20, z, x, y) QF_MAC(12, 24, z, x, y)
        QF_MAC(8, 28, z, x, y) QF_MAC(4, 32, z, x, y) QF_MAC(0, 36, z, x, y) QF_STORE_M(z, p10)
        // column 12: low x, middle y, top z
        QF_TOP0(z) QF_MAC(32, 0, x, y, z) QF_MAC(28, 4, x, y, z) QF_MAC(24, 8, x, y, z)
        QF_MAC(20, 12, x, y, z) QF_MAC(16, 16, x, y, z) QF_MAC(12, 20, x, y, z) QF_MAC(8, 24, x, y, z)
        QF_MAC(4, 28, x, y, z) QF_MAC(0, 32, x, y, z) QF_STORE_R(x, p9)
        // column 13: low y, middle z, top x
        QF_TOP0(x) QF_MAC(28, 0, y, z, x) QF_MAC(24, 4, y, z, x) QF_MAC(20, 8, y, z, x)
        QF_MAC(16, 12, y, z, x) QF_MAC(12, 16, y, z, x) QF_MAC(8, 20, y, z, x) QF_MAC(4, 24, y, z, x)
        QF_MAC(0, 28, y, z, x) QF_STORE_R(y, p8)
        // column 14: low z, middle x, top y
        QF_TOP0(y) QF_MAC(24, 0, z, x, y) QF_MAC(20, 4, z, x, y) QF_MAC(16, 8, z, x, y)
        QF_MAC(12, 12, z, x, y) QF_MAC(8, 16, z, x, y) QF_MAC(4, 20, z, x, y) QF_MAC(0, 24, z, x, y)
        QF_STORE_M(z, p7)
        // column 15: low x, middle y, top z
        QF_TOP0(z) QF_MAC(20, 0, x, y, z) QF_MAC(16, 4, x, y, z) QF_MAC(12, 8, x, y, z)
        QF_MAC(8, 12, x, y, z) QF_MAC(4, 16, x, y, z) QF_MAC(0, 20, x, y, z) QF_STORE_R(x, p6)
        // column 16: low y, middle z, top x
        QF_TOP0(x) QF_MAC(16, 0, y, z, x) QF_MAC(12, 4, y, z, x) QF_MAC(8, 8, y, z, x)
        QF_MAC(4, 12, y, z, x) QF_MAC(0, 16, y, z, x) QF_STORE_R(y, p5)
        // column 17: low z, middle x, top y
        QF_TOP0(y) QF_MAC(12, 0, z, x, y) QF_MAC(8, 4, z, x, y) QF_MAC(4, 8, z, x, y) QF_MAC(0, 12, z, x, y)
        QF_STORE_M(z, p4)
        // column 18: low x, middle y, top z
        QF_TOP0(z) QF_MAC(8, 0, x, y, z) QF_MAC(4, 4, x, y, z) QF_MAC(0, 8, x, y, z) QF_STORE_R(x, p3)
        // column 19: low y, middle z, top x
        QF_TOP0(x) QF_MAC(4, 0, y, z, x) QF_MAC(0, 4, y, z, x) QF_STORE_R(y, p2)
        // column 20: low z, middle x, top y
        QF_TOP0(y) QF_MAC(0, 0, z, x, y) QF_STORE_M(z, p1)
        QF_STORE_R(x, p0)
        : [x] "=&r"(x), [y] "=&r"(y), [z] "=m"(z), [p0] "=m"(p[0]), [p1] "=m"(p[1]), [p2] "=m"(p[2]),
          [p3] "=m"(p[3]), [p4] "=m"(p[4]), [p5] "=m"(p[5]), [p6] "=m"(p[6]), [p7] "=m"(p[7]), [p8] "=m"(p[8]),
          [p9] "=m"(p[9]), [p10] "=m"(p[10]), [p11] "=m"(p[11]), [p12] "=m"(p[12])
        : [a] "r"(a), [b] "r"(b), "m"(*(const uint32_t(*)[QF_WORDS])a), "m"(*(const uint32_t(*)[QF_WORDS])b)
        : "eax", "edx", "cc");
    // clang-format on
#undef QF_MAC
#undef QF_TOP0
#undef QF_STORE_R
#undef QF_STORE_M
#else
    columns(a, b, 9, 20, p);
#endif
}

// p[0..22) = a * b exactly, most significant first.
static inline void mul_full(const uint32_t *a, const uint32_t *b, uint32_t *p)
{
    columns(a, b, 0, 20, p);
}

// p[0..12) = a * d exactly, most significant first: 11 words times one.
static inline void mul_word(const uint32_t *a, uint32_t d, uint32_t *p)
{
#if defined(QF_I386_ASM)
    // One product per word, its high half carried into the next word in c.
#define QF_MUL_WORD(oa, op)                                                                                  \
    "movl " #oa "(%[a]), %%eax\n\tmull %[d]\n\taddl %[c], %%eax\n\tadcl $0, %%edx\n\tmovl %%eax, " #op       \
    "(%[p])\n\tmovl %%edx, %[c]\n\t"
    uint32_t c;
    // clang-format off
    __asm__("movl 40(%[a]), %%eax\n\tmull %[d]\n\tmovl %%eax, 44(%[p])\n\tmovl %%edx, %[c]\n\t"
            QF_MUL_WORD(36, 40) QF_MUL_WORD(32, 36) QF_MUL_WORD(28, 32) QF_MUL_WORD(24, 28)
            QF_MUL_WORD(20, 24) QF_MUL_WORD(16, 20) QF_MUL_WORD(12, 16) QF_MUL_WORD(8, 12)
            QF_MUL_WORD(4, 8) QF_MUL_WORD(0, 4)
            "movl %[c], 0(%[p])"
            : [c] "=&r"(c), "=m"(*(uint32_t(*)[QF_WORDS + 1])p)
            : [a] "r"(a), [d] "rm"(d), [p] "r"(p), "m"(*(const uint32_t(*)[QF_WORDS])a)
            : "eax", "edx", "cc");
    // clang-format on
#undef QF_MUL_WORD
#else
    uint32_t carry = 0;
    QF_UNROLL
    for (int i = QF_WORDS - 1; i >= 0; i--) {
        uint64_t t = (uint64_t)a[i] * d + carry;
        p[i + 1] = (uint32_t)t;
        carry = (uint32_t)(t >> 32);
    }
    p[0] = carry;
#endif
}

// The product of a (11 words) and a significand of at most two words
// (d0:d1, top bit of d0 set), rounded and stored: 11 word products when d1
// is 0 (a one-word operand), 22 otherwise. Exact before the rounding.
static inline void mul_short(qfloat *out, int neg, int32_t e, const uint32_t *a, uint32_t d0, uint32_t d1)
{
    // A power of two (1, -1, 2, 1/2, ...) leaves a's words as they are.
    if (d0 == 0x80000000u && d1 == 0 && e - 1 >= QF_EMIN && e - 1 <= QF_EMAX) {
        out->sign = neg ? 0xFFFFFFFFu : 0u;
        out->exponent = (uint32_t)(e - 1 + QFLT_EXP_BIAS);
        out->mantissa[0] = 0;
        memmove(&out->mantissa[1], a, QF_WORDS * sizeof(uint32_t)); // out may be a's number
        return;
    }
    uint32_t p[QF_WORDS + 2]; // a * (d0:d1), most significant first
    if (d1 == 0) {
        mul_word(a, d0, p);
        p[QF_WORDS + 1] = 0;
    } else {
        const uint32_t d[QF_WORDS] = {0, 0, 0, 0, 0, 0, 0, 0, 0, d0, d1}; // as an 11-word operand
        uint32_t c0 = 0, c1 = 0, c2 = 0;
        QF_UNROLL
        for (int k = 0; k <= 11; k += 3) {
            short_column(a, d, k, p, &c0, &c1, &c2);
            short_column(a, d, k + 1, p, &c1, &c2, &c0);
            short_column(a, d, k + 2, p, &c2, &c0, &c1);
        }
        p[0] = c0;
    }
    // both factors in [1/2, 1): at most one leading zero bit
    unsigned k = !(p[0] >> 31);
    uint32_t last = k ? qf_shl1_words(p[QF_WORDS - 1], p[QF_WORDS]) : p[QF_WORDS - 1];
    uint32_t below = k ? qf_shl1_words(p[QF_WORDS], p[QF_WORDS + 1]) : p[QF_WORDS];
    uint32_t sticky = p[QF_WORDS + 1] << k;
    e -= (int32_t)k;
    uint32_t up = (below | (sticky != 0)) > 0x80000000u - (last & 1);
    last += up;
    if (QF_UNLIKELY(e < QF_EMIN || e > QF_EMAX || last < up)) {
        uint32_t w[QF_WORDS + 1];
        for (int i = 0; i < QF_WORDS; i++)
            w[i] = k ? qf_shl1_words(p[i], p[i + 1]) : p[i];
        w[QF_WORDS] = below;
        qf_words_round_pack(out, neg, e, w, sticky);
        return;
    }
    // the usual case: rounded here, stored straight from p
    out->sign = neg ? 0xFFFFFFFFu : 0u;
    out->exponent = (uint32_t)(e + QFLT_EXP_BIAS);
    out->mantissa[0] = 0;
    if (k)
        qf_shl1_ten_words(&out->mantissa[1], p);
    else
        memcpy(&out->mantissa[1], p, (QF_WORDS - 1) * sizeof(uint32_t));
    out->mantissa[QF_WORDS] = last;
}

// Rounds the exact product 0.p * 2^exp (p: 22 words, the top bit of p[0] or
// of p[0] << 1 set, since both factors were in [1/2, 1)).
static inline void finish_full(qfloat *out, int neg, int32_t exp, uint32_t *p)
{
    if (!(p[0] >> 31)) {
        for (int i = 0; i < 2 * QF_WORDS - 1; i++)
            p[i] = qf_shl1_words(p[i], p[i + 1]);
        p[2 * QF_WORDS - 1] <<= 1;
        exp--;
    }
    uint32_t sticky = 0;
    for (int i = QF_WORDS + 1; i < 2 * QF_WORDS; i++)
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
        qf_shl1_ten_words(&out->mantissa[1], p);
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
    if (two_words(b)) {
        mul_short(out, neg, e, a, b[0], b[1]);
        return;
    }
    if (two_words(a)) {
        mul_short(out, neg, e, b, a[0], a[1]);
        return;
    }
    uint32_t p[2 * QF_WORDS];
    if (QF_LIKELY(e > QF_EMIN && e <= QF_EMAX)) {
        mul_high(a, b, p);
        if (finish_high(out, neg, e, p))
            return;
    }
    mul_full(a, b, p);
    finish_full(out, neg, e, p);
}

// mul_high by the build cpu (QF_CPU32_*): its SIMD kernel or the 32-bit
// multiplications. Same words from each.
static inline void mul_high_by(int cpu, const uint32_t *a, const uint32_t *b, uint32_t *p)
{
#if defined(QF_MUL32_SIMD)
    if (cpu == QF_CPU32_AVX2) {
        qf_mul32_high_avx2(a, b, p);
        return;
    }
    if (cpu == QF_CPU32_SSE2) {
        qf_mul32_high_sse2(a, b, p);
        return;
    }
#endif
    (void)cpu;
    mul_high(a, b, p);
}

// The multiplication, with the high product of the usual case by the build
// cpu (a constant in the builds that the tests call, the cached processor
// choice in the exported entry).
#if defined(__GNUC__)
__attribute__((always_inline))
#endif
static inline void
mul_entry(qfloat *out, const qfloat *a, const qfloat *b, int cpu)
{
    // Canonical operands are read in place; every word is read before out is
    // written, so out may be a or b.
    if (QF_LIKELY(qf_is_canonical(a) & qf_is_canonical(b))) {
        const uint32_t *am = &a->mantissa[1], *bm = &b->mantissa[1];
        int neg = (a->sign != 0) ^ (b->sign != 0);
        int32_t ea = qf_words_exp(a), eb = qf_words_exp(b), e = ea + eb;
        // A short operand (small integers, halves, ...) goes straight to its
        // own product, which rounds any exponent.
        if (two_words(bm)) {
            mul_short(out, neg, e, am, bm[0], bm[1]);
            return;
        }
        if (two_words(am)) {
            mul_short(out, neg, e, bm, am[0], am[1]);
            return;
        }
        // The usual case inline: full-length operands, a product in range.
        if (QF_LIKELY(e > QF_EMIN && e <= QF_EMAX)) {
            uint32_t p[QF_WORDS + 2];
            mul_high_by(cpu, am, bm, p);
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
    if (qf_mul_exceptional(out, &ua, &ub))
        return;
    qf_unpacked_words(&ua, am);
    qf_unpacked_words(&ub, bm);
    mul_finite(out, ua.neg ^ ub.neg, ua.exp, am, ub.exp, bm);
}

// The build of plain 32-bit code, under the name that the tests give the
// generic build of targets that choose one at run time (qf_cpu.h).
void qf_mul_generic(qfloat *out, const qfloat *a, const qfloat *b)
{
    mul_entry(out, a, b, 0);
}

#if defined(QF_MUL32_SIMD)
void qf_mul_sse2(qfloat *out, const qfloat *a, const qfloat *b)
{
    mul_entry(out, a, b, QF_CPU32_SSE2);
}

void qf_mul_avx2(qfloat *out, const qfloat *a, const qfloat *b)
{
    mul_entry(out, a, b, QF_CPU32_AVX2);
}
#endif

// The build that this processor runs best. The SIMD builds are inlined here
// (a jump to a separate build costs as much as a tenth of the operation:
// the arguments go through the stack once more); the plain one is jumped to.
void __op_multiply_pqfloat_pqfloat(qfloat *out, const qfloat *a, const qfloat *b)
{
#if defined(QF_MUL32_SIMD)
    int cpu = qf_cpu32();
    if (QF_LIKELY(cpu == QF_CPU32_AVX2))
        mul_entry(out, a, b, QF_CPU32_AVX2);
    else if (QF_LIKELY(cpu == QF_CPU32_SSE2))
        mul_entry(out, a, b, QF_CPU32_SSE2);
    else
#endif
        qf_mul_generic(out, a, b);
}

#endif
