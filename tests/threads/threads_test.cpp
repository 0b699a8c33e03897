// SPDX-License-Identifier: MIT
// Every entry called from 8 threads at once, each with its own buffers, on a
// mix of arguments that reaches every method of the engine. Each result must
// be bit-identical to the one the same call gave on a single thread first.
//
// Calls per thread: 100000, or ZELQ_THREAD_CALLS from the environment. Under
// ThreadSanitizer, which slows every memory access, the default is 2000 (the
// races it looks for show up in far fewer calls), and under AddressSanitizer
// 20000.
#include "zelq.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#if defined(__SANITIZE_THREAD__)
#define ZELQ_UNDER_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ZELQ_UNDER_TSAN 1
#endif
#endif
#ifndef ZELQ_UNDER_TSAN
#define ZELQ_UNDER_TSAN 0
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ZELQ_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZELQ_UNDER_ASAN 1
#endif
#endif
#ifndef ZELQ_UNDER_ASAN
#define ZELQ_UNDER_ASAN 0
#endif

namespace
{

enum entry_kind { MAPLE, FOO, PROBE, EXCEL, INVERSE, INVERSE_LOG, LOG, INVERSE_WIDE, LOG_WIDE };

struct call_case {
    entry_kind kind;
    std::string x;
    int n; // L for the 8-bit entries, max_iter for the probe
};

struct call_result {
    int ret;
    std::vector<uint8_t> out; // the whole output buffer after the call
};

long calls_per_thread()
{
    if (const char *s = std::getenv("ZELQ_THREAD_CALLS"))
        return std::atol(s);
    return ZELQ_UNDER_TSAN ? 2000 : ZELQ_UNDER_ASAN ? 20000 : 100000;
}

std::vector<call_case> make_cases()
{
    // Arguments for cPhi at both signs, the asymptotic range, the cut-offs,
    // the text extremes and unreadable text.
    const char *xs[] = {"-1",    "1",      "0",      "-1.5",   "-0.001", "2.75",  "-12.5",  "22.9", "-24.99",
                        "-25.5", "-30",    "30",     "-45.25", "-100",   "-213",  "-300",   "nan",  "junk",
                        "1e-50", "-7.777", "18.125", "-inf",   "",       "  -3 ", "-140.5", "5e-1"};
    const int maple_lengths[] = {115, 200, 30, 10, 0, 114};
    const int foo_lengths[] = {115, 40, 0, 7};
    std::vector<call_case> cases;
    int i = 0;
    for (const char *x : xs) {
        cases.push_back({MAPLE, x, maple_lengths[i % 6]});
        cases.push_back({FOO, x, foo_lengths[i % 4]});
        cases.push_back({EXCEL, x, 0});
        i++;
    }
    const struct {
        const char *x;
        int max_iter;
    } probes[] = {{"30", 400}, {"-30", 400}, {"100", 400}, {"25", 400}, {"1", 10},
                  {"30", 2},   {"30", -5},   {"213", 400}, {"junk", 5}, {"-60", 100}};
    for (auto p : probes)
        cases.push_back({PROBE, p.x, p.max_iter});
    // The inverse and log entries over their methods (n: the upper-tail flag).
    const char *ps[] = {"0.5000001", "0.3",       "0.1",  "1e-5", "1e-300",
                        "1e-5000",   "1e-100000", "0.99", "2",    "junk"};
    const char *Ls[] = {"-1e12", "-2000", "-3", "-0.5", "-1e-30", "0", "1"};
    const char *logs[] = {"-1e6", "-40", "-2", "0.1", "3", "30", "213.9"};
    i = 0;
    for (const char *p : ps) {
        cases.push_back({INVERSE, p, i % 2});
        cases.push_back({INVERSE_WIDE, p, ++i % 2});
    }
    for (const char *L : Ls)
        cases.push_back({INVERSE_LOG, L, ++i % 2});
    for (const char *x : logs) {
        cases.push_back({LOG, x, i % 2});
        cases.push_back({LOG_WIDE, x, ++i % 2});
    }
    return cases;
}

call_result run(const call_case &c)
{
    call_result r;
    std::string x = c.x;
    switch (c.kind) {
    case MAPLE:
    case FOO: {
        std::string y(c.n, ' ');
        r.ret = c.kind == MAPLE ? str_Zelq_str_Maple(x.data(), y.data()) : foo(x.data(), y.data());
        r.out.assign(y.begin(), y.end());
        break;
    }
    case PROBE: r.ret = asymptSeries_length(x.data(), c.n); break;
    case INVERSE:
    case INVERSE_LOG:
    case LOG: {
        std::string y(115, ' ');
        r.ret = c.kind == INVERSE       ? ndtri_Maple(x.data(), y.data(), c.n)
                : c.kind == INVERSE_LOG ? ndtri_exp_Maple(x.data(), y.data(), c.n)
                                        : log_ndtr_Maple(x.data(), y.data(), c.n);
        r.out.assign(y.begin(), y.end());
        break;
    }
    case EXCEL:
    case INVERSE_WIDE:
    case LOG_WIDE: {
        std::vector<uint16_t> in(x.begin(), x.end()), out(120, u' ');
        in.reserve(1);
        char *a = (char *)in.data(), *b = (char *)out.data();
        unsigned len = (unsigned)x.size();
        r.ret = c.kind == EXCEL          ? str_Zelq_str_Excel(a, b, len)
                : c.kind == INVERSE_WIDE ? ndtri_Excel(a, b, len, c.n)
                                         : log_ndtr_Excel(a, b, len, c.n);
        r.out.resize(out.size() * 2);
        std::memcpy(r.out.data(), out.data(), r.out.size());
        break;
    }
    }
    return r;
}

struct thread_report {
    long calls = 0;
    long mismatches = 0;
    size_t first_bad = SIZE_MAX;
};

TEST(Threads, EveryEntryGivesTheSameBitsOnEightThreads)
{
    const std::vector<call_case> cases = make_cases();
    std::vector<call_result> expected;
    for (const call_case &c : cases)
        expected.push_back(run(c));

    const long n = calls_per_thread();
    const int nthreads = 8;
    std::printf("%d threads x %ld calls over %zu cases\n", nthreads, n, cases.size());
    std::vector<thread_report> reports(nthreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < nthreads; t++) {
        threads.emplace_back([&, t] {
            thread_report &rep = reports[t];
            // Each thread starts elsewhere in the cases, so that different
            // entries and methods overlap in time.
            for (long i = 0; i < n; i++) {
                size_t k = ((size_t)t * cases.size() / nthreads + (size_t)i) % cases.size();
                call_result r = run(cases[k]);
                rep.calls++;
                if (r.ret != expected[k].ret || r.out != expected[k].out) {
                    if (rep.mismatches++ == 0)
                        rep.first_bad = k;
                }
            }
        });
    }
    for (std::thread &th : threads)
        th.join();

    for (int t = 0; t < nthreads; t++) {
        EXPECT_EQ(reports[t].calls, n);
        EXPECT_EQ(reports[t].mismatches, 0)
            << "thread " << t << ", first differing case: entry " << (int)cases[reports[t].first_bad].kind
            << ", x = \"" << cases[reports[t].first_bad].x << "\", n = " << cases[reports[t].first_bad].n;
    }
}

TEST(Threads, LibMainFromManyThreads)
{
    std::vector<std::thread> threads;
    std::vector<int> bad(8, 0);
    for (int t = 0; t < 8; t++)
        threads.emplace_back([&, t] {
            for (unsigned i = 0; i < 1000; i++)
                bad[t] += LibMain(nullptr, i % 8, nullptr) != 1;
        });
    for (std::thread &th : threads)
        th.join();
    for (int t = 0; t < 8; t++)
        EXPECT_EQ(bad[t], 0);
}

} // namespace
