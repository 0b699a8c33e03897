// SPDX-License-Identifier: MIT
/*
 * Phi^-1(p) as text: ndtri_Maple (8-bit) and ndtri_Excel (16-bit), R's
 * qnorm(p, lower.tail = !upper) and SciPy's ndtri(p).
 */
#include "normal.h"
#include "probability_text.h"
#include "qf_more_ops.h"
#include "qfloat.h"
#include "text_capacity.h"
#include "text_evaluations.h"
#include "wide_text.h"
#include "zelq.h"

#include <string.h>

/* Phi^-1(p), or the z with 1 - Phi(z) = p (that is -Phi^-1(p)) when upper.
 * A p below the number range goes through the logarithm of its digits. */
void text_ndtri(const char *p_text, int upper, char *out, int capacity)
{
    qfloat p, log_p;
    qfloat z =
        read_probability(p_text, &p, &log_p) == PROBABILITY_LOG ? inverse_log_Zelq(log_p) : inverse_Zelq(p);
    if (upper)
        z = q_mirror(z);
    _qtoasc(&z, out, capacity);
}

int ZELQ_CALL ndtri_Maple(char *p_str, char *y_str, int upper)
{
    text_ndtri(p_str, upper, y_str, zelq_text_capacity(y_str));
    return (int)strlen(y_str);
}

int ZELQ_CALL ndtri_Excel(char *p_VBA, char *deliverToVBA, unsigned p_Length, int upper)
{
    return wide_entry(p_VBA, deliverToVBA, p_Length, text_ndtri, upper);
}
