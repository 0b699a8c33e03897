// SPDX-License-Identifier: MIT
/*
 * The 16-bit entries, called the way a VBA module calls them: the
 * argument as the 16-bit units of a VBA string (StrPtr, Len), the result into
 * a string of 120 spaces, and the first n units kept (Left$).
 */
#include "zelq.h"
#include "zelq_cli.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

/* Decodes one UTF-8 sequence at s; returns its length and the code point in
 * *cp. A malformed sequence gives U+FFFD for its first byte. */
static size_t utf8_decode(const unsigned char *s, uint32_t *cp)
{
    static const uint32_t min_for_length[5] = {0, 0, 0x80, 0x800, 0x10000};
    size_t len = s[0] < 0x80 ? 1 : (s[0] >> 5) == 6 ? 2 : (s[0] >> 4) == 14 ? 3 : (s[0] >> 3) == 30 ? 4 : 0;
    if (len == 1) {
        *cp = s[0];
        return 1;
    }
    uint32_t v = len == 2 ? s[0] & 0x1Fu : len == 3 ? s[0] & 0x0Fu : s[0] & 0x07u;
    for (size_t i = 1; i < len; ++i) {
        if ((s[i] >> 6) != 2) {
            len = 0;
            break;
        }
        v = (v << 6) | (s[i] & 0x3Fu);
    }
    if (len == 0 || v < min_for_length[len] || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) {
        *cp = 0xFFFD;
        return 1;
    }
    *cp = v;
    return len;
}

/* UTF-8 text -> UTF-16 units, as VBA holds a string. units has room for
 * strlen(s) units (never more are needed). Returns the unit count. */
static size_t utf8_to_units(const char *s, uint16_t *units)
{
    const unsigned char *p = (const unsigned char *)s;
    size_t n = 0;
    while (*p) {
        uint32_t cp = 0;
        p += utf8_decode(p, &cp);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            units[n++] = (uint16_t)(0xD800 + (cp >> 10));
            units[n++] = (uint16_t)(0xDC00 + (cp & 0x3FF));
        } else {
            units[n++] = (uint16_t)cp;
        }
    }
    return n;
}

/* Appends the UTF-8 form of one 16-bit unit (a lone surrogate as U+FFFD). */
static size_t unit_to_utf8(uint16_t u, char *out)
{
    uint32_t cp = (u >= 0xD800 && u <= 0xDFFF) ? 0xFFFD : u;
    if (cp < 0x80) {
        out[0] = (char)cp;
        return 1;
    }
    if (cp < 0x800) {
        out[0] = (char)(0xC0 | (cp >> 6));
        out[1] = (char)(0x80 | (cp & 0x3F));
        return 2;
    }
    out[0] = (char)(0xE0 | (cp >> 12));
    out[1] = (char)(0x80 | ((cp >> 6) & 0x3F));
    out[2] = (char)(0x80 | (cp & 0x3F));
    return 3;
}

int cli_call_wide(const struct cli_options *opt, const char *x, char *out, size_t out_size)
{
    size_t len = strlen(x);
    /* One unit more than needed so that the string ends in a 0 unit, as a
     * VBA string does; the entry itself reads only x_Length units. */
    uint16_t *units = (uint16_t *)calloc(len + 1, sizeof(uint16_t));
    if (units == nullptr) {
        snprintf(out, out_size, "nan");
        return 3;
    }
    size_t x_length = utf8_to_units(x, units);

    uint16_t deliver[CLI_WIDE_CHARS + 1];
    for (int i = 0; i < CLI_WIDE_CHARS; ++i)
        deliver[i] = 0x20;
    deliver[CLI_WIDE_CHARS] = 0;

    char *u = (char *)units, *d = (char *)deliver;
    unsigned n_units = (unsigned)x_length;
    int n = opt->function == CLI_FN_INVERSE       ? ndtri_Excel(u, d, n_units, opt->upper)
            : opt->function == CLI_FN_INVERSE_LOG ? ndtri_exp_Excel(u, d, n_units, opt->upper)
            : opt->function == CLI_FN_LOG         ? log_ndtr_Excel(u, d, n_units, opt->upper)
                                                  : str_Zelq_str_Excel(u, d, n_units);
    free(units);

    /* Left$(buf, n), limited to the buffer the entry was given. */
    int kept = n < 0 ? 0 : n > CLI_WIDE_CHARS ? CLI_WIDE_CHARS : n;
    size_t pos = 0;
    for (int i = 0; i < kept && pos + 4 < out_size; ++i)
        pos += unit_to_utf8(deliver[i], out + pos);
    out[pos] = '\0';
    return n;
}
