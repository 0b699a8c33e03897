// SPDX-License-Identifier: MIT
// Unpacking, and the general rounding of a wide result: any exponent
// (gradual underflow, overflow) and any number of limbs. Normal in-range
// results of + - * / are rounded by qf_finish (qf_six_limbs.h), which hands
// every other case to qf_round_pack here; both round to nearest, ties to even.
#include "qf_internal.h"
#include "qf_six_limbs.h"

#include <string.h>

void qf_set_zero(qfloat *out, int neg)
{
    memset(out, 0, sizeof *out);
    out->sign = neg ? 0xFFFFFFFFu : 0u;
}

void qf_set_inf(qfloat *out, int neg)
{
    memset(out, 0, sizeof *out);
    out->sign = neg ? 0xFFFFFFFFu : 0u;
    out->exponent = QFLT_EXP_INFNAN;
}

void qf_set_nan(qfloat *out)
{
    memset(out, 0, sizeof *out);
    out->exponent = QFLT_EXP_INFNAN;
    out->mantissa[1] = 0xC0000000u;
}

void qf_unpack(const qfloat *x, qf_unpacked *u)
{
    u->neg = x->sign != 0;
    qf_load_limbs(x, u->m);
    int any = 0;
    for (int i = 0; i < QF_LIMBS; i++)
        any |= u->m[i] != 0;
    if (x->exponent >= QFLT_EXP_INFNAN) {
        u->cls = any ? QF_NAN : QF_INF;
        u->exp = 0;
        return;
    }
    if (!any) {
        u->cls = QF_ZERO;
        u->exp = 0;
        return;
    }
    u->cls = QF_FINITE;
    int32_t e = x->exponent == 0 ? QF_EMIN : (int32_t)x->exponent - QFLT_EXP_BIAS;
    if (!(u->m[0] >> 63)) {
        int shift = 0, lead = 0;
        while (u->m[lead] == 0)
            lead++;
        shift = lead * 64 + qf_clz64(u->m[lead]);
        int ls = shift / 64, bs = shift % 64;
        for (int i = 0; i < QF_LIMBS; i++) {
            uint64_t a = (i + ls < QF_LIMBS) ? u->m[i + ls] : 0;
            uint64_t b = (i + ls + 1 < QF_LIMBS) ? u->m[i + ls + 1] : 0;
            u->m[i] = bs ? (a << bs) | (b >> (64 - bs)) : a;
        }
        e -= shift;
    }
    u->exp = e;
}

void qf_pack_exact(qfloat *out, const qf_unpacked *u)
{
    switch (u->cls) {
    case QF_ZERO: qf_set_zero(out, u->neg); return;
    case QF_INF: qf_set_inf(out, u->neg); return;
    case QF_NAN: qf_set_nan(out); return;
    default: break;
    }
    qf_round_pack(out, u->neg, u->exp, u->m, QF_LIMBS, 0);
}

// Bit i of mag counting from the most significant (bit 0 = top of mag[0]).
static inline int bit_at(const uint64_t *mag, int n, long i)
{
    if (i < 0 || i >= (long)n * 64)
        return 0;
    return (int)((mag[i / 64] >> (63 - i % 64)) & 1);
}

// Nonzero when any bit at position >= from (MSB-first numbering) is set.
static int any_from(const uint64_t *mag, int n, long from)
{
    if (from < 0)
        from = 0;
    if (from >= (long)n * 64)
        return 0;
    long limb = from / 64;
    int off = (int)(from % 64);
    uint64_t mask = off ? (~0ull >> off) : ~0ull;
    if (mag[limb] & mask)
        return 1;
    for (long i = limb + 1; i < n; i++)
        if (mag[i])
            return 1;
    return 0;
}

void qf_round_pack(qfloat *out, int neg, int32_t exp, const uint64_t *mag, int n, int sticky)
{
    // Number of significand bits kept: 352 for normal results, fewer below
    // the normal range (gradual underflow), where the scale is fixed at QF_EMIN.
    long keep = QF_PREC;
    if (exp < QF_EMIN) {
        long deficit = (long)QF_EMIN - exp;
        keep = deficit > QF_PREC + 1 ? -1 : QF_PREC - deficit;
    }
    if (keep < 0) {
        // Below half the smallest subnormal: rounds to zero. At exactly
        // keep == -1 the value lies in [2^-33121, 2^-33120): still below half.
        qf_set_zero(out, neg);
        return;
    }
    // r[]: the kept bits, aligned so that the result reads 0.r * 2^scale.
    uint64_t r[QF_LIMBS] = {0, 0, 0, 0, 0, 0};
    int32_t scale = exp < QF_EMIN ? QF_EMIN : exp;
    long shift = QF_PREC - keep; // right shift of mag into the 352-bit field
    {
        long ls = shift / 64;
        int bs = (int)(shift % 64);
        for (long i = 0; i < QF_LIMBS; i++) {
            long src = i - ls;
            uint64_t a = (src >= 0 && src < n) ? mag[src] : 0;
            uint64_t b = (src - 1 >= 0 && src - 1 < n) ? mag[src - 1] : 0;
            r[i] = bs ? (a >> bs) | (b << (64 - bs)) : a;
        }
        // Only mag bits [0, keep) land in r[0..351]; clear what lies below.
        r[QF_LIMBS - 1] &= 0xFFFFFFFF00000000ull;
    }
    int round = bit_at(mag, n, keep);
    int rest = sticky || any_from(mag, n, keep + 1);
    int lsb = keep > 0 ? bit_at(mag, n, keep - 1) : 0;
    if (round && (rest || lsb)) {
        // add one unit in the last place (bit 351 of r)
        uint64_t add = 1ull << 32;
        for (int i = QF_LIMBS - 1; i >= 0 && add; i--) {
            uint64_t s = r[i] + add;
            add = s < r[i] ? 1 : 0;
            r[i] = s;
        }
        if (add) {
            // carried out of the top: the significand became 1.000...
            r[0] = 1ull << 63;
            scale += 1;
        }
    }
    if (!(r[0] >> 63)) {
        // subnormal (or zero after rounding down to nothing)
        int any = 0;
        for (int i = 0; i < QF_LIMBS; i++)
            any |= r[i] != 0;
        if (!any) {
            qf_set_zero(out, neg);
            return;
        }
        qf_store_limbs(out, neg, 0, r);
        return;
    }
    if (scale > QF_EMAX) {
        qf_set_inf(out, neg);
        return;
    }
    qf_store_limbs(out, neg, (uint32_t)(scale + QFLT_EXP_BIAS), r);
}

void qf_round_pack6(qfloat *out, int neg, int32_t exp, int sticky, uint64_t m0, uint64_t m1, uint64_t m2,
                    uint64_t m3, uint64_t m4, uint64_t m5)
{
    const uint64_t m[QF_LIMBS] = {m0, m1, m2, m3, m4, m5};
    qf_round_pack(out, neg, exp, m, QF_LIMBS, sticky);
}
