// SPDX-License-Identifier: MIT
// Step-by-step models of the engine's routines: each step one correctly
// rounded 352-bit MPFR operation with qfloat's range and subnormals, in the
// routine's own order. A routine that differs from its model in a single bit
// has changed a rounding. Shared by the engine and entry tests.
#pragma once

#include "normal_constants.h"
#include "qf_mpfr.h"
#include "qf_test_support.h"
#include "qfloat.h"

#include <mpfr.h>

namespace engine_model
{

// ---- a 352-bit MPFR value with qfloat's rounding, range and subnormals ----
using M = mpfr_value;

// Rounds a just computed 352-bit result (ternary t) into qfloat's range.
inline void fit(M &r, int t)
{
    mpfr_exp_t emin = mpfr_get_emin(), emax = mpfr_get_emax();
    qf_mpfr_setup_range();
    qf_mpfr_round(r.v, t);
    mpfr_set_emin(emin);
    mpfr_set_emax(emax);
}

inline M m_of(const qfloat &q)
{
    M r;
    qf_to_mpfr(r.v, &q);
    return r;
}
inline qfloat qf_of(const M &m)
{
    qfloat q;
    mpfr_to_qf(&q, m.v);
    return q;
}
inline M m_int(long n)
{
    M r;
    mpfr_set_si(r.v, n, MPFR_RNDN);
    return r;
}
#define M_BINARY(name, fn)                                                                                   \
    inline M name(const M &a, const M &b)                                                                    \
    {                                                                                                        \
        M r;                                                                                                 \
        fit(r, fn(r.v, a.v, b.v, MPFR_RNDN));                                                                \
        return r;                                                                                            \
    }
M_BINARY(add, mpfr_add)
M_BINARY(sub, mpfr_sub)
M_BINARY(mul, mpfr_mul)
M_BINARY(dvd, mpfr_div)
inline M neg(const M &a)
{
    M r;
    mpfr_neg(r.v, a.v, MPFR_RNDN);
    return r;
}
inline M mexp(const M &a)
{
    M r;
    fit(r, mpfr_exp(r.v, a.v, MPFR_RNDN));
    return r;
}
inline M mlog(const M &a)
{
    M r;
    fit(r, mpfr_log(r.v, a.v, MPFR_RNDN));
    return r;
}

// ---- the routines as written, on M ----
inline M model_cPhi(const qfloat &arg)
{
    M x = m_of(arg);
    mpfr_abs(x.v, x.v, MPFR_RNDN);
    if (mpfr_lessequal_p(x.v, m_of(QFLT_EPSILON).v))
        return m_of(qf_half);
    M one = m_int(1);
    long j = mpfr_get_si(add(x, one).v, MPFR_RNDZ);
    j = j > 25 ? 25 : j;
    M z = mul(one, m_int(j));
    M h = sub(x, z);
    M a = m_of(MillsRatio_v[j]);
    M b = sub(mul(z, a), one);
    M pwr = one;
    M sum = add(a, mul(h, b));
    for (long i = 2; i < 200; i += 2) {
        M I0 = m_int(i), I1 = add(I0, one);
        a = dvd(add(a, mul(z, b)), I0);
        b = dvd(add(b, mul(z, a)), I1);
        pwr = mul(mul(pwr, h), h);
        M t = sum;
        sum = add(sum, mul(pwr, add(a, mul(h, b))));
        if (mpfr_equal_p(sum.v, t.v))
            break;
    }
    return mul(sum, mexp(add(mul(mul(m_of(qf_minus_half), x), x), m_of(LnSqrt2Pi))));
}

inline M model_asymptSeries(const M &x, long max_iter, long *count = nullptr)
{
    M xi = dvd(m_int(1), mul(x, x));
    M a = neg(xi), s = a;
    long m = 2;
    for (; m <= max_iter; m++) {
        a = mul(mul(neg(a), sub(mul(m_int(2), m_int(m)), m_int(1))), xi);
        M t = add(s, a);
        if (mpfr_equal_p(t.v, s.v))
            break;
        s = t;
    }
    if (count)
        *count = m;
    return s;
}

inline long model_limit(const M &x)
{
    float f = mpfr_get_flt(dvd(mul(x, x), m_int(2)).v, MPFR_RNDN);
    long n = (long)f;
    return n >= 400 ? 400 : n;
}

inline M model_asymptotic(const qfloat &arg)
{
    M x = m_of(arg);
    M pdf = mexp(add(mul(mul(neg(x), x), m_of(qf_half)), m_of(LnSqrt2Pi)));
    M s = model_asymptSeries(neg(x), model_limit(x));
    M r = dvd(neg(pdf), x);
    return add(r, mul(r, s));
}

inline M model_Zelq(const qfloat &arg)
{
    M x = m_of(arg);
    if (mpfr_zero_p(x.v))
        return m_of(qf_half);
    if (mpfr_cmp_si(x.v, -25) >= 0 && mpfr_sgn(x.v) < 0)
        return model_cPhi(arg);
    if (mpfr_sgn(x.v) > 0 && mpfr_cmp_si(x.v, 25) <= 0)
        return sub(m_int(1), model_cPhi(qf_of(neg(x))));
    if (mpfr_less_p(x.v, m_of(qf_minus_213_1).v))
        return m_int(0);
    if (mpfr_cmp_si(x.v, -25) < 0)
        return model_asymptotic(arg);
    return m_int(1);
}

// ln(phi(X)|X|/(1+X^2)): (ln(|X|/(1 + X*X)) - (X*X)*0.5) + LnSqrt2Pi.
inline M model_rough_log(const M &X)
{
    M d = add(m_int(1), mul(X, X));
    M a = mpfr_sgn(X.v) < 0 ? dvd(neg(X), d) : dvd(X, d);
    return add(sub(mlog(a), mul(mul(X, X), m_of(qf_half))), m_of(LnSqrt2Pi));
}

// The tail term with no cut and no complement: what foo writes.
inline M model_rough_term(const qfloat &arg)
{
    return mexp(model_rough_log(m_of(arg)));
}

inline M model_rough(const qfloat &arg)
{
    M X = m_of(arg), one = m_int(1);
    if (mpfr_zero_p(X.v))
        return m_int(0);
    M p = model_rough_log(X);
    M t = mpfr_cmp_si(p.v, -9864) < 0 ? m_int(0) : mexp(p);
    return mpfr_sgn(X.v) > 0 ? sub(one, t) : t;
}

} // namespace engine_model
