// SPDX-License-Identifier: MIT
/*
 * Unsigned big integers on caller-owned limb arrays (least significant limb
 * first) for the exact decimal text conversions. No heap: callers size their
 * arrays; QF_BIG_LIMBS covers the largest number either conversion forms
 * (about 77,600 bits: a 23,300-digit decimal integer, or a rounding
 * midpoint times 5^33,273).
 */
#ifndef ZELQ_QF_BIGINT_H
#define ZELQ_QF_BIGINT_H

#include "qfloat.h"

#include <stdint.h>

#define QF_BIG_LIMBS 1248

/* Significant digits that can matter: every qfloat and every midpoint
 * between two neighbouring qfloats has an exact decimal expansion of at most
 * 23,257 significant digits. */
#define QF_DEC_EXACT_DIGITS 23300

/* floor(a / b) for b > 0, rounding toward minus infinity also for a < 0. */
static inline int64_t qf_floor_div(int64_t a, int64_t b)
{
    int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

#ifdef __cplusplus
extern "C" {
#endif

/* Number of limbs of a[0..n) without leading zero limbs (0 for zero). */
int qf_big_trim(const uint64_t *a, int n);

/* Bit length of a[0..n) (0 for zero). */
long qf_big_bitlen(const uint64_t *a, int n);

/* a = a * m + add over n limbs; returns the limb carried out. */
uint64_t qf_big_mul1(uint64_t *a, int n, uint64_t m, uint64_t add);

/* r[0..na+nb) = a * b exactly; r must not overlap a or b. */
void qf_big_mul(uint64_t *r, const uint64_t *a, int na, const uint64_t *b, int nb);

/* r[0..na) = a + b with na >= nb (r may be a); returns the carry out. */
uint64_t qf_big_add(uint64_t *r, const uint64_t *a, int na, const uint64_t *b, int nb);

/* a *= 5^k in place; returns the new trimmed length, which the caller's
 * capacity must hold (about k * 2.33 / 64 limbs more than n). */
int qf_big_mul_pow5(uint64_t *a, int n, long k);

/* a <<= s in place; returns the new trimmed length (caller provides room). */
int qf_big_shl(uint64_t *a, int n, long s);

/* a >>= s in place; returns nonzero when nonzero bits were shifted out. */
int qf_big_shr(uint64_t *a, int n, long s);

/* Sign of a - b (-1, 0, 1). */
int qf_big_cmp(const uint64_t *a, int na, const uint64_t *b, int nb);

/* Sign of a * 2^ea - b * 2^eb. Both arrays may be shifted in place, so each
 * needs room for the other's bit length. */
int qf_big_cmp_scaled(uint64_t *a, int na, long ea, uint64_t *b, int nb, long eb);

/* Writes the decimal digits of a (destroyed) into buf, most significant
 * first, no leading zeros ("0" for zero); returns the digit count. buf needs
 * room for the digits plus 19. */
long qf_big_to_decimal(uint64_t *a, int n, char *buf);

/* Rounds a * 2^e2 (plus a positive amount below its last bit when sticky)
 * to the nearest qfloat, ties to even, through qf_round_pack. a may be
 * zero (gives +-0). */
void qf_big_round(qfloat *out, int neg, const uint64_t *a, int n, long e2, int sticky);

#ifdef __cplusplus
}
#endif

#endif
