// SPDX-License-Identifier: MIT
// Starting values of the inverse, good to about 1e-15 relative, in qfloat
// arithmetic so that every build starts from the same bits.
#include "normal.h"
#include "normal_constants.h"
#include "normal_internal.h"
#include "qf_more_ops.h"
#include "quantile_constants.h"

/* c[0] + c[1] r + ... + c[7] r^7 by Horner's rule. */
static qfloat as241_poly(const qfloat *c, const qfloat &r)
{
    qfloat v = c[AS241_TERMS - 1];
    for (int i = AS241_TERMS - 2; i >= 0; i--)
        v = q_add(q_mul(v, r), c[i]);
    return v;
}

/* Wichura's central fraction (AS 241): Phi^-1(1/2 + q) for |q| <= 0.425,
 * within about 1e-16 relative. */
static qfloat as241_central(const qfloat &q)
{
    qfloat r = q_sub(qf_as241_r_central, q_mul(q, q));
    return q_div(q_mul(q, as241_poly(as241_a, r)), as241_poly(as241_b, r));
}

/* The u with ln Q(u) = T below about -800, where Wichura's far fraction
 * fades (1.5e-15 at -800, 1e-8 at -10^4). With t = -2T - ln 2pi, v = u^2
 * solves v + ln v - 2 ln(1 + s(v)) = t, s(v) = -1/v + 3/v^2 - 15/v^3 + ...
 * (the asymptotic series of R(u) u; eight terms leave 1e-21 at v = 1600).
 * v0 = t - ln t + (ln t - 2)/t is within (ln t)^2/t^2 (2.7e-5 at the
 * start of the range), and one Newton step with f'(v) = 1 + 1/v - 2/v^2
 * brings that to about 1e-17 relative. */
static qfloat far_tail_start(const qfloat &T)
{
    qfloat half_t = q_add(q_neg(T), qf_minus_ln_sqrt_2pi);
    qfloat t = q_add(half_t, half_t);
    qfloat log_t = q_log(t);
    qfloat v = q_add(q_sub(t, log_t), q_div(q_sub(log_t, qf_two), t));

    qfloat xi = q_div(qf_one, v);
    qfloat term = q_neg(xi);
    qfloat s = term;
    for (int32_t k = 2; k <= 8; k++) {
        term = q_mul(q_mul(term, q_from_int(1 - 2 * k)), xi);
        s = q_add(s, term);
    }
    qfloat log1p_s = q_log1p(s);
    qfloat f = q_sub(q_sub(q_sub(q_add(v, q_log(v)), log1p_s), log1p_s), t);
    qfloat xi_squared = q_mul(xi, xi);
    qfloat f_prime = q_add(qf_one, q_sub(q_sub(xi, xi_squared), xi_squared));
    v = q_sub(v, q_div(f, f_prime));
    return q_sqrt_steps(v, 3);
}

qfloat quantile_start_tail(const qfloat &T, const qfloat *p_or_null)
{
    if (q_lt(qf_ln_as241_central, T)) {
        /* 0.075 < p < 1/4: the central fraction, from q = p - 1/2 < 0 */
        qfloat p = p_or_null ? *p_or_null : q_exp(T);
        return q_neg(as241_central(q_sub(p, qf_half)));
    }
    if (q_lt(T, qf_as241_far))
        return far_tail_start(T);
    /* Wichura's fractions in r = sqrt(-ln p) */
    qfloat r = q_sqrt_steps(q_neg(T), 2);
    if (q_le(r, qf_as241_r_split)) {
        qfloat x = q_sub(r, qf_as241_r_mid);
        return q_div(as241_poly(as241_c, x), as241_poly(as241_d, x));
    }
    qfloat x = q_sub(r, qf_as241_r_split);
    return q_div(as241_poly(as241_e, x), as241_poly(as241_f, x));
}

qfloat quantile_start_center(const qfloat &d)
{
    return as241_central(d);
}
