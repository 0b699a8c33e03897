// SPDX-License-Identifier: MIT
// The Phi engine against MPFR: true Phi(x) of the exact binary x at 1100 bits
// (normal_oracle.h) bounds the error; a 352-bit MPFR model of each
// routine, one correctly rounded operation per step in the same grouping,
// must agree bit for bit, which pins down the order of every operation.
// Seed: ZELQ_TEST_SEED (printed).
#include "engine_models.h"
#include "normal.h"
#include "normal_constants.h"
#include "normal_oracle.h"
#include "qf_mpfr.h"
#include "qf_test_support.h"
#include "qf_value_ops.h"
#include "qfloat.h"
#include "sweep_points.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace
{

using namespace engine_model;

const mpfr_prec_t kTrue = 1100; // oracle precision

void true_phi(mpfr_t out, const qfloat &x)
{
    mpfr_value t;
    qf_to_mpfr(t.v, &x);
    normal_oracle::phi(out, t.v);
}

double rel_to(const qfloat &got, const mpfr_t exact)
{
    mpfr_t d;
    mpfr_init2(d, kTrue);
    qf_to_mpfr(d, &got);
    mpfr_sub(d, d, exact, MPFR_RNDN);
    mpfr_div(d, d, exact, MPFR_RNDN);
    double e = std::fabs(mpfr_get_d(d, MPFR_RNDN));
    mpfr_clear(d);
    return e;
}

double rel_to_phi(const qfloat &got, const qfloat &x)
{
    mpfr_t p;
    mpfr_init2(p, kTrue);
    true_phi(p, x);
    double e = rel_to(got, p);
    mpfr_clear(p);
    return e;
}

// got agrees with the leading digits of a decimal value to relative tol.
void expect_digits(const qfloat &got, const char *text, double tol)
{
    mpfr_t p;
    mpfr_init2(p, kTrue);
    mpfr_set_str(p, text, 10, MPFR_RNDN);
    EXPECT_LT(rel_to(got, p), tol) << "got " << show(got) << ", want " << text;
    mpfr_clear(p);
}

unsigned long test_seed()
{
    static const unsigned long seed = (unsigned long)zelq_test_seed("engine_test");
    return seed;
}

// ---- sweep points ----
struct Range {
    const char *name;
    double lo, hi; // lo < x <= hi for the positive range, lo <= x < hi else
    double bound;  // largest relative error allowed
    double worst;
    qfloat worst_x;
    int count;
};

// ---------------------------------------------------------------------------

TEST(Zelq, DifferentialSweepAgainstMpfr)
{
    Sweep sw(test_seed());
    // at and beside every integer of the range
    for (int n = -213; n <= 25; n++) {
        qfloat c = q_from_int(n);
        sw.push(c);
        sw.push(next_toward(c, 1));
        sw.push(next_toward(c, 0));
        for (const char *d : {"1e-7", "-1e-7", "1e-30", "-1e-30"}) {
            M r;
            fit(r, mpfr_add(r.v, m_of(c).v, m_of(Q(d)).v, MPFR_RNDN));
            sw.push(qf_of(r));
        }
    }
    // near 0, +-25 and -213.1
    sw.around(qf_zero);
    sw.around(qf_25);
    sw.around(qf_minus_25);
    sw.around(qf_minus_213_1);
    sw.push(next_toward(QFLT_EPSILON, 1));
    sw.push(q_neg(next_toward(QFLT_EPSILON, 1)));
    // random over each range, denser at the ends of the asymptotic one
    sw.uniform("-1", "1", 800);
    sw.uniform("0", "25", 1800);
    sw.uniform("-25", "0", 1800);
    sw.uniform("-45", "-25", 900);
    sw.uniform("-180", "-45", 1800);
    sw.uniform("-213.1", "-180", 1200);
    sw.uniform("-128", "-127.996", 100);   // both roundings of the exponent at their largest
    sw.uniform("-213.1", "-213.054", 300); // r*s of the tail is subnormal here

    // phi's exponent -x^2/2 + LnSqrt2Pi carries two roundings: half an ulp of
    // x*x (halved) and the rounding of the sum, whose error is a constant
    // of each binade because x*x/2 lies on the coarser grid. Its relative
    // error in Phi grows with x^2: 3.6e-102 at -213.1. Just inside a binade
    // edge of the sum (e.g. -128 < x < -127.996, where x*x/2 + 0.92 has
    // crossed 8192 but x*x has not crossed 16384) both roundings are at the
    // coarse grid and reach 1.34e-102; the bound of that range says so.
    Range ranges[] = {
        {"0 < x <= 25", 0, 25, 1e-104, 0, {}, 0},
        {"-45 <= x < 0", -45, 0, 1e-103, 0, {}, 0},
        {"-180 <= x < -45", -180, -45, 1.4e-102, 0, {}, 0},
        {"-213.1 <= x < -180", -213.1, -180, 4e-102, 0, {}, 0},
        {"-213.1 <= x < -213.054", -213.1, -213.054, 4e-102, 0, {}, 0},
    };
    int mismatches = 0, evaluated = 0;
    for (const qfloat &x : sw.xs) {
        qfloat got = Zelq(x);
        qfloat want = qf_of(model_Zelq(x));
        if (!qf_same_bits(got, want) && mismatches++ < 5)
            ADD_FAILURE() << "Zelq(" << show(x) << ") = " << show(got)
                          << " differs in its bits from the model " << show(want);
        M mx = m_of(x);
        if (mpfr_zero_p(mx.v) || mpfr_cmp_si(mx.v, 25) > 0 || mpfr_less_p(mx.v, m_of(qf_minus_213_1).v))
            continue;
        double e = rel_to_phi(got, x);
        evaluated++;
        for (Range &r : ranges) {
            // x itself, not its double, decides: -128 - 1e-30 lies beyond -128
            bool in = r.lo == 0 ? (mpfr_sgn(mx.v) > 0 && mpfr_cmp_d(mx.v, r.hi) <= 0)
                                : (mpfr_cmp_d(mx.v, r.lo) >= 0 && mpfr_cmp_d(mx.v, r.hi) < 0);
            if (r.lo == -213.1)
                in = mpfr_cmp_d(mx.v, r.hi) < 0; // down to the cut, which is evaluated
            if (!in)
                continue;
            r.count++;
            if (e > r.worst) {
                r.worst = e;
                r.worst_x = x;
            }
        }
    }
    std::printf("%zu points, %d evaluated against MPFR, %d bit mismatches with the model\n", sw.xs.size(),
                evaluated, mismatches);
    for (const Range &r : ranges) {
        std::printf("  %-24s %5d points  max rel error %.3g at x = %s  (allowed %.2g)\n", r.name, r.count,
                    r.worst, show(r.worst_x).c_str(), r.bound);
        EXPECT_LE(r.worst, r.bound) << r.name;
    }
    EXPECT_GE(sw.xs.size(), 10000u);
    EXPECT_EQ(mismatches, 0);
}

// ---- the dispatcher's worked values and boundaries ----

TEST(Zelq, CentreIsExactlyOneHalf)
{
    EXPECT_TRUE(qf_same_bits(Zelq(qf_zero), qf_half));
    EXPECT_TRUE(qf_same_bits(Zelq(q_neg(qf_zero)), qf_half));
}

TEST(Zelq, WorkedValuesNearTheCentre)
{
    qfloat lo = Zelq(Q("-0.3")), hi = Zelq(Q("0.3"));
    expect_digits(lo, "0.382088577811047362693471036879", 1e-29);
    expect_digits(hi, "0.617911422188952637306528963121", 1e-29);
    // 0.3 is evaluated as 1 - cPhi(-0.3), so the two add up to 1 but for one rounding
    qfloat sum = q_add(lo, hi);
    EXPECT_TRUE(qf_same_bits(sum, qf_one) || qf_same_bits(sum, next_toward(qf_one, 0)) ||
                qf_same_bits(sum, next_toward(qf_one, 1)))
        << show(sum);
    expect_digits(Zelq(Q("-1")), "0.158655253931457051414767454368", 1e-29);
    expect_digits(Zelq(Q("1")), "0.841344746068542948585232545632", 1e-29);
}

TEST(Zelq, TinyArgumentsGiveOneHalfOrTheirFirstDigitsOff)
{
    EXPECT_TRUE(qf_same_bits(Zelq(Q("1e-200")), qf_half));
    EXPECT_TRUE(qf_same_bits(Zelq(Q("-1e-200")), qf_half));
    EXPECT_TRUE(qf_same_bits(Zelq(QFLT_EPSILON), qf_half));
    EXPECT_TRUE(qf_same_bits(cPhi(QFLT_EPSILON), qf_half));
    // just above the threshold the series runs from z = 1 with h close to -1
    qfloat above = next_toward(QFLT_EPSILON, 1);
    EXPECT_FALSE(qf_same_bits(cPhi(above), qf_half));
    EXPECT_LT(rel_to_phi(Zelq(q_neg(above)), q_neg(above)), 1e-104);
    // 1/2 - 3.98942e-51: differs from 1/2 from the 51st digit on
    qfloat m = Zelq(Q("-1e-50"));
    expect_digits(q_sub(qf_half, m), "3.98942280401432677939946059934e-51", 1e-29);
    EXPECT_LT(rel_to_phi(m, Q("-1e-50")), 1e-103);
    EXPECT_LT(rel_to_phi(Zelq(Q("1e-50")), Q("1e-50")), 1e-104);
}

TEST(Zelq, UpperRangeRoundsToOne)
{
    for (const char *t : {"23", "23.5", "24.5", "24.999", "25", "25.0001", "30", "1e300"})
        EXPECT_TRUE(qf_same_bits(Zelq(Q(t)), qf_one)) << t;
    // 1 - Phi(20) = 2.75e-89 still shows
    EXPECT_FALSE(qf_same_bits(Zelq(Q("20")), qf_one));
}

TEST(Zelq, BothEndsOfTheTaylorRange)
{
    // -25 expands from v[25] with h = 0: v[25] * phi(25), no read past the table
    qfloat phi25 = q_exp(q_add(q_mul(q_mul(qf_minus_half, qf_25), qf_25), LnSqrt2Pi));
    qfloat at = Zelq(qf_minus_25);
    EXPECT_TRUE(qf_same_bits(at, q_mul(MillsRatio_v[25], phi25))) << show(at);
    expect_digits(at, "3.05669670638256091640274867126e-138", 1e-29);
    EXPECT_LT(rel_to_phi(at, qf_minus_25), 1e-103);
    EXPECT_TRUE(qf_same_bits(cPhi(qf_25), at));
    expect_digits(Zelq(Q("-24.999")), "3.13420075488960617023378515523e-138", 1e-29);
    expect_digits(Zelq(Q("-25.0001")), "3.04905233610318176415648507800e-138", 1e-29);
    // on each side of -25 the neighbouring method agrees to the working precision
    EXPECT_LT(rel_to_phi(Zelq(next_toward(qf_minus_25, 0)), next_toward(qf_minus_25, 0)), 1e-103);
    EXPECT_LT(rel_to_phi(Zelq(next_toward(qf_minus_25, 1)), next_toward(qf_minus_25, 1)), 1e-103);
}

TEST(Zelq, FarTailValuesAndTheUnderflowCut)
{
    expect_digits(Zelq(Q("-30")), "4.90671392714818705953380925658e-198", 1e-29);
    expect_digits(Zelq(Q("-100")), "1.34417907674419830507308016714e-2174", 1e-29);
    qfloat at = Zelq(Q("-213.1"));
    expect_digits(at, "1.84713391263508367262357700682e-9864", 1e-29);
    EXPECT_LT(rel_to_phi(at, Q("-213.1")), 4e-102);
    EXPECT_TRUE(qf_same_bits(Zelq(next_toward(qf_minus_213_1, 0)), qf_zero));
    EXPECT_TRUE(qf_same_bits(Zelq(Q("-213.2")), qf_zero));
    EXPECT_TRUE(qf_same_bits(Zelq(Q("-1e300")), qf_zero));
}

TEST(Zelq, InfinitiesAndNaN)
{
    qfloat one = qf_one, zero = qf_zero;
    qfloat inf = q_div(one, zero), nan = q_div(zero, zero);
    EXPECT_TRUE(qf_same_bits(Zelq(inf), qf_one));
    EXPECT_TRUE(qf_same_bits(Zelq(q_neg(inf)), qf_zero));
    ASSERT_TRUE(is_nan(nan));
    EXPECT_TRUE(is_nan(Zelq(nan)));
}

TEST(Zelq, CallsShareNothingAcrossThreads)
{
    std::vector<qfloat> xs;
    for (int i = 0; i < 40; i++)
        xs.push_back(q_div(q_from_int(-5 * i - 1), qf_two)); // -0.5 .. -97.5
    std::vector<qfloat> serial;
    for (const qfloat &x : xs)
        serial.push_back(Zelq(x));
    std::vector<qfloat> a(xs.size()), b(xs.size());
    std::thread t1([&] {
        for (size_t i = 0; i < xs.size(); i++)
            a[i] = Zelq(xs[i]);
    });
    std::thread t2([&] {
        for (size_t i = xs.size(); i-- > 0;)
            b[i] = Zelq(xs[i]);
    });
    t1.join();
    t2.join();
    for (size_t i = 0; i < xs.size(); i++)
        EXPECT_TRUE(qf_same_bits(a[i], serial[i]) && qf_same_bits(b[i], serial[i])) << i;
}

// ---- cPhi ----

TEST(CPhi, DependsOnTheMagnitudeOnly)
{
    for (const char *t : {"0.5", "1.3", "3.1", "7.2", "20.25", "24.999", "1e-50"}) {
        qfloat p = Q(t);
        EXPECT_TRUE(qf_same_bits(cPhi(p), cPhi(q_neg(p)))) << t;
    }
    expect_digits(cPhi(Q("-3.1")), "9.67603213218356892115671924507e-4", 1e-29);
    expect_digits(cPhi(Q("0.5")), "3.08537538725986896362295389392e-1", 1e-29);
    expect_digits(cPhi(Q("-1.3")), "9.68004845856103331520098243022e-2", 1e-29);
    expect_digits(cPhi(Q("-7.2")), "3.01062798111743748723694191581e-13", 1e-29);
    expect_digits(cPhi(Q("-20.25")), "1.77619986494957003087103974494e-91", 1e-29);
}

TEST(CPhi, IntegerPointsExpandFromTheNextInteger)
{
    expect_digits(cPhi(Q("-1")), "1.58655253931457051414767454368e-1", 1e-29);
    expect_digits(cPhi(Q("-2")), "2.27501319481792072002826371665e-2", 1e-29);
    expect_digits(cPhi(Q("-24")), "1.39039211854970305956582741172e-127", 1e-29);
    for (int n = 1; n <= 25; n++) {
        qfloat x = q_from_int(-n);
        qfloat got = cPhi(x);
        EXPECT_TRUE(qf_same_bits(got, qf_of(model_cPhi(x)))) << n;
        EXPECT_LT(rel_to_phi(got, x), 1e-103) << n;
    }
}

// ---- asymptotic series and tail ----

TEST(AsymptSeries, OneTermWhenTheLimitIsBelowTwo)
{
    qfloat x = Q("30");
    qfloat first = q_neg(q_div(qf_one, q_mul(x, x)));
    for (int32_t lim : {1, 0, -5, INT32_MIN}) {
        qfloat s;
        EXPECT_TRUE(qf_same_bits(asymptSeries(x, lim), first)) << lim;
        EXPECT_EQ(asymptSeries_count(x, lim, &s), 2) << lim;
    }
}

TEST(AsymptSeries, TwoTermsAtLimitTwo)
{
    qfloat x = Q("30"), s;
    EXPECT_EQ(asymptSeries_count(x, 2, &s), 3);
    EXPECT_TRUE(qf_same_bits(s, asymptSeries(x, 2)));
    // -1/900 + 3/810000 within two roundings
    mpfr_t want;
    mpfr_init2(want, kTrue);
    mpfr_set_si(want, -897, MPFR_RNDN);
    mpfr_div_ui(want, want, 810000, MPFR_RNDN);
    EXPECT_LT(rel_to(s, want), std::ldexp(1.0, -349));
    mpfr_clear(want);
    EXPECT_TRUE(qf_same_bits(s, qf_of(model_asymptSeries(m_of(x), 2))));
}

TEST(AsymptSeries, EvenInX)
{
    for (const char *t : {"25.000001", "30", "57.3", "100", "213.1"})
        for (int32_t n : {1, 2, 7, 400}) {
            qfloat x = Q(t);
            EXPECT_TRUE(qf_same_bits(asymptSeries(x, n), asymptSeries(q_neg(x), n))) << t << " " << n;
        }
}

TEST(AsymptSeries, CounterWhereTheSumSettles)
{
    struct {
        const char *x;
        int32_t limit, count;
    } cases[] = {{"-25.000001", 312, 139}, {"25", 400, 139},  {"30", 400, 101},   {"-30", 400, 101},
                 {"100", 400, 45},         {"-100", 400, 45}, {"213.1", 400, 35}, {"-213.1", 400, 35},
                 {"5", 400, 401},          {"1", 10, 11},     {"30", 2, 3},       {"30", 1, 2}};
    for (const auto &c : cases) {
        qfloat s;
        EXPECT_EQ(asymptSeries_count(Q(c.x), c.limit, &s), c.count) << c.x << " limit " << c.limit;
        long mc = 0;
        model_asymptSeries(m_of(Q(c.x)), c.limit, &mc);
        EXPECT_EQ(mc, c.count) << c.x;
    }
}

TEST(AsymptoticZelq, TermLimitGoesThroughSinglePrecision)
{
    EXPECT_EQ(asymptotic_Zelq_limit(Q("-25.000001")), 312);
    EXPECT_EQ(asymptotic_Zelq_limit(Q("-28")), 392);
    EXPECT_EQ(asymptotic_Zelq_limit(Q("-28.3")), 400);
    EXPECT_EQ(asymptotic_Zelq_limit(Q("-213.1")), 400);
    EXPECT_EQ(asymptotic_Zelq_limit(Q("-1e300")), 400);
    // x^2/2 = 300 - 1e-6 rounds to the float 300, 300 - 1e-4 does not
    qfloat two_n = Q("599.999998"), two_m = Q("599.9998");
    qfloat x_n = qf_of([&] {
        M r;
        fit(r, mpfr_sqrt(r.v, m_of(two_n).v, MPFR_RNDN));
        return r;
    }());
    qfloat x_m = qf_of([&] {
        M r;
        fit(r, mpfr_sqrt(r.v, m_of(two_m).v, MPFR_RNDN));
        return r;
    }());
    EXPECT_EQ(asymptotic_Zelq_limit(q_neg(x_n)), 300);
    EXPECT_EQ(asymptotic_Zelq_limit(q_neg(x_m)), 299);
}

TEST(AsymptoticZelq, WorkedValues)
{
    expect_digits(asymptotic_Zelq(Q("-30")), "4.906713927148187059533809256580e-198", 1e-30);
    expect_digits(asymptotic_Zelq(Q("-50")), "1.080597946761636621168705789415e-545", 1e-30);
    expect_digits(asymptotic_Zelq(Q("-100")), "1.344179076744198305073080167135e-2174", 1e-30);
    expect_digits(asymptotic_Zelq(Q("-26")), "2.476063315503389285786930595571e-149", 1e-30);
    expect_digits(asymptotic_Zelq(Q("-213")), "3.306329683284651416058596483286e-9855", 1e-30);
    for (const char *t : {"-25.0001", "-26", "-30", "-50", "-100", "-180", "-213", "-213.1"}) {
        qfloat x = Q(t);
        EXPECT_TRUE(qf_same_bits(asymptotic_Zelq(x), qf_of(model_asymptotic(x)))) << t;
    }
}

// ---- rough one-term tail ----

TEST(RoughAsymptoticZelq, WorkedValues)
{
    EXPECT_TRUE(qf_same_bits(rough_asymptotic_Zelq(qf_zero), qf_zero));
    expect_digits(rough_asymptotic_Zelq(Q("-1")), "0.1209853622595716748989150964678", 1e-30);
    expect_digits(rough_asymptotic_Zelq(Q("1")), "0.8790146377404283251010849035322", 1e-30);
    expect_digits(rough_asymptotic_Zelq(Q("-10")), "7.6184144818875439072663698812e-24", 1e-28);
    expect_digits(rough_asymptotic_Zelq(Q("10")), "0.99999999999999999999999238158551811245609", 1e-40);
    expect_digits(rough_asymptotic_Zelq(Q("-40")), "3.655890695411125993097057340008e-350", 1e-30);
    expect_digits(rough_asymptotic_Zelq(Q("-140.41")), "2.5267462745e-4284", 1e-9);
    EXPECT_TRUE(qf_same_bits(rough_asymptotic_Zelq(Q("-140.42")), qf_zero));
    EXPECT_TRUE(qf_same_bits(rough_asymptotic_Zelq(Q("140.42")), qf_one));
}

TEST(RoughAsymptoticZelq, BitExactAndOddAboutOneHalf)
{
    for (const char *t : {"0.5", "1", "3.7", "10", "40", "140.41", "140.42", "1000"}) {
        qfloat x = Q(t);
        qfloat lo = rough_asymptotic_Zelq(q_neg(x)), hi = rough_asymptotic_Zelq(x);
        EXPECT_TRUE(qf_same_bits(hi, q_sub(qf_one, lo))) << t; // the same tail term on both sides
        EXPECT_TRUE(qf_same_bits(lo, qf_of(model_rough(q_neg(x))))) << t;
        EXPECT_TRUE(qf_same_bits(hi, qf_of(model_rough(x)))) << t;
    }
}

} // namespace
