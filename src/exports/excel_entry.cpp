// SPDX-License-Identifier: MIT
/*
 * Excel/VBA entry: Phi(x) from 16-bit text into the caller's 16-bit buffer.
 * The argument is narrowed into a heap block, evaluated, and the result text
 * (at most 119 characters) is widened into whole 16-bit characters.
 */
#include "normal.h"
#include "qfloat.h"
#include "zelq.h"

#include <stdint.h>
#include <stdlib.h>

/* Writes the empty text: a 16-bit NUL at character 0. */
static int excel_empty_result(char *deliverToVBA)
{
    deliverToVBA[0] = 0;
    deliverToVBA[1] = 0;
    return 0;
}

/* Reads x_Length little-endian 16-bit characters of x_VBA (x_Length 0 is the
 * empty text), writes Zelq(x) as 16-bit text of at most 119 characters and a
 * 16-bit NUL into deliverToVBA, touching nothing after the NUL, and returns
 * the number of characters before the NUL. A character above 0x7F makes the
 * argument NaN. If the temporary block cannot be had, the result is the
 * empty text and 0. */
int ZELQ_CALL str_Zelq_str_Excel(char *x_VBA, char *deliverToVBA, unsigned x_Length)
{
    const int result_Length = 120;
    char result_ascii[120] = {0};
    const size_t iStart = 0;

    /* x_Length characters and a NUL: at least one 2-byte element, and no
     * size that wraps around in the 32 bits of the host's size type (on a
     * 64-bit build too, so that 2^32 - 1 gives the same empty result rather
     * than reading characters the caller cannot have). */
    if (x_Length >= UINT32_MAX / 2)
        return excel_empty_result(deliverToVBA);
    char *x_ascii = (char *)calloc(x_Length > 0 ? (size_t)x_Length : 1, 2);
    if (!x_ascii)
        return excel_empty_result(deliverToVBA);

    const size_t iLast = (size_t)x_Length + 1;
    int outside_ascii = 0;
    for (size_t i = iStart; i + 1 < iLast; i++) {
        unsigned char low = (unsigned char)x_VBA[2 * i];
        unsigned char high = (unsigned char)x_VBA[2 * i + 1];
        outside_ascii |= high != 0 || low > 0x7F;
        x_ascii[i] = (char)low;
    }
    x_ascii[iLast - 1] = 0;
    /* Text with a character outside 7-bit ASCII is unreadable: a character
     * such as U+0131 must not pass for the digit its low byte spells. The
     * number layer reads unreadable (here: empty) text as NaN. */
    if (outside_ascii)
        x_ascii[0] = 0;

    qfloat x_qfloat;
    _asctoq(x_ascii, &x_qfloat);
    qfloat result = Zelq(x_qfloat);
    free(x_ascii);

    _qtoasc(&result, result_ascii, result_Length);
    int i;
    for (i = 0; i < result_Length; i++) {
        deliverToVBA[2 * i] = result_ascii[i];
        deliverToVBA[2 * i + 1] = 0;
        if (result_ascii[i] == 0)
            break;
    }
    return i;
}
