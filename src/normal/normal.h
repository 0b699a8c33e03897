// SPDX-License-Identifier: MIT
/*
 * The standard normal distribution engine on qfloat.
 *
 * Phi(u) is the standard normal distribution function, phi(u) =
 * e^(-u^2/2)/sqrt(2 pi) its density. Every routine takes and returns qfloat by
 * value, keeps nothing between calls and may run in several threads at once.
 * Each arithmetic step inside is one rounded qfloat operation in a fixed
 * order, so results are reproducible to the last bit.
 */
#ifndef ZELQ_NORMAL_H
#define ZELQ_NORMAL_H

#include "qfloat.h"

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Phi(x) for every qfloat x: exactly 1/2 at 0, cPhi on 0 < |x| <= 25,
 * asymptotic_Zelq on -213.1 <= x < -25, 0 below -213.1, 1 above 25 (and
 * 1 - cPhi(-x) rounds to 1 above 23); NaN for NaN. Relative error about
 * 1e-103 for -45 <= x <= 25, growing to a few 1e-102 toward -213.1 as the
 * exponent -x^2/2 keeps fewer fraction bits. */
qfloat Zelq(qfloat x);

/* 1 - Phi(|x|) = Phi(-|x|) for 0 < |x| <= 25, from the Mills ratio at the
 * integer above |x| carried down by its Taylor series; exactly 1/2 when
 * |x| <= QFLT_EPSILON. Relative error about 1e-103. Depends on |x| only. */
qfloat cPhi(qfloat x);

/* Sum of the correction terms -1/x^2 + 3/x^4 - 15/x^6 + ... of the
 * asymptotic expansion of Phi, without the leading 1: terms are added while
 * they change the sum and the counter (from 2) stays <= max_iter; at least
 * the first term is always taken. Depends on x only through x*x. */
qfloat asymptSeries(qfloat x, int32_t max_iter);

/* The loop of asymptSeries: stores its sum in *sum and returns the counter
 * at loop exit (k when the term with counter k left the sum unchanged,
 * max_iter + 1 when the limit ended it, 2 when max_iter < 2). */
int32_t asymptSeries_count(qfloat x, int32_t max_iter, qfloat *sum);

/* asymptSeries_count on xi = 1/x^2 (as rounded) in place of x, for a caller
 * that has x*x at hand. */
int32_t asymptSeries_count_xi(qfloat xi, int32_t max_iter, qfloat *sum);

/* Phi(x) for x < 0 (meant for -213.1 <= x < -25) as phi(x)/|x| times
 * 1 + asymptSeries(x); relative error about 1e-103 at -25 growing to a few
 * 1e-102 at -213.1. */
qfloat asymptotic_Zelq(qfloat x);

/* The term limit asymptotic_Zelq gives its series: x^2/2 through single
 * precision, truncated, at most 400. */
int32_t asymptotic_Zelq_limit(qfloat x);

/* The same limit from x^2/2 (as rounded) in place of x. */
int32_t asymptotic_Zelq_limit_half_square(qfloat x_squared_over_2);

/* One-term estimate of Phi(X): t = phi(X)*|X|/(1+X^2), formed in log space;
 * t for X < 0, 1 - t for X > 0, 0 at X = 0. t is exactly 0 where its log
 * falls below -9864 (|X| > 140.4146...). Relative error of t against the
 * tail about -2/X^4 (it is always too small). */
qfloat rough_asymptotic_Zelq(qfloat X);

/* ln(phi(X)*|X|/(1+X^2)): (ln(|X|/(1+X*X)) - (X*X)*0.5) + LnSqrt2Pi, the
 * log-space tail term of rough_asymptotic_Zelq and of the foo entry; -inf at
 * X = 0. */
qfloat rough_tail_log(qfloat X);

/* phi(X)*|X|/(1+X^2) = e^rough_tail_log(X) with no cut and no complement
 * (the foo entry's value): 0 at X = 0, subnormal or 0 far out. */
qfloat rough_tail_term(qfloat X);

/* ln Phi(x) for every qfloat x, to a relative 1e-102: from the series of
 * Phi(x) - 1/2 near 0, ln of the Mills ratio minus x^2/2 in the lower tail
 * (no exponential, so it goes on far below Phi's range: -5e199 at -1e100),
 * and ln(1 - Q) from the upper tail Q = Phi(-x) for x > 0. -inf where x^2/2
 * overflows, -0 where -Q is below the subnormal range, NaN for NaN.
 * ln(1 - Phi(x)) is log_Zelq(-x). */
qfloat log_Zelq(qfloat x);

/* Phi^-1(p) for 0 < p < 1, to a relative 1e-102 of the exact inverse of the
 * binary p; -inf at p = 0, +inf at p = 1, NaN for p < 0, p > 1 or NaN. The z
 * with 1 - Phi(z) = q is -inverse_Zelq(q), exactly. */
qfloat inverse_Zelq(qfloat p);

/* The z with ln Phi(z) = L for L < 0, to a relative 1e-102; +inf at L = 0,
 * -inf at L = -inf, NaN for L > 0 or NaN. The z with ln(1 - Phi(z)) = L is
 * -inverse_log_Zelq(L), exactly. */
qfloat inverse_log_Zelq(qfloat L);

#ifdef __cplusplus
}
#endif

#endif
