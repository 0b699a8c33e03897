// _expq / _logq beside mpfr_exp / mpfr_log at 352 bits on the same arguments:
// exp over the engine's range (dense part -320..0 and the whole -22710..0),
// log over the engine's (0, 0.5] and over random binades.
#include "qfloat.h"

#include <benchmark/benchmark.h>
#include <mpfr.h>

#include <cstring>
#include <random>
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

void run_q(benchmark::State &st, const Args &a, bool is_exp)
{
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

void run_m(benchmark::State &st, const Args &a, bool is_exp)
{
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

void BM_expq_m320_0(benchmark::State &st)
{
    run_q(st, exp_dense(), true);
}
void BM_mpfr_exp_m320_0(benchmark::State &st)
{
    run_m(st, exp_dense(), true);
}
void BM_expq_m22710_0(benchmark::State &st)
{
    run_q(st, exp_wide(), true);
}
void BM_mpfr_exp_m22710_0(benchmark::State &st)
{
    run_m(st, exp_wide(), true);
}
void BM_logq_engine(benchmark::State &st)
{
    run_q(st, log_engine(), false);
}
void BM_mpfr_log_engine(benchmark::State &st)
{
    run_m(st, log_engine(), false);
}
void BM_logq_binades(benchmark::State &st)
{
    run_q(st, log_binades(), false);
}
void BM_mpfr_log_binades(benchmark::State &st)
{
    run_m(st, log_binades(), false);
}

// Arguments that the first evaluation cannot decide: exp(-2^-353) lies
// 2^-707 from a half-way point (one wide retry), log(1 - 2^-351) needs the
// second retry width.
void BM_expq_retry(benchmark::State &st)
{
    qfloat x, out;
    std::memset(&x, 0, sizeof x);
    x.sign = 0xFFFFFFFFu;
    x.exponent = 32768 - 352;
    x.mantissa[1] = 0x80000000u;
    for (auto _ : st) {
        _expq(&out, &x);
        benchmark::DoNotOptimize(out);
    }
}
void BM_logq_retry(benchmark::State &st)
{
    qfloat x, out;
    std::memset(&x, 0, sizeof x);
    x.exponent = 32768;
    for (int i = 1; i <= 11; i++)
        x.mantissa[i] = 0xFFFFFFFFu;
    x.mantissa[11] = 0xFFFFFFFEu;
    for (auto _ : st) {
        _logq(&out, &x);
        benchmark::DoNotOptimize(out);
    }
}

BENCHMARK(BM_expq_m320_0);
BENCHMARK(BM_mpfr_exp_m320_0);
BENCHMARK(BM_expq_m22710_0);
BENCHMARK(BM_mpfr_exp_m22710_0);
BENCHMARK(BM_logq_engine);
BENCHMARK(BM_mpfr_log_engine);
BENCHMARK(BM_logq_binades);
BENCHMARK(BM_mpfr_log_binades);
BENCHMARK(BM_expq_retry);
BENCHMARK(BM_logq_retry);

} // namespace

BENCHMARK_MAIN();
