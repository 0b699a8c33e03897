/*
 * Value-style wrappers over the qfloat operations, so that the engine's
 * routines read as the formulas they compute: q_add(a, q_mul(h, b)) is
 * a + (h * b) with each operation rounded once, in exactly that grouping.
 * Each wrapper is exactly one platform operation; none adds rounding.
 */
#ifndef ZELQ_QF_VALUE_OPS_H
#define ZELQ_QF_VALUE_OPS_H

#include "qfloat.h"

#include <stdint.h>

/* a + b, rounded once. */
static inline qfloat q_add(qfloat a, qfloat b)
{
    qfloat r;
    __op_plus_pqfloat_pqfloat(&r, &a, &b);
    return r;
}

/* a - b, rounded once. */
static inline qfloat q_sub(qfloat a, qfloat b)
{
    qfloat r;
    __op_minus_pqfloat_pqfloat(&r, &a, &b);
    return r;
}

/* a * b, rounded once. */
static inline qfloat q_mul(qfloat a, qfloat b)
{
    qfloat r;
    __op_multiply_pqfloat_pqfloat(&r, &a, &b);
    return r;
}

/* a / b, rounded once. */
static inline qfloat q_div(qfloat a, qfloat b)
{
    qfloat r;
    __op_divide_pqfloat_pqfloat(&r, &a, &b);
    return r;
}

/* -a, exact. */
static inline qfloat q_neg(qfloat a)
{
    qfloat r;
    __op_minus_pqfloat(&r, &a);
    return r;
}

/* e^a as the platform exponential rounds it. */
static inline qfloat q_exp(qfloat a)
{
    qfloat r;
    _expq(&r, &a);
    return r;
}

/* ln a as the platform logarithm rounds it. */
static inline qfloat q_log(qfloat a)
{
    qfloat r;
    _logq(&r, &a);
    return r;
}

/* n as a qfloat, exact (through the int cast). */
static inline qfloat q_from_int(int32_t n)
{
    qfloat r;
    __op_cast_int_qfloat(&r, n);
    return r;
}

/* n as a qfloat, exact (through the 32-bit integer load). */
static inline qfloat q_from_long(int32_t n)
{
    qfloat r;
    _ltoq(&n, &r);
    return r;
}

/* a = b; false when either is a NaN. */
static inline int q_eq(qfloat a, qfloat b)
{
    return __op_equal_pqfloat_pqfloat(&a, &b);
}

/* a < b; false when either is a NaN. */
static inline int q_lt(qfloat a, qfloat b)
{
    return __op_less_pqfloat_pqfloat(&a, &b);
}

/* a <= b; false when either is a NaN. */
static inline int q_le(qfloat a, qfloat b)
{
    return __op_lessequal_pqfloat_pqfloat(&a, &b);
}

#endif
