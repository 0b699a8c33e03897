// SPDX-License-Identifier: MIT
// The high part of a 32-bit-word product (qf_cpu32.h) with SSE2: the same
// words as the 32-bit multiplications of qf_mul32.cpp, from PMULUDQ, which
// forms two 32x32 -> 64-bit products at once in any register. The scalar
// code runs each product through MUL's fixed EDX:EAX pair and a dependent
// ADD/ADC chain; here the products are independent and only the final carry
// chain is sequential.
//
// Words are counted from the least significant: a_i = a[10 - i]. Columns
// are taken in pairs (c, c + 1), c = 9, 11, ..., 19, one 64-bit lane each:
// with A_i = (a_i, a_i) and B_k = (b_k, b_k+1) (b_-1 = b_11 = 0) the
// product A_i * B_(c - i) holds a_i b_(c - i) and a_i b_(c + 1 - i), terms
// of columns c and c + 1. Each lane sums at most 11 products without
// carries between words: S = sum (mod 2^64) and H = the sum of their high
// halves (< 11 * 2^32) are kept, so L = S - 2^32 H (mod 2^64) is the exact
// sum of the low halves (< 11 * 2^32 too). Column c then totals
// V_c = L_c + H_(c - 1) < 2^37, and the words of sum V_c 2^(32 c) come from
// one ADD/ADC chain over lo(V_c) + hi(V_(c - 1)). The sum is exact: these
// are the words of mul_high, carry word included (it cannot carry further:
// the columns sum to at most a * b < 2^704).
#include "qf_cpu32.h"

#if defined(QF_MUL32_SIMD)

// Byte offsets in the table t (16-byte aligned): A_i at 16 i (i = 0..10),
// B_k at 176 + 16 (k + 1) (k = -1..10), V_c at 368 + 8 (c - 9) (c = 9..21).
#define QF_T_SIZE 480

// A_i from the word at byte offset oa of a into the table at ot.
#define QF_SSE_A(oa, ot)                                                                                     \
    "movd " #oa "(%[a]), %%xmm7\n\tpshufd $0x44, %%xmm7, %%xmm7\n\tmovdqa %%xmm7, " #ot "(%[t])\n\t"
// B_(k - 1) = (b_(k - 1), b_k) from b_(k - 1) alone in register prev and
// b_k (byte offset ob of b) loaded into register cur, stored at ot; cur then
// holds b_k alone.
#define QF_SSE_B(ob, prev, cur, ot)                                                                          \
    "movd " #ob "(%[b]), %%" #cur "\n\tpunpcklqdq %%" #cur ", %%" #prev "\n\tmovdqa %%" #prev ", " #ot       \
    "(%[t])\n\t"
// The first product of a pair: S = A_i * B_(k1 - 1), H = its high halves.
#define QF_SSE_FIRST(i, k1, S, H)                                                                            \
    "movdqa 16*" #i "(%[t]), %%" #S "\n\tpmuludq 176+16*" #k1 "(%[t]), %%" #S "\n\tmovdqa %%" #S ", %%" #H   \
    "\n\tpsrlq $32, %%" #H "\n\t"
// S += A_i * B_(k1 - 1), H += its high halves.
#define QF_SSE_MAC(i, k1, S, H)                                                                              \
    "movdqa 16*" #i "(%[t]), %%xmm7\n\tpmuludq 176+16*" #k1 "(%[t]), %%xmm7\n\tpaddq %%xmm7, %%" #S          \
    "\n\tpsrlq $32, %%xmm7\n\tpaddq %%xmm7, %%" #H "\n\t"
// S -= 2^32 H: the low halves' sums.
#define QF_SSE_LOW(S, H) "movdqa %%" #H ", %%xmm6\n\tpsllq $32, %%xmm6\n\tpsubq %%xmm6, %%" #S "\n\t"
// V of the pair (c, c + 1) = S + (H_(c - 1), H_c), Hp holding H_(c - 2),
// H_(c - 1), stored at byte offset ov.
#define QF_SSE_V(S, H, Hp, ov)                                                                               \
    QF_SSE_LOW(S, H)                                                                                         \
    "movdqa %%" #Hp ", %%xmm6\n\tshufpd $1, %%" #H ", %%xmm6\n\tpaddq %%xmm6, %%" #S "\n\tmovdqa %%" #S      \
    ", " #ov "(%[t])\n\t"
// Word j of the product (j = 2..12) into p[12 - j] (byte offset op):
// lo(V_(9 + j)) + hi(V_(8 + j)) + carry.
#define QF_SSE_WORD(j, op)                                                                                   \
    "movl 368+8*" #j "(%[t]), %[x]\n\tadcl 368+8*" #j "-4(%[t]), %[x]\n\tmovl %[x], " #op "(%[p])\n\t"

__attribute__((target("sse2"), force_align_arg_pointer)) void
qf_mul32_high_sse2(const uint32_t *a, const uint32_t *b, uint32_t *p)
{
    alignas(16) unsigned char t[QF_T_SIZE];
    uint32_t x;
    // clang-format off
    __asm__(
        // A_0..A_10 (words loaded one by one: recently stored operands
        // forward from the store buffer)
        QF_SSE_A(40, 0) QF_SSE_A(36, 16) QF_SSE_A(32, 32) QF_SSE_A(28, 48) QF_SSE_A(24, 64) QF_SSE_A(20, 80)
        QF_SSE_A(16, 96) QF_SSE_A(12, 112) QF_SSE_A(8, 128) QF_SSE_A(4, 144) QF_SSE_A(0, 160)
        // B_-1 = (0, b_0), B_0..B_9, B_10 = (b_10, 0)
        "movd 40(%[b]), %%xmm0\n\tmovdqa %%xmm0, %%xmm1\n\tpslldq $8, %%xmm1\n\tmovdqa %%xmm1, 176(%[t])\n\t"
        QF_SSE_B(36, xmm0, xmm1, 192) QF_SSE_B(32, xmm1, xmm0, 208) QF_SSE_B(28, xmm0, xmm1, 224)
        QF_SSE_B(24, xmm1, xmm0, 240) QF_SSE_B(20, xmm0, xmm1, 256) QF_SSE_B(16, xmm1, xmm0, 272)
        QF_SSE_B(12, xmm0, xmm1, 288) QF_SSE_B(8, xmm1, xmm0, 304) QF_SSE_B(4, xmm0, xmm1, 320)
        QF_SSE_B(0, xmm1, xmm0, 336) "movdqa %%xmm0, 352(%[t])\n\t"
        // columns 9, 10 in xmm0 (S), xmm1 (H): i = 0..10
        QF_SSE_FIRST(0, 10, xmm0, xmm1) QF_SSE_MAC(1, 9, xmm0, xmm1) QF_SSE_MAC(2, 8, xmm0, xmm1)
        QF_SSE_MAC(3, 7, xmm0, xmm1) QF_SSE_MAC(4, 6, xmm0, xmm1) QF_SSE_MAC(5, 5, xmm0, xmm1)
        QF_SSE_MAC(6, 4, xmm0, xmm1) QF_SSE_MAC(7, 3, xmm0, xmm1) QF_SSE_MAC(8, 2, xmm0, xmm1)
        QF_SSE_MAC(9, 1, xmm0, xmm1) QF_SSE_MAC(10, 0, xmm0, xmm1)
        QF_SSE_LOW(xmm0, xmm1) "movdqa %%xmm1, %%xmm6\n\tpslldq $8, %%xmm6\n\tpaddq %%xmm6, %%xmm0\n\t"
        "movdqa %%xmm0, 368(%[t])\n\t"
        // columns 11, 12 in xmm2, xmm3: i = 1..10
        QF_SSE_FIRST(1, 11, xmm2, xmm3) QF_SSE_MAC(2, 10, xmm2, xmm3) QF_SSE_MAC(3, 9, xmm2, xmm3)
        QF_SSE_MAC(4, 8, xmm2, xmm3) QF_SSE_MAC(5, 7, xmm2, xmm3) QF_SSE_MAC(6, 6, xmm2, xmm3)
        QF_SSE_MAC(7, 5, xmm2, xmm3) QF_SSE_MAC(8, 4, xmm2, xmm3) QF_SSE_MAC(9, 3, xmm2, xmm3)
        QF_SSE_MAC(10, 2, xmm2, xmm3) QF_SSE_V(xmm2, xmm3, xmm1, 384)
        // columns 13, 14: i = 3..10
        QF_SSE_FIRST(3, 11, xmm0, xmm1) QF_SSE_MAC(4, 10, xmm0, xmm1) QF_SSE_MAC(5, 9, xmm0, xmm1)
        QF_SSE_MAC(6, 8, xmm0, xmm1) QF_SSE_MAC(7, 7, xmm0, xmm1) QF_SSE_MAC(8, 6, xmm0, xmm1)
        QF_SSE_MAC(9, 5, xmm0, xmm1) QF_SSE_MAC(10, 4, xmm0, xmm1) QF_SSE_V(xmm0, xmm1, xmm3, 400)
        // columns 15, 16: i = 5..10
        QF_SSE_FIRST(5, 11, xmm2, xmm3) QF_SSE_MAC(6, 10, xmm2, xmm3) QF_SSE_MAC(7, 9, xmm2, xmm3)
        QF_SSE_MAC(8, 8, xmm2, xmm3) QF_SSE_MAC(9, 7, xmm2, xmm3) QF_SSE_MAC(10, 6, xmm2, xmm3)
        QF_SSE_V(xmm2, xmm3, xmm1, 416)
        // columns 17, 18: i = 7..10
        QF_SSE_FIRST(7, 11, xmm0, xmm1) QF_SSE_MAC(8, 10, xmm0, xmm1) QF_SSE_MAC(9, 9, xmm0, xmm1)
        QF_SSE_MAC(10, 8, xmm0, xmm1) QF_SSE_V(xmm0, xmm1, xmm3, 432)
        // columns 19, 20: i = 9, 10
        QF_SSE_FIRST(9, 11, xmm2, xmm3) QF_SSE_MAC(10, 10, xmm2, xmm3) QF_SSE_V(xmm2, xmm3, xmm1, 448)
        // V_21 = H_20
        "psrldq $8, %%xmm3\n\tmovq %%xmm3, 464(%[t])\n\t"
        // the words: p[12] = lo(V_9), then lo(V_c) + hi(V_(c - 1)) with carries
        "movl 368(%[t]), %[x]\n\tmovl %[x], 48(%[p])\n\t"
        "movl 376(%[t]), %[x]\n\taddl 372(%[t]), %[x]\n\tmovl %[x], 44(%[p])\n\t"
        QF_SSE_WORD(2, 40) QF_SSE_WORD(3, 36) QF_SSE_WORD(4, 32) QF_SSE_WORD(5, 28) QF_SSE_WORD(6, 24)
        QF_SSE_WORD(7, 20) QF_SSE_WORD(8, 16) QF_SSE_WORD(9, 12) QF_SSE_WORD(10, 8) QF_SSE_WORD(11, 4)
        QF_SSE_WORD(12, 0)
        : [x] "=&r"(x), "=m"(*(uint32_t(*)[13])p), "=m"(t)
        : [a] "r"(a), [b] "r"(b), [p] "r"(p), [t] "r"(t), "m"(*(const uint32_t(*)[QF_WORDS])a),
          "m"(*(const uint32_t(*)[QF_WORDS])b)
        : "xmm0", "xmm1", "xmm2", "xmm3", "xmm6", "xmm7", "cc");
    // clang-format on
}

#endif
