// SPDX-License-Identifier: MIT
/*
 * The z with ln Phi(z) = L as text: ndtri_exp_Maple (8-bit) and
 * ndtri_exp_Excel (16-bit), R's qnorm(L, lower.tail = !upper, log.p = TRUE)
 * and SciPy's ndtri_exp(L).
 */
#include "normal.h"
#include "qf_more_ops.h"
#include "qfloat.h"
#include "text_capacity.h"
#include "text_evaluations.h"
#include "wide_text.h"
#include "zelq.h"

#include <string.h>

/* The z with ln Phi(z) = L, or with ln(1 - Phi(z)) = L (its negative) when
 * upper. */
void text_ndtri_exp(const char *log_p_text, int upper, char *out, int capacity)
{
    qfloat L;
    _asctoq(log_p_text, &L);
    qfloat z = inverse_log_Zelq(L);
    if (upper)
        z = q_mirror(z);
    _qtoasc(&z, out, capacity);
}

int ZELQ_CALL ndtri_exp_Maple(char *log_p_str, char *y_str, int upper)
{
    text_ndtri_exp(log_p_str, upper, y_str, zelq_text_capacity(y_str));
    return (int)strlen(y_str);
}

int ZELQ_CALL ndtri_exp_Excel(char *log_p_VBA, char *deliverToVBA, unsigned log_p_Length, int upper)
{
    return wide_entry(log_p_VBA, deliverToVBA, log_p_Length, text_ndtri_exp, upper);
}
