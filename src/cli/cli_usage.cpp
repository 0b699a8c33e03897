// SPDX-License-Identifier: MIT
/* Help and version text of the zelq command. */
#include "zelq_cli.h"

#ifndef ZELQ_VERSION
#define ZELQ_VERSION "unknown"
#endif

void cli_print_help(FILE *f)
{
    fputs("Usage: zelq [OPTIONS] [X...]\n"
          "Prints Phi(X) = P(N(0,1) <= X), the standard normal distribution function,\n"
          "for each X, one per line, to about 110 significant digits.\n"
          "With no X, or with X given as -, reads one X per line from standard input.\n"
          "\n"
          "Options:\n"
          "  --digits N           give the library an output buffer of N characters; it\n"
          "                       writes at most min(N, 115) of them (default 115)\n"
          "  --wide               go through the 16-bit (Excel/VBA) entry with a buffer of\n"
          "                       120 characters\n"
          "  --rough              print the one-term tail estimate phi(X)*|X|/(1+X^2)\n"
          "                       instead of Phi(X)\n"
          "  --series-length X MAX\n"
          "                       print the counter at which the asymptotic series for X\n"
          "                       settles, with at most MAX terms\n"
          "  --help               print this text\n"
          "  --version            print the version\n"
          "  --                   end of options\n"
          "\n"
          "Numbers are written as [-]d.ddd...e[-]N; text that does not read as a number\n"
          "gives nan. Exit status: 0 on success, 1 if some X did not read as a number\n"
          "(the others are still printed), 2 on a usage error.\n",
          f);
}

void cli_print_version(FILE *f)
{
    fputs("zelq " ZELQ_VERSION "\n", f);
}
