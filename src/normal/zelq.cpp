// SPDX-License-Identifier: MIT
// Phi(x) for any qfloat: picks the method by the range of x.
#include "normal.h"
#include "normal_constants.h"
#include "qf_value_ops.h"

/* The first test that holds decides; the tests and their operand order are
 * fixed so that each boundary point goes to a known method: both +-25 to the
 * Taylor routine, -213.1 itself to the asymptotic one. */
extern "C" qfloat Zelq(qfloat x)
{
    if (q_eq(x, qf_zero))
        return qf_half;
    if (q_le(qf_minus_25, x) && q_le(x, qf_zero))
        return cPhi(x);
    if (q_le(qf_zero, x) && q_le(x, qf_25)) {
        qfloat minus_x = q_neg(x);
        return q_sub(qf_one, cPhi(minus_x));
    }
    if (q_lt(x, qf_minus_213_1))
        return qf_zero; /* Phi(x) is below the qfloat range */
    if (q_lt(x, qf_minus_25))
        return asymptotic_Zelq(x);
    if (q_lt(qf_23, x))
        return qf_one; /* 1 - Phi(x) < 1e-117, far below half an ulp of 1 */
    /* Only a NaN gets here: it compares false against every constant. Its
     * Phi is undefined, so answer NaN (the argument itself) rather than a
     * number. */
    return x;
}
