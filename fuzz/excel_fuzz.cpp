// SPDX-License-Identifier: MIT
// Fuzzes the Excel entry with any 16-bit text (the input's byte pairs, little
// endian) in a block of exactly x_Length units, and a caller buffer of exactly
// 120 units of spaces. The result must be whole 16-bit ASCII characters and a
// 16-bit NUL within the 120 units, spaces after it untouched. A unit above
// 0x7F makes the argument unreadable ("nan"); an ASCII argument must give the
// value the Maple entry gives for the same 8-bit text.
#include "fuzz_checks.h"
#include "fuzz_entry_call.h"
#include "qfloat.h"
#include "zelq.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

static uint16_t unit_at(const uint8_t *p, size_t i)
{
    return (uint16_t)(p[2 * i] | (p[2 * i + 1] << 8));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    size_t n = size / 2;
    uint8_t *x = (uint8_t *)std::malloc(2 * n); // 0 units: an empty block, any read is caught
    std::memcpy(x, data, 2 * n);
    uint8_t *out = (uint8_t *)std::malloc(240);
    for (int i = 0; i < 120; i++)
        out[2 * i] = ' ', out[2 * i + 1] = 0;

    int r = str_Zelq_str_Excel((char *)x, (char *)out, (unsigned)n);
    FUZZ_CHECK(r >= 0 && r < 120, "returned %d", r);
    FUZZ_CHECK(unit_at(out, (size_t)r) == 0, "no 16-bit NUL at the returned length %d", r);
    char text[121];
    for (int i = 0; i < r; i++) {
        uint16_t u = unit_at(out, (size_t)i);
        FUZZ_CHECK(u > 0x20 && u < 0x7F, "result unit %d is 0x%04x", i, u);
        text[i] = (char)u;
    }
    text[r] = '\0';
    for (int i = r + 1; i < 120; i++)
        FUZZ_CHECK(unit_at(out, (size_t)i) == 0x0020, "unit %d past the NUL changed", i);
    int digits = 0;
    FUZZ_CHECK(fuzz_is_written_form(text, &digits), "bad written form \"%s\"", text);

    bool has_nul = false, has_wide = false;
    for (size_t i = 0; i < n; i++) {
        uint16_t u = unit_at(x, i);
        has_nul |= u == 0;
        has_wide |= u > 0x7F;
    }
    if (has_wide && !has_nul) {
        FUZZ_CHECK(!std::strcmp(text, "nan"), "argument with a unit above 0x7F gave \"%s\"", text);
    } else if (!has_wide) {
        // The same argument through the 8-bit entry, at most 115 characters.
        // The 120-unit text has >= 107 digits, so it reads back to the very
        // value and writes the same 115-character text.
        char *narrow = (char *)std::malloc(n + 1);
        for (size_t i = 0; i < n; i++)
            narrow[i] = (char)x[2 * i];
        narrow[n] = '\0';
        char *y = fuzz_call_text_entry(str_Zelq_str_Maple, narrow, 115);
        qfloat v;
        _asctoq(text, &v);
        char again[116];
        _qtoasc(&v, again, (int)sizeof again);
        FUZZ_CHECK(!std::strcmp(again, y), "16-bit entry gave \"%s\", 8-bit entry \"%s\"", text, y);
        std::free(y);
        std::free(narrow);
    }
    std::free(out);
    std::free(x);
    return 0;
}
