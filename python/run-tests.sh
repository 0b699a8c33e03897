#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Tests the Python package as a user gets it: builds libzelq.so in BUILD_DIR
# (default build/release) if it is not there yet, installs ./python into a
# fresh virtual environment over Debian's Python (offline: no package index,
# no build isolation), checks its type hints with mypy, and runs the pytest
# suite, docstring examples included, against that library.
#
#   python/run-tests.sh [BUILD_DIR] [pytest arguments...]
#
# Needs (Debian 12): python3-venv python3-pip python3-setuptools python3-wheel
# python3-pytest python3-mpmath python3-gmpy2 python3-numpy python3-mypy. A
# missing one is an error, never a skip.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build/release}
shift || true
case $build in /*) ;; *) build=$repo/$build ;; esac
py=${ZELQ_PYTHON:-/usr/bin/python3}

lib=$build/src/exports/libzelq.so
if [ ! -f "$lib" ]; then
  # Build only the library; a build folder configured elsewhere keeps its
  # settings.
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release -DZELQ_TESTS=OFF
  fi
  cmake --build "$build" -j2 --target zelq
fi

missing=$("$py" - <<'EOF'
import importlib.util
need = {"venv": "python3-venv", "ensurepip": "python3-venv", "setuptools": "python3-setuptools",
        "wheel": "python3-wheel", "pytest": "python3-pytest", "mpmath": "python3-mpmath",
        "gmpy2": "python3-gmpy2", "numpy": "python3-numpy", "mypy": "python3-mypy"}
print(" ".join(sorted({pkg for mod, pkg in need.items() if importlib.util.find_spec(mod) is None})))
EOF
)
if [ -n "$missing" ]; then
  echo "python/run-tests.sh: $py lacks what the tests need; on Debian 12: apt-get install $missing" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Installed from a copy: pip builds in the source folder, and a stale build/
# there could hand over files the sources no longer have.
mkdir "$work/src"
cp -r "$repo/python/pyproject.toml" "$repo/python/zelq" "$work/src/"
"$py" -m venv --system-site-packages "$work/venv"
"$work/venv/bin/python" -m pip install --quiet --disable-pip-version-check --no-index --no-build-isolation --no-deps "$work/src"

cd "$work"
export ZELQ_LIBRARY=$lib
"$work/venv/bin/python" - <<'EOF'
import sys, zelq
assert zelq.__file__.startswith(sys.prefix), f"zelq imported from {zelq.__file__}, not the environment"
import mpmath
assert mpmath.libmp.BACKEND == "gmpy", "mpmath runs without gmpy2"
print(f"zelq {zelq.__version__}: {zelq.__file__}, library {zelq.library_path}")
EOF
# The hints, and that they reach a user's code through py.typed.
"$work/venv/bin/python" -m mypy --config-file "$work/src/pyproject.toml" "$work/src/zelq"
"$work/venv/bin/python" -m mypy --config-file "$work/src/pyproject.toml" --warn-unused-ignores "$repo/python/tests/typing_usage.py"
"$work/venv/bin/python" -m pytest -p no:cacheprovider --rootdir "$repo/python" -q -rfEs "$repo/python/tests" "$@"
