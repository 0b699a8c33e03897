// SPDX-License-Identifier: MIT
/*
 * ln Phi(x) as text: log_ndtr_Maple (8-bit) and log_ndtr_Excel (16-bit),
 * R's pnorm(x, lower.tail = !upper, log.p = TRUE) and SciPy's log_ndtr(x).
 */
#include "normal.h"
#include "qfloat.h"
#include "text_capacity.h"
#include "text_evaluations.h"
#include "wide_text.h"
#include "zelq.h"

#include <string.h>

/* ln Phi(x), or ln(1 - Phi(x)) = ln Phi(-x) when upper. */
void text_log_ndtr(const char *x_text, int upper, char *out, int capacity)
{
    qfloat x;
    _asctoq(x_text, &x);
    if (upper)
        __op_minus_pqfloat(&x, &x);
    qfloat result = log_Zelq(x);
    _qtoasc(&result, out, capacity);
}

int ZELQ_CALL log_ndtr_Maple(char *x_str, char *y_str, int upper)
{
    text_log_ndtr(x_str, upper, y_str, zelq_text_capacity(y_str));
    return (int)strlen(y_str);
}

int ZELQ_CALL log_ndtr_Excel(char *x_VBA, char *deliverToVBA, unsigned x_Length, int upper)
{
    return wide_entry(x_VBA, deliverToVBA, x_Length, text_log_ndtr, upper);
}
