// SPDX-License-Identifier: MIT
/*
 * Maple entry: Phi(x) from 8-bit text into the caller's 8-bit buffer.
 */
#include "normal.h"
#include "qfloat.h"
#include "text_capacity.h"
#include "text_evaluations.h"
#include "zelq.h"

#include <string.h>

/* Writes Zelq(x) as a text of at most min(strlen(y_str), 115) characters and
 * its NUL, so it never runs past the caller's L + 1 bytes; unreadable text
 * reads as NaN and is written as such. Returns strlen(y_str) after the
 * write. */
int ZELQ_CALL str_Zelq_str_Maple(char *x_str, char *y_str)
{
    text_phi(x_str, 0, y_str, zelq_text_capacity(y_str));
    return (int)strlen(y_str);
}

void text_phi(const char *x, int upper, char *out, int capacity)
{
    qfloat X;
    _asctoq(x, &X);
    if (upper)
        __op_minus_pqfloat(&X, &X);
    qfloat result = Zelq(X);
    _qtoasc(&result, out, capacity);
}
