// SPDX-License-Identifier: MIT
// True values for the engine's tests: Phi(x), ln Phi(x), Phi^-1(p) and the z
// with ln Phi(z) = L, each for an exact binary input, with MPFR at the
// output's precision plus kGuard bits. The sweeps use kOraclePrec = 1400
// bits (421 digits), over 300 digits beyond the 1e-102 they test.
//
// Phi comes from erfc for |x| < kCfFrom and from the continued fraction of
// the Mills ratio beyond, in log form, ln Phi(-u) = -u^2/2 - ln sqrt(2 pi) -
// ln F(u): at this precision erfc takes milliseconds out there, and the log
// form goes on far below Phi's range (ln Phi(-1e100) = -5e199). For x > 0,
// ln Phi(x) = ln(1 - Q) by log1p, with the upper tail Q = Phi(-x) from the
// same two routes, never 1 - Phi rounded.
//
// The inverses run Newton's method on ln Phi (near the centre on
// Phi - 1/2, where p - 1/2 is exact) from a start left of the root, doubling
// the working precision as the steps confirm bits, until a step at full
// precision is below the output's precision. A solve that does not settle in
// kNewtonSteps steps aborts the program.
#pragma once

#include "qf_mpfr.h"
#include "qf_test_support.h"
#include "qfloat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mpfr.h>

namespace normal_oracle
{

const mpfr_prec_t kOraclePrec = 1400;
const mpfr_prec_t kGuard = 64;
const long kCfFrom = 10; // |x| from which the continued fraction is faster than erfc
const int kNewtonSteps = 100;
const long kMaxDepth = 10000000;

[[noreturn]] inline void fail(const char *what, const mpfr_t at)
{
    mpfr_fprintf(stderr, "normal_oracle: %s (at %.40Rg)\n", what, at);
    std::abort();
}

// Runs f with MPFR's widest exponent range, whatever range the caller has set
// (the tests narrow it to qfloat's): the upper tail e^-5e11 at x = 1e6 stays
// representable. out is then fitted to the caller's range.
template <class F> void in_wide_range(mpfr_t out, F &&f)
{
    mpfr_exp_t emin = mpfr_get_emin(), emax = mpfr_get_emax();
    mpfr_set_emin(mpfr_get_emin_min());
    mpfr_set_emax(mpfr_get_emax_max());
    f();
    mpfr_set_emin(emin);
    mpfr_set_emax(emax);
    mpfr_check_range(out, 0, MPFR_RNDN);
}

inline void ln_sqrt_2pi(mpfr_t out)
{
    mpfr_const_pi(out, MPFR_RNDN);
    mpfr_mul_2ui(out, out, 1, MPFR_RNDN);
    mpfr_log(out, out, MPFR_RNDN);
    mpfr_div_2ui(out, out, 1, MPFR_RNDN);
}

// The depth n at which the n-th convergent of F(u) = u + 1/(u + 2/(u + ...))
// is within 2^-(w+4) of F relative. The fraction's terms are positive, so
// its convergents A_k/B_k lie alternately below and above F and consecutive
// ones bracket it; they differ by k!/(B_k B_(k-1)), B_k = u B_(k-1) + k B_(k-2).
// B_k is followed as b_k = B_k/u^k (so that u up to 1e9863 fits a double),
// scaled down by e^scale when it grows large.
inline long cf_depth(const mpfr_t u, mpfr_prec_t w)
{
    long ex;
    double m = mpfr_get_d_2exp(&ex, u, MPFR_RNDN);
    const double ln2 = 0.6931471805599453, lnu = std::log(m) + (double)ex * ln2;
    const double r = std::exp(-2 * lnu), target = -(double)(w + 4) * ln2;
    double b1 = 1, b2 = 0, scale = 0; // b_k and b_(k-1), each times e^-scale
    for (long k = 1; k < kMaxDepth; k++) {
        double b = b1 + (double)k * r * b2;
        b2 = b1;
        b1 = b;
        if (std::lgamma(k + 1.0) - 2.0 * (double)k * lnu - std::log(b1) - std::log(b2) - 2 * scale < target)
            return k + 2;
        if (b1 > 1e200) {
            b1 *= 1e-200;
            b2 *= 1e-200;
            scale += 200 * 2.302585092994046;
        }
    }
    fail("the Mills ratio's continued fraction does not settle", u);
}

// F(u) = phi(u)/Phi(-u) at f's precision, backwards from depth n (0: from
// cf_depth's).
inline void mills_fraction(mpfr_t f, const mpfr_t u, long n = 0)
{
    if (n == 0)
        n = cf_depth(u, mpfr_get_prec(f));
    mpfr_set(f, u, MPFR_RNDN);
    for (long k = n; k >= 1; k--) {
        mpfr_ui_div(f, (unsigned long)k, f, MPFR_RNDN);
        mpfr_add(f, f, u, MPFR_RNDN);
    }
}

// ln Phi(-u) = -(u^2/2 + ln sqrt(2 pi) + ln F(u)) for u >= kCfFrom at out's
// precision; F(u) into f.
inline void ln_tail(mpfr_t out, mpfr_t f, const mpfr_t u, long n = 0)
{
    mpfr_value c(mpfr_get_prec(out));
    mills_fraction(f, u, n);
    mpfr_log(c.v, f, MPFR_RNDN);
    mpfr_sqr(out, u, MPFR_RNDN);
    mpfr_div_2ui(out, out, 1, MPFR_RNDN);
    mpfr_add(out, out, c.v, MPFR_RNDN);
    ln_sqrt_2pi(c.v);
    mpfr_add(out, out, c.v, MPFR_RNDN);
    mpfr_neg(out, out, MPFR_RNDN);
}

// Phi(x) = erfc(-x/sqrt 2)/2 at out's precision.
inline void erfc_phi(mpfr_t out, const mpfr_t x)
{
    mpfr_value t(mpfr_get_prec(out));
    mpfr_sqrt_ui(t.v, 2, MPFR_RNDN);
    mpfr_div(t.v, x, t.v, MPFR_RNDN);
    mpfr_neg(t.v, t.v, MPFR_RNDN);
    mpfr_erfc(out, t.v, MPFR_RNDN);
    mpfr_div_2ui(out, out, 1, MPFR_RNDN);
}

// The upper tail Q = Phi(-x) for x >= 0, at q's precision.
inline void upper_tail(mpfr_t q, const mpfr_t x)
{
    if (mpfr_cmp_si(x, kCfFrom) < 0) {
        mpfr_value t(mpfr_get_prec(x));
        mpfr_neg(t.v, x, MPFR_RNDN);
        return erfc_phi(q, t.v);
    }
    mpfr_value f(mpfr_get_prec(q));
    ln_tail(q, f.v, x);
    mpfr_exp(q, q, MPFR_RNDN);
}

// ln Phi(x) at out's precision, in the wide range.
inline void ln_phi_at(mpfr_t out, const mpfr_t x)
{
    mpfr_prec_t w = mpfr_get_prec(out);
    if (mpfr_cmp_si(x, -kCfFrom) <= 0) {
        mpfr_value u(mpfr_get_prec(x)), f(w);
        mpfr_neg(u.v, x, MPFR_RNDN);
        ln_tail(out, f.v, u.v);
    } else if (mpfr_sgn(x) <= 0) {
        erfc_phi(out, x);
        mpfr_log(out, out, MPFR_RNDN);
    } else {
        upper_tail(out, x);
        mpfr_neg(out, out, MPFR_RNDN);
        mpfr_log1p(out, out, MPFR_RNDN);
    }
}

// Newton's method on an increasing concave function from a start left of
// its root, so that the iterates climb to it. step(s, z) sets s, at s's
// precision, to the step f(z)/f'(z). The working precision starts at 64 bits
// and is raised to twice the bits z holds after each step, so that only the
// last two steps run at z's full precision; done when a step at full
// precision is below 2^-(full - 40) of z, 24 bits below the output's
// precision.
template <class Step> void newton(mpfr_t z, Step &&step, const char *what)
{
    const mpfr_prec_t full = mpfr_get_prec(z);
    mpfr_prec_t w = 64;
    mpfr_value s(w);
    for (int i = 0; i < kNewtonSteps; i++) {
        mpfr_set_prec(s.v, w);
        step(s.v, z);
        mpfr_sub(z, z, s.v, MPFR_RNDN);
        long agree = mpfr_zero_p(s.v) ? (long)w : (long)(mpfr_get_exp(z) - mpfr_get_exp(s.v));
        if (w == full && agree >= (long)full - 40)
            return;
        // z now holds about twice the bits of the step, but no more than the
        // evaluation at w bits could show
        long held = std::min(2 * agree, (long)w - 8);
        w = std::max(w, (mpfr_prec_t)std::min((long)full, 2 * held + 32));
    }
    fail(what, z); // what names the equation that did not settle
}

// The z <= Phi^-1(1/4) with ln Phi(z) = L, for L <= ln(1/4), at z's precision.
inline void solve_tail(mpfr_t z, const mpfr_t L)
{
    // Start at -max(1, sqrt(t)), t = -2L - ln(2 pi): for t >= 1 there
    // ln Phi = L + ln R(u) < L, as the Mills ratio R(u) < 1/u <= 1; for t < 1
    // the root lies above -1. So the start is left of the root.
    mpfr_value t(64), c(64);
    ln_sqrt_2pi(c.v);
    mpfr_add(t.v, L, c.v, MPFR_RNDN);
    mpfr_mul_si(t.v, t.v, -2, MPFR_RNDN);
    if (mpfr_cmp_ui(t.v, 1) < 0)
        mpfr_set_ui(t.v, 1, MPFR_RNDN);
    mpfr_sqrt(t.v, t.v, MPFR_RNDN);
    mpfr_neg(z, t.v, MPFR_RNDN);
    newton(
        z,
        [L](mpfr_t s, const mpfr_t x) {
            mpfr_prec_t w = mpfr_get_prec(s);
            mpfr_value lp(w), slope(w);
            if (mpfr_cmp_si(x, -kCfFrom) <= 0) {
                mpfr_value u(mpfr_get_prec(x));
                mpfr_neg(u.v, x, MPFR_RNDN);
                ln_tail(lp.v, slope.v, u.v);
            } else {
                // phi(x)/Phi(x) = e^(-x^2/2 - ln sqrt(2 pi) - ln Phi(x))
                ln_phi_at(lp.v, x);
                ln_sqrt_2pi(slope.v);
                mpfr_add(slope.v, slope.v, lp.v, MPFR_RNDN);
                mpfr_value h(w);
                mpfr_sqr(h.v, x, MPFR_RNDN);
                mpfr_div_2ui(h.v, h.v, 1, MPFR_RNDN);
                mpfr_add(slope.v, slope.v, h.v, MPFR_RNDN);
                mpfr_neg(slope.v, slope.v, MPFR_RNDN);
                mpfr_exp(slope.v, slope.v, MPFR_RNDN);
            }
            mpfr_sub(s, lp.v, L, MPFR_RNDN);
            mpfr_div(s, s, slope.v, MPFR_RNDN);
        },
        "Newton on ln Phi(z) = L does not settle");
}

// The z > 0 with Phi(z) - 1/2 = erf(z/sqrt 2)/2 = d, for exact 0 < d <= 1/4,
// at z's precision.
inline void solve_centre(mpfr_t z, const mpfr_t d)
{
    // d sqrt(2 pi) is left of the root: erf is concave for z > 0
    mpfr_const_pi(z, MPFR_RNDN);
    mpfr_mul_2ui(z, z, 1, MPFR_RNDN);
    mpfr_sqrt(z, z, MPFR_RNDN);
    mpfr_mul(z, z, d, MPFR_RNDN);
    newton(
        z,
        [d](mpfr_t s, const mpfr_t x) {
            mpfr_prec_t w = mpfr_get_prec(s);
            mpfr_value f(w), g(w);
            mpfr_sqrt_ui(f.v, 2, MPFR_RNDN);
            mpfr_div(f.v, x, f.v, MPFR_RNDN);
            mpfr_erf(f.v, f.v, MPFR_RNDN);
            mpfr_div_2ui(f.v, f.v, 1, MPFR_RNDN);
            mpfr_sub(f.v, f.v, d, MPFR_RNDN);
            // f/phi(x) = f sqrt(2 pi) e^(x^2/2)
            mpfr_sqr(g.v, x, MPFR_RNDN);
            mpfr_div_2ui(g.v, g.v, 1, MPFR_RNDN);
            mpfr_exp(g.v, g.v, MPFR_RNDN);
            mpfr_mul(f.v, f.v, g.v, MPFR_RNDN);
            mpfr_const_pi(g.v, MPFR_RNDN);
            mpfr_mul_2ui(g.v, g.v, 1, MPFR_RNDN);
            mpfr_sqrt(g.v, g.v, MPFR_RNDN);
            mpfr_mul(s, f.v, g.v, MPFR_RNDN);
        },
        "Newton on Phi(z) - 1/2 = d does not settle");
}

// z = +-(the centre solve for |d|).
inline void solve_centre_signed(mpfr_t z, const mpfr_t d)
{
    if (mpfr_zero_p(d))
        return (void)mpfr_set_zero(z, 1);
    mpfr_value a(mpfr_get_prec(d));
    mpfr_abs(a.v, d, MPFR_RNDN);
    solve_centre(z, a.v);
    mpfr_setsign(z, z, mpfr_signbit(d), MPFR_RNDN);
}

// ---- the oracle: finite inputs in each function's domain ----

// Phi(x) for finite x.
inline void phi(mpfr_t out, const mpfr_t x)
{
    in_wide_range(out, [&] {
        mpfr_value r(mpfr_get_prec(out) + kGuard);
        if (mpfr_cmp_si(x, -kCfFrom) <= 0) {
            ln_phi_at(r.v, x);
            mpfr_exp(r.v, r.v, MPFR_RNDN);
        } else if (mpfr_cmp_si(x, kCfFrom) < 0) {
            erfc_phi(r.v, x);
        } else {
            upper_tail(r.v, x);
            mpfr_ui_sub(r.v, 1, r.v, MPFR_RNDN);
        }
        mpfr_set(out, r.v, MPFR_RNDN);
    });
}

// ln Phi(x) for finite x.
inline void ln_phi(mpfr_t out, const mpfr_t x)
{
    in_wide_range(out, [&] {
        mpfr_value r(mpfr_get_prec(out) + kGuard);
        ln_phi_at(r.v, x);
        mpfr_set(out, r.v, MPFR_RNDN);
    });
}

// Phi^-1(p) for 0 < p < 1: from p - 1/2 (exact) on [1/4, 3/4], else from
// ln p, or from ln(1 - p) (exact 1 - p) for the upper tail.
inline void inverse_phi(mpfr_t out, const mpfr_t p)
{
    if (!(mpfr_sgn(p) > 0 && mpfr_cmp_ui(p, 1) < 0))
        fail("Phi^-1 outside 0 < p < 1", p);
    in_wide_range(out, [&] {
        mpfr_prec_t w = mpfr_get_prec(out) + kGuard;
        mpfr_value z(w), d(mpfr_get_prec(p) + 2), L(w);
        mpfr_sub_d(d.v, p, 0.5, MPFR_RNDN);
        if (mpfr_cmp_d(d.v, 0.25) <= 0 && mpfr_cmp_d(d.v, -0.25) >= 0) {
            solve_centre_signed(z.v, d.v);
        } else if (mpfr_sgn(d.v) < 0) {
            mpfr_log(L.v, p, MPFR_RNDN);
            solve_tail(z.v, L.v);
        } else {
            mpfr_ui_sub(d.v, 1, p, MPFR_RNDN);
            mpfr_log(L.v, d.v, MPFR_RNDN);
            solve_tail(z.v, L.v);
            mpfr_neg(z.v, z.v, MPFR_RNDN);
        }
        mpfr_set(out, z.v, MPFR_RNDN);
    });
}

// The z with ln Phi(z) = L for finite L < 0: from L itself up to ln(1/4),
// from e^L - 1/2 = expm1(L + ln 2)/2 up to ln(3/4) (L + ln 2 formed with 400
// bits to spare, so that L next to -ln 2 keeps its digits), and from
// ln(-expm1(L)) = ln(1 - e^L) above.
inline void inverse_ln_phi(mpfr_t out, const mpfr_t L)
{
    if (!(mpfr_sgn(L) < 0 && mpfr_number_p(L)))
        fail("the log-space inverse outside L < 0", L);
    in_wide_range(out, [&] {
        mpfr_prec_t w = mpfr_get_prec(out) + kGuard;
        mpfr_value z(w), b(w), e(w + mpfr_get_prec(L) + 400);
        mpfr_set_d(b.v, 0.25, MPFR_RNDN);
        mpfr_log(b.v, b.v, MPFR_RNDN);
        mpfr_value c(w);
        mpfr_set_d(c.v, 0.75, MPFR_RNDN);
        mpfr_log(c.v, c.v, MPFR_RNDN);
        if (mpfr_lessequal_p(L, b.v)) {
            solve_tail(z.v, L);
        } else if (mpfr_lessequal_p(L, c.v)) {
            mpfr_const_log2(e.v, MPFR_RNDN);
            mpfr_add(e.v, e.v, L, MPFR_RNDN);
            mpfr_expm1(b.v, e.v, MPFR_RNDN);
            mpfr_div_2ui(b.v, b.v, 1, MPFR_RNDN);
            solve_centre_signed(z.v, b.v);
        } else {
            mpfr_expm1(b.v, L, MPFR_RNDN);
            mpfr_neg(b.v, b.v, MPFR_RNDN);
            mpfr_log(b.v, b.v, MPFR_RNDN);
            solve_tail(z.v, b.v);
            mpfr_neg(z.v, z.v, MPFR_RNDN);
        }
        mpfr_set(out, z.v, MPFR_RNDN);
    });
}

// fn's true value for an exact qfloat argument, at prec bits.
inline mpfr_value truth(void (*fn)(mpfr_ptr, mpfr_srcptr), const qfloat &a, mpfr_prec_t prec = kOraclePrec)
{
    mpfr_value in(352), out(prec);
    qf_to_mpfr(in.v, &a);
    fn(out.v, in.v);
    return out;
}

// The error of a qfloat result: |got - truth| / max(|truth|, 2^-32768), the
// relative error, and for truths below qfloat's normal range the absolute
// error against its smallest normal number (2^351 least subnormals). A truth
// beyond qfloat's range must come as that infinity; NaN, or an infinity for
// a finite truth, is infinitely wrong.
inline double scaled_error(const qfloat &got, const mpfr_t truth)
{
    mpfr_value g(352), r(352);
    qf_to_mpfr(g.v, &got);
    mpfr_exp_t emin = mpfr_get_emin(), emax = mpfr_get_emax();
    qf_mpfr_setup_range();
    qf_mpfr_round(r.v, mpfr_set(r.v, truth, MPFR_RNDN));
    mpfr_set_emin(emin);
    mpfr_set_emax(emax);
    if (mpfr_inf_p(r.v))
        return mpfr_equal_p(g.v, r.v) ? 0 : HUGE_VAL;
    if (!mpfr_number_p(g.v))
        return HUGE_VAL;
    mpfr_value d(mpfr_get_prec(truth) + 16), m(64);
    mpfr_sub(d.v, g.v, truth, MPFR_RNDN);
    mpfr_abs(d.v, d.v, MPFR_RNDN);
    mpfr_abs(m.v, truth, MPFR_RNDN);
    if (mpfr_cmp_ui_2exp(m.v, 1, -32768) < 0)
        mpfr_set_ui_2exp(m.v, 1, -32768, MPFR_RNDN);
    mpfr_div(d.v, d.v, m.v, MPFR_RNDN);
    return mpfr_get_d(d.v, MPFR_RNDN);
}

} // namespace normal_oracle
