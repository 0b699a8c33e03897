// SPDX-License-Identifier: MIT
// Conversions between qfloat and the machine's int32 and float.
#include "qf_six_limbs.h"

#include <string.h>

void __op_cast_int_qfloat(qfloat *out, int32_t n)
{
    uint64_t mag = n < 0 ? 0 - (uint64_t)(int64_t)n : (uint64_t)n; // exact for INT32_MIN too
    if (mag == 0) {
        qf_set_zero(out, 0);
        return;
    }
    int z = qf_clz64(mag);
    uint64_t m[QF_LIMBS] = {mag << z, 0, 0, 0, 0, 0};
    qf_store_limbs(out, n < 0, (uint32_t)(64 - z + QFLT_EXP_BIAS), m);
}

void _ltoq(const int32_t *n, qfloat *out)
{
    __op_cast_int_qfloat(out, *n);
}

int32_t _qtoi(const qfloat *x)
{
    qf_unpacked u;
    qf_unpack(x, &u);
    if (u.cls == QF_NAN || u.cls == QF_ZERO)
        return 0;
    // |x| >= 2^31 saturates (for -2^31 that is the exact value)
    if (u.cls == QF_INF || u.exp > 31)
        return u.neg ? INT32_MIN : INT32_MAX;
    if (u.exp <= 0)
        return 0;                                    // |x| < 1
    int32_t mag = (int32_t)(u.m[0] >> (64 - u.exp)); // < 2^31: fits
    return u.neg ? -mag : mag;
}

float _qtof(const qfloat *x)
{
    qf_unpacked u;
    qf_unpack(x, &u);
    uint32_t sign = u.neg ? 0x80000000u : 0u, bits;
    if (u.cls == QF_NAN) {
        bits = 0x7FC00000u;
    } else if (u.cls == QF_INF) {
        bits = sign | 0x7F800000u;
    } else if (u.cls == QF_ZERO) {
        bits = sign;
    } else {
        // x = 1.f * 2^e2. Float keeps 24 bits for e2 >= -126; below, one bit
        // fewer per binade down to the smallest subnormal 2^-149.
        int32_t e2 = u.exp - 1;
        int32_t keep = e2 >= -126 ? 24 : e2 + 150;
        uint64_t rest = u.m[1] | u.m[2] | u.m[3] | u.m[4] | u.m[5];
        uint64_t kept, half;
        if (keep < 0) {
            kept = 0; // below half the smallest subnormal
            half = 0;
        } else if (keep == 0) {
            kept = 0;
            half = 1;
            rest |= u.m[0] << 1;
        } else {
            kept = u.m[0] >> (64 - keep);
            half = (u.m[0] >> (63 - keep)) & 1;
            rest |= u.m[0] << (keep + 1);
        }
        kept += half & ((rest != 0) | (kept & 1)); // ties to even
        if (e2 >= -126) {
            if (kept >> 24) { // rounded up to the next binade
                kept >>= 1;
                e2++;
            }
            if (e2 > 127)
                bits = sign | 0x7F800000u;
            else
                bits = sign | (uint32_t)(e2 + 127) << 23 | ((uint32_t)kept & 0x7FFFFFu);
        } else {
            // subnormal; rounding up to 2^23 gives the smallest normal's pattern
            bits = sign | (uint32_t)kept;
        }
    }
    float f;
    memcpy(&f, &bits, sizeof f);
    return f;
}
