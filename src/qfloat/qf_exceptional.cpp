// SPDX-License-Identifier: MIT
// The results of + and x and / when an operand is a NaN, an infinity or a
// zero: one set of rules for the 64-bit-limb and the 32-bit-word builds.
#include "qf_internal.h"

int qf_add_exceptional(qfloat *out, const qf_unpacked *a, const qf_unpacked *b)
{
    if (a->cls == QF_NAN || b->cls == QF_NAN) {
        qf_set_nan(out);
    } else if (a->cls == QF_INF || b->cls == QF_INF) {
        if (a->cls == QF_INF && b->cls == QF_INF && a->neg != b->neg)
            qf_set_nan(out); // inf - inf
        else
            qf_set_inf(out, a->cls == QF_INF ? a->neg : b->neg);
    } else if (a->cls == QF_ZERO && b->cls == QF_ZERO) {
        qf_set_zero(out, a->neg & b->neg); // -0 + -0 = -0, otherwise +0
    } else if (b->cls == QF_ZERO) {
        qf_pack_exact(out, a);
    } else if (a->cls == QF_ZERO) {
        qf_pack_exact(out, b);
    } else {
        return 0;
    }
    return 1;
}

int qf_add_unpacked_exceptional(qfloat *out, const qfloat *a, const qfloat *b, int flip, qf_unpacked *ua,
                                qf_unpacked *ub)
{
    qf_unpack(a, ua);
    qf_unpack(b, ub);
    ub->neg ^= flip;
    return qf_add_exceptional(out, ua, ub);
}

int qf_mul_exceptional(qfloat *out, const qf_unpacked *a, const qf_unpacked *b)
{
    int neg = a->neg ^ b->neg;
    if (a->cls == QF_NAN || b->cls == QF_NAN) {
        qf_set_nan(out);
    } else if (a->cls == QF_INF || b->cls == QF_INF) {
        if (a->cls == QF_ZERO || b->cls == QF_ZERO)
            qf_set_nan(out); // 0 * inf
        else
            qf_set_inf(out, neg);
    } else if (a->cls == QF_ZERO || b->cls == QF_ZERO) {
        qf_set_zero(out, neg);
    } else {
        return 0;
    }
    return 1;
}

int qf_div_exceptional(qfloat *out, const qf_unpacked *a, const qf_unpacked *b)
{
    int neg = a->neg ^ b->neg;
    if (a->cls == QF_NAN || b->cls == QF_NAN || (a->cls == b->cls && (a->cls == QF_ZERO || a->cls == QF_INF)))
        qf_set_nan(out); // 0/0 and inf/inf
    else if (a->cls == QF_INF || b->cls == QF_ZERO)
        qf_set_inf(out, neg);
    else if (a->cls == QF_ZERO || b->cls == QF_INF)
        qf_set_zero(out, neg);
    else
        return 0;
    return 1;
}
