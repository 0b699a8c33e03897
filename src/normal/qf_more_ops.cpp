// SPDX-License-Identifier: MIT
// ln(1 + x), e^x - 1, square root and the exact move from double, from the
// number type's correctly rounded operations.
#include "qf_more_ops.h"
#include "normal_constants.h"
#include "quantile_constants.h"

#include <math.h>
#include <string.h>

/* With w = 1 + x rounded, ln(w)/(w - 1) is the slowly varying ln(1+t)/t at
 * t = w - 1 (exact), so it has the relative precision of ln w; times x it
 * gives ln(1 + x) within a few roundings. w = 1 means |x| <= 2^-354, where
 * ln(1 + x) = x to within x^2/2. */
qfloat q_log1p(const qfloat &x)
{
    qfloat w = q_add(qf_one, x);
    if (q_eq(w, qf_one))
        return x;
    return q_div(q_mul(q_log(w), x), q_sub(w, qf_one));
}

qfloat q_expm1(const qfloat &a)
{
    qfloat w = q_exp(a);
    qfloat w_minus_1 = q_sub(w, qf_one);
    if (!q_lt(q_mul(a, a), qf_quarter))
        return w_minus_1; /* |a| >= 1/2: no cancellation, and ln w need not be taken */
    if (q_eq(w, qf_one))
        return a; /* |a| below half an ulp of 1: e^a - 1 = a to within a^2/2 */
    return q_div(q_mul(w_minus_1, a), q_log(w));
}

qfloat q_sqrt_steps(const qfloat &a, int steps)
{
    if (q_eq(a, qf_zero))
        return a;
    /* a = a' 2^(2k) with a' in [1/4, 1): the start comes from a' alone. */
    int32_t k = q_binary_exponent(a) >> 1;
    qfloat a_scaled = q_scale2(a, -2 * k);
    qfloat s = q_from_double((double)sqrtf(_qtof(&a_scaled)));
    for (int i = 0; i < steps; i++)
        s = q_mul(q_add(s, q_div(a_scaled, s)), qf_half);
    return q_scale2(s, k);
}

qfloat q_from_double(double d)
{
    qfloat r;
    memset(&r, 0, sizeof r);
    if (d != d)
        return q_div(qf_zero, qf_zero);
    if (d == 0 || d - d != 0) { /* +-0 and +-inf keep their sign */
        r.sign = signbit(d) ? 0xFFFFFFFFu : 0u;
        r.exponent = d == 0 ? 0 : QFLT_EXP_INFNAN;
        return r;
    }
    int e;
    double m = frexp(fabs(d), &e);          /* |d| = m 2^e, m in [1/2, 1), exactly */
    uint64_t bits = (uint64_t)ldexp(m, 64); /* 53 significant bits, top bit set */
    r.sign = d < 0 ? 0xFFFFFFFFu : 0u;
    r.exponent = (uint32_t)(e + QFLT_EXP_BIAS);
    r.mantissa[1] = (uint32_t)(bits >> 32);
    r.mantissa[2] = (uint32_t)bits;
    return r;
}

double q_to_double(const qfloat &a)
{
    if (q_is_nan(a))
        return NAN;
    double sign = q_sign_bit(a) ? -1.0 : 1.0;
    if (q_is_inf(a))
        return sign * INFINITY;
    if (a.exponent == 0) /* zero, or a subnormal qfloat: far below any double */
        return sign * 0.0;
    /* a = 0.m 2^e; the top 64 bits of m, and whether any below are set */
    int32_t e = q_binary_exponent(a);
    uint64_t top = ((uint64_t)a.mantissa[1] << 32) | a.mantissa[2];
    int sticky = 0;
    for (int i = 3; i <= 11; i++)
        sticky |= a.mantissa[i] != 0;
    /* keep k bits: 53, fewer where the double is subnormal (below 2^-1022) */
    int k = e >= -1021 ? 53 : 53 - (-1021 - e);
    if (k < 0)
        return sign * 0.0; /* below half the least subnormal double */
    uint64_t kept = k == 0 ? 0 : top >> (64 - k);
    uint64_t rest = k == 0 ? top : top << k; /* the dropped bits, left-aligned */
    int round_bit = (int)(rest >> 63);
    sticky |= (rest << 1) != 0;
    if (round_bit && (sticky || (kept & 1)))
        kept++;
    /* kept 2^(e - k) is exact in a double (ldexp overflows to inf) */
    return sign * ldexp((double)kept, e - k);
}
