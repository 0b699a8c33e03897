// SPDX-License-Identifier: MIT
/*
 * The run-time choice between the builds of the multiplication on 32-bit x86
 * (the code of the 32-bit DLL): plain 32-bit code (any i686), SSE2 (two
 * 32x32-bit products per instruction: Pentium 4 and Athlon 64 onward, and
 * required by every 32-bit Windows since 8) and AVX2 (four per instruction:
 * Intel since Haswell, AMD since Excavator). All give the same bits; the
 * choice only changes the speed. Nothing is assumed: a processor without
 * SSE2 runs the plain build.
 *
 * The choice lives in one word that the first call fills in from cpuid
 * (slow, and a trap to the hypervisor in a virtual machine): every thread
 * computes the same value, so the unordered (relaxed) store is a benign race
 * and no lock is needed. No ifunc: the DLL has none, and one mechanism on
 * every 32-bit target is the one that the tests exercise.
 */
#ifndef ZELQ_QF_CPU32_H
#define ZELQ_QF_CPU32_H

#include "qf_words32.h"

/* The SIMD builds are inline assembly (qf_mul32_sse2.cpp, qf_mul32_avx2.cpp)
 * and exist where the scalar assembly does. */
#if defined(QF_WORDS32) && defined(QF_I386_ASM)
#define QF_MUL32_SIMD 1
#include <cpuid.h>

/* Values of qf_cpu32_choice. */
#define QF_CPU32_PLAIN 1
#define QF_CPU32_SSE2 2
#define QF_CPU32_AVX2 3

#ifdef __cplusplus
extern "C" {
#endif

/* 0 before the first call, then one of QF_CPU32_*. */
extern int qf_cpu32_choice;

/* Asks cpuid (qf_cpu32_detect), stores the answer in qf_cpu32_choice and
 * returns it. */
int qf_cpu32_choose(void);

/* The three builds of the multiplication, for tests and benchmarks (callers
 * outside them use __op_multiply_pqfloat_pqfloat): qf_mul_generic needs
 * nothing beyond i686, qf_mul_sse2 needs SSE2 and qf_mul_avx2 needs AVX2
 * with the ymm state enabled (qf_cpu32_detect() >= QF_CPU32_AVX2). */
void qf_mul_sse2(qfloat *out, const qfloat *a, const qfloat *b);
void qf_mul_avx2(qfloat *out, const qfloat *a, const qfloat *b);

/* Columns 9..20 of the 11x11-word product of a and b and the carry above
 * them into p[0..13), most significant first: the high part that
 * qf_mul32.cpp's mul_high forms with 32-bit multiplications, the same words
 * from SIMD products. a, b: 11 words, most significant first, any alignment;
 * any stack alignment at entry. */
void qf_mul32_high_sse2(const uint32_t *a, const uint32_t *b, uint32_t *p);
void qf_mul32_high_avx2(const uint32_t *a, const uint32_t *b, uint32_t *p);

#ifdef __cplusplus
}
#endif

/* The best build this processor runs: QF_CPU32_AVX2 when cpuid reports AVX2
 * and AVX (leaf 7 EBX bit 5, leaf 1 ECX bit 28) and the operating system
 * saves the ymm state (OSXSAVE, leaf 1 ECX bit 27, and XCR0 bits 1 and 2);
 * else QF_CPU32_SSE2 when it reports SSE2 (leaf 1 EDX bit 26: the xmm state
 * has been saved by every system that runs this code); else
 * QF_CPU32_PLAIN. */
static inline int qf_cpu32_detect(void)
{
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d)) // also checks that cpuid exists
        return QF_CPU32_PLAIN;
    if (!(d >> 26 & 1))
        return QF_CPU32_PLAIN;
    unsigned c1 = c;
    if ((c1 >> 27 & 1) && (c1 >> 28 & 1) && __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b >> 5 & 1)) {
        unsigned xlo, xhi;
        __asm__("xgetbv" : "=a"(xlo), "=d"(xhi) : "c"(0));
        if ((xlo & 6) == 6)
            return QF_CPU32_AVX2;
    }
    return QF_CPU32_SSE2;
}

/* The build to run: cpuid asked once, then the cached answer. */
static inline int qf_cpu32(void)
{
    int s = __atomic_load_n(&qf_cpu32_choice, __ATOMIC_RELAXED);
    if (QF_UNLIKELY(s == 0))
        s = qf_cpu32_choose();
    return s;
}
#endif

#endif
