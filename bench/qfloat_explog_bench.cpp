// SPDX-License-Identifier: MIT
// _expq / _logq beside mpfr_exp / mpfr_log at 352 bits on the same arguments:
// exp over the engine's range (dense part -320..0 and the whole -22710..0),
// log over the engine's (0, 0.5] and over random binades. Prints the ratio
// table qfloat ÷ MPFR; with --counts, dumps callgrind counts per call over
// a quarter of each argument pool instead (callgrind-counts.sh).
#include "bench_counts.h"
#include "qfloat.h"
#include "ratio_table.h"

#include <benchmark/benchmark.h>
#include <mpfr.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace
{

constexpr int kPool = 1024;

struct Args {
    std::vector<qfloat> q;
    std::vector<__mpfr_struct> m;
    Args(double lo, double hi, bool log_scale)
    {
        std::mt19937_64 rng(12345);
        std::uniform_real_distribution<double> d(lo, hi);
        q.resize(kPool);
        m.resize(kPool);
        mpfr_t t, noise;
        mpfr_init2(t, 352);
        mpfr_init2(noise, 64);
        for (int i = 0; i < kPool; i++) {
            double v = d(rng);
            if (log_scale) {
                mpfr_set_d(t, 1 + (double)(rng() >> 12) / 4.6e15, MPFR_RNDN);
                mpfr_mul_2si(t, t, (long)v, MPFR_RNDN);
            } else {
                mpfr_set_d(t, v, MPFR_RNDN);
            }
            // fill all 352 bits
            mpfr_set_ui(noise, rng() >> 1, MPFR_RNDN);
            mpfr_mul_2si(noise, noise, mpfr_get_exp(t) - 53 - 63, MPFR_RNDN);
            mpfr_add(t, t, noise, MPFR_RNDN);
            mpfr_init2(&m[i], 352);
            mpfr_set(&m[i], t, MPFR_RNDN);
            // exact copy into a qfloat
            std::memset(&q[i], 0, sizeof q[i]);
            q[i].sign = mpfr_signbit(t) ? 0xFFFFFFFFu : 0;
            long e = mpfr_get_exp(t);
            q[i].exponent = (uint32_t)(e + 32768);
            mpz_t z;
            mpz_init(z);
            mpfr_abs(t, t, MPFR_RNDN);
            mpfr_mul_2si(t, t, 352 - e, MPFR_RNDN);
            mpfr_get_z(z, t, MPFR_RNDN);
            size_t cnt = 0;
            mpz_export(q[i].mantissa + 1, &cnt, 1, 4, 0, 0, z);
            mpz_clear(z);
        }
        mpfr_clear(t);
        mpfr_clear(noise);
    }
    ~Args()
    {
        for (auto &v : m)
            mpfr_clear(&v);
    }
};

const Args &exp_dense()
{
    static Args a(-320, 0, false);
    return a;
}
const Args &exp_wide()
{
    static Args a(-22710, 0, false);
    return a;
}
const Args &log_engine()
{
    static Args a(1e-4, 0.5, false);
    return a;
}
const Args &log_binades()
{
    static Args a(-30000, 30000, true);
    return a;
}

void BM_q(benchmark::State &st, const Args &(*args)(), bool is_exp)
{
    const Args &a = args();
    qfloat out;
    int i = 0;
    for (auto _ : st) {
        if (is_exp)
            _expq(&out, &a.q[i]);
        else
            _logq(&out, &a.q[i]);
        benchmark::DoNotOptimize(out);
        i = (i + 1) & (kPool - 1);
    }
}

void BM_m(benchmark::State &st, const Args &(*args)(), bool is_exp)
{
    const Args &a = args();
    mpfr_t out;
    mpfr_init2(out, 352);
    int i = 0;
    for (auto _ : st) {
        if (is_exp)
            mpfr_exp(out, &a.m[i], MPFR_RNDN);
        else
            mpfr_log(out, &a.m[i], MPFR_RNDN);
        benchmark::DoNotOptimize(out);
        i = (i + 1) & (kPool - 1);
    }
    mpfr_clear(out);
}

const struct Case {
    const char *name;
    const Args &(*args)();
    bool is_exp;
} kCases[] = {
    {"exp_m320_0", exp_dense, true},
    {"exp_m22710_0", exp_wide, true},
    {"log_engine", log_engine, false},
    {"log_binades", log_binades, false},
};

// Arguments that the first evaluation cannot decide: exp(-2^-353) lies
// 2^-707 from a half-way point (one wide retry), log(1 - 2^-351) needs the
// second retry width.
qfloat exp_retry_arg()
{
    qfloat x;
    std::memset(&x, 0, sizeof x);
    x.sign = 0xFFFFFFFFu;
    x.exponent = 32768 - 352;
    x.mantissa[1] = 0x80000000u;
    return x;
}
qfloat log_retry_arg()
{
    qfloat x;
    std::memset(&x, 0, sizeof x);
    x.exponent = 32768;
    for (int i = 1; i <= 11; i++)
        x.mantissa[i] = 0xFFFFFFFFu;
    x.mantissa[11] = 0xFFFFFFFEu;
    return x;
}
void BM_retry(benchmark::State &st, qfloat (*arg)(), bool is_exp)
{
    qfloat x = arg(), out;
    for (auto _ : st) {
        if (is_exp)
            _expq(&out, &x);
        else
            _logq(&out, &x);
        benchmark::DoNotOptimize(out);
    }
}

// Callgrind counts per call, averaged over a quarter of each pool (the
// retry cases: one argument, no MPFR peer).
void count_all()
{
    for (const Case &c : kCases) {
        const Args &a = c.args();
        qfloat qo;
        mpfr_t mo;
        mpfr_init2(mo, 352);
        count_calls("op", "qfloat", c.name, kPool / 4, [&](int i) {
            if (c.is_exp)
                _expq(&qo, &a.q[i]);
            else
                _logq(&qo, &a.q[i]);
            benchmark::DoNotOptimize(qo);
        });
        count_calls("op", "MPFR", c.name, kPool / 4, [&](int i) {
            if (c.is_exp)
                mpfr_exp(mo, &a.m[i], MPFR_RNDN);
            else
                mpfr_log(mo, &a.m[i], MPFR_RNDN);
            benchmark::DoNotOptimize(mo);
        });
        mpfr_clear(mo);
    }
    qfloat xe = exp_retry_arg(), xl = log_retry_arg(), out;
    count_calls("op", "qfloat", "exp_retry", 4, [&](int) {
        _expq(&out, &xe);
        benchmark::DoNotOptimize(out);
    });
    count_calls("op", "qfloat", "log_retry", 4, [&](int) {
        _logq(&out, &xl);
        benchmark::DoNotOptimize(out);
    });
}

} // namespace

int main(int argc, char **argv)
{
    if (counts_done_or_init(&argc, argv, count_all))
        return 0;
    std::vector<RatioRow> rows;
    for (const Case &c : kCases)
        register_qfloat_mpfr(rows, c.name, BM_q, BM_m, c.args, c.is_exp);
    benchmark::RegisterBenchmark("qfloat/exp_retry", BM_retry, exp_retry_arg, true);
    benchmark::RegisterBenchmark("qfloat/log_retry", BM_retry, log_retry_arg, false);
    rows.push_back({"exp_retry", {"qfloat/exp_retry"}});
    rows.push_back({"log_retry", {"qfloat/log_retry"}});
    run_and_print_ratios("exp and log at 352 bits, CPU ns", {"qfloat", "MPFR"}, rows, "ns", 1);
    return 0;
}
