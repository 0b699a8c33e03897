// SPDX-License-Identifier: MIT
/*
 * qfloat: a fixed-precision binary floating-point number with a 352-bit
 * significand, correctly rounded arithmetic (round to nearest, ties to even),
 * correctly rounded exp and log, and exact decimal text conversion.
 *
 * Layout (56 bytes):
 *   sign      0 for +, 0xFFFFFFFF for -
 *   exponent  biased by 32768
 *   mantissa  word 0 is a guard word, always written as 0 and ignored on
 *             input; words 1..11 hold the significand, most significant first.
 *
 * Encodings (exponent field E, fraction 0.m from words 1..11):
 *   E = 0,      m = 0     +-0
 *   E = 0,      m != 0    subnormal: 0.m * 2^-32767 (fewer significant bits)
 *   1 <= E <= 65534       normal: 0.m * 2^(E-32768), top bit of word 1 set
 *   E >= 65535, m = 0     +-infinity   (written with E = 65535)
 *   E >= 65535, m != 0    NaN          (written with E = 65535, word 1 =
 *                                       0xC0000000, sign 0)
 * Smallest normal 2^-32768 (about 7.06e-9865), smallest subnormal 2^-33119
 * (about 1.4e-9970), largest finite (1 - 2^-352) * 2^32766 (about 3.54e9863).
 * Results beyond the largest finite value round to +-infinity; results below
 * half the smallest subnormal round to +-0. Any 56-byte pattern is accepted
 * as input: an unnormalized finite pattern is read by the formula above.
 *
 * NaN compares unordered: every comparison and equality with a NaN is false.
 * 0*inf, inf-inf, 0/0, inf/inf and log of a negative number give NaN;
 * x/0 gives +-infinity; log 0 gives -infinity.
 *
 * Every operation takes its operands by pointer; an output may be the same
 * object as an input. No operation keeps state, allocates or locks.
 */
#ifndef ZELQ_QFLOAT_H
#define ZELQ_QFLOAT_H

#include <stdint.h>

#if defined(_WIN32) && defined(QFLOAT_BUILDING_DLL)
#define QFLOAT_API __declspec(dllexport)
#elif defined(_WIN32) && defined(QFLOAT_USING_DLL)
#define QFLOAT_API __declspec(dllimport)
#elif defined(__GNUC__)
#define QFLOAT_API __attribute__((visibility("default")))
#else
#define QFLOAT_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct qfloatstruct {
    uint32_t sign;
    uint32_t exponent;
    uint32_t mantissa[12];
} qfloat;

#define QFLT_EXP_BIAS 32768
#define QFLT_EXP_INFNAN 65535
/* Lowest decimal exponent of a normal qfloat (2^-32768 ~ 7.06e-9865). */
#define QFLT_MIN_EXP (-9864)

/* The qfloat nearest to 1.0900377190420865842969737513593110651511287639835344898368128235126807E-106 (about
 * 2^-352). */
extern QFLOAT_API const qfloat QFLT_EPSILON;

/* Decimal text -> qfloat, correctly rounded; invalid text reads as NaN.
 * Grammar and the written form: docs/text-format.md. */
QFLOAT_API void _asctoq(const char *text, qfloat *out);
/* qfloat -> decimal text in a buffer of ndigs bytes (NUL included). */
QFLOAT_API void _qtoasc(const qfloat *value, char *text, int ndigs);

QFLOAT_API void _expq(qfloat *out, const qfloat *x);
QFLOAT_API void _logq(qfloat *out, const qfloat *x);

/* *n exactly (INT32_MIN included). */
QFLOAT_API void _ltoq(const int32_t *n, qfloat *out);
/* Clears the sign in place; returns x. */
QFLOAT_API qfloat *_qabs(qfloat *x);
/* x rounded once to the nearest float, ties to even, with float subnormals;
 * beyond the float range +-infinity; NaN gives a NaN. */
QFLOAT_API float _qtof(const qfloat *x);
/* x truncated toward zero. NaN gives 0; values beyond the int32 range
 * (infinities included) saturate to INT32_MAX / INT32_MIN. */
QFLOAT_API int32_t _qtoi(const qfloat *x);

/* n exactly. */
QFLOAT_API void __op_cast_int_qfloat(qfloat *out, int32_t n);
/* + - x / are correctly rounded to nearest, ties to even. An exact zero sum
 * of nonzero operands is +0; -0 + -0 is -0. -a of a NaN is the NaN. */
QFLOAT_API void __op_plus_pqfloat_pqfloat(qfloat *out, const qfloat *a, const qfloat *b);
QFLOAT_API void __op_minus_pqfloat_pqfloat(qfloat *out, const qfloat *a, const qfloat *b);
QFLOAT_API void __op_multiply_pqfloat_pqfloat(qfloat *out, const qfloat *a, const qfloat *b);
QFLOAT_API void __op_divide_pqfloat_pqfloat(qfloat *out, const qfloat *a, const qfloat *b);
QFLOAT_API void __op_minus_pqfloat(qfloat *out, const qfloat *a);

QFLOAT_API int __op_equal_pqfloat_pqfloat(const qfloat *a, const qfloat *b);
QFLOAT_API int __op_less_pqfloat_pqfloat(const qfloat *a, const qfloat *b);
QFLOAT_API int __op_lessequal_pqfloat_pqfloat(const qfloat *a, const qfloat *b);
QFLOAT_API int __op_less_int_pqfloat(int32_t n, const qfloat *b);
QFLOAT_API int __op_less_pqfloat_int(const qfloat *a, int32_t n);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
static_assert(sizeof(qfloat) == 56, "qfloat is 56 bytes");
static_assert(__builtin_offsetof(qfloat, sign) == 0, "sign at 0");
static_assert(__builtin_offsetof(qfloat, exponent) == 4, "exponent at 4");
static_assert(__builtin_offsetof(qfloat, mantissa) == 8, "mantissa at 8");
#else
_Static_assert(sizeof(qfloat) == 56, "qfloat is 56 bytes");
#endif

#endif
