// SPDX-License-Identifier: MIT
// N(u) = (Phi(u) - 1/2)/phi(u), the series about 0 that keeps Phi(u) - 1/2
// to full relative precision where 1 - Q(u) would cancel.
#include "normal_constants.h"
#include "normal_internal.h"
#include "qf_more_ops.h"
#include "quantile_constants.h"

/* Terms whose size stays below 2^-356 of the sum (which is at least 1). */
#define CENTER_CUT_LOG2 (-356)

/* N' = uN + 1 with N(0) = 0 gives N(u) = u sum of c_k w^k, w = u^2,
 * c_k = 1/(2k+1)!!: every term positive, so Horner's rule from the last
 * needed term keeps a few units of 2^-352. The last term is the first k with
 * c_k w^k < 2^-356, found from the exponents alone (w < 2^e). */
qfloat center_ratio(const qfloat &u)
{
    qfloat w = q_mul(u, u);
    if (q_eq(w, qf_zero))
        return u;
    int32_t e = q_binary_exponent(w);
    int K = 1;
    while (K < CENTER_TERMS - 1 && center_coefficient_log2[K] + e * K >= CENTER_CUT_LOG2)
        K++;
    qfloat sum = center_coefficient[K];
    for (int k = K - 1; k >= 0; k--) {
        q_mul_to(&sum, sum, w);
        q_add_to(&sum, sum, center_coefficient[k]);
    }
    return q_mul(u, sum);
}
