// SPDX-License-Identifier: MIT
// Exact moves between qfloat and MPFR for differential tests. MPFR values
// must be set up with qf_mpfr_setup_range() and rounded by qf_mpfr_round()
// so that they carry qfloat's precision, exponent range and subnormals.
#pragma once

#include "qfloat.h"

#include <cstdint>
#include <cstring>
#include <mpfr.h>

// qfloat's normal range is 0.m * 2^e with -32767 <= e <= 32766 (MPFR uses the
// same 0.m convention). Subnormals reach down to 2^-33119, i.e. emin = -33118
// for mpfr_subnormalize with precision 352.
inline void qf_mpfr_setup_range()
{
    mpfr_set_emin(-32767 - 352 + 1);
    mpfr_set_emax(32766);
}

// Applies the range and gradual underflow to a value that mpfr just rounded
// to 352 bits with ternary value t.
inline void qf_mpfr_round(mpfr_t r, int t, mpfr_rnd_t rnd = MPFR_RNDN)
{
    t = mpfr_check_range(r, t, rnd);
    mpfr_subnormalize(r, t, rnd);
}

inline void qf_to_mpfr(mpfr_t r, const qfloat *q)
{
    bool neg = q->sign != 0;
    bool anym = false;
    for (int i = 1; i <= 11; i++)
        anym |= q->mantissa[i] != 0;
    if (q->exponent >= 65535) {
        if (anym)
            mpfr_set_nan(r);
        else
            mpfr_set_inf(r, neg ? -1 : 1);
        return;
    }
    if (!anym) {
        mpfr_set_zero(r, neg ? -1 : 1);
        return;
    }
    mpz_t z;
    mpz_init(z);
    mpz_import(z, 11, 1, sizeof(uint32_t), 0, 0, q->mantissa + 1);
    long e = q->exponent == 0 ? -32767 : (long)q->exponent - 32768;
    mpfr_prec_t p = mpfr_get_prec(r);
    mpfr_set_prec(r, 400); // exact for any 352-bit integer
    mpfr_set_z(r, z, MPFR_RNDN);
    mpfr_mul_2si(r, r, e - 352, MPFR_RNDN);
    if (neg)
        mpfr_neg(r, r, MPFR_RNDN);
    mpfr_prec_round(r, p, MPFR_RNDN); // exact when p >= 352 or value fits
    mpz_clear(z);
}

// r must already be representable as a qfloat (352 bits, in range).
inline void mpfr_to_qf(qfloat *q, const mpfr_t r)
{
    std::memset(q, 0, sizeof *q);
    if (mpfr_nan_p(r)) {
        q->exponent = 65535;
        q->mantissa[1] = 0xC0000000u;
        return;
    }
    q->sign = mpfr_signbit(r) ? 0xFFFFFFFFu : 0u;
    if (mpfr_inf_p(r)) {
        q->exponent = 65535;
        return;
    }
    if (mpfr_zero_p(r))
        return;
    long e = mpfr_get_exp(r); // r = 0.m * 2^e
    long biased = e + 32768;
    mpfr_t t;
    mpfr_init2(t, 400);
    mpfr_abs(t, r, MPFR_RNDN);
    long scale_e = biased >= 1 ? e : -32767;
    mpfr_mul_2si(t, t, 352 - scale_e, MPFR_RNDN); // integer below 2^352
    mpz_t z;
    mpz_init(z);
    mpfr_get_z(z, t, MPFR_RNDN);
    uint32_t words[11] = {};
    size_t count = 0;
    mpz_export(words, &count, 1, sizeof(uint32_t), 0, 0, z);
    // right-align the exported words into the 11-word field
    std::memset(q->mantissa + 1, 0, 11 * sizeof(uint32_t));
    for (size_t i = 0; i < count; i++)
        q->mantissa[1 + 11 - count + i] = words[i];
    q->exponent = biased >= 1 ? (uint32_t)biased : 0u;
    mpz_clear(z);
    mpfr_clear(t);
}
