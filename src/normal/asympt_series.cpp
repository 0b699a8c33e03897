// The correction terms of the asymptotic expansion of Phi in the far tail.
#include "normal.h"
#include "normal_constants.h"
#include "qf_value_ops.h"

/* Terms a_1 = -1/x^2, a_m = -a_(m-1) (2m - 1)/x^2, each rounded as
 * ((-a) * (2M - 1)) * xi; the sum stops when a term leaves it exactly
 * unchanged or the counter passes max_iter. Returns that counter. */
extern "C" int32_t asymptSeries_count(qfloat x, int32_t max_iter, qfloat *sum)
{
    qfloat xi = q_div(qf_one, q_mul(x, x));
    qfloat a = q_neg(xi);
    qfloat s = a;
    int32_t m = 2;
    while (m <= max_iter) {
        qfloat M = q_from_long(m);
        a = q_mul(q_mul(q_neg(a), q_sub(q_mul(qf_two, M), qf_one)), xi);
        qfloat t = q_add(s, a);
        if (q_eq(t, s))
            break;
        s = t;
        m = m + 1;
    }
    *sum = s;
    return m;
}

/* -1/x^2 + 3/x^4 - 15/x^6 + ... summed by asymptSeries_count; the
 * truncation error is below the first term left out. */
extern "C" qfloat asymptSeries(qfloat x, int32_t max_iter)
{
    qfloat s;
    asymptSeries_count(x, max_iter, &s);
    return s;
}
