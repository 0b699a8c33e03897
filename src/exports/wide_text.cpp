// SPDX-License-Identifier: MIT
// Narrowing 16-bit arguments and widening results for the 16-bit entries.
#include "wide_text.h"

#include <stdint.h>
#include <stdlib.h>

/* Arguments up to this many characters are narrowed on the stack: no heap
 * call for any text a spreadsheet cell holds in practice. */
#define WIDE_STACK_CHARS 1024

int wide_narrow(const char *x_VBA, unsigned x_Length, char *stack, size_t stack_size, int always_heap,
                struct narrowed_text *out)
{
    out->heap = nullptr;
    out->text = stack;
    if (always_heap || (size_t)x_Length + 1 > stack_size) {
        /* x_Length characters and a NUL: at least one 2-byte element, and no
         * size that wraps around in the 32 bits of the host's size type (on
         * a 64-bit build too, so that 2^32 - 1 gives the same empty result
         * rather than reading characters the caller cannot have). */
        if (x_Length >= UINT32_MAX / 2)
            return 0;
        out->heap = (char *)calloc(x_Length > 0 ? (size_t)x_Length : 1, 2);
        if (!out->heap)
            return 0;
        out->text = out->heap;
    }
    int outside_ascii = 0;
    for (size_t i = 0; i < x_Length; i++) {
        unsigned char low = (unsigned char)x_VBA[2 * i];
        unsigned char high = (unsigned char)x_VBA[2 * i + 1];
        outside_ascii |= high != 0 || low > 0x7F;
        out->text[i] = (char)low;
    }
    out->text[x_Length] = 0;
    /* A character such as U+0131 must not pass for the digit its low byte
     * spells: such text is unreadable, and the number layer reads the empty
     * text as NaN. */
    if (outside_ascii)
        out->text[0] = 0;
    return 1;
}

void wide_release(struct narrowed_text *t)
{
    free(t->heap);
    t->heap = nullptr;
}

int wide_write(const char *ascii, char *deliverToVBA)
{
    int i;
    for (i = 0; i <= ZELQ_WIDE_RESULT_CHARS; i++) {
        deliverToVBA[2 * i] = ascii[i];
        deliverToVBA[2 * i + 1] = 0;
        if (ascii[i] == 0)
            break;
    }
    return i;
}

int wide_entry(const char *x_VBA, char *deliverToVBA, unsigned x_Length, text_evaluation evaluate, int flag)
{
    char stack[WIDE_STACK_CHARS + 1];
    char result[ZELQ_WIDE_RESULT_CHARS + 1];
    struct narrowed_text x;
    if (!wide_narrow(x_VBA, x_Length, stack, sizeof stack, 0, &x))
        return wide_write("", deliverToVBA);
    evaluate(x.text, flag, result, (int)sizeof result);
    wide_release(&x);
    return wide_write(result, deliverToVBA);
}
