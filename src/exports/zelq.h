// SPDX-License-Identifier: MIT
/*
 * zelq: the standard normal distribution function Phi(x) = P(X <= x) to more
 * than 100 significant digits, with numbers passed as decimal text.
 *
 * zelq.dll (32-bit and 64-bit Windows) exports the entries under these plain
 * names; libzelq.so exports them as plain C functions.
 */
#ifndef ZELQ_H
#define ZELQ_H

/* The entries' calling convention: standard call on Windows (32-bit
 * Windows has it; 64-bit Windows has one convention and ignores it), plain C
 * elsewhere. A build may define ZELQ_CALL itself. */
#ifndef ZELQ_CALL
#ifdef _WIN32
#define ZELQ_CALL __stdcall
#else
#define ZELQ_CALL
#endif
#endif

#if defined(_WIN32)
#define ZELQ_API
#elif defined(__GNUC__)
#define ZELQ_API __attribute__((visibility("default")))
#else
#define ZELQ_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Loader notification routine: does nothing, returns 1 for every reason. */
ZELQ_API int ZELQ_CALL LibMain(void *hDLLInst, unsigned fdwReason, void *lpvReserved);

/* Phi(x) for the 8-bit text x_str, written into y_str. y_str holds on entry a
 * NUL-terminated text of L characters; the result is a text of at most
 * min(L, 115) characters and its NUL, so it always fits the L+1 bytes the
 * caller has, and y_str handed back unchanged gives the same text again.
 * Text that does not read as a number gives "nan". Returns the length of the
 * text written. */
ZELQ_API int ZELQ_CALL str_Zelq_str_Maple(char *x_str, char *y_str);

/* Phi(x) for the x_Length 16-bit characters at x_VBA, written as whole
 * 16-bit characters (at most 119 and a 16-bit NUL) into deliverToVBA; nothing
 * after the NUL is touched. Returns the number of characters before the NUL.
 * x_Length 0 is the empty text; a character above 0x7F, like empty or other
 * unreadable text, gives "nan". If the temporary block for the narrowed text
 * cannot be had, deliverToVBA gets the empty text and the result is 0. */
ZELQ_API int ZELQ_CALL str_Zelq_str_Excel(char *x_VBA, char *deliverToVBA, unsigned x_Length);

/* Counter at which the asymptotic series 1 - 1/x^2 + 3/x^4 - ... for x
 * settles, limited by max_iter: k when the term with counter k no longer
 * changes the sum, max_iter + 1 when the limit ends the loop, 2 when
 * max_iter <= 1. x = 0 (1/0 is infinite, the sum turns NaN) and unreadable
 * text never settle: they return max_iter + 1 (2 when max_iter <= 1) after
 * max_iter - 1 passes. max_iter = INT_MAX acts as INT_MAX - 1. */
ZELQ_API int ZELQ_CALL asymptSeries_length(char *x_str, int max_iter);

/* One-term tail estimate phi(x)*|x|/(1+x^2) as text, under the same buffer
 * rule as str_Zelq_str_Maple: the tail term itself for either sign of x (no
 * complement for x > 0) and no cut far out (-140.5 gives about 8.2e-4290).
 * x = 0 (or -0) asks for ln 0 = -inf and writes "0"; unreadable text and
 * +-inf write "nan". */
ZELQ_API int ZELQ_CALL foo(char *x_str, char *y_str);

#ifdef __cplusplus
}
#endif

#endif
