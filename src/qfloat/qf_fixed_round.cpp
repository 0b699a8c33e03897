// SPDX-License-Identifier: MIT
// Rounding of fixed-point results and the rounding decision of the exp and
// log evaluations (Ziv's test), kept out of line: both run once per call.
#include "qf_fixed.h"
#include "qf_six_limbs.h"

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
/*
 * The common case of qf_fx_decide, from the 64 bits just below the last kept
 * bit alone: with the error below their lowest bit, the interval cannot
 * reach the half-way point unless those bits are 2^63 - 1 or 2^63, nor a
 * value of another binade that rounds differently. Stores the rounding of
 * approx * 2^scale and returns 1, or returns 0 (the general test decides).
 */
static int decide_by_window(qfloat *out, int neg, int32_t scale, const uint64_t *approx, int n, int errbit)
{
    int top = n - 1;
    while (top > 0 && approx[top] == 0)
        top--;
    long bits = 64L * (top + 1) - qf_clz64(approx[top]); // 0 when approx is 0
    long u = bits - QF_PREC;                             // position of the last kept bit
    if (u - 64 <= errbit)
        return 0;
    uint64_t w = qf_fx_bits_at(approx, n, u - 64);
    if (w - (1ull << 63) + 1 <= 1) // w is 2^63 - 1 or 2^63
        return 0;
    long e = bits + scale;
    if (e < QF_EMIN || e > QF_EMAX)
        return 0;
    uint64_t m[QF_LIMBS];
    for (int i = 0; i < QF_LIMBS; i++)
        m[i] = qf_fx_bits_at(approx, n, bits - 64L * (i + 1));
    m[QF_LIMBS - 1] &= QF_HIGH32;
    if (w >> 63 && qf_add_at_limb5(m, 1ull << 32)) {
        m[0] = 1ull << 63; // 0.111...1 rounded up to 1.0
        if (++e > QF_EMAX)
            return 0;
    }
    qf_store_limbs(out, neg, (uint32_t)(e + QFLT_EXP_BIAS), m);
    return 1;
}

int qf_fx_decide(qfloat *out, int neg, int32_t scale, const uint64_t *approx, int n, int errbit)
{
    if (decide_by_window(out, neg, scale, approx, n, errbit))
        return 1;
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
