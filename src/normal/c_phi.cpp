// SPDX-License-Identifier: MIT
// 1 - Phi(|x|) from the Mills ratio at |x| and the density.
#include "normal.h"
#include "normal_constants.h"
#include "normal_internal.h"
#include "qf_value_ops.h"

/* 1 - Phi(|x|) = R(|x|) phi(|x|): the Mills ratio from mills_taylor_sum,
 * times the density as one exponential. Relative error about 1e-103 for
 * 0 < |x| <= 25. */
extern "C" qfloat cPhi(qfloat x)
{
    qfloat *absx = &x;
    _qabs(absx); /* from here on x holds |x| */

    /* phi(|x|)R(|x|) -> 1/2 as |x| -> 0, and no series is needed below one ulp */
    if (q_le(*absx, QFLT_EPSILON))
        return qf_half;

    qfloat sum = mills_taylor_sum(x);
    /* times phi(|x|) = e^(-x^2/2 - ln sqrt(2 pi)) */
    q_mul_to(&sum, sum, q_exp(q_add(q_mul(q_mul(qf_minus_half, x), x), LnSqrt2Pi)));
    return sum;
}
