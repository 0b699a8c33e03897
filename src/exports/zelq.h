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
 * caller has. Returns the length of the text written. */
ZELQ_API int ZELQ_CALL str_Zelq_str_Maple(char *x_str, char *y_str);

/* Phi(x) for the x_Length 16-bit characters at x_VBA, written as 16-bit text
 * (at most 119 characters and a 16-bit NUL) into deliverToVBA. Returns the
 * number of characters before the NUL. */
ZELQ_API int ZELQ_CALL str_Zelq_str_Excel(char *x_VBA, char *deliverToVBA, unsigned x_Length);

/* Counter at which the asymptotic series for x settles, limited by max_iter. */
ZELQ_API int ZELQ_CALL asymptSeries_length(char *x_str, int max_iter);

/* One-term tail estimate phi(x)*|x|/(1+x^2) as text, under the same buffer
 * rule as str_Zelq_str_Maple. */
ZELQ_API int ZELQ_CALL foo(char *x_str, char *y_str);

#ifdef __cplusplus
}
#endif

#endif
