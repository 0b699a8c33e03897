// SPDX-License-Identifier: MIT
// Behaviour cases of the host entries and the checks that judge them,
// shared by the native tests (tests/unit/entries_test.cpp) and the 32-bit
// Windows test program that calls zelq.dll under Wine (tests/windows). Plain
// C++ without the standard library beyond the C headers, so that it builds
// for both.
//
// Reference values are the true values (MPFR, 2000 bits), truncated to 112
// significant digits: d.ddd... times 10^exp10. The library carries about 103
// correct digits, so a text is compared on at most max_digits leading digits,
// with one unit of the last compared digit allowed for rounding.
#pragma once

#include "zelq.h"

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

typedef int(ZELQ_CALL *entry_text_fn)(char *x_str, char *y_str);
typedef int(ZELQ_CALL *entry_wide_fn)(char *x_VBA, char *deliverToVBA, unsigned x_Length);
typedef int(ZELQ_CALL *entry_probe_fn)(char *x_str, int max_iter);
typedef int(ZELQ_CALL *entry_flag_text_fn)(char *x_str, char *y_str, int upper);
typedef int(ZELQ_CALL *entry_flag_wide_fn)(char *x_VBA, char *deliverToVBA, unsigned x_Length, int upper);

// REF_ZERO and REF_INF take their sign from neg: "0"/"-0", "inf"/"-inf".
enum entry_ref_kind { REF_DIGITS, REF_ZERO, REF_NAN, REF_INF };

struct entry_ref {
    const char *x; // argument text
    int kind;      // entry_ref_kind
    int neg;
    const char *digits; // leading significant digits; missing ones are 0
    int exp10;
    int max_digits; // how many leading digits the library must get right
};

// Phi(x) through str_Zelq_str_Maple and str_Zelq_str_Excel.
static const entry_ref phi_cases[] = {
    {"0", REF_DIGITS, 0, "5", -1, 115},
    {"-1", REF_DIGITS, 0,
     "1586552539314570514147674543679620775220870332733956090126055497570085580127951704991150815943606724717"
     "273124133",
     -1, 100},
    {"1", REF_DIGITS, 0,
     "8413447460685429485852325456320379224779129667266043909873944502429914419872048295008849184056393275282"
     "726875866",
     -1, 100},
    {"-0.3", REF_DIGITS, 0,
     "3820885778110473626934710368785823519487585328187719223511113523411969756863435647256987165199496076984"
     "148142924",
     -1, 100},
    {"0.3", REF_DIGITS, 0,
     "6179114221889526373065289631214176480512414671812280776488886476588030243136564352743012834800503923015"
     "851857075",
     -1, 100},
    {"-1.5", REF_DIGITS, 0,
     "6680720126885806600449404097988607952289518566122144240628773433288886781412766097473508516393712723264"
     "725867488",
     -2, 100},
    {"2.5", REF_DIGITS, 0,
     "9937903346742238648330218954258077788721022530769072317314371452966697635922475036751165877680059249924"
     "578567145",
     -1, 100},
    {"-7", REF_DIGITS, 0,
     "1279812543885835004383623690780832998032844154198717929022204325228526239429380092976154037055517050089"
     "862381939",
     -12, 100},
    {"-12.75", REF_DIGITS, 0,
     "1558726288881199208094062864020847853555787295709324827429922357391099555807841077302590813566289353589"
     "107630439",
     -37, 100},
    {"-24.999", REF_DIGITS, 0,
     "3134200754889606170233785155232957530205370020946077324423146804657581372950189120217194789076118668795"
     "756112825",
     -138, 100},
    {"-25.0001", REF_DIGITS, 0,
     "3049052336103181764156485077995770851873162585929479377531379619517194885898027336022764504295384024903"
     "911114692",
     -138, 100},
    {"-30", REF_DIGITS, 0,
     "4906713927148187059533809256580190471996984941392510590063234114263230110308640169291028189566805234667"
     "462440260",
     -198, 100},
    {"-38.5", REF_DIGITS, 0,
     "1408182463170517461770099630245198387353984353912399513513038196657011327669958051506000110245839549979"
     "859400763",
     -324, 100},
    {"-100", REF_DIGITS, 0,
     "1344179076744198305073080167135252846623172734777624392830659983307277254966889982199242050489494023271"
     "921416249",
     -2174, 100},
    {"-213", REF_DIGITS, 0,
     "3306329683284651416058596483286381810478986819436012424597416475922631718983228123785397309186624696287"
     "843105585",
     -9855, 98},
    {"0.001", REF_DIGITS, 0,
     "5003989422139110625845903224443269412685032478147782991899385711452564580873577667645852670067750125820"
     "965097054",
     -1, 100},
    {"10", REF_DIGITS, 0,
     "9999999999999999999999923801469758394739340266567484006916364959667220430394219646445371033843779403518"
     "296658486",
     -1, 100},
    {"24.5", REF_DIGITS, 0, "1", 0, 115},
    {"30", REF_DIGITS, 0, "1", 0, 115},
    {"-300", REF_ZERO, 0, "", 0, 0},
    {"-213.2", REF_ZERO, 0, "", 0, 0},
    {"1e-200", REF_DIGITS, 0, "5", -1, 115},
    {"abc", REF_NAN, 0, "", 0, 0},
};

// phi(X)|X|/(1+X^2) through foo: the tail term itself for either sign, no cut.
static const entry_ref foo_cases[] = {
    {"-10", REF_DIGITS, 0,
     "7618414481887543907266369881229581421147982785032800581138246523433679813786329749529193764795519663797"
     "092182789",
     -24, 100},
    {"10", REF_DIGITS, 0,
     "7618414481887543907266369881229581421147982785032800581138246523433679813786329749529193764795519663797"
     "092182789",
     -24, 100},
    {"0.5", REF_DIGITS, 0,
     "1408261307057197911098721766386070612441260721502847798621876071952892791346866429950678332141165196997"
     "425326349",
     -1, 100},
    {"-0.5", REF_DIGITS, 0,
     "1408261307057197911098721766386070612441260721502847798621876071952892791346866429950678332141165196997"
     "425326349",
     -1, 100},
    {"-1", REF_DIGITS, 0,
     "1209853622595716748989150964677803274143359853687175127437775421405500317850416472541556473469712023645"
     "685962280",
     -1, 100},
    {"1", REF_DIGITS, 0,
     "1209853622595716748989150964677803274143359853687175127437775421405500317850416472541556473469712023645"
     "685962280",
     -1, 100},
    {"3", REF_DIGITS, 0,
     "1329554523581402152680705808836303372950619541302312977174729980933595771263124349048543886800708168050"
     "396627608",
     -3, 100},
    {"-40", REF_DIGITS, 0,
     "3655890695411125993097057340008197263891095930986769223395547627216937813364250012042757372320447699080"
     "139774627",
     -350, 100},
    {"-140.5", REF_DIGITS, 0,
     "8173132626855012493156707336646066444936248824793952301310140938674949906208341722797566639883839901263"
     "252919529",
     -4290, 98},
    {"150", REF_DIGITS, 0,
     "4091457964743526753321655287362451155567619098313538039940018576070495531611063921038503808576159347852"
     "732670837",
     -4889, 98},
    {"0", REF_ZERO, 0, "", 0, 0},
    {"abc", REF_NAN, 0, "", 0, 0},
};

struct probe_case {
    const char *x;
    int max_iter;
    int count;
};

// asymptSeries_length: where the series loop stops.
static const probe_case probe_cases[] = {
    {"30", 400, 101},    {"-30", 400, 101}, {"100", 400, 45}, {"25", 400, 139}, {"-25.000001", 312, 139},
    {"-213.1", 400, 35}, {"5", 400, 401},   {"1", 10, 11},    {"30", 2, 3},     {"30", 1, 2},
    {"30", 0, 2},        {"30", -5, 2},     {"0", 10, 11},    {"0", 1, 2},      {"abc", 7, 8},
};

// Arguments for str_Zelq_str_Excel as 16-bit units; only the first length
// units are the argument, the rest must not matter.
static const entry_ref wide_nan_refs[] = {
    {"U+0131", REF_NAN, 0, "", 0, 0},
    {"-U+0131.5", REF_NAN, 0, "", 0, 0},
    {"0.U+00B3", REF_NAN, 0, "", 0, 0},
    {"(empty)", REF_NAN, 0, "", 0, 0},
};

struct wide_case {
    uint16_t units[8];
    unsigned length;
    const entry_ref *ref;
};

static const wide_case wide_cases[] = {
    {{'-', '1', '.', '5', '9', '9', 0}, 4, &phi_cases[5]},
    {{'0', 0}, 1, &phi_cases[0]},
    {{'-', '1', '5', 0}, 2, &phi_cases[1]},
    {{'-', '1', '0', '0', 0}, 4, &phi_cases[13]},
    {{'3', '0', 0}, 2, &phi_cases[18]},
    {{'-', '3', '0', '0', 0}, 4, &phi_cases[19]},
    {{'-', '3', '0', '0', 0}, 3, &phi_cases[11]},
    {{0x0131, 0}, 1, &wide_nan_refs[0]},
    {{'-', 0x0131, '.', '5', 0}, 4, &wide_nan_refs[1]},
    {{'0', '.', 0x00B3, 0}, 3, &wide_nan_refs[2]},
    {{'1', 0}, 0, &wide_nan_refs[3]},
};

// The inverse and log-scale entries, each called with its upper-tail flag.
enum entry_flagged_fn { ENTRY_NDTRI, ENTRY_NDTRI_EXP, ENTRY_LOG_NDTR };

struct flagged_case {
    int fn;    // entry_flagged_fn
    int upper; // the flag passed
    entry_ref ref;
};

// Reference digits: true values of the exact binary argument (of the decimal
// argument itself where a p below the number range is read from its digits),
// computed at 400 digits and more.
// clang-format off
static const flagged_case flagged_cases[] = {
    {ENTRY_NDTRI, 0, {"0.5000001", REF_DIGITS, 0,
      "2506628274631026751765674822754539091278166641398467132114867925730322504283904996866815537552326411"
      "311374548431", -7, 100}},
    {ENTRY_NDTRI, 0, {"0.4", REF_DIGITS, 1,
      "2533471031357997987981961814242439387872107062853953615943364328979606026454771900450726684996133043"
      "455912014968", -1, 100}},
    {ENTRY_NDTRI, 0, {"0.1", REF_DIGITS, 1,
      "1281551565544600466965103329448742818619907824352582659702648230565703324812245430155438161325028510"
      "168457690620", 0, 100}},
    {ENTRY_NDTRI, 0, {"1e-3", REF_DIGITS, 1,
      "3090232306167813541540399830107379205491008491865808855697171108543569142895145553122667241020237178"
      "824529605856", 0, 100}},
    {ENTRY_NDTRI, 0, {"1e-300", REF_DIGITS, 1,
      "3704709629936119923722296250786043684434528843801194292883830683108408196069397541165344778090013002"
      "150366346225", 1, 100}},
    {ENTRY_NDTRI, 1, {"1e-300", REF_DIGITS, 0,
      "3704709629936119923722296250786043684434528843801194292883830683108408196069397541165344778090013002"
      "150366346225", 1, 100}},
    {ENTRY_NDTRI, 1, {"0.975", REF_DIGITS, 1,
      "1959963984540054235524594430520551527955550077869548398476952646361635274144882667798254709492814206"
      "017998529161", 0, 100}},
    {ENTRY_NDTRI, 0, {"1e-100000", REF_DIGITS, 1,
      "6786030803382905929224796481527511732803885685514738878763337045926285888982927432448789880394349541"
      "754546895688", 2, 100}},
    {ENTRY_NDTRI, 1, {"2.5e-9970", REF_DIGITS, 0,
      "2142408505642551904312427926349839461015129496979135372358565074696890197297665810310965238593647246"
      "111517399924", 2, 100}},
    {ENTRY_NDTRI_EXP, 0, {"-1e12", REF_DIGITS, 1,
      "1414213562362431155396372835667778017771406423901606256489065088944109911808950847307470404219937973"
      "494929648499", 6, 100}},
    {ENTRY_NDTRI_EXP, 1, {"-1e12", REF_DIGITS, 0,
      "1414213562362431155396372835667778017771406423901606256489065088944109911808950847307470404219937973"
      "494929648499", 6, 100}},
    {ENTRY_NDTRI_EXP, 0, {"-1e-300", REF_DIGITS, 0,
      "3704709629936119923722296250786043684434528843801194292883830683108408196069397541165344778090013002"
      "150366346225", 1, 100}},
    {ENTRY_NDTRI_EXP, 0, {"-0.6931471805599453", REF_DIGITS, 0,
      "1180275015220517290258878241997010616842756438188860759057095366156615514263562725563036303532064261"
      "910450215307", -17, 100}},
    {ENTRY_LOG_NDTR, 0, {"-1e6", REF_DIGITS, 1,
      "5000000000147344490911699468458882759645118028978013397386555046023512684796215254864913754011388693"
      "844568970055", 11, 100}},
    {ENTRY_LOG_NDTR, 0, {"30", REF_DIGITS, 1,
      "4906713927148187059533809256580190471996984941392510590063234114263230110308640169291028189566805234"
      "667462440260", -198, 100}},
    {ENTRY_LOG_NDTR, 1, {"30", REF_DIGITS, 1,
      "4543212439563431971073557713376449656563510883373012192281238322703881869396645786703820808944007998"
      "046022190809", 2, 100}},
    {ENTRY_LOG_NDTR, 0, {"-0.3", REF_DIGITS, 1,
      "9621028181688506677447291449218308318312210209318359533302394557423133361083402594187526836859940272"
      "588114831732", -1, 100}},
    {ENTRY_LOG_NDTR, 0, {"0.3", REF_DIGITS, 1,
      "4814101615884811983210716833406042633046951673132479603486497543468847278753207775242849819538124599"
      "823276931346", -1, 100}},
    {ENTRY_LOG_NDTR, 0, {"2.5", REF_DIGITS, 1,
      "6229025485860002380986090755159407854094942486231207286872444455126984762634833852867464218398366136"
      "249632979187", -3, 100}},
    {ENTRY_LOG_NDTR, 0, {"-1e100", REF_DIGITS, 1,
      "5000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
      "000000000000", 199, 100}},
    {ENTRY_LOG_NDTR, 0, {"-213.5", REF_DIGITS, 1,
      "2279740759730303441851071487115275570125971629879489923812556923573476249912172698753118237168035412"
      "997474707841", 4, 100}},
    {ENTRY_NDTRI, 0, {"0", REF_INF, 1, "", 0, 0}},
    {ENTRY_NDTRI, 1, {"0", REF_INF, 0, "", 0, 0}},
    {ENTRY_NDTRI, 0, {"1", REF_INF, 0, "", 0, 0}},
    {ENTRY_NDTRI, 0, {"0.5", REF_ZERO, 0, "", 0, 0}},
    {ENTRY_NDTRI, 0, {"1.5", REF_NAN, 0, "", 0, 0}},
    {ENTRY_NDTRI, 1, {"-0.1", REF_NAN, 0, "", 0, 0}},
    {ENTRY_NDTRI, 0, {"-1e-99999", REF_NAN, 0, "", 0, 0}},
    {ENTRY_NDTRI, 0, {"0.1x", REF_NAN, 0, "", 0, 0}},
    {ENTRY_NDTRI_EXP, 0, {"0", REF_INF, 0, "", 0, 0}},
    {ENTRY_NDTRI_EXP, 1, {"-inf", REF_INF, 0, "", 0, 0}},
    {ENTRY_NDTRI_EXP, 0, {"1e-300", REF_NAN, 0, "", 0, 0}},
    {ENTRY_NDTRI_EXP, 0, {"nan", REF_NAN, 0, "", 0, 0}},
    {ENTRY_LOG_NDTR, 0, {"-inf", REF_INF, 1, "", 0, 0}},
    {ENTRY_LOG_NDTR, 0, {"1e5000", REF_ZERO, 1, "", 0, 0}},
    {ENTRY_LOG_NDTR, 1, {"1e5000", REF_INF, 1, "", 0, 0}},
    {ENTRY_LOG_NDTR, 0, {"", REF_NAN, 0, "", 0, 0}},
};
// clang-format on

// --- checks -----------------------------------------------------------------

// An entry to call: a plain one, or one taking the upper-tail flag.
struct text_call {
    entry_text_fn plain;
    entry_flag_text_fn flagged;
    int flag;
};
struct wide_call {
    entry_wide_fn plain;
    entry_flag_wide_fn flagged;
    int flag;
};

static inline int text_call_run(const text_call *c, char *x, char *y)
{
    return c->flagged ? c->flagged(x, y, c->flag) : c->plain(x, y);
}

static inline int wide_call_run(const wide_call *c, char *x, char *y, unsigned n)
{
    return c->flagged ? c->flagged(x, y, n, c->flag) : c->plain(x, y, n);
}

// Writes a failure reason and returns 0.
static inline int entry_fail(char *why, size_t whylen, const char *fmt, const char *a, const char *b)
{
    snprintf(why, whylen, fmt, a, b);
    return 0;
}

// |a - b| <= 1 for two decimal digit strings of the same length m.
static inline int entry_digits_within_one(const char *a, const char *b, int m)
{
    int i = 0;
    while (i < m && a[i] == b[i])
        i++;
    if (i == m)
        return 1;
    const char *hi = a[i] > b[i] ? a : b;
    const char *lo = a[i] > b[i] ? b : a;
    if (hi[i] != lo[i] + 1)
        return 0;
    for (int j = i + 1; j < m; j++)
        if (hi[j] != '0' || lo[j] != '9')
            return 0;
    return 1;
}

// Checks that text, as the number layer writes it ([-]d.ddde[-]X, "0",
// "nan"), is the reference value to as many digits as the text shows (at
// most ref->max_digits). An empty text passes only when empty_ok.
static inline int entry_text_matches(const char *text, const entry_ref *ref, int empty_ok, char *why,
                                     size_t whylen)
{
    if (text[0] == 0)
        return empty_ok ? 1 : entry_fail(why, whylen, "empty text for x=%s%s", ref->x, "");
    if (ref->kind == REF_NAN)
        return strcmp(text, "nan") == 0 ? 1
                                        : entry_fail(why, whylen, "x=%s: want nan, got '%s'", ref->x, text);
    if (ref->kind == REF_ZERO || ref->kind == REF_INF) {
        const char *want = ref->kind == REF_ZERO ? (ref->neg ? "-0" : "0") : (ref->neg ? "-inf" : "inf");
        return strcmp(text, want) == 0 ? 1 : entry_fail(why, whylen, "x=%s: got '%s'", ref->x, text);
    }

    // Parse sign, significant digits and exponent.
    const char *p = text;
    int neg = 0;
    if (*p == '-') {
        neg = 1;
        p++;
    }
    char digits[160];
    int nd = 0;
    if (*p < '1' || *p > '9')
        return entry_fail(why, whylen, "x=%s: malformed '%s'", ref->x, text);
    digits[nd++] = *p++;
    if (*p == '.') {
        p++;
        while (*p >= '0' && *p <= '9' && nd < 150)
            digits[nd++] = *p++;
    }
    int e = 0, eneg = 0;
    if (*p == 'e') {
        p++;
        if (*p == '-') {
            eneg = 1;
            p++;
        }
        if (*p < '0' || *p > '9')
            return entry_fail(why, whylen, "x=%s: malformed exponent in '%s'", ref->x, text);
        while (*p >= '0' && *p <= '9')
            e = e * 10 + (*p++ - '0');
    }
    if (*p != 0)
        return entry_fail(why, whylen, "x=%s: trailing characters in '%s'", ref->x, text);
    digits[nd] = 0;
    if (eneg)
        e = -e;
    if (neg != ref->neg)
        return entry_fail(why, whylen, "x=%s: wrong sign in '%s'", ref->x, text);

    // Align both to the larger exponent (a rounding carry such as 9.99 ->
    // 1.00e+1 moves the text's exponent up by one).
    int shift_text = 0, shift_ref = 0;
    if (e == ref->exp10 + 1)
        shift_ref = 1;
    else if (e + 1 == ref->exp10)
        shift_text = 1;
    else if (e != ref->exp10)
        return entry_fail(why, whylen, "x=%s: wrong exponent in '%s'", ref->x, text);
    char a[170], b[170];
    int m = nd + shift_text;
    if (m > ref->max_digits)
        m = ref->max_digits;
    int rl = (int)strlen(ref->digits);
    for (int i = 0; i < m; i++) {
        int ti = i - shift_text, ri = i - shift_ref;
        a[i] = ti >= 0 ? digits[ti] : '0';
        b[i] = ri >= 0 && ri < rl ? ref->digits[ri] : '0';
    }
    if (!entry_digits_within_one(a, b, m))
        return entry_fail(why, whylen, "x=%s: digits differ: '%s'", ref->x, text);
    return 1;
}

// Calls an 8-bit text entry with a buffer holding L characters followed by
// guard bytes, and checks the rule min(L, 115): the text has at most
// min(L, 115) characters, so it and its NUL stay within the first
// min(L, 115) + 1 bytes; the rest of the caller's L + 1 bytes and the guard
// bytes are untouched, the return value is the text's length, and the text
// is the reference value. Texts may be empty only for L < 8.
static inline int entry_check_text_buffer(const text_call *fn, const entry_ref *ref, int L, char *why,
                                          size_t whylen)
{
    enum { GUARD = 24 };
    char buf[256 + GUARD];
    memset(buf, 'x', (size_t)L);
    buf[L] = 0;
    memset(buf + L + 1, 0xA5, GUARD);
    char x[64];
    snprintf(x, sizeof x, "%s", ref->x);
    int ret = text_call_run(fn, x, buf);
    int n = (L < 115 ? L : 115) + 1; // capacity in bytes, NUL included
    char ls[16];
    snprintf(ls, sizeof ls, "%d", L);
    for (int j = L + 1; j < L + 1 + GUARD; j++)
        if ((unsigned char)buf[j] != 0xA5)
            return entry_fail(why, whylen, "x=%s L=%s: guard byte overwritten", ref->x, ls);
    size_t len = 0;
    while (len <= (size_t)L && buf[len] != 0)
        len++;
    if (len > (size_t)L)
        return entry_fail(why, whylen, "x=%s L=%s: no NUL within the buffer", ref->x, ls);
    if (len + 1 > (size_t)n)
        return entry_fail(why, whylen, "x=%s L=%s: text longer than its capacity", ref->x, ls);
    for (int j = n; j < L; j++)
        if (buf[j] != 'x')
            return entry_fail(why, whylen, "x=%s L=%s: byte beyond the capacity changed", ref->x, ls);
    if (ret != (int)len)
        return entry_fail(why, whylen, "x=%s L=%s: return value is not the text length", ref->x, ls);
    if (strcmp(x, ref->x) != 0)
        return entry_fail(why, whylen, "x=%s L=%s: argument text changed", ref->x, ls);
    return entry_text_matches(buf, ref, L < 8, why, whylen);
}

static inline int entry_check_text_buffer(entry_text_fn fn, const entry_ref *ref, int L, char *why,
                                          size_t whylen)
{
    text_call c = {fn, nullptr, 0};
    return entry_check_text_buffer(&c, ref, L, why, whylen);
}

// Calls the 16-bit entry as a VBA macro does with StrPtr: the argument
// units, and a result buffer of 120 fill characters (Space(120): ' ') and
// its 16-bit NUL, then guard units. Checks the text in whole 16-bit
// characters (a fill with a high byte must not leak into them), the 16-bit
// NUL at the returned position, the fill after it, and the reference value.
static inline int entry_check_wide_units(const wide_call *fn, const uint16_t *units, unsigned length,
                                         const entry_ref *ref, uint16_t fill, char *why, size_t whylen)
{
    enum { SPACES = 120, GUARD = 8, MAX_ARG = 64 };
    uint16_t arg[MAX_ARG];
    memcpy(arg, units, sizeof arg);
    uint16_t out[SPACES + 1 + GUARD];
    for (int i = 0; i < SPACES; i++)
        out[i] = fill;
    out[SPACES] = 0;
    for (int i = SPACES + 1; i < SPACES + 1 + GUARD; i++)
        out[i] = 0xA5A5;
    int ret = wide_call_run(fn, (char *)arg, (char *)out, length);
    const char *x = ref->x;
    if (memcmp(arg, units, sizeof arg) != 0)
        return entry_fail(why, whylen, "x=%s: argument changed%s", x, "");
    if (ret < 0 || ret >= SPACES)
        return entry_fail(why, whylen, "x=%s: return value out of range%s", x, "");
    if (out[ret] != 0)
        return entry_fail(why, whylen, "x=%s: no 16-bit NUL at the returned position%s", x, "");
    char text[SPACES + 1];
    for (int i = 0; i < ret; i++) {
        if (out[i] == 0 || out[i] > 0x7F)
            return entry_fail(why, whylen, "x=%s: character not plain 7-bit text%s", x, "");
        text[i] = (char)out[i];
    }
    text[ret] = 0;
    for (int i = ret + 1; i < SPACES; i++)
        if (out[i] != fill)
            return entry_fail(why, whylen, "x=%s: character after the NUL changed: '%s'", x, text);
    for (int i = SPACES; i < SPACES + 1 + GUARD; i++)
        if (out[i] != (i == SPACES ? 0 : 0xA5A5))
            return entry_fail(why, whylen, "x=%s: wrote past the caller's buffer: '%s'", x, text);
    return entry_text_matches(text, ref, 0, why, whylen);
}

static inline int entry_check_wide(const wide_call *fn, const wide_case *c, uint16_t fill, char *why,
                                   size_t whylen)
{
    uint16_t units[64] = {0};
    memcpy(units, c->units, sizeof c->units);
    return entry_check_wide_units(fn, units, c->length, c->ref, fill, why, whylen);
}

static inline int entry_check_wide(entry_wide_fn fn, const wide_case *c, uint16_t fill, char *why,
                                   size_t whylen)
{
    wide_call w = {fn, nullptr, 0};
    return entry_check_wide(&w, c, fill, why, whylen);
}

// The 16-bit form of a case whose argument is plain ASCII text, with a
// character after the argument that must not matter.
static inline int entry_check_wide_text(const wide_call *fn, const entry_ref *ref, uint16_t fill, char *why,
                                        size_t whylen)
{
    uint16_t units[64] = {0};
    unsigned n = 0;
    while (ref->x[n] && n < 62) {
        units[n] = (uint16_t)(unsigned char)ref->x[n];
        n++;
    }
    units[n] = '7';
    return entry_check_wide_units(fn, units, n, ref, fill, why, whylen);
}
