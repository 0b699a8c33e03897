// SPDX-License-Identifier: MIT
// The constant images of the normal engine: each must be the qfloat nearest
// to its decimal text (read by _asctoq and, independently, by MPFR), and the
// transcendental ones must be as close to the true values as stated.
#include "normal_constants.h"
#include "qf_mpfr.h"
#include "qf_test_support.h"
#include "qfloat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace
{

struct Named {
    const char *name;
    const char *text;
    const qfloat *image;
};

// The decimal texts, kept here independently of the generator.
const char *const kLnSqrt2Pi =
    "-9.18938533204672741780329736405617639861397473637783412817151540482765695927260397694743"
    "298635954197621999939e-1";

const char *const kMills[26] = {
    "0",
    "6."
    "55679542418798471543871230730811283399282332870462028053686158734197165766310589065850956449121501260090"
    "0"
    "20e-1",
    "4."
    "21369229288054473224934333542384978717598974246852830192354737189350192003439030106330993128896232070120"
    "0"
    "14e-1",
    "3."
    "04590298710103295733612546515722201943320867857316848843065889207183221200193070803294367865480082658199"
    "9"
    "92e-1",
    "2."
    "36652382913560670623985936435843547722805957199449041268961881548744306607011826348477219093299825228160"
    "0"
    "05e-1",
    "1."
    "92808104715315764877465727917516251490302755285036492286385766948231251112922355745067388961237935645889"
    "9"
    "93e-1",
    "1."
    "62377660896867461815682102818993001012854299486327973077414119029570078893070216404271621562148911150500"
    "0"
    "01e-1",
    "1."
    "40104183453050241599534521796360988241790297013424775269026755264376315953169496728877922038417473298999"
    "9"
    "85e-1",
    "1."
    "23131963257932296282180743517199076280554184063074210856059071668618523872302162324509192095872411575739"
    "9"
    "94e-1",
    "1."
    "09787282578308291230637833056097440249632724321461280990606767924937667125582655671196174587445758450770"
    "0"
    "05e-1",
    "9."
    "90285964717319213953371885953105783455223518048926092191869855346783926281081627156009955711336047612649"
    "9"
    "52e-2",
    "9."
    "01756755010646822797803561858734353764476721422129801534552871572832795714730633902212494300705888159730"
    "0"
    "04e-2",
    "8."
    "27662865013691772522650500419059018601746479369780271322918684224891493666925178894216800033249172554640"
    "0"
    "20e-2",
    "7."
    "64757610162485029934951942215142978394952679276701141817742483983160583784498175977143831049765137315809"
    "9"
    "75e-2",
    "7."
    "10695805388521070905968415780576214412509847686885693594575393980180448748036070092698857575951851502620"
    "0"
    "54e-2",
    "6."
    "63742358232501735913238804298562639385487303087207215140044038305452224992179628034416204766837804570439"
    "9"
    "60e-2",
    "6."
    "22586659950261957766859450138598240342846022587139292762846650056446554172832349789438428653752323671609"
    "9"
    "61e-2",
    "5."
    "86220649800159438754534244586134610516906648230310772773044424930500960297155571565173797748570525456949"
    "9"
    "77e-2",
    "5."
    "53856514701007344672467389552311910173623563055072351848921109535122687841618750889335089846571186847589"
    "9"
    "94e-2",
    "5."
    "24869802196763642368046042314785817506693516446877693288256088006607707873992849038523843481697306920179"
    "9"
    "77e-2",
    "4."
    "98759259818367836582405614735476774219842009391853307040905491153777891640608852715318573488789678399189"
    "9"
    "88e-2",
    "4."
    "75117942762781130265554164223935147425363625434425005184116991099522039714619500742900492080916301758769"
    "9"
    "87e-2",
    "4."
    "53612072899931008758516876732131527714398360603494104536313577323312941438528478505860964733363178488259"
    "9"
    "85e-2",
    "4."
    "33965330955127040642994466072782522920014624205032101261012278812409848123200708662649768121309090273750"
    "0"
    "21e-2",
    "4."
    "15947022325755054196576162793891086303937081824853919508961456077362379233524028992413385403868573525570"
    "0"
    "13e-2",
    "3."
    "99363047695355925287787015382089135073902398355838362038725671408869571045790426271941920860642436740970"
    "0"
    "19e-2",
};

const Named kScalars[] = {
    {"qf_zero", "0", &qf_zero},
    {"qf_half", "0.5", &qf_half},
    {"qf_minus_half", "-0.5", &qf_minus_half},
    {"qf_one", "1", &qf_one},
    {"qf_two", "2", &qf_two},
    {"qf_23", "23", &qf_23},
    {"qf_25", "25", &qf_25},
    {"qf_minus_25", "-25", &qf_minus_25},
    {"qf_minus_213_1", "-213.1", &qf_minus_213_1},
    {"LnSqrt2Pi", kLnSqrt2Pi, &LnSqrt2Pi},
};

// The qfloat nearest to text, by MPFR: an oracle that does not use _asctoq.
qfloat mpfr_nearest(const char *text)
{
    mpfr_exp_t emin = mpfr_get_emin(), emax = mpfr_get_emax();
    qf_mpfr_setup_range();
    mpfr_t r;
    mpfr_init2(r, 352);
    int t = mpfr_set_str(r, text, 10, MPFR_RNDN);
    qf_mpfr_round(r, t);
    qfloat q;
    mpfr_to_qf(&q, r);
    mpfr_clear(r);
    mpfr_set_emin(emin);
    mpfr_set_emax(emax);
    return q;
}

// |image - exact| / |exact| as a double.
double rel_error(const qfloat &image, const mpfr_t exact)
{
    mpfr_t d;
    mpfr_init2(d, 1200);
    qf_to_mpfr(d, &image);
    mpfr_sub(d, d, exact, MPFR_RNDN);
    mpfr_div(d, d, exact, MPFR_RNDN);
    double e = std::fabs(mpfr_get_d(d, MPFR_RNDN));
    mpfr_clear(d);
    return e;
}

TEST(EngineConstants, ScalarImagesAreTheNearestQfloats)
{
    for (const Named &c : kScalars) {
        qfloat read;
        _asctoq(c.text, &read);
        EXPECT_TRUE(qf_same_bits(read, *c.image)) << c.name << ": _asctoq differs from the image";
        EXPECT_TRUE(qf_same_bits(mpfr_nearest(c.text), *c.image)) << c.name << ": not the nearest qfloat";
    }
}

TEST(EngineConstants, MillsRatioImagesAreTheNearestQfloats)
{
    static_assert(MILLS_RATIO_ENTRIES == 26, "table of R(0..25)");
    for (int k = 0; k < MILLS_RATIO_ENTRIES; k++) {
        qfloat read;
        _asctoq(kMills[k], &read);
        EXPECT_TRUE(qf_same_bits(read, MillsRatio_v[k])) << "v[" << k << "]: _asctoq differs from the image";
        EXPECT_TRUE(qf_same_bits(mpfr_nearest(kMills[k]), MillsRatio_v[k])) << "v[" << k << "]: not nearest";
    }
}

// Within half an ulp (2^-345 at 213.1) of -213.1.
TEST(EngineConstants, LowerCutIsWithinHalfAnUlpOfMinus213_1)
{
    mpfr_t exact, d;
    mpfr_inits2(1200, exact, d, (mpfr_ptr)0);
    mpfr_set_str(exact, "-213.1", 10, MPFR_RNDN);
    qf_to_mpfr(d, &qf_minus_213_1);
    mpfr_sub(d, d, exact, MPFR_RNDN);
    mpfr_mul_2si(d, d, 345, MPFR_RNDN);
    EXPECT_LE(std::fabs(mpfr_get_d(d, MPFR_RNDN)), 1.0);
    mpfr_clears(exact, d, (mpfr_ptr)0);
}

TEST(EngineConstants, LnSqrt2PiIsCloseToTheTrueValue)
{
    mpfr_t exact;
    mpfr_init2(exact, 1200);
    mpfr_const_pi(exact, MPFR_RNDN);
    mpfr_mul_ui(exact, exact, 2, MPFR_RNDN);
    mpfr_log(exact, exact, MPFR_RNDN);
    mpfr_div_si(exact, exact, -2, MPFR_RNDN);
    double e = rel_error(LnSqrt2Pi, exact);
    std::printf("LnSqrt2Pi relative error %.3g\n", e);
    EXPECT_LT(e, 7e-105 + 1.1e-106);
    mpfr_clear(exact);
}

// v[k] = R(k) = (1 - Phi(k)) / phi(k) = sqrt(pi/2) e^(k^2/2) erfc(k/sqrt 2).
TEST(EngineConstants, MillsRatiosAreCloseToTheTrueValues)
{
    EXPECT_TRUE(qf_same_bits(MillsRatio_v[0], qf_zero));
    mpfr_t r, t;
    mpfr_inits2(1200, r, t, (mpfr_ptr)0);
    double worst = 0;
    for (int k = 1; k <= 25; k++) {
        mpfr_sqrt_ui(t, 2, MPFR_RNDN);
        mpfr_ui_div(t, k, t, MPFR_RNDN);
        mpfr_erfc(r, t, MPFR_RNDN);
        mpfr_set_ui(t, (unsigned long)k * k, MPFR_RNDN);
        mpfr_div_2ui(t, t, 1, MPFR_RNDN);
        mpfr_exp(t, t, MPFR_RNDN);
        mpfr_mul(r, r, t, MPFR_RNDN);
        mpfr_const_pi(t, MPFR_RNDN);
        mpfr_div_2ui(t, t, 1, MPFR_RNDN);
        mpfr_sqrt(t, t, MPFR_RNDN);
        mpfr_mul(r, r, t, MPFR_RNDN);
        double e = rel_error(MillsRatio_v[k], r);
        worst = e > worst ? e : worst;
        EXPECT_LT(e, 9e-104 + 1.1e-106) << "v[" << k << "]";
    }
    std::printf("Mills ratio table: largest relative error %.3g\n", worst);
    mpfr_clears(r, t, (mpfr_ptr)0);
}

} // namespace
