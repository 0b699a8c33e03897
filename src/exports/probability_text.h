// SPDX-License-Identifier: MIT
/*
 * A probability given as decimal text, read either as its binary value or,
 * where that value falls below the normal range of the number type, as the
 * natural logarithm of the text's own digits, so that p = 1e-100000 has an
 * answer instead of underflowing to 0.
 */
#ifndef ZELQ_PROBABILITY_TEXT_H
#define ZELQ_PROBABILITY_TEXT_H

#include "qfloat.h"

enum probability_form {
    PROBABILITY_VALUE = 0, /* *p holds the value (NaN, zero and negatives included) */
    PROBABILITY_LOG = 1    /* *log_p holds ln p for a positive p below 2^-32768 */
};

/* Reads text as _asctoq does. A positive value below the least normal qfloat
 * (subnormal, or rounded to 0 though a digit is nonzero) comes back as its
 * logarithm, formed from the text's leading 130 significant digits and its
 * decimal exponent: ln m + E ln 10, to a few units of 2^-352 relative (-inf
 * where that overflows). A negative text that underflowed to -0 comes back
 * as the value -1, so that it stays out of the domain. */
enum probability_form read_probability(const char *text, qfloat *p, qfloat *log_p);

#endif
