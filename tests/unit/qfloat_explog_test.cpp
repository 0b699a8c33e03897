// SPDX-License-Identifier: MIT
// _expq and _logq against MPFR's correctly rounded exp and log at 352 bits,
// with qfloat's exponent range and gradual underflow applied to MPFR. Every
// comparison is bit-exact. QF_SEED overrides the random seed.
#include "qf_explog.h"
#include "qf_explog_tables.h"
#include "qf_fixed.h"
#include "qf_mpfr.h"
#include "qf_test_support.h"
#include "qfloat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace
{

uint64_t seed_value()
{
    static const uint64_t seed = zelq_test_seed("qfloat_explog_test");
    return seed;
}

using Mpfr = mpfr_value;

void oracle(qfloat *out, const qfloat *x, bool is_exp)
{
    Mpfr a, r;
    qf_to_mpfr(a.v, x);
    int t = is_exp ? mpfr_exp(r.v, a.v, MPFR_RNDN) : mpfr_log(r.v, a.v, MPFR_RNDN);
    qf_mpfr_round(r.v, t);
    mpfr_to_qf(out, r.v);
}

// Counts mismatches, reporting the first few.
struct Checker {
    bool is_exp;
    long count = 0, bad = 0;
    void check(const qfloat &x)
    {
        qfloat got, want;
        if (is_exp)
            _expq(&got, &x);
        else
            _logq(&got, &x);
        oracle(&want, &x, is_exp);
        count++;
        if (std::memcmp(&got, &want, sizeof got) != 0 && ++bad <= 5)
            ADD_FAILURE() << (is_exp ? "exp" : "log") << "(" << qf_hex(x) << ")\n got  " << qf_hex(got)
                          << "\n want " << qf_hex(want);
    }
};

// Value from MPFR (rounded to 352 bits in qfloat's range).
qfloat from_mpfr(const mpfr_t v)
{
    Mpfr r;
    int t = mpfr_set(r.v, v, MPFR_RNDN);
    qf_mpfr_round(r.v, t);
    qfloat q;
    mpfr_to_qf(&q, r.v);
    return q;
}

// Normal qfloat with random significand, value in [2^(e-1), 2^e).
qfloat random_bits(std::mt19937_64 &rng, int e, bool neg)
{
    qfloat q;
    std::memset(&q, 0, sizeof q);
    q.sign = neg ? 0xFFFFFFFFu : 0;
    q.exponent = (uint32_t)(e + QFLT_EXP_BIAS);
    for (int i = 1; i <= 11; i++)
        q.mantissa[i] = (uint32_t)rng();
    // sparse patterns (runs of zeros or ones) stress the carries
    int style = (int)(rng() % 4);
    for (int i = 2; i <= 11 && style; i++)
        if (rng() % 3 == 0)
            q.mantissa[i] = style == 1 ? 0 : 0xFFFFFFFFu;
    q.mantissa[1] |= 0x80000000u;
    return q;
}

qfloat uniform(std::mt19937_64 &rng, double lo, double hi)
{
    Mpfr v(400);
    std::uniform_real_distribution<double> d(lo, hi);
    mpfr_set_d(v.v, d(rng), MPFR_RNDN);
    // fill the low bits too
    Mpfr noise(400);
    mpfr_set_ui(noise.v, rng() >> 11, MPFR_RNDN);
    mpfr_mul_2si(noise.v, noise.v, (long)mpfr_get_exp(v.v) - 53 - 53, MPFR_RNDN);
    mpfr_add(v.v, v.v, noise.v, MPFR_RNDN);
    return from_mpfr(v.v);
}

qfloat make(const char *s)
{
    Mpfr v(1000);
    mpfr_set_str(v.v, s, 10, MPFR_RNDN);
    return from_mpfr(v.v);
}

qfloat power2(long e, bool neg = false)
{
    Mpfr v;
    mpfr_set_si_2exp(v.v, neg ? -1 : 1, e, MPFR_RNDN);
    return from_mpfr(v.v);
}

class ExpLog : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        qf_mpfr_setup_range();
    }
    std::mt19937_64 rng{seed_value()};
};

TEST_F(ExpLog, ZerosInfinitiesNans)
{
    qfloat zero, nzero, inf, ninf, nan, one, r;
    std::memset(&zero, 0, sizeof zero);
    nzero = zero;
    nzero.sign = 0xFFFFFFFFu;
    inf = zero;
    inf.exponent = QFLT_EXP_INFNAN;
    ninf = inf;
    ninf.sign = 0xFFFFFFFFu;
    nan = inf;
    nan.mantissa[1] = 0xC0000000u;
    one = power2(0);
    auto same = [](const qfloat &a, const qfloat &b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    _expq(&r, &zero);
    EXPECT_TRUE(same(r, one));
    _expq(&r, &nzero);
    EXPECT_TRUE(same(r, one));
    _expq(&r, &ninf);
    EXPECT_TRUE(same(r, zero));
    _expq(&r, &inf);
    EXPECT_TRUE(same(r, inf));
    _expq(&r, &nan);
    EXPECT_TRUE(same(r, nan));
    _logq(&r, &one);
    EXPECT_TRUE(same(r, zero));
    _logq(&r, &zero);
    EXPECT_TRUE(same(r, ninf));
    _logq(&r, &nzero);
    EXPECT_TRUE(same(r, ninf));
    _logq(&r, &inf);
    EXPECT_TRUE(same(r, inf));
    _logq(&r, &ninf);
    EXPECT_TRUE(same(r, nan));
    _logq(&r, &nan);
    EXPECT_TRUE(same(r, nan));
    qfloat m = power2(-3, true);
    _logq(&r, &m);
    EXPECT_TRUE(same(r, nan));
    // out aliasing the argument
    qfloat a = make("-1.5");
    _expq(&a, &a);
    qfloat want;
    qfloat b = make("-1.5");
    oracle(&want, &b, true);
    EXPECT_TRUE(same(a, want));
    a = make("0.3");
    _logq(&a, &a);
    b = make("0.3");
    oracle(&want, &b, false);
    EXPECT_TRUE(same(a, want));
}

TEST_F(ExpLog, ExpEdgesAndTiny)
{
    Checker c{true};
    // around the rounding switch of exp(-t) near 1 - 2^-353, and tiny powers
    for (long e = -420; e <= 2; e++) {
        c.check(power2(e));
        c.check(power2(e, true));
    }
    // e^x within 2^-(353 + j) of a half-way point next to 1: only the wide
    // retries can decide most of these
    long retried = 0;
    for (long base : {-351L, -352L, -353L}) {
        for (long j = 1; j <= 340; j += 3) {
            for (int s : {-1, 1}) {
                Mpfr v(800), d(800);
                mpfr_set_si_2exp(v.v, 1, base, MPFR_RNDN);
                mpfr_set_si_2exp(d.v, s, base - j, MPFR_RNDN);
                mpfr_add(v.v, v.v, d.v, MPFR_RNDN);
                qfloat x = from_mpfr(v.v);
                for (int sign = 0; sign < 2; sign++) {
                    x.sign = sign ? 0xFFFFFFFFu : 0;
                    c.check(x);
                    uint64_t y[QF_FAST_NF + 1];
                    int32_t k;
                    int eb = qf_exp_approx(y, &k, &x, QF_FAST_NF);
                    qfloat r;
                    retried += !qf_fx_decide(&r, 0, k - 64 * QF_FAST_NF, y, QF_FAST_NF + 1, eb);
                }
            }
        }
    }
    EXPECT_GT(retried, 300) << "the first evaluation decided cases it cannot have resolved";
    for (int i = 0; i < 3000; i++) {
        int e = -(int)(rng() % 420);
        c.check(random_bits(rng, e, rng() & 1));
    }
    // overflow threshold (ln of the largest finite ~ 22711.35), subnormal
    // and underflow thresholds (~ -22712.0, -22956.6)
    for (const char *s :
         {"22711.3", "22711.35", "22711.36", "22712", "22713", "-22711.7", "-22712.05", "-22713", "-22956",
          "-22956.5", "-22956.6", "-22957", "-22958", "-30000", "65535", "-65535", "32767.9"})
        c.check(make(s));
    for (int i = 0; i < 4000; i++) {
        c.check(uniform(rng, 22705, 22715));
        c.check(uniform(rng, -22965, -22700));
    }
    EXPECT_EQ(c.bad, 0) << "of " << c.count;
}

TEST_F(ExpLog, ExpEngineRange)
{
    Checker c{true};
    for (int i = 0; i < 25000; i++)
        c.check(uniform(rng, -320, 0));
    for (int i = 0; i < 10000; i++)
        c.check(uniform(rng, -22710, 0));
    for (int i = 0; i < 5000; i++)
        c.check(uniform(rng, 0, 22700));
    // near multiples of ln 2 (r close to 0 and to ln 2) and of j/256
    Mpfr ln2(500), v(500), eps(500);
    mpfr_const_log2(ln2.v, MPFR_RNDN);
    for (int i = 0; i < 6000; i++) {
        long k = (long)(rng() % 65000) - 32500;
        mpfr_mul_si(v.v, ln2.v, k, MPFR_RNDN);
        if (i % 3 == 1)
            mpfr_add_d(v.v, v.v, (double)(rng() % 256) / 256.0, MPFR_RNDN);
        mpfr_set_si_2exp(eps.v, (long)(rng() % 2000) - 1000, -(long)(rng() % 400) - 20, MPFR_RNDN);
        mpfr_add(v.v, v.v, eps.v, MPFR_RNDN);
        c.check(from_mpfr(v.v));
    }
    // random bit patterns over every exponent not handled up front
    for (int i = 0; i < 6000; i++)
        c.check(random_bits(rng, (int)(rng() % 20) - 3, rng() & 1));
    EXPECT_EQ(c.bad, 0) << "of " << c.count;
}

TEST_F(ExpLog, LogRanges)
{
    Checker c{false};
    // the engine's arguments |X| / (1 + X^2) lie in (0, 0.5]
    for (int i = 0; i < 20000; i++)
        c.check(uniform(rng, 1e-3, 0.5));
    for (int i = 0; i < 5000; i++)
        c.check(random_bits(rng, -(int)(rng() % 40), false));
    // every binade, subnormals included
    for (int i = 0; i < 15000; i++) {
        qfloat q = random_bits(rng, (int)(rng() % 65533) - 32766, false);
        if (i % 8 == 0) { // subnormal: exponent field 0, leading zeros
            q.exponent = 0;
            int z = (int)(rng() % 11);
            for (int w = 1; w <= z; w++)
                q.mantissa[w] = 0;
            q.mantissa[z + 1] >>= rng() % 32;
            q.mantissa[11] |= 1;
        }
        c.check(q);
    }
    // powers of two, and 1 +- a few units in the last place
    for (long e = -33118; e <= 32765; e += 97)
        c.check(power2(e));
    qfloat one = power2(0);
    for (int i = 0; i < 3000; i++) {
        Mpfr v, d;
        qf_to_mpfr(v.v, &one);
        mpfr_set_si_2exp(d.v, (long)(rng() % 100000) - 50000, -352 - (long)(rng() % 330), MPFR_RNDN);
        mpfr_add(v.v, v.v, d.v, MPFR_RNDN);
        c.check(from_mpfr(v.v));
    }
    for (int i = 0; i < 3000; i++)
        c.check(uniform(rng, 0.5, 2));
    EXPECT_EQ(c.bad, 0) << "of " << c.count;
}

// Every stored constant against MPFR, including entries that random
// arguments almost never select (the last index of each log table).
TEST_F(ExpLog, TablesMatchMpfr)
{
    mpfr_set_emin(mpfr_get_emin_min());
    Mpfr v(1200), w(1200);
    auto frac_err = [&](const uint64_t *limbs, int n, const mpfr_t exact) {
        // |stored - exact| in units of the last limb
        mpz_t z;
        mpz_init(z);
        mpz_import(z, (size_t)n, -1, sizeof(uint64_t), 0, 0, limbs);
        mpfr_set_z(w.v, z, MPFR_RNDN);
        mpfr_div_2si(w.v, w.v, 64L * n, MPFR_RNDN);
        mpfr_sub(w.v, w.v, exact, MPFR_RNDN);
        mpfr_mul_2si(w.v, w.v, 64L * n, MPFR_RNDN);
        mpz_clear(z);
        return mpfr_get_d(w.v, MPFR_RNDN);
    };
    mpfr_const_log2(v.v, MPFR_RNDN);
    double e = frac_err(qf_ln2, QF_LN2_LIMBS, v.v);
    EXPECT_TRUE(e <= 0 && e > -1) << "ln 2 must be truncated: " << e;
    const uint64_t(*et[3])[7] = {qf_exp_t1, qf_exp_t2, qf_exp_t3};
    const int ecount[3] = {178, 256, 256};
    for (int t = 0; t < 3; t++)
        for (int j = 0; j < ecount[t]; j++) {
            mpfr_set_si_2exp(v.v, j, -8 * (t + 1), MPFR_RNDN);
            mpfr_expm1(v.v, v.v, MPFR_RNDN);
            EXPECT_LE(std::fabs(frac_err(et[t][j], 7, v.v)), 0.5) << "exp table " << t + 1 << " entry " << j;
        }
    for (int n = 2; n <= QF_EXP_DEG; n++) {
        mpfr_fac_ui(v.v, (unsigned long)n, MPFR_RNDN);
        mpfr_ui_div(v.v, 1, v.v, MPFR_RNDN);
        EXPECT_LE(std::fabs(frac_err(qf_exp_inv_fact[n - 2], 7, v.v)), 0.5) << "1/" << n << "!";
    }
    for (int n = 2; n <= QF_LOG_DEG; n++) {
        mpfr_set_ui(v.v, (unsigned long)n, MPFR_RNDN);
        mpfr_ui_div(v.v, 1, v.v, MPFR_RNDN);
        EXPECT_LE(std::fabs(frac_err(qf_log_inv[n], 7, v.v)), 0.5) << "1/" << n;
    }
    const uint64_t *ct[3] = {qf_log_c1, qf_log_c2, qf_log_c3};
    const uint64_t(*lt[3])[7] = {qf_log_l1, qf_log_l2, qf_log_l3};
    const int lcount[3] = {256, 257, 257};
    for (int t = 0; t < 3; t++)
        for (int j = 0; j < lcount[t]; j++) {
            // c = 1 / (1 + j 2^-8(t+1)) rounded up to 63 fractional bits
            mpfr_set_si_2exp(v.v, j, -8 * (t + 1), MPFR_RNDN);
            mpfr_add_ui(v.v, v.v, 1, MPFR_RNDN);
            mpfr_ui_div(v.v, 1, v.v, MPFR_RNDN);
            mpfr_mul_2si(v.v, v.v, 63, MPFR_RNDN);
            mpfr_ceil(v.v, v.v);
            EXPECT_EQ(mpfr_cmp_ui(v.v, 0) > 0 ? mpfr_get_uj(v.v, MPFR_RNDN) : 0, ct[t][j])
                << "log factor " << t + 1 << " entry " << j;
            mpfr_set_uj_2exp(v.v, ct[t][j], -63, MPFR_RNDN);
            mpfr_log(v.v, v.v, MPFR_RNDN);
            mpfr_neg(v.v, v.v, MPFR_RNDN);
            EXPECT_LE(std::fabs(frac_err(lt[t][j], 7, v.v)), 0.5) << "log table " << t + 1 << " entry " << j;
        }
    qf_mpfr_setup_range();
}

// Any 56-byte pattern is an argument: unnormalized significands, a nonzero
// guard word, any nonzero sign word, huge and tiny exponents.
TEST_F(ExpLog, ArbitraryPatterns)
{
    Checker ce{true}, cl{false};
    for (int i = 0; i < 6000; i++) {
        qfloat q;
        q.sign = (uint32_t)(rng() % 3 == 0 ? rng() : (rng() & 1 ? 0xFFFFFFFFu : 0));
        q.mantissa[0] = (uint32_t)rng();
        int lead = (int)(rng() % 12);
        for (int w = 1; w <= 11; w++)
            q.mantissa[w] = w <= lead && rng() % 4 ? 0 : (uint32_t)rng();
        q.exponent = i % 2 ? (uint32_t)(32768 - 420 + (int)(rng() % 440)) : (uint32_t)(rng() % 65536);
        if (i % 2)
            ce.check(q);
        else
            cl.check(q);
        q.exponent = (uint32_t)(32768 - 420 + (int)(rng() % 440)) + (uint32_t)(rng() % 3 == 0 ? 64 : 0);
        ce.check(q);
        q.sign = 0;
        cl.check(q);
    }
    EXPECT_EQ(ce.bad, 0) << "of " << ce.count;
    EXPECT_EQ(cl.bad, 0) << "of " << cl.count;
}

// No shared state: threads evaluating at once get what one thread gets,
// retry paths included.
TEST_F(ExpLog, ConcurrentCallsAgree)
{
    const int n = 400;
    std::vector<qfloat> xs(n), want(n);
    for (int i = 0; i < n; i++) {
        if (i % 2) { // log: positive, also near 1
            xs[i] =
                i % 10 == 1 ? make("0.99999999999999999999999999999999999999999") : uniform(rng, 1e-30, 4);
            _logq(&want[i], &xs[i]);
        } else { // exp: some need the retry path
            xs[i] = i % 10 == 0 ? power2(-353, true) : uniform(rng, -400, 10);
            _expq(&want[i], &xs[i]);
        }
    }
    std::vector<long> bad(4, 0);
    std::vector<std::thread> pool;
    for (int t = 0; t < 4; t++)
        pool.emplace_back([&, t] {
            for (int rep = 0; rep < 3; rep++)
                for (int i = 0; i < n; i++) {
                    int j = (i * (t + 1) + rep) % n;
                    qfloat got;
                    if (j % 2)
                        _logq(&got, &xs[j]);
                    else
                        _expq(&got, &xs[j]);
                    bad[t] += std::memcmp(&got, &want[j], sizeof got) != 0;
                }
        });
    for (auto &th : pool)
        th.join();
    for (int t = 0; t < 4; t++)
        EXPECT_EQ(bad[t], 0) << "thread " << t;
}

// The wide retry paths alone, at each width, on arguments that the first
// evaluation would usually decide: they must decide too and agree.
TEST_F(ExpLog, WidePathsAgree)
{
    long bad = 0, undecided = 0;
    for (int nf : {16, 32, QF_WIDE_MAX_NF}) {
        int n = nf == 16 ? 600 : 150;
        for (int i = 0; i < n; i++) {
            bool is_exp = i & 1;
            qfloat x = is_exp ? uniform(rng, -400, 100) : random_bits(rng, (int)(rng() % 2000) - 1000, false);
            if (i % 10 == 0)
                x = is_exp ? power2(-353, true) : make("1.0000000000000000000000000000000000001");
            qfloat got, want;
            int ok = is_exp ? qf_exp_wide(&got, &x, nf) : qf_log_wide(&got, &x, nf);
            oracle(&want, &x, is_exp);
            if (!ok)
                undecided++;
            else if (std::memcmp(&got, &want, sizeof got) != 0 && ++bad <= 5)
                ADD_FAILURE() << "nf " << nf << (is_exp ? " exp(" : " log(") << qf_hex(x) << ")\n got  "
                              << qf_hex(got) << "\n want " << qf_hex(want);
        }
    }
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(undecided, 0);
}

// |approx - exact| / 2^errbit for an estimate of nf + 1 limbs scaled by
// 2^(shift - 64 nf), against MPFR well beyond that width.
double bound_ratio(const uint64_t *limbs, int nf, bool neg, long shift, int errbit, const mpfr_t exact)
{
    mpz_t z;
    mpz_init(z);
    mpz_import(z, (size_t)nf + 1, -1, sizeof(uint64_t), 0, 0, limbs);
    Mpfr a(64 * nf + 200), d(64 * nf + 200);
    mpfr_set_z(a.v, z, MPFR_RNDN);
    if (neg)
        mpfr_neg(a.v, a.v, MPFR_RNDN);
    mpfr_mul_2si(d.v, exact, 64L * nf - shift, MPFR_RNDN); // exact in units
    mpfr_sub(d.v, a.v, d.v, MPFR_RNDN);
    mpfr_abs(d.v, d.v, MPFR_RNDN);
    mpfr_div_2si(d.v, d.v, errbit, MPFR_RNDN);
    mpz_clear(z);
    return mpfr_get_d(d.v, MPFR_RNDU);
}

// The proven bounds behind every decision, checked on the estimates
// themselves (the margins are printed): a bound that is too small would
// only rarely show up as a misrounded result.
TEST_F(ExpLog, ErrorBoundsHold)
{
    mpfr_set_emin(mpfr_get_emin_min());
    mpfr_set_emax(mpfr_get_emax_max());
    const qfloat one = power2(0);
    for (int nf : {QF_FAST_NF, 16}) {
        int n = nf == QF_FAST_NF ? 3000 : 200;
        double worst_exp = 0, worst_log = 0;
        for (int i = 0; i < n; i++) {
            uint64_t est[64];
            qfloat x =
                i % 3 ? uniform(rng, -400, 200) : random_bits(rng, (int)(rng() % 416) - 399, rng() & 1);
            int32_t k;
            int eb = qf_exp_approx(est, &k, &x, nf);
            Mpfr xv, ex(64 * nf + 256);
            qf_to_mpfr(xv.v, &x);
            mpfr_exp(ex.v, xv.v, MPFR_RNDN);
            double q = bound_ratio(est, nf, false, k, eb, ex.v);
            worst_exp = std::max(worst_exp, q);
            EXPECT_LE(q, 1.0) << "exp nf " << nf << " x " << qf_hex(x);

            x = random_bits(rng, (int)(rng() % 4000) - 2000, false);
            if (i % 4 == 0)
                x = uniform(rng, 0.5, 2.0);
            int neg;
            if (std::memcmp(&x, &one, sizeof x) == 0)
                continue;
            eb = qf_log_approx(est, &neg, &x, nf);
            qf_to_mpfr(xv.v, &x);
            mpfr_log(ex.v, xv.v, MPFR_RNDN);
            q = bound_ratio(est, nf, neg, 0, eb, ex.v);
            worst_log = std::max(worst_log, q);
            EXPECT_LE(q, 1.0) << "log nf " << nf << " x " << qf_hex(x);
        }
        std::printf("nf %d: worst error / bound: exp %.3g, log %.3g\n", nf, worst_exp, worst_log);
    }
    qf_mpfr_setup_range();
}

} // namespace
