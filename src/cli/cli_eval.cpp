// SPDX-License-Identifier: MIT
/*
 * One evaluation of the zelq command: the text goes to the library entry of
 * the chosen mode with a buffer laid out the way a host lays it out.
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

int cli_eval_text(const struct cli_options *opt, char *x, char *out, size_t out_size)
{
    if (opt->mode == CLI_SERIES_LEN) {
        int m = asymptSeries_length(x, opt->series_max);
        snprintf(out, out_size, "%d", m);
        return reads_as_number(x);
    }
    if (opt->mode == CLI_PHI_WIDE) {
        cli_phi_wide(x, out, out_size);
        return !is_nan_text(out);
    }

    /* A buffer of N characters, or of CLI_BUFFER_CHARS when N is larger: the
     * entries write at most 115 characters, so both ask for the same. */
    char buf[CLI_BUFFER_CHARS + 1];
    long chars = opt->digits < CLI_BUFFER_CHARS ? opt->digits : CLI_BUFFER_CHARS;
    fill_spaces(buf, chars);
    if (opt->mode == CLI_ROUGH)
        foo(x, buf);
    else
        str_Zelq_str_Maple(x, buf);
    copy_text(out, out_size, buf);

    int verdict_unsure = opt->mode == CLI_ROUGH || chars < 8;
    if (!is_nan_text(buf) && !verdict_unsure)
        return 1;
    return reads_as_number(x);
}
