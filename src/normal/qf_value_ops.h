// SPDX-License-Identifier: MIT
/*
 * Value-style wrappers over the qfloat operations, so that the engine's
 * routines read as the formulas they compute: q_add(a, q_mul(h, b)) is
 * a + (h * b) with each operation rounded once, in exactly that grouping.
 * Each wrapper is exactly one platform operation; none adds rounding.
 * Operands go by reference so that no 56-byte copy is made per operation.
 */
#ifndef ZELQ_QF_VALUE_OPS_H
#define ZELQ_QF_VALUE_OPS_H

#include "qfloat.h"

#include <stdint.h>

/* a + b, rounded once. */
static inline qfloat q_add(const qfloat &a, const qfloat &b)
{
    qfloat r;
    __op_plus_pqfloat_pqfloat(&r, &a, &b);
    return r;
}

/* a - b, rounded once. */
static inline qfloat q_sub(const qfloat &a, const qfloat &b)
{
    qfloat r;
    __op_minus_pqfloat_pqfloat(&r, &a, &b);
    return r;
}

/* a * b, rounded once. */
static inline qfloat q_mul(const qfloat &a, const qfloat &b)
{
    qfloat r;
    __op_multiply_pqfloat_pqfloat(&r, &a, &b);
    return r;
}

/* a / b, rounded once. */
static inline qfloat q_div(const qfloat &a, const qfloat &b)
{
    qfloat r;
    __op_divide_pqfloat_pqfloat(&r, &a, &b);
    return r;
}

/* -a, exact. */
static inline qfloat q_neg(const qfloat &a)
{
    qfloat r;
    __op_minus_pqfloat(&r, &a);
    return r;
}

/* *out = a + b, rounded once, written in place: out may be a or b. In a
 * loop this spares the 56-byte copy of a fresh result, which a processor
 * can only read once the operation's own stores have drained. */
static inline void q_add_to(qfloat *out, const qfloat &a, const qfloat &b)
{
    __op_plus_pqfloat_pqfloat(out, &a, &b);
}

/* *out = a * b, rounded once, written in place: out may be a or b. */
static inline void q_mul_to(qfloat *out, const qfloat &a, const qfloat &b)
{
    __op_multiply_pqfloat_pqfloat(out, &a, &b);
}

/* e^a as the platform exponential rounds it. */
static inline qfloat q_exp(const qfloat &a)
{
    qfloat r;
    _expq(&r, &a);
    return r;
}

/* ln a as the platform logarithm rounds it. */
static inline qfloat q_log(const qfloat &a)
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
static inline int q_eq(const qfloat &a, const qfloat &b)
{
    return __op_equal_pqfloat_pqfloat(&a, &b);
}

/* a < b; false when either is a NaN. */
static inline int q_lt(const qfloat &a, const qfloat &b)
{
    return __op_less_pqfloat_pqfloat(&a, &b);
}

/* a <= b; false when either is a NaN. */
static inline int q_le(const qfloat &a, const qfloat &b)
{
    return __op_lessequal_pqfloat_pqfloat(&a, &b);
}

#endif
