// SPDX-License-Identifier: MIT
// Fuzzes the series-length probe with any text and a limit from the two
// leading bytes: -5 to 450 (past the engine's cap of 400), or up to 2000 when
// the second byte's top bit is set. The count is 2 when the loop never runs and at most
// max_iter + 1; an unreadable argument never settles (NaN never equals the
// sum), so it runs to the limit; x and -x give the same count.
#include "fuzz_checks.h"
#include "fuzz_entry_call.h"
#include "zelq.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    unsigned sel = data[0] | (data[1] & 0x7F) << 8;
    int max_iter = data[1] & 0x80 ? (int)(sel % 2006) - 5 : (int)(sel % 456) - 5;
    char *x = fuzz_text_copy(data + 2, size - 2);
    int top = (max_iter > 1 ? max_iter : 1) + 1;

    int r = asymptSeries_length(x, max_iter);
    FUZZ_CHECK(r >= 2 && r <= top, "count %d for \"%.100s\" with max_iter %d", r, x, max_iter);
    const char *b, *e;
    fuzz_text_kind kind = fuzz_classify_text(x, &b, &e);
    if (kind == FUZZ_TEXT_INVALID || kind == FUZZ_TEXT_NAN)
        FUZZ_CHECK(r == top, "unreadable \"%.100s\" stopped at %d, max_iter %d", x, r, max_iter);

    if (x[0] && !fuzz_is_space(x[0])) {
        char *negx = (char *)std::malloc(size + 2);
        fuzz_negated_text(x, negx);
        int rn = asymptSeries_length(negx, max_iter);
        FUZZ_CHECK(r == rn, "count %d for \"%.100s\" but %d for \"%.100s\"", r, x, rn, negx);
        std::free(negx);
    }
    std::free(x);
    return 0;
}
