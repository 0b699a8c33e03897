// Rounding of fixed-point results and the rounding decision of the exp and
// log evaluations (Ziv's test), kept out of line: both run once per call.
#include "qf_fixed.h"

#include <string.h>

/* Rounds L * 2^scale (L: the integer in le, n limbs) to a qfloat with the
 * given sign, by qf_round_pack. */
void qf_fx_round(qfloat *out, int neg, int32_t scale, const uint64_t *le, int n)
{
    int top = n - 1;
    while (top >= 0 && le[top] == 0)
        top--;
    if (top < 0) {
        qf_set_zero(out, neg);
        return;
    }
    int lz = qf_clz64(le[top]);
    uint64_t mag[QF_FX_MAX];
    for (int i = 0; i <= top; i++) {
        uint64_t below = top - i - 1 >= 0 ? le[top - i - 1] : 0;
        mag[i] = lz ? (le[top - i] << lz) | (below >> (64 - lz)) : le[top - i];
    }
    int32_t bitlen = 64 * (top + 1) - lz;
    qf_round_pack(out, neg, scale + bitlen, mag, top + 1, 0);
}

/*
 * Rounding decision: the exact value lies within 2^errbit units of
 * approx * 2^scale (approx: n limbs, 0 <= errbit < 64 * (n - 1), top limb
 * with headroom). Rounds both ends of that interval; when they agree the
 * rounding of the exact value is decided (rounding is monotone) and stored
 * in out, and 1 is returned. Returns 0 when the interval straddles a
 * rounding boundary or reaches zero.
 */
int qf_fx_decide(qfloat *out, int neg, int32_t scale, const uint64_t *approx, int n, int errbit)
{
    uint64_t lo[QF_FX_MAX], hi[QF_FX_MAX], e[QF_FX_MAX];
    memset(e, 0, sizeof(uint64_t) * (size_t)n);
    e[errbit / 64] = 1ull << (errbit % 64);
    if (qf_fx_cmp(approx, e, n) <= 0)
        return 0;
    qf_fx_sub(lo, approx, e, n);
    qf_fx_add(hi, approx, e, n);
    qfloat a, b;
    qf_fx_round(&a, neg, scale, lo, n);
    qf_fx_round(&b, neg, scale, hi, n);
    if (memcmp(&a, &b, sizeof a) != 0)
        return 0;
    *out = a;
    return 1;
}
