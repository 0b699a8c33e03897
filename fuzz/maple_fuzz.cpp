// SPDX-License-Identifier: MIT
// Fuzzes the Maple entry with any text and any buffer length L (two leading
// bytes; 0xF000 and up asks for L = 100000). Beyond the buffer rule, the text
// must be Phi of the argument: a number in [0, 1] ("nan" for an unreadable
// argument), and Phi(x) + Phi(-x) = 1 within 1e-100 for a readable x.
#include "fuzz_checks.h"
#include "fuzz_entry_call.h"
#include "qfloat.h"
#include "zelq.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

static void check_range(const char *x, const char *y, qfloat *value)
{
    _asctoq(y, value);
    const char *b, *e;
    fuzz_text_kind kind = fuzz_classify_text(x, &b, &e);
    if (kind == FUZZ_TEXT_INVALID || kind == FUZZ_TEXT_NAN) {
        FUZZ_CHECK(!*y || !std::strcmp(y, "nan"), "unreadable \"%.100s\" gave \"%s\"", x, y);
        return;
    }
    qfloat zero, one;
    __op_cast_int_qfloat(&zero, 0);
    __op_cast_int_qfloat(&one, 1);
    FUZZ_CHECK(
        !*y || (__op_lessequal_pqfloat_pqfloat(&zero, value) && __op_lessequal_pqfloat_pqfloat(value, &one)),
        "Phi(\"%.100s\") = \"%s\" is not in [0, 1]", x, y);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    size_t L;
    char *x = fuzz_length_and_text(data, size, &L);

    char *y = fuzz_call_text_entry(str_Zelq_str_Maple, x, L);
    qfloat p;
    check_range(x, y, &p);

    const char *b, *e;
    if (L >= 115 && x[0] && !fuzz_is_space(x[0]) && fuzz_classify_text(x, &b, &e) != FUZZ_TEXT_INVALID &&
        fuzz_classify_text(x, &b, &e) != FUZZ_TEXT_NAN) {
        char *negx = (char *)std::malloc(size + 2);
        fuzz_negated_text(x, negx);
        char *ny = fuzz_call_text_entry(str_Zelq_str_Maple, negx, L);
        qfloat q, sum, one, tol, dev;
        _asctoq(ny, &q);
        __op_plus_pqfloat_pqfloat(&sum, &p, &q);
        __op_cast_int_qfloat(&one, 1);
        __op_minus_pqfloat_pqfloat(&dev, &sum, &one);
        _qabs(&dev);
        _asctoq("1e-100", &tol);
        FUZZ_CHECK(__op_less_pqfloat_pqfloat(&dev, &tol),
                   "Phi(\"%.100s\") + Phi(\"%.100s\") = %s + %s is not 1", x, negx, y, ny);
        std::free(ny);
        std::free(negx);
    }
    std::free(y);
    std::free(x);
    return 0;
}
