#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs every fuzz program of a build for a bounded time and fails on the first
# finding. Builds nothing: give it the build directory of the fuzz preset.
#
#   fuzz/run-bounded.sh build/fuzz            # about 10 s per program
#   FUZZ_SECONDS=600 fuzz/run-bounded.sh build/fuzz
#
# Each program starts from its committed seed corpus, copied to a temporary
# directory so the repository is not modified. Crash inputs are kept in
# <build>/fuzz-findings/.
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
seconds=${FUZZ_SECONDS:-10}
programs="asctoq_fuzz qtoasc_fuzz maple_fuzz foo_fuzz excel_fuzz series_length_fuzz inverse_fuzz"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
findings="$build/fuzz-findings"
mkdir -p "$findings"

status=0
total=0
summary=""
for p in $programs; do
  exe="$build/fuzz/$p"
  if [ ! -x "$exe" ]; then
    echo "missing fuzz program $exe" >&2
    status=1
    continue
  fi
  corpus="$work/$p"
  mkdir -p "$corpus"
  if [ -d "$here/corpus/$p" ]; then
    cp "$here/corpus/$p"/* "$corpus"/ 2>/dev/null || true
  fi
  dict=()
  case $p in
    asctoq_fuzz | maple_fuzz | foo_fuzz | series_length_fuzz) dict=(-dict="$here/number.dict") ;;
  esac
  log="$work/$p.log"
  echo "--- $p (${seconds}s)"
  if "$exe" "${dict[@]}" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 -max_len=4096 \
    -print_final_stats=1 -artifact_prefix="$findings/$p-" "$corpus" >"$log" 2>&1; then
    result=ok
  else
    result=FAILED
    status=1
    grep -v '^#' "$log" | tail -n 40 >&2
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  runs=${runs:-0}
  total=$((total + runs))
  summary+=$(printf '%-20s %12s executions  %s' "$p" "$runs" "$result")$'\n'
done

echo
printf '%s' "$summary"
printf '%-20s %12s executions\n' "total" "$total"
if [ $status -ne 0 ]; then
  echo "fuzzing found a fault or could not run; inputs kept in $findings" >&2
fi
exit $status
