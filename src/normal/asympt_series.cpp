// SPDX-License-Identifier: MIT
// The correction terms of the asymptotic expansion of Phi in the far tail.
#include "normal.h"
#include "normal_constants.h"
#include "qf_value_ops.h"

/* -(2m - 1) as a qfloat, exactly: one int load while 2m - 1 fits an int,
 * else the exact difference (1 - m) - m (only a limit beyond 2^30 with a sum
 * that never settles, as for x = 0 or a NaN, counts that far). */
static inline qfloat minus_odd(int32_t m)
{
    if (m <= (1 << 30))
        return q_from_int(1 - 2 * m);
    return q_sub(q_from_int(1 - m), q_from_int(m));
}

/* Terms a_1 = -xi, a_m = -a_(m-1) (2m - 1) xi with xi = 1/x^2, each rounded
 * as ((-a) * (2M - 1)) * xi. (-a) * (2M - 1) is formed as a * (-(2M - 1)):
 * the same product, and rounding to nearest is symmetric in the sign, so
 * the bits are the same; -(2M - 1) is an exact integer. */
extern "C" int32_t asymptSeries_count_xi(qfloat xi, int32_t max_iter, qfloat *sum)
{
    qfloat a = q_neg(xi);
    /* The sum before and after the latest term, in turn: no copy of a
     * fresh sum. */
    qfloat sums[2];
    int32_t cur = 0;
    sums[cur] = a;
    int32_t m = 2;
    while (m <= max_iter) {
        q_mul_to(&a, a, minus_odd(m));
        q_mul_to(&a, a, xi);
        q_add_to(&sums[1 - cur], sums[cur], a);
        if (q_eq(sums[1 - cur], sums[cur]))
            break; /* the sum keeps its value */
        cur = 1 - cur;
        m = m + 1;
    }
    *sum = sums[cur];
    return m;
}

/* The sum stops when a term leaves it exactly unchanged or the counter
 * passes max_iter. Returns that counter. */
extern "C" int32_t asymptSeries_count(qfloat x, int32_t max_iter, qfloat *sum)
{
    return asymptSeries_count_xi(q_div(qf_one, q_mul(x, x)), max_iter, sum);
}

/* -1/x^2 + 3/x^4 - 15/x^6 + ... summed by asymptSeries_count; the
 * truncation error is below the first term left out. */
extern "C" qfloat asymptSeries(qfloat x, int32_t max_iter)
{
    qfloat s;
    asymptSeries_count(x, max_iter, &s);
    return s;
}
