// SPDX-License-Identifier: MIT
// The five host entries on the native build: the behaviour cases shared with
// the Windows test program (tests/support/entry_cases.h), the exact wiring of
// each entry (argument order, digit capacity, the engine routine it reaches),
// and 352-bit MPFR models of foo and of the probe's loop that must agree bit
// for bit. Seed: ZELQ_TEST_SEED (printed).
#include "engine_models.h"
#include "entry_cases.h"
#include "normal.h"
#include "normal_constants.h"
#include "qf_mpfr.h"
#include "qf_test_support.h"
#include "qfloat.h"
#include "zelq.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

unsigned long test_seed()
{
    static const unsigned long seed = (unsigned long)zelq_test_seed("entries_test");
    return seed;
}

qfloat read_q(const char *text)
{
    qfloat q;
    _asctoq(text, &q);
    return q;
}

std::string write_q(const qfloat &q, int capacity)
{
    char buf[256] = {0};
    _qtoasc(&q, buf, capacity);
    return buf;
}

// An 8-bit entry called with a buffer holding L 'x' characters.
std::string call_text(entry_text_fn fn, const std::string &x, int L, int *ret = nullptr)
{
    std::string xs = x;
    std::string buf(L, 'x');
    buf.resize((size_t)L + 1, '\0');
    int r = fn(xs.data(), buf.data());
    if (ret)
        *ret = r;
    return std::string(buf.c_str());
}

// The 16-bit entry with a buffer of 120 spaces; returns the text it wrote.
std::string call_wide(const std::u16string &x, unsigned length, int *ret = nullptr)
{
    std::u16string xs = x;
    xs.push_back(u'\0');
    char16_t out[121];
    for (int i = 0; i < 120; i++)
        out[i] = u' ';
    out[120] = 0;
    int r = str_Zelq_str_Excel((char *)xs.data(), (char *)out, length);
    if (ret)
        *ret = r;
    std::string text;
    for (int i = 0; i < r; i++)
        text.push_back((char)out[i]);
    return text;
}

// Random decimal text for x uniform in [lo, hi], 1 to 20 significant digits.
std::string random_text(std::mt19937_64 &rng, double lo, double hi)
{
    double x = std::uniform_real_distribution<double>(lo, hi)(rng);
    int digits = (int)(rng() % 20) + 1;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*g", digits, x);
    return buf;
}

class Entries : public ::testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        qf_mpfr_setup_range();
    }
};

// ---- LibMain ----

TEST_F(Entries, LibMainReturnsOneForEveryReason)
{
    for (unsigned reason : {0u, 1u, 2u, 3u, 7u, 0xFFFFFFFFu})
        EXPECT_EQ(LibMain(nullptr, reason, nullptr), 1) << reason;
    int dummy = 0;
    EXPECT_EQ(LibMain(&dummy, 1, &dummy), 1);
}

// ---- Maple entry ----

TEST_F(Entries, MapleKeepsEveryTextWithinTheCallersBuffer)
{
    char why[256];
    for (const entry_ref &c : phi_cases)
        for (int L = 0; L <= 200; L++)
            ASSERT_TRUE(entry_check_text_buffer(str_Zelq_str_Maple, &c, L, why, sizeof why)) << why;
}

TEST_F(Entries, MapleWritesTheEngineValueWithCapacityMinL115)
{
    for (const entry_ref &c : phi_cases) {
        qfloat expected = Zelq(read_q(c.x));
        for (int L : {1, 2, 9, 10, 50, 113, 114, 115, 116, 200, 1000}) {
            int ret = -1;
            std::string got = call_text(str_Zelq_str_Maple, c.x, L, &ret);
            EXPECT_EQ(got, write_q(expected, (L < 115 ? L : 115) + 1)) << "x=" << c.x << " L=" << L;
            EXPECT_EQ(ret, (int)got.size());
        }
    }
}

// A host that hands the same buffer back (Maple does) asks the second time
// for as many characters as the first text has: it gets the same text, not
// one digit fewer on every call.
TEST_F(Entries, MapleBufferHandedBackGivesTheSameText)
{
    for (const char *x : {"-1", "0", "-30", "2.5", "-213.1", "abc"})
        for (int L : {12, 40, 114, 115, 200}) {
            char arg[16], buf[201];
            std::snprintf(arg, sizeof arg, "%s", x);
            std::memset(buf, 'x', (size_t)L);
            buf[L] = 0;
            int first = str_Zelq_str_Maple(arg, buf);
            ASSERT_EQ(first, (int)std::strlen(buf));
            const std::string text = buf;
            for (int call = 0; call < 3; call++)
                EXPECT_EQ(str_Zelq_str_Maple(arg, buf), first) << x << " L=" << L;
            EXPECT_EQ(std::string(buf), text) << x << " L=" << L;
            EXPECT_EQ(std::string(buf), write_q(Zelq(read_q(x)), (L < 115 ? L : 115) + 1));
        }
}

TEST_F(Entries, MapleWritesNanForUnreadableText)
{
    for (const char *x : {"abc", "", "1.5x", "--1", "1,5", "nan", "-nan"})
        EXPECT_EQ(call_text(str_Zelq_str_Maple, x, 30), "nan") << "x='" << x << "'";
    EXPECT_EQ(call_text(str_Zelq_str_Maple, "inf", 30), write_q(qf_one, 31));
    EXPECT_EQ(call_text(str_Zelq_str_Maple, "-inf", 30), "0");
}

// ---- Excel/VBA entry ----

TEST_F(Entries, ExcelCasesInSpacesAndInWideFill)
{
    char why[256];
    for (const wide_case &c : wide_cases) {
        EXPECT_TRUE(entry_check_wide(str_Zelq_str_Excel, &c, u' ', why, sizeof why)) << why;
        EXPECT_TRUE(entry_check_wide(str_Zelq_str_Excel, &c, 0x3000, why, sizeof why)) << why;
    }
}

TEST_F(Entries, ExcelWritesTheEngineValueWith120Bytes)
{
    for (const entry_ref &c : phi_cases) {
        std::u16string x(c.x, c.x + std::strlen(c.x));
        int ret = -1;
        std::string got = call_wide(x, (unsigned)x.size(), &ret);
        std::string want = write_q(Zelq(read_q(c.x)), 120);
        EXPECT_EQ(got, want) << "x=" << c.x;
        EXPECT_EQ(ret, (int)want.size());
        EXPECT_LE(ret, 119);
    }
}

TEST_F(Entries, ExcelReadsOnlyXLengthCharacters)
{
    std::string minus_one = call_wide(u"-1", 2);
    EXPECT_EQ(call_wide(u"-1.5", 2), minus_one);
    EXPECT_EQ(call_wide(u"-1e9", 2), minus_one);
    EXPECT_EQ(call_wide(u"-1\u0131", 2), minus_one);
    EXPECT_EQ(call_wide(u"-1", 1), "nan"); // just "-"
}

TEST_F(Entries, ExcelRejectsCharactersOutside7BitAscii)
{
    // U+0131 has the low byte of '1', U+0B2D that of '-', U+00B5 is above 0x7F.
    EXPECT_EQ(call_wide(u"\u0131", 1), "nan");
    EXPECT_EQ(call_wide(u"\u0b2d1", 2), "nan");
    EXPECT_EQ(call_wide(u"1\u00b5", 2), "nan");
    EXPECT_EQ(call_wide(u"1", 1), write_q(Zelq(read_q("1")), 120));
}

TEST_F(Entries, ExcelEmptyArgumentIsTheEmptyText)
{
    char16_t x[1] = {u'7'};
    char16_t out[4] = {u' ', u' ', u' ', 0};
    int r = str_Zelq_str_Excel((char *)x, (char *)out, 0);
    EXPECT_EQ(r, 3);
    EXPECT_EQ(out[0], u'n');
    EXPECT_EQ(out[3], 0);
}

// Without the temporary block the result is the empty text: run where the
// address space is too small for it. Sanitizers reserve huge shadows and
// abort on failed allocations instead, so they skip this.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZELQ_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ZELQ_SANITIZED 1
#endif
#endif

// Allocation failure is provoked with an address-space limit, which the
// sanitizers' shadow memory does not survive: built only without them.
#ifndef ZELQ_SANITIZED
TEST_F(Entries, ExcelWithoutItsBlockGivesTheEmptyResult)
{
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        struct rlimit lim = {(rlim_t)1 << 30, (rlim_t)1 << 30};
        setrlimit(RLIMIT_AS, &lim);
        char16_t x[2] = {u'1', 0};
        char16_t out[4] = {u' ', u' ', u' ', 0};
        int r = str_Zelq_str_Excel((char *)x, (char *)out, 0x7FFFFFF0u);
        _exit(r == 0 && out[0] == 0 && out[1] == u' ' ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "the call crashed";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
#endif

// ---- foo ----

TEST_F(Entries, FooKeepsEveryTextWithinTheCallersBuffer)
{
    char why[256];
    for (const entry_ref &c : foo_cases)
        for (int L = 0; L <= 200; L++)
            ASSERT_TRUE(entry_check_text_buffer(foo, &c, L, why, sizeof why)) << why;
}

TEST_F(Entries, FooAgreesWithTheRoughTailBitForBit)
{
    // Same stored constant, same steps: for X < 0 above the cut the engine's
    // rough tail returns the very value foo writes; for X > 0 it returns 1 - t.
    std::mt19937_64 rng(test_seed());
    for (int i = 0; i < 200; i++) {
        std::string x = random_text(rng, -140.4, -1e-3);
        int ret;
        std::string got = call_text(foo, x, 200, &ret);
        EXPECT_EQ(got, write_q(rough_asymptotic_Zelq(read_q(x.c_str())), 116)) << "x=" << x;
        std::string mirrored = x.substr(1);
        EXPECT_EQ(call_text(foo, mirrored, 200), got) << "x=" << mirrored;
    }
    // Beyond the cut the rough tail is 0 and 1; foo still gives the term.
    EXPECT_EQ(write_q(rough_asymptotic_Zelq(read_q("-140.5")), 115), "0");
    EXPECT_NE(call_text(foo, "-140.5", 200), "0");
}

TEST_F(Entries, FooMatchesA352BitModel)
{
    std::mt19937_64 rng(test_seed() + 1);
    static const double spans[][2] = {{-1, 1}, {-10, 10}, {-150, 150}, {-220, -140}, {140, 220}};
    for (const auto &span : spans) {
        for (int i = 0; i < 60; i++) {
            std::string x = random_text(rng, span[0], span[1]);
            qfloat X = read_q(x.c_str());
            if (X.exponent == 0) // the model is not meant for 0
                continue;
            std::string got = call_text(foo, x, 200);
            qfloat want = engine_model::qf_of(engine_model::model_rough_term(X));
            // 115 bytes keep at least 107 digits: the text reads back exactly.
            EXPECT_TRUE(qf_same_bits(read_q(got.c_str()), want))
                << "x=" << x << " got " << got << " want " << write_q(want, 120);
        }
    }
}

TEST_F(Entries, FooAtZeroAndForUnreadableText)
{
    EXPECT_EQ(call_text(foo, "0", 50), "0");  // ln 0 = -inf, e^-inf = 0
    EXPECT_EQ(call_text(foo, "-0", 50), "0"); // -0 takes the same branch
    EXPECT_EQ(call_text(foo, "abc", 50), "nan");
    EXPECT_EQ(call_text(foo, "", 50), "nan");
    EXPECT_EQ(call_text(foo, "inf", 50), "nan"); // inf / inf
    EXPECT_EQ(call_text(foo, "-inf", 50), "nan");
}

// ---- asymptSeries_length ----

TEST_F(Entries, ProbeCases)
{
    for (const probe_case &c : probe_cases) {
        std::string x = c.x;
        EXPECT_EQ(asymptSeries_length(x.data(), c.max_iter), c.count) << c.x << " " << c.max_iter;
    }
}

TEST_F(Entries, ProbeMatchesA352BitModelOfTheLoop)
{
    std::mt19937_64 rng(test_seed() + 2);
    for (int i = 0; i < 300; i++) {
        std::string x = random_text(rng, i % 3 == 0 ? 1 : 20, i % 3 == 0 ? 40 : 260);
        if (i % 2)
            x = "-" + x;
        int max_iter = (int)(rng() % 460) - 5;
        long want = 0;
        engine_model::model_asymptSeries(engine_model::m_of(read_q(x.c_str())), max_iter, &want);
        EXPECT_EQ(asymptSeries_length(x.data(), max_iter), want) << "x=" << x << " max_iter=" << max_iter;
    }
}

TEST_F(Entries, ProbeCountsWhatAsymptoticZelqSums)
{
    // With the limit asymptotic_Zelq computes, the probe reports its series.
    for (const char *x : {"-25.000001", "-28", "-30", "-100", "-213.1"}) {
        qfloat X = read_q(x);
        int limit = asymptotic_Zelq_limit(X);
        qfloat sum;
        int want = asymptSeries_count(X, limit, &sum);
        std::string xs = x;
        EXPECT_EQ(asymptSeries_length(xs.data(), limit), want) << x;
    }
}

TEST_F(Entries, ProbeEdgeArguments)
{
    char zero[] = "0", nan_text[] = "x", thirty[] = "30";
    EXPECT_EQ(asymptSeries_length(zero, 1000), 1001); // 1/0 = inf: never settles
    EXPECT_EQ(asymptSeries_length(nan_text, 1000), 1001);
    EXPECT_EQ(asymptSeries_length(thirty, INT_MAX), 101);
    EXPECT_EQ(asymptSeries_length(thirty, INT_MIN), 2);
}

} // namespace
