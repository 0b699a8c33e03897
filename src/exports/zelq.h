/*
 * zelq: the standard normal distribution function Phi(x) = P(X <= x) to more
 * than 100 significant digits, with numbers passed as decimal text.
 *
 * On 32-bit Windows the entries use the standard-call convention and are
 * exported from zelq.dll under these plain names; elsewhere they are plain C.
 */
#ifndef ZELQ_H
#define ZELQ_H

#ifdef _WIN32
#define ZELQ_CALL __stdcall
#elif defined(__i386__) && defined(ZELQ_STDCALL_ENTRIES)
/* 32-bit stand-in for the DLL on x86 Linux: the same convention as Windows. */
#define ZELQ_CALL __attribute__((stdcall))
#else
#define ZELQ_CALL
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
 * NUL-terminated text of L characters; the result is written with a capacity
 * of min(L, 115) bytes (NUL included), so it always fits the L+1 bytes the
 * caller has (L = 0 leaves y_str empty). Text that does not read as a number
 * gives "nan". Returns the length of the text written. */
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
