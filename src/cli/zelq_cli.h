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

/* What one run of the command does. */
enum cli_mode {
    CLI_PHI = 0,       /* Phi(x) through the 8-bit entry */
    CLI_PHI_WIDE = 1,  /* Phi(x) through the 16-bit entry, as a VBA caller */
    CLI_ROUGH = 2,     /* one-term tail estimate (foo) */
    CLI_SERIES_LEN = 3 /* asymptotic-series length for X and a limit */
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
    int mode;    /* enum cli_mode */
    long digits; /* characters in the 8-bit output buffer */
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
 * CLI_RESULT_SIZE). Returns 1 when x read as a number, 0 when the library
 * reported it as unreadable ("nan").
 */
int cli_eval_text(const struct cli_options *opt, char *x, char *out, size_t out_size);

/*
 * Phi(x) through the 16-bit entry: x (UTF-8) is turned into 16-bit units the
 * way VBA holds a string, the entry gets a buffer of 120 spaces, and the units
 * it returns are written back as UTF-8 into out (out_size >= CLI_RESULT_SIZE).
 * Returns the number of 16-bit units the entry reported.
 */
int cli_phi_wide(const char *x, char *out, size_t out_size);

/* Evaluates every line of in, writing one result line per input line to out;
 * a blank line gives a blank line. Returns the number of lines that did not
 * read as numbers (each is named on err with its line number). */
long cli_stream(const struct cli_options *opt, FILE *in, FILE *out, FILE *err, int interactive);

/* Help text and version line. */
void cli_print_help(FILE *f);
void cli_print_version(FILE *f);

#endif
