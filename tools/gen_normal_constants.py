#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes src/normal/normal_constants.h: the qfloat images of the decimal
constants that the normal-distribution routines carry.

Each image is the qfloat nearest to its decimal text (round to nearest, ties
to even, 352-bit significand), computed with exact integers and fractions
only, so the header does not depend on any floating-point library.

Usage: tools/gen_normal_constants.py > src/normal/normal_constants.h
"""
from fractions import Fraction

PREC = 352
BIAS = 32768

# -ln(sqrt(2 pi)) to 108 digits; the one value every routine adds to its
# log-density.
LN_SQRT_2PI = ("-9.18938533204672741780329736405617639861397473637783412817151540482765695927260397694743298635954197621999939e-1")

# Mills ratio R(k) = (1 - Phi(k)) / phi(k) at k = 0..25; entry 0 is unused
# and held as 0. 108 significant digits each, within 9e-104 relative of R(k).
MILLS_RATIO = [
    "0",
    "6.55679542418798471543871230730811283399282332870462028053686158734197165766310589065850956449121501260090020e-1",
    "4.21369229288054473224934333542384978717598974246852830192354737189350192003439030106330993128896232070120014e-1",
    "3.04590298710103295733612546515722201943320867857316848843065889207183221200193070803294367865480082658199992e-1",
    "2.36652382913560670623985936435843547722805957199449041268961881548744306607011826348477219093299825228160005e-1",
    "1.92808104715315764877465727917516251490302755285036492286385766948231251112922355745067388961237935645889993e-1",
    "1.62377660896867461815682102818993001012854299486327973077414119029570078893070216404271621562148911150500001e-1",
    "1.40104183453050241599534521796360988241790297013424775269026755264376315953169496728877922038417473298999985e-1",
    "1.23131963257932296282180743517199076280554184063074210856059071668618523872302162324509192095872411575739994e-1",
    "1.09787282578308291230637833056097440249632724321461280990606767924937667125582655671196174587445758450770005e-1",
    "9.90285964717319213953371885953105783455223518048926092191869855346783926281081627156009955711336047612649952e-2",
    "9.01756755010646822797803561858734353764476721422129801534552871572832795714730633902212494300705888159730004e-2",
    "8.27662865013691772522650500419059018601746479369780271322918684224891493666925178894216800033249172554640020e-2",
    "7.64757610162485029934951942215142978394952679276701141817742483983160583784498175977143831049765137315809975e-2",
    "7.10695805388521070905968415780576214412509847686885693594575393980180448748036070092698857575951851502620054e-2",
    "6.63742358232501735913238804298562639385487303087207215140044038305452224992179628034416204766837804570439960e-2",
    "6.22586659950261957766859450138598240342846022587139292762846650056446554172832349789438428653752323671609961e-2",
    "5.86220649800159438754534244586134610516906648230310772773044424930500960297155571565173797748570525456949977e-2",
    "5.53856514701007344672467389552311910173623563055072351848921109535122687841618750889335089846571186847589994e-2",
    "5.24869802196763642368046042314785817506693516446877693288256088006607707873992849038523843481697306920179977e-2",
    "4.98759259818367836582405614735476774219842009391853307040905491153777891640608852715318573488789678399189988e-2",
    "4.75117942762781130265554164223935147425363625434425005184116991099522039714619500742900492080916301758769987e-2",
    "4.53612072899931008758516876732131527714398360603494104536313577323312941438528478505860964733363178488259985e-2",
    "4.33965330955127040642994466072782522920014624205032101261012278812409848123200708662649768121309090273750021e-2",
    "4.15947022325755054196576162793891086303937081824853919508961456077362379233524028992413385403868573525570013e-2",
    "3.99363047695355925287787015382089135073902398355838362038725671408869571045790426271941920860642436740970019e-2",
]

# (name, decimal text, what it is for)
SCALARS = [
    ("qf_zero", "0", "0"),
    ("qf_half", "0.5", "1/2"),
    ("qf_minus_half", "-0.5", "-1/2"),
    ("qf_one", "1", "1"),
    ("qf_two", "2", "2"),
    ("qf_23", "23", "23"),
    ("qf_25", "25", "25"),
    ("qf_minus_25", "-25", "-25"),
    ("qf_minus_213_1", "-213.1", "the qfloat nearest to -213.1"),
]


def image(text):
    """(sign word, biased exponent, 11 significand words) of the qfloat
    nearest to text, ties to even. Only normal values and zero occur here."""
    q = Fraction(text)
    sign = 0xFFFFFFFF if q < 0 else 0
    q = abs(q)
    if q == 0:
        return sign, 0, [0] * 11
    # e with 2^(e-1) <= q < 2^e, so q = 0.m * 2^e
    e = q.numerator.bit_length() - q.denominator.bit_length()
    while Fraction(2) ** e <= q:
        e += 1
    while Fraction(2) ** (e - 1) > q:
        e -= 1
    scaled = q * Fraction(2) ** (PREC - e)
    m, rem = divmod(scaled.numerator, scaled.denominator)
    twice = 2 * rem
    if twice > scaled.denominator or (twice == scaled.denominator and m & 1):
        m += 1
    if m == 1 << PREC:
        m >>= 1
        e += 1
    assert (1 << (PREC - 1)) <= m < (1 << PREC)
    biased = e + BIAS
    assert 1 <= biased <= 65534
    words = [(m >> (32 * (10 - i))) & 0xFFFFFFFF for i in range(11)]
    return sign, biased, words


def initializer(text, indent):
    """Brace initializer of the image of text, on three lines."""
    sign, biased, words = image(text)
    w = ["0x%08Xu" % x for x in [0] + words]
    return "%s{0x%08Xu, 0x%05Xu,\n%s {%s,\n%s  %s}}" % (
        indent, sign, biased, indent, ", ".join(w[:6]), indent, ", ".join(w[6:]))


def print_header_end(out):
    """Closes a generated header (formatting back on, include guard) and
    prints its lines."""
    out.append("")
    out.append("// clang-format on")
    out.append("")
    out.append("#endif")
    print("\n".join(out))


def main():
    out = []
    out.append("// SPDX-License-Identifier: MIT")
    out.append("/*")
    out.append(" * Constants of the normal-distribution routines as qfloat images.")
    out.append(" * Generated by tools/gen_normal_constants.py from the decimal texts shown")
    out.append(" * beside each value: every image is the qfloat nearest to its text. Do not")
    out.append(" * edit by hand; change the generator and run it again.")
    out.append(" */")
    out.append("#ifndef ZELQ_NORMAL_CONSTANTS_H")
    out.append("#define ZELQ_NORMAL_CONSTANTS_H")
    out.append("")
    out.append('#include "qfloat.h"')
    out.append("")
    out.append("// clang-format off")
    out.append("")
    for name, text, what in SCALARS:
        out.append("/* %s */" % what)
        out.append("static const qfloat %s =" % name)
        out.append(initializer(text, "    ") + ";")
        out.append("")
    out.append("/* -ln(sqrt(2*pi)), negative; within 7e-105 relative of the true value:")
    out.append(" * %s */" % LN_SQRT_2PI)
    out.append("static const qfloat LnSqrt2Pi =")
    out.append(initializer(LN_SQRT_2PI, "    ") + ";")
    out.append("")
    out.append("/* Mills ratio R(k) = (1 - Phi(k)) / phi(k) at k = 1..25, within 9e-104")
    out.append(" * relative; entry 0 is 0 and never read. Images of the texts in the generator. */")
    out.append("#define MILLS_RATIO_ENTRIES 26")
    out.append("static const qfloat MillsRatio_v[MILLS_RATIO_ENTRIES] = {")
    for k, text in enumerate(MILLS_RATIO):
        out.append("    /* %d: %s */" % (k, text))
        out.append(initializer(text, "    ") + ",")
    out.append("};")
    print_header_end(out)


if __name__ == "__main__":
    main()
