/*
 * The output rule of the 8-bit text entries: the caller's buffer holds on
 * entry a NUL-terminated text of L characters, and the result is written with
 * a capacity of min(L, 115) bytes, NUL included. The number layer writes at
 * most that many bytes, so the result always fits the L + 1 bytes that the
 * caller is known to have.
 */
#ifndef ZELQ_TEXT_CAPACITY_H
#define ZELQ_TEXT_CAPACITY_H

#include <string.h>

#define ZELQ_TEXT_DIGIT_CAP 115

/* min(strlen(y_str), 115); the comparison is unsigned, as for any length. */
static inline int zelq_text_capacity(const char *y_str)
{
    size_t L = strlen(y_str);
    return L < ZELQ_TEXT_DIGIT_CAP ? (int)L : ZELQ_TEXT_DIGIT_CAP;
}

#endif
