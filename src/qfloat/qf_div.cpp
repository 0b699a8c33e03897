// SPDX-License-Identifier: MIT
// Division, correctly rounded to 352 bits. The quotient is developed to
// 384 bits (six limbs) by long division; the final remainder tells whether
// anything nonzero lies below them, which settles ties exactly. A one-limb
// divisor (small integers and other short values) takes the short division.
#include "qf_six_limbs.h"
#include "qf_words32.h"

// 32-bit targets divide on words instead: qf_div32.cpp.
#if !defined(QF_WORDS32)

// Per odd D < 256: b = floor((2^64 - 1) / D) for reductions modulo D, the
// inverse of D modulo 2^64 for exact quotients, and numbers congruent to
// 2^32, 2^64, 2^128, 2^192 modulo D: h, c1 in [1, D], c2 = c1^2, c3 = c1^3.
// Built at compile time.
struct small_odd_divisor {
    uint64_t b, inv;
    uint32_t h, c1, c2, c3;
};
struct small_odd_table {
    small_odd_divisor e[128]; // index D >> 1
};
static constexpr small_odd_table make_small_odd_table()
{
    small_odd_table t{};
    for (uint64_t D = 1; D < 256; D += 2) {
        uint64_t inv = (3 * D) ^ 2; // 5 correct low bits, doubled by each step
        for (int i = 0; i < 4; i++)
            inv *= 2 - D * inv;
        uint64_t b = ~0ull / D, c1 = 0 - b * D;
        uint64_t h = (1ull << 32) - (b >> 32) * D;
        t.e[D >> 1] = small_odd_divisor{
            b, inv, (uint32_t)h, (uint32_t)c1, (uint32_t)(c1 * c1), (uint32_t)(c1 * c1 * c1)};
    }
    return t;
}
static constexpr small_odd_table small_odd = make_small_odd_table();

// x mod D for x < 2^64 and odd D < 256, from b = floor((2^64 - 1) / D): the
// estimate mulhi(x, b) is the quotient or one below it.
static inline uint64_t mod_small(uint64_t x, uint64_t D, uint64_t b)
{
    uint64_t q, lo;
    qf_mul64(x, b, &q, &lo);
    uint64_t r = x - q * D;
    return r >= D ? r - D : r;
}

// floor(N * 2^(64 - t) / D) for N = n (six limbs, n[0] < D * 2^t), odd
// D < 256 and 56 <= t <= 63: q gets the six quotient limbs; returns the
// remainder (nonzero exactly when the division is inexact).
// The dividend M = N * 2^(64 - t) has seven limbs M0..M6 with M0 < D. With
// R_k the remainder of M0..Mk (as one number) modulo D, quotient limb k is
// the exact quotient (R_{k-1} * 2^64 + M_k - R_k) / D < 2^64, that is
// (M_k - R_k) times the inverse of D modulo 2^64. The remainders come from
// sums of small products (2^64 = c1 and 2^32 = h modulo D), so that only two
// reductions lie on the critical path instead of six dependent divisions.
static inline uint64_t div_by_small_odd(const uint64_t *n, uint64_t D, int t, uint64_t *q)
{
    unsigned s = 64 - (unsigned)t; // 1..8
    uint64_t M[QF_LIMBS + 1];
    M[0] = n[0] >> t;
    QF_UNROLL
    for (int k = 1; k < QF_LIMBS; k++)
        M[k] = (n[k - 1] << s) | (n[k] >> t);
    M[QF_LIMBS] = n[QF_LIMBS - 1] << s;

    const small_odd_divisor *e = &small_odd.e[D >> 1];
    uint64_t b = e->b, inv = e->inv, h = e->h, c1 = e->c1, c2 = e->c2, c3 = e->c3;

    // m_k = M_k modulo D, reduced only to below 2^40
    uint64_t m[QF_LIMBS + 1];
    QF_UNROLL
    for (int k = 1; k <= QF_LIMBS; k++)
        m[k] = (M[k] >> 32) * h + (M[k] & QF_LOW32);
    // Sums below 2^57: a limb's residue below 2^40 times c1..c3 plus the rest.
    uint64_t R[QF_LIMBS + 1];
    R[0] = M[0];
    R[1] = mod_small(M[0] * c1 + m[1], D, b);
    R[2] = mod_small(M[0] * c2 + m[1] * c1 + m[2], D, b);
    R[3] = mod_small(M[0] * c3 + m[1] * c2 + m[2] * c1 + m[3], D, b);
    R[4] = mod_small(R[3] * c1 + m[4], D, b);
    R[5] = mod_small(R[3] * c2 + m[4] * c1 + m[5], D, b);
    R[6] = mod_small(R[3] * c3 + m[4] * c2 + m[5] * c1 + m[6], D, b);
    QF_UNROLL
    for (int k = 1; k <= QF_LIMBS; k++)
        q[k - 1] = (M[k] - R[k]) * inv;
    return R[QF_LIMBS];
}

// a / d for a one-limb normalized divisor d; a: six limbs, top bit set.
// q gets the six quotient limbs (top bit set); returns the exponent offset
// (0 or 1) and sets *sticky when the division was inexact.
static inline int div_by_limb(const uint64_t *a, uint64_t d, uint64_t *q, uint64_t *sticky)
{
    // When a >= d * 2^320 the dividend is halved first, so that the quotient
    // always lies in [2^383, 2^384). a's lowest bit is zero: halving is exact.
    int up = a[0] >= d;
    uint64_t n[QF_LIMBS];
    if (up) {
        QF_UNROLL
        for (int i = QF_LIMBS - 1; i > 0; i--)
            n[i] = (a[i] >> 1) | (a[i - 1] << 63);
        n[0] = a[0] >> 1;
    } else {
        QF_UNROLL
        for (int i = 0; i < QF_LIMBS; i++)
            n[i] = a[i];
    }
    if ((d << 8) == 0) {
        // At most eight significant bits (the small integers): no chain of
        // dependent limb divisions, see div_by_small_odd.
        int t = __builtin_ctzll(d);
        *sticky = div_by_small_odd(n, d >> t, t, q);
        return up;
    }
    uint64_t r = n[0], v = qf_reciprocal(d);
    QF_UNROLL
    for (int i = 1; i < QF_LIMBS; i++)
        q[i - 1] = qf_div128_preinv(r, n[i], d, v, &r);
    q[QF_LIMBS - 1] = qf_div128_preinv(r, 0, d, v, &r);
    *sticky = r;
    return up;
}

// One step of long division: (r:0) / v where r < v (six limbs each, v
// normalized; v0inv = qf_reciprocal(v[0])). Returns the quotient limb and leaves the new remainder in r.
static inline uint64_t div_step(uint64_t *r, const uint64_t *v, uint64_t v0inv)
{
    // Estimate from the top two limbs, refined with the second divisor limb:
    // qhat is then exact or one too large.
    uint64_t qhat, rhat;
    int check = 1;
    if (r[0] >= v[0]) {
        // r[0] == v[0]: the estimate saturates; rhat = r[1] + v[0]
        qhat = ~0ull;
        rhat = r[1] + v[0];
        check = rhat >= v[0]; // otherwise rhat >= 2^64 and the test cannot fail
    } else {
        qhat = qf_div128_preinv(r[0], r[1], v[0], v0inv, &rhat);
    }
    while (check) {
        uint64_t ph, pl;
        qf_mul64(qhat, v[1], &ph, &pl);
        if (ph < rhat || (ph == rhat && pl <= r[2]))
            break;
        qhat--;
        uint64_t nr = rhat + v[0];
        check = nr >= rhat; // rhat >= 2^64: the test cannot fail again
        rhat = nr;
    }
    // (r:0) -= qhat * v over seven limbs; the borrow of each limb is folded
    // into the carry of the product (it cannot overflow: hi <= 2^64 - 2).
    uint64_t u[QF_LIMBS], carry = 0;
    QF_UNROLL
    for (int i = QF_LIMBS - 1; i >= 0; i--) {
        uint64_t hi, lo;
        qf_mac(qhat, v[i], carry, 0, &hi, &lo);
        uint64_t x = i + 1 < QF_LIMBS ? r[i + 1] : 0;
        u[i] = x - lo;
        carry = hi + (x < lo);
    }
    if (QF_UNLIKELY(r[0] < carry)) {
        // qhat was one too large: add v back once
        qhat--;
        qf_add6(u, u, v);
    }
    QF_UNROLL
    for (int i = 0; i < QF_LIMBS; i++)
        r[i] = u[i];
    return qhat;
}

// Nonzero when a >= b (six limbs each).
static inline int limbs_ge(const uint64_t *a, const uint64_t *b)
{
    QF_UNROLL
    for (int i = 0; i < QF_LIMBS; i++)
        if (a[i] != b[i])
            return a[i] > b[i];
    return 1;
}

// a / b for a general normalized divisor, same contract as div_by_limb.
static inline int div_long(const uint64_t *a, const uint64_t *b, uint64_t *q, uint64_t *sticky)
{
    int up = limbs_ge(a, b);
    uint64_t r[QF_LIMBS];
    if (up) {
        QF_UNROLL
        for (int i = QF_LIMBS - 1; i > 0; i--)
            r[i] = (a[i] >> 1) | (a[i - 1] << 63);
        r[0] = a[0] >> 1;
    } else {
        QF_UNROLL
        for (int i = 0; i < QF_LIMBS; i++)
            r[i] = a[i];
    }
    uint64_t inv = qf_reciprocal(b[0]);
    QF_UNROLL
    for (int i = 0; i < QF_LIMBS; i++)
        q[i] = div_step(r, b, inv);
    *sticky = r[0] | r[1] | r[2] | r[3] | r[4] | r[5];
    return up;
}

static void div_finite(qfloat *out, int neg, int32_t ea, const uint64_t *a, int32_t eb, const uint64_t *b)
{
    uint64_t q[QF_LIMBS], sticky;
    int up;
    if ((b[1] | b[2] | b[3] | b[4] | b[5]) == 0)
        up = div_by_limb(a, b[0], q, &sticky);
    else
        up = div_long(a, b, q, &sticky);
    int32_t e = ea - eb + up;
    if (QF_UNLIKELY(e < QF_EMIN || e > QF_EMAX)) {
        // q lives in memory here anyway: passed as it is, not limb by limb
        qf_round_pack(out, neg, e, q, QF_LIMBS, sticky != 0);
        return;
    }
    qf_finish(out, neg, e, q, sticky);
}

void __op_divide_pqfloat_pqfloat(qfloat *out, const qfloat *a, const qfloat *b)
{
    uint64_t am[QF_LIMBS], bm[QF_LIMBS];
    int na, nb;
    int32_t ea, eb;
    if (QF_LIKELY(qf_load_normal(a, &na, &ea, am) & qf_load_normal(b, &nb, &eb, bm))) {
        div_finite(out, na ^ nb, ea, am, eb, bm);
        return;
    }
    qf_unpacked ua, ub;
    qf_unpack(a, &ua);
    qf_unpack(b, &ub);
    if (!qf_div_exceptional(out, &ua, &ub))
        div_finite(out, ua.neg ^ ub.neg, ua.exp, ua.m, ub.exp, ub.m);
}

#endif
