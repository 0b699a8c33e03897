// SPDX-License-Identifier: MIT
/*
 * zelq: command-line front end of the library. Evaluates each X given as an
 * argument, or each line of standard input, through the exported entries.
 */
#include "zelq_cli.h"

#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#include <io.h>
#define cli_isatty(f) _isatty(_fileno(f))
#else
#include <unistd.h>
#define cli_isatty(f) isatty(fileno(f))
#endif

/* Evaluates one operand given on the command line; returns 1 if it read. */
static int eval_operand(const struct cli_options *opt, char *x)
{
    char result[CLI_RESULT_SIZE];
    int verdict = cli_eval_text(opt, x, result, sizeof result);
    fputs(result, stdout);
    fputc('\n', stdout);
    if (verdict != CLI_NUMBER)
        fprintf(stderr, "zelq: \"%s\" %s\n", x, cli_verdict_text(opt, verdict));
    return verdict == CLI_NUMBER;
}

static int run(const struct cli_options *opt)
{
    int interactive = cli_isatty(stdin) || cli_isatty(stdout);
    if (!interactive)
        setvbuf(stdout, nullptr, _IOFBF, 1 << 16);

    long unreadable = 0;
    if (opt->mode == CLI_SERIES_LEN) {
        unreadable += !eval_operand(opt, opt->series_x);
    } else if (opt->read_stdin) {
        unreadable += cli_stream(opt, stdin, stdout, stderr, interactive);
    } else {
        for (int i = 0; i < opt->nargs; ++i) {
            if (strcmp(opt->args[i], "-") == 0)
                unreadable += cli_stream(opt, stdin, stdout, stderr, interactive);
            else
                unreadable += !eval_operand(opt, opt->args[i]);
        }
    }
    if (fflush(stdout) != 0 || ferror(stdout)) {
        fprintf(stderr, "zelq: error writing the results\n");
        return 1;
    }
    return unreadable ? 1 : 0;
}

int main(int argc, char **argv)
{
    char **operands = (char **)calloc((size_t)argc + 1, sizeof(char *));
    if (operands == nullptr) {
        fprintf(stderr, "zelq: out of memory\n");
        return 1;
    }
    struct cli_options opt;
    char msg[256];
    int status = cli_parse_args(argc, argv, operands, &opt, msg, sizeof msg);
    if (status == CLI_PARSE_USAGE) {
        fprintf(stderr, "zelq: %s (see zelq --help)\n", msg);
        free(operands);
        return 2;
    }
    if (opt.show_help)
        cli_print_help(stdout);
    else if (opt.show_version)
        cli_print_version(stdout);
    else
        status = run(&opt);
    free(operands);
    return status;
}
