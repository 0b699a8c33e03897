# SPDX-License-Identifier: MIT
# Sourced by the bench scripts: require_bench_programs BIN WHAT PROGRAM...
# fails (exit 2) unless every PROGRAM is built in BIN and this machine can
# run them; a 32-bit build on a kernel that runs no 32-bit x86 code would
# otherwise fail with "Exec format error". Sets `kind` to the programs' type.
require_bench_programs() {
  local bin=$1 what=$2
  shift 2
  for p in "$@"; do
    [ -x "$bin/$p" ] || { echo "$bin/$p is missing: build the bench (or bench32) preset first" >&2; exit 2; }
  done
  kind=$(file -b "$bin/engine_bench" | cut -d, -f1-2)
  if ! "$bin/qfloat_text_bench" --benchmark_list_tests >/dev/null 2>&1; then
    echo "This machine cannot run $bin/engine_bench ($kind): no $what." >&2
    exit 2
  fi
}
