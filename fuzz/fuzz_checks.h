// SPDX-License-Identifier: MIT
// Checks shared by the fuzz programs: the decimal grammar the reader accepts,
// the form the writer produces, and a failure macro that stops the fuzzer
// with a message (libFuzzer then saves the input as a crash file).
#pragma once

#include "qfloat.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#define FUZZ_CHECK(cond, ...)                                                                                \
    do {                                                                                                     \
        if (!(cond)) {                                                                                       \
            std::fprintf(stderr, "%s:%d: check failed: %s\n  ", __FILE__, __LINE__, #cond);                  \
            std::fprintf(stderr, __VA_ARGS__);                                                               \
            std::fprintf(stderr, "\n");                                                                      \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (0)

inline bool fuzz_is_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

inline bool fuzz_is_digit(char c)
{
    return c >= '0' && c <= '9';
}

inline char fuzz_lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
}

// Case-insensitive match of the whole range [p, end) against word.
inline bool fuzz_word_is(const char *p, const char *end, const char *word)
{
    size_t n = std::strlen(word);
    if ((size_t)(end - p) != n)
        return false;
    for (size_t i = 0; i < n; i++)
        if (fuzz_lower(p[i]) != word[i])
            return false;
    return true;
}

enum fuzz_text_kind { FUZZ_TEXT_INVALID, FUZZ_TEXT_NUMBER, FUZZ_TEXT_INF, FUZZ_TEXT_NAN };

// Classifies a text by the reader's grammar: optional surrounding ASCII white
// space, an optional sign, digits with an optional point (one digit at least),
// an optional exponent e/E with optional sign and one digit at least; or
// inf / infinity / nan in any case with an optional sign. On a number, *begin
// and *end delimit it without the white space.
inline fuzz_text_kind fuzz_classify_text(const char *s, const char **begin, const char **end)
{
    const char *b = s;
    while (*b && fuzz_is_space(*b))
        b++;
    const char *e = b + std::strlen(b);
    while (e > b && fuzz_is_space(e[-1]))
        e--;
    *begin = b;
    *end = e;
    const char *p = b;
    if (p < e && (*p == '+' || *p == '-'))
        p++;
    if (fuzz_word_is(p, e, "inf") || fuzz_word_is(p, e, "infinity"))
        return FUZZ_TEXT_INF;
    if (fuzz_word_is(p, e, "nan"))
        return FUZZ_TEXT_NAN;
    int digits = 0;
    while (p < e && fuzz_is_digit(*p))
        p++, digits++;
    if (p < e && *p == '.') {
        p++;
        while (p < e && fuzz_is_digit(*p))
            p++, digits++;
    }
    if (digits == 0)
        return FUZZ_TEXT_INVALID;
    if (p < e && (*p == 'e' || *p == 'E')) {
        p++;
        if (p < e && (*p == '+' || *p == '-'))
            p++;
        int exp_digits = 0;
        while (p < e && fuzz_is_digit(*p))
            p++, exp_digits++;
        if (exp_digits == 0)
            return FUZZ_TEXT_INVALID;
    }
    return p == e ? FUZZ_TEXT_NUMBER : FUZZ_TEXT_INVALID;
}

// True when s has the writer's form: "" (nothing fitted), "0", "-0", "inf",
// "-inf", "nan", or [-]d[.d...]e[-]X with a nonzero leading digit, a point
// only before further digits, and an exponent without '+' or leading zeros.
// *digits receives the number of significant digits written (0 for words).
inline bool fuzz_is_written_form(const char *s, int *digits)
{
    *digits = 0;
    if (!*s || !std::strcmp(s, "0") || !std::strcmp(s, "-0") || !std::strcmp(s, "inf") ||
        !std::strcmp(s, "-inf") || !std::strcmp(s, "nan"))
        return true;
    const char *p = s;
    if (*p == '-')
        p++;
    if (!(*p >= '1' && *p <= '9'))
        return false;
    p++;
    int n = 1;
    if (*p == '.') {
        p++;
        if (!fuzz_is_digit(*p))
            return false;
        while (fuzz_is_digit(*p))
            p++, n++;
    }
    if (*p++ != 'e')
        return false;
    if (*p == '-')
        p++;
    if (!fuzz_is_digit(*p) || (*p == '0' && p[1] != '\0'))
        return false;
    while (fuzz_is_digit(*p))
        p++;
    *digits = n;
    return *p == '\0';
}

inline bool fuzz_is_nan(const qfloat *q)
{
    bool anym = false;
    for (int i = 1; i <= 11; i++)
        anym |= q->mantissa[i] != 0;
    return q->exponent >= 65535 && anym;
}

inline bool fuzz_is_inf(const qfloat *q)
{
    bool anym = false;
    for (int i = 1; i <= 11; i++)
        anym |= q->mantissa[i] != 0;
    return q->exponent >= 65535 && !anym;
}

inline bool fuzz_is_zero(const qfloat *q)
{
    bool anym = false;
    for (int i = 1; i <= 11; i++)
        anym |= q->mantissa[i] != 0;
    return q->exponent < 65535 && !anym;
}

// The canonical NaN every operation writes.
inline bool fuzz_is_canonical_nan(const qfloat *q)
{
    if (q->sign != 0 || q->exponent != 65535 || q->mantissa[0] != 0 || q->mantissa[1] != 0xC0000000u)
        return false;
    for (int i = 2; i <= 11; i++)
        if (q->mantissa[i] != 0)
            return false;
    return true;
}

// The text with its sign flipped: "-x" <-> "+x", "x" -> "-x". Meant for texts
// that do not start with white space, where it negates every readable number
// and leaves every unreadable text unreadable.
inline void fuzz_negated_text(const char *s, char *out)
{
    if (*s == '-' || *s == '+') {
        out[0] = *s == '-' ? '+' : '-';
        std::strcpy(out + 1, s + 1);
    } else {
        out[0] = '-';
        std::strcpy(out + 1, s);
    }
}
