// SPDX-License-Identifier: MIT
// A one-term estimate of Phi: phi(X) |X|/(1 + X^2) in place of the tail.
#include "normal.h"
#include "normal_constants.h"
#include "qf_value_ops.h"

/* |X|/(1+X^2) lies just below the Mills ratio, so the tail term is slightly
 * too small (relative -2/X^4 for large |X|). The term is formed as a log and
 * exponentiated once; a log below -9864 gives exactly 0, so the exponential
 * never underflows. */
extern "C" qfloat rough_asymptotic_Zelq(qfloat X)
{
    if (q_eq(X, qf_zero))
        return qf_zero; /* no logarithm of 0 */

    qfloat pdfN_X = rough_tail_log(X);

    qfloat t;
    if (__op_less_pqfloat_int(&pdfN_X, QFLT_MIN_EXP))
        t = qf_zero;
    else
        t = q_exp(pdfN_X);

    qfloat result = q_lt(qf_zero, X) ? q_sub(qf_one, t) : t;
    return result;
}
