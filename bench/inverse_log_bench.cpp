// SPDX-License-Identifier: MIT
// inverse_Zelq against Arb's quantile -sqrt(2) erfcinv(2p)
// (arb_hypgeom_erfcinv at 352 + 16 bits), with the moves of p and of the
// result between qfloat and Arb as engine_bench counts them and, as a second
// column, Arb's work alone; and log_Zelq against Zelq at engine_bench's
// points (for x > 0 also against Zelq(-x), the tail that ln(1 - Q) needs).
// Prints how far Arb's quantile lies from inverse_Zelq, then the two tables
// of times and ratios; with --counts, dumps callgrind counts per call
// instead (callgrind-counts.sh).
#include "bench_counts.h"
#include "normal.h"
#include "qf_mpfr.h" // exact qfloat <-> MPFR moves
#include "qfloat.h"
#include "ratio_table.h"

#include <arb.h>
#include <arb_hypgeom.h>
#include <benchmark/benchmark.h>
#include <mpfr.h>

#include <cstdio>
#include <string>
#include <vector>

namespace
{

const char *const kProbabilities[] = {"0.5000001", "0.4",    "0.1",     "1e-3",   "1e-10",
                                      "1e-50",     "1e-300", "1e-3000", "1e-9800"};
const char *const kPoints[] = {"-0.3", "-1",   "-3.1", "-7.2", "-20.25", "-24.999",
                               "-30",  "-100", "-213", "1",    "7.2"};
const long kPeerPrec = 352 + 16;

qfloat read(const char *text)
{
    qfloat q;
    _asctoq(text, &q);
    return q;
}

// Arb's quantile: p moved in, z = -sqrt(2) erfcinv(2p) (2p exact), z moved
// out; sqrt 2 is a constant of the caller, as Zelq's constants are.
struct ArbQuantile {
    arb_t p, z, sqrt2;
    mpfr_t m;
    ArbQuantile()
    {
        arb_init(p);
        arb_init(z);
        arb_init(sqrt2);
        arb_set_ui(sqrt2, 2);
        arb_sqrt(sqrt2, sqrt2, kPeerPrec);
        mpfr_init2(m, kPeerPrec);
    }
    ~ArbQuantile()
    {
        arb_clear(p);
        arb_clear(z);
        arb_clear(sqrt2);
        mpfr_clear(m);
        flint_cleanup();
    }
    ArbQuantile(const ArbQuantile &) = delete;
    ArbQuantile &operator=(const ArbQuantile &) = delete;
    void move_in(const qfloat *q)
    {
        qf_to_mpfr(m, q);
        arf_set_mpfr(arb_midref(p), m);
        mag_zero(arb_radref(p));
    }
    void work()
    {
        arb_mul_2exp_si(z, p, 1);
        arb_hypgeom_erfcinv(z, z, kPeerPrec);
        arb_mul(z, z, sqrt2, kPeerPrec);
        arb_neg(z, z);
    }
    void move_out(qfloat *out)
    {
        mpfr_set_prec(m, 352);
        arf_get_mpfr(m, arb_midref(z), MPFR_RNDN);
        mpfr_to_qf(out, m);
        mpfr_set_prec(m, kPeerPrec);
    }
    void run(qfloat *out, const qfloat *q)
    {
        move_in(q);
        work();
        move_out(out);
    }
};

void bench_inverse(benchmark::State &state, const char *text)
{
    qfloat p = read(text);
    for (auto _ : state) {
        benchmark::DoNotOptimize(p);
        qfloat z = inverse_Zelq(p);
        benchmark::DoNotOptimize(z);
    }
}

void bench_arb(benchmark::State &state, const char *text)
{
    ArbQuantile a;
    qfloat p = read(text), z;
    for (auto _ : state) {
        a.run(&z, &p);
        benchmark::DoNotOptimize(z);
    }
}

void bench_arb_work(benchmark::State &state, const char *text)
{
    ArbQuantile a;
    qfloat p = read(text);
    a.move_in(&p);
    for (auto _ : state) {
        a.work();
        benchmark::DoNotOptimize(a.z);
    }
}

// fn(x), or fn(-x) with negate
void bench_engine(benchmark::State &state, qfloat (*fn)(qfloat), const char *text, bool negate)
{
    qfloat x = read(text);
    if (negate)
        __op_minus_pqfloat(&x, &x);
    for (auto _ : state) {
        benchmark::DoNotOptimize(x);
        qfloat y = fn(x);
        benchmark::DoNotOptimize(y);
    }
}

// How far Arb's quantile, moved back to qfloat, lies from inverse_Zelq.
void check_agreement()
{
    ArbQuantile a;
    mpfr_t u, v;
    mpfr_inits2(kPeerPrec, u, v, (mpfr_ptr)0);
    std::printf("relative difference of Arb's quantile from inverse_Zelq:\n");
    for (const char *text : kProbabilities) {
        qfloat p = read(text), z = inverse_Zelq(p), za;
        a.run(&za, &p);
        qf_to_mpfr(u, &z);
        qf_to_mpfr(v, &za);
        mpfr_sub(v, v, u, MPFR_RNDN);
        mpfr_div(v, v, u, MPFR_RNDN);
        std::printf("  p = %-10s z = %-12.10g Arb %9.2e\n", text, mpfr_get_d(u, MPFR_RNDN),
                    mpfr_get_d(v, MPFR_RNDN));
    }
    mpfr_clears(u, v, (mpfr_ptr)0);
}

// Callgrind counts per call at every p and every x.
void count_all()
{
    ArbQuantile a;
    for (const char *text : kProbabilities) {
        qfloat p = read(text), z;
        count_calls("inverse", "Zelq", text, 4, [&](int) {
            benchmark::DoNotOptimize(p);
            z = inverse_Zelq(p);
            benchmark::DoNotOptimize(z);
        });
        count_calls("inverse", "Arb", text, 4, [&](int) { a.run(&z, &p); });
        a.move_in(&p);
        count_calls("inverse", "Arb_work", text, 4, [&](int) { a.work(); });
    }
    for (const char *text : kPoints) {
        qfloat x = read(text), mx = x, y;
        __op_minus_pqfloat(&mx, &mx);
        count_calls("log", "log_Zelq", text, 4, [&](int) {
            benchmark::DoNotOptimize(x);
            y = log_Zelq(x);
            benchmark::DoNotOptimize(y);
        });
        count_calls("log", "Zelq", text, 4, [&](int) {
            benchmark::DoNotOptimize(x);
            y = Zelq(x);
            benchmark::DoNotOptimize(y);
        });
        if (text[0] != '-')
            count_calls("log", "Zelq(-x)", text, 4, [&](int) {
                benchmark::DoNotOptimize(mx);
                y = Zelq(mx);
                benchmark::DoNotOptimize(y);
            });
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (counts_done_or_init(&argc, argv, count_all))
        return 0;
    check_agreement();
    std::vector<RatioRow> inverse_rows, log_rows;
    for (const char *p : kProbabilities) {
        std::string z = std::string("inverse_Zelq/") + p, a = std::string("Arb_erfcinv/") + p,
                    w = std::string("Arb_erfcinv_work/") + p;
        benchmark::RegisterBenchmark(z.c_str(), bench_inverse, p)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(a.c_str(), bench_arb, p)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(w.c_str(), bench_arb_work, p)->Unit(benchmark::kMicrosecond);
        inverse_rows.push_back({std::string("p = ") + p, {z, a, w}});
    }
    for (const char *x : kPoints) {
        std::string l = std::string("log_Zelq/") + x, z = std::string("Zelq/") + x;
        benchmark::RegisterBenchmark(l.c_str(), bench_engine, log_Zelq, x, false)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(z.c_str(), bench_engine, Zelq, x, false)->Unit(benchmark::kMicrosecond);
        RatioRow row{std::string("x = ") + x, {l, z}};
        if (x[0] != '-') {
            std::string m = std::string("Zelq_minus_x/") + x;
            benchmark::RegisterBenchmark(m.c_str(), bench_engine, Zelq, x, true)
                ->Unit(benchmark::kMicrosecond);
            row.names.push_back(m);
        }
        log_rows.push_back(row);
    }
    run_and_print_ratio_tables(
        {{"Phi^-1(p), CPU microseconds per call", {"Zelq", "Arb", "Arb work"}, inverse_rows, "us", 1e3},
         {"ln Phi(x) beside Phi(x), CPU microseconds per call",
          {"log", "Zelq(x)", "Zelq(-x)"},
          log_rows,
          "us",
          1e3}});
    return 0;
}
