// SPDX-License-Identifier: MIT
/*
 * Maple entry: Phi(x) from 8-bit text into the caller's 8-bit buffer.
 */
#include "normal.h"
#include "qfloat.h"
#include "text_capacity.h"
#include "zelq.h"

#include <string.h>

/* Writes Zelq(x) as a text of at most min(strlen(y_str), 115) characters and
 * its NUL, so it never runs past the caller's L + 1 bytes; unreadable text
 * reads as NaN and is written as such. Returns strlen(y_str) after the
 * write. */
int ZELQ_CALL str_Zelq_str_Maple(char *x_str, char *y_str)
{
    qfloat X;
    _asctoq(x_str, &X);
    qfloat result = Zelq(X);
    _qtoasc(&result, y_str, zelq_text_capacity(y_str));
    return (int)strlen(y_str);
}
