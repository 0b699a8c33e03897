// SPDX-License-Identifier: MIT
/*
 * Command-line reading for the zelq command. Only long options exist, so that
 * every argument starting with a single '-' (such as -1.5 or -inf) is an
 * operand X.
 */
#include "zelq_cli.h"

#include <errno.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>

/* Reads the whole text as a decimal integer in [lo, hi]. Returns 1 on success. */
static int read_int_in(const char *text, long lo, long hi, long *value)
{
    if (text == nullptr || *text == '\0')
        return 0;
    char *end = nullptr;
    errno = 0;
    long v = strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || v < lo || v > hi)
        return 0;
    *value = v;
    return 1;
}

/* Splits "--name=value" into its name length and value; value is null when
 * there is no '='. */
static size_t option_name_length(const char *arg, const char **value)
{
    const char *eq = strchr(arg, '=');
    *value = eq ? eq + 1 : nullptr;
    return eq ? (size_t)(eq - arg) : strlen(arg);
}

static int is_option(const char *arg, size_t len, const char *name)
{
    return strlen(name) == len && strncmp(arg, name, len) == 0;
}

static int usage_error(char *msg, size_t msg_size, const char *what, const char *arg)
{
    snprintf(msg, msg_size, "%s%s%s", what, arg ? ": " : "", arg ? arg : "");
    return CLI_PARSE_USAGE;
}

/* Options that choose the function rather than the entries. */
struct function_flags {
    int inverse, log_p, log;
};

/* Sets opt->function from the flags given, or reports a usage error. */
static int choose_function(struct cli_options *opt, const struct function_flags *f, char *msg,
                           size_t msg_size)
{
    if (f->inverse && f->log)
        return usage_error(msg, msg_size, "--inverse and --log exclude each other", nullptr);
    if (f->log_p && !f->inverse)
        return usage_error(msg, msg_size, "--log-p goes with --inverse (--log prints ln Phi(X))", nullptr);
    if (opt->upper && !f->inverse && !f->log)
        return usage_error(msg, msg_size, "--upper goes with --inverse or --log (for 1 - Phi(X) ask for -X)",
                           nullptr);
    opt->function = f->inverse ? (f->log_p ? CLI_FN_INVERSE_LOG : CLI_FN_INVERSE)
                    : f->log   ? CLI_FN_LOG
                               : CLI_FN_PHI;
    if (opt->function != CLI_FN_PHI && (opt->mode == CLI_ROUGH || opt->mode == CLI_SERIES_LEN))
        return usage_error(msg, msg_size, "--rough and --series-length exclude --inverse and --log", nullptr);
    return CLI_PARSE_OK;
}

/* Checks that the options given together make sense. */
static int check_combination(const struct cli_options *opt, int digits_given, int mode_count, char *msg,
                             size_t msg_size)
{
    if (mode_count > 1)
        return usage_error(msg, msg_size, "--wide, --rough and --series-length exclude each other", nullptr);
    if (digits_given && opt->mode == CLI_PHI_WIDE)
        return usage_error(msg, msg_size, "--digits does not apply to --wide (its buffer is 120 characters)",
                           nullptr);
    if (digits_given && opt->mode == CLI_SERIES_LEN)
        return usage_error(msg, msg_size, "--digits does not apply to --series-length", nullptr);
    if (opt->mode == CLI_SERIES_LEN && opt->nargs != 0)
        return usage_error(msg, msg_size, "--series-length takes exactly X and MAX", nullptr);
    return CLI_PARSE_OK;
}

int cli_parse_args(int argc, char **argv, char **operand_store, struct cli_options *opt, char *msg,
                   size_t msg_size)
{
    memset(opt, 0, sizeof *opt);
    opt->mode = CLI_PHI;
    opt->digits = CLI_MAX_CAPACITY;
    opt->args = operand_store;
    msg[0] = '\0';

    int digits_given = 0, mode_count = 0, only_operands = 0;
    struct function_flags flags = {0, 0, 0};
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (only_operands || strncmp(arg, "--", 2) != 0) {
            operand_store[opt->nargs++] = argv[i];
            continue;
        }
        if (arg[2] == '\0') {
            only_operands = 1;
            continue;
        }
        const char *value = nullptr;
        size_t len = option_name_length(arg, &value);
        int takes_value = is_option(arg, len, "--digits");
        if (!takes_value && value != nullptr)
            return usage_error(msg, msg_size, "option takes no value", arg);

        if (is_option(arg, len, "--help")) {
            opt->show_help = 1;
        } else if (is_option(arg, len, "--version")) {
            opt->show_version = 1;
        } else if (is_option(arg, len, "--wide")) {
            opt->mode = CLI_PHI_WIDE;
            ++mode_count;
        } else if (is_option(arg, len, "--inverse")) {
            flags.inverse = 1;
        } else if (is_option(arg, len, "--log-p")) {
            flags.log_p = 1;
        } else if (is_option(arg, len, "--log")) {
            flags.log = 1;
        } else if (is_option(arg, len, "--upper")) {
            opt->upper = 1;
        } else if (is_option(arg, len, "--rough")) {
            opt->mode = CLI_ROUGH;
            ++mode_count;
        } else if (is_option(arg, len, "--digits")) {
            if (value == nullptr) {
                if (i + 1 >= argc)
                    return usage_error(msg, msg_size, "--digits needs a number N", nullptr);
                value = argv[++i];
            }
            if (!read_int_in(value, 0, 1000000000L, &opt->digits))
                return usage_error(msg, msg_size, "--digits needs a whole number from 0 to 1000000000",
                                   value);
            digits_given = 1;
        } else if (is_option(arg, len, "--series-length")) {
            if (i + 2 >= argc)
                return usage_error(msg, msg_size, "--series-length needs X and MAX", nullptr);
            long max_iter = 0;
            /* The series counter must be able to pass the limit. */
            if (!read_int_in(argv[i + 2], INT_MIN, (long)INT_MAX - 1, &max_iter))
                return usage_error(msg, msg_size, "MAX must be a whole number below 2147483647", argv[i + 2]);
            opt->mode = CLI_SERIES_LEN;
            opt->series_max = (int)max_iter;
            ++mode_count;
            opt->series_x = argv[i + 1];
            i += 2;
        } else {
            return usage_error(msg, msg_size, "unknown option", arg);
        }
    }
    if (opt->show_help || opt->show_version)
        return CLI_PARSE_OK;
    int status = check_combination(opt, digits_given, mode_count, msg, msg_size);
    if (status == CLI_PARSE_OK)
        status = choose_function(opt, &flags, msg, msg_size);
    if (status != CLI_PARSE_OK)
        return status;
    opt->read_stdin = opt->mode != CLI_SERIES_LEN && opt->nargs == 0;
    return CLI_PARSE_OK;
}
