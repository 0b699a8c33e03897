// SPDX-License-Identifier: MIT
/*
 * One evaluation of the zelq command: the text goes to the library entry of
 * the chosen mode and function with a buffer laid out the way a host lays it
 * out.
 */
#include "zelq.h"
#include "zelq_cli.h"

#include <string.h>

/* The library writes "nan" for a value that is not a number. */
static int is_nan_text(const char *text)
{
    return strstr(text, "nan") != nullptr;
}

/* Fills buf with a NUL-terminated run of chars spaces: the length is what
 * asks the 8-bit entries for their capacity. */
static void fill_spaces(char *buf, long chars)
{
    memset(buf, ' ', (size_t)chars);
    buf[chars] = '\0';
}

/*
 * Whether x reads as a number. Phi is NaN exactly when its argument is, so a
 * small Phi evaluation answers it. Used where the mode's own output cannot
 * tell: the series probe returns a count, a short buffer cannot hold "nan",
 * and the tail estimate is NaN for an infinite argument too.
 */
static int reads_as_number(char *x)
{
    char buf[16];
    fill_spaces(buf, 15);
    str_Zelq_str_Maple(x, buf);
    return !is_nan_text(buf);
}

static void copy_text(char *out, size_t out_size, const char *text)
{
    size_t n = strlen(text);
    if (n >= out_size)
        n = out_size - 1;
    memcpy(out, text, n);
    out[n] = '\0';
}

/* A nan from a function with a restricted domain comes from unreadable text
 * or from a number outside the domain; Phi of the argument tells which. */
static int verdict_of_nan(const struct cli_options *opt, char *x)
{
    if (opt->function == CLI_FN_PHI || !reads_as_number(x))
        return CLI_UNREADABLE;
    return CLI_OUTSIDE_DOMAIN;
}

const char *cli_verdict_text(const struct cli_options *opt, int verdict)
{
    if (verdict != CLI_OUTSIDE_DOMAIN)
        return "does not read as a number";
    return opt->function == CLI_FN_INVERSE ? "is not a probability (0 <= P <= 1)"
                                           : "is not the logarithm of a probability (L <= 0)";
}

/* The 8-bit entry of the function chosen. */
static void call_8bit(const struct cli_options *opt, char *x, char *buf)
{
    switch (opt->function) {
    case CLI_FN_INVERSE: ndtri_Maple(x, buf, opt->upper); break;
    case CLI_FN_INVERSE_LOG: ndtri_exp_Maple(x, buf, opt->upper); break;
    case CLI_FN_LOG: log_ndtr_Maple(x, buf, opt->upper); break;
    default: str_Zelq_str_Maple(x, buf); break;
    }
}

int cli_eval_text(const struct cli_options *opt, char *x, char *out, size_t out_size)
{
    if (opt->mode == CLI_SERIES_LEN) {
        int m = asymptSeries_length(x, opt->series_max);
        snprintf(out, out_size, "%d", m);
        return reads_as_number(x);
    }
    if (opt->mode == CLI_PHI_WIDE) {
        cli_call_wide(opt, x, out, out_size);
        return is_nan_text(out) ? verdict_of_nan(opt, x) : CLI_NUMBER;
    }

    /* A buffer of N characters, or of CLI_BUFFER_CHARS when N is larger: the
     * entries write at most 115 characters, so both ask for the same. */
    char buf[CLI_BUFFER_CHARS + 1];
    long chars = opt->digits < CLI_BUFFER_CHARS ? opt->digits : CLI_BUFFER_CHARS;
    fill_spaces(buf, chars);
    if (opt->mode == CLI_ROUGH)
        foo(x, buf);
    else
        call_8bit(opt, x, buf);
    copy_text(out, out_size, buf);

    if (opt->mode == CLI_ROUGH || chars < 8) {
        /* the text cannot tell: a short buffer may not hold "nan" */
        if (!reads_as_number(x))
            return CLI_UNREADABLE;
        if (opt->mode == CLI_ROUGH || opt->function == CLI_FN_PHI)
            return CLI_NUMBER;
        char full[CLI_MAX_CAPACITY + 1];
        fill_spaces(full, CLI_MAX_CAPACITY);
        call_8bit(opt, x, full);
        return is_nan_text(full) ? CLI_OUTSIDE_DOMAIN : CLI_NUMBER;
    }
    return is_nan_text(buf) ? verdict_of_nan(opt, x) : CLI_NUMBER;
}
