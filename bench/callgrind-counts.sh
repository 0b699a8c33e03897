#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Instruction counts per call, from callgrind, for one bench build (the 64-bit
# build/bench or the 32-bit build/bench32): Phi at every x of the grid (Zelq,
# Arb, MPFR), Phi^-1 beside Arb's, ln Phi beside Phi, and the single qfloat
# operations beside MPFR's. Each program runs
# once under callgrind in its --counts mode, which dumps the counts of n warmed
# calls per case (bench_counts.h); this divides by n and prints the ratios.
# Counts are exact and repeatable, unlike timings on a shared machine; they
# do not weigh a multiply or a cache miss more than an add.
#
# Usage: bench/callgrind-counts.sh BUILD_DIR [OUT_DIR]
#   OUT_DIR, if given, keeps the raw callgrind dumps and program logs.
set -euo pipefail
build=${1:?usage: bench/callgrind-counts.sh BUILD_DIR [OUT_DIR]}
bin=$build/bench
progs="engine_bench inverse_log_bench qfloat_arith_bench qfloat_explog_bench"

command -v valgrind >/dev/null || { echo "valgrind is not installed" >&2; exit 2; }
. "$(dirname "$0")/bench-programs.sh"
require_bench_programs "$bin" counts $progs qfloat_text_bench

if [ $# -ge 2 ]; then
  out=$2
  mkdir -p "$out"
else
  out=$(mktemp -d)
  trap 'rm -rf "$out"' EXIT
fi

for p in $progs; do
  rm -f "$out/$p.cg" "$out/$p.cg".*
  if ! valgrind --tool=callgrind --callgrind-out-file="$out/$p.cg" --dump-instr=no --dump-line=no \
    "$bin/$p" --counts >"$out/$p.log" 2>&1; then
    echo "callgrind failed on $p:" >&2
    tail -20 "$out/$p.log" >&2
    exit 1
  fi
done

echo "Instructions per call (callgrind), $build: $kind"
# One line per dump, in the order the programs made them: group|who|case|n|Ir.
for p in $progs; do
  ls "$out/$p.cg".* | sort -t. -k3,3n -k4,4n | while read -r f; do
    awk '/^desc: Trigger: Client Request: /{sub(/^desc: Trigger: Client Request: /, ""); label = $0}
         /^summary: /{ir = $2}
         END {if (label != "") print label "|" ir}' "$f"
  done
done | awk -F'|' '
  # Tables per group: a row per case, a column per "who" (first is ours),
  # then ours / each peer.
  {
    g = $1; w = $2; c = $3
    if (!(g in seen_g)) { seen_g[g] = 1; groups[++ng] = g }
    if (!((g, w) in seen_w)) { seen_w[g, w] = 1; who[g, ++nw[g]] = w }
    if (!((g, c) in seen_c)) { seen_c[g, c] = 1; cases[g, ++nc[g]] = c }
    v[g, w, c] = $5 / $4
  }
  END {
    for (i = 1; i <= ng; i++) {
      g = groups[i]
      printf "\n%-14s", (g == "phi" ? "Phi at x" : g == "inverse" ? "Phi^-1 at p" : g == "log" ? "ln Phi at x" : "operation")
      for (k = 1; k <= nw[g]; k++) printf " %11s", who[g, k]
      for (k = 2; k <= nw[g]; k++) printf " %11s", who[g, 1] "/" who[g, k]
      printf "\n"
      for (j = 1; j <= nc[g]; j++) {
        c = cases[g, j]
        printf "%-14s", c
        for (k = 1; k <= nw[g]; k++)
          if ((g, who[g, k], c) in v) printf " %11.0f", v[g, who[g, k], c]; else printf " %11s", "-"
        for (k = 2; k <= nw[g]; k++)
          if ((g, who[g, k], c) in v) printf " %11.3f", v[g, who[g, 1], c] / v[g, who[g, k], c]; else printf " %11s", "-"
        printf "\n"
      }
    }
  }'
