// SPDX-License-Identifier: MIT
// The Mills ratio R(u) = (1 - Phi(u))/phi(u): its Taylor series from the
// integer above u for u <= 25, its asymptotic series beyond.
#include "mills_taylor_tables.h"
#include "normal.h"
#include "normal_constants.h"
#include "normal_internal.h"
#include "qf_value_ops.h"

static_assert(MILLS_TAYLOR_STARTS == MILLS_RATIO_ENTRIES, "one coefficient table per Mills ratio entry");

/*
 * The Mills ratio R(u) = (1 - Phi(u))/phi(u) satisfies R'(u) = u R(u) - 1, so
 * its Taylor coefficients r_n = R^(n)(z)/n! about z obey r_0 = R(z),
 * r_1 = z r_0 - 1 and r_n = (r_(n-2) + z r_(n-1))/n. With z the integer
 * above |x| and h = |x| - z in [-1, 0), the series
 *   R(|x|) = r_0 + r_1 h + sum over even i >= 2 of h^i (r_i + r_(i+1) h)
 * is summed in pairs until a pair leaves the sum unchanged. Relative error
 * about 1e-103 for 0 < |x| <= 25 (the table holds R(k) to 9e-104).
 *
 * The coefficients are rounded in a fixed order that involves z only:
 * b = (z * a) - 1, and per pass a = (a + (z * b)) / i, b = (b + (z * a)) /
 * (i + 1). mills_taylor_tables.h holds exactly those roundings for every z,
 * as many passes as any |x| of that z can use, so a pass is left with its
 * h-dependent steps. The table holds the passes that h in [-1, 0) needs; a
 * pass beyond it forms its pair from the previous one as above.
 */
/* The series about the integer j, 1 <= j <= 25. */
static qfloat mills_taylor_sum_about(const qfloat &x, int32_t j)
{
    const qfloat *v = MillsRatio_v;
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

    return sums[cur];
}

/* The table ends at R(25) and starts at R(1): j is kept to 1..25, so that
 * |x| = 25 expands from 25 itself with h = 0, and a NaN (which no caller
 * passes) never reads outside the table. */
static int32_t table_index(int32_t j)
{
    if (j > MILLS_RATIO_ENTRIES - 1)
        return MILLS_RATIO_ENTRIES - 1;
    return j < 1 ? 1 : j;
}

qfloat mills_taylor_sum(const qfloat &x)
{
    qfloat x_plus_1 = q_add(x, qf_one);
    qfloat *tmp1 = &x_plus_1;
    return mills_taylor_sum_about(x, table_index(_qtoi(tmp1))); /* floor(|x|) + 1 */
}

/* The series carries an error of R(z) (the table's, and every rounding)
 * along the solution e^(u^2/2) of the homogeneous equation, so that from
 * below (h > 0) it grows by e^(z h + h^2/2): 4000 times at z = 17, h = 0.49.
 * From the integer above it only shrinks. The integer below serves when
 * z h <= 2 (with h < 1, growth below e^2.5 = 12): the fewer terms of a small
 * h then come at up to 12 times the error of R(z), which the inverse absorbs,
 * since its result moves by R(u)/u times the relative error of R: the
 * product stays below 1.3 times the table's 9e-104 for every z. */
qfloat mills_taylor_sum_quick(const qfloat &u)
{
    int32_t below = table_index(_qtoi(&u));
    qfloat h = q_sub(u, q_from_int(below));
    if (q_le(q_mul(h, q_from_int(below)), qf_two))
        return mills_taylor_sum_about(u, below);
    return mills_taylor_sum(u);
}

/* For u > 25, R(u) = (1/u)(1 + s) with s the asymptotic correction of
 * asymptSeries, formed as r + r s (r = 1/u) so that s keeps its digits;
 * the series settles well inside its limit there (139 terms at 25, fewer
 * beyond). */
qfloat mills_ratio(const qfloat &u)
{
    if (q_le(u, qf_25))
        return mills_taylor_sum(u);
    qfloat u_squared = q_mul(u, u);
    qfloat s;
    asymptSeries_count_xi(q_div(qf_one, u_squared),
                          asymptotic_Zelq_limit_half_square(q_mul(u_squared, qf_half)), &s);
    qfloat r = q_div(qf_one, u);
    return q_add(r, q_mul(r, s));
}
