// SPDX-License-Identifier: MIT
/*
 * The 16-bit side of the Excel-style entries: an argument of x_Length
 * little-endian 16-bit characters narrowed to NUL-terminated 8-bit text, and
 * a result text widened into whole 16-bit characters.
 */
#ifndef ZELQ_WIDE_TEXT_H
#define ZELQ_WIDE_TEXT_H

#include <stddef.h>

/* Characters the 16-bit entries write at most, their NUL not counted; the
 * 8-bit result is made with one byte more. */
#define ZELQ_WIDE_RESULT_CHARS 119

/* A narrowed argument: text points at the caller's stack buffer or at a heap
 * block of this call's own (heap, freed by wide_release). */
struct narrowed_text {
    char *text;
    char *heap;
};

/* Narrows the x_Length characters at x_VBA into stack (stack_size bytes) when
 * they fit and always_heap is 0, else into a calloc'ed block of 2 x_Length
 * bytes (at least 2). A character outside 7-bit ASCII makes the whole text
 * empty, so that it reads as NaN rather than as the digit its low byte
 * spells. Returns 0 when the block cannot be had (or x_Length is too large
 * to size one), 1 otherwise. */
int wide_narrow(const char *x_VBA, unsigned x_Length, char *stack, size_t stack_size, int always_heap,
                struct narrowed_text *out);

/* Frees the heap block of a narrowed argument, if any. */
void wide_release(struct narrowed_text *t);

/* Writes the 8-bit text (at most ZELQ_WIDE_RESULT_CHARS characters and its
 * NUL) as whole 16-bit characters, the NUL included, and nothing after it;
 * returns the number of characters before the NUL. */
int wide_write(const char *ascii, char *deliverToVBA);

/* Signature of a text evaluation: the result for the 8-bit text x with the
 * entry's flag, written into out with room for capacity bytes (NUL
 * included). */
typedef void (*text_evaluation)(const char *x, int flag, char *out, int capacity);

/* A whole 16-bit entry around an evaluation: narrows the argument (on the
 * stack unless it is long), evaluates, widens. The empty result and 0 when a
 * long argument's block cannot be had. */
int wide_entry(const char *x_VBA, char *deliverToVBA, unsigned x_Length, text_evaluation evaluate, int flag);

#endif
