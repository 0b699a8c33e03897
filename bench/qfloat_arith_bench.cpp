// + - x / beside mpfr_add/sub/mul/div at 352 bits on the same operands:
// full-width random significands, and the engine's small-integer operands
// (2, 25, 199, 400) held in a qfloat / a 352-bit mpfr_t.
#include "qfloat.h"

#include <benchmark/benchmark.h>
#include <mpfr.h>

#include <random>
#include <vector>

namespace
{

constexpr int kPool = 256;

enum Shape { kFull, kSmallInt };

// kPool operand pairs in both representations; b is either a full random
// value or a small integer.
struct Pairs {
    std::vector<qfloat> qa, qb;
    std::vector<__mpfr_struct> ma, mb;
    Pairs(Shape shape, unsigned seed)
    {
        std::mt19937_64 rng(seed);
        qa.resize(kPool);
        qb.resize(kPool);
        ma.resize(kPool);
        mb.resize(kPool);
        const int ints[] = {2, 25, 199, 400, 3, 17, 100, 57};
        for (int i = 0; i < kPool; i++) {
            mpfr_init2(&ma[i], 352);
            mpfr_init2(&mb[i], 352);
            random_value(rng, &ma[i]);
            if (shape == kSmallInt)
                mpfr_set_si(&mb[i], ints[i % 8], MPFR_RNDN);
            else
                random_value(rng, &mb[i]);
            to_qfloat(&ma[i], &qa[i]);
            to_qfloat(&mb[i], &qb[i]);
        }
    }
    ~Pairs()
    {
        for (int i = 0; i < kPool; i++) {
            mpfr_clear(&ma[i]);
            mpfr_clear(&mb[i]);
        }
    }
    // 352 random bits, sign random, exponent within a few binades of 1.
    static void random_value(std::mt19937_64 &rng, mpfr_ptr x)
    {
        mpfr_set_ui(x, 0, MPFR_RNDN);
        for (int k = 0; k < 6; k++) {
            mpfr_mul_2ui(x, x, 64, MPFR_RNDN);
            mpfr_add_ui(x, x, (unsigned long)rng(), MPFR_RNDN);
        }
        mpfr_mul_2si(x, x, -384 + (long)(rng() % 9) - 4, MPFR_RNDN);
        if (rng() & 1)
            mpfr_neg(x, x, MPFR_RNDN);
    }
    // Exact for any normal 352-bit value.
    static void to_qfloat(mpfr_srcptr x, qfloat *q)
    {
        *q = qfloat{};
        q->sign = mpfr_signbit(x) ? 0xFFFFFFFFu : 0u;
        q->exponent = (uint32_t)(mpfr_get_exp(x) + 32768);
        mpfr_t t;
        mpfr_init2(t, 352);
        mpfr_abs(t, x, MPFR_RNDN);
        mpfr_set_exp(t, 352);
        mpz_t z;
        mpz_init(z);
        mpfr_get_z(z, t, MPFR_RNDN);
        size_t count = 0;
        mpz_export(q->mantissa + 1, &count, 1, sizeof(uint32_t), 0, 0, z);
        mpz_clear(z);
        mpfr_clear(t);
    }
};

// Both sides call through a function pointer, so the call cost is alike.
void BM_qfloat(benchmark::State &state, void (*op)(qfloat *, const qfloat *, const qfloat *), Shape shape)
{
    Pairs p(shape, 42);
    qfloat out;
    int i = 0;
    for (auto _ : state) {
        op(&out, &p.qa[i], &p.qb[i]);
        benchmark::DoNotOptimize(out);
        i = (i + 1) & (kPool - 1);
    }
}

void BM_mpfr(benchmark::State &state, int (*op)(mpfr_ptr, mpfr_srcptr, mpfr_srcptr, mpfr_rnd_t), Shape shape)
{
    Pairs p(shape, 42);
    mpfr_t out;
    mpfr_init2(out, 352);
    int i = 0;
    for (auto _ : state) {
        op(out, &p.ma[i], &p.mb[i], MPFR_RNDN);
        benchmark::DoNotOptimize(out);
        i = (i + 1) & (kPool - 1);
    }
    mpfr_clear(out);
}

BENCHMARK_CAPTURE(BM_qfloat, add, __op_plus_pqfloat_pqfloat, kFull);
BENCHMARK_CAPTURE(BM_mpfr, add, mpfr_add, kFull);
BENCHMARK_CAPTURE(BM_qfloat, sub, __op_minus_pqfloat_pqfloat, kFull);
BENCHMARK_CAPTURE(BM_mpfr, sub, mpfr_sub, kFull);
BENCHMARK_CAPTURE(BM_qfloat, mul, __op_multiply_pqfloat_pqfloat, kFull);
BENCHMARK_CAPTURE(BM_mpfr, mul, mpfr_mul, kFull);
BENCHMARK_CAPTURE(BM_qfloat, div, __op_divide_pqfloat_pqfloat, kFull);
BENCHMARK_CAPTURE(BM_mpfr, div, mpfr_div, kFull);
BENCHMARK_CAPTURE(BM_qfloat, add_int, __op_plus_pqfloat_pqfloat, kSmallInt);
BENCHMARK_CAPTURE(BM_mpfr, add_int, mpfr_add, kSmallInt);
BENCHMARK_CAPTURE(BM_qfloat, mul_int, __op_multiply_pqfloat_pqfloat, kSmallInt);
BENCHMARK_CAPTURE(BM_mpfr, mul_int, mpfr_mul, kSmallInt);
BENCHMARK_CAPTURE(BM_qfloat, div_int, __op_divide_pqfloat_pqfloat, kSmallInt);
BENCHMARK_CAPTURE(BM_mpfr, div_int, mpfr_div, kSmallInt);

} // namespace

BENCHMARK_MAIN();
