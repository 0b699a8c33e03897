// SPDX-License-Identifier: MIT
/*
 * Series-length probe: runs the engine's asymptotic series loop on a text
 * argument and reports where it stops instead of what it sums.
 */
#include "normal.h"
#include "qfloat.h"
#include "zelq.h"

#include <limits.h>

/* Returns the counter at which the loop of the asymptotic series (terms
 * -1/x^2, +3/x^4, -15/x^6, ...) leaves, with the caller's limit unchanged:
 * k when adding the term with counter k leaves the sum unchanged,
 * max_iter + 1 when the counter passes the limit, 2 when max_iter <= 1. It is
 * the engine's own loop, so the count is exact for it. x = 0 (1/0 = inf, and
 * inf - inf is NaN) and NaN give a sum that never settles: the result is then
 * max_iter + 1, or 2. A limit of INT_MAX acts as INT_MAX - 1 so that the
 * counter cannot overflow. */
int ZELQ_CALL asymptSeries_length(char *x_str, int max_iter)
{
    qfloat x, sum;
    _asctoq(x_str, &x);
    if (max_iter == INT_MAX)
        max_iter = INT_MAX - 1;
    return asymptSeries_count(x, max_iter, &sum);
}
