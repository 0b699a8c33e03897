// SPDX-License-Identifier: MIT
// 1 - Phi(|x|) from the Mills ratio at the integer above |x|, moved down to
// |x| by its Taylor series.
#include "mills_taylor_tables.h"
#include "normal.h"
#include "normal_constants.h"
#include "qf_value_ops.h"

static_assert(MILLS_TAYLOR_STARTS == MILLS_RATIO_ENTRIES, "one coefficient table per Mills ratio entry");

/*
 * The Mills ratio R(u) = (1 - Phi(u))/phi(u) satisfies R'(u) = u R(u) - 1, so
 * its Taylor coefficients r_n = R^(n)(z)/n! about z obey r_0 = R(z),
 * r_1 = z r_0 - 1 and r_n = (r_(n-2) + z r_(n-1))/n. With z the integer
 * above |x| and h = |x| - z in [-1, 0), the series
 *   R(|x|) = r_0 + r_1 h + sum over even i >= 2 of h^i (r_i + r_(i+1) h)
 * is summed in pairs until a pair leaves the sum unchanged, then
 * 1 - Phi(|x|) = R(|x|) phi(|x|), with phi taken as one exponential.
 * Relative error about 1e-103 for 0 < |x| <= 25.
 *
 * The coefficients are rounded in a fixed order that involves z only:
 * b = (z * a) - 1, and per pass a = (a + (z * b)) / i, b = (b + (z * a)) /
 * (i + 1). mills_taylor_tables.h holds exactly those roundings for every z,
 * as many passes as any |x| of that z can use, so a pass is left with its
 * h-dependent steps. A pass beyond the table (only for |x| > 25 or a NaN,
 * which no caller passes) forms its pair from the previous one as above.
 */
extern "C" qfloat cPhi(qfloat x)
{
    const qfloat *v = MillsRatio_v;
    qfloat *absx = &x;
    _qabs(absx); /* from here on x holds |x| */

    /* phi(|x|)R(|x|) -> 1/2 as |x| -> 0, and no series is needed below one ulp */
    if (q_le(*absx, QFLT_EPSILON))
        return qf_half;

    qfloat x_plus_1 = q_add(x, qf_one);
    qfloat *tmp1 = &x_plus_1;
    int32_t j = _qtoi(tmp1); /* floor(|x|) + 1 */
    /* The table ends at R(25): at |x| = 25 expand from 25 itself with h = 0
     * instead of from the missing 26. The lower clamp only guards arguments
     * that no caller passes (a NaN), so the table is never read outside. */
    if (j > MILLS_RATIO_ENTRIES - 1)
        j = MILLS_RATIO_ENTRIES - 1;
    if (j < 1)
        j = 1;
    qfloat z = q_from_int(j); /* the grid step 1 times j: exactly j */
    qfloat h = q_sub(x, z);

    const qfloat *a = &v[j];              /* r_0 = R(z) */
    const qfloat *b = &MillsTaylor_b0[j]; /* r_1 = (z * a) - 1 */
    qfloat pwr = qf_one;
    /* The sum before and after the latest pass, in turn: no copy of the
     * sum for the stop test. */
    qfloat sums[2];
    int32_t cur = 0;
    q_add_to(&sums[cur], *a, q_mul(h, *b));

    const mills_taylor_pair *pairs = &MillsTaylor_pairs[MillsTaylor_first[j]];
    int32_t tabulated = MillsTaylor_passes[j];
    qfloat next_a, next_b; /* a pair formed here, past the table */

    /* Pass k adds h^i (r_i + r_(i+1) h), i = 2k; at most 99 passes, i = 2..198. */
    for (int32_t k = 1; k < 100; k++) {
        int32_t i = 2 * k;
        if (k <= tabulated) {
            a = &pairs[k - 1].a; /* (a + (z * b)) / i */
            b = &pairs[k - 1].b; /* (b + (z * a)) / (i + 1) */
        } else {
            next_a = q_div(q_add(*a, q_mul(z, *b)), q_from_long(i));
            next_b = q_div(q_add(*b, q_mul(z, next_a)), q_from_long(i + 1)); /* i + 1 exact */
            a = &next_a;
            b = &next_b;
        }
        q_mul_to(&pwr, pwr, h); /* (pwr * h) * h */
        q_mul_to(&pwr, pwr, h);
        qfloat term;
        q_mul_to(&term, h, *b); /* pwr * (a + (h * b)) */
        q_add_to(&term, *a, term);
        q_mul_to(&term, pwr, term);
        q_add_to(&sums[1 - cur], sums[cur], term);
        cur = 1 - cur;
        if (q_eq(sums[cur], sums[1 - cur])) /* the new sum equals the one before */
            break;
    }

    /* times phi(|x|) = e^(-x^2/2 - ln sqrt(2 pi)) */
    qfloat sum;
    q_mul_to(&sum, sums[cur], q_exp(q_add(q_mul(q_mul(qf_minus_half, x), x), LnSqrt2Pi)));
    return sum;
}
