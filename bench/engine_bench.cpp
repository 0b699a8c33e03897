// SPDX-License-Identifier: MIT
// Zelq against Phi from MPFR (mpfr_erfc) and from Arb (arb_hypgeom_erfc) at
// 352 + 32 bits, each including the moves of x and of the result between
// qfloat and the peer's type; and against Arb called the leanest way a user
// would, at 352 + 4 bits on its own balls with no move at all (Arb356).
// Prints a table of the times and their ratios; with --counts, dumps
// callgrind counts per call instead (callgrind-counts.sh).
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

const char *const kPoints[] = {"-0.3", "-1",   "-3.1", "-7.2", "-20.25", "-24.999",
                               "-30",  "-100", "-213", "1",    "7.2"};
const long kPeerPrec = 352 + 32;
// A few guard bits, as a caller who wants 352 correct bits out of a ball
// would ask for: the lean peer's precision.
const long kLeanPrec = 352 + 4;

qfloat read(const char *text)
{
    qfloat q;
    _asctoq(text, &q);
    return q;
}

void bench_zelq(benchmark::State &state, const char *text)
{
    qfloat x = read(text);
    for (auto _ : state) {
        benchmark::DoNotOptimize(x);
        qfloat y = Zelq(x);
        benchmark::DoNotOptimize(y);
    }
}

// Phi(x) = erfc(-x/sqrt 2)/2; 1/sqrt 2 is a constant of the caller, as
// Zelq's constants are.
void mpfr_phi(qfloat *out, const qfloat *x, mpfr_t t, mpfr_t r, const mpfr_t rsqrt2)
{
    qf_to_mpfr(t, x);
    mpfr_mul(t, t, rsqrt2, MPFR_RNDN);
    mpfr_neg(t, t, MPFR_RNDN);
    mpfr_erfc(r, t, MPFR_RNDN);
    mpfr_div_2ui(r, r, 1, MPFR_RNDN);
    mpfr_prec_round(r, 352, MPFR_RNDN);
    mpfr_to_qf(out, r);
    mpfr_set_prec(r, kPeerPrec);
}

void bench_mpfr(benchmark::State &state, const char *text)
{
    qfloat x = read(text), y;
    mpfr_t t, r, rsqrt2;
    mpfr_inits2(kPeerPrec, t, r, rsqrt2, (mpfr_ptr)0);
    mpfr_sqrt_ui(rsqrt2, 2, MPFR_RNDN);
    mpfr_ui_div(rsqrt2, 1, rsqrt2, MPFR_RNDN);
    for (auto _ : state) {
        mpfr_phi(&y, &x, t, r, rsqrt2);
        benchmark::DoNotOptimize(y);
    }
    mpfr_clears(t, r, rsqrt2, (mpfr_ptr)0);
}

void arb_phi(qfloat *out, const qfloat *x, mpfr_t m, arb_t t, arb_t r, const arb_t rsqrt2)
{
    qf_to_mpfr(m, x);
    arf_set_mpfr(arb_midref(t), m);
    mag_zero(arb_radref(t));
    arb_mul(t, t, rsqrt2, kPeerPrec);
    arb_neg(t, t);
    arb_hypgeom_erfc(r, t, kPeerPrec);
    arb_mul_2exp_si(r, r, -1);
    mpfr_set_prec(m, 352);
    arf_get_mpfr(m, arb_midref(r), MPFR_RNDN);
    mpfr_to_qf(out, m);
    mpfr_set_prec(m, kPeerPrec);
}

// Phi(x) = erfc(-x/sqrt 2)/2 on Arb's own balls at kLeanPrec: x stays a ball
// and so does the result, as in a program that works in Arb throughout.
struct ArbLean {
    arb_t x, t, r, rsqrt2;
    explicit ArbLean(const char *text)
    {
        qfloat q = read(text);
        mpfr_t m;
        mpfr_init2(m, 352);
        qf_to_mpfr(m, &q);
        arb_init(x);
        arb_init(t);
        arb_init(r);
        arb_init(rsqrt2);
        arf_set_mpfr(arb_midref(x), m);
        mpfr_clear(m);
        arb_set_ui(rsqrt2, 2);
        arb_rsqrt(rsqrt2, rsqrt2, kLeanPrec);
    }
    ~ArbLean()
    {
        arb_clear(x);
        arb_clear(t);
        arb_clear(r);
        arb_clear(rsqrt2);
    }
    ArbLean(const ArbLean &) = delete;
    ArbLean &operator=(const ArbLean &) = delete;
    void phi()
    {
        arb_mul(t, x, rsqrt2, kLeanPrec);
        arb_neg(t, t);
        arb_hypgeom_erfc(r, t, kLeanPrec);
        arb_mul_2exp_si(r, r, -1);
    }
};

void bench_arb_lean(benchmark::State &state, const char *text)
{
    {
        ArbLean a(text);
        for (auto _ : state) {
            a.phi();
            benchmark::DoNotOptimize(a.r);
        }
    }
    flint_cleanup();
}

// The peers' working values at kPeerPrec and their constant 1/sqrt 2, for
// the agreement check and the counts (the timed benchmarks keep their own).
struct Peers {
    mpfr_t t, r, rsqrt2, m;
    arb_t at, ar, as;
    Peers()
    {
        mpfr_inits2(kPeerPrec, t, r, rsqrt2, m, (mpfr_ptr)0);
        mpfr_sqrt_ui(rsqrt2, 2, MPFR_RNDN);
        mpfr_ui_div(rsqrt2, 1, rsqrt2, MPFR_RNDN);
        arb_init(at);
        arb_init(ar);
        arb_init(as);
        arb_set_ui(as, 2);
        arb_rsqrt(as, as, kPeerPrec);
    }
    ~Peers()
    {
        arb_clear(at);
        arb_clear(ar);
        arb_clear(as);
        mpfr_clears(t, r, rsqrt2, m, (mpfr_ptr)0);
        flint_cleanup();
    }
    Peers(const Peers &) = delete;
    Peers &operator=(const Peers &) = delete;
};

void bench_arb(benchmark::State &state, const char *text)
{
    qfloat x = read(text), y;
    mpfr_t m;
    mpfr_init2(m, kPeerPrec);
    arb_t t, r, rsqrt2;
    arb_init(t);
    arb_init(r);
    arb_init(rsqrt2);
    arb_set_ui(rsqrt2, 2);
    arb_rsqrt(rsqrt2, rsqrt2, kPeerPrec);
    for (auto _ : state) {
        arb_phi(&y, &x, m, t, r, rsqrt2);
        benchmark::DoNotOptimize(y);
    }
    arb_clear(t);
    arb_clear(r);
    arb_clear(rsqrt2);
    mpfr_clear(m);
    flint_cleanup();
}

// The three results agree: the peers compute the same Phi.
void check_agreement()
{
    Peers p;
    mpfr_t a, b;
    mpfr_inits2(kPeerPrec, a, b, (mpfr_ptr)0);
    std::printf("relative differences of the peers from Zelq:\n");
    for (const char *text : kPoints) {
        qfloat x = read(text), z = Zelq(x), ym, ya;
        mpfr_phi(&ym, &x, p.t, p.r, p.rsqrt2);
        arb_phi(&ya, &x, p.m, p.at, p.ar, p.as);
        qf_to_mpfr(a, &z);
        qf_to_mpfr(b, &ym);
        mpfr_sub(b, b, a, MPFR_RNDN);
        mpfr_div(b, b, a, MPFR_RNDN);
        double dm = mpfr_get_d(b, MPFR_RNDN);
        qf_to_mpfr(b, &ya);
        mpfr_sub(b, b, a, MPFR_RNDN);
        mpfr_div(b, b, a, MPFR_RNDN);
        std::printf("  x = %-8s MPFR %9.2e  Arb %9.2e\n", text, dm, mpfr_get_d(b, MPFR_RNDN));
    }
    mpfr_clears(a, b, (mpfr_ptr)0);
}

// Callgrind counts per call of the three at every point of the grid.
void count_all()
{
    Peers p;
    for (const char *text : kPoints) {
        qfloat x = read(text), y;
        count_calls("phi", "Zelq", text, 4, [&](int) {
            benchmark::DoNotOptimize(x);
            y = Zelq(x);
            benchmark::DoNotOptimize(y);
        });
        count_calls("phi", "Arb", text, 4, [&](int) { arb_phi(&y, &x, p.m, p.at, p.ar, p.as); });
        count_calls("phi", "MPFR", text, 2, [&](int) { mpfr_phi(&y, &x, p.t, p.r, p.rsqrt2); });
        ArbLean lean(text);
        count_calls("phi", "Arb356", text, 4, [&](int) { lean.phi(); });
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (counts_done_or_init(&argc, argv, count_all))
        return 0;
    check_agreement();
    std::vector<RatioRow> rows;
    for (const char *p : kPoints) {
        std::string z = std::string("Zelq/") + p, m = std::string("MPFR_erfc/") + p,
                    a = std::string("Arb_erfc/") + p, l = std::string("Arb356_erfc/") + p;
        benchmark::RegisterBenchmark(z.c_str(), bench_zelq, p)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(m.c_str(), bench_mpfr, p)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(a.c_str(), bench_arb, p)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(l.c_str(), bench_arb_lean, p)->Unit(benchmark::kMicrosecond);
        rows.push_back({std::string("x = ") + p, {z, m, a, l}});
    }
    run_and_print_ratios("Phi(x), CPU microseconds per call", {"Zelq", "MPFR", "Arb", "Arb356"}, rows, "us",
                         1e3);
    return 0;
}
