// SPDX-License-Identifier: MIT
// ln Phi(x) for every qfloat x.
#include "normal.h"
#include "normal_constants.h"
#include "normal_internal.h"
#include "qf_more_ops.h"
#include "quantile_constants.h"

/*
 * Three ranges, each free of cancellation:
 *  |x| < 0.6745: Phi(x) = 1/2 + S with S = phi(x) N(x) (the series about 0),
 *    so ln Phi(x) = ln(1 + 2S) - ln 2; S keeps its relative precision as
 *    x -> 0 and ln(1 + 2S) is taken without forming 1 + 2S's rounding.
 *  x <= -0.6745: ln Phi(x) = ln Q(-x) (tail_log), no exponential: -5e11 at
 *    -1e6, -5e199 at -1e100, -inf once x^2/2 overflows.
 *  x >= 0.6745: ln Phi(x) = ln(1 - Q(x)) with Q(x) = R(x) phi(x) formed
 *    directly, never as 1 - Phi(x): ln Phi(30) = -4.9e-198 keeps its digits.
 *    Where -Q lies below the subnormal range (x > 214.25) the result is -0.
 * Relative error below 1e-102 everywhere (the Mills ratio table's 9e-104 and
 * a few roundings of 2^-352 dominate).
 */
extern "C" qfloat log_Zelq(qfloat x)
{
    if (q_is_nan(x))
        return x;
    if (q_is_inf(x))
        return q_sign_bit(x) ? x : qf_zero; /* ln 0 = -inf, ln 1 = 0 */
    qfloat abs_x = x;
    _qabs(&abs_x);
    if (q_lt(abs_x, qf_center_cut)) {
        /* 2S = N(x) e^(-x^2/2) 2/sqrt(2 pi) */
        qfloat e = q_exp(q_mul(q_mul(qf_minus_half, x), x));
        qfloat S = q_mul(q_mul(center_ratio(x), e), qf_inv_sqrt_2pi);
        qfloat two_S = q_add(S, S);
        return q_sub(q_sub(q_log1p(two_S), qf_ln2), qf_ln2_lo);
    }
    if (q_sign_bit(x))
        return tail_log(abs_x);
    return q_log1p(q_neg(upper_tail(x)));
}
