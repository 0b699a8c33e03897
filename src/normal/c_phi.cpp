// 1 - Phi(|x|) from the Mills ratio at the integer above |x|, moved down to
// |x| by its Taylor series.
#include "normal.h"
#include "normal_constants.h"
#include "qf_value_ops.h"

/*
 * The Mills ratio R(u) = (1 - Phi(u))/phi(u) satisfies R'(u) = u R(u) - 1, so
 * its Taylor coefficients r_n = R^(n)(z)/n! about z obey r_0 = R(z),
 * r_1 = z r_0 - 1 and r_n = (r_(n-2) + z r_(n-1))/n. With z the integer
 * above |x| and h = |x| - z in [-1, 0), the series
 *   R(|x|) = r_0 + r_1 h + sum over even i >= 2 of h^i (r_i + r_(i+1) h)
 * is summed in pairs until a pair leaves the sum unchanged, then
 * 1 - Phi(|x|) = R(|x|) phi(|x|), with phi taken as one exponential.
 * Relative error about 1e-103 for 0 < |x| <= 25.
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
    qfloat z = q_mul(qf_one, q_from_int(j)); /* grid step 1 times j, exact */
    qfloat h = q_sub(x, z);

    qfloat a = v[j];
    qfloat b = q_sub(q_mul(z, a), qf_one);
    qfloat pwr = qf_one;
    qfloat sum = q_add(a, q_mul(h, b));

    /* Each pass adds h^i (r_i + r_(i+1) h); at most 99 passes, i = 2..198. */
    for (int32_t i = 2; i < 200; i += 2) {
        qfloat I0 = q_from_long(i);
        qfloat I1 = q_add(I0, qf_one);
        a = q_div(q_add(a, q_mul(z, b)), I0);
        b = q_div(q_add(b, q_mul(z, a)), I1);
        pwr = q_mul(q_mul(pwr, h), h);
        qfloat t = sum;
        sum = q_add(sum, q_mul(pwr, q_add(a, q_mul(h, b))));
        if (q_eq(sum, t))
            break;
    }

    /* times phi(|x|) = e^(-x^2/2 - ln sqrt(2 pi)) */
    sum = q_mul(sum, q_exp(q_add(q_mul(q_mul(qf_minus_half, x), x), LnSqrt2Pi)));
    return sum;
}
