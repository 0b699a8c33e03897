#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what the tests need (Debian 12, as root) and runs every test:
# the native suite, the Python package's tests, the same suite under ASan+UBSan
# and as 32-bit x86 programs under UBSan, the concurrency test
# under TSan, the 32-bit and 64-bit Windows DLLs under Wine (32-bit natively,
# or in an emulated i386 machine where the kernel runs 64-bit code only) with
# the zip of both, and a bounded fuzzing run.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" = 0 ]; then
  scripts/install-test-deps.sh
else
  echo "not root: assuming the test dependencies are installed" >&2
fi

jobs=$(nproc)
stage() { echo; echo "=== $* ==="; }
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
n=0
# Runs ctest, keeping its output for the totals printed at the end.
run_ctest() {
  n=$((n + 1))
  ctest "$@" 2>&1 | tee "$logs/ctest-$n.log"
}

stage "native release build and tests"
cmake --preset release
cmake --build --preset release -j "$jobs"
run_ctest --preset release

stage "the Python package (offline install into a virtual environment, mypy, pytest)"
python_log="$logs/python.log"
bash python/run-tests.sh build/release 2>&1 | tee "$python_log"

stage "ASan + UBSan"
cmake --preset asan
cmake --build --preset asan -j "$jobs"
run_ctest --preset asan

stage "the same suite as 32-bit x86 programs under UBSan (natively, or under qemu-i386)"
cmake --preset test32
cmake --build --preset test32 -j "$jobs"
run_ctest --preset test32

stage "ThreadSanitizer (concurrency tests)"
cmake --preset tsan
cmake --build --preset tsan -j "$jobs"
run_ctest --preset tsan --no-tests=error

stage "32-bit Windows DLLs under Wine"
cmake --preset mingw
cmake --build --preset mingw -j "$jobs"
run_ctest --preset mingw --no-tests=error

stage "64-bit Windows DLLs under Wine, and the zip of both"
cmake --preset mingw64
cmake --build --preset mingw64 -j "$jobs"
cmake --build --preset mingw64 --target windows_folder
run_ctest --preset mingw64 --no-tests=error

stage "bounded fuzzing"
cmake --preset fuzz
cmake --build --preset fuzz -j "$jobs"
fuzz/run-bounded.sh build/fuzz

# Totals over every ctest run and the Python tests (fuzzing reports its own
# executions above).
python_passed=$(grep -E -o '[0-9]+ passed' "$python_log" | tail -n 1 | awk '{print $1}')
total=$(cat "$logs"/ctest-*.log | awk '/tests failed out of/ {t += $NF} END {print t + 0}')
total=$((total + ${python_passed:-0}))
failed=$(cat "$logs"/ctest-*.log | awk '/tests passed, .* tests failed out of/ {for (i = 1; i < NF; i++) if ($i == "passed,") f += $(i + 1)} END {print f + 0}')
skipped=$(cat "$logs"/ctest-*.log | grep -c '(Skipped)$' || true)
echo
echo "all test stages passed"
echo "tests: $((total - failed - skipped)) passed, $failed failed, $skipped skipped"
