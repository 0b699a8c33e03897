// SPDX-License-Identifier: MIT
// The inverse and log-scale entries (ndtri, ndtri_exp, log_ndtr in their
// 8-bit and 16-bit forms): the behaviour cases shared with the Windows test
// program, their wiring to the engine, and the reading of a probability
// text below the number range from its digits; and the many-value entries,
// against the single ones and, for doubles, against MPFR's rounding.
#include "entry_cases.h"
#include "normal.h"
#include "qf_more_ops.h"
#include "qf_mpfr.h"
#include "qf_test_support.h"
#include "qfloat.h"
#include "zelq.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace
{

text_call text_entry(int fn, int upper)
{
    entry_flag_text_fn f = fn == ENTRY_NDTRI       ? ndtri_Maple
                           : fn == ENTRY_NDTRI_EXP ? ndtri_exp_Maple
                                                   : log_ndtr_Maple;
    return {nullptr, f, upper};
}

wide_call wide_entry(int fn, int upper)
{
    entry_flag_wide_fn f = fn == ENTRY_NDTRI       ? ndtri_Excel
                           : fn == ENTRY_NDTRI_EXP ? ndtri_exp_Excel
                                                   : log_ndtr_Excel;
    return {nullptr, f, upper};
}

std::string call(int fn, int upper, const std::string &x, int L = 115)
{
    std::string xs = x, buf(L, ' ');
    text_call c = text_entry(fn, upper);
    text_call_run(&c, xs.data(), buf.data());
    return buf.c_str();
}

std::string write_q(qfloat q)
{
    char buf[120];
    _qtoasc(&q, buf, 116);
    return buf;
}

qfloat read_q(const char *text)
{
    qfloat q;
    _asctoq(text, &q);
    return q;
}

TEST(InverseEntries, CasesInEveryBufferLengthAndInBothWidths)
{
    char why[256];
    for (const flagged_case &c : flagged_cases) {
        text_call t = text_entry(c.fn, c.upper);
        for (int L = 0; L <= 130; L++)
            ASSERT_TRUE(entry_check_text_buffer(&t, &c.ref, L, why, sizeof why))
                << c.fn << "/" << c.upper << " " << why;
        wide_call w = wide_entry(c.fn, c.upper);
        EXPECT_TRUE(entry_check_wide_text(&w, &c.ref, u' ', why, sizeof why)) << why;
        EXPECT_TRUE(entry_check_wide_text(&w, &c.ref, 0x3000, why, sizeof why)) << why;
    }
}

// Each entry writes its engine routine's value, the upper tail by symmetry
// (the median 0 in both tails, not -0).
TEST(InverseEntries, WiredToTheEngine)
{
    for (const char *p : {"0.3", "1e-20", "0.999", "0.5", "1e-9000"}) {
        qfloat z = inverse_Zelq(read_q(p));
        EXPECT_EQ(call(ENTRY_NDTRI, 0, p), write_q(z)) << p;
        EXPECT_EQ(call(ENTRY_NDTRI, 7, p), write_q(q_mirror(z))) << p;
    }
    for (const char *L : {"-0.3", "-1e-40", "-700", "-1e200"}) {
        qfloat z = inverse_log_Zelq(read_q(L));
        EXPECT_EQ(call(ENTRY_NDTRI_EXP, 0, L), write_q(z)) << L;
        __op_minus_pqfloat(&z, &z);
        EXPECT_EQ(call(ENTRY_NDTRI_EXP, 1, L), write_q(z)) << L;
    }
    for (const char *x : {"-3.5", "0.2", "40"}) {
        EXPECT_EQ(call(ENTRY_LOG_NDTR, 0, x), write_q(log_Zelq(read_q(x)))) << x;
        qfloat minus_x = read_q(x);
        __op_minus_pqfloat(&minus_x, &minus_x);
        EXPECT_EQ(call(ENTRY_LOG_NDTR, 1, x), write_q(log_Zelq(minus_x))) << x;
    }
}

// A probability below the number range is read from its digits: every way of
// writing the same value gives the same z, and it lies between its
// neighbours.
TEST(InverseEntries, TinyProbabilityTextsReadFromTheirDigits)
{
    std::string z = call(ENTRY_NDTRI, 0, "1e-100000");
    for (const char *same : {"0.1e-99999", "10e-100001", "0.00001e-99995", "  +1.000e-100000  ", "1E-100000",
                             "100000e-100005", "0000.001e-99997"})
        EXPECT_EQ(call(ENTRY_NDTRI, 0, same), z) << same;
    // No exponent: a run of zeros after the point.
    std::string zeros = "0." + std::string(9899, '0') + "25";
    EXPECT_EQ(call(ENTRY_NDTRI, 0, zeros), call(ENTRY_NDTRI, 0, "2.5e-9900"));
    // Increasing p, increasing z, across the end of the normal range.
    const char *ps[] = {"1e-9970", "9e-9970", "1e-9866", "5e-9865", "7.06e-9865", "7.07e-9865", "1e-9864"};
    std::string last = call(ENTRY_NDTRI, 1, "1e-100000"); // upper: -z, decreasing in p
    for (const char *p : ps) {
        std::string u = call(ENTRY_NDTRI, 1, p);
        EXPECT_LT(std::stod(u), std::stod(last)) << p;
        last = u;
    }
    // Exponents of any size: a decimal exponent beyond the range of L gives -inf.
    EXPECT_EQ(call(ENTRY_NDTRI, 0, "1e-" + std::string(9900, '9')), "-inf");
    EXPECT_EQ(call(ENTRY_NDTRI, 0, "0e-99999999"), "-inf");
}

} // namespace

namespace
{

// The many-value entries give, value by value, what the single entries give.
TEST(ManyEntries, TextSlotsMatchTheSingleEntries)
{
    const char *xs[] = {"-1.5", "0.3", "1e-300", "1e-100000", "-1e12", "30", "0", "1", "junk", "-0.5", "2"};
    const int n = sizeof xs / sizeof xs[0];
    enum { X_STRIDE = 16, Y_STRIDE = 120 };
    char x[n * X_STRIDE], y[n * Y_STRIDE];
    memset(x, 'Z', sizeof x); // a slot's text ends at its NUL
    for (int i = 0; i < n; i++)
        memcpy(x + i * X_STRIDE, xs[i], strlen(xs[i]) + 1);
    for (int function = ZELQ_MANY_PHI; function <= ZELQ_MANY_INVERSE_LOG; function++)
        for (int upper : {0, 1}) {
            ASSERT_EQ(zelq_many_text(function, upper, n, x, X_STRIDE, y, Y_STRIDE), n);
            for (int i = 0; i < n; i++) {
                std::string want;
                if (function == ZELQ_MANY_PHI) {
                    std::string arg = xs[i];
                    if (upper && arg[0] == '-')
                        arg.erase(0, 1);
                    else if (upper)
                        arg.insert(arg.begin(), '-');
                    std::string buf(115, ' ');
                    str_Zelq_str_Maple(arg.data(), buf.data());
                    want = buf.c_str();
                } else {
                    int fn = function == ZELQ_MANY_LOG_PHI   ? ENTRY_LOG_NDTR
                             : function == ZELQ_MANY_INVERSE ? ENTRY_NDTRI
                                                             : ENTRY_NDTRI_EXP;
                    want = call(fn, upper, xs[i]);
                }
                EXPECT_EQ(std::string(y + i * Y_STRIDE), want) << function << "/" << upper << " " << xs[i];
            }
        }
    // A short result slot: the text of the 8-bit rule for its length.
    char small[n * 8];
    ASSERT_EQ(zelq_many_text(ZELQ_MANY_INVERSE, 0, n, x, X_STRIDE, small, 8), n);
    EXPECT_EQ(std::string(small + 1 * 8), call(ENTRY_NDTRI, 0, "0.3", 7));
    // Refused: nothing written.
    memset(small, 'Q', sizeof small);
    EXPECT_EQ(zelq_many_text(4, 0, n, x, X_STRIDE, small, 8), -1);
    EXPECT_EQ(zelq_many_text(0, 0, -1, x, X_STRIDE, small, 8), -1);
    EXPECT_EQ(zelq_many_text(0, 0, n, x, 0, small, 8), -1);
    EXPECT_EQ(small[0], 'Q');
}

// Doubles in and out: each argument exactly, each result the 352-bit value
// rounded to the nearest double, as MPFR rounds it.
TEST(ManyEntries, DoublesAreReadExactlyAndRoundedToNearest)
{
    qf_mpfr_setup_range();
    std::mt19937_64 rng((unsigned long)zelq_test_seed("inverse_entries_test"));
    std::vector<double> x;
    for (double v : {0.0, -0.0, 1.0, -1.5, 0.5, 1e-300, 4.9e-324, 2.2250738585072014e-308, 1e308, 0.25, 0.75,
                     -37.5, 30.0, (double)INFINITY, -(double)INFINITY, (double)NAN,
                     // results in the double's subnormal range and next to its largest value
                     -38.0, -38.5, -37.8, -1.8961e154, -1.8962e154, 1e-320})
        x.push_back(v);
    for (int i = 0; i < 300; i++) {
        uint64_t bits = rng();
        double d;
        memcpy(&d, &bits, sizeof d);
        x.push_back(d);
    }
    std::vector<double> y(x.size());
    mpfr_value m(352), r(53);
    for (int function = ZELQ_MANY_PHI; function <= ZELQ_MANY_INVERSE_LOG; function++)
        for (int upper : {0, 1}) {
            ASSERT_EQ(zelq_many_double(function, upper, (int)x.size(), x.data(), y.data()), (int)x.size());
            for (size_t i = 0; i < x.size(); i++) {
                qfloat arg;
                mpfr_set_d(m.v, x[i], MPFR_RNDN); // exact
                mpfr_to_qf(&arg, m.v);
                if (upper && (function == ZELQ_MANY_PHI || function == ZELQ_MANY_LOG_PHI))
                    __op_minus_pqfloat(&arg, &arg);
                qfloat v = function == ZELQ_MANY_PHI       ? Zelq(arg)
                           : function == ZELQ_MANY_LOG_PHI ? log_Zelq(arg)
                           : function == ZELQ_MANY_INVERSE ? inverse_Zelq(arg)
                                                           : inverse_log_Zelq(arg);
                if (upper && (function == ZELQ_MANY_INVERSE || function == ZELQ_MANY_INVERSE_LOG))
                    v = q_mirror(v);
                qf_to_mpfr(m.v, &v);
                mpfr_set_emin(mpfr_get_emin_min());
                mpfr_set_emax(mpfr_get_emax_max());
                int t = mpfr_set(r.v, m.v, MPFR_RNDN);
                mpfr_set_emin(-1073);
                mpfr_set_emax(1024);
                t = mpfr_check_range(r.v, t, MPFR_RNDN);
                mpfr_subnormalize(r.v, t, MPFR_RNDN);
                double want = mpfr_get_d(r.v, MPFR_RNDN);
                qf_mpfr_setup_range();
                if (std::isnan(want))
                    EXPECT_TRUE(std::isnan(y[i])) << function << " " << x[i];
                else
                    EXPECT_EQ(memcmp(&y[i], &want, sizeof want), 0)
                        << function << "/" << upper << " x=" << x[i] << " got " << y[i] << " want " << want;
            }
        }
    EXPECT_EQ(zelq_many_double(7, 0, 1, x.data(), y.data()), -1);
}

} // namespace
