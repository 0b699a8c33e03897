// SPDX-License-Identifier: MIT
// Counts the heap calls each entry makes. malloc, calloc, realloc, free and
// the aligned variants are replaced in this program by wrappers that forward
// to glibc's allocator and count while a window is open. The 8-bit entries,
// the probe and foo must make no call at all; the 16-bit Phi entry exactly one
// calloc and one free; and when calloc fails, the 16-bit entry must write the
// empty result and return 0. The inverse and log entries make none in either
// width, but for a 16-bit argument too long for the stack (one block then).
#include "zelq.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
void *__libc_malloc(size_t);
void *__libc_calloc(size_t, size_t);
void *__libc_realloc(void *, size_t);
void *__libc_memalign(size_t, size_t);
void __libc_free(void *);
}

namespace
{

struct heap_counts {
    std::atomic<int> malloc_calls, calloc_calls, realloc_calls, aligned_calls, free_calls;
};

std::atomic<bool> counting{false};
std::atomic<bool> fail_calloc{false};
heap_counts counts;

void reset_counts()
{
    counts.malloc_calls = counts.calloc_calls = counts.realloc_calls = 0;
    counts.aligned_calls = counts.free_calls = 0;
}

void note(std::atomic<int> &c)
{
    if (counting.load(std::memory_order_relaxed))
        c.fetch_add(1, std::memory_order_relaxed);
}

} // namespace

extern "C" {
void *malloc(size_t n)
{
    note(counts.malloc_calls);
    return __libc_malloc(n);
}
void *calloc(size_t n, size_t size)
{
    note(counts.calloc_calls);
    if (counting.load(std::memory_order_relaxed) && fail_calloc.load(std::memory_order_relaxed))
        return nullptr;
    return __libc_calloc(n, size);
}
void *realloc(void *p, size_t n)
{
    note(counts.realloc_calls);
    return __libc_realloc(p, n);
}
void free(void *p)
{
    if (p)
        note(counts.free_calls);
    __libc_free(p);
}
void *memalign(size_t align, size_t n)
{
    note(counts.aligned_calls);
    return __libc_memalign(align, n);
}
void *aligned_alloc(size_t align, size_t n)
{
    note(counts.aligned_calls);
    return __libc_memalign(align, n);
}
int posix_memalign(void **out, size_t align, size_t n)
{
    note(counts.aligned_calls);
    void *p = __libc_memalign(align, n);
    if (!p)
        return 12; // ENOMEM
    *out = p;
    return 0;
}
}

namespace
{

// Opens the counting window around one call.
template <class F> void counted(F call)
{
    reset_counts();
    counting = true;
    call();
    counting = false;
}

void expect_no_heap_calls(const char *what)
{
    EXPECT_EQ(counts.malloc_calls, 0) << what;
    EXPECT_EQ(counts.calloc_calls, 0) << what;
    EXPECT_EQ(counts.realloc_calls, 0) << what;
    EXPECT_EQ(counts.aligned_calls, 0) << what;
    EXPECT_EQ(counts.free_calls, 0) << what;
}

// Arguments that reach every method of the engine, the text extremes and an
// unreadable text.
const char *const arguments[] = {"0",   "-1",   "1",    "-1.5", "-24.5",   "3.25",           "-25",
                                 "-30", "-100", "-213", "-300", "30",      "1e-9970",        "-1e9000",
                                 "nan", "-inf", "junk", "",     "  -2.5 ", "1e1000000000000"};

std::vector<uint16_t> wide(const char *s)
{
    std::vector<uint16_t> w;
    for (; *s; s++)
        w.push_back((uint8_t)*s);
    return w;
}

TEST(HeapCalls, TheCountersSeeThisProgramsCalls)
{
    counted([] {
        void *volatile p = malloc(24);
        void *volatile q = calloc(3, 8);
        free(p);
        free(q);
    });
    EXPECT_EQ(counts.malloc_calls, 1);
    EXPECT_EQ(counts.calloc_calls, 1);
    EXPECT_EQ(counts.free_calls, 2);
}

TEST(HeapCalls, MapleEntryMakesNone)
{
    for (const char *x : arguments) {
        for (size_t L : {0, 10, 115, 300}) {
            std::string xs(x), y(L, ' ');
            counted([&] { str_Zelq_str_Maple(xs.data(), y.data()); });
            expect_no_heap_calls(("Maple entry, x = \"" + xs + "\", L = " + std::to_string(L)).c_str());
        }
    }
}

TEST(HeapCalls, FooMakesNone)
{
    for (const char *x : arguments) {
        for (size_t L : {0, 30, 115}) {
            std::string xs(x), y(L, ' ');
            counted([&] { foo(xs.data(), y.data()); });
            expect_no_heap_calls(("foo, x = \"" + xs + "\", L = " + std::to_string(L)).c_str());
        }
    }
}

TEST(HeapCalls, SeriesLengthProbeMakesNone)
{
    for (const char *x : arguments) {
        for (int max_iter : {-5, 2, 400}) {
            std::string xs(x);
            counted([&] { asymptSeries_length(xs.data(), max_iter); });
            expect_no_heap_calls(
                ("probe, x = \"" + xs + "\", max_iter = " + std::to_string(max_iter)).c_str());
        }
    }
}

TEST(HeapCalls, InverseAndLogEntriesMakeNone)
{
    const char *extra[] = {"0.5000001", "1e-100000", "-1e12", "0.3", "-0.2"};
    for (int upper : {0, 1}) {
        auto check = [&](const char *x) {
            std::string xs(x), y(116, ' ');
            std::vector<uint16_t> in = wide(x), out(120, u' ');
            in.reserve(1);
            char *a = (char *)in.data(), *b = (char *)out.data();
            counted([&] {
                ndtri_Maple(xs.data(), y.data(), upper);
                ndtri_exp_Maple(xs.data(), y.data(), upper);
                log_ndtr_Maple(xs.data(), y.data(), upper);
                ndtri_Excel(a, b, (unsigned)in.size(), upper);
                ndtri_exp_Excel(a, b, (unsigned)in.size(), upper);
                log_ndtr_Excel(a, b, (unsigned)in.size(), upper);
                zelq_many_text(ZELQ_MANY_INVERSE, upper, 1, xs.data(), (int)xs.size() + 1, y.data(), 116);
                double d = 0.25, r;
                zelq_many_double(ZELQ_MANY_LOG_PHI, upper, 1, &d, &r);
            });
            expect_no_heap_calls((std::string("inverse and log entries, x = \"") + x + "\"").c_str());
        };
        for (const char *x : arguments)
            check(x);
        for (const char *x : extra)
            check(x);
    }
}

TEST(HeapCalls, LongWideArgumentTakesOneBlock)
{
    std::string text = "0." + std::string(2000, '0') + "1"; // 1e-2001
    std::vector<uint16_t> in = wide(text.c_str()), out(120, u' ');
    int r = 0;
    counted([&] { r = ndtri_Excel((char *)in.data(), (char *)out.data(), (unsigned)in.size(), 0); });
    EXPECT_EQ(counts.calloc_calls, 1);
    EXPECT_EQ(counts.free_calls, 1);
    EXPECT_GT(r, 100);
    fail_calloc = true;
    counted([&] { r = ndtri_Excel((char *)in.data(), (char *)out.data(), (unsigned)in.size(), 0); });
    fail_calloc = false;
    EXPECT_EQ(r, 0);
    EXPECT_EQ(out[0], 0u) << "the empty text when the block cannot be had";
}

TEST(HeapCalls, LibMainMakesNone)
{
    for (unsigned reason : {0u, 1u, 2u, 3u, 7u}) {
        counted([&] { LibMain(nullptr, reason, nullptr); });
        expect_no_heap_calls("LibMain");
    }
}

TEST(HeapCalls, ExcelEntryMakesOneCallocAndOneFree)
{
    for (const char *x : arguments) {
        std::vector<uint16_t> in = wide(x);
        std::vector<uint16_t> out(120, u' ');
        if (in.empty())
            in.reserve(1); // a valid pointer; zero units are read
        counted([&] { str_Zelq_str_Excel((char *)in.data(), (char *)out.data(), (unsigned)in.size()); });
        std::string what = std::string("Excel entry, x = \"") + x + "\"";
        EXPECT_EQ(counts.calloc_calls, 1) << what;
        EXPECT_EQ(counts.free_calls, 1) << what;
        EXPECT_EQ(counts.malloc_calls, 0) << what;
        EXPECT_EQ(counts.realloc_calls, 0) << what;
        EXPECT_EQ(counts.aligned_calls, 0) << what;
    }
}

TEST(HeapCalls, ExcelEntryGivesEmptyResultWhenCallocFails)
{
    std::vector<uint16_t> in = wide("-1.5");
    std::vector<uint16_t> out(120, u' ');
    fail_calloc = true;
    int r = 0;
    counted([&] { r = str_Zelq_str_Excel((char *)in.data(), (char *)out.data(), (unsigned)in.size()); });
    fail_calloc = false;
    EXPECT_EQ(r, 0);
    EXPECT_EQ(out[0], 0u) << "the empty text is a 16-bit NUL at character 0";
    for (size_t i = 1; i < out.size(); i++)
        ASSERT_EQ(out[i], u' ') << "character " << i << " written";
    EXPECT_EQ(counts.calloc_calls, 1);
    EXPECT_EQ(counts.free_calls, 0) << "nothing was obtained, nothing to release";
    EXPECT_EQ(counts.malloc_calls, 0);
}

TEST(HeapCalls, ExcelEntryWorksAgainAfterAFailedCalloc)
{
    std::vector<uint16_t> in = wide("0");
    std::vector<uint16_t> out(120, u' ');
    fail_calloc = true;
    counted([&] { str_Zelq_str_Excel((char *)in.data(), (char *)out.data(), (unsigned)in.size()); });
    fail_calloc = false;
    int r = 0;
    counted([&] { r = str_Zelq_str_Excel((char *)in.data(), (char *)out.data(), (unsigned)in.size()); });
    ASSERT_GT(r, 2);
    EXPECT_EQ(out[0], u'5');
    EXPECT_EQ(counts.calloc_calls, 1);
    EXPECT_EQ(counts.free_calls, 1);
}

} // namespace
