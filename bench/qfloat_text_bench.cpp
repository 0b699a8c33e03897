// SPDX-License-Identifier: MIT
// Decimal text conversions beside MPFR at the same precision: reading a
// 110-digit text (mpfr_set_str, 352 bits) and writing 115 digits
// (mpfr_get_str into a caller buffer). Prints the ratio table qfloat ÷ MPFR.
#include "qfloat.h"
#include "ratio_table.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <mpfr.h>
#include <random>
#include <string>
#include <vector>

namespace
{

const int kTexts = 64;

// 110-digit texts of the kind the engine exchanges: mostly in (0, 1), some
// scaled far out.
std::vector<std::string> texts()
{
    std::mt19937_64 g(12345);
    std::vector<std::string> v;
    for (int i = 0; i < kTexts; i++) {
        std::string s = "0.";
        s += (char)('1' + g() % 9);
        for (int k = 1; k < 110; k++)
            s += (char)('0' + g() % 10);
        int e = i % 4 == 0 ? (int)(g() % 600) - 300 : -(int)(g() % 40);
        s += 'e';
        s += std::to_string(e);
        v.push_back(s);
    }
    return v;
}

void read_qfloat(benchmark::State &st)
{
    auto t = texts();
    qfloat q;
    size_t i = 0;
    for (auto _ : st) {
        _asctoq(t[i++ % kTexts].c_str(), &q);
        benchmark::DoNotOptimize(q);
    }
}
BENCHMARK(read_qfloat);

void read_mpfr(benchmark::State &st)
{
    auto t = texts();
    mpfr_t x;
    mpfr_init2(x, 352);
    size_t i = 0;
    for (auto _ : st) {
        mpfr_set_str(x, t[i++ % kTexts].c_str(), 10, MPFR_RNDN);
        benchmark::DoNotOptimize(x);
    }
    mpfr_clear(x);
}
BENCHMARK(read_mpfr);

// Room for exactly 115 significant digits of q: sign, point, "e", exponent.
int room_for_115(const qfloat &q)
{
    char b[200];
    _qtoasc(&q, b, 200);
    const char *e = std::strchr(b, 'e');
    return 115 + (b[0] == '-') + 1 + (int)std::strlen(e) + 1;
}

void write_qfloat(benchmark::State &st)
{
    auto t = texts();
    std::vector<qfloat> q(kTexts);
    std::vector<int> room(kTexts);
    for (int i = 0; i < kTexts; i++) {
        _asctoq(t[i].c_str(), &q[i]);
        room[i] = room_for_115(q[i]);
    }
    char buf[200];
    size_t i = 0;
    for (auto _ : st) {
        size_t k = i++ % kTexts;
        _qtoasc(&q[k], buf, room[k]);
        benchmark::DoNotOptimize(buf);
    }
}
BENCHMARK(write_qfloat);

void write_mpfr(benchmark::State &st)
{
    auto t = texts();
    std::vector<mpfr_t> x(kTexts);
    for (int i = 0; i < kTexts; i++) {
        mpfr_init2(x[i], 352);
        mpfr_set_str(x[i], t[i].c_str(), 10, MPFR_RNDN);
    }
    char buf[200];
    mpfr_exp_t e;
    size_t i = 0;
    for (auto _ : st) {
        mpfr_get_str(buf, &e, 10, 115, x[i++ % kTexts], MPFR_RNDN);
        benchmark::DoNotOptimize(buf);
    }
    for (auto &v : x)
        mpfr_clear(v);
}
BENCHMARK(write_mpfr);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter rep;
    benchmark::RunSpecifiedBenchmarks(&rep);
    std::printf("\nText conversions, CPU ns (%d-bit build); qfloat/MPFR below 1: qfloat is faster\n",
                (int)(8 * sizeof(void *)));
    print_ratio_table(rep, {"qfloat", "MPFR"},
                      {{"read 110 digits", {"read_qfloat", "read_mpfr"}},
                       {"write 115 digits", {"write_qfloat", "write_mpfr"}}},
                      "ns", 1);
    benchmark::Shutdown();
    return 0;
}
