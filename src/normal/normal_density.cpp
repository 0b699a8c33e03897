// SPDX-License-Identifier: MIT
// The density phi(u) with the exponent's rounding kept out of the result.
#include "normal_constants.h"
#include "normal_internal.h"
#include "qf_value_ops.h"
#include "quantile_constants.h"

/* e^(-u^2/2 - ln sqrt(2 pi)) loses the exponent's rounding error, about
 * 2^-353 |u^2/2| absolute, as relative error of the result: 1.4e-102 at 128.
 * Above 32 the exponent is split at n = floor(u) (u = n + f, 0 <= f < 1):
 * -n^2/2 is exact and e^(-n^2/2) one correctly rounded exponential; the rest
 * -(n f + f^2/2) - ln sqrt(2 pi) stays below 216 in size, so its rounding
 * costs at most 2^-345. With f >= 0 the second factor is at most 1, so a
 * product that falls into the subnormal range is rounded there only once
 * more. */
qfloat normal_density(const qfloat &u)
{
    if (!q_lt(u, qf_upper_tail_end))
        return qf_zero;
    if (q_le(u, qf_density_split))
        return q_exp(q_add(q_mul(q_mul(qf_minus_half, u), u), qf_minus_ln_sqrt_2pi));
    int32_t n = _qtoi(&u);
    qfloat n_q = q_from_int(n);
    qfloat f = q_sub(u, n_q); /* exact: n <= u < n + 1 */
    qfloat whole = q_exp(q_mul(q_mul(n_q, n_q), qf_minus_half));
    qfloat rest = q_sub(q_neg(q_mul(n_q, f)), q_mul(q_mul(f, f), qf_half));
    return q_mul(whole, q_exp(q_add(rest, qf_minus_ln_sqrt_2pi)));
}
