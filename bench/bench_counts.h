// SPDX-License-Identifier: MIT
// Counting mode of the bench programs, read by bench/callgrind-counts.sh.
// With --counts a program skips the timings and, for each case, makes one
// call to warm it (the peers fill caches on a first call), then n calls
// between a callgrind zero and a dump labelled "group|who|case|n": each
// dump's total is the instructions of exactly those n calls. Outside
// valgrind the client requests are a few no-op instructions.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define BENCH_HAVE_CALLGRIND 1
#else
#define BENCH_HAVE_CALLGRIND 0
#define CALLGRIND_ZERO_STATS
#define CALLGRIND_DUMP_STATS_AT(label) (void)(label)
#endif

// True when the arguments ask for the counting mode (--counts).
inline bool counts_mode(int argc, char **argv)
{
    for (int i = 1; i < argc; i++)
        if (std::strcmp(argv[i], "--counts") == 0) {
            if (!BENCH_HAVE_CALLGRIND)
                std::fprintf(stderr, "built without valgrind/callgrind.h: --counts measures nothing\n");
            return true;
        }
    return false;
}

// The start of a bench program: with --counts, runs count_all and returns
// true (the program is done); otherwise hands the arguments to Google
// Benchmark and returns false.
inline bool counts_done_or_init(int *argc, char **argv, void (*count_all)())
{
    if (counts_mode(*argc, argv)) {
        count_all();
        return true;
    }
    benchmark::Initialize(argc, argv);
    return false;
}

// Warms call(0), then dumps the callgrind counts of call(0) .. call(n - 1)
// under the label group|who|what|n. call(i) may pick its operands by i.
template <class Call>
void count_calls(const char *group, const char *who, const char *what, int n, Call &&call)
{
    char label[160];
    std::snprintf(label, sizeof label, "%s|%s|%s|%d", group, who, what, n);
    call(0);
    CALLGRIND_ZERO_STATS;
    for (int i = 0; i < n; i++)
        call(i);
    CALLGRIND_DUMP_STATS_AT(label);
}
