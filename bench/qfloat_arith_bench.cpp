// SPDX-License-Identifier: MIT
// + - x / beside mpfr_add/sub/mul/div at 352 bits on the same operands:
// full-width random significands, and the engine's small-integer operands
// (2, 25, 199, 400) held in a qfloat / a 352-bit mpfr_t. Prints the ratio
// table qfloat ÷ MPFR; with --counts, dumps callgrind counts per operation
// over the whole operand pool instead (callgrind-counts.sh).
#include "bench_counts.h"
#include "qfloat.h"
#include "ratio_table.h"

#include <benchmark/benchmark.h>
#include <mpfr.h>

#include <random>
#include <string>
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

using QOp = void (*)(qfloat *, const qfloat *, const qfloat *);
using MOp = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_srcptr, mpfr_rnd_t);

// Both sides call through a function pointer, so the call cost is alike.
void BM_qfloat(benchmark::State &state, QOp op, Shape shape)
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

void BM_mpfr(benchmark::State &state, MOp op, Shape shape)
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

const struct Op {
    const char *name;
    QOp q;
    MOp m;
    Shape shape;
} kOps[] = {
    {"add", __op_plus_pqfloat_pqfloat, mpfr_add, kFull},
    {"sub", __op_minus_pqfloat_pqfloat, mpfr_sub, kFull},
    {"mul", __op_multiply_pqfloat_pqfloat, mpfr_mul, kFull},
    {"div", __op_divide_pqfloat_pqfloat, mpfr_div, kFull},
    {"add_int", __op_plus_pqfloat_pqfloat, mpfr_add, kSmallInt},
    {"mul_int", __op_multiply_pqfloat_pqfloat, mpfr_mul, kSmallInt},
    {"div_int", __op_divide_pqfloat_pqfloat, mpfr_div, kSmallInt},
};

// Callgrind counts of each operation, averaged over the whole pool.
void count_all()
{
    for (const Op &op : kOps) {
        Pairs p(op.shape, 42);
        qfloat qo;
        mpfr_t mo;
        mpfr_init2(mo, 352);
        count_calls("op", "qfloat", op.name, kPool, [&](int i) {
            op.q(&qo, &p.qa[i], &p.qb[i]);
            benchmark::DoNotOptimize(qo);
        });
        count_calls("op", "MPFR", op.name, kPool, [&](int i) {
            op.m(mo, &p.ma[i], &p.mb[i], MPFR_RNDN);
            benchmark::DoNotOptimize(mo);
        });
        mpfr_clear(mo);
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (counts_done_or_init(&argc, argv, count_all))
        return 0;
    std::vector<RatioRow> rows;
    for (const Op &op : kOps) {
        std::string q = std::string("qfloat/") + op.name, m = std::string("MPFR/") + op.name;
        benchmark::RegisterBenchmark(q.c_str(), BM_qfloat, op.q, op.shape);
        benchmark::RegisterBenchmark(m.c_str(), BM_mpfr, op.m, op.shape);
        rows.push_back({op.name, {q, m}});
    }
    run_and_print_ratios("One operation at 352 bits, CPU ns", {"qfloat", "MPFR"}, rows, "ns", 1);
    return 0;
}
