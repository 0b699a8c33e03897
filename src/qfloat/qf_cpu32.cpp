// SPDX-License-Identifier: MIT
// The cached processor choice of the 32-bit x86 multiplication (qf_cpu32.h).
#include "qf_cpu32.h"

#if defined(QF_MUL32_SIMD)
int qf_cpu32_choice;

int qf_cpu32_choose(void)
{
    int s = qf_cpu32_detect();
    __atomic_store_n(&qf_cpu32_choice, s, __ATOMIC_RELAXED);
    return s;
}
#endif
