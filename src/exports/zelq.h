// SPDX-License-Identifier: MIT
/*
 * zelq: the standard normal distribution function Phi(x) = P(X <= x) to more
 * than 100 significant digits, its inverse and its logarithm, with numbers
 * passed as decimal text.
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

/*
 * The inverse and the log scale. Each comes in two forms: _Maple takes 8-bit
 * text and writes under the buffer rule of str_Zelq_str_Maple (y_str holds L
 * characters on entry, the result is at most min(L, 115) characters and its
 * NUL, the length is returned); _Excel takes x_Length 16-bit characters and
 * writes under the rule of str_Zelq_str_Excel (at most 119 characters and a
 * 16-bit NUL; a buffer of 120 characters is enough; no heap call unless the
 * argument is over 1024 characters long). upper = 0 asks for the lower tail
 * Phi, any other value for the upper tail 1 - Phi. Unreadable text and
 * arguments outside the domain give "nan"; the ends of the domain give
 * "-inf" or "inf". Results carry a relative error below 1e-102.
 */

/* Phi^-1(p), the z with Phi(z) = p (R: qnorm(p); SciPy: ndtri(p)); with upper,
 * the z with 1 - Phi(z) = p (R: qnorm(p, lower.tail = FALSE)), which is
 * -Phi^-1(p), with a small p keeping all its digits. p = 0 gives -inf (upper:
 * inf), p = 1 inf (upper: -inf); p < 0, p > 1 give nan. A text p below the
 * number range (1e-100000, any exponent) is taken through the logarithm of
 * its own digits instead of underflowing. */
ZELQ_API int ZELQ_CALL ndtri_Maple(char *p_str, char *y_str, int upper);
ZELQ_API int ZELQ_CALL ndtri_Excel(char *p_VBA, char *deliverToVBA, unsigned p_Length, int upper);

/* The z with ln Phi(z) = L (R: qnorm(L, log.p = TRUE); SciPy: ndtri_exp(L)),
 * for p = e^L far below any number range (L = -1e12 is -log10 p = 4.3e11);
 * with upper, the z with ln(1 - Phi(z)) = L. L = 0 gives inf (upper: -inf),
 * L = -inf gives -inf (upper: inf), L > 0 gives nan. */
ZELQ_API int ZELQ_CALL ndtri_exp_Maple(char *log_p_str, char *y_str, int upper);
ZELQ_API int ZELQ_CALL ndtri_exp_Excel(char *log_p_VBA, char *deliverToVBA, unsigned log_p_Length, int upper);

/* ln Phi(x) (R: pnorm(x, log.p = TRUE); SciPy: log_ndtr(x)) for every x the
 * number type holds: -500000000014.7344... at -1e6, -5e199 at -1e100, -inf
 * where x^2/2 overflows; for x > 0 ln(1 - Q) keeps the digits of the small
 * upper tail Q (ln Phi(30) = -4.9e-198), and is -0 where -Q is below the
 * number range (x > 214.25). With upper, ln(1 - Phi(x)) = ln Phi(-x). */
ZELQ_API int ZELQ_CALL log_ndtr_Maple(char *x_str, char *y_str, int upper);
ZELQ_API int ZELQ_CALL log_ndtr_Excel(char *x_VBA, char *deliverToVBA, unsigned x_Length, int upper);

/*
 * Many values in one call, for hosts that hold arrays. function chooses what
 * each value gives: Phi(x), ln Phi(x), Phi^-1(p) or the z with ln Phi(z) = L;
 * upper turns each to the upper tail as above (Phi: 1 - Phi(x) = Phi(-x)).
 * Every value is worked as one call of the entries works it; the calls keep
 * to the caller's thread, so a host splits a long array over its cores by
 * calling once per thread. Both return n, or -1 (nothing written) for an
 * unknown function, a negative n or a stride below 1.
 */
enum zelq_many_function {
    ZELQ_MANY_PHI = 0,
    ZELQ_MANY_LOG_PHI = 1,
    ZELQ_MANY_INVERSE = 2,
    ZELQ_MANY_INVERSE_LOG = 3
};

/* x[i] taken exactly, y[i] the result rounded to the nearest double (ties to
 * even; subnormal, +-0 or +-inf where the double's range ends); NaN for an
 * argument outside the domain or NaN. */
ZELQ_API int ZELQ_CALL zelq_many_double(int function, int upper, int n, const double *x, double *y);

/* Text in fixed slots: argument i is the text at x + i x_stride, ending at its
 * NUL or at the end of the slot (a text of 1024 characters or more reads as
 * unreadable); result i is written at y + i y_stride as by the 8-bit entries
 * with min(y_stride - 1, 115) characters and its NUL ("nan" for unreadable
 * text or a number outside the domain). A probability below the number range
 * is read from its digits, as by ndtri_Maple. */
ZELQ_API int ZELQ_CALL zelq_many_text(int function, int upper, int n, const char *x, int x_stride, char *y,
                                      int y_stride);

#ifdef __cplusplus
}
#endif

#endif
