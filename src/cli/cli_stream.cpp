// SPDX-License-Identifier: MIT
/*
 * Streaming mode of the zelq command: one X per input line, one result per
 * output line, so that the output lines up with the input (a blank line
 * stays blank). Output is block-buffered unless someone is typing.
 */
#include "zelq_cli.h"

#include <stdlib.h>
#include <string.h>

/* Reads one line of any length into *buf (grown with realloc), without its
 * line end. Returns 0 at end of input, -1 when memory runs out. */
static int read_line(FILE *in, char **buf, size_t *cap)
{
    size_t len = 0;
    for (;;) {
        if (*cap - len < 2) {
            size_t grown = *cap ? *cap * 2 : 256;
            char *p = (char *)realloc(*buf, grown);
            if (p == nullptr)
                return -1;
            *buf = p;
            *cap = grown;
        }
        if (fgets(*buf + len, (int)(*cap - len), in) == nullptr)
            break;
        len += strlen(*buf + len);
        if (len > 0 && (*buf)[len - 1] == '\n')
            break;
    }
    if (len == 0 && (feof(in) || ferror(in)))
        return 0;
    (*buf)[len] = '\0';
    return 1;
}

/* Drops surrounding blanks and line-end characters in place; returns the
 * start of what remains. */
static char *trim(char *s)
{
    while (*s == ' ' || *s == '\t')
        ++s;
    size_t n = strlen(s);
    while (n > 0 && (s[n - 1] == '\n' || s[n - 1] == '\r' || s[n - 1] == ' ' || s[n - 1] == '\t'))
        s[--n] = '\0';
    return s;
}

long cli_stream(const struct cli_options *opt, FILE *in, FILE *out, FILE *err, int interactive)
{
    char *line = nullptr;
    size_t cap = 0;
    long unreadable = 0, lineno = 0;
    char result[CLI_RESULT_SIZE];
    int got;
    while ((got = read_line(in, &line, &cap)) > 0) {
        ++lineno;
        char *x = trim(line);
        if (*x == '\0') {
            fputc('\n', out);
        } else {
            int verdict = cli_eval_text(opt, x, result, sizeof result);
            fputs(result, out);
            fputc('\n', out);
            if (verdict != CLI_NUMBER) {
                ++unreadable;
                fprintf(err, "zelq: line %ld: \"%s\" %s\n", lineno, x, cli_verdict_text(opt, verdict));
            }
        }
        if (interactive)
            fflush(out);
    }
    if (got < 0) {
        fprintf(err, "zelq: line %ld: out of memory\n", lineno + 1);
        ++unreadable;
    }
    free(line);
    return unreadable;
}
