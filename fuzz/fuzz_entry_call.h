// SPDX-License-Identifier: MIT
// Runs an 8-bit text entry (Maple entry or foo) under the caller's buffer
// rule: y_str is exactly L+1 bytes holding L spaces and a NUL, so ASan reports
// any byte written past it. Checks the length rule and that nothing beyond the
// text's NUL changes.
#pragma once

#include "fuzz_checks.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

typedef int (*fuzz_text_entry)(char *x_str, char *y_str);
typedef int (*entry_flag_text_fn_t)(char *x_str, char *y_str, int upper);
typedef int (*entry_flag_wide_fn_t)(char *x_VBA, char *deliverToVBA, unsigned x_Length, int upper);

// A NUL-terminated copy of the input in a block of exactly its size.
inline char *fuzz_text_copy(const uint8_t *data, size_t size)
{
    char *t = (char *)std::malloc(size + 1);
    std::memcpy(t, data, size);
    t[size] = '\0';
    return t;
}

// The 8-bit entry fuzzers' input: two bytes choose the buffer length L
// (0xF000 and up asks for L = 100000, the rest L < 300), the remaining bytes
// are the argument text, copied as by fuzz_text_copy. Needs size >= 2.
inline char *fuzz_length_and_text(const uint8_t *data, size_t size, size_t *L)
{
    unsigned sel = data[0] | (data[1] << 8);
    *L = sel >= 0xF000 ? 100000 : sel % 300;
    return fuzz_text_copy(data + 2, size - 2);
}

// Caller-owned output buffer of L spaces and a NUL, exactly L+1 bytes.
inline char *fuzz_spaces(size_t L)
{
    char *y = (char *)std::malloc(L + 1);
    std::memset(y, ' ', L);
    y[L] = '\0';
    return y;
}

// Calls entry(x, y) with L spaces in y; returns y (caller frees) after the
// buffer-rule checks: a text of at most min(L, 115) characters, and a buffer
// handed back unchanged gives the same text again.
inline char *fuzz_call_text_entry(fuzz_text_entry entry, char *x, size_t L)
{
    char *y = fuzz_spaces(L);
    int r = entry(x, y);
    size_t most = L < 115 ? L : 115;
    size_t len = std::strlen(y);
    FUZZ_CHECK(r >= 0 && (size_t)r == len, "returned %d for a text of %zu characters", r, len);
    FUZZ_CHECK(len <= most, "text of %zu characters where at most %zu fit", len, most);
    for (size_t i = len + 1; i < L; i++)
        FUZZ_CHECK(y[i] == ' ', "byte %zu past the NUL changed (L = %zu, text \"%s\")", i, L, y);
    char *again = (char *)std::malloc(len + 1);
    std::memcpy(again, y, len + 1);
    FUZZ_CHECK(entry(x, again) == r && std::strcmp(again, y) == 0, "handed back, \"%s\" became \"%s\"", y,
               again);
    std::free(again);
    int digits = 0;
    FUZZ_CHECK(fuzz_is_written_form(y, &digits), "bad written form \"%.200s\"", y);
    return y;
}
