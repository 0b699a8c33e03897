// SPDX-License-Identifier: MIT
/*
 * foo: the one-term tail estimate phi(X) * |X| / (1 + X^2) as text. Unlike
 * the engine's rough tail it applies no cut on the log-space value and takes
 * no complement for X > 0; for X < 0 above the cut both agree bit for bit.
 */
#include "normal.h"
#include "qfloat.h"
#include "text_capacity.h"
#include "zelq.h"

#include <string.h>

/* Writes rough_tail_term(X) as a text of at most min(strlen(y_str), 115)
 * characters and its NUL, and returns the length written. The value carries
 * about 104 correct digits (fewer for |X| in the hundreds, where e^ amplifies
 * the rounding of the large exponent). X = 0 asks for ln 0 = -infinity and
 * writes the text of 0; unreadable text writes NaN. */
int ZELQ_CALL foo(char *x_str, char *y_str)
{
    qfloat X;
    _asctoq(x_str, &X);
    qfloat result = rough_tail_term(X);
    _qtoasc(&result, y_str, zelq_text_capacity(y_str));
    return (int)strlen(y_str);
}
