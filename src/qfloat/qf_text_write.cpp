// SPDX-License-Identifier: MIT
// qfloat -> decimal text, correctly rounded to as many digits as the buffer
// holds.
//
// The leading digits come from T = floor(v * 10^k), the value scaled by a
// 512-bit power of ten from the tables: the truncated product and its upper
// error bound give the same T (and so the digits, plus "more follows")
// except when v * 10^k lies within ~2^-90 of an integer. Those cases, and
// requests for more digits than the bracket resolves, take exact big-integer
// arithmetic; a qfloat's exact expansion never exceeds QF_DEC_EXACT_DIGITS
// significant digits, so longer requests are padded with zeros.
#include "qf_bigint.h"
#include "qf_internal.h"
#include "qf_pow10_tables.h"

#include <stdint.h>
#include <string.h>

#define FAST_DIGITS 126              /* most digits taken from the 512-bit bracket */
#define LOG10_2_Q46 21183102754681LL /* floor(log10(2) * 2^46) */

typedef struct {
    long count; // digits in buf
    int more;   // nonzero digits follow those in buf
    int64_t x0; // decimal exponent of buf[0]
} digit_run;

// floor(x * log10(2)), exact for |x| < 34,000 (checked over that range).
static int64_t floor_log10_pow2(int64_t x)
{
    return (x * LOG10_2_Q46) >> 46;
}

static int exp_len(int64_t x)
{
    int len = x < 0;
    uint64_t u = x < 0 ? (uint64_t)-x : (uint64_t)x;
    do {
        len++;
        u /= 10;
    } while (u);
    return len;
}

// j = the 352-bit significand as 6 limbs, least significant first.
static void significand(const qfloat *v, uint64_t *j)
{
    for (int k = 0; k < QF_LIMBS; k++) {
        uint64_t lo = v->mantissa[11 - 2 * k];
        uint64_t hi = 10 - 2 * k >= 1 ? v->mantissa[10 - 2 * k] : 0;
        j[k] = (hi << 32) | lo;
    }
}

// Digits of v = j * 2^s from the table bracket; 0 when undecided.
static int digits_fast(const uint64_t *j, long s, int64_t k, char *buf, digit_run *r)
{
    int64_t jb = qf_floor_div(k, QF_POW10_STEP);
    if (jb < QF_POW10_BIG_MIN || jb > QF_POW10_BIG_MAX)
        return 0;
    const qf_pow10_entry *pw = &qf_pow10_big[jb - QF_POW10_BIG_MIN];
    int is = (int)(k - jb * QF_POW10_STEP);
    uint64_t jj[10], lo[18], hi[19];
    qf_big_mul(jj, j, QF_LIMBS, qf_pow10_small[is], 4);
    int nj = qf_big_trim(jj, 10);
    qf_big_mul(lo, jj, nj, pw->m, QF_POW10_BIG_LIMBS);
    int nlo = nj + QF_POW10_BIG_LIMBS;
    long f = -(s + pw->e); // fraction bits of lo
    if (f <= 0 || f >= 64 * nlo)
        return 0;
    if (!pw->exact) {
        // Upper bound lo + jj: the integer parts must agree.
        memcpy(hi, lo, sizeof(uint64_t) * (size_t)nlo);
        hi[nlo] = qf_big_add(hi, hi, nlo, jj, nj);
        qf_big_shr(hi, nlo + 1, f);
    }
    int more = qf_big_shr(lo, nlo, f);
    if (!pw->exact) {
        if (qf_big_cmp(lo, nlo, hi, nlo + 1) != 0)
            return 0;
        more = 1; // the true product lies strictly inside (lo, hi)
    }
    r->count = qf_big_to_decimal(lo, nlo, buf);
    r->more = more;
    r->x0 = r->count - 1 - k;
    return 1;
}

// Digits of v = j * 2^s exactly: floor(v * 10^k) for k >= 0, else the
// integer part of v cut to want digits.
__attribute__((noinline)) static void digits_exact(const uint64_t *j, long s, int64_t k, long want, char *buf,
                                                   digit_run *r)
{
    uint64_t w[QF_BIG_LIMBS];
    memcpy(w, j, sizeof(uint64_t) * QF_LIMBS);
    int n = QF_LIMBS, more = 0;
    long sh = s;
    if (k >= 0) {
        n = qf_big_mul_pow5(w, n, k);
        sh = s + k;
    } else {
        k = 0;
    }
    if (sh >= 0)
        n = qf_big_shl(w, n, sh);
    else
        more = qf_big_shr(w, n, -sh);
    long count = qf_big_to_decimal(w, n, buf);
    r->x0 = count - 1 - k;
    if (count > want) {
        for (long i = want; i < count && !more; i++)
            more = buf[i] != '0';
        count = want;
    }
    r->count = count;
    r->more = more;
}

static void write_word(char *text, int64_t room, const char *w)
{
    size_t len = strlen(w);
    if ((int64_t)len <= room)
        memcpy(text, w, len + 1);
    else
        text[0] = 0;
}

/*
 * Writes *value as decimal text into text[0..ndigs), NUL included, like
 * snprintf's size: nothing for ndigs <= 0. Form: [-]d[.ddd]e[-]X -- one
 * digit before the point, the point only when more digits follow, exponent
 * always present without '+' or leading zeros ("1.586552539e-1", "5e-1",
 * "2.5e12", "1.5e0"). As many significant digits as fit are written,
 * correctly rounded from the exact binary value (ties to even); digits past
 * the exact expansion are zeros. Zero is "0" or "-0", infinities "inf" and
 * "-inf", NaN "nan". When nothing fits the text is empty.
 */
void _qtoasc(const qfloat *value, char *text, int ndigs)
{
    if (ndigs <= 0)
        return;
    int64_t room = (int64_t)ndigs - 1; // 64-bit: lengths near INT_MAX must not wrap
    int neg = value->sign != 0;
    uint64_t j[QF_LIMBS];
    significand(value, j);
    int nz = qf_big_trim(j, QF_LIMBS) != 0;
    if (value->exponent >= QFLT_EXP_INFNAN) {
        write_word(text, room, nz ? "nan" : neg ? "-inf" : "inf");
        return;
    }
    if (!nz) {
        write_word(text, room, neg ? "-0" : "0");
        return;
    }
    long scale = value->exponent == 0 ? QF_EMIN : (long)value->exponent - QFLT_EXP_BIAS;
    long s = scale - QF_PREC; // v = j * 2^s
    long bl = qf_big_bitlen(j, QF_LIMBS) + s;
    int64_t x0_est = floor_log10_pow2(bl - 1); // true exponent is this or one more

    // Most digits that could fit, with the shortest exponent rounding may give.
    int min_exp = exp_len(x0_est);
    for (int c = 1; c <= 2; c++)
        if (exp_len(x0_est + c) < min_exp)
            min_exp = exp_len(x0_est + c);
    int64_t avail = room - neg - 1 - min_exp;
    if (avail < 1) {
        text[0] = 0;
        return;
    }
    int64_t n_up = avail >= 3 ? avail - 1 : 1;

    // Digits: one more than could be written decides the rounding.
    char buf[QF_DEC_EXACT_DIGITS + 100];
    digit_run r;
    long want = n_up + 1 < QF_DEC_EXACT_DIGITS ? (long)n_up + 1 : QF_DEC_EXACT_DIGITS;
    int64_t k = want - 1 - x0_est;
    if (want > FAST_DIGITS || !digits_fast(j, s, k, buf, &r))
        digits_exact(j, s, k, want, buf, &r);

    long nines = 0, last_nz = -1;
    while (nines < r.count && buf[nines] == '9')
        nines++;
    for (long i = r.count - 1; i >= 0; i--)
        if (buf[i] != '0') {
            last_nz = i;
            break;
        }
    for (int64_t n = n_up; n >= 1; n--) {
        int up = 0;
        if (n < r.count) {
            char next = buf[n];
            int rest = last_nz > n || r.more;
            up = next > '5' || (next == '5' && (rest || ((buf[n - 1] - '0') & 1)));
        }
        int carry = up && n <= nines;
        int64_t x = r.x0 + carry;
        int64_t len = neg + n + (n > 1) + 1 + exp_len(x);
        if (len > room)
            continue;
        if (up && !carry) {
            int64_t i = n - 1;
            while (buf[i] == '9')
                buf[i--] = '0';
            buf[i]++;
        }
        char *p = text;
        if (neg)
            *p++ = '-';
        *p++ = carry ? '1' : buf[0];
        if (n > 1) {
            *p++ = '.';
            int64_t have = carry ? 1 : (r.count < n ? r.count : n);
            if (have > 1) {
                memcpy(p, buf + 1, (size_t)(have - 1));
                p += have - 1;
            }
            memset(p, '0', (size_t)(n - have));
            p += n - have;
        }
        *p++ = 'e';
        if (x < 0)
            *p++ = '-';
        uint64_t u = x < 0 ? (uint64_t)-x : (uint64_t)x;
        char e[24];
        int ne = 0;
        do {
            e[ne++] = (char)('0' + u % 10);
            u /= 10;
        } while (u);
        while (ne)
            *p++ = e[--ne];
        *p = 0;
        return;
    }
    text[0] = 0;
}
