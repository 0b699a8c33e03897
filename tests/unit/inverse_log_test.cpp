// SPDX-License-Identifier: MIT
// ln Phi (log_Zelq), Phi^-1 (inverse_Zelq) and the z with ln Phi(z) = L
// (inverse_log_Zelq) against the MPFR oracle at 1400 bits (normal_oracle.h).
// Random sweeps over every range, crossing each switch between methods
// densely from both sides, hold each result to a relative 1e-102 of the true
// value for its exact binary argument (a result below the normal range: to
// 1e-102 of the smallest normal number, some 4600 least subnormals) and print
// the largest errors per range. Then the special arguments, the mirror
// symmetry of the inverse, monotonicity across the switches and mpmath's
// worked values. Seed: ZELQ_TEST_SEED (printed). ZELQ_SWEEP_SCALE multiplies
// the number of random points and divides the spacing of the fixed ones: 1
// by default, 1/4 in 32-bit builds (UBSan, often under emulation).
#include "normal.h"
#include "normal_constants.h"
#include "normal_oracle.h"
#include "normal_reference.h"
#include "qf_mpfr.h"
#include "qf_test_support.h"
#include "qf_value_ops.h"
#include "qfloat.h"
#include "sweep_points.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{

using namespace engine_model;
using namespace normal_oracle;

using Engine = qfloat (*)(qfloat);
using Oracle = void (*)(mpfr_ptr, mpfr_srcptr);

const double kBound = 1e-102;

unsigned long test_seed()
{
    static const unsigned long seed = (unsigned long)zelq_test_seed("inverse_log_test");
    return seed;
}

double sweep_scale()
{
    static const double s = [] {
        const char *e = std::getenv("ZELQ_SWEEP_SCALE");
        return e ? std::atof(e) : sizeof(void *) == 4 ? 0.25 : 1.0;
    }();
    return s;
}

// n random points, times the scale.
int scaled(int n)
{
    return std::max(1, (int)(n * sweep_scale()));
}

// A spacing of fixed points, divided by the scale.
int stride(int step)
{
    return std::max(1, (int)(step / sweep_scale()));
}

// ---- exact values as qfloats ----

qfloat pow2(long k)
{
    mpfr_value v(8);
    mpfr_set_ui_2exp(v.v, 1, k, MPFR_RNDN);
    return qf_near(v.v);
}

// f(x) at 400 bits, rounded once into qfloat.
qfloat mp_of(int (*f)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t), const char *x)
{
    mpfr_value v(400);
    mpfr_set_str(v.v, x, 10, MPFR_RNDN);
    f(v.v, v.v, MPFR_RNDN);
    return qf_near(v.v);
}

qfloat largest_finite()
{
    mpfr_value v(352);
    mpfr_set_ui(v.v, 1, MPFR_RNDN);
    mpfr_nextbelow(v.v);
    mpfr_mul_2si(v.v, v.v, 32766, MPFR_RNDN);
    return qf_near(v.v);
}

void exp_of(mpfr_ptr u)
{
    mpfr_exp(u, u, MPFR_RNDN);
}
void minus_exp_of(mpfr_ptr u)
{
    mpfr_exp(u, u, MPFR_RNDN);
    mpfr_neg(u, u, MPFR_RNDN);
}
void one_minus_exp_of(mpfr_ptr u)
{
    mpfr_exp(u, u, MPFR_RNDN);
    mpfr_ui_sub(u, 1, u, MPFR_RNDN);
}

std::string text(const mpfr_t v)
{
    char buf[80];
    mpfr_snprintf(buf, sizeof buf, "%.40Rg", v);
    return buf;
}

// An input for the table: p next to 1 as 1 - (1 - p), which is exact; a
// point beside a short decimal as that decimal and the rest (23.5 - 5.3e-71).
std::string label(const qfloat &x)
{
    if (q_lt(Q("0.75"), x) && q_lt(x, qf_one))
        return "1 - " + show(q_sub(qf_one, x));
    std::string t = show(x);
    qfloat c = Q(t.c_str());
    if (qf_same_bits(c, x) || t.size() > 20)
        return t;
    mpfr_value d(800);
    mpfr_sub(d.v, m_of(x).v, m_of(c).v, MPFR_RNDN);
    char sign = mpfr_sgn(d.v) < 0 ? '-' : '+', buf[40];
    mpfr_abs(d.v, d.v, MPFR_RNDN);
    mpfr_snprintf(buf, sizeof buf, " %c %.2Rg", sign, d.v);
    return t + buf;
}

// The Mills ratio's Taylor series expands from the integer nearest to |x|,
// so its starts change at n + 1/2: these points, as x, Phi(x) or ln Phi(x).
std::vector<qfloat> grid_switches(Oracle f)
{
    std::vector<qfloat> v;
    for (int n = 1; n <= 24; n++) {
        mpfr_value x(16), y(400);
        mpfr_set_si(x.v, -2 * n - 1, MPFR_RNDN);
        mpfr_div_2ui(x.v, x.v, 1, MPFR_RNDN);
        if (f)
            f(y.v, x.v);
        else
            mpfr_set(y.v, x.v, MPFR_RNDN);
        v.push_back(qf_near(y.v));
    }
    return v;
}

// ---- the sweep and its table ----

struct Range {
    const char *name;
    const char *lo; // inputs from here (MPFR text, base 0) up to the next range's lo
    int count;
    double worst;
    qfloat worst_at;
    bool worst_subnormal;
};

void check_sweep(const char *what, Engine fn, Oracle oracle, const std::vector<qfloat> &xs,
                 std::vector<Range> &ranges)
{
    std::vector<mpfr_value> lo(ranges.size(), mpfr_value(400));
    for (size_t i = 0; i < ranges.size(); i++)
        mpfr_set_str(lo[i].v, ranges[i].lo, 0, MPFR_RNDN);
    int failures = 0;
    for (const qfloat &x : xs) {
        qfloat got = fn(x);
        mpfr_value want = truth(oracle, x);
        double e = scaled_error(got, want.v);
        M mx = m_of(x);
        size_t i = ranges.size() - 1;
        while (i > 0 && mpfr_less_p(mx.v, lo[i].v))
            i--;
        Range &r = ranges[i];
        if (r.count++ == 0 || e > r.worst) {
            r.worst = e;
            r.worst_at = x;
            r.worst_subnormal = mpfr_zero_p(want.v) || mpfr_get_exp(want.v) < -32767;
        }
        if (!(e <= kBound) && failures++ < 12)
            ADD_FAILURE() << what << "(" << show(x, 110) << ") = " << show(got, 40) << ", true value "
                          << text(want.v) << ": error " << e; // 110 digits tell any two qfloats apart
    }
    std::printf("%s: %zu points, %d with an error beyond %.0e\n", what, xs.size(), failures, kBound);
    for (const Range &r : ranges) {
        if (r.count == 0)
            continue;
        std::printf("  %-44s %5d points  max error %.3g at %s", r.name, r.count, r.worst,
                    label(r.worst_at).c_str());
        if (r.worst_subnormal)
            std::printf(" (%.3g least subnormals)", std::ldexp(r.worst, 351));
        std::printf("\n");
    }
    EXPECT_EQ(failures, 0);
}

// ---------------------------------------------------------------------------

const char *const kCentreCut = "0.6744897501960817"; // about Phi^-1(3/4)

TEST(LogZelq, DifferentialSweepAgainstMpfr)
{
    Sweep sw(test_seed());
    qfloat cut = Q(kCentreCut), big = largest_finite();
    sw.around(qf_zero, false, 1, stride(7));
    // 213.1045: -Q(x) leaves the normal range; 214.2463: below half the least subnormal
    for (const qfloat &c :
         {cut, q_neg(cut), Q("25"), Q("-25"), Q("32"), Q("213.1045"), Q("214.2463"), Q("214.5")})
        sw.around(c, true, 2, stride(7));
    for (const qfloat &c : grid_switches(nullptr)) {
        sw.around(c, true, 3, stride(23));
        sw.around(q_neg(c), true, 3, stride(23));
    }
    // x^2 leaves the range at -sqrt(max), ln Phi itself near -sqrt(2 max)
    for (int two = 1; two <= 2; two++) {
        M b = m_of(big), r;
        mpfr_mul_ui(b.v, b.v, (unsigned long)two, MPFR_RNDN);
        fit(r, mpfr_sqrt(r.v, b.v, MPFR_RNDN));
        sw.around(q_neg(qf_of(r)), true, 2, stride(7));
    }
    for (long k = 1; k <= 33119; k += k < 64 ? stride(1) : k < 400 ? stride(9) : 1471) {
        sw.push(pow2(-k));
        sw.push(q_neg(pow2(-k)));
    }
    for (const char *t : {"-1e6", "-1e100", "-1e1000", "-1e4931", "1e-300", "30", "1e6", "1e100"})
        sw.push(Q(t));
    sw.push(big);
    sw.push(q_neg(big));
    sw.uniform("-0.6745", "0.6745", scaled(300));
    sw.uniform("-25", "-0.6745", scaled(400));
    sw.uniform("0.6745", "25", scaled(400));
    sw.uniform("-60", "-25", scaled(150));
    sw.uniform("3.2189", "11357", scaled(300), minus_exp_of); // -25 .. -1e4932
    sw.uniform("11357", "22711", scaled(20), minus_exp_of);   // on to -max: -inf
    sw.uniform("25", "214.5", scaled(300));
    sw.uniform("212", "216", scaled(100));
    sw.uniform("5.37", "22711", scaled(30), exp_of); // 214.5 .. max: -0
    std::vector<Range> ranges = {
        {"x < -25 (asymptotic)", "-inf", 0, 0, {}, false},
        {"-25 <= x <= -0.6745 (Taylor)", "-25", 0, 0, {}, false},
        {"|x| < 0.6745 (series about 0)", "-0.6744897501960817", 0, 0, {}, false},
        {"0.6745 <= x <= 25 (ln(1 - Q), Taylor)", kCentreCut, 0, 0, {}, false},
        {"25 < x < 213.1045 (ln(1 - Q), asymptotic)", "25", 0, 0, {}, false},
        {"x >= 213.1045 (results below 2^-32768)", "213.1045098975348", 0, 0, {}, false},
    };
    check_sweep("log_Zelq", log_Zelq, ln_phi, sw.xs, ranges);
}

TEST(InverseZelq, DifferentialSweepAgainstMpfr)
{
    Sweep sw(test_seed() + 1);
    qfloat phi25 = qf_near(truth(phi, Q("-25")).v);
    sw.around(Q("0.25"), true, 2, stride(7));
    sw.around(Q("0.5"), true, 2, stride(7));
    sw.around(Q("0.75"), true, 3, stride(7));
    for (const qfloat &c : {Q("0.075"), mp_of(mpfr_exp, "-25"), phi25, mp_of(mpfr_exp, "-700"),
                            mp_of(mpfr_exp, "-800"), pow2(-32760), pow2(-32768)})
        sw.around(c, true, 1, stride(7));
    for (const qfloat &c : grid_switches(phi))
        sw.around(c, true, 3, stride(23));
    for (long k = 2; k <= 353; k += stride(1)) { // 1/2 + 2^-353 rounds to 1/2, 1 - 2^-353 to 1
        sw.push(q_add(qf_half, pow2(-k)));
        sw.push(q_sub(qf_half, pow2(-k)));
        if (k < 353)
            sw.push(q_sub(qf_one, pow2(-k)));
    }
    for (long k = 3; k <= 33119; k += k < 400 ? stride(7) : 1471)
        sw.push(pow2(-k));
    sw.push(pow2(-33119));
    sw.push(Q("0.5000001"));
    sw.uniform("0.25", "0.75", scaled(300));
    sw.uniform("-315.6", "-1.3863", scaled(500), exp_of);         // Phi(-25) .. 1/4
    sw.uniform("-22713", "-315.6", scaled(400), exp_of);          // 2^-32768 .. Phi(-25)
    sw.uniform("-22956", "-22713", scaled(100), exp_of);          // subnormal p
    sw.uniform("-243", "-1.3863", scaled(300), one_minus_exp_of); // 1 - p from 2^-350 to 1/4
    std::vector<Range> ranges = {
        {"p < 2^-32768 (subnormal)", "-inf", 0, 0, {}, false},
        {"2^-32768 <= p < e^-800", "0x1p-32768", 0, 0, {}, false},
        {"e^-800 <= p < Phi(-25) (asymptotic)", "3.7e-348", 0, 0, {}, false},
        {"Phi(-25) <= p < 1/4 (Taylor)", "3.0567e-138", 0, 0, {}, false},
        {"1/4 <= p <= 3/4 (series about 0)", "0.25", 0, 0, {}, false},
        {"p > 3/4 (upper tail)", "0.75", 0, 0, {}, false},
    };
    check_sweep("inverse_Zelq", inverse_Zelq, inverse_phi, sw.xs, ranges);
}

TEST(InverseLogZelq, DifferentialSweepAgainstMpfr)
{
    Sweep sw(test_seed() + 2);
    qfloat ln_phi25 = qf_near(truth(ln_phi, Q("-25")).v);
    for (const qfloat &c :
         {mp_of(mpfr_log, "0.25"), mp_of(mpfr_log, "0.75"), mp_of(mpfr_log, "0.5"), mp_of(mpfr_log, "0.075"),
          Q("-25"), ln_phi25, Q("-700"), Q("-800"), Q("-1e12"), Q("-1e60"), q_neg(pow2(-200))})
        sw.around(c, true, 2, stride(7));
    for (const qfloat &c : grid_switches(ln_phi))
        sw.around(c, true, 3, stride(23));
    // L = ln(1/2 +- 2^-k): z about +-2.5 2^-k, whose digits need ln 2 far beyond 352 bits
    for (long k = 2; k <= 350; k += stride(3))
        for (int side = -1; side <= 1; side += 2) {
            mpfr_value v(1200);
            mpfr_set_si_2exp(v.v, side, -k, MPFR_RNDN);
            mpfr_add_d(v.v, v.v, 0.5, MPFR_RNDN);
            mpfr_log(v.v, v.v, MPFR_RNDN);
            sw.push(v.v);
        }
    for (long k = 1; k <= 33119; k += k < 400 ? stride(7) : 1471)
        sw.push(q_neg(pow2(-k)));
    sw.push(q_neg(pow2(-33119)));
    for (const char *t : {"-1e100", "-1e1000", "-1e9000", "-2302585092.994045684017991454684364207601"})
        sw.push(Q(t));
    sw.push(q_neg(largest_finite()));
    sw.uniform("-22956", "-1.2459", scaled(300),
               minus_exp_of); // ln(3/4) < L < 0, down to the least subnormal
    sw.uniform("-1.3863", "-0.2877", scaled(300));
    sw.uniform("0.3266", "6.5511", scaled(400), minus_exp_of);  // ln(1/4) .. -700
    sw.uniform("6.5511", "27.631", scaled(300), minus_exp_of);  // -700 .. -1e12
    sw.uniform("27.631", "138.155", scaled(150), minus_exp_of); // -1e12 .. -1e60
    sw.uniform("138.155", "22711", scaled(150), minus_exp_of);  // -1e60 .. -max
    std::vector<Range> ranges = {
        {"L < -1e60 (closed form)", "-inf", 0, 0, {}, false},
        {"-1e60 <= L < -1e12", "-1e60", 0, 0, {}, false},
        {"-1e12 <= L < -700", "-1e12", 0, 0, {}, false},
        {"-700 <= L < ln(1/4)", "-700", 0, 0, {}, false},
        {"ln(1/4) <= L <= ln(3/4) (series about 0)", "-1.3862943611198906", 0, 0, {}, false},
        {"ln(3/4) < L < 0 (upper tail)", "-0.2876820724517809", 0, 0, {}, false},
    };
    check_sweep("inverse_log_Zelq", inverse_log_Zelq, inverse_ln_phi, sw.xs, ranges);
}

// ---- special arguments, symmetry, monotonicity, worked values ----

TEST(NormalInverses, SpecialArguments)
{
    qfloat tiny = pow2(-33119), above_one = next_toward(qf_one, 1);
    struct {
        Engine fn;
        const char *name;
        qfloat arg;
        const char *want; // "nan", or the text of the exact result
    } cases[] = {
        {log_Zelq, "log_Zelq", Q("nan"), "nan"},
        {log_Zelq, "log_Zelq", Q("-inf"), "-inf"},
        {log_Zelq, "log_Zelq", Q("inf"), "0"},
        {log_Zelq, "log_Zelq", Q("1e6"), "-0"}, // -Q below the subnormal range
        {log_Zelq, "log_Zelq", Q("-1e9000"), "-inf"},
        {inverse_Zelq, "inverse_Zelq", Q("nan"), "nan"},
        {inverse_Zelq, "inverse_Zelq", Q("-inf"), "nan"},
        {inverse_Zelq, "inverse_Zelq", Q("inf"), "nan"},
        {inverse_Zelq, "inverse_Zelq", Q("-1"), "nan"},
        {inverse_Zelq, "inverse_Zelq", q_neg(tiny), "nan"},
        {inverse_Zelq, "inverse_Zelq", above_one, "nan"},
        {inverse_Zelq, "inverse_Zelq", Q("0"), "-inf"},
        {inverse_Zelq, "inverse_Zelq", Q("-0"), "-inf"},
        {inverse_Zelq, "inverse_Zelq", Q("1"), "inf"},
        {inverse_Zelq, "inverse_Zelq", Q("0.5"), "0"},
        {inverse_log_Zelq, "inverse_log_Zelq", Q("nan"), "nan"},
        {inverse_log_Zelq, "inverse_log_Zelq", Q("inf"), "nan"},
        {inverse_log_Zelq, "inverse_log_Zelq", Q("1"), "nan"},
        {inverse_log_Zelq, "inverse_log_Zelq", tiny, "nan"},
        {inverse_log_Zelq, "inverse_log_Zelq", Q("0"), "inf"},
        {inverse_log_Zelq, "inverse_log_Zelq", Q("-0"), "inf"},
        {inverse_log_Zelq, "inverse_log_Zelq", Q("-inf"), "-inf"},
    };
    for (const auto &c : cases) {
        qfloat got = c.fn(c.arg);
        bool ok = std::string(c.want) == "nan" ? is_nan(got) : qf_same_bits(got, Q(c.want));
        EXPECT_TRUE(ok) << c.name << "(" << show(c.arg) << ") = " << show(got) << " (" << qf_hex(got)
                        << "), want " << c.want;
    }
    EXPECT_TRUE(qf_same_bits(log_Zelq(Q("0")), log_Zelq(Q("-0"))));
}

// The z with 1 - Phi(z) = q is -inverse_Zelq(q); where 1 - q is exact,
// inverse_Zelq(1 - q) must be that very number.
TEST(InverseZelq, UpperTailMirrorsTheLowerBitForBit)
{
    Sweep sw(test_seed() + 3);
    std::vector<qfloat> qs = {Q("0.25"), Q("0.5")};
    for (long k = 2; k <= 352; k++)
        qs.push_back(pow2(-k));
    mpfr_value u(351);
    for (int i = 0; i < scaled(300); i++) {
        mpfr_urandomb(u.v, sw.rs); // a multiple of 2^-351 below 1, halved: 1 - q is exact
        mpfr_div_2ui(u.v, u.v, 1, MPFR_RNDN);
        if (!mpfr_zero_p(u.v))
            qs.push_back(qf_near(u.v));
    }
    int mismatches = 0;
    for (const qfloat &q : qs) {
        qfloat lower = inverse_Zelq(q), upper = inverse_Zelq(q_sub(qf_one, q)), mirror = q_neg(lower);
        bool zeros = q_eq(upper, qf_zero) && q_eq(mirror, qf_zero); // at q = 1/2, +0 and -0
        if (!qf_same_bits(upper, mirror) && !zeros && mismatches++ < 8)
            ADD_FAILURE() << "q = " << show(q, 40) << ": inverse_Zelq(1 - q) = " << show(upper, 40)
                          << ", -inverse_Zelq(q) = " << show(mirror, 40);
    }
    EXPECT_EQ(mismatches, 0) << "of " << qs.size();
}

// 201 points c + k h |c| (h = 1e-95, small enough to be fine, large enough
// that the true values move by far more than twice the allowed error) about
// each switch between methods: the results never decrease.
TEST(NormalInverses, MonotoneAcrossTheSwitches)
{
    qfloat cut = Q(kCentreCut);
    struct {
        Engine fn;
        const char *name;
        qfloat c;
    } sites[] = {
        {log_Zelq, "log_Zelq", cut},
        {log_Zelq, "log_Zelq", q_neg(cut)},
        {log_Zelq, "log_Zelq", Q("-25")},
        {log_Zelq, "log_Zelq", Q("25")},
        {log_Zelq, "log_Zelq", Q("32")},
        {log_Zelq, "log_Zelq", Q("214.5")},
        {inverse_Zelq, "inverse_Zelq", Q("0.25")},
        {inverse_Zelq, "inverse_Zelq", Q("0.5")},
        {inverse_Zelq, "inverse_Zelq", Q("0.75")},
        {inverse_Zelq, "inverse_Zelq", Q("0.075")},
        {inverse_Zelq, "inverse_Zelq", mp_of(mpfr_exp, "-25")},
        {inverse_Zelq, "inverse_Zelq", Q("3.0567e-138")},
        {inverse_Zelq, "inverse_Zelq", mp_of(mpfr_exp, "-800")},
        {inverse_Zelq, "inverse_Zelq", pow2(-32760)},
        {inverse_Zelq, "inverse_Zelq", pow2(-32768)},
        {inverse_log_Zelq, "inverse_log_Zelq", mp_of(mpfr_log, "0.25")},
        {inverse_log_Zelq, "inverse_log_Zelq", mp_of(mpfr_log, "0.5")},
        {inverse_log_Zelq, "inverse_log_Zelq", mp_of(mpfr_log, "0.75")},
        {inverse_log_Zelq, "inverse_log_Zelq", mp_of(mpfr_log, "0.075")},
        {inverse_log_Zelq, "inverse_log_Zelq", Q("-25")},
        {inverse_log_Zelq, "inverse_log_Zelq", Q("-315.6")},
        {inverse_log_Zelq, "inverse_log_Zelq", Q("-700")},
        {inverse_log_Zelq, "inverse_log_Zelq", Q("-800")},
        {inverse_log_Zelq, "inverse_log_Zelq", Q("-1e60")},
        {inverse_log_Zelq, "inverse_log_Zelq", q_neg(pow2(-200))},
    };
    mpfr_value h(400), x(400);
    for (const auto &s : sites) {
        mpfr_set_str(h.v, "1e-95", 10, MPFR_RNDN);
        M c = m_of(s.c), prev;
        mpfr_mul(h.v, h.v, c.v, MPFR_RNDN);
        mpfr_abs(h.v, h.v, MPFR_RNDN);
        int reversals = 0;
        for (int k = -100; k <= 100; k++) {
            mpfr_mul_si(x.v, h.v, k, MPFR_RNDN);
            mpfr_add(x.v, x.v, c.v, MPFR_RNDN);
            qfloat a = qf_near(x.v);
            M y = m_of(s.fn(a));
            if (k > -100 && !mpfr_lessequal_p(prev.v, y.v) && reversals++ < 3)
                ADD_FAILURE() << s.name << " decreases at " << show(a, 40) << ": " << text(prev.v) << " then "
                              << text(y.v);
            prev = y;
        }
    }
}

TEST(NormalInverses, WorkedValues)
{
    for (const normal_reference &r : normal_references) {
        Engine fn = r.kind == 'l' ? log_Zelq : r.kind == 'i' ? inverse_Zelq : inverse_log_Zelq;
        qfloat got = fn(Q(r.input));
        mpfr_value want(kOraclePrec);
        mpfr_set_str(want.v, r.value, 10, MPFR_RNDN);
        EXPECT_LE(scaled_error(got, want.v), kBound)
            << r.kind << " at " << r.input << ": got " << show(got, 40) << ", want " << text(want.v);
    }
}

} // namespace
