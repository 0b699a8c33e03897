// SPDX-License-Identifier: MIT
// exp(x), correctly rounded to 352 bits: a 448-bit fixed-point evaluation
// with a proven error bound, and wider retries (Ziv) in the rare cases where
// that bound cannot decide the rounding.
#include "qf_explog.h"
#include "qf_explog_tables.h"
#include "qf_fixed.h"

#include <math.h>
#include <string.h>

#define FAST_NF QF_FAST_NF

// out = 1 exactly.
static void set_one(qfloat *out)
{
    const uint64_t top = 1ull << 63;
    qf_round_pack(out, 0, 1, &top, 1, 0);
}

/*
 * Splits x (finite, |x| < 2^16) as x = k ln 2 + r with 0 <= r < 178/256 and
 * returns k. r comes out as a fraction of nf limbs (nf <= QF_WIDE_MAX_NF)
 * within 2.02 units of x - k ln 2: x is cut to nf fraction limbs (below one
 * unit) and k ln 2 is formed from ln 2 to nf + 1 limbs (below 1 + 2^-47
 * units). r may exceed ln 2 slightly; the tables and the wide kernel allow
 * for that, so the choice of k never oscillates.
 */
static int32_t exp_reduce(uint64_t *r, const qf_unpacked *u, int nf)
{
    uint64_t m_le[QF_LIMBS], xf[QF_FX_MAX], p[QF_FX_MAX + 1], t[QF_FX_MAX];
    for (int i = 0; i < QF_LIMBS; i++)
        m_le[i] = u->m[QF_LIMBS - 1 - i];
    // x = M * 2^(exp - 384) with M the 384-bit integer of u->m
    qf_fx_shift(xf, nf + 1, m_le, QF_LIMBS, (long)u->exp - 64 * QF_LIMBS + 64L * nf);
    if (u->neg)
        qf_fx_neg(xf, nf + 1);

    double xd = ldexp((double)u->m[0], u->exp - 64);
    int32_t k = (int32_t)floor((u->neg ? -xd : xd) * 1.4426950408889634);
    const uint64_t *ln2 = qf_ln2 + QF_LN2_LIMBS - (nf + 1);
    for (;;) {
        uint32_t kk = k < 0 ? (uint32_t)-k : (uint32_t)k;
        p[nf + 1] = qf_fx_mul_limb(p, ln2, nf + 1, kk);
        // p + 1: k ln 2 with nf fraction limbs and its integer limb
        if (k >= 0)
            qf_fx_sub(t, xf, p + 1, nf + 1);
        else
            qf_fx_add(t, xf, p + 1, nf + 1);
        if (t[nf] >> 63) {
            k--;
            continue;
        }
        if (t[nf] != 0 || t[nf - 1] >= (178ull << 56)) {
            k++;
            continue;
        }
        break;
    }
    memcpy(r, t, sizeof(uint64_t) * (size_t)nf);
    return k;
}

/*
 * exp at 448 bits: y (mixed, FAST_NF + 1 limbs) with e^x near y * 2^(k - 448);
 * returns errbit, the bound 2^errbit units on the error of y.
 * r = j1/2^8 + j2/2^16 + j3/2^24 + r3 with 0 <= r3 < 2^-24;
 * exp(r) = E1[j1] E2[j2] E3[j3] exp(r3), exp(r3) = 1 + r3 + r3^2 h(r3) with
 * h by Horner to degree 16 (remainder below 2^-456). Error of y against
 * exp(x - k ln 2), in units U = 2^-448, relative since y >= 1:
 *   reduction 2.02U in r -> 2.03U; three table entries 0.5U each -> 1.5U;
 *   Horner step n (n >= 3) runs on qf_fx_horner_limbs(n) limbs: its error,
 *   below 1.7 * 2^(-64m) plus 0.5U for the coefficient, reaches the result
 *   scaled by r3^n: 13 steps add below 0.1U; step 2 (full width) and the
 *   last two products add 1.03U; with the remainder 1.4U in all;
 *   three products with table entries 1.01U each -> 3.03U.
 * Sum below 8U relative, so below 17U absolute for y < 2.01: errbit 5.
 */
static int exp_fast_approx(uint64_t *y, int32_t *k, const qf_unpacked *u)
{
    uint64_t r[FAST_NF], h[FAST_NF], t[FAST_NF], z[FAST_NF + 1];
    *k = exp_reduce(r, u, FAST_NF);
    unsigned j1 = (unsigned)(r[6] >> 56), j2 = (unsigned)(r[6] >> 48) & 0xFF,
             j3 = (unsigned)(r[6] >> 40) & 0xFF;
    r[6] &= (1ull << 40) - 1; // r3

    // h = 1/2! + r3/3! + ... + r3^14/16!
    memcpy(h, qf_exp_inv_fact[QF_EXP_DEG - 2], sizeof h);
#pragma GCC unroll 16
    for (int n = QF_EXP_DEG - 1; n >= 2; n--) {
        int m = qf_fx_horner_limbs(n);
        qf_fx_mul_top(t, r, h, FAST_NF, m);
        memcpy(h, qf_exp_inv_fact[n - 2], sizeof h);
        qf_fx_add(h + (FAST_NF - m), h + (FAST_NF - m), t + (FAST_NF - m), m);
    }
    // exp(r3) = 1 + r3 + r3 (r3 h)
    qf_fx_mul_frac(t, r, h, FAST_NF);
    qf_fx_mul_frac(h, r, t, FAST_NF);
    qf_fx_add(z, r, h, FAST_NF);
    z[FAST_NF] = 1;

    qf_fx_mul_one_plus(y, z, qf_exp_t3[j3], FAST_NF);
    qf_fx_mul_one_plus(z, y, qf_exp_t2[j2], FAST_NF);
    qf_fx_mul_one_plus(y, z, qf_exp_t1[j1], FAST_NF);
    return 5;
}

/*
 * exp(r) at nf fraction limbs, table-free: s = 24 halvings, Taylor series of
 * exp(r / 2^s) term by term (t_n = t_(n-1) * r_s / n, each truncated), then s
 * squarings. Units U = 2^(-64 nf).
 *   r_s = r / 2^s cut: 1U, plus up to 4U of error in r itself scaled by 2^-s.
 *   Each term: the error of the previous one times r_s / n, plus 1U from the
 *   product and 1U from the division: at most 2.1U; the series stops at the
 *   first zero term, whose true value is below 2.1U, the tail below 2.2U.
 *   So y0 = 1 + sum is within (2.1 M + 4) U of exp(r / 2^s), M terms.
 *   A squaring maps a relative error e to 2e + e^2 + U: after s of them the
 *   relative error is below 2^s (e0 + U) (1 + 2^-40), and y < 2.2.
 * Hence |y - exp(r)| <= 2^(s+1) (3M + 11) U, rounded up to a power of two.
 */
int qf_exp_wide_kernel(uint64_t *y, const uint64_t *r, int nf)
{
    enum { HALVINGS = 24 };
    uint64_t rs[QF_FX_MAX], t[QF_FX_MAX], p[QF_FX_MAX];
    qf_fx_shift(rs, nf, r, nf, -HALVINGS);
    memcpy(t, rs, sizeof(uint64_t) * (size_t)nf);
    memset(y, 0, sizeof(uint64_t) * (size_t)(nf + 1));
    int terms = 0;
    for (uint32_t n = 2; !qf_fx_is_zero(t, nf); n++) {
        qf_fx_add(y, y, t, nf);
        terms++;
        qf_fx_mul_frac(p, t, rs, nf);
        qf_fx_div_small(p, nf, n);
        memcpy(t, p, sizeof(uint64_t) * (size_t)nf);
    }
    y[nf] = 1;
    for (int i = 0; i < HALVINGS; i++) {
        qf_fx_mul_mixed(p, y, y, nf);
        memcpy(y, p, sizeof(uint64_t) * (size_t)(nf + 1));
    }
    int lg = 0;
    while ((1 << lg) < 3 * terms + 11)
        lg++;
    return HALVINGS + 1 + lg;
}

// Wide estimate at nf fraction limbs, as exp_fast_approx.
static int exp_wide_approx(uint64_t *y, int32_t *k, const qf_unpacked *u, int nf)
{
    uint64_t r[QF_FX_MAX];
    *k = exp_reduce(r, u, nf);
    return qf_exp_wide_kernel(y, r, nf);
}

// Evaluates at nf fraction limbs (FAST_NF: the table-driven kernel) and
// decides the rounding; with force set, rounds the estimate even when the
// bound does not decide (used at the widest width only).
static int exp_at(qfloat *out, const qf_unpacked *u, int nf, int force)
{
    uint64_t y[QF_FX_MAX];
    int32_t k;
    int eb = nf == FAST_NF ? exp_fast_approx(y, &k, u) : exp_wide_approx(y, &k, u, nf);
    if (qf_fx_decide(out, 0, k - 64 * nf, y, nf + 1, eb))
        return 1;
    if (force)
        qf_fx_round(out, 0, k - 64 * nf, y, nf + 1);
    return 0;
}

int qf_exp_approx(uint64_t *y, int32_t *k, const qfloat *x, int nf)
{
    qf_unpacked u;
    qf_unpack(x, &u);
    return nf == FAST_NF ? exp_fast_approx(y, k, &u) : exp_wide_approx(y, k, &u, nf);
}

int qf_exp_wide(qfloat *out, const qfloat *x, int nf)
{
    qf_unpacked u;
    qf_unpack(x, &u);
    return exp_at(out, &u, nf, 0);
}

/*
 * e^x correctly rounded (nearest, ties to even), subnormal results and
 * overflow included: exp(+-0) = 1, exp(-inf) = +0, exp(+inf) = +inf, NaN
 * gives NaN. For |x| < 2^-400 the result is 1: e^x lies within 2^-399 of 1,
 * closer than the half-way points 1 - 2^-353 and 1 + 2^-352. For |x| >= 2^16
 * it is +inf or +0. No exact case remains (e^x is transcendental for
 * rational x != 0), so the widening retries always end in a decision; the
 * widest leaves over 2600 spare bits, and the forced rounding after it is
 * only a formal fallback.
 */
void _expq(qfloat *out, const qfloat *x)
{
    qf_unpacked u;
    qf_unpack(x, &u);
    switch (u.cls) {
    case QF_NAN: qf_set_nan(out); return;
    case QF_INF:
        if (u.neg)
            qf_set_zero(out, 0);
        else
            qf_set_inf(out, 0);
        return;
    case QF_ZERO: set_one(out); return;
    default: break;
    }
    if (u.exp <= -400) {
        set_one(out);
        return;
    }
    if (u.exp > 16) {
        if (u.neg)
            qf_set_zero(out, 0);
        else
            qf_set_inf(out, 0);
        return;
    }
    if (exp_at(out, &u, FAST_NF, 0))
        return;
    static const int widths[QF_WIDE_LEVELS] = {16, 32, QF_WIDE_MAX_NF};
    for (int i = 0; i < QF_WIDE_LEVELS; i++)
        if (exp_at(out, &u, widths[i], i == QF_WIDE_LEVELS - 1))
            return;
}
