// SPDX-License-Identifier: MIT
/*
 * The output rule of the 8-bit text entries: the caller's buffer holds on
 * entry a NUL-terminated text of L characters, and the result is written as
 * a text of at most n = min(L, 115) characters and its NUL, that is with a
 * capacity of n + 1 bytes. The caller owns at least L + 1 bytes, so the
 * result always fits; and a buffer handed back unchanged (the result text
 * as the new L) asks for the same text again.
 */
#ifndef ZELQ_TEXT_CAPACITY_H
#define ZELQ_TEXT_CAPACITY_H

#include <string.h>

#define ZELQ_TEXT_DIGIT_CAP 115

/* min(strlen(y_str), 115) + 1 bytes, NUL included; the comparison is
 * unsigned, as for any length. */
static inline int zelq_text_capacity(const char *y_str)
{
    size_t L = strlen(y_str);
    return (L < ZELQ_TEXT_DIGIT_CAP ? (int)L : ZELQ_TEXT_DIGIT_CAP) + 1;
}

#endif
