// SPDX-License-Identifier: MIT
/*
 * The run-time choice between two builds of the hottest operations on
 * x86-64: the generic code (any x86-64) and the code that uses MULX, ADCX and
 * ADOX (BMI2 and ADX: Intel since Broadwell, AMD since Zen). Both give the
 * same bits; the choice only changes the speed.
 *
 * On glibc targets the exported entry is a GNU indirect function: the loader
 * asks the resolver once and binds the entry to one build, so no state is
 * left in the library. Elsewhere on x86-64 (the 64-bit Windows DLL) the entry
 * reads the choice from one word that the first call fills in: every thread
 * computes the same value from cpuid, so the unordered (relaxed) store is a
 * benign race and no lock is needed. Other targets have the generic code
 * only, and the entry is that code.
 */
#ifndef ZELQ_QF_CPU_H
#define ZELQ_QF_CPU_H

#include "qf_six_limbs.h"

#if defined(QF_X86_64_ASM)
#define QF_ADX_PATH 1
#include <cpuid.h>
#if defined(__ELF__) && defined(__GLIBC__)
#define QF_DISPATCH_IFUNC 1
#endif
/* The build that may use BMI2 instructions in compiled code; the ADX
 * instructions only ever appear in inline assembly. */
#define QF_ADX_TARGET __attribute__((target("bmi2")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The two builds of each dispatched operation, for tests and benchmarks
 * (callers outside them use the exported entries). The _adx builds exist on
 * x86-64 only and may be called only when qf_cpu_bmi2_adx() is nonzero. */
void qf_mul_generic(qfloat *out, const qfloat *a, const qfloat *b);
#if defined(QF_ADX_PATH)
void qf_add_generic(qfloat *out, const qfloat *a, const qfloat *b);
void qf_sub_generic(qfloat *out, const qfloat *a, const qfloat *b);
void qf_mul_adx(qfloat *out, const qfloat *a, const qfloat *b);
void qf_add_adx(qfloat *out, const qfloat *a, const qfloat *b);
void qf_sub_adx(qfloat *out, const qfloat *a, const qfloat *b);

/* The cached choice of the entries without an indirect function: 0 before
 * the first call, then 1 (generic) or 2 (BMI2 and ADX). */
extern int qf_adx_choice;

/* Asks cpuid, stores the choice in qf_adx_choice and returns it. */
int qf_adx_choose(void);
#endif

#ifdef __cplusplus
}
#endif

#if defined(QF_ADX_PATH)
/* Nonzero when the processor executes BMI2 and ADX instructions (cpuid leaf
 * 7: EBX bits 8 and 19). Both use general registers only, so no operating
 * system support needs checking. */
static inline int qf_cpu_bmi2_adx(void)
{
    unsigned a, b, c, d;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d))
        return 0;
    return (b >> 8 & 1) && (b >> 19 & 1);
}

/* Nonzero when the BMI2 and ADX build is to run: cpuid asked once, then the
 * cached answer (see qf_adx_choice). */
static inline int qf_use_adx(void)
{
    int s = __atomic_load_n(&qf_adx_choice, __ATOMIC_RELAXED);
    if (QF_UNLIKELY(s == 0))
        s = qf_adx_choose();
    return s == 2;
}
#endif

/*
 * Defines the exported entry NAME (returning void, parameters PARAMS, called
 * with ARGS) over the builds GENERIC and ADX.
 */
#if defined(QF_DISPATCH_IFUNC)
#define QF_DISPATCH(NAME, PARAMS, ARGS, GENERIC, ADX)                                                        \
    extern "C" __attribute__((visibility("hidden"))) void(*NAME##_resolve(void)) PARAMS                      \
    {                                                                                                        \
        return qf_cpu_bmi2_adx() ? ADX : GENERIC;                                                            \
    }                                                                                                        \
    extern "C" void NAME PARAMS __attribute__((ifunc(#NAME "_resolve")));
#elif defined(QF_ADX_PATH)
#define QF_DISPATCH(NAME, PARAMS, ARGS, GENERIC, ADX)                                                        \
    extern "C" void NAME PARAMS                                                                              \
    {                                                                                                        \
        if (qf_use_adx())                                                                                    \
            ADX ARGS;                                                                                        \
        else                                                                                                 \
            GENERIC ARGS;                                                                                    \
    }
#else
#define QF_DISPATCH(NAME, PARAMS, ARGS, GENERIC, ADX)                                                        \
    extern "C" void NAME PARAMS                                                                              \
    {                                                                                                        \
        GENERIC ARGS;                                                                                        \
    }
#endif

#endif
