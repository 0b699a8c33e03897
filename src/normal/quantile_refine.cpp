// SPDX-License-Identifier: MIT
// The last step of the inverse: from a start good to about 15 digits to the
// full precision, by the Taylor series of the inverse function.
#include "normal_constants.h"
#include "normal_internal.h"
#include "qf_more_ops.h"
#include "quantile_constants.h"

/* Terms of the inverse series at most: a start within 1e-13 needs about 9. */
#define QUANTILE_MAX_ORDER 32
/* A term below 2^-360 |u0| no longer reaches the result. */
#define QUANTILE_NEGLIGIBLE_BITS 360
/* Fresh starts from the partial result before giving up. */
#define QUANTILE_ROUNDS 3

/*
 * F is Q (the tail, y = R) or Phi - 1/2 (the centre, y = N), with
 * sigma = -1 or +1: then y' = u y + sigma and F = phi y, and
 * G(u) = ln F(u) = ln y - u^2/2 - ln sqrt(2 pi) has G' = sigma/y. The
 * inverse u(G) therefore obeys, with s = G - G(u0) (the quantile mechanics
 * of Steinbrecher and Shaw, Eur. J. Appl. Math. 19 (2008), for this pair),
 *     du/ds = sigma y,   dy/ds = y + sigma u y^2,
 * and its Taylor coefficients about s = 0 follow from u(0) = u0, y(0) = y0:
 *     U_(k+1) = sigma Y_k / (k+1),
 *     Y_(k+1) = (Y_k + sigma (U Y^2)_k) / (k+1),
 * (U Y^2)_k being the coefficient of s^k of the product series. With
 * D = T - G(u0) the solution is u = sum of U_k D^k. The coefficients are
 * kept scaled by D^k, which leaves the convolutions as they are, so each
 * step adds the term U_(k+1) D^(k+1) directly.
 *
 * The sum stops on the size of its terms, never on the residual: once a
 * term falls below 2^-360 |u0| the rest (they shrink by about the start's
 * relative error each) cannot reach the result. A start within 1e-15 gives
 * about 8 terms. Should the terms stop shrinking, the first-order (Newton)
 * step becomes the new start and y0 is evaluated afresh there.
 *
 * Error: G(u0) carries a few units of 2^-352 of |G| plus y0's own error
 * (1e-103 for R, less for N), T the rounding of its own making; u moves by
 * sigma y times that, which relative to u is below 1e-102 on both sides
 * (y/u <= 1.3 in the tail beyond 0.6745; N/u -> 1 in the centre).
 */
static int term_is_negligible(const qfloat &term, const qfloat &u0)
{
    return q_eq(term, qf_zero) || q_binary_exponent(term) < q_binary_exponent(u0) - QUANTILE_NEGLIGIBLE_BITS;
}

qfloat quantile_refine(enum quantile_side side, const qfloat &start, const qfloat &target, int target_is_log)
{
    const int tail = side == QUANTILE_TAIL;
    qfloat u0 = start;
    for (int round = 0; round < QUANTILE_ROUNDS; round++) {
        /* A start of 160 bits keeps u0^2 exact. Cutting it no shorter
         * matters far out: the coefficients lose about u0^2 in relative
         * precision per order (R - u R^2 cancels), which stays harmless while
         * u0^2 times the start's relative error is below 1. */
        u0 = q_leading_160_bits(u0);
        qfloat y0 = !tail ? center_ratio(u0) : q_le(u0, qf_25) ? mills_taylor_sum_quick(u0) : mills_ratio(u0);
        /* D = T - G(u0) = ln(P/y0) + u0^2/2 + ln sqrt(2 pi): one logarithm
         * where the target comes as the probability P itself. */
        qfloat half_square = q_mul(q_mul(u0, qf_half), u0);
        qfloat D = target_is_log ? q_sub(target, q_sub(q_add(q_log(y0), qf_minus_ln_sqrt_2pi), half_square))
                                 : q_sub(q_add(q_log(q_div(target, y0)), half_square), qf_minus_ln_sqrt_2pi);

        qfloat U[QUANTILE_MAX_ORDER + 1], Y[QUANTILE_MAX_ORDER + 1], Y2[QUANTILE_MAX_ORDER + 1];
        U[0] = u0;
        Y[0] = y0;
        qfloat h = qf_zero;
        /* exponents of the last two terms added */
        int32_t last = 0, before_last = 0;
        for (int k = 0; k < QUANTILE_MAX_ORDER; k++) {
            /* Y2_k = (Y^2)_k by symmetry, then V = (U Y^2)_k; no sum starts
             * from 0 (an exact zero operand takes the slow way). */
            qfloat y2 = q_mul(Y[0], Y[k]);
            for (int i = 1; 2 * i < k; i++)
                q_add_to(&y2, y2, q_mul(Y[i], Y[k - i]));
            if (k > 0)
                q_add_to(&y2, y2, y2);
            if (k > 0 && k % 2 == 0)
                q_add_to(&y2, y2, q_mul(Y[k / 2], Y[k / 2]));
            Y2[k] = y2;
            qfloat V = q_mul(U[0], Y2[k]);
            for (int i = 1; i <= k; i++)
                q_add_to(&V, V, q_mul(U[i], Y2[k - i]));

            qfloat sigma_Y_D = q_mul(Y[k], D);
            qfloat next_Y_D = q_mul(tail ? q_sub(Y[k], V) : q_add(Y[k], V), D);
            if (tail)
                sigma_Y_D = q_neg(sigma_Y_D);
            if (k == 0) {
                U[1] = sigma_Y_D;
                Y[1] = next_Y_D;
            } else {
                qfloat k1 = q_from_int(k + 1);
                U[k + 1] = q_div(sigma_Y_D, k1);
                Y[k + 1] = q_div(next_Y_D, k1);
            }

            const qfloat &term = U[k + 1];
            if (term_is_negligible(term, u0))
                return q_add(u0, h);
            /* Not shrinking (one small coefficient may dip below the trend,
             * so the term before last counts too): the start was too far off. */
            int32_t e = q_binary_exponent(term);
            if ((k == 1 && e >= last) || (k > 1 && e >= last && e >= before_last))
                break;
            before_last = last;
            last = e;
            h = k == 0 ? term : q_add(h, term);
        }
        /* Start again from the Newton step, kept within a factor 2 of u0. */
        qfloat newton = q_add(u0, U[1]);
        if (q_lt(newton, q_mul(u0, qf_half)))
            newton = q_mul(u0, qf_half);
        if (q_lt(q_add(u0, u0), newton))
            newton = q_add(u0, u0);
        u0 = newton;
    }
    return q_div(qf_zero, qf_zero); /* NaN: the correction did not settle */
}
