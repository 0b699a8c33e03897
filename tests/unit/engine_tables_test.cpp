// SPDX-License-Identifier: MIT
// cPhi's coefficient tables against the steps they replace: every pair must
// be what the number layer's own operations give in cPhi's order, each
// start point must hold every pass that an argument of its interval can
// reach, and cPhi must give the bits of the untabulated steps everywhere,
// past the tables too.
#include "mills_taylor_tables.h"
#include "normal.h"
#include "normal_constants.h"
#include "qf_mpfr.h"
#include "qf_test_support.h"
#include "qf_value_ops.h"
#include "qfloat.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace
{

const int kPasses = 99; // cPhi's loop: i = 2, 4, ..., 198

// z, r_0 = R(z), r_1 and the pairs after passes 1..99 of one start point,
// each formed by the steps cPhi takes without its tables.
struct Start {
    qfloat z, a0, b0;
    qfloat a[kPasses + 1], b[kPasses + 1]; // index: pass
};

Start form_start(int32_t j)
{
    Start s;
    s.z = q_mul(qf_one, q_from_int(j));
    qfloat a = MillsRatio_v[j];
    qfloat b = q_sub(q_mul(s.z, a), qf_one);
    s.a0 = a;
    s.b0 = b;
    for (int32_t k = 1, i = 2; k <= kPasses; k++, i += 2) {
        qfloat I0 = q_from_long(i);
        qfloat I1 = q_add(I0, qf_one);
        a = q_div(q_add(a, q_mul(s.z, b)), I0);
        b = q_div(q_add(b, q_mul(s.z, a)), I1);
        s.a[k] = a;
        s.b[k] = b;
    }
    return s;
}

const std::vector<Start> &starts()
{
    static const std::vector<Start> all = [] {
        std::vector<Start> v(MILLS_TAYLOR_STARTS);
        for (int32_t j = 1; j < MILLS_TAYLOR_STARTS; j++)
            v[j] = form_start(j);
        return v;
    }();
    return all;
}

// The start point and step cPhi takes for x.
void start_of(const qfloat &arg, int32_t *j, qfloat *h)
{
    qfloat x = arg;
    _qabs(&x);
    qfloat x_plus_1 = q_add(x, qf_one);
    *j = _qtoi(&x_plus_1);
    *j = *j > 25 ? 25 : *j < 1 ? 1 : *j;
    *h = q_sub(x, q_mul(qf_one, q_from_int(*j)));
}

// The pass at which cPhi's loop stops for start j and step h (100 when the
// loop runs out), and its sum.
int passes_used(int32_t j, const qfloat &h, qfloat *sum_out = nullptr)
{
    const Start &s = starts()[j];
    qfloat pwr = qf_one;
    qfloat sum = q_add(s.a0, q_mul(h, s.b0));
    int k = 1;
    for (; k <= kPasses; k++) {
        pwr = q_mul(q_mul(pwr, h), h);
        qfloat t = sum;
        sum = q_add(sum, q_mul(pwr, q_add(s.a[k], q_mul(h, s.b[k]))));
        if (q_eq(sum, t))
            break;
    }
    if (sum_out)
        *sum_out = sum;
    return k;
}

// cPhi as it reads without its tables.
qfloat untabulated_cPhi(const qfloat &arg)
{
    qfloat x = arg;
    _qabs(&x);
    if (q_le(x, QFLT_EPSILON))
        return qf_half;
    int32_t j;
    qfloat h, sum;
    start_of(x, &j, &h);
    passes_used(j, h, &sum);
    return q_mul(sum, q_exp(q_add(q_mul(q_mul(qf_minus_half, x), x), LnSqrt2Pi)));
}

qfloat Q(const char *text)
{
    qfloat q;
    _asctoq(text, &q);
    return q;
}

// The qfloat next to q, up or down.
qfloat next_toward(const qfloat &q, bool up)
{
    mpfr_value m;
    qf_to_mpfr(m.v, &q);
    if (up)
        mpfr_nextabove(m.v);
    else
        mpfr_nextbelow(m.v);
    qfloat r;
    mpfr_to_qf(&r, m.v);
    return r;
}

TEST(MillsTaylorTables, LayoutIsConsecutive)
{
    EXPECT_TRUE(qf_same_bits(MillsTaylor_b0[0], qf_zero));
    EXPECT_EQ(MillsTaylor_passes[0], 0);
    int32_t next = 0;
    for (int32_t j = 1; j < MILLS_TAYLOR_STARTS; j++) {
        EXPECT_EQ(MillsTaylor_first[j], next) << j;
        EXPECT_GE(MillsTaylor_passes[j], 1) << j;
        EXPECT_LE(MillsTaylor_passes[j], kPasses) << j;
        next += MillsTaylor_passes[j];
    }
    EXPECT_EQ(next, MILLS_TAYLOR_PAIRS);
    std::printf("%d pairs, %zu bytes\n", MILLS_TAYLOR_PAIRS, sizeof MillsTaylor_pairs);
}

TEST(MillsTaylorTables, EqualTheStepsTheyReplace)
{
    int mismatches = 0;
    for (int32_t j = 1; j < MILLS_TAYLOR_STARTS; j++) {
        const Start &s = starts()[j];
        if (!qf_same_bits(s.b0, MillsTaylor_b0[j]) && mismatches++ < 5)
            ADD_FAILURE() << "b0 of z = " << j << ": " << qf_hex(MillsTaylor_b0[j]) << " formed "
                          << qf_hex(s.b0);
        for (int32_t k = 1; k <= MillsTaylor_passes[j]; k++) {
            const mills_taylor_pair &p = MillsTaylor_pairs[MillsTaylor_first[j] + k - 1];
            if ((!qf_same_bits(p.a, s.a[k]) || !qf_same_bits(p.b, s.b[k])) && mismatches++ < 5)
                ADD_FAILURE() << "z = " << j << ", pass " << k << ": a " << qf_hex(p.a) << " formed "
                              << qf_hex(s.a[k]) << ", b " << qf_hex(p.b) << " formed " << qf_hex(s.b[k]);
        }
    }
    EXPECT_EQ(mismatches, 0);
}

// The pass count grows with |h|, so the points crowd toward h = -1 and the
// rounding case below it: |x| just under an integer n, where |x| + 1 rounds
// up to n + 1 and h comes out a hair below -1.
TEST(MillsTaylorTables, HoldEveryPassAnArgumentCanReach)
{
    const int kUniform = 1000;
    std::vector<qfloat> xs;
    for (int32_t n = 0; n <= 25; n++) {
        qfloat c = q_from_int(n);
        for (int i = 0; i <= kUniform && n < 25; i++)
            xs.push_back(q_add(c, q_div(q_from_int(i), q_from_int(kUniform))));
        qfloat d = qf_one;
        for (int e = 1; e <= 360; e++) {
            d = q_mul(d, qf_half); // 2^-e
            if (e % 3 == 1) {
                xs.push_back(q_add(c, d));
                xs.push_back(q_sub(c, d));
            }
        }
        qfloat below = c, above = c;
        for (int m = 0; m < 8 && n > 0; m++) {
            below = next_toward(below, false);
            above = next_toward(above, true);
            xs.push_back(below);
            xs.push_back(above);
        }
    }
    xs.push_back(next_toward(QFLT_EPSILON, true));
    xs.push_back(Q("1e-50"));

    int worst[MILLS_TAYLOR_STARTS] = {};
    int points = 0, too_long = 0;
    for (const qfloat &x : xs) {
        qfloat ax = x;
        _qabs(&ax);
        if (q_le(ax, QFLT_EPSILON) || q_lt(qf_25, ax))
            continue; // no series, or beyond the range the tables cover
        int32_t j;
        qfloat h;
        start_of(x, &j, &h);
        int k = passes_used(j, h);
        points++;
        worst[j] = k > worst[j] ? k : worst[j];
        if (k > MillsTaylor_passes[j] && too_long++ < 5)
            ADD_FAILURE() << "z = " << j << " needs pass " << k << ", table holds " << MillsTaylor_passes[j];
    }
    std::printf("%d points; passes used at most / tabulated per z:\n", points);
    for (int32_t j = 1; j < MILLS_TAYLOR_STARTS; j++)
        std::printf(" %d:%d/%d", j, worst[j], MillsTaylor_passes[j]);
    std::printf("\n");
    EXPECT_EQ(too_long, 0);
    EXPECT_GT(points, 25 * kUniform);
}

TEST(MillsTaylorTables, CPhiGivesTheBitsOfTheUntabulatedSteps)
{
    std::vector<qfloat> xs;
    for (int i = 1; i <= 2500; i++)
        xs.push_back(q_div(q_from_int(i), q_from_int(100))); // 0.01 .. 25
    for (const char *t : {"1e-50", "1e-106", "0.999999999", "24.999", "25"})
        xs.push_back(Q(t));
    for (int32_t n = 1; n <= 25; n++) {
        xs.push_back(next_toward(q_from_int(n), false));
        xs.push_back(next_toward(q_from_int(n), true));
    }
    // past the tables: h > 0 from z = 25, and the values no caller passes
    qfloat zero = qf_zero, one = qf_one;
    qfloat inf = q_div(one, zero), nan = q_div(zero, zero);
    for (const char *t : {"25.0001", "25.5", "26", "26.5", "30", "40", "1000", "1e300"})
        xs.push_back(Q(t));
    xs.push_back(inf);
    xs.push_back(nan);
    int32_t j;
    qfloat h;
    start_of(Q("26.5"), &j, &h);
    EXPECT_GT(passes_used(j, h), MillsTaylor_passes[j]) << "26.5 should run past the table";

    int mismatches = 0;
    for (const qfloat &x : xs)
        for (const qfloat &arg : {x, q_neg(x)}) {
            qfloat got = cPhi(arg), want = untabulated_cPhi(arg);
            if (!qf_same_bits(got, want) && mismatches++ < 5)
                ADD_FAILURE() << "cPhi(" << qf_hex(arg) << ") = " << qf_hex(got) << ", steps give "
                              << qf_hex(want);
        }
    EXPECT_EQ(mismatches, 0);
}

} // namespace
