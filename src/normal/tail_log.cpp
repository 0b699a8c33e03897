// SPDX-License-Identifier: MIT
// ln(1 - Phi(u)) and 1 - Phi(u) for the upper tail u >= 1/2.
#include "normal.h"
#include "normal_constants.h"
#include "normal_internal.h"
#include "qf_more_ops.h"
#include "quantile_constants.h"

/* ln Q = ln R - u^2/2 - ln sqrt(2 pi) needs no exponential, so it keeps going
 * where Q itself leaves the number range. u^2/2 is formed as (u/2) u, which
 * overflows only when u^2/2 does (then the result is -inf). Beyond 25,
 * ln R = -ln u + ln(1 + s) with s the asymptotic correction (1/u^2 may
 * underflow to 0 there, and s with it). */
qfloat tail_log(const qfloat &u)
{
    qfloat half_square = q_mul(q_mul(u, qf_half), u);
    qfloat log_R;
    if (q_le(u, qf_25)) {
        log_R = q_log(mills_taylor_sum(u));
    } else {
        qfloat s;
        asymptSeries_count_xi(q_div(qf_one, q_mul(u, u)), asymptotic_Zelq_limit_half_square(half_square), &s);
        log_R = q_sub(q_log1p(s), q_log(u));
    }
    return q_sub(q_add(log_R, qf_minus_ln_sqrt_2pi), half_square);
}

qfloat upper_tail(const qfloat &u)
{
    if (!q_lt(u, qf_upper_tail_end))
        return qf_zero; /* below half the least subnormal */
    return q_mul(mills_ratio(u), normal_density(u));
}
