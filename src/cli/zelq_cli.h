// SPDX-License-Identifier: MIT
/*
 * The zelq command: shared declarations of its small parts. The command goes
 * through the library's exported entries only, exactly as a host does, so
 * that running it exercises the shipped path.
 */
#ifndef ZELQ_CLI_H
#define ZELQ_CLI_H

#include <stddef.h>
#include <stdio.h>

/* Which entries one run of the command goes through. */
enum cli_mode {
    CLI_PHI = 0,       /* the 8-bit entries (Phi, or the function chosen) */
    CLI_PHI_WIDE = 1,  /* the 16-bit entries, as a VBA caller */
    CLI_ROUGH = 2,     /* one-term tail estimate (foo) */
    CLI_SERIES_LEN = 3 /* asymptotic-series length for X and a limit */
};

/* What the 8-bit and 16-bit entries are asked for. */
enum cli_function {
    CLI_FN_PHI = 0,         /* Phi(X) */
    CLI_FN_INVERSE = 1,     /* --inverse: Phi^-1(P) */
    CLI_FN_INVERSE_LOG = 2, /* --inverse --log-p: the z with ln Phi(z) = L */
    CLI_FN_LOG = 3          /* --log: ln Phi(X) */
};

/* How an operand fared. */
enum cli_verdict {
    CLI_UNREADABLE = 0,    /* not a number ("nan" printed) */
    CLI_NUMBER = 1,        /* evaluated */
    CLI_OUTSIDE_DOMAIN = 2 /* a number the function is not defined for ("nan" printed) */
};

/* Longest text the 8-bit entries write: min(L, 115) characters, so any
 * longer buffer gives the same result. */
#define CLI_MAX_CAPACITY 115
/* Characters the tool puts into the 8-bit output buffer at most; a larger
 * --digits asks the entry for the same clamped capacity. */
#define CLI_BUFFER_CHARS 1024
/* The 16-bit output buffer a VBA caller passes: Space$(120). */
#define CLI_WIDE_CHARS 120
/* Longest result text of any mode, NUL included. */
#define CLI_RESULT_SIZE 512

struct cli_options {
    int mode;     /* enum cli_mode */
    int function; /* enum cli_function */
    int upper;    /* --upper: the upper tail 1 - Phi */
    long digits;  /* characters in the 8-bit output buffer */
    int show_help;
    int show_version;
    int read_stdin;    /* no X given, or "-" given */
    char *series_x;    /* X for CLI_SERIES_LEN */
    int series_max;    /* its limit MAX */
    int nargs;         /* operands X, in order */
    char *const *args; /* the operands (pointers into argv) */
};

/* Outcome of reading the command line. */
enum cli_parse_status { CLI_PARSE_OK = 0, CLI_PARSE_USAGE = 2 };

/*
 * Reads argv into *opt. operand_store must have room for argc pointers; the
 * operands are copied there in order. On a usage error returns CLI_PARSE_USAGE
 * and writes a one-line message (without newline) into msg (size msg_size).
 */
int cli_parse_args(int argc, char **argv, char **operand_store, struct cli_options *opt, char *msg,
                   size_t msg_size);

/*
 * Evaluates the text x in the mode of opt and writes the result line (without
 * newline) into out, NUL-terminated, at most out_size bytes (out_size >=
 * CLI_RESULT_SIZE). Returns an enum cli_verdict.
 */
int cli_eval_text(const struct cli_options *opt, char *x, char *out, size_t out_size);

/* The message for an operand that was not CLI_NUMBER: what is wrong with it. */
const char *cli_verdict_text(const struct cli_options *opt, int verdict);

/*
 * The function of opt through its 16-bit entry: x (UTF-8) is turned into
 * 16-bit units the way VBA holds a string, the entry gets a buffer of 120
 * spaces, and the units it returns are written back as UTF-8 into out
 * (out_size >= CLI_RESULT_SIZE). Returns the number of 16-bit units the
 * entry reported.
 */
int cli_call_wide(const struct cli_options *opt, const char *x, char *out, size_t out_size);

/* Evaluates every line of in, writing one result line per input line to out;
 * a blank line gives a blank line. Returns the number of lines that did not
 * read as numbers (each is named on err with its line number). */
long cli_stream(const struct cli_options *opt, FILE *in, FILE *out, FILE *err, int interactive);

/* Help text and version line. */
void cli_print_help(FILE *f);
void cli_print_version(FILE *f);

#endif
