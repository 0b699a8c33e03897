// SPDX-License-Identifier: MIT
/* Help and version text of the zelq command. */
#include "zelq_cli.h"

#ifndef ZELQ_VERSION
#define ZELQ_VERSION "unknown"
#endif

void cli_print_help(FILE *f)
{
    fputs("Usage: zelq [OPTIONS] [X...]\n"
          "       zelq --inverse [--upper] [--log-p] [OPTIONS] [P...]\n"
          "       zelq --log [--upper] [OPTIONS] [X...]\n"
          "Prints Phi(X) = P(N(0,1) <= X), the standard normal distribution function,\n"
          "for each X, one per line, to about 110 significant digits; or its inverse,\n"
          "or its logarithm. With no operand, or with - among them, reads one per line\n"
          "from standard input.\n"
          "\n"
          "Functions (R: qnorm, pnorm(log.p = TRUE); SciPy: ndtri, ndtri_exp, log_ndtr):\n"
          "  --inverse            print Phi^-1(P), the z with Phi(z) = P, for 0 <= P <= 1;\n"
          "                       a P below 1e-9864 (1e-100000, say) is taken from its digits\n"
          "  --inverse --upper    print the z with 1 - Phi(z) = P\n"
          "  --inverse --log-p    print the z with ln Phi(z) = L, for L <= 0 (with --upper:\n"
          "                       ln(1 - Phi(z)) = L)\n"
          "  --log                print ln Phi(X); with --upper, ln(1 - Phi(X))\n"
          "\n"
          "Options:\n"
          "  --digits N           give the library an output buffer of N characters; it\n"
          "                       writes at most min(N, 115) of them (default 115)\n"
          "  --wide               go through the 16-bit (Excel/VBA) entries with a buffer of\n"
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
          "Numbers are written as [-]d.ddd...e[-]N, infinities as inf and -inf; text that\n"
          "does not read as a number, and a number outside the function's domain, give\n"
          "nan. Exit status: 0 on success, 1 if some operand gave nan (the others are\n"
          "still printed), 2 on a usage error.\n",
          f);
}

void cli_print_version(FILE *f)
{
    fputs("zelq " ZELQ_VERSION "\n", f);
}
