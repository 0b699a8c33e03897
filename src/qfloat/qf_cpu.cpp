// SPDX-License-Identifier: MIT
// The cached processor choice of the dispatching entries that are not GNU
// indirect functions (qf_cpu.h).
#include "qf_cpu.h"

#if defined(QF_ADX_PATH)
int qf_adx_choice;

int qf_adx_choose(void)
{
    int s = qf_cpu_bmi2_adx() ? 2 : 1;
    __atomic_store_n(&qf_adx_choice, s, __ATOMIC_RELAXED);
    return s;
}
#endif
