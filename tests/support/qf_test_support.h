// SPDX-License-Identifier: MIT
// Small pieces every differential test needs: an MPFR value that cleans up
// after itself, bit-for-bit comparison and a readable dump of a qfloat, and
// a random seed that is printed and can be fixed from the environment.
#pragma once

#include "qfloat.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mpfr.h>
#include <random>
#include <string>

struct mpfr_value {
    mpfr_t v;
    explicit mpfr_value(mpfr_prec_t prec = 352)
    {
        mpfr_init2(v, prec);
    }
    mpfr_value(const mpfr_value &o)
    {
        mpfr_init2(v, mpfr_get_prec(o.v));
        mpfr_set(v, o.v, MPFR_RNDN);
    }
    mpfr_value &operator=(const mpfr_value &o)
    {
        mpfr_set(v, o.v, MPFR_RNDN);
        return *this;
    }
    ~mpfr_value()
    {
        mpfr_clear(v);
    }
};

inline bool qf_same_bits(const qfloat &a, const qfloat &b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Sign, exponent field, guard word and the eleven significand words, in hex.
inline std::string qf_hex(const qfloat &q)
{
    char buf[160];
    int n = std::snprintf(buf, sizeof buf, "s=%08x e=%u g=%08x m=", q.sign, q.exponent, q.mantissa[0]);
    for (int i = 1; i <= 11; i++)
        n += std::snprintf(buf + n, sizeof buf - (size_t)n, "%08x", q.mantissa[i]);
    return buf;
}

// The seed of every randomized test: ZELQ_TEST_SEED from the environment (a
// number, or "random" for a fresh one), else 20261207, so that runs repeat
// and the figures the tests print stay comparable. Printed so that a failing
// run can be repeated.
inline uint64_t zelq_test_seed(const char *test_name)
{
    const char *env = std::getenv("ZELQ_TEST_SEED");
    uint64_t s = 20261207u;
    if (env && std::strcmp(env, "random") == 0)
        s = std::random_device{}() * 0x9E3779B97F4A7C15ull;
    else if (env)
        s = std::strtoull(env, nullptr, 0);
    std::printf("%s seed: ZELQ_TEST_SEED=%llu\n", test_name, (unsigned long long)s);
    return s;
}
