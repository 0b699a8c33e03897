// SPDX-License-Identifier: MIT
// The MPFR oracle of the engine's tests (normal_oracle.h) checked once on its
// own: against mpmath's values at 260 digits (normal_reference.h), its two
// routes to Phi against each other, and its inverses by putting their roots
// back into ln Phi.
#include "normal_oracle.h"
#include "normal_reference.h"
#include "qf_mpfr.h"
#include "qf_test_support.h"
#include "qfloat.h"
#include "sweep_points.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <vector>

namespace
{

using namespace engine_model;
using namespace normal_oracle;

// -log10 of a relative difference d (the digits it leaves in common; inf for
// 0): the differences of the oracle's own routes lie far below a double's range.
double digits(mpfr_t d)
{
    mpfr_abs(d, d, MPFR_RNDN);
    mpfr_log10(d, d, MPFR_RNDN);
    return -mpfr_get_d(d, MPFR_RNDN);
}

// The digits a and b have in common: -log10 |a - b|/|b|.
double agree(const mpfr_t a, const mpfr_t b)
{
    mpfr_value d(mpfr_get_prec(a) + 16);
    mpfr_sub(d.v, a, b, MPFR_RNDN);
    mpfr_div(d.v, d.v, b, MPFR_RNDN);
    return digits(d.v);
}

TEST(NormalOracle, AgreesWithMpmath)
{
    double worst = HUGE_VAL;
    for (const normal_reference &r : normal_references) {
        auto fn = r.kind == 'l' ? ln_phi : r.kind == 'i' ? inverse_phi : inverse_ln_phi;
        mpfr_value got = truth(fn, Q(r.input)), want(kOraclePrec);
        mpfr_set_str(want.v, r.value, 10, MPFR_RNDN);
        double e = agree(got.v, want.v);
        worst = std::fmin(worst, e);
        EXPECT_GT(e, 255) << r.kind << " at " << r.input; // mpmath's digits end at the 260th
    }
    std::printf("%zu values, each agreeing with mpmath to %.1f digits or more\n",
                sizeof normal_references / sizeof normal_references[0], worst);
}

// Both routes to ln Phi(-u) where they meet and beyond, and the continued
// fraction from its chosen depth against twice that depth.
TEST(NormalOracle, ContinuedFractionAgreesWithErfc)
{
    const mpfr_prec_t w = kOraclePrec + kGuard;
    mpfr_value u(w), x(w), a(w), b(w), f(w);
    double worst = HUGE_VAL;
    for (const char *t : {"10", "20", "25.5", "33.3", "47", "100", "213.1"}) {
        mpfr_set_str(u.v, t, 10, MPFR_RNDN);
        mpfr_neg(x.v, u.v, MPFR_RNDN);
        long n = cf_depth(u.v, w);
        ln_tail(a.v, f.v, u.v);
        erfc_phi(b.v, x.v);
        mpfr_log(b.v, b.v, MPFR_RNDN);
        double e = agree(a.v, b.v);
        EXPECT_GT(e, 415) << t;
        ln_tail(b.v, f.v, u.v, 2 * n);
        double e2 = agree(a.v, b.v);
        EXPECT_GT(e2, 415) << t << " depth " << n;
        worst = std::fmin(worst, std::fmin(e, e2));
    }
    std::printf("the continued fraction agrees with erfc and with itself at twice the depth to %.1f digits\n",
                worst);
}

// The digits of z as ln Phi(z) - L shows them, -log10 of: (ln Phi(z) - L)/(z (ln Phi)'(z)),
// with the slope (ln Phi)' = phi/Phi near -z for z <= -1 (between -z and
// -z - 1/z), else formed at 64 bits.
double implied_digits(const mpfr_t z, const mpfr_t L)
{
    mpfr_value lp(kOraclePrec), s(64), h(64);
    ln_phi(lp.v, z);
    if (mpfr_cmp_si(z, -1) <= 0) {
        mpfr_neg(s.v, z, MPFR_RNDN);
    } else {
        ln_sqrt_2pi(s.v);
        mpfr_add(s.v, s.v, lp.v, MPFR_RNDN);
        mpfr_sqr(h.v, z, MPFR_RNDN);
        mpfr_div_2ui(h.v, h.v, 1, MPFR_RNDN);
        mpfr_add(s.v, s.v, h.v, MPFR_RNDN);
        mpfr_neg(s.v, s.v, MPFR_RNDN);
        mpfr_exp(s.v, s.v, MPFR_RNDN);
    }
    mpfr_mul(s.v, s.v, z, MPFR_RNDN);
    mpfr_sub(lp.v, lp.v, L, MPFR_RNDN);
    mpfr_div(lp.v, lp.v, s.v, MPFR_RNDN);
    return digits(lp.v);
}

TEST(NormalOracle, RootsPutBackGiveTheirArguments)
{
    mpfr_value least(64);
    mpfr_set_ui_2exp(least.v, 1, -33119, MPFR_RNDN);
    std::vector<qfloat> ps = {
        qf_near(least.v), Q("1e-9860"), Q("1e-1000"), Q("3.0567e-138"),      Q("1e-5"), Q("0.2"), Q("0.25"),
        Q("0.5000001"),   Q("0.75"),    Q("0.99"),    next_toward(Q("1"), 0)};
    double worst = HUGE_VAL;
    for (const qfloat &p : ps) {
        mpfr_value z = truth(inverse_phi, p), L(kOraclePrec + 352);
        qf_to_mpfr(L.v, &p);
        mpfr_log(L.v, L.v, MPFR_RNDN);
        double e = implied_digits(z.v, L.v);
        worst = std::fmin(worst, e);
        EXPECT_GT(e, 400) << "p = " << show(p);
    }
    for (const char *t : {"-1e-300", "-1e-20", "-0.5", "-0.6931471805599453", "-0.7", "-3", "-700", "-1e12",
                          "-1e60", "-1e100", "-1e9000", "-3e9863"}) {
        mpfr_value z = truth(inverse_ln_phi, Q(t)), L(352);
        qfloat q = Q(t);
        qf_to_mpfr(L.v, &q);
        double e = implied_digits(z.v, L.v);
        worst = std::fmin(worst, e);
        EXPECT_GT(e, 400) << "L = " << t;
    }
    std::printf("every root right to %.1f digits or more as ln Phi shows it\n", worst);
}

} // namespace
