// SPDX-License-Identifier: MIT
// The inverse and log-scale entries (ndtri, ndtri_exp, log_ndtr in their
// 8-bit and 16-bit forms): the behaviour cases shared with the Windows test
// program, their wiring to the engine, and the reading of a probability
// text below the number range from its digits.
#include "entry_cases.h"
#include "normal.h"
#include "qfloat.h"
#include "zelq.h"

#include <gtest/gtest.h>

#include <string>

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

// Each entry writes its engine routine's value, the upper tail by symmetry.
TEST(InverseEntries, WiredToTheEngine)
{
    for (const char *p : {"0.3", "1e-20", "0.999", "0.5", "1e-9000"}) {
        qfloat z = inverse_Zelq(read_q(p));
        EXPECT_EQ(call(ENTRY_NDTRI, 0, p), write_q(z)) << p;
        __op_minus_pqfloat(&z, &z);
        EXPECT_EQ(call(ENTRY_NDTRI, 7, p), write_q(z)) << p;
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
