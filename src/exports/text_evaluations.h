// SPDX-License-Identifier: MIT
/*
 * The text evaluations behind the 8-bit, 16-bit and many-value entries: the
 * result for the 8-bit text x, upper = 0 for the lower tail and any other
 * value for the upper one, written into out with room for capacity bytes
 * (NUL included). Each is the whole of what its entries compute; the entries
 * only choose the buffer.
 */
#ifndef ZELQ_TEXT_EVALUATIONS_H
#define ZELQ_TEXT_EVALUATIONS_H

/* Phi(x), or 1 - Phi(x) = Phi(-x) when upper. */
void text_phi(const char *x, int upper, char *out, int capacity);
/* ln Phi(x), or ln(1 - Phi(x)) = ln Phi(-x) when upper. */
void text_log_ndtr(const char *x, int upper, char *out, int capacity);
/* Phi^-1(p), or the z with 1 - Phi(z) = p; a p below the number range
 * through the logarithm of its digits. */
void text_ndtri(const char *p, int upper, char *out, int capacity);
/* The z with ln Phi(z) = L, or with ln(1 - Phi(z)) = L. */
void text_ndtri_exp(const char *log_p, int upper, char *out, int capacity);

#endif
