// SPDX-License-Identifier: MIT
/*
 * Internal form shared by the qfloat operations: the value unpacked into
 * 64-bit limbs, and the one routine that rounds a wide result and packs it.
 * Limbs are stored most significant first, as in the packed layout, so that
 * packing and unpacking are plain word moves.
 */
#ifndef ZELQ_QF_INTERNAL_H
#define ZELQ_QF_INTERNAL_H

#include "qfloat.h"

#include <stdint.h>

#define QF_PREC 352      /* significand bits */
#define QF_LIMBS 6       /* 64-bit limbs holding them; the low half of limb 5 is 0 */
#define QF_EMIN (-32767) /* value = 0.m * 2^exp; normal exp range */
#define QF_EMAX 32766

enum qf_class { QF_ZERO = 0, QF_FINITE = 1, QF_INF = 2, QF_NAN = 3 };

typedef struct {
    int cls;     /* enum qf_class */
    int neg;     /* 1 when the sign is negative (also for -0, -inf) */
    int32_t exp; /* finite: value = 0.m * 2^exp with m[0]'s top bit set */
    uint64_t m[QF_LIMBS];
} qf_unpacked;

#ifdef __cplusplus
extern "C" {
#endif

/* Reads any 56-byte pattern; finite values come out normalized (subnormals
 * get an exponent below QF_EMIN). */
void qf_unpack(const qfloat *x, qf_unpacked *u);

/*
 * Rounds 0.mag * 2^exp (mag: n limbs, most significant first, top bit of
 * mag[0] set; sticky != 0 when nonzero bits lie below mag) to 352 bits, to
 * nearest with ties to even, with gradual underflow below 2^-32768 and
 * overflow to infinity, and stores the packed result with the given sign.
 * n >= 1. mag is not modified.
 */
void qf_round_pack(qfloat *out, int neg, int32_t exp, const uint64_t *mag, int n, int sticky);

/* qf_round_pack of six limbs m0 (most significant) .. m5 passed by value,
 * so that callers can keep them in registers. */
void qf_round_pack6(qfloat *out, int neg, int32_t exp, int sticky, uint64_t m0, uint64_t m1, uint64_t m2,
                    uint64_t m3, uint64_t m4, uint64_t m5);

/* Packs an unpacked value whose significand already fits 352 bits (finite
 * values must be normal and in range: no rounding happens here). */
void qf_pack_exact(qfloat *out, const qf_unpacked *u);

/* The result of a + b, a * b or a / b when an operand is a NaN, an
 * infinity or a zero (IEEE-style: inf - inf, 0 * inf, 0/0 and inf/inf are
 * NaN; x/0 is +-inf; -0 + -0 is -0): stored, and 1 returned; 0 and nothing
 * stored when both are finite and nonzero. qf_exceptional.cpp. */
int qf_add_exceptional(qfloat *out, const qf_unpacked *a, const qf_unpacked *b);
/* a and b unpacked into *ua and *ub, b's sign flipped when flip (a - b),
 * then qf_add_exceptional. */
int qf_add_unpacked_exceptional(qfloat *out, const qfloat *a, const qfloat *b, int flip, qf_unpacked *ua,
                                qf_unpacked *ub);
int qf_mul_exceptional(qfloat *out, const qf_unpacked *a, const qf_unpacked *b);
int qf_div_exceptional(qfloat *out, const qf_unpacked *a, const qf_unpacked *b);

void qf_set_zero(qfloat *out, int neg);
void qf_set_inf(qfloat *out, int neg);
void qf_set_nan(qfloat *out);

#ifdef __cplusplus
}
#endif

/* 64x64 -> 128 multiply; a portable path for targets without __int128. */
static inline void qf_mul64(uint64_t a, uint64_t b, uint64_t *hi, uint64_t *lo)
{
#if defined(__SIZEOF_INT128__)
    unsigned __int128 p = (unsigned __int128)a * b;
    *hi = (uint64_t)(p >> 64);
    *lo = (uint64_t)p;
#else
    uint64_t a0 = (uint32_t)a, a1 = a >> 32, b0 = (uint32_t)b, b1 = b >> 32;
    uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
    uint64_t mid = (p00 >> 32) + (uint32_t)p01 + (uint32_t)p10;
    *hi = p11 + (p01 >> 32) + (p10 >> 32) + (mid >> 32);
    *lo = (mid << 32) | (uint32_t)p00;
#endif
}

static inline int qf_clz64(uint64_t x)
{
    return x ? __builtin_clzll(x) : 64;
}

#endif
