// SPDX-License-Identifier: MIT
// Multiplication, correctly rounded to 352 bits. The product of the two
// significands is formed exactly; a one-limb operand (small integers and
// other short values) takes six limb products instead of thirty-six. On
// x86-64 a second build uses MULX, ADCX and ADOX (qf_cpu.h).
#include "qf_cpu.h"
#include "qf_six_limbs.h"
#include "qf_words32.h"

// 32-bit targets multiply on words instead: qf_mul32.cpp.
#if !defined(QF_WORDS32)

#if defined(QF_ADX_PATH)
#include <emmintrin.h>
#endif

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

// The product of two finite significands, rounded and stored.
static QF_ALWAYS_INLINE void mul_finite(qfloat *out, int neg, int32_t ea, const uint64_t *a, int32_t eb,
                                        const uint64_t *b)
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

// Zeros, infinities, NaN and noncanonical patterns (subnormals included).
#if defined(__GNUC__)
__attribute__((noinline, cold))
#endif
static void
mul_general(qfloat *out, const qfloat *a, const qfloat *b)
{
    qf_unpacked ua, ub;
    qf_unpack(a, &ua);
    qf_unpack(b, &ub);
    if (!qf_mul_exceptional(out, &ua, &ub))
        mul_finite(out, ua.neg ^ ub.neg, ua.exp, ua.m, ub.exp, ub.m);
}

#if defined(QF_X86_64_ASM)
// Normalizes the seven limbs r11 (most significant) .. r5 of a product whose
// top bit or the one below it is set: times 2^k, k = 1 when the top bit is
// clear, by double shifts of k bits (k in ecx on exit).
#define NORMALIZE7_SHLD_ASM                                                                                  \
    "xorl %%ecx, %%ecx\n\t"                                                                                  \
    "btq $63, %[r11]\n\t"                                                                                    \
    "setnc %%cl\n\t"                                                                                         \
    "shldq %%cl, %[r10], %[r11]\n\t"                                                                         \
    "shldq %%cl, %[r9], %[r10]\n\t"                                                                          \
    "shldq %%cl, %[r8], %[r9]\n\t"                                                                           \
    "shldq %%cl, %[r7], %[r8]\n\t"                                                                           \
    "shldq %%cl, %[r6], %[r7]\n\t"                                                                           \
    "shldq %%cl, %[r5], %[r6]\n\t"                                                                           \
    "shlq %%cl, %[r5]"

// mul_high for x86-64 without MULX: column by column (least significant
// first) into a three-limb accumulator, each product added by MUL, ADD, ADC,
// ADC; the accumulator registers move up one limb per column instead of
// their contents. The same exact sum as mul_high; then normalized by
// NORMALIZE7_SHLD_ASM, whose k it returns.
static inline unsigned mul_high_mulq(const uint64_t *a, const uint64_t *b, uint64_t *p)
{
    uint64_t r5, r6, r7, r8, r9, r10, r11, lo, hi, k;
    __asm__("xorl %k[r5], %k[r5]\n\t"
            "xorl %k[r6], %k[r6]\n\t"
            "xorl %k[r7], %k[r7]\n\t"
            "movq 40(%[a]), %%rax\n\t"
            "mulq 0(%[b])\n\t"
            "addq %%rax, %[r5]\n\t"
            "adcq %%rdx, %[r6]\n\t"
            "adcq $0, %[r7]\n\t"
            "movq 32(%[a]), %%rax\n\t"
            "mulq 8(%[b])\n\t"
            "addq %%rax, %[r5]\n\t"
            "adcq %%rdx, %[r6]\n\t"
            "adcq $0, %[r7]\n\t"
            "movq 24(%[a]), %%rax\n\t"
            "mulq 16(%[b])\n\t"
            "addq %%rax, %[r5]\n\t"
            "adcq %%rdx, %[r6]\n\t"
            "adcq $0, %[r7]\n\t"
            "movq 16(%[a]), %%rax\n\t"
            "mulq 24(%[b])\n\t"
            "addq %%rax, %[r5]\n\t"
            "adcq %%rdx, %[r6]\n\t"
            "adcq $0, %[r7]\n\t"
            "movq 8(%[a]), %%rax\n\t"
            "mulq 32(%[b])\n\t"
            "addq %%rax, %[r5]\n\t"
            "adcq %%rdx, %[r6]\n\t"
            "adcq $0, %[r7]\n\t"
            "movq 0(%[a]), %%rax\n\t"
            "mulq 40(%[b])\n\t"
            "addq %%rax, %[r5]\n\t"
            "adcq %%rdx, %[r6]\n\t"
            "adcq $0, %[r7]\n\t"
            "xorl %k[r8], %k[r8]\n\t"
            "movq 32(%[a]), %%rax\n\t"
            "mulq 0(%[b])\n\t"
            "addq %%rax, %[r6]\n\t"
            "adcq %%rdx, %[r7]\n\t"
            "adcq $0, %[r8]\n\t"
            "movq 24(%[a]), %%rax\n\t"
            "mulq 8(%[b])\n\t"
            "addq %%rax, %[r6]\n\t"
            "adcq %%rdx, %[r7]\n\t"
            "adcq $0, %[r8]\n\t"
            "movq 16(%[a]), %%rax\n\t"
            "mulq 16(%[b])\n\t"
            "addq %%rax, %[r6]\n\t"
            "adcq %%rdx, %[r7]\n\t"
            "adcq $0, %[r8]\n\t"
            "movq 8(%[a]), %%rax\n\t"
            "mulq 24(%[b])\n\t"
            "addq %%rax, %[r6]\n\t"
            "adcq %%rdx, %[r7]\n\t"
            "adcq $0, %[r8]\n\t"
            "movq 0(%[a]), %%rax\n\t"
            "mulq 32(%[b])\n\t"
            "addq %%rax, %[r6]\n\t"
            "adcq %%rdx, %[r7]\n\t"
            "adcq $0, %[r8]\n\t"
            "xorl %k[r9], %k[r9]\n\t"
            "movq 24(%[a]), %%rax\n\t"
            "mulq 0(%[b])\n\t"
            "addq %%rax, %[r7]\n\t"
            "adcq %%rdx, %[r8]\n\t"
            "adcq $0, %[r9]\n\t"
            "movq 16(%[a]), %%rax\n\t"
            "mulq 8(%[b])\n\t"
            "addq %%rax, %[r7]\n\t"
            "adcq %%rdx, %[r8]\n\t"
            "adcq $0, %[r9]\n\t"
            "movq 8(%[a]), %%rax\n\t"
            "mulq 16(%[b])\n\t"
            "addq %%rax, %[r7]\n\t"
            "adcq %%rdx, %[r8]\n\t"
            "adcq $0, %[r9]\n\t"
            "movq 0(%[a]), %%rax\n\t"
            "mulq 24(%[b])\n\t"
            "addq %%rax, %[r7]\n\t"
            "adcq %%rdx, %[r8]\n\t"
            "adcq $0, %[r9]\n\t"
            "xorl %k[r10], %k[r10]\n\t"
            "movq 16(%[a]), %%rax\n\t"
            "mulq 0(%[b])\n\t"
            "addq %%rax, %[r8]\n\t"
            "adcq %%rdx, %[r9]\n\t"
            "adcq $0, %[r10]\n\t"
            "movq 8(%[a]), %%rax\n\t"
            "mulq 8(%[b])\n\t"
            "addq %%rax, %[r8]\n\t"
            "adcq %%rdx, %[r9]\n\t"
            "adcq $0, %[r10]\n\t"
            "movq 0(%[a]), %%rax\n\t"
            "mulq 16(%[b])\n\t"
            "addq %%rax, %[r8]\n\t"
            "adcq %%rdx, %[r9]\n\t"
            "adcq $0, %[r10]\n\t"
            "xorl %k[r11], %k[r11]\n\t"
            "movq 8(%[a]), %%rax\n\t"
            "mulq 0(%[b])\n\t"
            "addq %%rax, %[r9]\n\t"
            "adcq %%rdx, %[r10]\n\t"
            "adcq $0, %[r11]\n\t"
            "movq 0(%[a]), %%rax\n\t"
            "mulq 8(%[b])\n\t"
            "addq %%rax, %[r9]\n\t"
            "adcq %%rdx, %[r10]\n\t"
            "adcq $0, %[r11]\n\t"
            "movq 0(%[a]), %%rax\n\t"
            "mulq 0(%[b])\n\t"
            "addq %%rax, %[r10]\n\t"
            "adcq %%rdx, %[r11]\n\t" NORMALIZE7_SHLD_ASM
            : [r5] "=&r"(r5), [r6] "=&r"(r6), [r7] "=&r"(r7), [r8] "=&r"(r8), [r9] "=&r"(r9),
              [r10] "=&r"(r10), [r11] "=&r"(r11), "=&a"(lo), "=&d"(hi), "=&c"(k)
            : [a] "r"(a), [b] "r"(b), "m"(*(const uint64_t(*)[QF_LIMBS])a),
              "m"(*(const uint64_t(*)[QF_LIMBS])b)
            : "cc");
    p[0] = r11, p[1] = r10, p[2] = r9, p[3] = r8, p[4] = r7, p[5] = r6, p[6] = r5;
    return (unsigned)k;
}

// x * d exactly in p[0..7) for a normalized one-limb d (MUL, limb by limb),
// normalized by NORMALIZE7_SHLD_ASM; returns its k.
static inline unsigned mul_by_limb_mulq(const uint64_t *x, uint64_t d, uint64_t *p)
{
    uint64_t r5, r6, r7, r8, r9, r10, r11, lo, hi, k;
    __asm__("movq 40(%[x]), %%rax\n\t"
            "mulq %[d]\n\t"
            "movq %%rax, %[r5]\n\t"
            "movq %%rdx, %[r6]\n\t"
            "movq 32(%[x]), %%rax\n\t"
            "mulq %[d]\n\t"
            "addq %%rax, %[r6]\n\t"
            "adcq $0, %%rdx\n\t"
            "movq %%rdx, %[r7]\n\t"
            "movq 24(%[x]), %%rax\n\t"
            "mulq %[d]\n\t"
            "addq %%rax, %[r7]\n\t"
            "adcq $0, %%rdx\n\t"
            "movq %%rdx, %[r8]\n\t"
            "movq 16(%[x]), %%rax\n\t"
            "mulq %[d]\n\t"
            "addq %%rax, %[r8]\n\t"
            "adcq $0, %%rdx\n\t"
            "movq %%rdx, %[r9]\n\t"
            "movq 8(%[x]), %%rax\n\t"
            "mulq %[d]\n\t"
            "addq %%rax, %[r9]\n\t"
            "adcq $0, %%rdx\n\t"
            "movq %%rdx, %[r10]\n\t"
            "movq (%[x]), %%rax\n\t"
            "mulq %[d]\n\t"
            "addq %%rax, %[r10]\n\t"
            "adcq $0, %%rdx\n\t"
            "movq %%rdx, %[r11]\n\t" NORMALIZE7_SHLD_ASM
            : [r5] "=&r"(r5), [r6] "=&r"(r6), [r7] "=&r"(r7), [r8] "=&r"(r8), [r9] "=&r"(r9),
              [r10] "=&r"(r10), [r11] "=&r"(r11), "=&a"(lo), "=&d"(hi), "=&c"(k)
            : [x] "r"(x), [d] "r"(d), "m"(*(const uint64_t(*)[QF_LIMBS])x)
            : "cc");
    p[0] = r11, p[1] = r10, p[2] = r9, p[3] = r8, p[4] = r7, p[5] = r6, p[6] = r5;
    return (unsigned)k;
}
#endif

#if defined(QF_ADX_PATH)
// Normalizes the seven limbs c11 (most significant) .. c5 of a product whose
// top bit or the one below it is set: times 2^k, k = 1 when the top bit is
// clear. Each limb times f = 1 + k (in rdx on exit) splits into its own bits
// (low half) and the bit carried into the limb above (high half). Uses the
// scratch operands lo and hi.
#define NORMALIZE7_ASM                                                                                       \
    "movl $2, %%edx\n\t"                                                                                     \
    "btq $63, %[c11]\n\t"                                                                                    \
    "sbbl $0, %%edx\n\t"                                                                                     \
    "mulxq %[c5], %[c5], %[lo]\n\t"                                                                          \
    "mulxq %[c6], %[c6], %[hi]\n\t"                                                                          \
    "orq %[lo], %[c6]\n\t"                                                                                   \
    "mulxq %[c7], %[c7], %[lo]\n\t"                                                                          \
    "orq %[hi], %[c7]\n\t"                                                                                   \
    "mulxq %[c8], %[c8], %[hi]\n\t"                                                                          \
    "orq %[lo], %[c8]\n\t"                                                                                   \
    "mulxq %[c9], %[c9], %[lo]\n\t"                                                                          \
    "orq %[hi], %[c9]\n\t"                                                                                   \
    "mulxq %[c10], %[c10], %[hi]\n\t"                                                                        \
    "orq %[lo], %[c10]\n\t"                                                                                  \
    "mulxq %[c11], %[c11], %[lo]\n\t"                                                                        \
    "orq %[hi], %[c11]"

// The product of canonical a and b whose product lies in the normal range,
// rounded and stored, with MULX; returns 0. Returns 1 and writes nothing
// when the short product below leaves the rounding undecided, when the
// rounding carries beyond the last kept limb (at most once in 2^32) or when
// the top limbs cannot tell the normalizing shift (about once in 2^61): the
// caller then takes the full product. hdr: out's first 64 bits (sign word,
// biased exponent) for a product with its top bit set; k (1 for a shift
// left by one bit) comes off the exponent.
//
// Limbs counted from the least significant, A_0 .. A_5 (A_0 holding word 11
// in its high half), likewise B. S sums the products of columns i + j >= 6
// and the high halves of those of column 5, exactly, in six limbs c6 .. c11
// (c6 worth 2^384). The product T = A * B exceeds S by the low halves of
// column 5 (six, each below 2^384) and columns 0 .. 4 (below 5.01 * 2^384):
// T lies in [S, S + 12) units of c6, [N, N + 24) once normalized to N.
// Rounding N to nearest by adding half a unit of the last kept bit and
// cutting is then exact unless the 32 bits below that bit lie in
// [2^31 - 24, 2^31] (a carry out of them rounds T the same way as N).
// c11 lies in [P, P + 2] for P = hi(A_5 B_5), so P's top bit gives k before
// the rows end, unless P lies within 3 below 2^63.
//
// b's limbs go to bb (most significant first), their halves swapped by
// PSHUFD (off the ports that the carry chains use); each row of products
// holds a's limb A_i (read with its halves swapped by RORX) times
// B_(5-i) .. B_5: the low halves go down the carry chain of ADCX, the high
// halves down that of ADOX, so that both chains run side by side, and a zero
// register ends both chains of a row in its top limb.
static inline int mul_round_adx(qfloat *out, const qfloat *a, const qfloat *b, uint64_t hdr)
{
    alignas(16) uint64_t bb[QF_LIMBS];
    uint64_t c6, c7, c8, c9, c10, c11, lo, f, k, zo; // zo: zero, then out
    __m128i x0, x1;
    uintptr_t hi = (uintptr_t)b;
    unsigned char slow;
    __asm__("movq 12(%[hi]), %[x0]\n\t"
            "movhps 20(%[hi]), %[x0]\n\t"
            "pshufd $0xB1, %[x0], %[x0]\n\t"
            "movdqa %[x0], (%[b])\n\t"
            "movq 28(%[hi]), %[x0]\n\t"
            "movhps 36(%[hi]), %[x0]\n\t"
            "pshufd $0xB1, %[x0], %[x0]\n\t"
            "movdqa %[x0], 16(%[b])\n\t"
            "movq 44(%[hi]), %[x0]\n\t"
            "movd 52(%[hi]), %[x1]\n\t"
            "punpcklqdq %[x1], %[x0]\n\t"
            "pshufd $0xB1, %[x0], %[x0]\n\t"
            "movdqa %[x0], 32(%[b])\n\t"
            "xorl %k[zo], %k[zo]\n\t"
            // k = 1 when the product's top bit is clear: c11 exceeds
            // hi(A_5 B_5) by at most 2, so that decides unless it lies
            // within 3 below 2^63 (then the slow way)
            "rorxq $32, 12(%[a]), %%rdx\n\t"
            "mulxq (%[b]), %[lo], %[k]\n\t"
            "leaq 3(%[k]), %[lo]\n\t"
            "xorq %[k], %[lo]\n\t"
            "btq $63, %[lo]\n\t"
            "jc 1f\n\t"
            "shrq $63, %[k]\n\t"
            "xorl $1, %k[k]\n\t"
            // A_0: column 5
            "movl 52(%[a]), %%edx\n\t"
            "shlq $32, %%rdx\n\t"
            "mulxq (%[b]), %[lo], %[c6]\n\t"
            // A_1: columns 5, 6
            "rorxq $32, 44(%[a]), %%rdx\n\t"
            "xorl %k[lo], %k[lo]\n\t"
            "mulxq 8(%[b]), %[lo], %[hi]\n\t"
            "adoxq %[hi], %[c6]\n\t"
            "mulxq (%[b]), %[lo], %[c7]\n\t"
            "adcxq %[lo], %[c6]\n\t"
            "adoxq %[zo], %[c7]\n\t"
            "adcxq %[zo], %[c7]\n\t"
            // A_2: columns 5 .. 7
            "rorxq $32, 36(%[a]), %%rdx\n\t"
            "xorl %k[lo], %k[lo]\n\t"
            "mulxq 16(%[b]), %[lo], %[hi]\n\t"
            "adoxq %[hi], %[c6]\n\t"
            "mulxq 8(%[b]), %[lo], %[hi]\n\t"
            "adcxq %[lo], %[c6]\n\t"
            "adoxq %[hi], %[c7]\n\t"
            "mulxq (%[b]), %[lo], %[c8]\n\t"
            "adcxq %[lo], %[c7]\n\t"
            "adoxq %[zo], %[c8]\n\t"
            "adcxq %[zo], %[c8]\n\t"
            // A_3: columns 5 .. 8
            "rorxq $32, 28(%[a]), %%rdx\n\t"
            "xorl %k[lo], %k[lo]\n\t"
            "mulxq 24(%[b]), %[lo], %[hi]\n\t"
            "adoxq %[hi], %[c6]\n\t"
            "mulxq 16(%[b]), %[lo], %[hi]\n\t"
            "adcxq %[lo], %[c6]\n\t"
            "adoxq %[hi], %[c7]\n\t"
            "mulxq 8(%[b]), %[lo], %[hi]\n\t"
            "adcxq %[lo], %[c7]\n\t"
            "adoxq %[hi], %[c8]\n\t"
            "mulxq (%[b]), %[lo], %[c9]\n\t"
            "adcxq %[lo], %[c8]\n\t"
            "adoxq %[zo], %[c9]\n\t"
            "adcxq %[zo], %[c9]\n\t"
            // A_4: columns 5 .. 9
            "rorxq $32, 20(%[a]), %%rdx\n\t"
            "xorl %k[lo], %k[lo]\n\t"
            "mulxq 32(%[b]), %[lo], %[hi]\n\t"
            "adoxq %[hi], %[c6]\n\t"
            "mulxq 24(%[b]), %[lo], %[hi]\n\t"
            "adcxq %[lo], %[c6]\n\t"
            "adoxq %[hi], %[c7]\n\t"
            "mulxq 16(%[b]), %[lo], %[hi]\n\t"
            "adcxq %[lo], %[c7]\n\t"
            "adoxq %[hi], %[c8]\n\t"
            "mulxq 8(%[b]), %[lo], %[hi]\n\t"
            "adcxq %[lo], %[c8]\n\t"
            "adoxq %[hi], %[c9]\n\t"
            "mulxq (%[b]), %[lo], %[c10]\n\t"
            "adcxq %[lo], %[c9]\n\t"
            "adoxq %[zo], %[c10]\n\t"
            "adcxq %[zo], %[c10]\n\t"
            // A_5: columns 5 .. 10
            "rorxq $32, 12(%[a]), %%rdx\n\t"
            "xorl %k[lo], %k[lo]\n\t"
            "mulxq 40(%[b]), %[lo], %[hi]\n\t"
            "adoxq %[hi], %[c6]\n\t"
            "mulxq 32(%[b]), %[lo], %[hi]\n\t"
            "adcxq %[lo], %[c6]\n\t"
            "adoxq %[hi], %[c7]\n\t"
            "mulxq 24(%[b]), %[lo], %[hi]\n\t"
            "adcxq %[lo], %[c7]\n\t"
            "adoxq %[hi], %[c8]\n\t"
            "mulxq 16(%[b]), %[lo], %[hi]\n\t"
            "adcxq %[lo], %[c8]\n\t"
            "adoxq %[hi], %[c9]\n\t"
            "mulxq 8(%[b]), %[lo], %[hi]\n\t"
            "adcxq %[lo], %[c9]\n\t"
            "adoxq %[hi], %[c10]\n\t"
            "mulxq (%[b]), %[lo], %[c11]\n\t"
            "adcxq %[lo], %[c10]\n\t"
            "adoxq %[zo], %[c11]\n\t"
            "adcxq %[zo], %[c11]\n\t"
            // normalize: times 2^k, limb by limb from the top (each reads
            // the top bit of the limb below before that one is shifted)
            "rorxq $63, %[c10], %[lo]\n\t"
            "andq %[k], %[lo]\n\t"
            "shlxq %[k], %[c11], %[c11]\n\t"
            "orq %[lo], %[c11]\n\t"
            "rorxq $63, %[c9], %[lo]\n\t"
            "andq %[k], %[lo]\n\t"
            "shlxq %[k], %[c10], %[c10]\n\t"
            "orq %[lo], %[c10]\n\t"
            "rorxq $63, %[c8], %[lo]\n\t"
            "andq %[k], %[lo]\n\t"
            "shlxq %[k], %[c9], %[c9]\n\t"
            "orq %[lo], %[c9]\n\t"
            "rorxq $63, %[c7], %[lo]\n\t"
            "andq %[k], %[lo]\n\t"
            "shlxq %[k], %[c8], %[c8]\n\t"
            "orq %[lo], %[c8]\n\t"
            "rorxq $63, %[c6], %[lo]\n\t"
            "andq %[k], %[lo]\n\t"
            "shlxq %[k], %[c7], %[c7]\n\t"
            "orq %[lo], %[c7]\n\t"
            "shlxq %[k], %[c6], %[c6]\n\t"
            // undecided: the low 32 bits of c6 in [2^31 - 24, 2^31]
            "leal -2147483624(%[c6]), %k[lo]\n\t"
            "cmpl $25, %k[lo]\n\t"
            "jb 1f\n\t"
            // out's first 64 bits
            "movq %[k], %[lo]\n\t"
            "shlq $32, %[lo]\n\t"
            "movq %[hdr], %[hi]\n\t"
            "subq %[lo], %[hi]\n\t"
            // round: half a unit of the last kept bit; a carry out of c6
            // goes the slow way
            "movl $0x80000000, %k[lo]\n\t"
            "addq %[lo], %[c6]\n\t"
            "jc 1f\n\t"
            // store, the halves swapped back (no flags change: the carry
            // stays clear); every piece the size that readers load, so
            // that the stores forward to them
            "rorxq $32, %[c11], %[c11]\n\t"
            "rorxq $32, %[c10], %[c10]\n\t"
            "rorxq $32, %[c9], %[c9]\n\t"
            "rorxq $32, %[c8], %[c8]\n\t"
            "rorxq $32, %[c7], %[c7]\n\t"
            "movq %[op], %[zo]\n\t"
            "movq %[hi], (%[zo])\n\t"
            "movl $0, 8(%[zo])\n\t"
            "movq %[c11], 12(%[zo])\n\t"
            "movq %[c10], 20(%[zo])\n\t"
            "movq %[c9], 28(%[zo])\n\t"
            "movq %[c8], 36(%[zo])\n\t"
            "rorxq $32, %[c6], %[c6]\n\t"
            "movq %[c7], 44(%[zo])\n\t"
            "movl %k[c6], 52(%[zo])\n"
            "1:"
            : [c6] "=&r"(c6), [c7] "=&r"(c7), [c8] "=&r"(c8), [c9] "=&r"(c9), [c10] "=&r"(c10),
              [c11] "=&r"(c11), [lo] "=&r"(lo), [hi] "+&r"(hi),
              "=&d"(f), [k] "=&r"(k), [zo] "=&r"(zo), [x0] "=&x"(x0), [x1] "=&x"(x1), "=@ccc"(slow)
            : [a] "r"(a), [b] "r"(bb), [op] "m"(out), [hdr] "m"(hdr)
            : "memory");
    return slow;
}

// x * d exactly in p[0..7) for a packed x (limbs read with the halves
// swapped by RORX) and a normalized one-limb d, normalized by NORMALIZE7_ASM;
// returns its k.
static inline unsigned mul_by_limb_adx(const qfloat *x, uint64_t d, uint64_t *p)
{
    uint64_t c5, c6, c7, c8, c9, c10, c11, lo, hi, f = d;
    __asm__("movl 52(%[x]), %k[lo]\n\t"
            "shlq $32, %[lo]\n\t"
            "mulxq %[lo], %[c5], %[hi]\n\t"
            "rorxq $32, 44(%[x]), %[lo]\n\t"
            "mulxq %[lo], %[c6], %[lo]\n\t"
            "addq %[hi], %[c6]\n\t"
            "rorxq $32, 36(%[x]), %[hi]\n\t"
            "mulxq %[hi], %[c7], %[hi]\n\t"
            "adcq %[lo], %[c7]\n\t"
            "rorxq $32, 28(%[x]), %[lo]\n\t"
            "mulxq %[lo], %[c8], %[lo]\n\t"
            "adcq %[hi], %[c8]\n\t"
            "rorxq $32, 20(%[x]), %[hi]\n\t"
            "mulxq %[hi], %[c9], %[hi]\n\t"
            "adcq %[lo], %[c9]\n\t"
            "rorxq $32, 12(%[x]), %[lo]\n\t"
            "mulxq %[lo], %[c10], %[c11]\n\t"
            "adcq %[hi], %[c10]\n\t"
            "adcq $0, %[c11]\n\t" NORMALIZE7_ASM
            : [c5] "=&r"(c5), [c6] "=&r"(c6), [c7] "=&r"(c7), [c8] "=&r"(c8), [c9] "=&r"(c9),
              [c10] "=&r"(c10), [c11] "=&r"(c11), [lo] "=&r"(lo), [hi] "=&r"(hi), "+d"(f)
            : [x] "r"(x), "m"(*x)
            : "cc");
    p[0] = c11, p[1] = c10, p[2] = c9, p[3] = c8, p[4] = c7, p[5] = c6, p[6] = c5;
    return (unsigned)f - 1;
}

#endif

#if defined(QF_X86_64_ASM)
// The rare cases of the entries below: exponents at the ends of the range,
// and products that the high part leaves undecided.
#if defined(__GNUC__)
__attribute__((noinline))
#endif
static void
mul_slow(qfloat *out, int neg, int32_t e, const qfloat *a, const qfloat *b)
{
    uint64_t am[QF_LIMBS], bm[QF_LIMBS], p[2 * QF_LIMBS];
    qf_load_limbs(a, am);
    qf_load_limbs(b, bm);
    mul_full(am, bm, p);
    finish_product(out, neg, e, p, 2 * QF_LIMBS);
}

// mul_slow for canonical a and b, its sign and exponent taken from them (so
// that callers need not keep them).
#if defined(__GNUC__)
__attribute__((noinline))
#endif
static void
mul_slow_of(qfloat *out, const qfloat *a, const qfloat *b)
{
    mul_slow(out, (a->sign != 0) ^ (b->sign != 0), (int32_t)(a->exponent + b->exponent) - 2 * QFLT_EXP_BIAS,
             a, b);
}

// The 64 bits at p, as they lie in memory.
static inline uint64_t load64(const void *p)
{
    uint64_t v;
    memcpy(&v, p, sizeof v);
    return v;
}

// Nonzero when the significand of x fits one limb: words 3..11 (limbs 1..5),
// read as they lie, are zero.
static inline int short_packed(const qfloat *x)
{
    return (load64(&x->mantissa[3]) | load64(&x->mantissa[5]) | load64(&x->mantissa[7]) |
            load64(&x->mantissa[9]) | x->mantissa[11]) == 0;
}

// The product of canonical normal a and b of which one fits one limb (b when
// b_short, else a): exact in seven limbs. adx: the build (a constant).
static QF_ALWAYS_INLINE void mul_short(qfloat *out, const qfloat *a, const qfloat *b, int b_short, int adx)
{
    const qfloat *x = b_short ? a : b, *y = b_short ? b : a;
    uint64_t d = ((uint64_t)y->mantissa[1] << 32) | y->mantissa[2], p[QF_LIMBS + 1];
    unsigned k;
#if defined(QF_ADX_PATH)
    if (adx) {
        k = mul_by_limb_adx(x, d, p);
    } else
#endif
    {
        uint64_t m[QF_LIMBS];
        qf_load_limbs(x, m);
        k = mul_by_limb_mulq(m, d, p);
    }
    int32_t e = (int32_t)(a->exponent + b->exponent) - 2 * QFLT_EXP_BIAS - (int32_t)k;
    qf_finish(out, (a->sign != 0) ^ (b->sign != 0), e, p, p[QF_LIMBS]);
}

// Canonical normal operands take the paths above; the general path takes
// the rest. The one-limb case is a function of its own in each build (a
// tail call), so that it does not share registers with the full product.
static QF_ALWAYS_INLINE void multiply(qfloat *out, const qfloat *a, const qfloat *b, int adx,
                                      void (*short_case)(qfloat *, const qfloat *, const qfloat *, int))
{
    uint32_t xa = a->exponent, xb = b->exponent;
    if (QF_UNLIKELY(xa - 1u >= QFLT_EXP_INFNAN - 1u) || QF_UNLIKELY(xb - 1u >= QFLT_EXP_INFNAN - 1u) ||
        QF_UNLIKELY((int32_t)(a->mantissa[1] & b->mantissa[1]) >= 0)) {
        mul_general(out, a, b);
        return;
    }
    // A one-limb significand ends in a zero word 11: one test keeps the
    // full check off the common path.
    if (QF_UNLIKELY((a->mantissa[11] & b->mantissa[11]) == 0)) {
        int b_short = short_packed(b);
        if (b_short || short_packed(a)) {
            short_case(out, a, b, b_short);
            return;
        }
    }
    // e = xa + xb - 2 * bias in (QF_EMIN, QF_EMAX]
    if (QF_UNLIKELY(xa + xb - (2 * QFLT_EXP_BIAS + QF_EMIN + 1) > (uint32_t)(QF_EMAX - QF_EMIN - 1))) {
        mul_slow_of(out, a, b);
        return;
    }
#if defined(QF_ADX_PATH)
    if (adx) {
        uint32_t sign = (uint32_t) - (a->sign == 0) ^ (uint32_t) - (b->sign == 0);
        uint64_t hdr = (uint64_t)(xa + xb - QFLT_EXP_BIAS) << 32 | sign;
        if (QF_UNLIKELY(mul_round_adx(out, a, b, hdr)))
            mul_slow_of(out, a, b);
        return;
    }
#endif
    int32_t e = (int32_t)(xa + xb) - 2 * QFLT_EXP_BIAS;
    int neg = (a->sign != 0) ^ (b->sign != 0);
    uint64_t bm[QF_LIMBS], p[QF_LIMBS + 1];
    uint64_t am[QF_LIMBS];
    qf_load_limbs(b, bm);
    qf_load_limbs(a, am);
    unsigned k = mul_high_mulq(am, bm, p);
    // As in mul_finite: decided unless the bits below the last kept one lie
    // within 15 units of the half-way point or of the next unit. When
    // decided, rounding to nearest is adding half a unit and cutting.
    uint64_t below = p[5] & QF_LOW32;
    if (QF_UNLIKELY(!(below + 15 < 0x80000000u || (below > 0x80000000u && below + 15 <= QF_LOW32)))) {
        mul_slow(out, neg, e, a, b);
        return;
    }
    e -= (int32_t)k;
    if (QF_UNLIKELY(qf_add_at_limb5(p, 0x80000000u))) {
        p[0] = 1ull << 63; // 0.111...1 rounded up to 1.0
        if (++e > QF_EMAX) {
            qf_set_inf(out, neg);
            return;
        }
    }
    qf_store_limbs(out, neg, (uint32_t)(e + QFLT_EXP_BIAS), p);
}

// The one-limb case of the generic build.
#if defined(__GNUC__)
__attribute__((noinline))
#endif
static void
mul_short_generic(qfloat *out, const qfloat *a, const qfloat *b, int b_short)
{
    mul_short(out, a, b, b_short, 0);
}

// a * b, the generic x86-64 build.
void qf_mul_generic(qfloat *out, const qfloat *a, const qfloat *b)
{
    multiply(out, a, b, 0, mul_short_generic);
}
#else
// a * b, the portable build.
void qf_mul_generic(qfloat *out, const qfloat *a, const qfloat *b)
{
    uint64_t am[QF_LIMBS], bm[QF_LIMBS];
    int na, nb;
    int32_t ea, eb;
    if (QF_LIKELY(qf_load_normal(a, &na, &ea, am) & qf_load_normal(b, &nb, &eb, bm)))
        mul_finite(out, na ^ nb, ea, am, eb, bm);
    else
        mul_general(out, a, b);
}
#endif

#if defined(QF_ADX_PATH)
// The one-limb case of the MULX build.
#if defined(__GNUC__)
__attribute__((noinline))
#endif
QF_ADX_TARGET static void
mul_short_adx(qfloat *out, const qfloat *a, const qfloat *b, int b_short)
{
    mul_short(out, a, b, b_short, 1);
}

// a * b, the MULX build.
QF_ADX_TARGET void qf_mul_adx(qfloat *out, const qfloat *a, const qfloat *b)
{
    multiply(out, a, b, 1, mul_short_adx);
}
#endif

// The exported entry: one of the builds (qf_cpu.h).
QF_DISPATCH(__op_multiply_pqfloat_pqfloat, (qfloat * out, const qfloat *a, const qfloat *b), (out, a, b),
            qf_mul_generic, qf_mul_adx)

#endif // !QF_WORDS32
