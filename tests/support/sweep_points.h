// SPDX-License-Identifier: MIT
// Inputs of the engine's differential sweeps: a qfloat from text, a short
// readable form, the next qfloat up or down, and random points (uniform or a
// function of uniform, around a centre).
#pragma once

#include "engine_models.h"
#include "qf_mpfr.h"
#include "qf_test_support.h"
#include "qfloat.h"

#include <gmp.h>
#include <mpfr.h>

#include <string>
#include <vector>

namespace engine_model
{

inline bool is_nan(const qfloat &a)
{
    return !__op_equal_pqfloat_pqfloat(&a, &a);
}

inline qfloat Q(const char *text)
{
    qfloat q;
    _asctoq(text, &q);
    return q;
}

inline std::string show(const qfloat &q, int digits = 25)
{
    mpfr_value t;
    qf_to_mpfr(t.v, &q);
    char buf[160];
    mpfr_snprintf(buf, sizeof buf, "%.*Rg", digits, t.v);
    return buf;
}

inline qfloat next_toward(const qfloat &q, int up)
{
    M m = m_of(q);
    if (up)
        mpfr_nextabove(m.v);
    else
        mpfr_nextbelow(m.v);
    M r;
    fit(r, mpfr_set(r.v, m.v, MPFR_RNDN));
    return qf_of(r);
}

// An exact value rounded into qfloat.
inline qfloat qf_near(const mpfr_t v)
{
    M r;
    fit(r, mpfr_set(r.v, v, MPFR_RNDN));
    return qf_of(r);
}

struct Sweep {
    gmp_randstate_t rs;
    std::vector<qfloat> xs;
    explicit Sweep(unsigned long seed)
    {
        gmp_randinit_default(rs);
        gmp_randseed_ui(rs, seed);
    }
    ~Sweep()
    {
        gmp_randclear(rs);
    }
    Sweep(const Sweep &) = delete;
    Sweep &operator=(const Sweep &) = delete;
    void push(const qfloat &q)
    {
        xs.push_back(q);
    }
    void push(const mpfr_t v)
    {
        push(qf_near(v));
    }
    // n points uniform in [lo, hi] with random low bits, each passed through
    // map (at 400 bits) if given: mpfr_exp makes p log-uniform from ln p.
    void uniform(const char *lo, const char *hi, int n, void (*map)(mpfr_ptr) = nullptr)
    {
        mpfr_t a, b, u;
        mpfr_inits2(400, a, b, u, (mpfr_ptr)0);
        mpfr_set_str(a, lo, 10, MPFR_RNDN);
        mpfr_set_str(b, hi, 10, MPFR_RNDN);
        mpfr_sub(b, b, a, MPFR_RNDN);
        for (int i = 0; i < n; i++) {
            mpfr_urandomb(u, rs);
            mpfr_mul(u, u, b, MPFR_RNDN);
            mpfr_add(u, u, a, MPFR_RNDN);
            if (map)
                map(u);
            push(u);
        }
        mpfr_clears(a, b, u, (mpfr_ptr)0);
    }
    // centre + offsets of size 2^-k (k = k0..340 by step) with random digits
    // on both sides, or with relative, centre * (1 +- 2^-k ...); then the
    // centre and its two neighbours.
    void around(const qfloat &centre, bool relative = false, int k0 = 1, int step = 7)
    {
        mpfr_t u;
        mpfr_init2(u, 400);
        for (int k = k0; k <= 340; k += step) {
            for (int side = -1; side <= 1; side += 2) {
                mpfr_urandomb(u, rs);
                mpfr_mul_2si(u, u, -k, MPFR_RNDN);
                if (side < 0)
                    mpfr_neg(u, u, MPFR_RNDN);
                M c = m_of(centre), r;
                if (relative)
                    mpfr_mul(u, u, c.v, MPFR_RNDN);
                fit(r, mpfr_add(r.v, c.v, u, MPFR_RNDN));
                push(qf_of(r));
            }
        }
        push(centre);
        push(next_toward(centre, 1));
        push(next_toward(centre, 0));
        mpfr_clear(u);
    }
};

} // namespace engine_model
