// SPDX-License-Identifier: MIT
// log(x), correctly rounded to 352 bits: a 448-bit fixed-point evaluation
// with a proven error bound, and wider retries (Ziv) refined by Newton steps
// on the wide exp kernel when that bound cannot decide the rounding.
#include "qf_explog.h"
#include "qf_explog_tables.h"
#include "qf_fixed.h"

#include <string.h>

#define FAST_NF QF_FAST_NF

// z (mixed, FAST_NF + 1 limbs) = y * c / 2^63, truncated: below the exact
// product by less than one unit.
static void scale_by(uint64_t *z, const uint64_t *y, uint64_t c)
{
    uint64_t p[FAST_NF + 2];
    p[FAST_NF + 1] = qf_fx_mul_limb(p, y, FAST_NF + 1, c);
    for (int i = 0; i <= FAST_NF; i++)
        z[i] = (p[i] >> 63) | (p[i + 1] << 1);
}

/*
 * log y for y in [1, 2) (mixed, FAST_NF + 1 limbs, exact), as a fraction w of
 * FAST_NF limbs with |w - log y| < 6U, U = 2^-448.
 * Three multiplications by short factors c_i = 1/(1 + j_i 2^-8i), rounded up
 * so that the product never falls below 1, bring y to z = 1 + t with
 * 0 <= t < 2^-24 + 2^-61; then log y = sum(-log c_i) + log1p(t), log1p by its
 * alternating series to degree 18 (remainder below 2^-456).
 *   Each reduction truncates once (1U) and scales earlier errors by c <= 1:
 *   t is within 3U, so log1p(t) within 3U.
 *   Three table entries: 0.5U each.
 *   Horner step n (n >= 3) runs on qf_fx_horner_limbs(n) limbs: below
 *   1.7 * 2^(-64m) + 0.5U, scaled by t^n, adds below 0.1U over all steps;
 *   step 2 and the last two products add 1.03U; remainder 0.25U.
 * Sum below 5.8U.
 */
static void log_kernel_fast(uint64_t *w, const uint64_t *y)
{
    uint64_t z[FAST_NF + 1], a[FAST_NF + 1], p[FAST_NF], q[FAST_NF];
    unsigned j1 = (unsigned)(y[6] >> 56);
    scale_by(z, y, qf_log_c1[j1]);
    unsigned j2 = (unsigned)(z[6] >> 48); // z - 1 < 2^-8 + 2^-62: j2 <= 256
    scale_by(a, z, qf_log_c2[j2]);
    unsigned j3 = (unsigned)(a[6] >> 40); // a - 1 < 2^-16 + 2^-62: j3 <= 256
    scale_by(z, a, qf_log_c3[j3]);
    const uint64_t *t = z; // z = 1 + t: its fraction limbs

    // p = 1/2 - t/3 + t^2/4 - ... (all partial values positive); step n
    // reaches the result scaled by t^n, so it runs on fewer limbs
    memcpy(p, qf_log_inv[QF_LOG_DEG], sizeof p);
#pragma GCC unroll 20
    for (int n = QF_LOG_DEG - 1; n >= 2; n--) {
        int m = qf_fx_horner_limbs(n);
        qf_fx_mul_top(q, t, p, FAST_NF, m);
        memcpy(p, qf_log_inv[n], sizeof p);
        qf_fx_sub(p + (FAST_NF - m), p + (FAST_NF - m), q + (FAST_NF - m), m);
    }
    // log1p(t) = t - t (t p)
    qf_fx_mul_frac(q, t, p, FAST_NF);
    qf_fx_mul_frac(p, t, q, FAST_NF);
    qf_fx_sub(w, t, p, FAST_NF);
    qf_fx_add(w, w, qf_log_l1[j1], FAST_NF);
    qf_fx_add(w, w, qf_log_l2[j2], FAST_NF);
    qf_fx_add(w, w, qf_log_l3[j3], FAST_NF);
}

// y = 2 * 0.m in [1, 2), exact, as a mixed value of nf fraction limbs.
static void load_mantissa(uint64_t *y, const qf_unpacked *u, int nf)
{
    uint64_t m_le[QF_LIMBS];
    for (int i = 0; i < QF_LIMBS; i++)
        m_le[i] = u->m[QF_LIMBS - 1 - i];
    qf_fx_shift(y, nf + 1, m_le, QF_LIMBS, 64L * nf - (64 * QF_LIMBS - 1));
}

/*
 * l = |e ln 2 + w| with its sign in *neg, where w (mixed, nf + 1 limbs, two's
 * complement) is within 2^wbit units of log y, wbit >= 0. e ln 2 uses ln 2 to
 * nf + 1 limbs and is cut once: below 1 + 2^-47 units. Returns the bound
 * wbit + 1 on the error of l (in units 2^(-64 nf)).
 */
static int log_assemble(uint64_t *l, int *neg, int32_t e, const uint64_t *w, int nf, int wbit)
{
    uint64_t p[QF_FX_MAX + 1];
    const uint64_t *ln2 = qf_ln2 + QF_LN2_LIMBS - (nf + 1);
    uint32_t ee = e < 0 ? (uint32_t)-e : (uint32_t)e;
    p[nf + 1] = qf_fx_mul_limb(p, ln2, nf + 1, ee);
    memcpy(l, w, sizeof(uint64_t) * (size_t)(nf + 1));
    if (e >= 0)
        qf_fx_add(l, l, p + 1, nf + 1);
    else
        qf_fx_sub(l, l, p + 1, nf + 1);
    *neg = (int)(l[nf] >> 63);
    if (*neg)
        qf_fx_neg(l, nf + 1);
    return wbit + 1;
}

// log x at 448 bits: l and *neg as log_assemble gives them; returns errbit.
static int log_fast_approx(uint64_t *l, int *neg, const qf_unpacked *u)
{
    uint64_t y[FAST_NF + 1], w[FAST_NF + 1];
    load_mantissa(y, u, FAST_NF);
    log_kernel_fast(w, y);
    w[FAST_NF] = 0;
    // |w - log y| < 6U; allow 16U
    return log_assemble(l, neg, u->exp - 1, w, FAST_NF, 4);
}

/*
 * Retry at nf fraction limbs (U = 2^(-64 nf)). Starting from the fast
 * kernel's w (within 2^-445 of log y), Newton steps for exp(w) = y:
 *   w' = w + y exp(-w) - 1, with exp(-w) = exp(ln 2 - w) / 2.
 * With d = log y - w, y exp(-w) = e^d, so w' - log y = e^d - 1 - d + err,
 * |e^d - 1 - d| <= d^2 for |d| <= 1/2, and err (wide exp kernel, ln 2 cut,
 * one product, one halving) below 2^(eb + 2) U. Steps repeat until the
 * quadratic term no longer dominates.
 */
static int log_wide_approx(uint64_t *l, int *neg, const qf_unpacked *u, int nf)
{
    uint64_t y[QF_FX_MAX], w[QF_FX_MAX], r[QF_FX_MAX], ex[QF_FX_MAX], v[QF_FX_MAX];
    load_mantissa(y, u, nf);
    memset(w, 0, sizeof(uint64_t) * (size_t)(nf + 1));
    int wbit = 0;
    if (!qf_fx_is_zero(y, nf)) {
        uint64_t y7[FAST_NF + 1], w7[FAST_NF];
        qf_fx_shift(y7, FAST_NF + 1, y, nf + 1, -64L * (nf - FAST_NF)); // exact: 352 bits
        log_kernel_fast(w7, y7);
        memcpy(w + (nf - FAST_NF), w7, sizeof w7);
        wbit = 64 * nf - 445; // |w - log y| <= 2^wbit U
        const uint64_t *ln2 = qf_ln2 + QF_LN2_LIMBS - nf;
        for (;;) {
            memcpy(r, ln2, sizeof(uint64_t) * (size_t)nf);
            r[nf] = 0;
            qf_fx_sub(r, r, w, nf + 1); // in (0, ln 2 + 2^-400]
            int eb = qf_exp_wide_kernel(ex, r, nf);
            qf_fx_mul_mixed(v, y, ex, nf);
            for (int i = 0; i <= nf; i++) // halve
                v[i] = (v[i] >> 1) | (i < nf ? v[i + 1] << 63 : 0);
            qf_fx_add(w, w, v, nf + 1);
            qf_fx_add_limb(w, nf + 1, nf, ~0ull); // minus 1
            int lerr = eb + 2;
            int sq = 2 * wbit - 64 * nf;
            wbit = (sq > lerr ? sq : lerr) + 1;
            if (wbit <= lerr + 1)
                break;
        }
    }
    return log_assemble(l, neg, u->exp - 1, w, nf, wbit);
}

// Evaluates at nf fraction limbs (FAST_NF: the table-driven kernel) and
// decides the rounding; with force set, rounds the estimate even when the
// bound does not decide (used at the widest width only).
static int log_at(qfloat *out, const qf_unpacked *u, int nf, int force)
{
    uint64_t l[QF_FX_MAX];
    int neg;
    int eb = nf == FAST_NF ? log_fast_approx(l, &neg, u) : log_wide_approx(l, &neg, u, nf);
    if (qf_fx_decide(out, neg, -64 * nf, l, nf + 1, eb))
        return 1;
    if (force)
        qf_fx_round(out, neg, -64 * nf, l, nf + 1);
    return 0;
}

int qf_log_approx(uint64_t *l, int *neg, const qfloat *x, int nf)
{
    qf_unpacked u;
    qf_unpack(x, &u);
    return nf == FAST_NF ? log_fast_approx(l, neg, &u) : log_wide_approx(l, neg, &u, nf);
}

int qf_log_wide(qfloat *out, const qfloat *x, int nf)
{
    qf_unpacked u;
    qf_unpack(x, &u);
    return log_at(out, &u, nf, 0);
}

/*
 * Natural logarithm, correctly rounded (nearest, ties to even): log 1 = +0,
 * log(+-0) = -inf, log of a negative number (also -inf) is NaN,
 * log(+inf) = +inf, NaN gives NaN; subnormal arguments are exact inputs like
 * any other. Apart from x = 1, log x is transcendental for rational x, so
 * the widening retries always end in a decision; results near 0 (x near 1)
 * need the wider widths, since the fixed-point error is absolute.
 */
void _logq(qfloat *out, const qfloat *x)
{
    qf_unpacked u;
    qf_unpack(x, &u);
    if (u.cls == QF_NAN || (u.neg && u.cls != QF_ZERO)) {
        qf_set_nan(out);
        return;
    }
    if (u.cls == QF_ZERO) {
        qf_set_inf(out, 1);
        return;
    }
    if (u.cls == QF_INF) {
        qf_set_inf(out, 0);
        return;
    }
    if (u.exp == 1 && u.m[0] == (1ull << 63) && !(u.m[1] | u.m[2] | u.m[3] | u.m[4] | u.m[5])) {
        qf_set_zero(out, 0);
        return;
    }
    if (log_at(out, &u, FAST_NF, 0))
        return;
    static const int widths[QF_WIDE_LEVELS] = {16, 32, QF_WIDE_MAX_NF};
    for (int i = 0; i < QF_WIDE_LEVELS; i++)
        if (log_at(out, &u, widths[i], i == QF_WIDE_LEVELS - 1))
            return;
}
