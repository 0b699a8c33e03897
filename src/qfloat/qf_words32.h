// SPDX-License-Identifier: MIT
/*
 * The 32-bit word layer of the arithmetic operations, for targets without
 * 128-bit integers (i386: the code of the 32-bit DLL). A significand stays in
 * the packed format's own words, MOST significant first: w[0..10] are
 * mantissa[1..11], and a twelfth word w[11], where present, holds the 32 bits
 * just below the last kept one. No repacking into 64-bit limbs, and every
 * product is one 32x32 -> 64 multiplication, which these targets have as one
 * instruction. The 64-bit targets use the six-limb layer (qf_six_limbs.h)
 * instead; both round every result correctly, so they give the same bits.
 *
 * Here: word-level carry chains, shifts and the column accumulator (i386
 * asm in optimized builds, C otherwise), canonical operands read in place,
 * and the final rounding of a 12-word significand. The operations built on
 * them: qf_add32.cpp, qf_mul32.cpp, qf_div32.cpp, the canonical paths of
 * qf_compare.cpp and the exp/log products of qf_fixed32.h. On x86 the high
 * product of a multiplication also has SSE2 and AVX2 builds, chosen at run
 * time (qf_cpu32.h, qf_mul32_sse2.cpp, qf_mul32_avx2.cpp).
 */
#ifndef ZELQ_QF_WORDS32_H
#define ZELQ_QF_WORDS32_H

#include "qf_six_limbs.h"

#include <string.h>

#if !defined(__SIZEOF_INT128__)
#define QF_WORDS32 1
#endif

#define QF_WORDS 11 /* significand words */

/* The i386 asm blocks need the registers that only optimized code leaves
 * free; unoptimized builds take the C code. */
#if defined(__i386__) && defined(__GNUC__) && defined(__OPTIMIZE__) && !defined(QF_PORTABLE_ONLY)
#define QF_I386_ASM 1
#endif

/* Adds the 64-bit product a*b to the three-word column accumulator
 * (c2:c1:c0). Exact while the column sum stays below 2^96. */
static inline void qf_mac32(uint32_t a, uint32_t b, uint32_t *c0, uint32_t *c1, uint32_t *c2)
{
#if defined(QF_I386_ASM)
    uint32_t hi;
    __asm__("mull %[b]\n\taddl %%eax, %[c0]\n\tadcl %%edx, %[c1]\n\tadcl $0, %[c2]"
            : [c0] "+r"(*c0), [c1] "+r"(*c1), [c2] "+rm"(*c2), "+a"(a), "=d"(hi)
            : [b] "rm"(b)
            : "cc");
#else
    uint64_t p = (uint64_t)a * b;
    uint64_t s = (((uint64_t)*c1 << 32) | *c0) + p;
    *c2 += s < p;
    *c1 = (uint32_t)(s >> 32);
    *c0 = (uint32_t)s;
#endif
}

/* s = a + b over the 11 words; returns the carry out. s may be a or b. */
static inline uint32_t qf_add_words(uint32_t *s, const uint32_t *a, const uint32_t *b)
{
#if defined(QF_I386_ASM)
    uint32_t x;
    unsigned char c;
    __asm__("movl 40(%[a]), %[x]\n\taddl 40(%[b]), %[x]\n\tmovl %[x], 40(%[s])\n\t"
            "movl 36(%[a]), %[x]\n\tadcl 36(%[b]), %[x]\n\tmovl %[x], 36(%[s])\n\t"
            "movl 32(%[a]), %[x]\n\tadcl 32(%[b]), %[x]\n\tmovl %[x], 32(%[s])\n\t"
            "movl 28(%[a]), %[x]\n\tadcl 28(%[b]), %[x]\n\tmovl %[x], 28(%[s])\n\t"
            "movl 24(%[a]), %[x]\n\tadcl 24(%[b]), %[x]\n\tmovl %[x], 24(%[s])\n\t"
            "movl 20(%[a]), %[x]\n\tadcl 20(%[b]), %[x]\n\tmovl %[x], 20(%[s])\n\t"
            "movl 16(%[a]), %[x]\n\tadcl 16(%[b]), %[x]\n\tmovl %[x], 16(%[s])\n\t"
            "movl 12(%[a]), %[x]\n\tadcl 12(%[b]), %[x]\n\tmovl %[x], 12(%[s])\n\t"
            "movl 8(%[a]), %[x]\n\tadcl 8(%[b]), %[x]\n\tmovl %[x], 8(%[s])\n\t"
            "movl 4(%[a]), %[x]\n\tadcl 4(%[b]), %[x]\n\tmovl %[x], 4(%[s])\n\t"
            "movl 0(%[a]), %[x]\n\tadcl 0(%[b]), %[x]\n\tmovl %[x], 0(%[s])\n\t"
            "setc %[c]"
            : [x] "=&r"(x), [c] "=q"(c), "=m"(*(uint32_t(*)[QF_WORDS])s)
            : [s] "r"(s), [a] "r"(a), [b] "r"(b), "m"(*(const uint32_t(*)[QF_WORDS])a),
              "m"(*(const uint32_t(*)[QF_WORDS])b)
            : "cc");
    return c;
#else
    uint32_t c = 0;
    QF_UNROLL
    for (int i = QF_WORDS - 1; i >= 0; i--) {
        uint64_t t = (uint64_t)a[i] + b[i] + c;
        s[i] = (uint32_t)t;
        c = (uint32_t)(t >> 32);
    }
    return c;
#endif
}

/* s = a - b - borrow (borrow 0 or 1) over the 11 words; returns the borrow
 * out. s may be a or b. */
static inline uint32_t qf_sub_words(uint32_t *s, const uint32_t *a, const uint32_t *b, uint32_t borrow)
{
#if defined(QF_I386_ASM)
    uint32_t x = borrow;
    unsigned char c;
    __asm__("negl %[x]\n\t" // sets the carry flag to the borrow
            "movl 40(%[a]), %[x]\n\tsbbl 40(%[b]), %[x]\n\tmovl %[x], 40(%[s])\n\t"
            "movl 36(%[a]), %[x]\n\tsbbl 36(%[b]), %[x]\n\tmovl %[x], 36(%[s])\n\t"
            "movl 32(%[a]), %[x]\n\tsbbl 32(%[b]), %[x]\n\tmovl %[x], 32(%[s])\n\t"
            "movl 28(%[a]), %[x]\n\tsbbl 28(%[b]), %[x]\n\tmovl %[x], 28(%[s])\n\t"
            "movl 24(%[a]), %[x]\n\tsbbl 24(%[b]), %[x]\n\tmovl %[x], 24(%[s])\n\t"
            "movl 20(%[a]), %[x]\n\tsbbl 20(%[b]), %[x]\n\tmovl %[x], 20(%[s])\n\t"
            "movl 16(%[a]), %[x]\n\tsbbl 16(%[b]), %[x]\n\tmovl %[x], 16(%[s])\n\t"
            "movl 12(%[a]), %[x]\n\tsbbl 12(%[b]), %[x]\n\tmovl %[x], 12(%[s])\n\t"
            "movl 8(%[a]), %[x]\n\tsbbl 8(%[b]), %[x]\n\tmovl %[x], 8(%[s])\n\t"
            "movl 4(%[a]), %[x]\n\tsbbl 4(%[b]), %[x]\n\tmovl %[x], 4(%[s])\n\t"
            "movl 0(%[a]), %[x]\n\tsbbl 0(%[b]), %[x]\n\tmovl %[x], 0(%[s])\n\t"
            "setc %[c]"
            : [x] "+&r"(x), [c] "=q"(c), "=m"(*(uint32_t(*)[QF_WORDS])s)
            : [s] "r"(s), [a] "r"(a), [b] "r"(b), "m"(*(const uint32_t(*)[QF_WORDS])a),
              "m"(*(const uint32_t(*)[QF_WORDS])b)
            : "cc");
    return c;
#else
    uint32_t c = borrow;
    QF_UNROLL
    for (int i = QF_WORDS - 1; i >= 0; i--) {
        uint64_t t = (uint64_t)a[i] - b[i] - c;
        s[i] = (uint32_t)t;
        c = (uint32_t)(t >> 32) & 1;
    }
    return c;
#endif
}

/* Low 32 bits of (hi:lo) >> n, for 0 <= n < 32 (n = 0 included). */
static inline uint32_t qf_shrd32(uint32_t lo, uint32_t hi, unsigned n)
{
#if defined(QF_I386_ASM)
    __asm__("shrdl %%cl, %1, %0" : "+r"(lo) : "r"(hi), "c"(n) : "cc");
    return lo;
#else
    return (lo >> n) | ((hi << 1) << (31 - n));
#endif
}

/* High 32 bits of (hi:lo) << n, for 0 <= n < 32 (n = 0 included). */
static inline uint32_t qf_shld32(uint32_t hi, uint32_t lo, unsigned n)
{
#if defined(QF_I386_ASM)
    __asm__("shldl %%cl, %1, %0" : "+r"(hi) : "r"(lo), "c"(n) : "cc");
    return hi;
#else
    return (hi << n) | ((lo >> 1) >> (31 - n));
#endif
}

/* High 32 bits of (hi:lo) << 1. */
static inline uint32_t qf_shl1_words(uint32_t hi, uint32_t lo)
{
#if defined(QF_I386_ASM)
    __asm__("shldl $1, %1, %0" : "+r"(hi) : "r"(lo) : "cc");
    return hi;
#else
    return (hi << 1) | (lo >> 31);
#endif
}

/* d[0..10) = the high words of (s[0..11) << 1): ten words of an 11-word
 * significand shifted left one bit. d may not overlap s. */
static inline void qf_shl1_ten_words(uint32_t *d, const uint32_t *s)
{
#if defined(QF_I386_ASM)
    // two registers in turn hold the current word and the next
#define QF_SHL1_STEP(cur, nxt, i, i1)                                                                        \
    "movl %[s" #i1 "], %%" #nxt "\n\tshldl $1, %%" #nxt ", %%" #cur "\n\tmovl %%" #cur ", %[d" #i "]\n\t"
    // clang-format off
    __asm__("movl %[s0], %%eax\n\t"
            QF_SHL1_STEP(eax, edx, 0, 1) QF_SHL1_STEP(edx, eax, 1, 2)
            QF_SHL1_STEP(eax, edx, 2, 3) QF_SHL1_STEP(edx, eax, 3, 4)
            QF_SHL1_STEP(eax, edx, 4, 5) QF_SHL1_STEP(edx, eax, 5, 6)
            QF_SHL1_STEP(eax, edx, 6, 7) QF_SHL1_STEP(edx, eax, 7, 8)
            QF_SHL1_STEP(eax, edx, 8, 9) QF_SHL1_STEP(edx, eax, 9, 10)
            : [d0] "=m"(d[0]), [d1] "=m"(d[1]), [d2] "=m"(d[2]), [d3] "=m"(d[3]), [d4] "=m"(d[4]),
              [d5] "=m"(d[5]), [d6] "=m"(d[6]), [d7] "=m"(d[7]), [d8] "=m"(d[8]), [d9] "=m"(d[9])
            : [s0] "m"(s[0]), [s1] "m"(s[1]), [s2] "m"(s[2]), [s3] "m"(s[3]), [s4] "m"(s[4]), [s5] "m"(s[5]),
              [s6] "m"(s[6]), [s7] "m"(s[7]), [s8] "m"(s[8]), [s9] "m"(s[9]), [s10] "m"(s[10])
            : "eax", "edx", "cc");
    // clang-format on
#undef QF_SHL1_STEP
#else
    for (int i = 0; i < 10; i++)
        d[i] = (s[i] << 1) | (s[i + 1] >> 31);
#endif
}

/* 1 when x is a normal finite number in canonical form (exponent field
 * 1..65534, top significand bit set), 0 for every other pattern (zero,
 * subnormal, unnormalized, infinity, NaN), which goes through qf_unpack.
 * The words of a canonical x are read in place: &x->mantissa[1]. */
static inline int qf_is_canonical(const qfloat *x)
{
    return (x->exponent - 1u < QFLT_EXP_INFNAN - 1u) & (int)(x->mantissa[1] >> 31);
}

/* x's exponent for value = 0.w * 2^exp (any field value, without overflow). */
static inline int32_t qf_words_exp(const qfloat *x)
{
    return (int32_t)(x->exponent - (uint32_t)QFLT_EXP_BIAS);
}

/* The normalized significand of an unpacked finite value as 11 words (its
 * 352 bits fill limbs 0..4 and the high half of limb 5). */
static inline void qf_unpacked_words(const qf_unpacked *u, uint32_t *w)
{
    for (int i = 0; i < QF_LIMBS; i++) {
        w[2 * i] = (uint32_t)(u->m[i] >> 32);
        if (2 * i + 1 < QF_WORDS)
            w[2 * i + 1] = (uint32_t)u->m[i];
    }
}

#ifdef __cplusplus
extern "C" {
#endif

/* qf_round_pack for a significand in words (12 words, as qf_finish_words
 * takes them): every exponent, and the rare carry out of the last word. */
void qf_words_round_pack(qfloat *out, int neg, int32_t exp, const uint32_t *w, uint32_t sticky);

#ifdef __cplusplus
}
#endif

/*
 * Rounds 0.w * 2^exp to 352 bits (to nearest, ties to even) and stores it
 * with the given sign. w: 12 words with the top bit set, w[11] the bits just
 * below the last kept one; sticky != 0 when nonzero bits lie below w. Results
 * inside the normal range are rounded here; any other exponent goes to
 * qf_round_pack, so the result is always the correctly rounded one. w must
 * not overlap out.
 */
static inline void qf_finish_words(qfloat *out, int neg, int32_t exp, const uint32_t *w, uint32_t sticky)
{
    // Round to nearest, ties to even: with the sticky bit folded into the
    // lowest bit, round up when the bits below the last kept one exceed one
    // half, or equal it and the last kept bit is odd.
    uint32_t low = w[11] | (sticky != 0);
    uint32_t up = low > 0x80000000u - (w[10] & 1);
    uint32_t last = w[10] + up;
    if (QF_UNLIKELY(exp < QF_EMIN || exp > QF_EMAX || last < up)) {
        qf_words_round_pack(out, neg, exp, w, sticky);
        return;
    }
    out->sign = neg ? 0xFFFFFFFFu : 0u;
    out->exponent = (uint32_t)(exp + QFLT_EXP_BIAS);
    out->mantissa[0] = 0;
    memcpy(&out->mantissa[1], w, (QF_WORDS - 1) * sizeof(uint32_t));
    out->mantissa[QF_WORDS] = last;
}

/*
 * qf_finish_words for a significand whose 11 kept words are already in
 * out->mantissa[1..11] (below: the word just below them): rounds in place
 * and stores the sign and exponent. Same results as qf_finish_words.
 */
static inline void qf_finish_words_in_place(qfloat *out, int neg, int32_t exp, uint32_t below,
                                            uint32_t sticky)
{
    uint32_t low = below | (sticky != 0);
    uint32_t last = out->mantissa[QF_WORDS];
    uint32_t up = low > 0x80000000u - (last & 1);
    last += up;
    if (QF_UNLIKELY(exp < QF_EMIN || exp > QF_EMAX || last < up)) {
        uint32_t w[QF_WORDS + 1];
        memcpy(w, &out->mantissa[1], QF_WORDS * sizeof(uint32_t));
        w[QF_WORDS] = below;
        qf_words_round_pack(out, neg, exp, w, sticky);
        return;
    }
    out->sign = neg ? 0xFFFFFFFFu : 0u;
    out->exponent = (uint32_t)(exp + QFLT_EXP_BIAS);
    out->mantissa[0] = 0;
    out->mantissa[QF_WORDS] = last;
}

#endif
