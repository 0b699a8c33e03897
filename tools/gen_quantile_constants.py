#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes src/normal/quantile_constants.h: the qfloat images of the constants
that ln Phi and the inverse Phi^-1 carry.

Transcendental values (ln 2, ln 10, ln sqrt(2 pi), 1/sqrt(2 pi)) are computed
here with Python's decimal module at 400 digits, far beyond the 352 bits
kept, and rounded to the nearest qfloat like every decimal text, so the
header depends on no floating-point library. ln 2 also comes as a pair
hi + lo whose sum carries 700 bits, for arguments that cancel against it.

The starting values of the inverse come from Wichura's rational
approximations (Applied Statistics 37 (1988), 477-484, algorithm AS 241),
whose published coefficients are given here as decimal texts.

Usage: python3 tools/gen_quantile_constants.py > src/normal/quantile_constants.h
"""
from decimal import Decimal, getcontext
from fractions import Fraction

from gen_normal_constants import BIAS, PREC, image, initializer, print_header_end

getcontext().prec = 400


def pi():
    """pi from Machin's formula 16 atan(1/5) - 4 atan(1/239)."""
    def atan_inv(n):
        x = Decimal(1) / n
        x2 = x * x
        term, total, k = x, x, 1
        while True:
            term *= -x2
            add = term / (2 * k + 1)
            if add == 0 or abs(add) < Decimal(10) ** -410:
                return total
            total += add
            k += 1
    return 16 * atan_inv(5) - 4 * atan_inv(239)


def text(d):
    """Decimal text of d to 160 significant digits."""
    return format(d, ".159e")


def value(img):
    """The exact value of a qfloat image as a Fraction."""
    sign, biased, words = img
    m = 0
    for w in words:
        m = (m << 32) | w
    v = Fraction(m, 1 << PREC) * Fraction(2) ** (biased - BIAS)
    return -v if sign else v


PI = pi()
LN2 = Decimal(2).ln()
LN2_HI = text(LN2)
LN2_LO_EXACT = LN2 - Decimal(value(image(LN2_HI)).numerator) / Decimal(value(image(LN2_HI)).denominator)

# (name, decimal text, what it is for)
SCALARS = [
    ("qf_ln2", LN2_HI, "ln 2 (the high part of the pair)"),
    ("qf_ln2_lo", text(LN2_LO_EXACT), "ln 2 - qf_ln2: the low part, so that qf_ln2 + qf_ln2_lo holds ln 2 to 700 bits"),
    ("qf_ln10", text(Decimal(10).ln()), "ln 10"),
    ("qf_minus_ln_sqrt_2pi", text(-(2 * PI).ln() / 2), "-ln sqrt(2 pi), the nearest qfloat"),
    ("qf_inv_sqrt_2pi", text(1 / (2 * PI).sqrt()), "1/sqrt(2 pi), the nearest qfloat"),
    ("qf_ln_quarter", "-1.386294361119890618834464242916", "about ln(1/4): below it a lower-tail log-probability is a tail"),
    ("qf_ln_three_quarters", "-0.287682072451780927439219005994", "about ln(3/4): above it the upper tail 1 - e^L is below 1/4"),
    ("qf_ln_as241_central", "-2.590267165445826", "about ln 0.075: above it the start comes from the central fraction"),
    ("qf_as241_far", "-800", "below this log-probability the start comes from the asymptotic inversion"),
    ("qf_closed_form_log", "-1e60", "below this log-probability the asymptotic inversion alone is exact"),
    ("qf_quarter", "0.25", "1/4"),
    ("qf_three_quarters", "0.75", "3/4"),
    ("qf_center_cut", "0.6744897501960817", "about Phi^-1(3/4): inside it ln Phi comes from the series about 0"),
    ("qf_density_split", "32", "above it the density's exponent is split into an exact integer part"),
    ("qf_upper_tail_end", "214.5", "above it 1 - Phi(x) is below half the least subnormal qfloat"),
    ("qf_as241_r_central", "0.180625", "0.425^2, the central fraction's variable is 0.180625 - q^2"),
    ("qf_as241_r_mid", "1.6", "shift of the intermediate fraction's variable"),
    ("qf_as241_r_split", "5", "sqrt(-ln p) above which the far fraction serves"),
]

AS241 = {
    "as241_a": ["3.3871328727963666080e0", "1.3314166789178437745e+2", "1.9715909503065514427e+3",
                "1.3731693765509461125e+4", "4.5921953931549871457e+4", "6.7265770927008700853e+4",
                "3.3430575583588128105e+4", "2.5090809287301226727e+3"],
    "as241_b": ["1.0", "4.2313330701600911252e+1", "6.8718700749205790830e+2", "5.3941960214247511077e+3",
                "2.1213794301586595867e+4", "3.9307895800092710610e+4", "2.8729085735721942674e+4",
                "5.2264952788528545610e+3"],
    "as241_c": ["1.42343711074968357734e0", "4.63033784615654529590e0", "5.76949722146069140550e0",
                "3.64784832476320460504e0", "1.27045825245236838258e0", "2.41780725177450611770e-1",
                "2.27238449892691845833e-2", "7.74545014278341407640e-4"],
    "as241_d": ["1.0", "2.05319162663775882187e0", "1.67638483018380384940e0", "6.89767334985100004550e-1",
                "1.48103976427480074590e-1", "1.51986665636164571966e-2", "5.47593808499534494600e-4",
                "1.05075007164441684324e-9"],
    "as241_e": ["6.65790464350110377720e0", "5.46378491116411436990e0", "1.78482653991729133580e0",
                "2.96560571828504891230e-1", "2.65321895265761230930e-2", "1.24266094738807843860e-3",
                "2.71155556874348757815e-5", "2.01033439929228813265e-7"],
    "as241_f": ["1.0", "5.99832206555887937690e-1", "1.36929880922735805310e-1", "1.48753612908506148525e-2",
                "7.86869131145613259100e-4", "1.84631831751005468180e-5", "1.42151175831644588870e-7",
                "2.04426310338993978564e-15"],
}
AS241_WHAT = {
    "as241_a": "numerator of the central fraction (0.075 <= p <= 0.925), times q = p - 1/2",
    "as241_b": "its denominator",
    "as241_c": "numerator of the intermediate fraction in r - 1.6, r = sqrt(-ln p) <= 5",
    "as241_d": "its denominator",
    "as241_e": "numerator of the far fraction in r - 5, r > 5",
    "as241_f": "its denominator",
}


def center_coefficients():
    """1/(2k+1)!! for k = 0, 1, ... while 4^k/(2k+1)!! >= 2^-400: enough for
    N(u) = u sum (u^2)^k/(2k+1)!! at |u| < 2."""
    out = []
    dfact = 1
    while Fraction(4) ** len(out) / dfact >= Fraction(1, 2 ** 400):
        out.append(Fraction(1, dfact))
        dfact *= 2 * len(out) + 1
    return out


def floor_log2(c):
    """floor(log2 c) of a positive Fraction, exactly."""
    e = c.numerator.bit_length() - c.denominator.bit_length()
    while Fraction(2) ** e > c:
        e -= 1
    while Fraction(2) ** (e + 1) <= c:
        e += 1
    return e


def main():
    out = []
    out.append("// SPDX-License-Identifier: MIT")
    out.append("/*")
    out.append(" * Constants of ln Phi and of the inverse Phi^-1 as qfloat images.")
    out.append(" * Generated by tools/gen_quantile_constants.py: every image is the qfloat")
    out.append(" * nearest to the decimal text beside it. Do not edit by hand; change the")
    out.append(" * generator and run it again.")
    out.append(" */")
    out.append("#ifndef ZELQ_QUANTILE_CONSTANTS_H")
    out.append("#define ZELQ_QUANTILE_CONSTANTS_H")
    out.append("")
    out.append('#include "qfloat.h"')
    out.append("")
    out.append("// clang-format off")
    out.append("")
    for name, txt, what in SCALARS:
        out.append("/* %s:" % what)
        out.append(" * %s */" % txt)
        out.append("static const qfloat %s =" % name)
        out.append(initializer(txt, "    ") + ";")
        out.append("")
    out.append("/* Wichura's rational approximations to Phi^-1 (AS 241), coefficients of")
    out.append(" * the powers 0..7, each the qfloat nearest to the published text. */")
    out.append("#define AS241_TERMS 8")
    for name, texts in AS241.items():
        out.append("")
        out.append("/* %s */" % AS241_WHAT[name])
        out.append("static const qfloat %s[AS241_TERMS] = {" % name)
        for t in texts:
            out.append("    /* %s */" % t)
            out.append(initializer(t, "    ") + ",")
        out.append("};")
    coeffs = center_coefficients()
    out.append("")
    out.append("/* 1/(2k+1)!!, k = 0.., the coefficients of N(u)/u in u^2 (to |u| < 2),")
    out.append(" * and the floor of the base-2 logarithm of each. */")
    out.append("#define CENTER_TERMS %d" % len(coeffs))
    out.append("static const qfloat center_coefficient[CENTER_TERMS] = {")
    for k, c in enumerate(coeffs):
        out.append("    /* k = %d */" % k)
        out.append(initializer(c, "    ") + ",")
    out.append("};")
    out.append("static const int center_coefficient_log2[CENTER_TERMS] = {")
    logs = [str(floor_log2(c)) for c in coeffs]
    for i in range(0, len(logs), 16):
        out.append("    " + ", ".join(logs[i:i + 16]) + ",")
    out.append("};")
    print_header_end(out)


if __name__ == "__main__":
    main()
