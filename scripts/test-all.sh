#!/usr/bin/env bash
# Installs what the tests need (Debian 12, as root) and runs every test:
# the native suite, the same suite under ASan+UBSan, the concurrency test
# under TSan, the Windows DLL under Wine, and a bounded fuzzing run.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" = 0 ]; then
  scripts/install-test-deps.sh
else
  echo "not root: assuming the test dependencies are installed" >&2
fi

jobs=$(nproc)
stage() { echo; echo "=== $* ==="; }

stage "native release build and tests"
cmake --preset release
cmake --build --preset release -j "$jobs"
ctest --preset release

stage "ASan + UBSan"
cmake --preset asan
cmake --build --preset asan -j "$jobs"
ctest --preset asan

stage "ThreadSanitizer (concurrency tests)"
cmake --preset tsan
cmake --build --preset tsan -j "$jobs"
ctest --preset tsan --no-tests=error

stage "32-bit Windows DLL under Wine"
cmake --preset mingw
cmake --build --preset mingw -j "$jobs"
ctest --preset mingw --no-tests=error

stage "bounded fuzzing"
cmake --preset fuzz
cmake --build --preset fuzz -j "$jobs"
fuzz/run-bounded.sh build/fuzz

echo
echo "all test stages passed"
