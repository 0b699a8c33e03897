// SPDX-License-Identifier: MIT
// Division on 32-bit targets (qf_words32.h), correctly rounded to 352 bits:
// the same results as qf_div.cpp, by schoolbook long division on the packed
// words with the processor's 64/32-bit division for each quotient word. The
// quotient is developed to twelve words (384 bits); the final remainder tells
// whether anything nonzero lies below them, which settles ties exactly. A
// divisor's trailing zero words take no part (small integers: one word).
#include "qf_words32.h"

#if defined(QF_WORDS32)

// (hi:lo) / d for hi < d: the quotient, and the remainder in *rem. Exact.
static inline uint32_t div64by32(uint32_t hi, uint32_t lo, uint32_t d, uint32_t *rem)
{
#if defined(QF_I386_ASM)
    uint32_t q, r;
    __asm__("divl %4" : "=a"(q), "=d"(r) : "a"(lo), "d"(hi), "rm"(d) : "cc");
    *rem = r;
    return q;
#else
    uint64_t n = ((uint64_t)hi << 32) | lo;
    *rem = (uint32_t)(n % d);
    return (uint32_t)(n / d);
#endif
}

// x - low(q * v + *carry), with *carry set to the high word plus the borrow
// (which cannot overflow: the high word is at most 2^32 - 2).
static inline uint32_t submul_word(uint32_t x, uint32_t v, uint32_t q, uint32_t *carry)
{
#if defined(QF_I386_ASM)
    uint32_t hi;
    __asm__("mull %[q]\n\taddl %[c], %%eax\n\tadcl $0, %%edx\n\tsubl %%eax, %[x]\n\tadcl $0, %%edx"
            : [x] "+r"(x), "+a"(v), "=&d"(hi)
            : [q] "rm"(q), [c] "rm"(*carry)
            : "cc");
    *carry = hi;
    return x;
#else
    uint64_t p = (uint64_t)q * v + *carry;
    uint32_t lo = (uint32_t)p;
    *carry = (uint32_t)(p >> 32) + (x < lo);
    return x - lo;
#endif
}

// One step of long division by v (n words, most significant first, top bit
// set): with r (n words, r < v) and the next dividend word u, returns the
// quotient word floor((r:u) / v) and leaves the remainder (< v) in r.
static inline uint32_t div_step(uint32_t *r, uint32_t u, const uint32_t *v, int n)
{
    // Estimate from the top two words, refined with the second divisor word
    // (Knuth's algorithm D): qhat is then exact or one too large.
    uint32_t r1 = n > 1 ? r[1] : u;
    uint32_t qhat, rhat;
    int check = n > 1;
    if (r[0] >= v[0]) {
        // r[0] == v[0]: the estimate saturates; rhat = r1 + v[0]
        qhat = 0xFFFFFFFFu;
        rhat = r1 + v[0];
        check = check && rhat >= v[0]; // otherwise rhat >= 2^32 and the test cannot fail
    } else {
        qhat = div64by32(r[0], r1, v[0], &rhat);
    }
    if (n == 1) {
        r[0] = rhat; // a one-word divisor: exact already
        return qhat;
    }
    uint32_t r2 = n > 2 ? r[2] : u;
    while (check) {
        uint64_t p = (uint64_t)qhat * v[1];
        if (p <= (((uint64_t)rhat << 32) | r2))
            break;
        qhat--;
        uint32_t nr = rhat + v[0];
        check = nr >= rhat; // rhat >= 2^32: the test cannot fail again
        rhat = nr;
    }
    // (r:u) -= qhat * v over n + 1 words; the borrow of each word is folded
    // into the carry of the product (hi <= 2^32 - 2: no overflow). The top
    // word of the difference is x - carry at the end: 0, or -1 when qhat was
    // one too large.
    uint32_t x = u, carry = 0;
    QF_UNROLL
    for (int i = n - 1; i >= 0; i--) {
        uint32_t old = r[i];
        r[i] = submul_word(x, v[i], qhat, &carry);
        x = old;
    }
    if (QF_UNLIKELY(x < carry)) { // add v back once
        qhat--;
        uint32_t c = 0;
        for (int i = n - 1; i >= 0; i--) {
            uint64_t s = (uint64_t)r[i] + v[i] + c;
            r[i] = (uint32_t)s;
            c = (uint32_t)(s >> 32);
        }
    }
    return qhat;
}

// Nonzero when a >= b (11 words each).
static inline int words_ge(const uint32_t *a, const uint32_t *b)
{
    for (int i = 0; i < QF_WORDS; i++)
        if (a[i] != b[i])
            return a[i] > b[i];
    return 1;
}

static void div_finite(qfloat *out, int neg, int32_t ea, const uint32_t *a, int32_t eb, const uint32_t *b)
{
    // The dividend as twelve words, halved when a >= b (exact: the bit
    // shifted out of the eleventh word lands in the twelfth), so that the
    // quotient lies in [1/2, 1) and its twelve words have the top bit set.
    int up = words_ge(a, b);
    uint32_t u[QF_WORDS + 1];
    if (up) {
        u[0] = a[0] >> 1;
        for (int i = 1; i < QF_WORDS; i++)
            u[i] = qf_shrd32(a[i], a[i - 1], 1);
        u[QF_WORDS] = a[QF_WORDS - 1] << 31;
    } else {
        memcpy(u, a, QF_WORDS * sizeof(uint32_t));
        u[QF_WORDS] = 0;
    }
    int n = QF_WORDS; // divisor length without its trailing zero words
    while (b[n - 1] == 0)
        n--;
    // The remainder starts as the top n dividend words (below b); each step
    // brings down the next word, zeros past the twelfth.
    uint32_t r[QF_WORDS], q[QF_WORDS + 1];
    memcpy(r, u, (size_t)n * sizeof(uint32_t));
    if (n == 1) { // a one-word divisor (the small integers): a chain of word divisions
        uint32_t rem = u[0], d = b[0];
        QF_UNROLL
        for (int j = 0; j <= QF_WORDS; j++)
            q[j] = div64by32(rem, j < QF_WORDS ? u[j + 1] : 0, d, &rem);
        qf_finish_words(out, neg, ea - eb + up, q, rem);
        return;
    }
    if (n == QF_WORDS) { // a full-length divisor: the steps unrolled
        q[0] = div_step(r, u[QF_WORDS], b, QF_WORDS);
        for (int j = 1; j <= QF_WORDS; j++)
            q[j] = div_step(r, 0, b, QF_WORDS);
    } else {
        for (int j = 0; j <= QF_WORDS; j++)
            q[j] = div_step(r, n + j <= QF_WORDS ? u[n + j] : 0, b, n);
    }
    uint32_t sticky = 0;
    for (int i = 0; i < n; i++)
        sticky |= r[i];
    qf_finish_words(out, neg, ea - eb + up, q, sticky);
}

void __op_divide_pqfloat_pqfloat(qfloat *out, const qfloat *a, const qfloat *b)
{
    // Canonical operands are read in place; every word is read before out is
    // written, so out may be a or b.
    if (QF_LIKELY(qf_is_canonical(a) & qf_is_canonical(b))) {
        div_finite(out, (a->sign != 0) ^ (b->sign != 0), qf_words_exp(a), &a->mantissa[1], qf_words_exp(b),
                   &b->mantissa[1]);
        return;
    }
    qf_unpacked ua, ub;
    qf_unpack(a, &ua);
    qf_unpack(b, &ub);
    if (qf_div_exceptional(out, &ua, &ub))
        return;
    uint32_t am[QF_WORDS], bm[QF_WORDS];
    qf_unpacked_words(&ua, am);
    qf_unpacked_words(&ub, bm);
    div_finite(out, ua.neg ^ ub.neg, ua.exp, am, ub.exp, bm);
}

#endif
