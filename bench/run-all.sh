#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Every figure of one bench build into one folder: the five bench programs
# (times and their ratio tables, with repetitions, medians kept; console text
# and Google Benchmark JSON, which tools/compare.py of Google Benchmark can
# set side by side) and the callgrind counts (callgrind-counts.sh). Prints the
# ratio tables and the counts. On a shared machine the counts are the steady
# figures; take the times as a guide.
#
# Usage: bench/run-all.sh BUILD_DIR OUT_DIR [REPETITIONS]   (default 3)
#   e.g. bench/run-all.sh build/bench32 /tmp/figures32 5
set -euo pipefail
build=${1:?usage: bench/run-all.sh BUILD_DIR OUT_DIR [REPETITIONS]}
out=${2:?usage: bench/run-all.sh BUILD_DIR OUT_DIR [REPETITIONS]}
reps=${3:-3}
here=$(cd "$(dirname "$0")" && pwd)
bin=$build/bench
progs="engine_bench inverse_log_bench qfloat_arith_bench qfloat_explog_bench qfloat_text_bench taylor_pass_bench"

. "$here/bench-programs.sh"
require_bench_programs "$bin" figures $progs

mkdir -p "$out"
{
  echo "build: $build ($kind)"
  echo "commit: $(git -C "$here" rev-parse HEAD 2>/dev/null || echo unknown)"
  echo "date: $(date -u +%FT%TZ)"
  echo "cpu: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2-)"
  echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
} >"$out/info.txt"

for p in $progs; do
  "$bin/$p" --benchmark_repetitions="$reps" --benchmark_report_aggregates_only=true \
    --benchmark_out="$out/$p.json" --benchmark_out_format=json >"$out/$p.txt" 2>"$out/$p.err"
  # The ratio table starts at its title line.
  sed -n '/CPU \(microseconds\|ns\)/,$p' "$out/$p.txt"
  echo
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)" >>"$out/info.txt"

"$here/callgrind-counts.sh" "$build" "$out/callgrind" | tee "$out/counts.txt"
