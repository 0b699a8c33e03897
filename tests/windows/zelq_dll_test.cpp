// Loads zelq.dll as a host does (LoadLibrary, GetProcAddress) and checks its
// export table, the standard-call convention of every export and the
// behaviour cases shared with the native tests. Runs under Wine from CTest;
// the exit code is the number of failed checks (capped at 100). The same
// program also runs as a 32-bit x86 Linux program against an ELF stand-in for
// the DLL (tests/i386), where export ordinals do not exist.
#ifdef ZELQ_ELF_STANDIN
#include "win32_shim.h"
#else
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#define ZELQ_PE_ORDINALS 1
#endif

#include "entry_cases.h"

#include <stdint.h>
#include <stdio.h>
#include <string.h>

static int g_checks, g_failures, g_not_applicable;

#define CHECK(cond, ...)                                                                                     \
    do {                                                                                                     \
        g_checks++;                                                                                          \
        if (!(cond)) {                                                                                       \
            g_failures++;                                                                                    \
            printf("FAIL line %d: ", __LINE__);                                                              \
            printf(__VA_ARGS__);                                                                             \
            printf("\n");                                                                                    \
        }                                                                                                    \
    } while (0)

// Pushes three 32-bit arguments right to left, calls fn and returns how many
// argument bytes the callee removed (stdcall: as many as it takes, 8 or 12;
// cdecl: none). A callee of two arguments leaves the third word in place.
// ESP is saved in a callee-saved register and restored afterwards, so a
// wrong convention is measured instead of corrupting this frame.
static int removed_bytes(FARPROC fn, const uint32_t *args, int *result)
{
    uint32_t before, after, ecx_out, edx_out;
    int r;
    __asm__ volatile("movl %%esp, %[before]\n\t"
                     "pushl 8(%%eax)\n\t"
                     "pushl 4(%%eax)\n\t"
                     "pushl (%%eax)\n\t"
                     "call *%%ebx\n\t"
                     "movl %%esp, %[after]\n\t"
                     "movl %[before], %%esp\n\t"
                     : "=a"(r), [before] "=&S"(before), [after] "=&D"(after), "=c"(ecx_out), "=d"(edx_out)
                     : "0"(args), "b"(fn)
                     : "memory", "cc");
    (void)ecx_out;
    (void)edx_out;
    *result = r;
    return (int)(after - (before - 12));
}

struct export_entry {
    const char *name;
    int arg_bytes;
};

// The table in ordinal order (ordinal = index + 1).
static const export_entry exports[] = {
    {"LibMain", 12},           {"asymptSeries_length", 8}, {"foo", 8}, {"str_Zelq_str_Excel", 12},
    {"str_Zelq_str_Maple", 8},
};

static void check_export_table(HMODULE h, FARPROC fns[5])
{
    for (int i = 0; i < 5; i++) {
        FARPROC by_name = GetProcAddress(h, exports[i].name);
        CHECK(by_name != NULL, "%s not found by name", exports[i].name);
#if ZELQ_PE_ORDINALS
        FARPROC by_ordinal = GetProcAddress(h, MAKEINTRESOURCEA(i + 1));
        CHECK(by_name == by_ordinal, "ordinal %d does not resolve to %s", i + 1, exports[i].name);
#else
        g_not_applicable++;
#endif
        fns[i] = by_name;
    }
#if ZELQ_PE_ORDINALS
    CHECK(GetProcAddress(h, MAKEINTRESOURCEA(6)) == NULL, "ordinal 6 resolves");
#else
    g_not_applicable++;
    printf("not applicable on ELF: %d checks of export ordinals\n", g_not_applicable);
#endif
    static const char *const internal[] = {
        "Zelq",
        "cPhi",
        "asymptSeries",
        "asymptSeries_count",
        "asymptotic_Zelq",
        "rough_asymptotic_Zelq",
        "asymptotic_Zelq_limit",
        "DllMain",
        "LibMain@12",
        "_LibMain@12",
        "str_Zelq_str_Maple@8",
        "_str_Zelq_str_Maple@8",
        "_foo@8",
        "_asctoq",
        "__op_plus_pqfloat_pqfloat",
    };
    for (const char *name : internal)
        CHECK(GetProcAddress(h, name) == NULL, "internal name %s is exported", name);
}

static void check_calling_convention(FARPROC fns[5])
{
    char x[] = "-1";
    char y[32];
    memset(y, 'x', 20);
    y[20] = 0;
    uint16_t wide_x[] = {'-', '1', 0};
    uint16_t wide_y[121];
    for (int i = 0; i < 120; i++)
        wide_y[i] = ' ';
    wide_y[120] = 0;
    int r;

    static const unsigned reasons[] = {0, 1, 2, 3, 7};
    for (unsigned reason : reasons) {
        uint32_t args[3] = {0x12340000u, reason, 0};
        int removed = removed_bytes(fns[0], args, &r);
        CHECK(removed == 12, "LibMain removed %d bytes", removed);
        CHECK(r == 1, "LibMain(reason %u) returned %d", reason, r);
    }
    uint32_t probe_args[3] = {(uint32_t)(uintptr_t)x, 400, 0};
    CHECK(removed_bytes(fns[1], probe_args, &r) == 8, "asymptSeries_length does not remove 8 bytes");
    uint32_t foo_args[3] = {(uint32_t)(uintptr_t)x, (uint32_t)(uintptr_t)y, 0};
    CHECK(removed_bytes(fns[2], foo_args, &r) == 8, "foo does not remove 8 bytes");
    CHECK(r == (int)strlen(y), "foo through the measured call returned %d", r);
    uint32_t excel_args[3] = {(uint32_t)(uintptr_t)wide_x, (uint32_t)(uintptr_t)wide_y, 2};
    CHECK(removed_bytes(fns[3], excel_args, &r) == 12, "str_Zelq_str_Excel does not remove 12 bytes");
    CHECK(r > 0 && wide_y[r] == 0, "str_Zelq_str_Excel through the measured call returned %d", r);
    memset(y, 'x', 20);
    y[20] = 0;
    CHECK(removed_bytes(fns[4], foo_args, &r) == 8, "str_Zelq_str_Maple does not remove 8 bytes");
    CHECK(r == (int)strlen(y), "str_Zelq_str_Maple through the measured call returned %d", r);
}

static void check_text_entry(entry_text_fn fn, const char *what, const entry_ref *cases, size_t ncases,
                             int full_sweep)
{
    char why[256];
    static const int some_lengths[] = {0, 1, 2, 7, 8, 10, 30, 114, 115, 116, 200};
    for (size_t c = 0; c < ncases; c++) {
        if (full_sweep) {
            for (int L = 0; L <= 200; L++)
                CHECK(entry_check_text_buffer(fn, &cases[c], L, why, sizeof why), "%s: %s", what, why);
        } else {
            for (int L : some_lengths)
                CHECK(entry_check_text_buffer(fn, &cases[c], L, why, sizeof why), "%s: %s", what, why);
        }
    }
}

static void check_wide_entry(entry_wide_fn fn)
{
    char why[256];
    for (const wide_case &c : wide_cases) {
        CHECK(entry_check_wide(fn, &c, ' ', why, sizeof why), "str_Zelq_str_Excel: %s", why);
        CHECK(entry_check_wide(fn, &c, 0x3000, why, sizeof why), "str_Zelq_str_Excel, ideographic spaces: %s",
              why);
    }
    // Lengths whose block cannot exist in a 32-bit process: the empty result.
    static const unsigned huge[] = {0x7FFFFFF0u, 0x80000000u, 0xFFFFFFFFu};
    for (unsigned n : huge) {
        uint16_t x[2] = {'1', 0};
        uint16_t y[4] = {' ', ' ', ' ', 0};
        int r = fn((char *)x, (char *)y, n);
        CHECK(r == 0 && y[0] == 0 && y[1] == ' ', "x_Length %u: got %d", n, r);
    }
}

static void check_probe(entry_probe_fn fn)
{
    for (const probe_case &c : probe_cases) {
        char x[32];
        snprintf(x, sizeof x, "%s", c.x);
        int got = fn(x, c.max_iter);
        CHECK(got == c.count, "asymptSeries_length(%s, %d) = %d, want %d", c.x, c.max_iter, got, c.count);
    }
}

int main()
{
    // Unbuffered, so that a crash still leaves every line printed before it.
    setvbuf(stdout, NULL, _IONBF, 0);
    HMODULE h = LoadLibraryA("zelq.dll");
    if (!h) {
        printf("FAIL: LoadLibrary(zelq.dll): error %lu\n", (unsigned long)GetLastError());
        return 100;
    }
    FARPROC fns[5] = {};
    check_export_table(h, fns);
    for (FARPROC f : fns)
        if (!f) {
            printf("FAIL: exports missing, stopping\n");
            return 100;
        }
    int before = g_failures;
    check_calling_convention(fns);
    if (g_failures != before) {
        // Calls through stdcall pointers would now unbalance this program's stack.
        printf("FAIL: calling convention wrong, behaviour not checked\n");
        return g_failures;
    }

    entry_text_fn maple = (entry_text_fn)(void *)fns[4];
    entry_text_fn rough = (entry_text_fn)(void *)fns[2];
    check_text_entry(maple, "str_Zelq_str_Maple", phi_cases, sizeof phi_cases / sizeof phi_cases[0], 1);
    check_text_entry(rough, "foo", foo_cases, sizeof foo_cases / sizeof foo_cases[0], 0);
    check_wide_entry((entry_wide_fn)(void *)fns[3]);
    check_probe((entry_probe_fn)(void *)fns[1]);

    CHECK(FreeLibrary(h), "FreeLibrary failed");
    printf("%d checks, %d failed, %d not applicable\n", g_checks, g_failures, g_not_applicable);
    return g_failures > 100 ? 100 : g_failures;
}
