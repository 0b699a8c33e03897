// SPDX-License-Identifier: MIT
// The logarithm of the one-term tail estimate phi(X) |X|/(1 + X^2), shared by
// the engine's rough tail and the foo text entry.
#include "normal.h"
#include "normal_constants.h"
#include "qf_value_ops.h"

/* ln(|X|/(1+X^2)) - X^2/2 + LnSqrt2Pi, with |X|/(1+X^2) formed from -X for
 * X < 0 and from X otherwise (so bit for bit the same for X and -X), X^2/2
 * as (X*X)*0.5 and the subtraction before the addition. X = 0 gives ln 0 =
 * -infinity; NaN gives NaN. Each step is one rounded operation: the value is
 * within a few units of 2^-352 relative to its size, which for |X| in the
 * hundreds (a log near -10^4) is about 10^-102 absolute. */
extern "C" qfloat rough_tail_log(qfloat X)
{
    qfloat X_squared = q_mul(X, X); /* once for both uses */
    qfloat d = q_add(qf_one, X_squared);
    qfloat a = q_lt(X, qf_zero) ? q_div(q_neg(X), d) : q_div(X, d); /* |X|/(1+X^2) */
    qfloat ln_a = q_log(a);
    qfloat h = q_mul(X_squared, qf_half);
    return q_add(q_sub(ln_a, h), LnSqrt2Pi);
}

/* e^rough_tail_log(X), with no cut: the tail term itself for either sign of
 * X (no complement), subnormal or 0 where it underflows, 0 at X = 0 (e^-inf),
 * NaN for NaN. */
extern "C" qfloat rough_tail_term(qfloat X)
{
    return q_exp(rough_tail_log(X));
}
