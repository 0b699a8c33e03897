// SPDX-License-Identifier: MIT
// The out-of-line part of the 32-bit word layer (qf_words32.h): rounding of
// the results that qf_finish_words does not settle itself.
#include "qf_words32.h"

#if defined(QF_WORDS32)

void qf_words_round_pack(qfloat *out, int neg, int32_t exp, const uint32_t *w, uint32_t sticky)
{
    uint64_t m[QF_LIMBS];
    for (int i = 0; i < QF_LIMBS; i++)
        m[i] = ((uint64_t)w[2 * i] << 32) | w[2 * i + 1];
    qf_round_pack(out, neg, exp, m, QF_LIMBS, sticky != 0);
}

#endif
