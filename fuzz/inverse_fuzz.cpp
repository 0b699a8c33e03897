// SPDX-License-Identifier: MIT
// Fuzzes the inverse and log-scale entries (ndtri, ndtri_exp, log_ndtr, in
// both widths and both tails). Input: one byte choosing the entry and the
// flag, two bytes for the 8-bit buffer length L (as maple_fuzz), then the
// argument text. Beyond the buffer rules, the result must be the function of
// the argument: nan exactly for unreadable text or a number outside the
// domain; the upper tail the negation (ndtri, ndtri_exp) or the value at -x
// (log_ndtr); the 16-bit form the 8-bit one's text; and, where the engine
// can check it, Phi of the inverse the probability again and ln Phi of the
// log-space inverse the logarithm again.
#include "fuzz_checks.h"
#include "fuzz_entry_call.h"
#include "normal.h"
#include "qfloat.h"
#include "zelq.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

static entry_flag_text_fn_t g_entry;
static int g_upper;

// The chosen 8-bit entry with the plain (x, y) signature the buffer checks use.
static int selected(char *x, char *y)
{
    return g_entry(x, y, g_upper);
}

static qfloat read_q(const char *t)
{
    qfloat q;
    _asctoq(t, &q);
    return q;
}

// Whether a nonzero digit comes before the exponent.
static bool nonzero_mantissa(const char *s)
{
    for (; *s && *s != 'e' && *s != 'E'; s++)
        if (*s >= '1' && *s <= '9')
            return true;
    return false;
}

// |a - b| <= tol |b|, for finite b.
static bool close_to(const qfloat &a, const qfloat &b, const char *tol_text)
{
    qfloat d, tol = read_q(tol_text), bound;
    __op_minus_pqfloat_pqfloat(&d, &a, &b);
    _qabs(&d);
    __op_multiply_pqfloat_pqfloat(&bound, &b, &tol);
    _qabs(&bound);
    return __op_lessequal_pqfloat_pqfloat(&d, &bound);
}

// The 16-bit form on the same (ASCII) text gives the same text, with the 4
// more characters its 120-character buffer allows cut back to 115.
static void check_wide_agrees(entry_flag_wide_fn_t wide, char *x, const char *y115)
{
    size_t n = std::strlen(x);
    uint16_t *units = (uint16_t *)std::malloc(2 * n + 2);
    for (size_t i = 0; i < n; i++)
        units[i] = (uint8_t)x[i];
    uint16_t out[121];
    for (int i = 0; i < 120; i++)
        out[i] = ' ';
    out[120] = 0;
    int r = wide((char *)units, (char *)out, (unsigned)n, g_upper);
    FUZZ_CHECK(r >= 0 && r < 120 && out[r] == 0, "16-bit form returned %d", r);
    char text[121];
    for (int i = 0; i < r; i++)
        text[i] = (char)out[i];
    text[r] = 0;
    qfloat a = read_q(text), b = read_q(y115);
    FUZZ_CHECK(std::memcmp(&a, &b, sizeof a) == 0 || (fuzz_is_nan(&a) && fuzz_is_nan(&b)),
               "16-bit \"%s\" and 8-bit \"%s\" differ for \"%.100s\"", text, y115, x);
    std::free(units);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    int fn = data[0] % 3;
    g_upper = (data[0] >> 2) & 1;
    static const entry_flag_text_fn_t texts[] = {ndtri_Maple, ndtri_exp_Maple, log_ndtr_Maple};
    static const entry_flag_wide_fn_t wides[] = {ndtri_Excel, ndtri_exp_Excel, log_ndtr_Excel};
    g_entry = texts[fn];
    size_t L;
    char *x = fuzz_length_and_text(data + 1, size - 1, &L);
    char *y = fuzz_call_text_entry(selected, x, L);
    std::free(y);

    // The full-length result and its properties.
    y = fuzz_call_text_entry(selected, x, 115);
    check_wide_agrees(wides[fn], x, y);
    qfloat arg = read_q(x), res = read_q(y), zero, one;
    __op_cast_int_qfloat(&zero, 0);
    __op_cast_int_qfloat(&one, 1);
    const char *b, *e;
    fuzz_text_kind kind = fuzz_classify_text(x, &b, &e);
    bool readable = kind == FUZZ_TEXT_NUMBER || kind == FUZZ_TEXT_INF;
    bool domain = fn == 2 ? true
                  : fn == 1
                      ? !__op_less_pqfloat_pqfloat(&zero, &arg)
                      : !__op_less_pqfloat_pqfloat(&arg, &zero) && !__op_less_pqfloat_pqfloat(&one, &arg);
    if (fn == 0 && readable && fuzz_is_zero(&arg) && *b == '-')
        domain = !nonzero_mantissa(b); /* -0 is p = 0; -1e-99999 is negative */
    FUZZ_CHECK(fuzz_is_nan(&res) == !(readable && domain), "\"%.100s\" gave \"%s\"", x, y);

    // The other tail by symmetry.
    g_upper = !g_upper;
    char *other = fuzz_call_text_entry(selected, x, 115);
    g_upper = !g_upper;
    if (fn < 2) {
        qfloat o = read_q(other), minus_o;
        __op_minus_pqfloat(&minus_o, &o);
        /* bit for bit, but for the median: 0 in both tails */
        FUZZ_CHECK(std::memcmp(&minus_o, &res, sizeof res) == 0 || fuzz_is_nan(&res) ||
                       (fuzz_is_zero(&res) && !std::strcmp(y, "0") && !std::strcmp(other, "0")),
                   "tails of \"%.100s\": \"%s\" and \"%s\"", x, y, other);
    }

    // Round trips through the engine where both ends are comfortably finite.
    if (!fuzz_is_nan(&res) && !fuzz_is_inf(&res) && !fuzz_is_zero(&res)) {
        qfloat z = res, lo = read_q("-200"), hi = read_q("20");
        if (g_upper)
            __op_minus_pqfloat(&z, &z);
        if (fn == 0 && __op_less_pqfloat_pqfloat(&lo, &z) && __op_less_pqfloat_pqfloat(&z, &zero))
            FUZZ_CHECK(close_to(Zelq(z), g_upper ? one : arg, "1e-95") || g_upper,
                       "Phi(%s) is not \"%.100s\"", y, x);
        if (fn == 1 && __op_less_pqfloat_pqfloat(&lo, &z) && __op_less_pqfloat_pqfloat(&z, &hi))
            FUZZ_CHECK(close_to(log_Zelq(z), arg, "1e-95"), "ln Phi(%s) is not \"%.100s\"", y, x);
    }
    std::free(other);
    std::free(y);
    std::free(x);
    return 0;
}
