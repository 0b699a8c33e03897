// SPDX-License-Identifier: MIT
// Phi^-1(p) and the z with ln Phi(z) = L.
#include "normal.h"
#include "normal_constants.h"
#include "normal_internal.h"
#include "qf_more_ops.h"
#include "quantile_constants.h"

/* The closed form for T <= -1e60: with tau = -T - ln sqrt(2 pi),
 * u^2 = 2 tau - ln(2 tau) + (ln(2 tau) - 2)/(2 tau) + O((ln tau)^2/tau^2),
 * whose remainder is below 1e-170 relative there, so no correction is
 * needed. Formed as sqrt(2) sqrt(u^2/2) so that nothing overflows even for
 * T near the largest qfloat. */
static qfloat closed_form_tail_quantile(const qfloat &T)
{
    qfloat tau = q_add(q_neg(T), qf_minus_ln_sqrt_2pi);
    qfloat log_2tau = q_add(q_log(tau), qf_ln2);
    qfloat half_v = q_add(q_sub(tau, q_mul(log_2tau, qf_half)),
                          q_div(q_sub(log_2tau, qf_two), q_mul(q_add(tau, tau), qf_two)));
    return q_mul(q_sqrt_steps(half_v, 4), q_sqrt_steps(qf_two, 4));
}

qfloat tail_quantile(const qfloat &T, const qfloat *p_or_null)
{
    if (q_is_inf(T))
        return q_neg(T); /* T = -inf: u = +inf */
    if (!q_lt(qf_closed_form_log, T))
        return closed_form_tail_quantile(T);
    qfloat u0 = quantile_start_tail(T, p_or_null);
    return p_or_null ? quantile_refine(QUANTILE_TAIL, u0, *p_or_null, 0)
                     : quantile_refine(QUANTILE_TAIL, u0, T, 1);
}

qfloat center_quantile(const qfloat &d)
{
    if (q_eq(d, qf_zero))
        return qf_zero;
    return quantile_refine(QUANTILE_CENTER, quantile_start_center(d), d, 0);
}

/* The sign of d applied to center_quantile(|d|). */
static qfloat signed_center_quantile(const qfloat &d)
{
    qfloat abs_d = d;
    _qabs(&abs_d);
    qfloat u = center_quantile(abs_d);
    return q_sign_bit(d) ? q_neg(u) : u;
}

/*
 * p < 1/4: z = -u with ln Q(u) = ln p (the lower tail mirrored).
 * 1/4 <= p <= 3/4: Phi(z) - 1/2 = p - 1/2, exact by Sterbenz's lemma, solved
 *   on the series about 0 so that z keeps its relative precision as p -> 1/2
 *   (p = 0.5000001 gives 2.5066e-7 to every digit).
 * p > 3/4: z = u with ln Q(u) = ln(1 - p), 1 - p again exact.
 */
extern "C" qfloat inverse_Zelq(qfloat p)
{
    if (q_is_nan(p) || q_lt(p, qf_zero) || q_lt(qf_one, p))
        return q_div(qf_zero, qf_zero); /* NaN */
    if (q_eq(p, qf_zero))
        return q_div(q_neg(qf_one), qf_zero);
    if (q_eq(p, qf_one))
        return q_div(qf_one, qf_zero);
    if (q_lt(p, qf_quarter)) {
        /* p / R(u) must stay normal for the correction to use p itself */
        const qfloat *p_normal = q_binary_exponent(p) > -32760 ? &p : nullptr;
        return q_neg(tail_quantile(q_log(p), p_normal));
    }
    if (q_le(p, qf_three_quarters))
        return signed_center_quantile(q_sub(p, qf_half));
    qfloat q = q_sub(qf_one, p);
    return tail_quantile(q_log(q), &q);
}

/*
 * L < ln(1/4): z = -u with ln Q(u) = L.
 * ln(1/4) <= L <= ln(3/4): p - 1/2 = (e^(L + ln 2) - 1)/2, with L + ln 2
 *   taken against ln 2 to 700 bits, so that L next to -ln 2 keeps its digits.
 * L > ln(3/4): z = u with ln Q(u) = ln(1 - e^L) = ln(-expm1(L)); for
 *   |L| < 2^-200 that is ln(-L) + L/2 to within L^2/24, which also serves
 *   where 1 - e^L would fall below the number range.
 */
extern "C" qfloat inverse_log_Zelq(qfloat L)
{
    if (q_is_nan(L) || q_lt(qf_zero, L))
        return q_div(qf_zero, qf_zero); /* NaN */
    if (q_eq(L, qf_zero))
        return q_div(qf_one, qf_zero);
    if (q_lt(L, qf_ln_quarter))
        return q_neg(tail_quantile(L, nullptr));
    if (q_le(L, qf_ln_three_quarters)) {
        qfloat shifted = q_add(q_add(L, qf_ln2), qf_ln2_lo);
        return signed_center_quantile(q_mul(q_expm1(shifted), qf_half));
    }
    qfloat minus_L = q_neg(L);
    qfloat T;
    if (q_binary_exponent(minus_L) < -200)
        T = q_add(q_log(minus_L), q_mul(L, qf_half));
    else
        T = q_log(q_neg(q_expm1(L)));
    return tail_quantile(T, nullptr);
}
