// SPDX-License-Identifier: MIT
// Fuzzes foo (the one-term tail estimate as text) with any text and any
// buffer length L (two leading bytes; 0xF000 and up asks for L = 100000).
// Beyond the buffer rule: the estimate is never negative, an unreadable
// argument gives "nan", and x and -x give the same text (the estimate depends
// on |x| only, and every step is exact under negation).
#include "fuzz_checks.h"
#include "fuzz_entry_call.h"
#include "qfloat.h"
#include "zelq.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    size_t L;
    char *x = fuzz_length_and_text(data, size, &L);

    char *y = fuzz_call_text_entry(foo, x, L);
    const char *b, *e;
    fuzz_text_kind kind = fuzz_classify_text(x, &b, &e);
    if (kind == FUZZ_TEXT_INVALID || kind == FUZZ_TEXT_NAN)
        FUZZ_CHECK(!*y || !std::strcmp(y, "nan"), "unreadable \"%.100s\" gave \"%s\"", x, y);
    FUZZ_CHECK(y[0] != '-', "negative estimate \"%s\" for \"%.100s\"", y, x);

    if (x[0] && !fuzz_is_space(x[0])) {
        char *negx = (char *)std::malloc(size + 2);
        fuzz_negated_text(x, negx);
        char *ny = fuzz_call_text_entry(foo, negx, L);
        FUZZ_CHECK(!std::strcmp(y, ny), "foo(\"%.100s\") = \"%s\" but foo(\"%.100s\") = \"%s\"", x, y, negx,
                   ny);
        std::free(ny);
        std::free(negx);
    }
    std::free(y);
    std::free(x);
    return 0;
}
