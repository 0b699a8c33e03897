// SPDX-License-Identifier: MIT
// Fuzzes the decimal writer with any 56-byte pattern and any capacity taken
// from the input. The text goes into a block of exactly that capacity, so ASan
// reports a write past it. The text must have the writer's form, carry the
// digits MPFR gives for the same count (rounded to nearest from the exact
// value), use as many digits as fit, and read back as a number of the same
// class; with 107 digits or more it must read back bit for bit and write the
// same text again.
#include "fuzz_checks.h"
#include "qf_mpfr.h"
#include "qfloat.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mpfr.h>

// Length of the text for the value rounded to n digits, decimal exponent
// from MPFR (value = 0.ddd * 10^e10).
static size_t written_length(bool neg, int n, long e10)
{
    long x = e10 - 1;
    char ebuf[32];
    int elen = std::snprintf(ebuf, sizeof ebuf, "%ld", x);
    return (neg ? 1 : 0) + (size_t)n + (n > 1 ? 1 : 0) + 1 + (size_t)elen;
}

// The text MPFR's digits make for n digits.
static void reference_text(mpfr_t v, int n, char *out, size_t cap)
{
    mpfr_exp_t e10 = 0;
    char *d = mpfr_get_str(nullptr, &e10, 10, (size_t)n, v, MPFR_RNDN);
    const char *digits = d[0] == '-' ? d + 1 : d;
    if (n > 1)
        std::snprintf(out, cap, "%s%c.%se%ld", d[0] == '-' ? "-" : "", digits[0], digits + 1, (long)e10 - 1);
    else
        std::snprintf(out, cap, "%s%ce%ld", d[0] == '-' ? "-" : "", digits[0], (long)e10 - 1);
    mpfr_free_str(d);
}

static long reference_exponent(mpfr_t v, int n)
{
    mpfr_exp_t e10 = 0;
    char *d = mpfr_get_str(nullptr, &e10, 10, (size_t)n, v, MPFR_RNDN);
    mpfr_free_str(d);
    return (long)e10;
}

static void check_finite(const qfloat *canon, const char *text, int cap, int digits)
{
    mpfr_t v;
    mpfr_init2(v, 352);
    qf_to_mpfr(v, canon);
    bool neg = mpfr_signbit(v) != 0;
    if (digits > 0) {
        size_t refcap = (size_t)digits + 64;
        char *ref = (char *)std::malloc(refcap);
        reference_text(v, digits, ref, refcap);
        FUZZ_CHECK(std::strcmp(ref, text) == 0, "capacity %d: wrote \"%.80s\", MPFR gives \"%.80s\"", cap,
                   text, ref);
        std::free(ref);
    }
    // One digit more must not have fitted.
    int more = digits + 1;
    size_t need = written_length(neg, more, reference_exponent(v, more));
    FUZZ_CHECK(need + 1 > (size_t)cap, "capacity %d holds %d digits but \"%.80s\" has %d", cap, more, text,
               digits);
    mpfr_clear(v);
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qf_mpfr_setup_range();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    // Capacity from the first two bytes: -4 .. 129 mostly, up to 2195 when
    // the second byte's top bit is set. The value comes from the rest.
    int cap = data[1] & 0x80 ? (int)((data[0] | (data[1] & 0x7F) << 8) % 2200) - 4 : (int)(data[0] % 134) - 4;
    qfloat x;
    std::memset(&x, 0, sizeof x);
    std::memcpy(&x, data + 2, size - 2 < sizeof x ? size - 2 : sizeof x);

    // The canonical form of the same value: multiplying by 1 is exact.
    qfloat one, canon;
    __op_cast_int_qfloat(&one, 1);
    __op_multiply_pqfloat_pqfloat(&canon, &x, &one);

    size_t blk = cap > 0 ? (size_t)cap : 0;
    char *text = (char *)std::malloc(blk ? blk : 1);
    if (blk)
        std::memset(text, 'Z', blk);
    _qtoasc(&x, blk ? text : text + 1, cap); // cap <= 0: a pointer at the block's end
    if (cap <= 0) {
        std::free(text);
        return 0;
    }
    size_t len = strnlen(text, blk);
    FUZZ_CHECK(len < blk, "no NUL within capacity %d", cap);
    int digits = 0;
    FUZZ_CHECK(fuzz_is_written_form(text, &digits), "bad written form \"%.200s\"", text);

    if (fuzz_is_nan(&x)) {
        FUZZ_CHECK(!std::strcmp(text, cap >= 4 ? "nan" : ""), "NaN written as \"%s\" at capacity %d", text,
                   cap);
    } else if (fuzz_is_inf(&x)) {
        const char *w = x.sign ? "-inf" : "inf";
        FUZZ_CHECK(!std::strcmp(text, (size_t)cap > std::strlen(w) ? w : ""), "%s written as \"%s\"", w,
                   text);
    } else if (fuzz_is_zero(&canon)) {
        const char *w = canon.sign ? "-0" : "0";
        FUZZ_CHECK(!std::strcmp(text, (size_t)cap > std::strlen(w) ? w : ""), "%s written as \"%s\"", w,
                   text);
    } else {
        check_finite(&canon, text, cap, digits);
        if (digits > 0) {
            qfloat back;
            _asctoq(text, &back);
            // Rounding up near the largest finite value (3.539e9863) may
            // leave the range: "3.54e9863" reads as infinity.
            bool top_binade = canon.exponent == 65534;
            FUZZ_CHECK(!fuzz_is_nan(&back) && (!fuzz_is_inf(&back) || top_binade) && !fuzz_is_zero(&back) &&
                           back.sign == canon.sign,
                       "\"%.80s\" reads back as another class", text);
            if (digits >= 107) {
                FUZZ_CHECK(std::memcmp(&back, &canon, sizeof back) == 0,
                           "\"%.80s\" does not read back exactly", text);
                char *again = (char *)std::malloc(blk);
                _qtoasc(&back, again, cap);
                FUZZ_CHECK(std::strcmp(again, text) == 0, "re-read value writes \"%.80s\"", again);
                std::free(again);
            }
        }
    }
    std::free(text);
    return 0;
}
