// Multiplication, correctly rounded to 352 bits. The product of the two
// significands is formed exactly; a one-limb operand (small integers and
// other short values) takes six limb products instead of thirty-six. On
// x86-64 a second build uses MULX, ADCX and ADOX (qf_cpu.h).
#include "qf_cpu.h"
#include "qf_six_limbs.h"
#include "qf_words32.h"

// 32-bit targets multiply on words instead: qf_mul32.cpp.
#if !defined(QF_WORDS32)

#if defined(__GNUC__)
#define QF_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define QF_ALWAYS_INLINE inline
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

// mul_high with MULX, for a packed a (its limbs read with the halves swapped
// by RORX) and the limbs of b: one row of products per limb of a (least
// significant first), the low halves added by the carry chain of ADCX and the
// high halves by the one of ADOX, so that both chains run side by side. The
// row of a's limb i (counted from the least significant) holds the products
// with b's limbs 5 - i .. 5, that is columns 5 .. i + 5, and ends in column
// i + 6, which no earlier row reached: the same exact sum as mul_high. Then
// normalized by NORMALIZE7_ASM; returns its k.
static inline unsigned mul_high_adx(const qfloat *a, const uint64_t *b, uint64_t *p)
{
    uint64_t c5, c6, c7, c8, c9, c10, c11, lo, hi, z, f;
    __asm__("movl 52(%[a]), %%edx\n\t"
            "shlq $32, %%rdx\n\t"
            "mulxq (%[b]), %[c5], %[c6]\n\t"
            "rorxq $32, 44(%[a]), %%rdx\n\t"
            "xorl %k[z], %k[z]\n\t"
            "mulxq 8(%[b]), %[lo], %[hi]\n\t"
            "adcxq %[lo], %[c5]\n\t"
            "adoxq %[hi], %[c6]\n\t"
            "mulxq (%[b]), %[lo], %[c7]\n\t"
            "adcxq %[lo], %[c6]\n\t"
            "adoxq %[z], %[c7]\n\t"
            "adcxq %[z], %[c7]\n\t"
            "rorxq $32, 36(%[a]), %%rdx\n\t"
            "xorl %k[z], %k[z]\n\t"
            "mulxq 16(%[b]), %[lo], %[hi]\n\t"
            "adcxq %[lo], %[c5]\n\t"
            "adoxq %[hi], %[c6]\n\t"
            "mulxq 8(%[b]), %[lo], %[hi]\n\t"
            "adcxq %[lo], %[c6]\n\t"
            "adoxq %[hi], %[c7]\n\t"
            "mulxq (%[b]), %[lo], %[c8]\n\t"
            "adcxq %[lo], %[c7]\n\t"
            "adoxq %[z], %[c8]\n\t"
            "adcxq %[z], %[c8]\n\t"
            "rorxq $32, 28(%[a]), %%rdx\n\t"
            "xorl %k[z], %k[z]\n\t"
            "mulxq 24(%[b]), %[lo], %[hi]\n\t"
            "adcxq %[lo], %[c5]\n\t"
            "adoxq %[hi], %[c6]\n\t"
            "mulxq 16(%[b]), %[lo], %[hi]\n\t"
            "adcxq %[lo], %[c6]\n\t"
            "adoxq %[hi], %[c7]\n\t"
            "mulxq 8(%[b]), %[lo], %[hi]\n\t"
            "adcxq %[lo], %[c7]\n\t"
            "adoxq %[hi], %[c8]\n\t"
            "mulxq (%[b]), %[lo], %[c9]\n\t"
            "adcxq %[lo], %[c8]\n\t"
            "adoxq %[z], %[c9]\n\t"
            "adcxq %[z], %[c9]\n\t"
            "rorxq $32, 20(%[a]), %%rdx\n\t"
            "xorl %k[z], %k[z]\n\t"
            "mulxq 32(%[b]), %[lo], %[hi]\n\t"
            "adcxq %[lo], %[c5]\n\t"
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
            "adoxq %[z], %[c10]\n\t"
            "adcxq %[z], %[c10]\n\t"
            "rorxq $32, 12(%[a]), %%rdx\n\t"
            "xorl %k[z], %k[z]\n\t"
            "mulxq 40(%[b]), %[lo], %[hi]\n\t"
            "adcxq %[lo], %[c5]\n\t"
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
            "adoxq %[z], %[c11]\n\t"
            "adcxq %[z], %[c11]\n\t" NORMALIZE7_ASM
            : [c5] "=&r"(c5), [c6] "=&r"(c6), [c7] "=&r"(c7), [c8] "=&r"(c8), [c9] "=&r"(c9),
              [c10] "=&r"(c10), [c11] "=&r"(c11), [lo] "=&r"(lo), [hi] "=&r"(hi), [z] "=&r"(z), "=&d"(f)
            : [a] "r"(a), [b] "r"(b), "m"(*a), "m"(*(const uint64_t(*)[QF_LIMBS])b)
            : "cc");
    p[0] = c11, p[1] = c10, p[2] = c9, p[3] = c8, p[4] = c7, p[5] = c6, p[6] = c5;
    return (unsigned)f - 1;
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
    if (QF_UNLIKELY(!((xa - 1u < QFLT_EXP_INFNAN - 1u) & (xb - 1u < QFLT_EXP_INFNAN - 1u) &
                      (a->mantissa[1] >> 31) & (b->mantissa[1] >> 31)))) {
        mul_general(out, a, b);
        return;
    }
    int b_short = short_packed(b);
    if (b_short || short_packed(a)) {
        short_case(out, a, b, b_short);
        return;
    }
    int32_t e = (int32_t)(xa + xb) - 2 * QFLT_EXP_BIAS;
    int neg = (a->sign != 0) ^ (b->sign != 0);
    if (QF_UNLIKELY(e <= QF_EMIN || e > QF_EMAX)) {
        mul_slow(out, neg, e, a, b);
        return;
    }
    uint64_t bm[QF_LIMBS], p[QF_LIMBS + 1];
    qf_load_limbs(b, bm);
    unsigned k;
#if defined(QF_ADX_PATH)
    if (adx) {
        k = mul_high_adx(a, bm, p);
    } else
#endif
    {
        uint64_t am[QF_LIMBS];
        qf_load_limbs(a, am);
        k = mul_high_mulq(am, bm, p);
    }
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
