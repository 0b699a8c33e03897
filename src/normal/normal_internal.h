// SPDX-License-Identifier: MIT
/*
 * The engine's internal pieces shared by Phi, ln Phi and the inverse: the
 * Mills ratio and its companion near 0, the density, the log of the tail,
 * and the steps of the inverse. All keep nothing between calls.
 *
 * Notation: Q(u) = 1 - Phi(u) the upper tail, R(u) = Q(u)/phi(u) the Mills
 * ratio (R' = uR - 1), N(u) = (Phi(u) - 1/2)/phi(u) its companion about 0
 * (N' = uN + 1).
 */
#ifndef ZELQ_NORMAL_INTERNAL_H
#define ZELQ_NORMAL_INTERNAL_H

#include "qfloat.h"

/* R(x) for QFLT_EPSILON < x <= 25 from its Taylor series about the integer
 * above x (x holds |x|). Relative error about 1e-103. */
qfloat mills_taylor_sum(const qfloat &x);

/* R(u) for 1/2 <= u <= 25 from the integer below u where z h <= 2 (up to 12
 * times the error of R(z), about 1e-102), else from the integer above: fewer
 * terms, for the inverse, which that error moves by only R(u)/u of it. */
qfloat mills_taylor_sum_quick(const qfloat &u);

/* R(u) for u >= 1/2: mills_taylor_sum up to 25, the asymptotic series
 * (1/u)(1 + s) beyond. Relative error about 1e-103. */
qfloat mills_ratio(const qfloat &u);

/* N(u) = u + u^3/3 + u^5/15 + ... = sum of u^(2k+1)/(2k+1)!!, summed until a
 * term leaves the sum unchanged; odd in u. Meant for |u| < 1 (about 60
 * terms at 0.7); relative error a few units of 2^-352. */
qfloat center_ratio(const qfloat &u);

/* phi(u) for u >= 0 to about 3e-104 relative. Above 32 the exponent -u^2/2
 * is split at n = floor(u) into the exact -n^2/2 and the small rest, so the
 * rounding of a large exponent does not reach the result; 0 beyond 214.5
 * (below the subnormal range), subnormal just before. */
qfloat normal_density(const qfloat &u);

/* ln Q(u) = ln R(u) - u^2/2 - ln sqrt(2 pi) for u >= 1/2, without
 * exponential: finite for every finite u whose u^2/2 is finite (-5e199 at
 * 1e100), -inf beyond. Beyond 25 as -ln u + ln(1 + s) so that a huge u
 * never forms 1/u. Absolute error a few units of 2^-352 times |ln Q|, plus
 * R's 1e-103. */
qfloat tail_log(const qfloat &u);

/* Q(u) for u >= 1/2 as R(u) phi(u), to about 2e-103 relative while normal;
 * subnormal results keep what the subnormal range holds. */
qfloat upper_tail(const qfloat &u);

/* The u > 0 with ln Q(u) = T, for T below about ln(1/4); p_or_null, when
 * given, is e^T itself (then not recomputed where the start needs it, and
 * the correction takes one logarithm less). */
qfloat tail_quantile(const qfloat &T, const qfloat *p_or_null);

/* The u >= 0 with Phi(u) - 1/2 = d, for 0 <= d <= 1/4 (d exact). */
qfloat center_quantile(const qfloat &d);

/* Starting values for the inverse to about 1e-15 relative: for the upper
 * tail from T = ln Q (p_or_null as above), for the centre from d. */
qfloat quantile_start_tail(const qfloat &T, const qfloat *p_or_null);
qfloat quantile_start_center(const qfloat &d);

/* Which function the inverse solves: the tail Q (y = R, sigma = -1) or the
 * centre Phi - 1/2 (y = N, sigma = +1). */
enum quantile_side { QUANTILE_TAIL = -1, QUANTILE_CENTER = 1 };

/* The u with F(u) = P, F = Q or Phi - 1/2 by side, from a start u0 within
 * about 1e-13 relative; the target is T = ln P when target_is_log, else P
 * itself (a normal number). See quantile_refine.cpp. NaN if the correction
 * does not settle (which no start of quantile_start_* causes). */
qfloat quantile_refine(enum quantile_side side, const qfloat &u0, const qfloat &target, int target_is_log);

#endif
