// SPDX-License-Identifier: MIT
// What bounds a Taylor pass of the Mills ratio (the loop of
// src/normal/mills_ratio.cpp that cPhi runs): its loop-carried chain
// (pwr = (pwr * h) * h and sum = sum + term, each waiting for the pass
// before) or the work of its four multiplications, two additions and one
// comparison. Each row times the same operations twice: chained as cPhi runs
// them, and unchained, with what a pass carries to the next (pwr, sum) taken
// from fixed values instead, so that no pass waits for the one before. Ratio
// chained ÷ unchained near 1: the work bounds the pass, and a shorter chain
// would gain nothing; the rows for one multiplication and one addition show
// how much a chain costs where it does bind.
#include "mills_taylor_tables.h"
#include "normal_constants.h"
#include "qf_value_ops.h"
#include "qfloat.h"
#include "ratio_table.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace
{

// x = -0.3 expands from z = 1 with h = 0.3 - 1, the longest common case.
struct Pass {
    qfloat h, a0 = MillsRatio_v[1], b0 = MillsTaylor_b0[1];
    const mills_taylor_pair *pairs = &MillsTaylor_pairs[MillsTaylor_first[1]];
    int passes = MillsTaylor_passes[1];
    Pass()
    {
        qfloat x;
        _asctoq("0.3", &x);
        h = q_sub(x, qf_one);
    }
};

void pass_chained(benchmark::State &state)
{
    Pass p;
    qfloat pwr = qf_one, sum = p.a0;
    int k = 0;
    for (auto _ : state) {
        const mills_taylor_pair &c = p.pairs[k];
        q_mul_to(&pwr, pwr, p.h);
        q_mul_to(&pwr, pwr, p.h);
        qfloat term;
        q_mul_to(&term, p.h, c.b);
        q_add_to(&term, c.a, term);
        q_mul_to(&term, pwr, term);
        qfloat before = sum;
        q_add_to(&sum, sum, term);
        benchmark::DoNotOptimize(q_eq(sum, before));
        if (++k == p.passes) {
            k = 0;
            pwr = qf_one;
            sum = p.a0;
        }
    }
}

void pass_unchained(benchmark::State &state)
{
    Pass p;
    const qfloat pwr = p.h, sum = p.a0;
    int k = 0;
    for (auto _ : state) {
        const mills_taylor_pair &c = p.pairs[k];
        qfloat pwr1, pwr2, term, next;
        q_mul_to(&pwr1, pwr, p.h);
        q_mul_to(&pwr2, pwr, p.h);
        q_mul_to(&term, p.h, c.b);
        q_add_to(&term, c.a, term);
        q_mul_to(&term, pwr2, term);
        q_add_to(&next, sum, term);
        benchmark::DoNotOptimize(pwr1);
        benchmark::DoNotOptimize(q_eq(next, sum));
        if (++k == p.passes)
            k = 0;
    }
}

void mul_chained(benchmark::State &state)
{
    Pass p;
    qfloat x = qf_one;
    int k = 0;
    for (auto _ : state) {
        q_mul_to(&x, x, p.h);
        if (++k == 256) { // 0.7^256: far from underflow
            k = 0;
            x = qf_one;
        }
    }
    benchmark::DoNotOptimize(x);
}

void mul_unchained(benchmark::State &state)
{
    Pass p;
    qfloat x;
    for (auto _ : state) {
        q_mul_to(&x, p.a0, p.h);
        benchmark::DoNotOptimize(x);
    }
}

void add_chained(benchmark::State &state)
{
    Pass p;
    qfloat x = p.a0, minus_b0 = q_neg(p.b0);
    for (auto _ : state) {
        q_add_to(&x, x, p.b0);
        q_add_to(&x, x, minus_b0);
    }
    benchmark::DoNotOptimize(x);
}

void add_unchained(benchmark::State &state)
{
    Pass p;
    qfloat x, y, minus_b0 = q_neg(p.b0);
    for (auto _ : state) {
        q_add_to(&x, p.a0, p.b0);
        q_add_to(&y, p.a0, minus_b0);
        benchmark::DoNotOptimize(x);
        benchmark::DoNotOptimize(y);
    }
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    std::vector<RatioRow> rows;
    const struct {
        const char *name;
        void (*chained)(benchmark::State &);
        void (*unchained)(benchmark::State &);
    } kRows[] = {
        {"pass", pass_chained, pass_unchained},
        {"mul", mul_chained, mul_unchained},
        {"2 add", add_chained, add_unchained},
    };
    for (const auto &r : kRows) {
        std::string c = std::string("chained/") + r.name, u = std::string("unchained/") + r.name;
        benchmark::RegisterBenchmark(c.c_str(), r.chained);
        benchmark::RegisterBenchmark(u.c_str(), r.unchained);
        rows.push_back({r.name, {c, u}});
    }
    run_and_print_ratios("A Taylor pass of Phi(-0.3) and its operations, CPU ns", {"chained", "unchained"},
                         rows, "ns", 1, "chained/unchained near 1: the work, not the chain, sets the time");
    return 0;
}
