// SPDX-License-Identifier: MIT
// Arithmetic core against MPFR: + - x / must match MPFR at 352 bits (round
// to nearest, qfloat's exponent range and subnormals) bit for bit, on random
// operands steered toward the cases where rounding is hard; on x86-64 both
// builds of the dispatched operations (qf_cpu.h) are checked, each alone, and
// on 32-bit x86 every build of the multiplication that the processor runs
// (qf_cpu32.h).
// ZELQ_TEST_SEED=<n> in the environment replays a run.
#include "qf_cpu.h"
#include "qf_cpu32.h"
#include "qf_mpfr.h"
#include "qf_six_limbs.h"
#include "qf_test_support.h"
#include "qfloat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace
{

const int32_t EMIN = QF_EMIN, EMAX = QF_EMAX;

uint64_t test_seed()
{
    static const uint64_t seed = zelq_test_seed("qfloat_arith_test");
    return seed;
}

// A normal qfloat 0.m * 2^e (m normalized; e in the normal range).
qfloat make(int neg, int32_t e, const uint64_t *m)
{
    qfloat q;
    uint64_t mm[QF_LIMBS];
    std::memcpy(mm, m, sizeof mm);
    mm[5] &= QF_HIGH32;
    qf_store_limbs(&q, neg, (uint32_t)(e + QFLT_EXP_BIAS), mm);
    return q;
}

qfloat from_mpfr(const mpfr_t r)
{
    qfloat q;
    mpfr_to_qf(&q, r);
    return q;
}

// Holds MPFR scratch values at 352 bits for the reference results.
struct Ref {
    mpfr_t x, y, r, w;
    Ref()
    {
        qf_mpfr_setup_range();
        mpfr_inits2(QF_PREC, x, y, r, (mpfr_ptr)0);
        mpfr_init2(w, 2000);
    }
    ~Ref()
    {
        mpfr_clears(x, y, r, w, (mpfr_ptr)0);
    }
    // op: 0 +, 1 -, 2 *, 3 /
    qfloat apply(int op, const qfloat &a, const qfloat &b)
    {
        qf_to_mpfr(x, &a);
        qf_to_mpfr(y, &b);
        return apply_loaded(op);
    }
    qfloat apply_loaded(int op)
    {
        int t = 0;
        switch (op) {
        case 0: t = mpfr_add(r, x, y, MPFR_RNDN); break;
        case 1: t = mpfr_sub(r, x, y, MPFR_RNDN); break;
        case 2: t = mpfr_mul(r, x, y, MPFR_RNDN); break;
        default: t = mpfr_div(r, x, y, MPFR_RNDN); break;
        }
        qf_mpfr_round(r, t);
        return from_mpfr(r);
    }
};

typedef void (*binary_op)(qfloat *, const qfloat *, const qfloat *);

// + - x / of one build: the exported entries, or one build called directly.
struct Path {
    const char *name;
    binary_op op[4];
};

const Path EXPORTED = {"exported",
                       {__op_plus_pqfloat_pqfloat, __op_minus_pqfloat_pqfloat, __op_multiply_pqfloat_pqfloat,
                        __op_divide_pqfloat_pqfloat}};

// The builds this processor can run: the exported entries, and on x86-64 the
// generic build and, where the processor has BMI2 and ADX, the MULX build;
// on 32-bit x86 the plain, SSE2 and AVX2 builds of the multiplication.
std::vector<Path> paths()
{
    std::vector<Path> v;
    v.reserve(4); // room for every build (and no spurious array-bounds warning from GCC 12)
    v.push_back(EXPORTED);
#if defined(QF_ADX_PATH)
    v.push_back({"generic", {qf_add_generic, qf_sub_generic, qf_mul_generic, __op_divide_pqfloat_pqfloat}});
    if (qf_cpu_bmi2_adx())
        v.push_back({"adx", {qf_add_adx, qf_sub_adx, qf_mul_adx, __op_divide_pqfloat_pqfloat}});
    else
        std::printf("no BMI2 and ADX here: the MULX build is not tested\n");
#endif
#if defined(QF_MUL32_SIMD)
    v.push_back({"plain",
                 {__op_plus_pqfloat_pqfloat, __op_minus_pqfloat_pqfloat, qf_mul_generic,
                  __op_divide_pqfloat_pqfloat}});
    int cpu = qf_cpu32_detect();
    if (cpu >= QF_CPU32_SSE2)
        v.push_back({"sse2",
                     {__op_plus_pqfloat_pqfloat, __op_minus_pqfloat_pqfloat, qf_mul_sse2,
                      __op_divide_pqfloat_pqfloat}});
    if (cpu >= QF_CPU32_AVX2)
        v.push_back({"avx2",
                     {__op_plus_pqfloat_pqfloat, __op_minus_pqfloat_pqfloat, qf_mul_avx2,
                      __op_divide_pqfloat_pqfloat}});
    else
        std::printf("no AVX2 here: the AVX2 multiplication is not tested\n");
#endif
    return v;
}

void qf_apply(int op, qfloat *out, const qfloat *a, const qfloat *b, const Path &path = EXPORTED)
{
    path.op[op](out, a, b);
}

const char OPS[] = "+-*/";

// Random operands with a bias toward structured significands.
struct Gen {
    std::mt19937_64 rng;
    explicit Gen(uint64_t s) : rng(s) {}
    uint64_t u()
    {
        return rng();
    }
    int32_t range(int32_t lo, int32_t hi)
    {
        return lo + (int32_t)(u() % (uint64_t)(hi - lo + 1));
    }
    bool coin()
    {
        return u() & 1;
    }

    // Significand with its top bit set, in one of several shapes.
    void mantissa(uint64_t *m)
    {
        switch (u() % 8) {
        case 0:
        case 1:
            for (int i = 0; i < QF_LIMBS; i++)
                m[i] = u();
            break;
        case 2: { // runs of equal bits
            int bit = (int)(u() & 1), pos = 0;
            for (int i = 0; i < QF_LIMBS; i++)
                m[i] = 0;
            while (pos < 384) {
                int len = 1 + (int)(u() % 90);
                for (int k = pos; k < pos + len && k < 384; k++)
                    if (bit)
                        m[k / 64] |= 1ull << (63 - k % 64);
                pos += len;
                bit ^= 1;
            }
            break;
        }
        case 3: { // short: only the top k bits may be nonzero
            int k = 1 + (int)(u() % QF_PREC);
            for (int i = 0; i < QF_LIMBS; i++) {
                int have = k - 64 * i;
                m[i] = have <= 0 ? 0 : have >= 64 ? u() : u() & ~(~0ull >> have);
            }
            break;
        }
        case 4: // one limb
            m[0] = u() & (coin() ? ~0ull : ~0ull << (u() % 64));
            for (int i = 1; i < QF_LIMBS; i++)
                m[i] = 0;
            break;
        case 5: // all ones with a few holes
            for (int i = 0; i < QF_LIMBS; i++)
                m[i] = ~0ull;
            for (int h = (int)(u() % 3); h > 0; h--) {
                int k = (int)(u() % QF_PREC);
                m[k / 64] &= ~(1ull << (63 - k % 64));
            }
            break;
        case 6: // power of two with a few bits set
            for (int i = 0; i < QF_LIMBS; i++)
                m[i] = 0;
            for (int h = (int)(u() % 3); h > 0; h--) {
                int k = (int)(u() % QF_PREC);
                m[k / 64] |= 1ull << (63 - k % 64);
            }
            break;
        default: // a few bits next to limb boundaries and the last place
            for (int i = 0; i < QF_LIMBS; i++)
                m[i] = 0;
            for (int h = (int)(u() % 4); h > 0; h--) {
                int k = 64 * (int)(u() % 6) + (int)(u() % 3) - 1;
                k = u() % 3 == 0 ? QF_PREC - 1 - (int)(u() % 3) : std::max(0, std::min(QF_PREC - 1, k));
                m[k / 64] |= 1ull << (63 - k % 64);
            }
            break;
        }
        m[0] |= 1ull << 63;
        m[5] &= QF_HIGH32;
    }
    int32_t exponent()
    {
        switch (u() % 8) {
        case 0: return range(EMIN, EMAX);
        case 1: return range(-1000, 1000);
        default: return range(-40, 40);
        }
    }
    qfloat normal(int32_t e)
    {
        uint64_t m[QF_LIMBS];
        mantissa(m);
        return make((int)(u() & 1), e, m);
    }
    // An odd integer of exactly len bits (1 <= len <= 352) as a significand.
    void odd(uint64_t *m, int len)
    {
        for (int i = 0; i < QF_LIMBS; i++)
            m[i] = 0;
        for (int k = 0; k < len; k++)
            if (k == 0 || k == len - 1 || (u() & 1))
                m[k / 64] |= 1ull << (63 - k % 64);
    }
    qfloat small_int()
    {
        uint64_t n;
        switch (u() % 4) {
        case 0: n = 1 + u() % 400; break;
        case 1: n = 1 + u() % 20; break;
        case 2: n = 1 + (u() >> 32); break;
        default: n = u() | 1; break;
        }
        int z = qf_clz64(n);
        uint64_t m[QF_LIMBS] = {n << z, 0, 0, 0, 0, 0};
        return make((int)(u() & 1), 64 - z + (coin() ? 0 : range(-30, 30)), m);
    }
    // A pattern outside the canonical normal form: subnormal, unnormalized,
    // zero, infinity or NaN, with junk in the sign and guard words.
    qfloat odd_pattern()
    {
        qfloat q;
        for (int i = 0; i < 12; i++)
            q.mantissa[i] = (uint32_t)u();
        q.sign = coin() ? 0 : (uint32_t)(u() | 1);
        int lead = (int)(u() % 360); // clear this many leading bits
        for (int k = 0; k < lead && k < 352; k++)
            q.mantissa[1 + k / 32] &= ~(1u << (31 - k % 32));
        switch (u() % 6) {
        case 0: q.exponent = 0; break;                                // subnormal
        case 1: q.exponent = (uint32_t)range(1, 400); break;          // unnormalized, tiny
        case 2: q.exponent = (uint32_t)range(1, 65534); break;        // unnormalized
        case 3: q.exponent = coin() ? 65535u : (uint32_t)u(); break;  // NaN or inf
        case 4: std::memset(q.mantissa, 0, sizeof q.mantissa); break; // zero-ish
        default:
            std::memset(q.mantissa, 0, sizeof q.mantissa);
            q.exponent = 65535 + (uint32_t)(u() % 3); // infinity
            break;
        }
        return q;
    }
};

// One random operand pair from a mix of the hard cases; ref is used to build
// operands whose exact results sit on or next to rounding midpoints.
void pair(Gen &g, Ref &ref, qfloat &a, qfloat &b)
{
    uint64_t m[QF_LIMBS], n[QF_LIMBS];
    int kind = (int)(g.u() % 12);
    switch (kind) {
    case 0: { // independent, exponents near each other
        int32_t e = g.exponent();
        a = g.normal(e);
        b = g.normal(std::max(EMIN, std::min(EMAX, e + g.range(-3, 3))));
        break;
    }
    case 1: { // exponent gaps up to and beyond the precision
        int32_t gap = g.coin() ? g.range(0, 1000) : g.range(0, 6) + 64 * g.range(0, 8) - 3;
        int32_t e = g.range(-200, 200);
        a = g.normal(e);
        b = g.normal(e - std::max(0, gap));
        if (g.coin())
            std::swap(a, b);
        break;
    }
    case 2: { // cancellation: b close to a or to a neighbouring binade
        int32_t e = g.exponent();
        g.mantissa(m);
        std::memcpy(n, m, sizeof n);
        int from = g.range(0, QF_PREC - 1);
        for (int k = from; k < QF_PREC; k++)
            if (g.coin())
                n[k / 64] ^= 1ull << (63 - k % 64);
        n[0] |= 1ull << 63;
        a = make(0, e, m);
        b = make(0, e, n);
        if (g.u() % 4 == 0) {
            // a = 2^e-ish and b just below it: borrows across the binade
            for (int i = 0; i < QF_LIMBS; i++)
                m[i] = i == 0 ? 1ull << 63 : 0;
            m[5] = (uint64_t)(g.u() & 3) << 32;
            a = make(0, e, m);
            for (int i = 0; i < QF_LIMBS; i++)
                n[i] = ~0ull - (i == 5 ? g.u() % 4 : 0);
            b = make(0, std::max(EMIN, e - (g.coin() ? g.range(0, 2) : g.range(1, 500))), n);
        }
        a.sign = g.coin() ? 0xFFFFFFFFu : 0;
        b.sign = g.coin() ? 0xFFFFFFFFu : 0;
        break;
    }
    case 3: { // sum on or next to a midpoint: b's last bit at a's half unit
        int32_t e = g.range(-100, 100);
        g.mantissa(m);
        if (g.u() % 4 == 0) // a just below a power of two: the sum carries out
            for (int i = 0; i < QF_LIMBS - 1; i++)
                m[i] = ~0ull;
        a = make(0, e, m);
        int len = g.range(1, QF_PREC);
        g.odd(n, len);
        if (g.coin()) // sparse: carries and sticky bits far apart
            for (int k = 1; k < len - 1; k++)
                if (g.u() % 16)
                    n[k / 64] &= ~(1ull << (63 - k % 64));
        const int32_t below[] = {0, 0, 0, 1, 30, 31, 32, 33, 63, 64, 95, 96};
        int32_t lsb = e - 353 - (g.u() % 3 == 0 ? g.range(0, 100) : below[g.u() % 12]);
        b = make(0, lsb + len, n);
        a.sign = g.coin() ? 0xFFFFFFFFu : 0;
        b.sign = g.coin() ? 0xFFFFFFFFu : 0;
        if (g.coin()) { // next to the midpoint: move b by its own unit
            uint64_t one[QF_LIMBS] = {1ull << 63, 0, 0, 0, 0, 0};
            qfloat ulp = make(g.coin(), lsb + len - QF_PREC + 1, one);
            qf_to_mpfr(ref.x, &b);
            qf_to_mpfr(ref.y, &ulp);
            mpfr_add(ref.w, ref.x, ref.y, MPFR_RNDN);
            int t = mpfr_set(ref.r, ref.w, MPFR_RNDN);
            qf_mpfr_round(ref.r, t);
            b = from_mpfr(ref.r);
        }
        break;
    }
    case 4: { // product of odd integers of 352..355 bits in total: ties and near ties
        int total = g.u() % 4 ? g.range(352, 355) : g.range(356, 450);
        int l1 = g.coin() ? g.range(1, 64) : g.range(total - QF_PREC > 0 ? total - QF_PREC : 1, QF_PREC);
        int l2 = std::min(QF_PREC, std::max(1, total - l1));
        g.odd(m, l1);
        g.odd(n, l2);
        a = make(g.coin(), g.range(-60, 60), m);
        b = make(g.coin(), g.range(-60, 60), n);
        break;
    }
    case 5: { // quotient within a hair of a midpoint: a/b = (Q + r/b) / 2^(k+1)
        // b odd of k bits, Q odd of 353 bits (a midpoint of the 352-bit grid),
        // r small and odd; Q's low k+1 bits are chosen so that b*Q + r is a
        // multiple of 2^(k+1), which makes a = (b*Q + r) / 2^(k+1) fit 352 bits.
        int k = g.coin() ? g.range(1, 64) : g.coin() ? g.range(300, QF_PREC) : g.range(1, QF_PREC);
        mpz_t bz, qz, inv, mod, az;
        mpz_inits(bz, qz, inv, mod, az, (mpz_ptr)0);
        g.odd(m, k);
        mpz_import(bz, QF_LIMBS, 1, sizeof(uint64_t), 0, 0, m);
        mpz_tdiv_q_2exp(bz, bz, 64 * QF_LIMBS - k);
        g.mantissa(n);
        mpz_import(qz, QF_LIMBS, 1, sizeof(uint64_t), 0, 0, n);
        mpz_tdiv_q_2exp(qz, qz, 64 * QF_LIMBS - 353);
        long r = (long)(g.u() % 4 == 0 ? g.u() % (1u << 20) : g.u() % 4) | 1;
        if (g.coin())
            r = -r;
        mpz_setbit(mod, k + 1);
        mpz_invert(inv, bz, mod);
        mpz_mul_si(inv, inv, -r);
        mpz_fdiv_r_2exp(inv, inv, k + 1); // Q's low bits
        mpz_fdiv_q_2exp(qz, qz, k + 1);
        mpz_mul_2exp(qz, qz, k + 1);
        mpz_add(qz, qz, inv);
        mpz_mul(az, bz, qz);
        if (r > 0)
            mpz_add_ui(az, az, (unsigned long)r);
        else
            mpz_sub_ui(az, az, (unsigned long)-r);
        mpz_tdiv_q_2exp(az, az, k + 1);
        int32_t ea = g.range(-50, 50), eb = g.range(-50, 50);
        mpfr_set_z_2exp(ref.r, az, ea, MPFR_RNDN);
        a = from_mpfr(ref.r);
        mpfr_set_z_2exp(ref.r, bz, eb, MPFR_RNDN);
        b = from_mpfr(ref.r);
        mpz_clears(bz, qz, inv, mod, az, (mpz_ptr)0);
        a.sign = g.coin() ? 0xFFFFFFFFu : 0;
        break;
    }
    case 6: { // small-integer operands
        a = g.coin() ? g.small_int() : g.normal(g.exponent());
        b = g.small_int();
        if (g.coin())
            std::swap(a, b);
        break;
    }
    case 7: { // results at the bottom of the range, subnormal operands
        int32_t target = g.range(EMIN - 360, EMIN + 3);
        int32_t ea = g.range(-16000, -400);
        a = g.normal(ea);
        int sel = (int)(g.u() % 3);
        if (sel == 0) // product near the target
            b = g.normal(std::max(EMIN, std::min(EMAX, target - ea)));
        else if (sel == 1) // quotient near the target
            b = g.normal(std::max(EMIN, std::min(EMAX, ea - target)));
        else { // sums of tiny numbers
            a = g.normal(g.range(EMIN, EMIN + 3));
            b = g.coin() ? g.normal(g.range(EMIN, EMIN + 360)) : g.odd_pattern();
            if (g.coin())
                b.exponent = 0;
        }
        break;
    }
    case 8: { // results at the top of the range
        int32_t target = g.range(EMAX - 2, EMAX + 1);
        int32_t ea = g.range(400, 16000);
        g.mantissa(m);
        if (g.coin())
            for (int i = 0; i < QF_LIMBS; i++)
                m[i] = ~0ull;
        a = make(g.coin(), ea, m);
        int sel = (int)(g.u() % 3);
        if (sel == 0)
            b = g.normal(std::max(EMIN, std::min(EMAX, target - ea)));
        else if (sel == 1)
            b = g.normal(std::max(EMIN, std::min(EMAX, ea - target)));
        else {
            a = make(g.coin(), EMAX, m);
            b = g.normal(EMAX - g.range(0, 400));
        }
        break;
    }
    case 9: // noncanonical and special patterns
        a = g.coin() ? g.odd_pattern() : g.normal(g.exponent());
        b = g.odd_pattern();
        if (g.coin())
            std::swap(a, b);
        break;
    default: // anything at all
        a = g.normal(g.exponent());
        b = g.normal(g.exponent());
        break;
    }
}

struct Mismatches {
    long count = 0;
    void report(const char *what, const qfloat &a, const qfloat &b, const qfloat &got, const qfloat &want)
    {
        if (++count <= 8)
            ADD_FAILURE() << what << "\n a    " << qf_hex(a) << "\n b    " << qf_hex(b) << "\n got  "
                          << qf_hex(got) << "\n want " << qf_hex(want);
    }
};

// a * b and b * a against want on every build of the multiplication.
void check_product_both_ways(const qfloat &a, const qfloat &b, const qfloat &want, Mismatches &bad)
{
    for (const Path &path : paths()) {
        qfloat got;
        qf_apply(2, &got, &a, &b, path);
        if (!qf_same_bits(got, want))
            bad.report(path.name, a, b, got, want);
        qf_apply(2, &got, &b, &a, path);
        if (!qf_same_bits(got, want))
            bad.report(path.name, b, a, got, want);
    }
}

TEST(QfloatArith, MatchesMpfrOnHardRandomOperands)
{
    Ref ref;
    Gen g(test_seed());
    Mismatches bad;
    const std::vector<Path> builds = paths();
    const long pairs = 300000;
    long checked = 0;
    for (long i = 0; i < pairs; i++) {
        qfloat a, b, got;
        pair(g, ref, a, b);
        qf_to_mpfr(ref.x, &a);
        qf_to_mpfr(ref.y, &b);
        for (int op = 0; op < 4; op++) {
            qfloat want = ref.apply_loaded(op);
            for (const Path &path : builds) {
                qf_apply(op, &got, &a, &b, path);
                checked++;
                if (!qf_same_bits(got, want)) {
                    char what[64];
                    std::snprintf(what, sizeof what, "op %c (%s), pair %ld", OPS[op], path.name, i);
                    bad.report(what, a, b, got, want);
                }
            }
        }
    }
    std::printf("checked %ld results, %ld mismatches\n", checked, bad.count);
    EXPECT_EQ(bad.count, 0);
}

#if defined(QF_ADX_PATH)
// The entries without an indirect function ask cpuid once and keep the
// answer: it must be cpuid's.
TEST(QfloatArith, CachedProcessorChoiceIsCpuid)
{
    int want = qf_cpu_bmi2_adx() != 0;
    EXPECT_EQ(qf_use_adx(), want);
    EXPECT_EQ(qf_adx_choice, want ? 2 : 1);
    EXPECT_EQ(qf_use_adx(), want);
}
#endif

#if defined(QF_MUL32_SIMD)
// The 32-bit multiplication asks cpuid once and keeps the answer: it must be
// cpuid's, and this machine's best.
TEST(QfloatArith, CachedProcessorChoiceIsCpuid32)
{
    int want = qf_cpu32_detect();
    EXPECT_EQ(qf_cpu32(), want);
    EXPECT_EQ(qf_cpu32_choice, want);
    EXPECT_EQ(qf_cpu32(), want);
    EXPECT_GE(want, QF_CPU32_PLAIN);
}
#endif

#if defined(QF_MUL32_SIMD)
// The SIMD high products of 32-bit x86 against GMP: p[0..13) must be the
// words of the sum of the products a_i b_j with i + j >= 9 (words counted
// from the least significant), carry word included, divided by 2^288. All-ones
// words fill every lane to its largest sum; single set words and runs of
// zeros put each product in its place alone.
TEST(QfloatArith, Mul32HighProductsAreTheColumnSums)
{
    Gen g(test_seed() + 11);
    int cpu = qf_cpu32_detect();
    mpz_t sum, t;
    mpz_inits(sum, t, (mpz_ptr)0);
    long bad = 0, checked = 0;
    for (int n = 0; n < 40000; n++) {
        uint32_t a[QF_WORDS], b[QF_WORDS];
        int shape = n % 5;
        for (int i = 0; i < QF_WORDS; i++) {
            a[i] = (uint32_t)g.u();
            b[i] = (uint32_t)g.u();
            if (shape == 1 || (shape == 2 && g.coin()))
                a[i] = 0xFFFFFFFFu;
            if (shape == 1 || (shape == 2 && g.coin()))
                b[i] = 0xFFFFFFFFu;
            if (shape == 3 && g.u() % 3 == 0)
                a[i] = 0;
            if (shape == 3 && g.u() % 3 == 0)
                b[i] = 0;
        }
        if (shape == 4) { // one word each: a single product
            std::memset(a, 0, sizeof a);
            std::memset(b, 0, sizeof b);
            a[g.range(0, 10)] = (uint32_t)g.u() | 1;
            b[g.range(0, 10)] = (uint32_t)g.u() | 1;
        }
        mpz_set_ui(sum, 0);
        for (int i = 0; i < QF_WORDS; i++)
            for (int j = 0; j < QF_WORDS; j++)
                if (i + j >= 9) {
                    mpz_set_ui(t, a[10 - i]);
                    mpz_mul_ui(t, t, b[10 - j]);
                    mpz_mul_2exp(t, t, 32 * (i + j - 9));
                    mpz_add(sum, sum, t);
                }
        uint32_t want[13] = {0};
        size_t count = 0;
        mpz_export(want, &count, -1, sizeof(uint32_t), 0, 0, sum); // least significant first
        std::reverse(want, want + 13);
        uint32_t got[13];
        if (cpu >= QF_CPU32_SSE2) {
            qf_mul32_high_sse2(a, b, got);
            checked++;
            bad += std::memcmp(got, want, sizeof got) != 0;
        }
        if (cpu >= QF_CPU32_AVX2) {
            qf_mul32_high_avx2(a, b, got);
            checked++;
            bad += std::memcmp(got, want, sizeof got) != 0;
        }
        ASSERT_LE(count, 13u);
    }
    mpz_clears(sum, t, (mpz_ptr)0);
    std::printf("checked %ld high products, %ld wrong\n", checked, bad);
    EXPECT_EQ(bad, 0);
}

// Calls f(x, y, z) (cdecl) with the stack pointer skew bytes (0, 4, 8 or 12)
// below the 16-byte alignment that the i386 ABI of Linux gives at entry:
// callers of the 32-bit DLL guarantee only 4 bytes, and the SIMD code must
// realign.
void call_with_stack_skew(void (*f)(void *, const void *, const void *), void *x, const void *y,
                          const void *z, uint32_t skew)
{
    uintptr_t args[5] = {(uintptr_t)f, (uintptr_t)x, (uintptr_t)y, (uintptr_t)z, (uintptr_t)(skew + 4) % 16};
    __asm__ volatile("movl %%esp, %%esi\n\t"
                     "andl $-16, %%esp\n\t"
                     "subl 16(%%edi), %%esp\n\t" // then 3 arguments and the return address
                     "pushl 12(%%edi)\n\tpushl 8(%%edi)\n\tpushl 4(%%edi)\n\t"
                     "call *(%%edi)\n\t"
                     "movl %%esi, %%esp"
                     :
                     : "D"(args)
                     : "esi", "eax", "ecx", "edx", "memory", "cc");
}

// The SIMD builds of the multiplication and their high products give the
// same words whatever the alignment of the stack at entry.
TEST(QfloatArith, Mul32SimdBuildsRealignTheStack)
{
    Ref ref;
    Gen g(test_seed() + 12);
    int cpu = qf_cpu32_detect();
    typedef void (*any3)(void *, const void *, const void *);
    struct Build {
        const char *name;
        any3 mul, high;
        int need;
    } builds[] = {{"sse2", (any3)qf_mul_sse2, (any3)qf_mul32_high_sse2, QF_CPU32_SSE2},
                  {"avx2", (any3)qf_mul_avx2, (any3)qf_mul32_high_avx2, QF_CPU32_AVX2}};
    for (const Build &bd : builds) {
        if (cpu < bd.need)
            continue;
        for (int n = 0; n < 50; n++) {
            qfloat a = g.normal(g.range(-50, 50)), b = g.normal(g.range(-50, 50));
            qfloat want = ref.apply(2, a, b);
            uint32_t pw[13];
            qf_mul32_high_sse2(&a.mantissa[1], &b.mantissa[1], pw);
            for (uint32_t skew = 0; skew < 16; skew += 4) {
                qfloat got;
                call_with_stack_skew(bd.mul, &got, &a, &b, skew);
                EXPECT_TRUE(qf_same_bits(got, want)) << bd.name << " skew " << skew;
                uint32_t pg[13]; // the kernel's arguments: (a, b, p)
                call_with_stack_skew(bd.high, (void *)&a.mantissa[1], &b.mantissa[1], pg, skew);
                EXPECT_EQ(std::memcmp(pg, pw, sizeof pg), 0) << bd.name << " high product, skew " << skew;
            }
        }
    }
}
#endif

// Significands of every length in 32-bit words (the last word nonzero) and
// exponent gaps of every number of whole words and bits: the word-level
// paths of 32-bit targets (short multipliers and divisors, alignment shifts)
// and the limb paths alike, against MPFR.
TEST(QfloatArith, EveryWordLengthAndAlignment)
{
    Ref ref;
    Gen g(test_seed() + 7);
    Mismatches bad;
    long checked = 0;
    auto words = [&](int n) {
        uint32_t w[12] = {0};
        for (int i = 0; i < n; i++)
            w[i] = (uint32_t)g.u();
        w[0] |= 0x80000000u;
        w[n - 1] |= g.coin() ? 1u : 0x10000u;
        uint64_t m[QF_LIMBS];
        for (int i = 0; i < QF_LIMBS; i++)
            m[i] = ((uint64_t)w[2 * i] << 32) | w[2 * i + 1];
        return make(g.coin(), g.range(-40, 40), m);
    };
    auto check = [&](int op, const qfloat &a, const qfloat &b, const char *what) {
        qfloat got, want = ref.apply(op, a, b);
        qf_apply(op, &got, &a, &b);
        checked++;
        if (!qf_same_bits(got, want))
            bad.report(what, a, b, got, want);
    };
    for (int na = 1; na <= 11; na++)
        for (int nb = 1; nb <= 11; nb++)
            for (int rep = 0; rep < 30; rep++) {
                qfloat a = words(na), b = words(nb);
                for (int op = 0; op < 4; op++)
                    check(op, a, b, "word lengths");
            }
    for (int32_t gap = 0; gap <= 420; gap++)
        for (int rep = 0; rep < 6; rep++) {
            qfloat a = words(g.range(1, 11)), b = words(g.range(1, 11));
            b.exponent = a.exponent - (uint32_t)gap;
            check(0, a, b, "aligned sum");
            check(1, a, b, "aligned difference");
        }
    std::printf("checked %ld results, %ld mismatches\n", checked, bad.count);
    EXPECT_EQ(bad.count, 0);
}

// Products with a short operand (a power of two, one word, two words: the
// word-level short products) whose results land anywhere: in range, on the
// edges of the normal range, subnormal, overflowing. Every build against
// MPFR, with either operand short.
TEST(QfloatArith, ShortProductsEverywhereInTheRange)
{
    Ref ref;
    Gen g(test_seed() + 13);
    Mismatches bad;
    long checked = 0;
    const std::vector<Path> builds = paths();
    for (int n = 0; n < 6000; n++) {
        uint64_t m[QF_LIMBS] = {0, 0, 0, 0, 0, 0};
        switch (n % 3) {
        case 0: m[0] = 1ull << 63; break;                         // a power of two
        case 1: m[0] = (g.u() | 1ull << 63) & ~0ull << 32; break; // one word
        default: m[0] = g.u() | 1ull << 63; break;                // two words
        }
        int32_t sum; // of the exponents
        switch (g.u() % 4) {
        case 0: sum = EMIN + g.range(-400, 2); break; // subnormal or just normal
        case 1: sum = EMAX + g.range(-1, 2); break;   // the top of the range and beyond
        default: sum = g.range(-40, 40); break;
        }
        int32_t ea = g.range(std::max(EMIN, sum - EMAX), std::min(EMAX, sum - EMIN)), eb = sum - ea;
        qfloat a = g.normal(ea), b = make(g.coin(), eb, m);
        if (g.coin())
            std::swap(a, b);
        qfloat want = ref.apply(2, a, b);
        for (const Path &path : builds) {
            qfloat got;
            qf_apply(2, &got, &a, &b, path);
            checked++;
            if (!qf_same_bits(got, want))
                bad.report(path.name, a, b, got, want);
        }
    }
    std::printf("checked %ld products, %ld mismatches\n", checked, bad.count);
    EXPECT_EQ(bad.count, 0);
}

// Each operation must read its operands before writing: out may be either.
TEST(QfloatArith, OutputMayAliasInputs)
{
    Ref ref;
    Gen g(test_seed() + 1);
    const std::vector<Path> builds = paths();
    for (int i = 0; i < 2000; i++) {
        qfloat a, b;
        pair(g, ref, a, b);
        for (int op = 0; op < 4; op++)
            for (const Path &path : builds) {
                qfloat want, x = a, y = b;
                qf_apply(op, &want, &a, &b, path);
                qf_apply(op, &x, &x, &b, path);
                EXPECT_TRUE(qf_same_bits(x, want)) << OPS[op] << " out==a, " << path.name;
                qf_apply(op, &y, &a, &y, path);
                EXPECT_TRUE(qf_same_bits(y, want)) << OPS[op] << " out==b, " << path.name;
                qfloat s = a, sq;
                qf_apply(op, &sq, &a, &a, path);
                qf_apply(op, &s, &s, &s, path);
                EXPECT_TRUE(qf_same_bits(s, sq)) << OPS[op] << " out==a==b, " << path.name;
                EXPECT_TRUE(qf_same_bits(sq, ref.apply(op, a, a))) << OPS[op] << " a op a, " << path.name;
            }
    }
}

qfloat q_of(double d)
{
    mpfr_t t;
    mpfr_init2(t, QF_PREC);
    mpfr_set_d(t, d, MPFR_RNDN);
    qfloat q = from_mpfr(t);
    mpfr_clear(t);
    return q;
}

qfloat q_nan()
{
    qfloat q;
    qf_set_nan(&q);
    return q;
}

bool is_nan(const qfloat &q)
{
    return qf_same_bits(q, q_nan());
}

// Products A * B of 352-bit integers within 2^350 below 2^703: their
// significands round up to the next binade (a carry out of the top limb).
// Full-width and one-limb A, exponents anywhere and at the top of the range.
// Half of them are taken just above 2^703 instead, where the top limbs'
// product alone does not tell whether the product fills 704 bits.
TEST(QfloatArith, ProductsRoundingUpToTheNextBinade)
{
    Ref ref;
    Gen g(test_seed() + 8);
    Mismatches bad;
    mpz_t az, bz, pz, lim;
    mpz_inits(az, bz, pz, lim, (mpz_ptr)0);
    long found = 0;
    for (int i = 0; found < 3000 && i < 100000; i++) {
        uint64_t m[QF_LIMBS];
        g.mantissa(m);
        if (g.coin()) // one limb
            for (int k = 1; k < QF_LIMBS; k++)
                m[k] = 0;
        mpz_import(az, QF_LIMBS, 1, sizeof(uint64_t), 0, 0, m);
        mpz_tdiv_q_2exp(az, az, 64 * QF_LIMBS - QF_PREC); // 352 bits
        mpz_set_ui(lim, 1);
        mpz_mul_2exp(lim, lim, 703);
        mpz_cdiv_q(bz, lim, az);
        bool above = g.coin();
        if (!above)
            mpz_sub_ui(bz, bz, 1); // A * B < 2^703
        mpz_mul(pz, az, bz);
        if (above)
            mpz_sub(pz, pz, lim); // A * B - 2^703 < A
        else
            mpz_sub(pz, lim, pz);
        if (mpz_sizeinbase(bz, 2) != QF_PREC || (!above && mpz_sizeinbase(pz, 2) > 350))
            continue;
        found++;
        int32_t ea = g.range(-100, 100), eb = g.range(-100, 100);
        if (g.u() % 4 == 0) { // the rounded product lands on EMAX or just beyond
            ea = g.range(16000, 16383);
            eb = EMAX - ea + g.range(0, 1);
        }
        mpfr_set_z_2exp(ref.x, az, ea - QF_PREC, MPFR_RNDN);
        mpfr_set_z_2exp(ref.y, bz, eb - QF_PREC, MPFR_RNDN);
        qfloat a = from_mpfr(ref.x), b = from_mpfr(ref.y), want = ref.apply_loaded(2);
        a.sign = g.coin() ? 0xFFFFFFFFu : 0;
        if (a.sign)
            want.sign ^= 0xFFFFFFFFu;
        check_product_both_ways(a, b, want, bad);
    }
    mpz_clears(az, bz, pz, lim, (mpz_ptr)0);
    EXPECT_GE(found, 3000);
    EXPECT_EQ(bad.count, 0);
}

// Products A * B of 352-bit integers whose 32 bits below the last kept one
// lie within 100 units of 2^-384 of the half-way point (A = R / B modulo
// 2^352 for a chosen low part R), for either normalization: where a short
// product has to hand over to the exact one.
TEST(QfloatArith, ProductsNextToTheHalfWayPoint)
{
    Ref ref;
    Gen g(test_seed() + 9);
    Mismatches bad;
    mpz_t az, bz, rz, mod, inv;
    mpz_inits(az, bz, rz, mod, inv, (mpz_ptr)0);
    mpz_setbit(mod, QF_PREC);
    long found = 0;
    for (int i = 0; found < 20000 && i < 200000; i++) {
        uint64_t m[QF_LIMBS];
        g.mantissa(m);
        mpz_import(bz, QF_LIMBS, 1, sizeof(uint64_t), 0, 0, m);
        mpz_tdiv_q_2exp(bz, bz, 64 * QF_LIMBS - QF_PREC);
        mpz_setbit(bz, 0); // odd: invertible modulo 2^352
        // R = (2^31 + delta) * 2^s + (random below 2^s); s = 320 when the
        // product fills 704 bits, 319 when it fills 703
        int s = g.coin() ? 320 : 319;
        g.mantissa(m);
        mpz_import(rz, QF_LIMBS, 1, sizeof(uint64_t), 0, 0, m);
        mpz_fdiv_r_2exp(rz, rz, (mp_bitcnt_t)s);
        if (g.coin())
            mpz_set_ui(rz, g.u() % 4); // exact, or nearly
        int32_t delta = g.range(-100, 100);
        mpz_set_ui(inv, 1ul << 31);
        if (delta < 0)
            mpz_sub_ui(inv, inv, (unsigned long)-delta);
        else
            mpz_add_ui(inv, inv, (unsigned long)delta);
        mpz_mul_2exp(inv, inv, (mp_bitcnt_t)s);
        mpz_add(rz, rz, inv);
        mpz_invert(inv, bz, mod);
        mpz_mul(az, rz, inv);
        mpz_fdiv_r_2exp(az, az, QF_PREC);
        if (mpz_sizeinbase(az, 2) != QF_PREC)
            continue;
        found++;
        mpfr_set_z_2exp(ref.x, az, g.range(-100, 100) - QF_PREC, MPFR_RNDN);
        mpfr_set_z_2exp(ref.y, bz, g.range(-100, 100) - QF_PREC, MPFR_RNDN);
        qfloat a = from_mpfr(ref.x), b = from_mpfr(ref.y), want = ref.apply_loaded(2);
        check_product_both_ways(a, b, want, bad);
    }
    mpz_clears(az, bz, rz, mod, inv, (mpz_ptr)0);
    EXPECT_GE(found, 20000);
    EXPECT_EQ(bad.count, 0);
}

// Zeros, infinities, NaN and subnormals in every combination, against MPFR;
// the IEEE rules are spelled out for the ones callers lean on.
TEST(QfloatArith, SpecialOperands)
{
    Ref ref;
    std::vector<qfloat> v = {q_of(0.0), q_of(-0.0), q_of(INFINITY), q_of(-INFINITY),
                             q_nan(),   q_of(1.0),  q_of(-2.5),     q_of(3.0)};
    qfloat sub = {}; // smallest subnormal and a larger one
    sub.mantissa[11] = 1;
    v.push_back(sub);
    sub.mantissa[2] = 0x1234;
    sub.sign = 0xFFFFFFFFu;
    v.push_back(sub);
    qfloat big = {};
    big.exponent = 65534;
    for (int i = 1; i < 12; i++)
        big.mantissa[i] = 0xFFFFFFFFu;
    v.push_back(big);
    for (const Path &path : paths())
        for (const qfloat &a : v)
            for (const qfloat &b : v)
                for (int op = 0; op < 4; op++) {
                    qfloat got;
                    qf_apply(op, &got, &a, &b, path);
                    qfloat want = ref.apply(op, a, b);
                    EXPECT_TRUE(qf_same_bits(got, want))
                        << OPS[op] << " (" << path.name << ")\n a    " << qf_hex(a) << "\n b    " << qf_hex(b)
                        << "\n got  " << qf_hex(got) << "\n want " << qf_hex(want);
                }
    qfloat r, pz = q_of(0.0), nz = q_of(-0.0), one = q_of(1.0), inf = q_of(INFINITY);
    __op_plus_pqfloat_pqfloat(&r, &nz, &nz);
    EXPECT_EQ(r.sign, 0xFFFFFFFFu) << "-0 + -0 = -0";
    __op_minus_pqfloat_pqfloat(&r, &one, &one);
    EXPECT_TRUE(qf_same_bits(r, pz)) << "x - x = +0";
    __op_minus_pqfloat_pqfloat(&r, &inf, &inf);
    EXPECT_TRUE(is_nan(r));
    __op_multiply_pqfloat_pqfloat(&r, &pz, &inf);
    EXPECT_TRUE(is_nan(r));
    __op_divide_pqfloat_pqfloat(&r, &pz, &nz);
    EXPECT_TRUE(is_nan(r));
    __op_divide_pqfloat_pqfloat(&r, &inf, &inf);
    EXPECT_TRUE(is_nan(r));
    qfloat mone = q_of(-1.0);
    __op_divide_pqfloat_pqfloat(&r, &mone, &pz);
    EXPECT_TRUE(qf_same_bits(r, q_of(-INFINITY)));
    __op_divide_pqfloat_pqfloat(&r, &one, &nz);
    EXPECT_TRUE(qf_same_bits(r, q_of(-INFINITY)));
    // largest finite + its last unit rounds to infinity; times 2 overflows
    qfloat two = q_of(2.0);
    __op_multiply_pqfloat_pqfloat(&r, &big, &two);
    EXPECT_TRUE(qf_same_bits(r, inf));
}

TEST(QfloatArith, NegationAndAbs)
{
    Ref ref;
    Gen g(test_seed() + 2);
    for (int i = 0; i < 20000; i++) {
        qfloat a = g.coin() ? g.odd_pattern() : g.normal(g.exponent()), got;
        qf_to_mpfr(ref.x, &a);
        mpfr_neg(ref.r, ref.x, MPFR_RNDN);
        qfloat want = from_mpfr(ref.r);
        __op_minus_pqfloat(&got, &a);
        ASSERT_TRUE(qf_same_bits(got, want))
            << qf_hex(a) << "\n got  " << qf_hex(got) << "\n want " << qf_hex(want);
        qfloat x = a;
        __op_minus_pqfloat(&x, &x);
        ASSERT_TRUE(qf_same_bits(x, want));
        qfloat y = a;
        EXPECT_EQ(_qabs(&y), &y);
        EXPECT_EQ(y.sign, 0u);
        EXPECT_EQ(std::memcmp(&y.exponent, &a.exponent, 52), 0);
    }
}

// Comparisons against mpfr_cmp: +0 == -0, NaN unordered, infinities ordered.
TEST(QfloatArith, Comparisons)
{
    Ref ref;
    Gen g(test_seed() + 3);
    for (int i = 0; i < 100000; i++) {
        qfloat a, b;
        pair(g, ref, a, b);
        if (g.u() % 8 == 0)
            b = a;
        if (g.u() % 8 == 0) { // equal values, different encodings
            b = a;
            b.mantissa[0] ^= 1;
            if (g.coin())
                b.sign = b.sign ? 1 : 0;
        }
        qf_to_mpfr(ref.x, &a);
        qf_to_mpfr(ref.y, &b);
        bool unordered = mpfr_unordered_p(ref.x, ref.y);
        int c = unordered ? 0 : mpfr_cmp(ref.x, ref.y);
        ASSERT_EQ(!!__op_equal_pqfloat_pqfloat(&a, &b), !unordered && c == 0) << qf_hex(a) << "\n"
                                                                              << qf_hex(b);
        ASSERT_EQ(!!__op_less_pqfloat_pqfloat(&a, &b), !unordered && c < 0) << qf_hex(a) << "\n" << qf_hex(b);
        ASSERT_EQ(!!__op_lessequal_pqfloat_pqfloat(&a, &b), !unordered && c <= 0) << qf_hex(a) << "\n"
                                                                                  << qf_hex(b);
        int32_t n;
        switch (g.u() % 4) {
        case 0: n = INT32_MIN + (int32_t)(g.u() % 3); break;
        case 1: n = INT32_MAX - (int32_t)(g.u() % 3); break;
        case 2: n = (int32_t)g.range(-500, 500); break;
        default: n = (int32_t)g.u(); break;
        }
        if (g.coin()) { // a near n
            __op_cast_int_qfloat(&a, n);
            if (g.coin()) {
                const uint64_t one[QF_LIMBS] = {1ull << 63, 0, 0, 0, 0, 0};
                qfloat tiny = make(g.coin(), g.range(-400, 0), one);
                __op_plus_pqfloat_pqfloat(&a, &a, &tiny);
            }
            qf_to_mpfr(ref.x, &a);
        }
        unordered = mpfr_nan_p(ref.x);
        c = unordered ? 0 : mpfr_cmp_si(ref.x, n);
        ASSERT_EQ(!!__op_less_pqfloat_int(&a, n), !unordered && c < 0) << qf_hex(a) << " < " << n;
        ASSERT_EQ(!!__op_less_int_pqfloat(n, &a), !unordered && c > 0) << n << " < " << qf_hex(a);
    }
    qfloat pz = q_of(0.0), nz = q_of(-0.0), nan = q_nan(), inf = q_of(INFINITY), ninf = q_of(-INFINITY);
    EXPECT_TRUE(__op_equal_pqfloat_pqfloat(&pz, &nz));
    EXPECT_FALSE(__op_less_pqfloat_pqfloat(&nz, &pz));
    EXPECT_TRUE(__op_lessequal_pqfloat_pqfloat(&pz, &nz));
    EXPECT_FALSE(__op_equal_pqfloat_pqfloat(&nan, &nan));
    EXPECT_FALSE(__op_lessequal_pqfloat_pqfloat(&nan, &nan));
    EXPECT_FALSE(__op_less_pqfloat_int(&nan, 0));
    EXPECT_FALSE(__op_less_int_pqfloat(0, &nan));
    EXPECT_TRUE(__op_less_pqfloat_pqfloat(&ninf, &inf));
    EXPECT_TRUE(__op_less_int_pqfloat(INT32_MAX, &inf));
    EXPECT_TRUE(__op_less_pqfloat_int(&ninf, INT32_MIN));
    EXPECT_FALSE(__op_less_pqfloat_int(&nz, 0));
}

TEST(QfloatArith, IntConversions)
{
    Ref ref;
    Gen g(test_seed() + 4);
    for (int i = 0; i < 100000; i++) {
        const int32_t edge[8] = {INT32_MIN, INT32_MAX, 0, 1, -1, INT32_MIN + 1, 400, -400};
        int32_t n = i < 8 ? edge[i] : (int32_t)(g.u() >> (g.u() % 32));
        qfloat q, q2;
        __op_cast_int_qfloat(&q, n);
        _ltoq(&n, &q2);
        mpfr_set_si(ref.r, n, MPFR_RNDN);
        ASSERT_TRUE(qf_same_bits(q, from_mpfr(ref.r))) << n;
        ASSERT_TRUE(qf_same_bits(q2, q)) << n;
        ASSERT_EQ(_qtoi(&q), n);
    }
    // _qtoi: truncation toward zero, saturation, NaN gives 0
    for (int i = 0; i < 100000; i++) {
        qfloat a = g.u() % 4 ? g.normal(g.range(-3, 36)) : g.odd_pattern();
        qf_to_mpfr(ref.x, &a);
        long want;
        if (mpfr_nan_p(ref.x))
            want = 0;
        else if (mpfr_cmp_si(ref.x, INT32_MAX) > 0)
            want = INT32_MAX;
        else if (mpfr_cmp_si(ref.x, INT32_MIN) < 0)
            want = INT32_MIN;
        else
            want = mpfr_get_si(ref.x, MPFR_RNDZ);
        ASSERT_EQ(_qtoi(&a), want) << qf_hex(a);
    }
    qfloat inf = q_of(INFINITY), ninf = q_of(-INFINITY), h = q_of(-2147483648.75), k = q_of(2147483647.5);
    EXPECT_EQ(_qtoi(&inf), INT32_MAX);
    EXPECT_EQ(_qtoi(&ninf), INT32_MIN);
    EXPECT_EQ(_qtoi(&h), INT32_MIN);
    EXPECT_EQ(_qtoi(&k), INT32_MAX);
    qfloat m = q_of(-7.999);
    EXPECT_EQ(_qtoi(&m), -7);
}

uint32_t float_bits(float f)
{
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

// _qtof rounds the whole value once: compared with mpfr_get_flt, including
// float subnormals, overflow and values on and next to float midpoints
// (where rounding through double would go wrong).
TEST(QfloatArith, FloatConversion)
{
    Ref ref;
    Gen g(test_seed() + 5);
    for (int i = 0; i < 200000; i++) {
        qfloat a;
        int kind = (int)(g.u() % 4);
        if (kind == 0) {
            a = g.normal(g.range(-160, 140));
        } else if (kind == 1) {
            a = g.odd_pattern();
        } else {
            // a float midpoint 1.f * 2^e + half unit, nudged a little or not
            int32_t e = g.range(-152, 129);
            int32_t prec = e >= -126 ? 24 : e + 150; // bits of a float near 2^e
            uint64_t m[QF_LIMBS] = {g.u() | 1ull << 63, 0, 0, 0, 0, 0};
            if (prec >= 1 && prec <= 24) {
                m[0] &= ~0ull << (64 - prec);
                m[0] |= 1ull << (63 - prec);
            }
            if (kind == 3) {
                int k = g.range(prec + 1, QF_PREC - 1);
                if (k > 0 && k < QF_PREC) {
                    if (g.coin())
                        m[k / 64] |= 1ull << (63 - k % 64);
                    else { // just below the midpoint
                        m[0] &= ~(1ull << (63 - std::max(prec, 0)));
                        for (int j = std::max(prec, 0) + 1; j < QF_PREC; j++)
                            m[j / 64] |= 1ull << (63 - j % 64);
                    }
                }
            }
            a = make(g.coin(), e + 1, m);
        }
        qf_to_mpfr(ref.x, &a);
        float want = mpfr_get_flt(ref.x, MPFR_RNDN);
        float got = _qtof(&a);
        if (std::isnan(want))
            ASSERT_TRUE(std::isnan(got)) << qf_hex(a);
        else
            ASSERT_EQ(float_bits(got), float_bits(want)) << qf_hex(a) << " got " << got << " want " << want;
    }
}

// QFLT_EPSILON is the qfloat nearest to its 71-digit decimal, which is 2^-352
// to those digits (the nearest qfloat lies 1.7e35 units above 2^-352).
TEST(QfloatArith, EpsilonIsNearestToItsDecimal)
{
    Ref ref;
    mpfr_set_str(ref.r, "1.0900377190420865842969737513593110651511287639835344898368128235126807E-106", 10,
                 MPFR_RNDN);
    EXPECT_TRUE(qf_same_bits(QFLT_EPSILON, from_mpfr(ref.r)));
    mpfr_set_ui_2exp(ref.w, 1, -352, MPFR_RNDN);
    mpfr_sub(ref.w, ref.r, ref.w, MPFR_RNDN);
    mpfr_mul_2ui(ref.w, ref.w, 352 + 351, MPFR_RNDN); // in units of the last place
    EXPECT_GT(mpfr_get_d(ref.w, MPFR_RNDN), 1.6e35);  // relative to 2^-352: 1 + 3.7e-71
    EXPECT_LT(mpfr_get_d(ref.w, MPFR_RNDN), 1.7e35);
    qfloat one = q_of(1.0), half = q_of(0.5), s;
    // 1/2 + epsilon is the next qfloat above 1/2; 1 + epsilon rounds back to 1
    __op_plus_pqfloat_pqfloat(&s, &half, &QFLT_EPSILON);
    EXPECT_FALSE(qf_same_bits(s, half));
    __op_plus_pqfloat_pqfloat(&s, &one, &QFLT_EPSILON);
    EXPECT_FALSE(qf_same_bits(s, one)); // just above the tie, so rounds up
}

// Divisors of at most eight significant bits take their own path: every odd
// D < 256 at several binades, against dividends that are exact multiples of
// D, one or two units off them (remainder 1, 2, D - 1, D - 2: the quotient's
// low limb and the sticky bit), above and below D in their top limb, and
// general significands.
TEST(QfloatArith, DivisionByEightBitIntegers)
{
    Ref ref;
    Gen g(test_seed() + 7);
    Mismatches bad;
    mpz_t qz, az;
    mpz_inits(qz, az, (mpz_ptr)0);
    long checked = 0;
    for (uint64_t D = 1; D < 256; D += 2) {
        int bits = 64 - qf_clz64(D);
        for (int rep = 0; rep < 300; rep++) {
            uint64_t dm[QF_LIMBS] = {D << (64 - bits), 0, 0, 0, 0, 0};
            qfloat b = make(g.coin(), bits + g.range(-3, 3), dm), a;
            int kind = (int)(g.u() % 4);
            if (kind < 2) { // D * Q + r with Q of up to 352 - bits bits
                uint64_t m[QF_LIMBS];
                g.mantissa(m);
                mpz_import(qz, QF_LIMBS, 1, sizeof(uint64_t), 0, 0, m);
                mpz_tdiv_q_2exp(qz, qz, 64 * QF_LIMBS - (QF_PREC - bits) + (int)(g.u() % 4));
                mpz_mul_ui(az, qz, (unsigned long)D);
                long r = kind == 0 ? 0 : (long)(g.u() % 2 + 1) * (g.coin() ? 1 : -1);
                if (r > 0)
                    mpz_add_ui(az, az, (unsigned long)r);
                else if (mpz_cmp_ui(az, 2) > 0)
                    mpz_sub_ui(az, az, (unsigned long)-r);
                if (mpz_sgn(az) == 0)
                    mpz_set_ui(az, 1);
                mpfr_set_z_2exp(ref.r, az, g.range(-20, 20), MPFR_RNDN);
                a = from_mpfr(ref.r);
                a.sign = g.coin() ? 0xFFFFFFFFu : 0;
            } else if (kind == 2) {
                // a / D = (Q + r / D) / 2^(bits + 1) next to a midpoint Q (353
                // bits, odd), with Q's low bits making D * Q + r a multiple of
                // 2^(bits + 1): a fits 352 bits; the sticky bit decides.
                uint64_t m[QF_LIMBS];
                g.mantissa(m);
                mpz_import(qz, QF_LIMBS, 1, sizeof(uint64_t), 0, 0, m);
                mpz_tdiv_q_2exp(qz, qz, 64 * QF_LIMBS - 353);
                long r = (long)(g.u() % 4) | 1;
                if (g.coin())
                    r = -r;
                mpz_t inv, mod, dz;
                mpz_inits(inv, mod, dz, (mpz_ptr)0);
                mpz_set_ui(dz, (unsigned long)D);
                mpz_setbit(mod, bits + 1);
                mpz_invert(inv, dz, mod);
                mpz_mul_si(inv, inv, -r);
                mpz_fdiv_r_2exp(inv, inv, bits + 1);
                mpz_fdiv_q_2exp(qz, qz, bits + 1);
                mpz_mul_2exp(qz, qz, bits + 1);
                mpz_add(qz, qz, inv);
                mpz_mul_ui(az, qz, (unsigned long)D);
                if (r > 0)
                    mpz_add_ui(az, az, (unsigned long)r);
                else
                    mpz_sub_ui(az, az, (unsigned long)-r);
                mpz_clears(inv, mod, dz, (mpz_ptr)0);
                mpz_tdiv_q_2exp(az, az, bits + 1);
                mpfr_set_z_2exp(ref.r, az, g.range(-20, 20), MPFR_RNDN);
                a = from_mpfr(ref.r);
            } else {
                a = g.normal(g.range(-40, 40));
            }
            qfloat want = ref.apply(3, a, b), got;
            __op_divide_pqfloat_pqfloat(&got, &a, &b);
            checked++;
            if (!qf_same_bits(got, want))
                bad.report("small divisor", a, b, got, want);
        }
    }
    mpz_clears(qz, az, (mpz_ptr)0);
    std::printf("checked %ld quotients, %ld mismatches\n", checked, bad.count);
    EXPECT_EQ(bad.count, 0);
}

// (hi:lo) / d with its remainder, by the compiler's 128-bit integers or, on
// targets without them, by GMP.
static uint64_t reference_div128(uint64_t hi, uint64_t lo, uint64_t d, uint64_t *rem)
{
#if defined(__SIZEOF_INT128__)
    unsigned __int128 n = ((unsigned __int128)hi << 64) | lo;
    *rem = (uint64_t)(n % d);
    return (uint64_t)(n / d);
#else
    const uint64_t nw[2] = {lo, hi};
    mpz_t nz, dz, qz, rz;
    mpz_inits(nz, dz, qz, rz, (mpz_ptr)0);
    mpz_import(nz, 2, -1, sizeof(uint64_t), 0, 0, nw);
    mpz_import(dz, 1, -1, sizeof(uint64_t), 0, 0, &d);
    mpz_tdiv_qr(qz, rz, nz, dz);
    uint64_t q = 0, r = 0;
    mpz_export(&q, nullptr, -1, sizeof(uint64_t), 0, 0, qz);
    mpz_export(&r, nullptr, -1, sizeof(uint64_t), 0, 0, rz);
    mpz_clears(nz, dz, qz, rz, (mpz_ptr)0);
    *rem = r;
    return q;
#endif
}

// The portable 128/64 division used where there is no divq instruction, and
// the division by a precomputed reciprocal.
TEST(QfloatArith, PortableLimbDivision)
{
    Gen g(test_seed() + 6);
    for (int i = 0; i < 1000000; i++) {
        uint64_t d = g.u() | 1ull << 63;
        if (g.coin())
            d &= ~0ull << (g.u() % 64);
        uint64_t hi = g.u() % 3 == 0 ? d - 1 - g.u() % 3 : g.u() % d,
                 lo = g.coin() ? g.u() : ~0ull * (g.u() & 1);
        uint64_t r1, r2;
        uint64_t q1 = qf_div128_portable(hi, lo, d, &r1);
        uint64_t q2 = reference_div128(hi, lo, d, &r2);
        ASSERT_EQ(q1, q2) << hi << " " << lo << " " << d;
        ASSERT_EQ(r1, r2);
        uint64_t r3, q3 = qf_div128_preinv(hi, lo, d, qf_reciprocal(d), &r3);
        ASSERT_EQ(q3, q2) << hi << " " << lo << " " << d;
        ASSERT_EQ(r3, r2);
    }
}

} // namespace
