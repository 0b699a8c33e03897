// SPDX-License-Identifier: MIT
// Hostile and malformed input to every entry, on purpose: empty and blank
// text, a million digits, exponents of +-10^12, special words, junk and
// non-ASCII bytes, 16-bit units above 0x7F, buffer lengths 0 and 10^5, a
// 16-bit length of 0 and of 2^32 - 1, and probe limits near 2^31. Buffers sit
// against an inaccessible page where a stray read or write must not reach.
#include "qfloat.h"
#include "zelq.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace
{

// n bytes ending exactly at an inaccessible page: any access past them faults.
struct guarded_block {
    uint8_t *base = nullptr;
    size_t mapped = 0;
    uint8_t *data = nullptr;

    explicit guarded_block(size_t n)
    {
        size_t page = (size_t)sysconf(_SC_PAGESIZE);
        size_t pages = (n + page - 1) / page + 1;
        mapped = pages * page;
        base = (uint8_t *)mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (base == MAP_FAILED)
            abort();
        mprotect(base + mapped - page, page, PROT_NONE);
        data = base + mapped - page - n;
    }
    ~guarded_block()
    {
        munmap(base, mapped);
    }
    guarded_block(const guarded_block &) = delete;
    guarded_block &operator=(const guarded_block &) = delete;
};

// The Maple entry or foo with a buffer of L spaces that ends at a guard page.
std::string call8(int (*entry)(char *, char *), const std::string &x, size_t L, int *ret = nullptr)
{
    guarded_block xb(x.size() + 1), yb(L + 1);
    std::memcpy(xb.data, x.c_str(), x.size() + 1);
    std::memset(yb.data, ' ', L);
    yb.data[L] = 0;
    int r = entry((char *)xb.data, (char *)yb.data);
    std::string y((const char *)yb.data);
    EXPECT_EQ(r, (int)y.size());
    EXPECT_EQ(std::memcmp(xb.data, x.c_str(), x.size() + 1), 0) << "the argument text was changed";
    for (size_t i = y.size() + 1; i < L; i++) {
        if (yb.data[i] != ' ') {
            ADD_FAILURE() << "byte " << i << " past the NUL written, L = " << L;
            break;
        }
    }
    if (ret)
        *ret = r;
    return y;
}

std::string maple(const std::string &x, size_t L = 115)
{
    return call8(str_Zelq_str_Maple, x, L);
}

std::string rough(const std::string &x, size_t L = 115)
{
    return call8(foo, x, L);
}

int probe(const std::string &x, int max_iter)
{
    guarded_block xb(x.size() + 1);
    std::memcpy(xb.data, x.c_str(), x.size() + 1);
    return asymptSeries_length((char *)xb.data, max_iter);
}

// The Excel entry with x_Length units ending at a guard page, and a caller
// buffer of 120 16-bit spaces, also against a guard page. Checks the units
// after the result's NUL and returns the text (ASCII units only).
std::string excel(const std::vector<uint16_t> &x, int *ret = nullptr)
{
    guarded_block xb(2 * x.size()), ob(240);
    if (!x.empty())
        std::memcpy(xb.data, x.data(), 2 * x.size());
    for (int i = 0; i < 120; i++)
        ob.data[2 * i] = ' ', ob.data[2 * i + 1] = 0;
    int r = str_Zelq_str_Excel((char *)xb.data, (char *)ob.data, (unsigned)x.size());
    EXPECT_GE(r, 0);
    EXPECT_LT(r, 120);
    std::string s;
    for (int i = 0; i < r && i < 120; i++) {
        uint16_t u = (uint16_t)(ob.data[2 * i] | ob.data[2 * i + 1] << 8);
        EXPECT_LT(u, 0x80) << "unit " << i;
        s += (char)u;
    }
    if (r >= 0 && r < 120) {
        EXPECT_EQ(ob.data[2 * r], 0);
        EXPECT_EQ(ob.data[2 * r + 1], 0);
        for (int i = r + 1; i < 120; i++)
            EXPECT_TRUE(ob.data[2 * i] == ' ' && ob.data[2 * i + 1] == 0) << "unit " << i << " past the NUL";
    }
    if (ret)
        *ret = r;
    return s;
}

// a + b + c, built by appending (GCC 12 warns falsely on "literal" + string).
std::string join(const std::string &a, const std::string &b, const std::string &c = "")
{
    std::string s = a;
    s.append(b);
    s.append(c);
    return s;
}

std::vector<uint16_t> units(const std::string &s)
{
    return std::vector<uint16_t>(s.begin(), s.end());
}

const char *const unreadable[] = {"",
                                  " ",
                                  " \t\n\v\f\r ",
                                  "1.5x",
                                  "1,5",
                                  "--1",
                                  ".",
                                  "e5",
                                  "1e",
                                  "1e+",
                                  "x1",
                                  "1 2",
                                  "0x10",
                                  "+-1",
                                  "1e5e5",
                                  "1..2",
                                  "nanx",
                                  "infinit",
                                  "- 1",
                                  "1\x01",
                                  "\x7f",
                                  "1e--5",
                                  "1.5e+-3",
                                  "\xff",
                                  "1\xc3\xa9",
                                  "\xef\xbc\x91",
                                  "\xc2\xa0"
                                  "1",
                                  "1\xc2\xa0",
                                  "\xe2\x88\x92"
                                  "1",
                                  "inf inf",
                                  "nan(1)",
                                  "(1)",
                                  "1_000"};

TEST(BadText, UnreadableTextGivesNanFromEveryTextEntry)
{
    for (const char *x : unreadable) {
        EXPECT_EQ(maple(x), "nan") << "\"" << x << "\"";
        EXPECT_EQ(rough(x), "nan") << "\"" << x << "\"";
        // NaN never equals the sum, so the probe runs to its limit.
        EXPECT_EQ(probe(x, 37), 38) << "\"" << x << "\"";
        std::string xs(x);
        EXPECT_EQ(excel(units(xs)), "nan") << "\"" << x << "\"";
    }
}

TEST(BadText, NanAndInfinityWords)
{
    for (const char *x : {"nan", "NaN", "-nan", "+NAN", " nan "})
        EXPECT_EQ(maple(x), "nan") << x;
    const std::string one = maple("30"), zero = maple("-300");
    ASSERT_EQ(zero, "0");
    ASSERT_EQ(one.substr(0, 4), "1.00");
    for (const char *x : {"inf", "+inf", "Infinity", " INF\n"})
        EXPECT_EQ(maple(x), one) << x;
    for (const char *x : {"-inf", "-Infinity", "-iNf"})
        EXPECT_EQ(maple(x), zero) << x;
    // foo at +-inf: |X|/(1 + X^2) is inf/inf, NaN.
    EXPECT_EQ(rough("inf"), rough("-inf"));
}

TEST(BadText, MillionDigitArguments)
{
    const size_t n = 1000000;
    // -1 followed by a million zeros and a 1: rounds to -1 itself.
    std::string x = join("-1.", std::string(n, '0'), "1");
    EXPECT_EQ(maple(x), maple("-1"));
    EXPECT_EQ(rough(x), rough("-1"));
    // A million leading zeros do not count.
    EXPECT_EQ(maple(join(std::string(n, '0'), "1.5")), maple("1.5"));
    // A million ones: about 1.1e999999, beyond the largest qfloat.
    EXPECT_EQ(maple(std::string(n, '1')), maple("inf"));
    EXPECT_EQ(maple(join("-", std::string(n, '9'))), "0");
    // 10^-1000001 underflows to 0: Phi = 1/2 exactly.
    EXPECT_EQ(maple(join("0.", std::string(n, '0'), "1")), maple("0"));
    std::vector<uint16_t> wide = units(join("-1.", std::string(n, '0'), "1"));
    EXPECT_EQ(excel(wide), excel(units("-1")));
    EXPECT_EQ(probe(join("3", std::string(n, '0')), 400), probe("3e1000000", 400));
}

TEST(BadText, HugeExponents)
{
    EXPECT_EQ(maple("1e1000000000000"), maple("inf"));
    EXPECT_EQ(maple("-1e1000000000000"), "0");
    EXPECT_EQ(maple("1e-1000000000000"), maple("0"));
    EXPECT_EQ(maple("-1e-1000000000000"), maple("0"));
    EXPECT_EQ(maple("1e+999999999999999999999999999999"), maple("inf"));
    EXPECT_EQ(maple("-2.5e-999999999999999999999999999999"), maple("0"));
    // An exponent that exactly undoes a million-digit fraction's shift.
    EXPECT_EQ(maple(join("0.", std::string(999999, '0'), "15e1000000")), maple("1.5"));
    EXPECT_EQ(maple(join("3e", std::string(1000, '0'), "1")), maple("30"));
    EXPECT_EQ(probe("3e-1000000000000", 9), probe("0", 9));
    EXPECT_EQ(excel(units("-1e1000000000000")), "0");
}

TEST(BadText, TinyAndExtremeNumbersStayInRange)
{
    const std::string half = maple("0");
    ASSERT_EQ(half.substr(0, 3), "5.0");
    // Far below QFLT_EPSILON: Phi is 1/2 to the last place.
    for (const char *x : {"1e-9970", "-1e-9970", "1e-200", "-3e-120", "-0"})
        EXPECT_EQ(maple(x), half) << x;
    EXPECT_EQ(maple("1.4e9863"), maple("inf"));
    EXPECT_EQ(maple("-1.4e9863"), "0");
    // foo where the density underflows: a finite text, never negative.
    for (const char *x : {"-1e100", "1e5000", "-1.4e9863", "1e-9970"}) {
        std::string t = rough(x);
        EXPECT_FALSE(t.empty()) << x;
        EXPECT_NE(t[0], '-') << x << " -> " << t;
        EXPECT_NE(t, "nan") << x;
    }
}

TEST(Buffers, LengthZeroWritesNothing)
{
    int r = -1;
    EXPECT_EQ(call8(str_Zelq_str_Maple, "-1", 0, &r), "");
    EXPECT_EQ(r, 0);
    EXPECT_EQ(call8(foo, "-1", 0, &r), "");
    EXPECT_EQ(r, 0);
}

TEST(Buffers, LengthsOneToFourFitTheirRoom)
{
    for (size_t L = 1; L <= 4; L++) {
        for (const char *x : {"-1", "0", "nan", "-inf", "30", "-300"}) {
            std::string y = maple(x, L);
            EXPECT_LE(y.size(), L) << x << " L = " << L;
            y = rough(x, L);
            EXPECT_LE(y.size(), L) << x << " L = " << L;
        }
    }
}

TEST(Buffers, HundredThousandCharactersAskFor115)
{
    const std::string at115 = maple("-1", 115);
    ASSERT_EQ(at115.size(), 115u);
    EXPECT_EQ(maple("-1", 100000), at115);
    EXPECT_EQ(rough("-10", 100000), rough("-10", 115));
}

TEST(Buffers, OnlyTheLengthOfTheCallersTextCounts)
{
    // A buffer of 30 non-space characters asks for the same as 30 spaces.
    guarded_block yb(31);
    std::memset(yb.data, 0xAB, 30);
    yb.data[30] = 0;
    char x[] = "-1";
    int r = str_Zelq_str_Maple(x, (char *)yb.data);
    EXPECT_EQ(std::string((const char *)yb.data), maple("-1", 30));
    EXPECT_EQ(r, (int)std::strlen((const char *)yb.data));
}

TEST(WideText, UnitsAboveAsciiAreUnreadable)
{
    // U+0131 has the low byte of the digit 1; U+FF11 is a full-width 1;
    // U+00B9 a superscript 1; U+2212 the minus sign; U+0030 | 0x100 a 0 with
    // a nonzero high byte.
    const std::vector<std::vector<uint16_t>> cases = {
        {u'1', 0x0131}, {0xFF11},       {0x00B9}, {0x2212, u'1'}, {0x0130},       {u'-', u'1', u'.', 0x0135},
        {0x00A0, u'1'}, {u'1', 0x00E9}, {0xFFFF}, {0xD800, u'1'}, {u'2', 0x8030}, {0x0080}};
    for (const auto &x : cases)
        EXPECT_EQ(excel(x), "nan") << "first unit 0x" << std::hex << x[0];
}

TEST(WideText, ZeroLengthReadsAsTheEmptyText)
{
    // Zero units: the entry must not read the argument at all (it ends at a
    // guard page) and evaluates the empty text, which is unreadable.
    int r = -1;
    EXPECT_EQ(excel({}, &r), "nan");
    EXPECT_EQ(r, 3);
}

TEST(WideText, LengthOfTwoToThe32MinusOneGivesTheEmptyResult)
{
    // x_Length + 1 does not fit 32 bits: no block of that size can be had,
    // and the entry must give the empty result rather than read 2^32 - 1
    // units that the caller cannot have supplied.
    guarded_block xb(4), ob(240);
    std::memcpy(xb.data, u"1", 2);
    for (int i = 0; i < 120; i++)
        ob.data[2 * i] = ' ', ob.data[2 * i + 1] = 0;
    int r = str_Zelq_str_Excel((char *)xb.data, (char *)ob.data, 0xFFFFFFFFu);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(ob.data[0], 0);
    EXPECT_EQ(ob.data[1], 0);
    for (int i = 1; i < 120; i++)
        ASSERT_TRUE(ob.data[2 * i] == ' ' && ob.data[2 * i + 1] == 0) << "unit " << i;
}

TEST(WideText, EmbeddedNulEndsTheText)
{
    EXPECT_EQ(excel({u'-', u'1', 0, u'5'}), excel(units("-1")));
    EXPECT_EQ(excel({0, u'1'}), "nan");
}

TEST(Probe, HugeLimitWithASettlingSeries)
{
    EXPECT_EQ(probe("30", INT_MAX - 1), 101);
    EXPECT_EQ(probe("-30", INT_MAX - 1), 101);
    EXPECT_EQ(probe("100", INT_MAX - 1), 45);
    EXPECT_EQ(probe("25", INT_MAX - 1), 139);
    // INT_MAX itself is beyond the caller's promise; it must not wrap the
    // counter into a negative value.
    int r = probe("30", INT_MAX);
    EXPECT_EQ(r, 101);
}

TEST(Probe, LimitsAtAndBelowOne)
{
    for (int max_iter : {1, 0, -1, -5, INT_MIN})
        EXPECT_EQ(probe("30", max_iter), 2) << max_iter;
    EXPECT_EQ(probe("junk", INT_MIN), 2);
}

TEST(Probe, ZeroAndInfinity)
{
    // x = 0 divides by zero; x = inf makes every term 0. Neither may hang or
    // crash, and the count stays within its bounds.
    int r = probe("0", 1000);
    EXPECT_GE(r, 2);
    EXPECT_LE(r, 1001);
    EXPECT_EQ(probe("inf", 1000), 2);
    EXPECT_EQ(probe("-inf", 1000), 2);
    // Small |x| with a large limit: the terms grow out of range; it ends at
    // the limit.
    EXPECT_EQ(probe("0.5", 100000), 100001);
}

} // namespace

namespace
{

// 56-byte patterns that no operation writes: exponent fields far outside
// 0..65535 must still read as the formula says (E >= 65535: infinity or NaN)
// without overflowing any exponent arithmetic (UBSan checks that).
TEST(Patterns, ExponentFieldsBeyondTheRange)
{
    const uint32_t fields[] = {0x80000000u, 0x80000811u, 0x80007FFFu, 0x7FFFFFFFu, 0xFFFFFFFFu, 65536u};
    qfloat one, out;
    __op_cast_int_qfloat(&one, 1);
    for (uint32_t e : fields) {
        for (uint32_t top : {0u, 0x80000000u, 0x00000811u}) {
            qfloat x;
            std::memset(&x, 0, sizeof x);
            x.exponent = e;
            x.mantissa[1] = top;
            const bool nan = top != 0;
            char text[16];
            __op_multiply_pqfloat_pqfloat(&out, &x, &one);
            EXPECT_EQ(out.exponent, 65535u) << std::hex << e << " " << top;
            EXPECT_EQ(out.mantissa[1], nan ? 0xC0000000u : 0u) << std::hex << e << " " << top;
            __op_plus_pqfloat_pqfloat(&out, &one, &x);
            EXPECT_EQ(out.exponent, 65535u) << std::hex << e << " " << top;
            __op_divide_pqfloat_pqfloat(&out, &x, &one);
            EXPECT_EQ(out.exponent, 65535u) << std::hex << e << " " << top;
            EXPECT_EQ(__op_less_pqfloat_pqfloat(&x, &one), 0) << std::hex << e << " " << top;
            EXPECT_EQ(__op_lessequal_pqfloat_pqfloat(&one, &x), nan ? 0 : 1) << std::hex << e << " " << top;
            _qtoasc(&x, text, (int)sizeof text);
            EXPECT_STREQ(text, nan ? "nan" : "inf") << std::hex << e << " " << top;
        }
    }
}

} // namespace
