// SPDX-License-Identifier: MIT
// The high part of a 32-bit-word product (qf_cpu32.h) with AVX2: the same
// words as qf_mul32_sse2.cpp from VPMULUDQ on 256-bit registers, four
// 32x32 -> 64-bit products per instruction, so columns are taken in fours
// (c .. c + 3, c = 9, 13, 17) and a_i is broadcast straight from memory.
//
// Words are counted from the least significant: a_i = a[10 - i]. With
// Q_k = (b_k, b_k+1, b_k+2, b_k+3) (b_j = 0 outside 0..10), broadcast a_i
// times Q_(c - i) holds terms of columns c .. c + 3. As in the SSE2 build,
// each lane sums at most 11 products: S (mod 2^64) and the sum H of their
// high halves (< 11 * 2^32) give the exact sum of the low halves as
// L = S - 2^32 H (mod 2^64); column c totals V_c = L_c + H_(c - 1) < 2^37,
// and one ADD/ADC chain over lo(V_c) + hi(V_(c - 1)) gives the words,
// exactly those of mul_high (qf_mul32.cpp).
#include "qf_cpu32.h"

#if defined(QF_MUL32_SIMD)

// Byte offsets in the table t (32-byte aligned): Q_k at 32 (k + 1)
// (k = -1..10), V_c at 384 + 8 (c - 9) (c = 9..21).
#define QF_T_SIZE 512

// The word b_j (byte offset ob of b) into register xmm<r>.
#define QF_AVX_LOAD(ob, r) "vmovd " #ob "(%[b]), %%xmm" #r "\n\t"
// The pair (b_k, b_k+1) into xmm<d> from the words alone in xmm<lo>, xmm<hi>.
#define QF_AVX_PAIR(lo, hi, d) "vpunpcklqdq %%xmm" #hi ", %%xmm" #lo ", %%xmm" #d "\n\t"
// Q_k = (pair k in xmm<lo>, pair k + 2 in xmm<hi>) stored at ot.
#define QF_AVX_QUAD(lo, hi, ot)                                                                              \
    "vinserti128 $1, %%xmm" #hi ", %%ymm" #lo ", %%ymm6\n\tvmovdqa %%ymm6, " #ot "(%[t])\n\t"
// The first product of a quad: S = a_i * Q_(k1 - 1), H = its high halves.
#define QF_AVX_FIRST(i, k1, S, H)                                                                            \
    "vpbroadcastd 40-4*" #i "(%[a]), %%" #S "\n\tvpmuludq 32*" #k1 "(%[t]), %%" #S ", %%" #S                 \
    "\n\tvpsrlq $32, %%" #S ", %%" #H "\n\t"
// S += a_i * Q_(k1 - 1), H += its high halves.
#define QF_AVX_MAC(i, k1, S, H)                                                                              \
    "vpbroadcastd 40-4*" #i "(%[a]), %%ymm7\n\tvpmuludq 32*" #k1                                             \
    "(%[t]), %%ymm7, %%ymm7\n\tvpaddq %%ymm7, %%" #S ", %%" #S                                               \
    "\n\tvpsrlq $32, %%ymm7, %%ymm7\n\tvpaddq %%ymm7, %%" #H ", %%" #H "\n\t"
// V of the quad = S - 2^32 H + (H_(c - 1), H_c, H_(c + 1), H_(c + 2)),
// stored at ov; H is left rotated, H_(c + 3) in lane 0, and Hp is the
// previous quad's H so rotated.
#define QF_AVX_V(S, H, Hp, ov)                                                                               \
    "vpsllq $32, %%" #H ", %%ymm6\n\tvpsubq %%ymm6, %%" #S ", %%" #S "\n\tvpermq $0x93, %%" #H ", %%" #H     \
    "\n\tvpblendd $3, %%" #Hp ", %%" #H ", %%ymm6\n\tvpaddq %%ymm6, %%" #S ", %%" #S "\n\tvmovdqa %%" #S     \
    ", " #ov "(%[t])\n\t"
// Word j of the product (j = 2..12) into p at byte offset op:
// lo(V_(9 + j)) + hi(V_(8 + j)) + carry.
#define QF_AVX_WORD(j, op)                                                                                   \
    "movl 384+8*" #j "(%[t]), %[x]\n\tadcl 384+8*" #j "-4(%[t]), %[x]\n\tmovl %[x], " #op "(%[p])\n\t"

__attribute__((target("avx2"), force_align_arg_pointer)) void
qf_mul32_high_avx2(const uint32_t *a, const uint32_t *b, uint32_t *p)
{
    alignas(32) unsigned char t[QF_T_SIZE];
    uint32_t x;
    // clang-format off
    __asm__(
        // Q_-1..Q_10: the words one by one (recently stored operands forward
        // from the store buffer) in xmm0/xmm1, pairs in xmm2..xmm5, zero in
        // xmm7
        "vpxor %%xmm7, %%xmm7, %%xmm7\n\t"
        QF_AVX_LOAD(40, 0) QF_AVX_PAIR(7, 0, 2)                         // pair -1
        QF_AVX_LOAD(36, 1) QF_AVX_PAIR(0, 1, 3)                         // pair 0
        QF_AVX_LOAD(32, 0) QF_AVX_PAIR(1, 0, 4) QF_AVX_QUAD(2, 4, 0)    // pair 1, Q_-1
        QF_AVX_LOAD(28, 1) QF_AVX_PAIR(0, 1, 5) QF_AVX_QUAD(3, 5, 32)   // pair 2, Q_0
        QF_AVX_LOAD(24, 0) QF_AVX_PAIR(1, 0, 2) QF_AVX_QUAD(4, 2, 64)   // pair 3, Q_1
        QF_AVX_LOAD(20, 1) QF_AVX_PAIR(0, 1, 3) QF_AVX_QUAD(5, 3, 96)   // pair 4, Q_2
        QF_AVX_LOAD(16, 0) QF_AVX_PAIR(1, 0, 4) QF_AVX_QUAD(2, 4, 128)  // pair 5, Q_3
        QF_AVX_LOAD(12, 1) QF_AVX_PAIR(0, 1, 5) QF_AVX_QUAD(3, 5, 160)  // pair 6, Q_4
        QF_AVX_LOAD(8, 0) QF_AVX_PAIR(1, 0, 2) QF_AVX_QUAD(4, 2, 192)   // pair 7, Q_5
        QF_AVX_LOAD(4, 1) QF_AVX_PAIR(0, 1, 3) QF_AVX_QUAD(5, 3, 224)   // pair 8, Q_6
        QF_AVX_LOAD(0, 0) QF_AVX_PAIR(1, 0, 4) QF_AVX_QUAD(2, 4, 256)   // pair 9, Q_7
        // pair 10 = (b_10, 0) is xmm0 itself, pairs 11, 12 are zero
        QF_AVX_QUAD(3, 0, 288) "vmovdqa %%ymm4, 320(%[t])\n\tvmovdqa %%ymm0, 352(%[t])\n\t"
        // columns 9..12 in ymm0 (S), ymm1 (H): i = 0..10
        QF_AVX_FIRST(0, 10, ymm0, ymm1) QF_AVX_MAC(1, 9, ymm0, ymm1) QF_AVX_MAC(2, 8, ymm0, ymm1)
        QF_AVX_MAC(3, 7, ymm0, ymm1) QF_AVX_MAC(4, 6, ymm0, ymm1) QF_AVX_MAC(5, 5, ymm0, ymm1)
        QF_AVX_MAC(6, 4, ymm0, ymm1) QF_AVX_MAC(7, 3, ymm0, ymm1) QF_AVX_MAC(8, 2, ymm0, ymm1)
        QF_AVX_MAC(9, 1, ymm0, ymm1) QF_AVX_MAC(10, 0, ymm0, ymm1)
        "vpxor %%xmm5, %%xmm5, %%xmm5\n\t" QF_AVX_V(ymm0, ymm1, ymm5, 384)
        // columns 13..16 in ymm2, ymm3: i = 3..10
        QF_AVX_FIRST(3, 11, ymm2, ymm3) QF_AVX_MAC(4, 10, ymm2, ymm3) QF_AVX_MAC(5, 9, ymm2, ymm3)
        QF_AVX_MAC(6, 8, ymm2, ymm3) QF_AVX_MAC(7, 7, ymm2, ymm3) QF_AVX_MAC(8, 6, ymm2, ymm3)
        QF_AVX_MAC(9, 5, ymm2, ymm3) QF_AVX_MAC(10, 4, ymm2, ymm3) QF_AVX_V(ymm2, ymm3, ymm1, 416)
        // columns 17..20: i = 7..10
        QF_AVX_FIRST(7, 11, ymm0, ymm1) QF_AVX_MAC(8, 10, ymm0, ymm1) QF_AVX_MAC(9, 9, ymm0, ymm1)
        QF_AVX_MAC(10, 8, ymm0, ymm1) QF_AVX_V(ymm0, ymm1, ymm3, 448)
        // V_21 = H_20, lane 0 of the rotated H
        "vmovq %%xmm1, 480(%[t])\n\t"
        // the words: p[12] = lo(V_9), then lo(V_c) + hi(V_(c - 1)) with carries
        "movl 384(%[t]), %[x]\n\tmovl %[x], 48(%[p])\n\t"
        "movl 392(%[t]), %[x]\n\taddl 388(%[t]), %[x]\n\tmovl %[x], 44(%[p])\n\t"
        QF_AVX_WORD(2, 40) QF_AVX_WORD(3, 36) QF_AVX_WORD(4, 32) QF_AVX_WORD(5, 28) QF_AVX_WORD(6, 24)
        QF_AVX_WORD(7, 20) QF_AVX_WORD(8, 16) QF_AVX_WORD(9, 12) QF_AVX_WORD(10, 8) QF_AVX_WORD(11, 4)
        QF_AVX_WORD(12, 0)
        "vzeroupper"
        : [x] "=&r"(x), "=m"(*(uint32_t(*)[13])p), "=m"(t)
        : [a] "r"(a), [b] "r"(b), [p] "r"(p), [t] "r"(t), "m"(*(const uint32_t(*)[QF_WORDS])a),
          "m"(*(const uint32_t(*)[QF_WORDS])b)
        : "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "cc");
    // clang-format on
}

#endif
