// SPDX-License-Identifier: MIT
/*
 * Many values in one call, for hosts that hold arrays (the Python package):
 * zelq_many_double over doubles, zelq_many_text over fixed-size text slots.
 * One call runs on the caller's thread; a host that wants several cores
 * splits its array and calls once per thread.
 */
#include "normal.h"
#include "qf_more_ops.h"
#include "qfloat.h"
#include "text_evaluations.h"
#include "wide_text.h"
#include "zelq.h"

#include <string.h>

/* The function of the batch entries for one value taken as a qfloat. */
static qfloat evaluate(int function, int upper, const qfloat &x)
{
    switch (function) {
    case ZELQ_MANY_PHI: return Zelq(upper ? q_neg(x) : x);
    case ZELQ_MANY_LOG_PHI: return log_Zelq(upper ? q_neg(x) : x);
    case ZELQ_MANY_INVERSE: {
        qfloat z = inverse_Zelq(x);
        return upper ? q_mirror(z) : z;
    }
    default: {
        qfloat z = inverse_log_Zelq(x);
        return upper ? q_mirror(z) : z;
    }
    }
}

static int valid_function(int function)
{
    return function >= ZELQ_MANY_PHI && function <= ZELQ_MANY_INVERSE_LOG;
}

int ZELQ_CALL zelq_many_double(int function, int upper, int n, const double *x, double *y)
{
    if (!valid_function(function) || n < 0)
        return -1;
    for (int i = 0; i < n; i++)
        y[i] = q_to_double(evaluate(function, upper, q_from_double(x[i])));
    return n;
}

int ZELQ_CALL zelq_many_text(int function, int upper, int n, const char *x, int x_stride, char *y,
                             int y_stride)
{
    if (!valid_function(function) || n < 0 || x_stride < 1 || y_stride < 1)
        return -1;
    text_evaluation evaluate_text = function == ZELQ_MANY_PHI       ? text_phi
                                    : function == ZELQ_MANY_LOG_PHI ? text_log_ndtr
                                    : function == ZELQ_MANY_INVERSE ? text_ndtri
                                                                    : text_ndtri_exp;
    /* The results of the 8-bit entries: at most 115 characters and the NUL. */
    int capacity = y_stride < 116 ? y_stride : 116;
    for (int i = 0; i < n; i++) {
        const char *xi = x + (size_t)i * (size_t)x_stride;
        /* a slot's text ends at its NUL or at the end of the slot */
        char text[1024];
        size_t len = strnlen(xi, (size_t)x_stride);
        if (len >= sizeof text)
            len = 0; /* longer than any number a slot of an array needs: unreadable */
        memcpy(text, xi, len);
        text[len] = 0;
        evaluate_text(text, upper, y + (size_t)i * (size_t)y_stride, capacity);
    }
    return n;
}
