// SPDX-License-Identifier: MIT
/*
 * Internal entry points shared by the exp and log evaluations, and the wide
 * retry paths on their own (so that tests can check them directly).
 */
#ifndef ZELQ_QF_EXPLOG_H
#define ZELQ_QF_EXPLOG_H

#include "qf_internal.h"

#include <stdint.h>

/* Fraction width (in limbs) of the first, table-driven evaluation, and the
 * number of wider retries; the last retry width is the widest that the
 * stored ln 2 supports. */
#define QF_FAST_NF 7
#define QF_WIDE_LEVELS 3
#define QF_WIDE_MAX_NF 47

#ifdef __cplusplus
extern "C" {
#endif

/*
 * exp(r) for a fraction r (nf limbs, 2 <= nf <= QF_WIDE_MAX_NF, value below
 * 0.75). Writes a mixed value y (nf + 1 limbs) and returns errbit such that
 * |y - exp(r')| <= 2^errbit units of 2^(-64 nf) for every r' within 4 units
 * of r (so callers may pass an r that carries that much error).
 */
int qf_exp_wide_kernel(uint64_t *y, const uint64_t *r, int nf);

/* The retry paths of _expq / _logq alone, at the given fraction width
 * (nf limbs). Return 1 and store the correctly rounded result when the
 * error bound decides the rounding at that width, 0 otherwise. Finite,
 * in-range arguments only (x nonzero and |x| in [2^-400, 2^16) for exp;
 * x finite, positive and not 1 for log). */
int qf_exp_wide(qfloat *out, const qfloat *x, int nf);
int qf_log_wide(qfloat *out, const qfloat *x, int nf);

/* The unrounded estimates behind those decisions, at nf fraction limbs
 * (QF_FAST_NF for the first evaluation), for checking the error bounds:
 *   exp: e^x within 2^errbit units of y * 2^(k - 64 nf), y: nf + 1 limbs;
 *   log: log x within 2^errbit units of (-1)^neg * l * 2^(-64 nf), l: nf + 1
 *        limbs.
 * Each returns errbit. Same argument ranges as above. */
int qf_exp_approx(uint64_t *y, int32_t *k, const qfloat *x, int nf);
int qf_log_approx(uint64_t *l, int *neg, const qfloat *x, int nf);

#ifdef __cplusplus
}
#endif

#endif
