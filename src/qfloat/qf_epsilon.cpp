// SPDX-License-Identifier: MIT
// QFLT_EPSILON: the qfloat nearest to the 71-digit decimal
// 1.0900377190420865842969737513593110651511287639835344898368128235126807E-106,
// that is 2^-352 (the last unit of numbers in [1/2, 1)) times 1 + 3.7e-71.
#include "qfloat.h"

extern const qfloat QFLT_EPSILON = {
    0,
    QFLT_EXP_BIAS - 351,
    {0, 0x80000000u, 0, 0, 0, 0, 0, 0, 0x00204a12u, 0x3dd7d872u, 0x4298174bu, 0x045663a3u}};
