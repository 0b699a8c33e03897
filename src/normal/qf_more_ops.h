// SPDX-License-Identifier: MIT
/*
 * Operations the inverse and the log scale need beyond the number type's
 * own: ln(1 + x) and e^x - 1 for small arguments, a square root, exact
 * moves from double, and reading or setting the binary exponent. Each is
 * built from correctly rounded qfloat operations only, so every build gives
 * the same bits.
 */
#ifndef ZELQ_QF_MORE_OPS_H
#define ZELQ_QF_MORE_OPS_H

#include "qf_value_ops.h"
#include "qfloat.h"

#include <stdint.h>

/* Whether a is a NaN (it alone is unequal to itself). */
static inline int q_is_nan(const qfloat &a)
{
    return !q_eq(a, a);
}

/* Whether a is +-infinity. */
static inline int q_is_inf(const qfloat &a)
{
    return a.exponent >= QFLT_EXP_INFNAN && a.mantissa[1] == 0 && q_eq(a, a);
}

/* -z, but 0 for a zero: the upper-tail quantile mirrors the lower one, and
 * the median is 0 in either tail. */
static inline qfloat q_mirror(const qfloat &z)
{
    qfloat m = q_neg(z);
    uint32_t bits = m.exponent;
    for (int i = 1; i <= 11; i++)
        bits |= m.mantissa[i];
    if (bits == 0)
        m.sign = 0;
    return m;
}

/* Whether the sign of a is set (-0 and -inf included). */
static inline int q_sign_bit(const qfloat &a)
{
    return a.sign != 0;
}

/* The binary exponent e of a nonzero normal a = 0.m * 2^e; below every
 * normal exponent for zero and subnormals, so that comparing exponents
 * orders magnitudes to within a factor 2. */
static inline int32_t q_binary_exponent(const qfloat &a)
{
    return (int32_t)a.exponent - QFLT_EXP_BIAS;
}

/* a * 2^k for a normal a whose result stays normal: exact. */
static inline qfloat q_scale2(qfloat a, int32_t k)
{
    a.exponent = (uint32_t)((int32_t)a.exponent + k);
    return a;
}

/* a cut to its leading 160 significand bits (toward zero): a start value
 * whose square is exact. */
static inline qfloat q_leading_160_bits(qfloat a)
{
    for (int i = 6; i <= 11; i++)
        a.mantissa[i] = 0;
    return a;
}

/* ln(1 + x) for x > -1 to a few units of 2^-352 relative, also where 1 + x
 * rounds: ln(w) x / (w - 1) with w = 1 + x (Goldberg, "What every computer
 * scientist should know about floating-point arithmetic", theorem 4). */
qfloat q_log1p(const qfloat &x);

/* e^a - 1 to a few units of 2^-352 relative, also for small a: (w - 1) a /
 * ln w with w = e^a, the same device turned round; plain e^a - 1 where
 * |a| >= 1/2 and nothing cancels. */
qfloat q_expm1(const qfloat &a);

/* sqrt(a) for a normal a > 0 from a single-precision start and `steps`
 * Newton steps (each doubles the 24 correct bits); 4 steps give the full
 * precision to within a unit or two of the last place. 0 gives 0. */
qfloat q_sqrt_steps(const qfloat &a, int steps);

/* The value of a double, exactly: +-0, subnormals, +-inf and NaN included. */
qfloat q_from_double(double d);

/* a rounded to the nearest double (ties to even), with the double's
 * subnormals and overflow to +-inf; NaN gives a NaN. */
double q_to_double(const qfloat &a);

#endif
