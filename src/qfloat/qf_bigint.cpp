// SPDX-License-Identifier: MIT
// Schoolbook big-integer kernels for the exact decimal conversions. The
// numbers are at most ~1,250 limbs and only reached on the rare exact paths,
// so quadratic algorithms are fast enough and keep the code small.
#include "qf_bigint.h"

#include "qf_internal.h"

#include <string.h>

int qf_big_trim(const uint64_t *a, int n)
{
    while (n > 0 && a[n - 1] == 0)
        n--;
    return n;
}

long qf_big_bitlen(const uint64_t *a, int n)
{
    n = qf_big_trim(a, n);
    if (n == 0)
        return 0;
    return (long)n * 64 - qf_clz64(a[n - 1]);
}

uint64_t qf_big_mul1(uint64_t *a, int n, uint64_t m, uint64_t add)
{
    uint64_t carry = add;
    for (int i = 0; i < n; i++) {
        uint64_t hi, lo;
        qf_mul64(a[i], m, &hi, &lo);
        lo += carry;
        hi += lo < carry;
        a[i] = lo;
        carry = hi;
    }
    return carry;
}

void qf_big_mul(uint64_t *r, const uint64_t *a, int na, const uint64_t *b, int nb)
{
    memset(r, 0, sizeof(uint64_t) * (size_t)(na + nb));
    for (int i = 0; i < na; i++) {
        uint64_t carry = 0, ai = a[i];
        if (ai == 0)
            continue;
        for (int k = 0; k < nb; k++) {
            uint64_t hi, lo;
            qf_mul64(ai, b[k], &hi, &lo);
            lo += carry;
            hi += lo < carry;
            uint64_t s = r[i + k] + lo;
            hi += s < lo;
            r[i + k] = s;
            carry = hi;
        }
        r[i + nb] = carry;
    }
}

uint64_t qf_big_add(uint64_t *r, const uint64_t *a, int na, const uint64_t *b, int nb)
{
    uint64_t carry = 0;
    for (int i = 0; i < na; i++) {
        uint64_t x = a[i], y = i < nb ? b[i] : 0;
        uint64_t s = x + y;
        uint64_t c1 = s < x;
        uint64_t t = s + carry;
        uint64_t c2 = t < s;
        r[i] = t;
        carry = c1 | c2;
    }
    return carry;
}

int qf_big_mul_pow5(uint64_t *a, int n, long k)
{
    // 5^27 is the largest power of five below 2^64.
    static const uint64_t pow5[28] = {1ull,
                                      5ull,
                                      25ull,
                                      125ull,
                                      625ull,
                                      3125ull,
                                      15625ull,
                                      78125ull,
                                      390625ull,
                                      1953125ull,
                                      9765625ull,
                                      48828125ull,
                                      244140625ull,
                                      1220703125ull,
                                      6103515625ull,
                                      30517578125ull,
                                      152587890625ull,
                                      762939453125ull,
                                      3814697265625ull,
                                      19073486328125ull,
                                      95367431640625ull,
                                      476837158203125ull,
                                      2384185791015625ull,
                                      11920928955078125ull,
                                      59604644775390625ull,
                                      298023223876953125ull,
                                      1490116119384765625ull,
                                      7450580596923828125ull};
    n = qf_big_trim(a, n);
    if (n == 0)
        return 0;
    while (k > 0) {
        int step = k > 27 ? 27 : (int)k;
        uint64_t carry = qf_big_mul1(a, n, pow5[step], 0);
        if (carry)
            a[n++] = carry;
        k -= step;
    }
    return n;
}

int qf_big_shl(uint64_t *a, int n, long s)
{
    n = qf_big_trim(a, n);
    if (n == 0 || s <= 0)
        return n;
    int ls = (int)(s / 64), bs = (int)(s % 64);
    int m = n + ls + 1;
    for (int i = m - 1; i >= 0; i--) {
        int src = i - ls;
        uint64_t hi = (src >= 0 && src < n) ? a[src] : 0;
        uint64_t lo = (src - 1 >= 0 && src - 1 < n) ? a[src - 1] : 0;
        a[i] = bs ? (hi << bs) | (lo >> (64 - bs)) : hi;
    }
    return qf_big_trim(a, m);
}

int qf_big_shr(uint64_t *a, int n, long s)
{
    if (s <= 0)
        return 0;
    long ls = s / 64;
    int bs = (int)(s % 64);
    int lost = 0;
    for (long i = 0; i < ls && i < n; i++)
        lost |= a[i] != 0;
    if (bs && ls < n)
        lost |= (a[ls] << (64 - bs)) != 0;
    for (long i = 0; i < n; i++) {
        long src = i + ls;
        uint64_t lo = src < n ? a[src] : 0;
        uint64_t hi = src + 1 < n ? a[src + 1] : 0;
        a[i] = bs ? (lo >> bs) | (hi << (64 - bs)) : lo;
    }
    return lost;
}

int qf_big_cmp(const uint64_t *a, int na, const uint64_t *b, int nb)
{
    na = qf_big_trim(a, na);
    nb = qf_big_trim(b, nb);
    if (na != nb)
        return na < nb ? -1 : 1;
    for (int i = na - 1; i >= 0; i--)
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    return 0;
}

int qf_big_cmp_scaled(uint64_t *a, int na, long ea, uint64_t *b, int nb, long eb)
{
    long la = qf_big_bitlen(a, na), lb = qf_big_bitlen(b, nb);
    if (la == 0 || lb == 0)
        return (la != 0) - (lb != 0);
    if (la + ea != lb + eb)
        return la + ea < lb + eb ? -1 : 1;
    // Same magnitude: line the shorter one up with the longer one.
    if (la < lb)
        na = qf_big_shl(a, na, lb - la);
    else if (lb < la)
        nb = qf_big_shl(b, nb, la - lb);
    return qf_big_cmp(a, na, b, nb);
}

// (u1:u0) / 10^19 for u1 < 10^19, by the precomputed reciprocal of the
// normalized divisor (Moller & Granlund, "Improved division by invariant
// integers", 2011): two multiplications instead of a 128-bit division.
static inline uint64_t div_1e19(uint64_t u1, uint64_t u0, uint64_t *rem)
{
    const uint64_t d = 10000000000000000000ull; // top bit set
    const uint64_t v = 0xd83c94fb6d2ac34aull;   // floor((2^128 - 1) / d) - 2^64
    uint64_t qh, ql;
    qf_mul64(v, u1, &qh, &ql);
    ql += u0;
    qh += u1 + (ql < u0);
    qh += 1;
    uint64_t r = u0 - qh * d;
    if (r > ql) {
        qh--;
        r += d;
    }
    if (r >= d) {
        qh++;
        r -= d;
    }
    *rem = r;
    return qh;
}

// Writes the 19 decimal digits of x (< 10^19, leading zeros kept) ending at end.
static void put19(char *end, uint64_t x)
{
    static const char pairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    // Split into 10 + 9 digits so that the two halves convert independently.
    uint64_t hi = x / 1000000000u;
    uint32_t lo = (uint32_t)(x - hi * 1000000000u);
    for (int i = 0; i < 4; i++) {
        uint32_t p = lo % 100;
        lo /= 100;
        end -= 2;
        memcpy(end, pairs + 2 * p, 2);
    }
    *--end = (char)('0' + lo);
    for (int i = 0; i < 5; i++) {
        uint32_t p = (uint32_t)(hi % 100);
        hi /= 100;
        end -= 2;
        memcpy(end, pairs + 2 * p, 2);
    }
}

long qf_big_to_decimal(uint64_t *a, int n, char *buf)
{
    n = qf_big_trim(a, n);
    if (n == 0) {
        buf[0] = '0';
        return 1;
    }
    // Collect 19-digit groups, least significant first, at the end of the
    // room the digits will need, then move them to the front. The product
    // passes 2^31 for the longest numbers (77,000 bits): 64-bit arithmetic,
    // as long has 32 bits on 32-bit targets and on 64-bit Windows.
    long cap = (long)((int64_t)qf_big_bitlen(a, n) * 30103 / 100000) + 2 + 19;
    long pos = cap;
    while (n > 0) {
        uint64_t rem = 0;
        for (int i = n - 1; i >= 0; i--)
            a[i] = div_1e19(rem, a[i], &rem);
        n = qf_big_trim(a, n);
        pos -= 19;
        put19(buf + pos + 19, rem);
    }
    while (buf[pos] == '0' && pos < cap - 1)
        pos++;
    long len = cap - pos;
    memmove(buf, buf + pos, (size_t)len);
    return len;
}

void qf_big_round(qfloat *out, int neg, const uint64_t *a, int n, long e2, int sticky)
{
    n = qf_big_trim(a, n);
    if (n == 0) {
        // Only reachable with sticky == 0 by the callers' contracts.
        qf_set_zero(out, neg);
        return;
    }
    // Top 7 limbs (at least 385 significant bits) normalized, MSB first; any
    // lower bits only matter as a sticky flag.
    int sh = qf_clz64(a[n - 1]);
    uint64_t mag[7];
    for (int i = 0; i < 7; i++) {
        int k = n - 1 - i;
        uint64_t hi = k >= 0 ? a[k] : 0;
        uint64_t lo = k - 1 >= 0 ? a[k - 1] : 0;
        mag[i] = sh ? (hi << sh) | (lo >> (64 - sh)) : hi;
    }
    // a[n-8] fed only its top sh bits into mag; a[0..n-9] fed none.
    if (n >= 8)
        sticky |= (a[n - 8] << sh) != 0;
    for (int i = 0; i < n - 8; i++)
        sticky |= a[i] != 0;
    long exp = e2 + qf_big_bitlen(a, n);
    qf_round_pack(out, neg, (int32_t)exp, mag, 7, sticky);
}
