#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes src/normal/mills_taylor_tables.h: for every start point z = 1..25
of cPhi's Taylor series, the coefficient pairs that its passes form.

cPhi carries the Taylor coefficients of the Mills ratio R about z through
its passes as a pair (a, b):
    a = R(z), b = (z * a) - 1,
and at pass k (i = 2k, I0 = i, I1 = i + 1)
    a = (a + (z * b)) / I0,   b = (b + (z * a)) / I1.
None of this depends on |x|, only on z, so the pairs are the same in every
call with the same z. This script forms them with the very same roundings:
every step is one 352-bit operation rounded to nearest, ties to even,
emulated here with exact fractions (all operands are normal numbers far from
overflow and underflow, so no exponent limit comes into play).

How many pairs z needs: the loop stops at the first pass whose term
pwr * (a + h*b) leaves the sum unchanged, h = |x| - z in [-1, 0] (a hair
below -1 where |x| + 1 rounds up to the next integer). The table for z
holds passes 1..N, N the first pass at which that is certain for every such
h: the term is bounded by max(|a|, |a - b|) (the extremes of a + h*b over
the interval) plus rounding allowances, the sum by the lowest value it can
take, and a term below a quarter of the sum's ulp cannot change it. cPhi
forms any further pass from the last pair itself, so an argument outside
that range (|x| > 25, NaN) still gets the same bits.

Usage: python3 tools/gen_mills_taylor_tables.py > src/normal/mills_taylor_tables.h
"""
import sys
from fractions import Fraction

sys.dont_write_bytecode = True  # no __pycache__ beside the sources
from gen_normal_constants import MILLS_RATIO, image, print_header_end  # noqa: E402  (the same texts and images)

PREC = 352
FIRST_Z, LAST_Z = 1, 25
MAX_PASSES = 99  # cPhi's loop: i = 2, 4, ..., 198


def exponent(q):
    """e with 2^(e-1) <= |q| < 2^e (q != 0)."""
    q = abs(q)
    e = q.numerator.bit_length() - q.denominator.bit_length()
    while Fraction(2) ** e <= q:
        e += 1
    while Fraction(2) ** (e - 1) > q:
        e -= 1
    return e


def round_nearest(q):
    """q rounded to the nearest 352-bit number, ties to even (q normal)."""
    if q == 0:
        return Fraction(0)
    e = exponent(q)
    scaled = abs(q) * Fraction(2) ** (PREC - e)
    m, rem = divmod(scaled.numerator, scaled.denominator)
    if 2 * rem > scaled.denominator or (2 * rem == scaled.denominator and m & 1):
        m += 1  # m may become 2^352: still the right value
    return (-1 if q < 0 else 1) * m * Fraction(2) ** (e - PREC)


def add(a, b):
    """a + b, rounded once."""
    return round_nearest(a + b)


def sub(a, b):
    """a - b, rounded once."""
    return round_nearest(a - b)


def mul(a, b):
    """a * b, rounded once."""
    return round_nearest(a * b)


def div(a, b):
    """a / b, rounded once."""
    return round_nearest(a / b)


def image_of_value(q):
    """The qfloat image of a value that is already a 352-bit number."""
    img = image(q)
    sign, biased, words = img
    m = 0
    for w in words:
        m = (m << 32) | w
    back = m * Fraction(2) ** (biased - 32768 - PREC)
    assert (-back if sign else back) == q
    return img


def pairs_for(z, count):
    """a0, b0 and the pairs (a, b) after passes 1..count, as cPhi rounds them."""
    a = round_nearest(Fraction(MILLS_RATIO[z]))  # the image of the table text
    b = sub(mul(z, a), 1)
    a0, b0 = a, b
    out = []
    for k in range(1, count + 1):
        i = 2 * k
        a = div(add(a, mul(z, b)), i)
        b = div(add(b, mul(z, a)), i + 1)
        out.append((a, b))
    return a0, b0, out


# Allowances of the bound, generous: h lies less than 2^-347 beyond -1 (half
# an ulp of z <= 25) and every rounding is at most 2^-352 relative, so
# |b| * 2^-300 covers both the excess of h and the rounding of h*b; pwr
# carries fewer than 200 roundings, so |pwr| <= 1 + 2^-290, and with a
# term's own two roundings the factor stays below 1 + 2^-280.
SLACK_H = Fraction(1, 2**300)
SLACK_ROUND = Fraction(1, 2**280)


def term_bound(a, b):
    """An upper bound of |pwr * (a + h*b)| as rounded, over every h in
    [-1 - 2^-347, 0]: a + h*b is linear in h, so its extremes are at the
    ends, a and a - b."""
    return (max(abs(a), abs(a - b)) + abs(b) * SLACK_H) * (1 + SLACK_ROUND)


def passes_needed(a0, pairs):
    """The first pass at which the stop is certain for every h, or None when
    the pairs given do not reach it.

    Before pass 1 the sum is a0 + h*b0 >= a0 (b0 < 0, h <= 0). Before pass N
    it differs from that by the terms of passes 1..N-1 only, so it is at
    least low = a0 - (their bounds), within the roundings of the sums. A term
    below a quarter of the ulp of every number >= low rounds away when it is
    added (a quarter, not a half, for a sum that is a power of 2 and a
    negative term)."""
    below = Fraction(0)
    for n, (a, b) in enumerate(pairs, start=1):
        low = (a0 - below) * (1 - SLACK_ROUND)
        assert low > 0
        if term_bound(a, b) < Fraction(2) ** (exponent(low) - PREC - 2):
            return n
        below += term_bound(a, b)
    return None


def words(q):
    """The 14 words of the qfloat image of the 352-bit number q."""
    sign, biased, significand = image_of_value(q)
    return [sign, biased, 0] + significand


def initializer(q, indent):
    """Brace initializer of q on two lines, the first starting at indent."""
    w = ["0x%08Xu" % x for x in words(q)]
    w[1] = "0x%05Xu" % words(q)[1]
    return "%s{%s, %s, {%s,\n%s %s}}" % (indent, w[0], w[1], ", ".join(w[2:8]), " " * len(indent),
                                        ", ".join(w[8:]))


def short(q):
    """q to four significant digits, for the comments."""
    return "%.3e" % float(q)


def main():
    starts = range(FIRST_Z, LAST_Z + 1)
    b0s, counts, tables = {}, {}, {}
    for z in starts:
        a0, b0, pairs = pairs_for(z, MAX_PASSES)
        assert b0 < 0
        n = passes_needed(a0, pairs)
        assert n is not None
        b0s[z], counts[z], tables[z] = b0, n, pairs[:n]
    total = sum(counts.values())

    out = []
    out.append("// SPDX-License-Identifier: MIT")
    out.append("/*")
    out.append(" * The coefficient pairs that cPhi's Taylor passes form, per start point z.")
    out.append(" * Generated by tools/gen_mills_taylor_tables.py with the same roundings as")
    out.append(" * the steps they replace (see there); do not edit by hand.")
    out.append(" *")
    out.append(" * With a = R(z) (MillsRatio_v[z]) and b = (z * a) - 1, pass k (i = 2k)")
    out.append(" * forms a = (a + (z * b)) / i, then b = (b + (z * a)) / (i + 1): the")
    out.append(" * Taylor coefficients r_i, r_(i+1) of the Mills ratio about z as rounded.")
    out.append(" * They depend on z alone. Each z holds the passes that any |x| in")
    out.append(" * [z - 1, z] can reach before its sum settles (%d pairs in all, %d bytes)." %
               (total, total * 112))
    out.append(" */")
    out.append("#ifndef ZELQ_MILLS_TAYLOR_TABLES_H")
    out.append("#define ZELQ_MILLS_TAYLOR_TABLES_H")
    out.append("")
    out.append('#include "qfloat.h"')
    out.append("")
    out.append("#include <stdint.h>")
    out.append("")
    out.append("// clang-format off")
    out.append("")
    out.append("/* The pair after one pass: a = r_i, b = r_(i+1). */")
    out.append("typedef struct {")
    out.append("    qfloat a, b;")
    out.append("} mills_taylor_pair;")
    out.append("")
    out.append("/* Start points z = 0..25, 0 unused (as in MillsRatio_v). */")
    out.append("#define MILLS_TAYLOR_STARTS %d" % (LAST_Z + 1))
    out.append("#define MILLS_TAYLOR_PAIRS %d" % total)
    out.append("")
    out.append("/* Passes tabulated for z: enough for every |x| in [z - 1, z]. */")
    out.append("static const int32_t MillsTaylor_passes[MILLS_TAYLOR_STARTS] = {")
    out.append("    0, " + ", ".join(str(counts[z]) for z in starts) + "};")
    out.append("")
    out.append("/* Where z's pass 1 is in MillsTaylor_pairs. */")
    out.append("static const int32_t MillsTaylor_first[MILLS_TAYLOR_STARTS] = {")
    first, pos = [0], 0
    for z in starts:
        first.append(pos)
        pos += counts[z]
    for row in range(0, len(first), 13):
        end = "};" if row + 13 >= len(first) else ","
        out.append("    " + ", ".join(str(f) for f in first[row:row + 13]) + end)
    out.append("")
    out.append("/* b = (z * R(z)) - 1 = r_1, rounded; entry 0 is 0 and never read. */")
    out.append("static const qfloat MillsTaylor_b0[MILLS_TAYLOR_STARTS] = {")
    out.append("    /* 0: unused */")
    out.append(initializer(Fraction(0), "    ") + ",")
    for z in starts:
        out.append("    /* %d: r_1 ~ %s */" % (z, short(b0s[z])))
        out.append(initializer(b0s[z], "    ") + ",")
    out.append("};")
    out.append("")
    out.append("/* The pairs of z after passes 1..MillsTaylor_passes[z]. */")
    out.append("static const mills_taylor_pair MillsTaylor_pairs[MILLS_TAYLOR_PAIRS] = {")
    for z in starts:
        for k, (a, b) in enumerate(tables[z], start=1):
            out.append("    /* z = %d, pass %d: r_%d ~ %s, r_%d ~ %s */" % (z, k, 2 * k, short(a), 2 * k + 1,
                                                                           short(b)))
            out.append(initializer(a, "    {") + ",")
            out.append(initializer(b, "     ") + "},")
    out.append("};")
    print_header_end(out)


if __name__ == "__main__":
    main()
