/*
 * foo: the one-term tail estimate phi(X) * |X| / (1 + X^2) as text, formed in
 * log space and exponentiated once. Unlike the engine's rough tail it applies
 * no cut on the log-space value and takes no complement for X > 0; it holds
 * the same stored LnSqrt2Pi, so for X < 0 above the cut both agree bit for bit.
 */
#include "normal_constants.h"
#include "qfloat.h"
#include "text_capacity.h"
#include "zelq.h"

#include <string.h>

/* Writes e^((ln(|X| / (1 + X*X)) - (X*X)*0.5) + LnSqrt2Pi) into y_str with a
 * text of at most min(strlen(y_str), 115) characters and its NUL, and
 * returns the length written.
 * Each step is one rounded qfloat operation, so the value carries about 104
 * correct digits (fewer for |X| in the hundreds, where e^ amplifies the
 * rounding of the large exponent). X = 0 asks for ln 0 = -infinity and writes
 * the text of 0; unreadable text writes NaN. */
int ZELQ_CALL foo(char *x_str, char *y_str)
{
    qfloat X, XX, d, a, neg_X, ln_a, h, pdfN_X, result;
    _asctoq(x_str, &X);

    __op_multiply_pqfloat_pqfloat(&XX, &X, &X);
    __op_plus_pqfloat_pqfloat(&d, &qf_one, &XX);
    if (__op_less_pqfloat_pqfloat(&X, &qf_zero)) {
        __op_minus_pqfloat(&neg_X, &X);
        __op_divide_pqfloat_pqfloat(&a, &neg_X, &d);
    } else {
        __op_divide_pqfloat_pqfloat(&a, &X, &d);
    }

    _logq(&ln_a, &a);
    __op_multiply_pqfloat_pqfloat(&XX, &X, &X);
    __op_multiply_pqfloat_pqfloat(&h, &XX, &qf_half);
    __op_minus_pqfloat_pqfloat(&pdfN_X, &ln_a, &h);
    __op_plus_pqfloat_pqfloat(&pdfN_X, &pdfN_X, &LnSqrt2Pi);
    _expq(&result, &pdfN_X);

    _qtoasc(&result, y_str, zelq_text_capacity(y_str));
    return (int)strlen(y_str);
}
