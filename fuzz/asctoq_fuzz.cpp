// SPDX-License-Identifier: MIT
// Fuzzes the decimal reader with arbitrary bytes made into a NUL-terminated
// text in a block of exactly that size (so ASan sees any read past the NUL).
// Every text that the grammar accepts must read exactly as MPFR reads it at
// 352 bits with qfloat's range and gradual underflow; every other text must
// read as the canonical NaN. A finite result must also survive a write at 120
// bytes and a re-read bit for bit.
#include "fuzz_checks.h"
#include "qf_mpfr.h"
#include "qfloat.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mpfr.h>

static void expect_same_bits(const qfloat *got, const qfloat *want, const char *text)
{
    FUZZ_CHECK(std::memcmp(got, want, sizeof *got) == 0, "text \"%.200s\" read differently from MPFR", text);
}

// Texts whose exponent has more than 15 significant digits: MPFR 4.2 reads
// some of them wrongly (0.00001e-99700000000000000000 as infinity), and the
// answer is plain: the digits (at most a few thousand here) cannot move the
// value back into range. Returns false for any other text.
static bool huge_exponent_value(const char *b, const char *e, qfloat *want)
{
    const char *p = b;
    bool neg = *p == '-';
    if (*p == '-' || *p == '+')
        p++;
    bool nonzero = false;
    for (; p < e && *p != 'e' && *p != 'E'; p++)
        nonzero |= *p >= '1' && *p <= '9';
    if (p == e)
        return false;
    p++;
    bool exp_neg = *p == '-';
    if (*p == '-' || *p == '+')
        p++;
    while (p < e && *p == '0')
        p++;
    if (e - p <= 15)
        return false;
    std::memset(want, 0, sizeof *want);
    want->sign = neg ? 0xFFFFFFFFu : 0u;
    if (nonzero && !exp_neg)
        want->exponent = 65535; // infinity
    return true;
}

static void check_number(const char *text, const char *b, const char *e, const qfloat *got)
{
    qfloat plain;
    if (huge_exponent_value(b, e, &plain)) {
        expect_same_bits(got, &plain, text);
        return;
    }
    // MPFR reads the same grammar for a trimmed decimal number.
    size_t n = (size_t)(e - b);
    char *trimmed = (char *)std::malloc(n + 1);
    std::memcpy(trimmed, b, n);
    trimmed[n] = '\0';
    mpfr_t r;
    mpfr_init2(r, 352);
    char *stop = nullptr;
    int t = mpfr_strtofr(r, trimmed, &stop, 10, MPFR_RNDN);
    FUZZ_CHECK(stop == trimmed + n, "MPFR stopped early on \"%.200s\"", trimmed);
    qf_mpfr_round(r, t);
    qfloat want;
    mpfr_to_qf(&want, r);
    mpfr_clear(r);
    std::free(trimmed);
    expect_same_bits(got, &want, text);
}

static void check_round_trip(const qfloat *x)
{
    char buf[120];
    _qtoasc(x, buf, (int)sizeof buf);
    int digits = 0;
    FUZZ_CHECK(fuzz_is_written_form(buf, &digits), "bad written form \"%s\"", buf);
    qfloat back;
    _asctoq(buf, &back);
    FUZZ_CHECK(std::memcmp(&back, x, sizeof back) == 0, "\"%s\" does not read back to the value written",
               buf);
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qf_mpfr_setup_range();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    char *text = (char *)std::malloc(size + 1);
    std::memcpy(text, data, size);
    text[size] = '\0';

    qfloat got;
    std::memset(&got, 0x5A, sizeof got);
    _asctoq(text, &got);
    FUZZ_CHECK(got.mantissa[0] == 0, "guard word not cleared");

    const char *b = nullptr, *e = nullptr;
    switch (fuzz_classify_text(text, &b, &e)) {
    case FUZZ_TEXT_INVALID:
    case FUZZ_TEXT_NAN:
        FUZZ_CHECK(fuzz_is_canonical_nan(&got), "text \"%.200s\" did not read as NaN", text);
        break;
    case FUZZ_TEXT_INF:
        FUZZ_CHECK(fuzz_is_inf(&got) && got.exponent == 65535 && got.sign == (*b == '-' ? 0xFFFFFFFFu : 0u),
                   "text \"%.200s\" did not read as a signed infinity", text);
        break;
    case FUZZ_TEXT_NUMBER:
        check_number(text, b, e, &got);
        check_round_trip(&got);
        break;
    }
    std::free(text);
    return 0;
}
