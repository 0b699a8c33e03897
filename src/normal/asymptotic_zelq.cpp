// SPDX-License-Identifier: MIT
// Phi(x) in the far lower tail from its asymptotic expansion
//   Phi(x) ~ phi(x)/|x| (1 - 1/x^2 + 3/x^4 - 15/x^6 + ...).
#include "normal.h"
#include "normal_constants.h"
#include "qf_value_ops.h"

/* The terms shrink while (2m - 1)/x^2 < 1, i.e. up to m = x^2/2; the limit
 * keeps the series in that part and bounds the work at 400 terms. x^2/2 goes
 * through single precision before it is truncated, so a value just below an
 * integer n (within half a float ulp) gives n. The cap is tested on the float
 * so that no value too large for an int (or a NaN) is ever converted; for
 * every other value this equals truncating first and capping after. */
extern "C" int32_t asymptotic_Zelq_limit_half_square(qfloat x_squared_over_2)
{
    float half_x_squared = _qtof(&x_squared_over_2); /* rounded to nearest float */
    if (!(half_x_squared < 400.0f))
        return 400;
    int32_t max_iter = (int32_t)half_x_squared; /* truncation toward zero */
    return max_iter;
}

/* x^2/2 formed as (x*x)/2. */
extern "C" int32_t asymptotic_Zelq_limit(qfloat x)
{
    return asymptotic_Zelq_limit_half_square(q_div(q_mul(x, x), qf_two));
}

/* phi(x) is one exponential of the log-density (no division by sqrt(2 pi));
 * the result is r + r*s with r = phi(x)/|x|, not r*(1 + s), so that s keeps
 * its digits. Below x = -213.054 the product r*s is subnormal and keeps
 * enough of them through gradual underflow.
 *
 * x*x is formed once for the three places that use it: (-x)*x is -(x*x) and
 * (-x)*(-x) is x*x bit for bit (rounding is symmetric in the sign), so
 * ((-x)*x)*0.5 = -((x*x)*0.5); (x*x)/2 and (x*x)*0.5 are one rounding of
 * the same value; and the series for -x sums on 1/((-x)*(-x)) = 1/(x*x). */
extern "C" qfloat asymptotic_Zelq(qfloat x)
{
    qfloat x_squared = q_mul(x, x);
    qfloat x_squared_over_2 = q_mul(x_squared, qf_half);
    qfloat pdfN_x = q_exp(q_add(q_neg(x_squared_over_2), LnSqrt2Pi));
    int32_t max_iter = asymptotic_Zelq_limit_half_square(x_squared_over_2);
    qfloat s;
    asymptSeries_count_xi(q_div(qf_one, x_squared), max_iter, &s);
    qfloat r = q_div(q_neg(pdfN_x), x);
    qfloat result = q_add(r, q_mul(r, s));
    return result;
}
