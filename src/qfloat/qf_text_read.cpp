// SPDX-License-Identifier: MIT
// Decimal text -> qfloat, correctly rounded for any length of text.
//
// The value d1 d2 d3 ... x 10^E is first bracketed with the leading (at
// most 120) digits and a 512-bit power of ten from the tables; when both
// ends of the bracket round to the same qfloat that is the answer. Only when
// a rounding boundary falls inside the bracket (probability ~2^-40 for
// random text, or a text naming a midpoint) the value is compared exactly
// with that midpoint in big-integer arithmetic. Significant digits past
// QF_DEC_EXACT_DIGITS cannot move the result beyond a sticky flag: every
// midpoint's decimal expansion is shorter than that.
#include "qf_bigint.h"
#include "qf_internal.h"
#include "qf_pow10_tables.h"

#include <stdint.h>
#include <string.h>

#define FAST_DIGITS 120 /* digits in the bracket: < 2^399, 7 limbs */
/* Decimal exponents (value = 0.ddd x 10^dexp) that are certainly out of
 * range: 10^9865 > largest finite, 10^-9973 < half the least subnormal. */
#define DEXP_INF 9866
#define DEXP_ZERO (-9973)
#define EXP_SATURATE 1000000000000000LL /* exponents past this mean inf or 0 */

typedef struct {
    const char *first; // first nonzero digit, or 0 when the value is zero
    int64_t nsig;      // digits from first to the end of the mantissa
    int64_t dexp;      // value = 0.(digits from first) x 10^dexp
} decimal_text;

static int is_space(unsigned char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

static int is_digit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

static int lower(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

// Case-insensitive match of the lower-case word w at p; returns its length or 0.
static size_t match_word(const char *p, const char *w)
{
    size_t i = 0;
    for (; w[i]; i++)
        if (lower((unsigned char)p[i]) != w[i])
            return 0;
    return i;
}

static const char *skip_space(const char *p)
{
    while (is_space((unsigned char)*p))
        p++;
    return p;
}

// When s[0..8) are eight ASCII digits, stores their value in *v and returns 1
// (eight digits combined in three multiplications, on little-endian targets).
static inline int eight_digits(const char *s, uint64_t *v)
{
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    uint64_t w;
    memcpy(&w, s, 8);
    if (((w & 0xF0F0F0F0F0F0F0F0ull) | (((w + 0x0606060606060606ull) & 0xF0F0F0F0F0F0F0F0ull) >> 4)) !=
        0x3333333333333333ull)
        return 0;
    w -= 0x3030303030303030ull;
    w = w * 10 + (w >> 8); // byte pairs
    w = (((w & 0x000000FF000000FFull) * (100 + (1000000ull << 32))) +
         (((w >> 16) & 0x000000FF000000FFull) * (1 + (10000ull << 32)))) >>
        32;
    *v = w;
    return 1;
#else
    (void)s;
    (void)v;
    return 0;
#endif
}

// Reads count digits from *p (stepping over the point) into a, least
// significant limb first; returns the limb count. Needs count digits there.
static int read_digits(const char **p, int64_t count, uint64_t *a)
{
    static const uint64_t pow10_19[20] = {1ull,
                                          10ull,
                                          100ull,
                                          1000ull,
                                          10000ull,
                                          100000ull,
                                          1000000ull,
                                          10000000ull,
                                          100000000ull,
                                          1000000000ull,
                                          10000000000ull,
                                          100000000000ull,
                                          1000000000000ull,
                                          10000000000000ull,
                                          100000000000000ull,
                                          1000000000000000ull,
                                          10000000000000000ull,
                                          100000000000000000ull,
                                          1000000000000000000ull,
                                          10000000000000000000ull};
    const char *s = *p;
    int n = 0;
    while (count > 0) {
        int len = count > 19 ? 19 : (int)count;
        uint64_t chunk = 0;
        for (int i = 0; i < len;) {
            uint64_t v;
            // count >= 8 digits remain, so these 8 bytes lie in the mantissa.
            if (len - i >= 8 && eight_digits(s, &v)) {
                chunk = chunk * 100000000u + v;
                s += 8;
                i += 8;
                continue;
            }
            if (*s == '.')
                s++;
            chunk = chunk * 10 + (uint64_t)(*s++ - '0');
            i++;
        }
        uint64_t carry = qf_big_mul1(a, n, pow10_19[len], chunk);
        if (carry)
            a[n++] = carry;
        count -= len;
    }
    *p = s;
    return n;
}

// Nonzero when a nonzero digit follows at s before the end of the mantissa.
static int any_nonzero_digit(const char *s)
{
    for (; is_digit((unsigned char)*s) || *s == '.'; s++)
        if (*s > '0')
            return 1;
    return 0;
}

// Parses the whole text; returns 0 when it is not a number of the grammar.
// kind: 0 number (d filled), 1 infinity, 2 NaN.
static int parse(const char *text, int *neg, int *kind, decimal_text *d)
{
    const char *p = skip_space(text);
    *neg = 0;
    *kind = 0;
    if (*p == '+' || *p == '-')
        *neg = *p++ == '-';
    size_t w;
    if ((w = match_word(p, "infinity")) || (w = match_word(p, "inf")) || (w = match_word(p, "nan"))) {
        *kind = lower((unsigned char)*p) == 'n' ? 2 : 1;
        return *skip_space(p + w) == 0;
    }
    const char *int_start = p;
    while (is_digit((unsigned char)*p))
        p++;
    int64_t int_digits = p - int_start, frac_digits = 0;
    const char *frac_start = p;
    if (*p == '.') {
        frac_start = ++p;
        while (is_digit((unsigned char)*p))
            p++;
        frac_digits = p - frac_start;
    }
    // Leading zeros, in the integer part and then in the fraction.
    const char *z = int_start;
    while (z < int_start + int_digits && *z == '0')
        z++;
    int64_t lead = z - int_start;
    if (lead == int_digits) {
        z = frac_start;
        while (z < frac_start + frac_digits && *z == '0')
            z++;
        lead += z - frac_start;
    }
    d->first = lead < int_digits + frac_digits ? z : 0;
    int64_t lead_int = lead < int_digits ? lead : int_digits;
    if (int_digits + frac_digits == 0)
        return 0;
    int64_t exp = 0;
    if (*p == 'e' || *p == 'E') {
        p++;
        int eneg = 0;
        if (*p == '+' || *p == '-')
            eneg = *p++ == '-';
        if (!is_digit((unsigned char)*p))
            return 0;
        for (; is_digit((unsigned char)*p); p++)
            if (exp < EXP_SATURATE)
                exp = exp * 10 + (*p - '0');
        if (eneg)
            exp = -exp;
    }
    if (*skip_space(p) != 0)
        return 0;
    d->nsig = int_digits + frac_digits - lead;
    // Weight of the first significant digit: 10^(dexp-1).
    d->dexp = (lead < int_digits ? int_digits - lead_int : -(lead - int_digits)) + exp;
    return 1;
}

// Exact decision between q1 (the rounding of the bracket's low end) and the
// next qfloat up: compares the value with the midpoint between them.
__attribute__((noinline)) static void read_exact(qfloat *out, int neg, const decimal_text *d,
                                                 const qfloat *q1)
{
    uint64_t x[QF_BIG_LIMBS], y[QF_BIG_LIMBS];
    // Midpoint = (2 j + 1) * 2^(scale - 353), q1 = j * 2^(scale - 352).
    memset(y, 0, sizeof(uint64_t) * (QF_LIMBS + 1));
    for (int k = 0; k < QF_LIMBS; k++) {
        uint64_t lo = q1->mantissa[11 - 2 * k];
        uint64_t hi = 10 - 2 * k >= 1 ? q1->mantissa[10 - 2 * k] : 0;
        y[k] = (hi << 32) | lo;
    }
    int ny = qf_big_shl(y, QF_LIMBS, 1);
    y[0] |= 1;
    ny = ny ? ny : 1;
    long scale = q1->exponent == 0 ? QF_EMIN : (long)q1->exponent - QFLT_EXP_BIAS;
    long t = scale - 353;

    int64_t n = d->nsig < QF_DEC_EXACT_DIGITS ? d->nsig : QF_DEC_EXACT_DIGITS;
    const char *s = d->first;
    int nx = read_digits(&s, n, x);
    int sticky = any_nonzero_digit(s);
    long e = (long)(d->dexp - n); // value = x * 10^e
    int c;
    if (e >= 0) {
        nx = qf_big_mul_pow5(x, nx, e);
        c = qf_big_cmp_scaled(x, nx, e, y, ny, t);
    } else {
        ny = qf_big_mul_pow5(y, ny, -e);
        c = qf_big_cmp_scaled(x, nx, 0, y, ny, t - e);
    }
    if (c == 0 && sticky)
        c = 1;
    if (c < 0) {
        *out = *q1;
        return;
    }
    // Above the midpoint: the next qfloat up; on it: ties to even.
    uint64_t m[QF_LIMBS + 1];
    memset(m, 0, sizeof m);
    for (int k = 0; k < QF_LIMBS; k++) {
        uint64_t lo = q1->mantissa[11 - 2 * k];
        uint64_t hi = 10 - 2 * k >= 1 ? q1->mantissa[10 - 2 * k] : 0;
        m[k] = (hi << 32) | lo;
    }
    qf_big_shl(m, QF_LIMBS, 1);
    m[0] |= 1;
    qf_big_round(out, neg, m, QF_LIMBS + 1, t, c > 0);
}

/*
 * Reads decimal text into *out, correctly rounded to nearest (ties to even),
 * with gradual underflow, overflow to +-infinity and the sign of zero kept.
 * Grammar (ASCII): optional white space, optional sign, digits with an
 * optional point (at least one digit), optional exponent e/E [sign] digits,
 * optional white space; or inf / infinity / nan in any case with an optional
 * sign. Any other text gives NaN. Any number of digits and any exponent are
 * accepted; time is linear in the length of the text.
 */
void _asctoq(const char *text, qfloat *out)
{
    int neg, kind;
    decimal_text d;
    if (!parse(text, &neg, &kind, &d) || kind == 2) {
        qf_set_nan(out);
        return;
    }
    if (kind == 1) {
        qf_set_inf(out, neg);
        return;
    }
    if (!d.first || d.dexp < DEXP_ZERO) {
        qf_set_zero(out, neg);
        return;
    }
    if (d.dexp > DEXP_INF) {
        qf_set_inf(out, neg);
        return;
    }
    // Bracket: value in [D * P, (D + dd) * (P + dp)] * 2^pe where D holds the
    // leading digits (dd = 1 when later digits are nonzero) and P * 2^pe is
    // the table's truncated 10^e (dp = 1 unless exact).
    int64_t nd = d.nsig < FAST_DIGITS ? d.nsig : FAST_DIGITS;
    uint64_t dig[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    const char *s = d.first;
    int ndig = read_digits(&s, nd, dig);
    int dd = any_nonzero_digit(s);
    int64_t e = d.dexp - nd;
    int64_t jb = qf_floor_div(e, QF_POW10_STEP);
    int is = (int)(e - jb * QF_POW10_STEP);
    const qf_pow10_entry *pw = &qf_pow10_big[jb - QF_POW10_BIG_MIN];
    uint64_t ds[12], lo[20], hi[22];
    int nhi;
    qf_big_mul(ds, dig, ndig, qf_pow10_small[is], 4);
    int nds = qf_big_trim(ds, ndig + 4);
    qf_big_mul(lo, ds, nds, pw->m, QF_POW10_BIG_LIMBS);
    int nlo = nds + QF_POW10_BIG_LIMBS;
    qfloat q1;
    qf_big_round(&q1, neg, lo, nlo, pw->e, 0);
    if (pw->exact && !dd) {
        *out = q1;
        return;
    }
    // High end (D + dd) * 10^is * (P + dp): just lo + D * 10^is when no
    // digits were cut off; formed by a second product otherwise.
    if (!dd) {
        memcpy(hi, lo, sizeof(uint64_t) * (size_t)nlo);
        hi[nlo] = qf_big_add(hi, hi, nlo, ds, nds);
        nhi = nlo + 1;
    } else {
        uint64_t dig_hi[8], ds_hi[12], p_hi[QF_POW10_BIG_LIMBS + 1], one = 1;
        memcpy(dig_hi, dig, sizeof dig_hi);
        dig_hi[ndig] = qf_big_add(dig_hi, dig_hi, ndig, &one, 1);
        qf_big_mul(ds_hi, dig_hi, ndig + 1, qf_pow10_small[is], 4);
        memcpy(p_hi, pw->m, sizeof pw->m);
        p_hi[QF_POW10_BIG_LIMBS] = pw->exact ? 0 : qf_big_add(p_hi, p_hi, QF_POW10_BIG_LIMBS, &one, 1);
        qf_big_mul(hi, ds_hi, ndig + 5, p_hi, QF_POW10_BIG_LIMBS + 1);
        nhi = ndig + 5 + QF_POW10_BIG_LIMBS + 1;
    }
    qfloat q2;
    qf_big_round(&q2, neg, hi, nhi, pw->e, 0);
    if (memcmp(&q1, &q2, sizeof q1) == 0) {
        *out = q1;
        return;
    }
    read_exact(out, neg, &d, &q1);
}
