// SPDX-License-Identifier: MIT
/*
 * Excel/VBA entry: Phi(x) from 16-bit text into the caller's 16-bit buffer.
 * The argument is narrowed into a heap block, evaluated, and the result text
 * (at most 119 characters) is widened into whole 16-bit characters.
 */
#include "normal.h"
#include "qfloat.h"
#include "wide_text.h"
#include "zelq.h"

/* Reads x_Length little-endian 16-bit characters of x_VBA (x_Length 0 is the
 * empty text), writes Zelq(x) as 16-bit text of at most 119 characters and a
 * 16-bit NUL into deliverToVBA, touching nothing after the NUL, and returns
 * the number of characters before the NUL. A character above 0x7F makes the
 * argument NaN. The narrowed text always lives in a heap block of this
 * call's own; if it cannot be had, the result is the empty text and 0. */
int ZELQ_CALL str_Zelq_str_Excel(char *x_VBA, char *deliverToVBA, unsigned x_Length)
{
    const int result_Length = 120;
    char result_ascii[120] = {0};
    struct narrowed_text x;
    if (!wide_narrow(x_VBA, x_Length, nullptr, 0, 1, &x))
        return wide_write("", deliverToVBA);

    qfloat x_qfloat;
    _asctoq(x.text, &x_qfloat);
    qfloat result = Zelq(x_qfloat);
    wide_release(&x);

    _qtoasc(&result, result_ascii, result_Length);
    return wide_write(result_ascii, deliverToVBA);
}
