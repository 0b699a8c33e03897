// SPDX-License-Identifier: MIT
// Reading a probability text, with the logarithm of its digits where its
// value is below the number range.
#include "probability_text.h"

#include "normal_constants.h"
#include "qf_more_ops.h"
#include "quantile_constants.h"

#include <stdint.h>

/* Significant digits that enter the mantissa: beyond 130 they move p by
 * less than 1e-129 relative, and ln p by less than that absolutely. */
#define MANTISSA_DIGITS 130

static int is_space(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

static int is_digit(char c)
{
    return c >= '0' && c <= '9';
}

/* n exactly, for |n| < 2^62. */
static qfloat q_from_int64(int64_t n)
{
    int64_t high = n / ((int64_t)1 << 31);
    int32_t low = (int32_t)(n - high * ((int64_t)1 << 31));
    qfloat h = q_from_int((int32_t)high);
    return q_add(q_mul(h, q_from_int(INT32_MAX)), q_add(h, q_from_int(low)));
}

/* ln of the value of a text that _asctoq accepted as a finite number with a
 * nonzero digit: value = d.ddd... 10^E, with E the explicit exponent plus
 * the position of the first nonzero digit. */
static qfloat log_of_digits(const char *text)
{
    const char *s = text;
    while (is_space(*s))
        s++;
    if (*s == '+' || *s == '-')
        s++;
    char digits[MANTISSA_DIGITS];
    int kept = 0;
    int64_t E = 0; /* the decimal exponent of the first nonzero digit */
    int seen_nonzero = 0, after_point = 0;
    for (; is_digit(*s) || (*s == '.' && !after_point); s++) {
        if (*s == '.') {
            after_point = 1;
            continue;
        }
        if (!seen_nonzero) {
            if (*s == '0') {
                E -= after_point; /* a leading zero after the point */
                continue;
            }
            seen_nonzero = 1;
            E -= after_point;
        } else if (!after_point) {
            E++;
        }
        if (kept < MANTISSA_DIGITS)
            digits[kept++] = *s;
    }
    /* d.ddd... in [1, 10) */
    char mantissa[MANTISSA_DIGITS + 2];
    int n = 0;
    mantissa[n++] = digits[0];
    if (kept > 1)
        mantissa[n++] = '.';
    for (int i = 1; i < kept; i++)
        mantissa[n++] = digits[i];
    mantissa[n] = 0;
    qfloat m;
    _asctoq(mantissa, &m); /* in [1, 10) */
    qfloat exponent = q_from_int64(E);
    if (*s == 'e' || *s == 'E') {
        qfloat written; /* the rest, sign, digits and trailing space, reads as a number */
        _asctoq(s + 1, &written);
        exponent = q_add(written, exponent);
    }
    return q_add(q_mul(exponent, qf_ln10), q_log(m));
}

static int has_nonzero_digit(const char *text)
{
    for (const char *s = text; *s && *s != 'e' && *s != 'E'; s++)
        if (*s >= '1' && *s <= '9')
            return 1;
    return 0;
}

enum probability_form read_probability(const char *text, qfloat *p, qfloat *log_p)
{
    _asctoq(text, p);
    if (q_is_nan(*p) || q_is_inf(*p) || q_binary_exponent(*p) >= -32767)
        return PROBABILITY_VALUE; /* NaN, infinite, or normal (zero has the lowest exponent) */
    if (!has_nonzero_digit(text))
        return PROBABILITY_VALUE; /* a true zero */
    if (q_sign_bit(*p)) {
        *p = q_neg(qf_one); /* negative, however small: outside the domain */
        return PROBABILITY_VALUE;
    }
    *log_p = log_of_digits(text);
    return PROBABILITY_LOG;
}
