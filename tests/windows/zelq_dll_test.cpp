// SPDX-License-Identifier: MIT
// Loads zelq.dll as a host does and checks it: the export table, the
// calling convention of every export, the behaviour cases shared with the
// native tests, the version resources and zelq.exe. Runs under Wine from
// CTest, for 32-bit and 64-bit Windows; the exit code is the number of failed
// checks (capped at 100). The same program also runs as a 32-bit x86 Linux
// program against an ELF stand-in for the DLL (tests/i386), where the checks
// that only a PE module can answer are reported as not applicable.
//
//   zelq_dll_test DIR    DIR holds zelq.dll, qfloat.dll and zelq.exe
//
// As a host such as Excel, the program lives in another folder than the
// DLLs and is started from a third, and it loads them by full path. It
// starts itself once more (--unicode-folder DIR) to load them from a folder
// whose name no ANSI code page holds.
#ifdef ZELQ_ELF_STANDIN
#include "win32_shim.h"
#else
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// BSTRs, as VBA's strings are.
#include <oleauto.h>
#define ZELQ_PE 1
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

// Counts checks that this build cannot make, and says which.
[[maybe_unused]] static void not_applicable(int n, const char *what)
{
    g_not_applicable += n;
    printf("not applicable here: %d checks of %s\n", n, what);
}

#if defined(__i386__)
// Pushes eight 32-bit arguments right to left, calls fn and returns how many
// argument bytes the callee removed (stdcall: as many as it takes, 8 to 28;
// cdecl: none). A callee of fewer arguments leaves the other words in place.
// ESP is saved in a callee-saved register and restored afterwards, so a
// wrong convention is measured instead of corrupting this frame.
static int removed_bytes(FARPROC fn, const uint32_t *args, int *result)
{
    uint32_t before, after, ecx_out, edx_out;
    int r;
    __asm__ volatile("movl %%esp, %[before]\n\t"
                     "pushl 28(%%eax)\n\t"
                     "pushl 24(%%eax)\n\t"
                     "pushl 20(%%eax)\n\t"
                     "pushl 16(%%eax)\n\t"
                     "pushl 12(%%eax)\n\t"
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
    return (int)(after - (before - 32));
}
#endif

struct export_entry {
    const char *name;
    int arg_bytes;
};

// The table in ordinal order (ordinal = index + 1).
static const export_entry exports[] = {
    {"LibMain", 12},
    {"asymptSeries_length", 8},
    {"foo", 8},
    {"str_Zelq_str_Excel", 12},
    {"str_Zelq_str_Maple", 8},
    {"log_ndtr_Excel", 16},
    {"log_ndtr_Maple", 12},
    {"ndtri_Excel", 16},
    {"ndtri_Maple", 12},
    {"ndtri_exp_Excel", 16},
    {"ndtri_exp_Maple", 12},
    {"zelq_many_double", 20},
    {"zelq_many_text", 28},
};
enum { EXPORTS = sizeof exports / sizeof exports[0] };
// Where each flagged entry (enum entry_flagged_fn) sits in the table, in its
// 16-bit and 8-bit forms.
static const int flagged_wide_index[] = {7, 9, 5};
static const int flagged_text_index[] = {8, 10, 6};

#if ZELQ_PE
// The DLL's full path: DIR\\NAME.
static void dll_path(char *out, size_t n, const char *dir, const char *name)
{
    snprintf(out, n, "%s\\%s", dir, name);
}

// Loads zelq.dll from DIR the way the host examples do. Windows looks for a
// DLL's imports by module name (the program's folder, the system folders,
// the current folder, PATH), never in the importing DLL's own folder: so
// zelq.dll alone fails to load, with ERROR_MOD_NOT_FOUND, and loads once
// qfloat.dll from the same folder is already in the process. A later
// lookup by bare name, as VBA's Declare makes it, finds the loaded module.
static HMODULE load_as_host(const char *dir)
{
    char zelq[1024], qfloat[1024];
    dll_path(zelq, sizeof zelq, dir, "zelq.dll");
    dll_path(qfloat, sizeof qfloat, dir, "qfloat.dll");
    SetLastError(0);
    HMODULE early = LoadLibraryA(zelq);
    DWORD error = GetLastError();
    CHECK(early == NULL && error == ERROR_MOD_NOT_FOUND,
          "%s loaded without qfloat.dll preloaded (error %lu): is qfloat.dll beside this program or current?",
          zelq, (unsigned long)error);
    if (early)
        FreeLibrary(early);
    HMODULE q = LoadLibraryA(qfloat);
    CHECK(q != NULL, "LoadLibrary(%s): error %lu", qfloat, (unsigned long)GetLastError());
    HMODULE h = LoadLibraryA(zelq);
    CHECK(h != NULL, "LoadLibrary(%s) after qfloat.dll: error %lu", zelq, (unsigned long)GetLastError());
    if (!h)
        return NULL;
    HMODULE by_name = LoadLibraryA("zelq.dll");
    CHECK(by_name == h, "LoadLibrary(\"zelq.dll\") does not find the loaded module");
    if (by_name)
        FreeLibrary(by_name);
    return h;
}

// The version resource: file version = the project's version, product
// name "zelq", OriginalFilename = NAME.
static void check_version_resource(const char *dir, const char *name)
{
    char path[1024];
    dll_path(path, sizeof path, dir, name);
    DWORD ignored = 0, size = GetFileVersionInfoSizeA(path, &ignored);
    CHECK(size > 0 && size < 65536, "%s has no version resource", name);
    if (size == 0 || size >= 65536)
        return;
    static char block[65536];
    CHECK(GetFileVersionInfoA(path, 0, size, block), "GetFileVersionInfo(%s) failed", name);
    VS_FIXEDFILEINFO *fixed = NULL;
    UINT len = 0;
    CHECK(VerQueryValueA(block, "\\", (void **)&fixed, &len) && fixed, "%s: no fixed file info", name);
    if (fixed)
        CHECK(fixed->dwFileVersionMS == ((ZELQ_VERSION_MAJOR << 16) | ZELQ_VERSION_MINOR) &&
                  fixed->dwFileVersionLS == ((unsigned)ZELQ_VERSION_PATCH << 16),
              "%s: file version %lx.%lx", name, (unsigned long)fixed->dwFileVersionMS,
              (unsigned long)fixed->dwFileVersionLS);
    static const char *const keys[][2] = {{"ProductName", "zelq"}, {"FileVersion", ZELQ_VERSION}};
    for (const auto &key : keys) {
        char query[128];
        snprintf(query, sizeof query, "\\StringFileInfo\\040904B0\\%s", key[0]);
        char *value = NULL;
        CHECK(VerQueryValueA(block, query, (void **)&value, &len) && value && strcmp(value, key[1]) == 0,
              "%s: %s is '%s', want '%s'", name, key[0], value ? value : "(none)", key[1]);
    }
    char query[] = "\\StringFileInfo\\040904B0\\OriginalFilename";
    char *value = NULL;
    CHECK(VerQueryValueA(block, query, (void **)&value, &len) && value && strcmp(value, name) == 0,
          "%s: OriginalFilename is '%s'", name, value ? value : "(none)");
}

// Runs the command line cmd with its output into out (NUL-terminated);
// returns its exit status, or -1 if it did not start.
static long run_program(char *cmd, char *out, size_t outlen)
{
    SECURITY_ATTRIBUTES sa = {sizeof sa, NULL, TRUE};
    HANDLE rd = NULL, wr = NULL;
    out[0] = 0;
    if (!CreatePipe(&rd, &wr, &sa, 0))
        return -1;
    SetHandleInformation(rd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = wr;
    si.hStdError = wr;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi = {};
    BOOL started = CreateProcessA(NULL, cmd, NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi);
    CloseHandle(wr);
    DWORD got = 0, n = 0;
    while (got < outlen - 1 && ReadFile(rd, out + got, (DWORD)(outlen - 1 - got), &n, NULL) && n > 0)
        got += n;
    out[got] = 0;
    CloseHandle(rd);
    if (!started)
        return -1;
    WaitForSingleObject(pi.hProcess, 120000);
    DWORD status = 1;
    GetExitCodeProcess(pi.hProcess, &status);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return (long)status;
}

// Runs "DIR\\zelq.exe -1.5" as a user checks the installation, and compares
// its one line with what the 8-bit entry writes into a buffer of the
// command's default size (115 characters).
static void check_command(const char *dir, entry_text_fn maple)
{
    char cmd[1100], out[512];
    snprintf(cmd, sizeof cmd, "\"%s\\zelq.exe\" -1.5", dir);
    long status = run_program(cmd, out, sizeof out);
    char x[] = "-1.5", want[160];
    memset(want, ' ', 115);
    want[115] = 0;
    maple(x, want);
    strcat(want, "\r\n");
    CHECK(status == 0 && strcmp(out, want) == 0, "zelq.exe -1.5 (exit %ld) printed '%s', want '%s'", status,
          out, want);
}

// One call of a 16-bit entry as the VBA module makes it: the argument is a
// BSTR's characters (StrPtr), or the null pointer of an empty string
// (vbNullString) with length 0; the result goes into a BSTR of 120 spaces,
// allocated and filled as Space$(120) makes it, and is its first n
// characters (Left$). The entry must leave that BSTR whole: its length
// prefix, the spaces after the result's NUL, and its own terminator.
static void check_vba_call(const wide_call *fn, const uint16_t *units, unsigned length, const entry_ref *ref,
                           const char *what)
{
    char why[256] = "";
    BSTR x = length ? SysAllocStringLen((const OLECHAR *)units, length) : NULL;
    BSTR buf = SysAllocStringLen(NULL, 120);
    for (int i = 0; i < 120; i++)
        buf[i] = L' ';
    int n = wide_call_run(fn, (char *)x, (char *)buf, SysStringLen(x));
    int whole = n >= 0 && n < 120 && buf[n] == 0 && buf[120] == 0 && SysStringLen(buf) == 120;
    for (int i = n + 1; whole && i < 120; i++)
        whole = buf[i] == L' ';
    char text[121] = {0};
    for (int i = 0; whole && i < n; i++)
        text[i] = buf[i] < 0x80 ? (char)buf[i] : '?';
    CHECK(whole && entry_text_matches(text, ref, 0, why, sizeof why), "%s through BSTRs, x=%s: %s", what,
          ref->x, whole ? why : "the buffer BSTR is no longer whole");
    SysFreeString(x);
    SysFreeString(buf);
}

// Every case of str_Zelq_str_Excel through BSTRs.
static void check_vba_phi(entry_wide_fn excel)
{
    wide_call phi = {excel, nullptr, 0};
    for (const wide_case &c : wide_cases)
        check_vba_call(&phi, c.units, c.length, c.ref, "str_Zelq_str_Excel");
}

// Every case of the 16-bit entries through BSTRs.
static void check_vba_calls(FARPROC fns[EXPORTS])
{
    check_vba_phi((entry_wide_fn)(void *)fns[3]);
    for (const flagged_case &c : flagged_cases) {
        wide_call w = {nullptr, (entry_flag_wide_fn)(void *)fns[flagged_wide_index[c.fn]], c.upper};
        uint16_t units[64];
        unsigned n = 0;
        for (; c.ref.x[n] && n < 63; n++)
            units[n] = (unsigned char)c.ref.x[n];
        check_vba_call(&w, units, n, &c.ref, exports[flagged_wide_index[c.fn]].name);
    }
}

// A folder name that no ANSI code page holds: Greek, CJK, a character
// outside the BMP (a surrogate pair), a combining accent, and punctuation
// that paths allow.
static const wchar_t unicode_folder[] =
    L"zelq \x03a9\x03bc\x03ad\x03b3\x03b1 \x6570\x636e \xd83d\xde00 e\x0301 #&'(1)";

// The child's part (--unicode-folder DIR): copies the DLLs from DIR into
// that folder under the current one, loads them by full path with
// LoadLibraryW as the host examples do, finds zelq.dll by bare name as a
// Declare does, makes the VBA calls, and removes the folder again. Its exit
// status is the number of failed checks.
static int unicode_folder_main(const char *dir)
{
    wchar_t wdir[1024], folder[1400], from[1500], to[1500], loaded[1500];
    MultiByteToWideChar(CP_ACP, 0, dir, -1, wdir, 1024);
    DWORD cwd = GetCurrentDirectoryW(1024, folder);
    CHECK(cwd > 0 && cwd < 1024, "GetCurrentDirectoryW failed");
    wcscat(folder, L"\\");
    wcscat(folder, unicode_folder);
    CreateDirectoryW(folder, NULL);
    static const wchar_t *const files[] = {L"qfloat.dll", L"zelq.dll"};
    HMODULE mods[2] = {};
    for (int i = 0; i < 2; i++) {
        swprintf(from, 1500, L"%ls\\%ls", wdir, files[i]);
        swprintf(to, 1500, L"%ls\\%ls", folder, files[i]);
        CHECK(CopyFileW(from, to, FALSE), "CopyFileW to the folder: error %lu",
              (unsigned long)GetLastError());
        mods[i] = LoadLibraryW(to);
        CHECK(mods[i] != NULL, "LoadLibraryW(folder\\%ls): error %lu", files[i],
              (unsigned long)GetLastError());
    }
    if (mods[1]) {
        HMODULE by_name = LoadLibraryA("zelq.dll");
        CHECK(by_name == mods[1],
              "LoadLibrary(\"zelq.dll\") does not find the zelq.dll loaded from the folder");
        if (by_name)
            FreeLibrary(by_name);
        DWORD len = GetModuleFileNameW(mods[1], loaded, 1500);
        CHECK(len > 0 && len < 1500 && wcsstr(loaded, unicode_folder),
              "zelq.dll is not the one in the folder");
        FARPROC excel = GetProcAddress(mods[1], "str_Zelq_str_Excel");
        CHECK(excel != NULL, "str_Zelq_str_Excel not found");
        if (excel)
            check_vba_phi((entry_wide_fn)(void *)excel);
    }
    for (int i = 1; i >= 0; i--) {
        if (mods[i])
            FreeLibrary(mods[i]);
        swprintf(to, 1500, L"%ls\\%ls", folder, files[i]);
        DeleteFileW(to);
    }
    RemoveDirectoryW(folder);
    printf("unicode folder: %d checks, %d failed\n", g_checks, g_failures);
    return g_failures > 100 ? 100 : g_failures;
}

// Starts this program with --unicode-folder DIR (see unicode_folder_main).
static void check_unicode_folder(const char *dir)
{
    char self[1024], cmd[2200], out[4096];
    DWORD len = GetModuleFileNameA(NULL, self, sizeof self);
    CHECK(len > 0 && len < sizeof self, "GetModuleFileNameA failed");
    snprintf(cmd, sizeof cmd, "\"%s\" --unicode-folder \"%s\"", self, dir);
    long status = run_program(cmd, out, sizeof out);
    CHECK(status == 0, "the DLLs loaded from a folder with a Unicode name (exit %ld):\n%s", status, out);
}
#else
// The stand-in: DIR/libzelq.so, with the entries' 32-bit convention.
static HMODULE load_as_host(const char *dir)
{
    char path[1024];
    snprintf(path, sizeof path, "%s/libzelq.so", dir);
    HMODULE h = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!h)
        printf("dlopen(%s): %s\n", path, dlerror());
    not_applicable(3, "loading by full path beside qfloat.dll");
    return h;
}
#endif

static void check_export_table(HMODULE h, FARPROC fns[EXPORTS])
{
    for (int i = 0; i < EXPORTS; i++) {
        FARPROC by_name = GetProcAddress(h, exports[i].name);
        CHECK(by_name != NULL, "%s not found by name", exports[i].name);
#if ZELQ_PE
        FARPROC by_ordinal = GetProcAddress(h, MAKEINTRESOURCEA(i + 1));
        CHECK(by_name == by_ordinal, "ordinal %d does not resolve to %s", i + 1, exports[i].name);
#endif
        fns[i] = by_name;
    }
#if ZELQ_PE
    CHECK(GetProcAddress(h, MAKEINTRESOURCEA(EXPORTS + 1)) == NULL, "ordinal %d resolves", EXPORTS + 1);
#else
    not_applicable(6, "export ordinals (ELF has none)");
#endif
    static const char *const internal[] = {
        "Zelq",
        "cPhi",
        "asymptSeries",
        "asymptSeries_count",
        "asymptotic_Zelq",
        "rough_asymptotic_Zelq",
        "rough_tail_term",
        "asymptotic_Zelq_limit",
        "log_Zelq",
        "inverse_Zelq",
        "inverse_log_Zelq",
        "ndtri_Maple@12",
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

typedef int(ZELQ_CALL *entry_main_fn)(void *hDLLInst, unsigned fdwReason, void *lpvReserved);

// LibMain answers 1 to every reason, and on 32-bit x86 every entry removes
// its own arguments (standard call): 12, 8, 8, 12 and 8 bytes, then 16 for
// each 16-bit and 12 for each 8-bit form of the inverse and log entries.
static void check_calling_convention(FARPROC fns[EXPORTS])
{
    static const unsigned reasons[] = {0, 1, 2, 3, 7};
#if defined(__i386__)
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
    for (int i = 5; i < 11; i++) {
        int wide = exports[i].arg_bytes == 16;
        wide_y[0] = ' ';
        memset(y, 'x', 20);
        uint32_t args[8] = {(uint32_t)(uintptr_t)(wide ? (void *)wide_x : (void *)x),
                            (uint32_t)(uintptr_t)(wide ? (void *)wide_y : (void *)y), wide ? 2u : 1u,
                            wide ? 1u : 0u};
        int removed = removed_bytes(fns[i], args, &r);
        CHECK(removed == exports[i].arg_bytes, "%s removed %d bytes", exports[i].name, removed);
        CHECK(r > 0 && (wide ? wide_y[r] == 0 : r == (int)strlen(y)),
              "%s through the measured call returned %d", exports[i].name, r);
    }
    // The many-value entries on two values: Phi^-1 of 0.5 and 0.975.
    double dx[2] = {0.5, 0.975}, dy[2] = {1, 1};
    uint32_t many_double[8] = {2, 0, 2, (uint32_t)(uintptr_t)dx, (uint32_t)(uintptr_t)dy};
    CHECK(removed_bytes(fns[11], many_double, &r) == 20, "zelq_many_double does not remove 20 bytes");
    CHECK(r == 2 && dy[0] == 0 && dy[1] > 1.9599639845400 && dy[1] < 1.9599639845401,
          "zelq_many_double returned %d: %.17g %.17g", r, dy[0], dy[1]);
    char tx[16] = "0.5\0\0\0\0\0"
                  "0.975",
         ty[2 * 32];
    uint32_t many_text[8] = {2, 1, 2, (uint32_t)(uintptr_t)tx, 8, (uint32_t)(uintptr_t)ty, 32};
    CHECK(removed_bytes(fns[12], many_text, &r) == 28, "zelq_many_text does not remove 28 bytes");
    CHECK(r == 2 && strcmp(ty, "0") == 0 && strncmp(ty + 32, "-1.9599639845400542355245944", 28) == 0,
          "zelq_many_text returned %d: '%s' '%s'", r, ty, ty + 32);
#else
    entry_main_fn lib_main = (entry_main_fn)(void *)fns[0];
    for (unsigned reason : reasons) {
        int r = lib_main((void *)(uintptr_t)0x12340000u, reason, NULL);
        CHECK(r == 1, "LibMain(reason %u) returned %d", reason, r);
    }
    not_applicable(9 + 2 * (EXPORTS - 5), "argument bytes removed (one calling convention on x64)");
    double dx[2] = {0.5, 0.975}, dy[2] = {1, 1};
    typedef int(ZELQ_CALL * many_double_fn)(int, int, int, const double *, double *);
    int r = ((many_double_fn)(void *)fns[11])(2, 0, 2, dx, dy);
    CHECK(r == 2 && dy[0] == 0 && dy[1] > 1.9599639845400 && dy[1] < 1.9599639845401,
          "zelq_many_double returned %d: %.17g %.17g", r, dy[0], dy[1]);
#endif
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
    // Lengths whose block (two bytes a character) the entry refuses, and in
    // a 32-bit process one whose block cannot exist: the empty result.
#if defined(__i386__)
    static const unsigned huge[] = {0x7FFFFFF0u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu};
#else
    static const unsigned huge[] = {0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu};
#endif
    for (unsigned n : huge) {
        uint16_t x[2] = {'1', 0};
        uint16_t y[4] = {' ', ' ', ' ', 0};
        int r = fn((char *)x, (char *)y, n);
        CHECK(r == 0 && y[0] == 0 && y[1] == ' ', "x_Length %u: got %d", n, r);
    }
}

// The inverse and log entries: every case in both forms, the 8-bit one in
// buffers of every length up to 130 characters.
static void check_flagged_entries(FARPROC fns[EXPORTS])
{
    char why[256];
    for (const flagged_case &c : flagged_cases) {
        text_call t = {nullptr, (entry_flag_text_fn)(void *)fns[flagged_text_index[c.fn]], c.upper};
        wide_call w = {nullptr, (entry_flag_wide_fn)(void *)fns[flagged_wide_index[c.fn]], c.upper};
        const char *what = exports[flagged_text_index[c.fn]].name;
        for (int L = 0; L <= 130; L++)
            CHECK(entry_check_text_buffer(&t, &c.ref, L, why, sizeof why), "%s(upper %d): %s", what, c.upper,
                  why);
        CHECK(entry_check_wide_text(&w, &c.ref, ' ', why, sizeof why), "%s: %s",
              exports[flagged_wide_index[c.fn]].name, why);
        CHECK(entry_check_wide_text(&w, &c.ref, 0x3000, why, sizeof why), "%s, ideographic spaces: %s",
              exports[flagged_wide_index[c.fn]].name, why);
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

int main(int argc, char **argv)
{
    // Unbuffered, so that a crash still leaves every line printed before it.
    setvbuf(stdout, NULL, _IONBF, 0);
#if ZELQ_PE
    if (argc == 3 && strcmp(argv[1], "--unicode-folder") == 0)
        return unicode_folder_main(argv[2]);
#endif
    if (argc != 2) {
        printf("usage: zelq_dll_test DIR (the folder of zelq.dll and qfloat.dll)\n");
        return 100;
    }
    const char *dir = argv[1];
    HMODULE h = load_as_host(dir);
    if (!h) {
        printf("FAIL: zelq.dll did not load from %s\n", dir);
        return 100;
    }
    FARPROC fns[EXPORTS] = {};
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
    check_flagged_entries(fns);
#if ZELQ_PE
    check_version_resource(dir, "zelq.dll");
    check_version_resource(dir, "qfloat.dll");
    check_command(dir, maple);
    check_vba_calls(fns);
    check_unicode_folder(dir);
#else
    not_applicable(2 * 6 + 2, "version resources and zelq.exe");
    not_applicable(sizeof wide_cases / sizeof wide_cases[0] + sizeof flagged_cases / sizeof flagged_cases[0] +
                       2,
                   "BSTR calls and a folder with a Unicode name");
#endif

    CHECK(FreeLibrary(h), "FreeLibrary failed");
    printf("%d checks, %d failed, %d not applicable\n", g_checks, g_failures, g_not_applicable);
    return g_failures > 100 ? 100 : g_failures;
}
