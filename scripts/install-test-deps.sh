#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs, as root on Debian 12, what the test stages of scripts/test-all.sh
# use, and nothing else; with --bench also what the benchmarks (bench/) add.
#
#   install-test-deps.sh [--bench]
#
# A package mirror in the middle of a sync can fail one index file ("File
# has unexpected size ... Mirror sync in progress?"). Then the amd64 and the
# i386 halves of a multiarch library may come from different suites at
# different versions, and the install cannot be resolved. So apt-get update
# is tried a few times with a pause; index files that still fail are named
# and the run goes on; the install is tried as usual, and if it cannot be
# resolved while an index failed, once more with the suites of the failed
# indexes held back for this install only (pinned below the others, so that
# every package comes from the suites that were read whole). If that fails
# too, one message names the index and says how to retry. A package that
# does not exist fails the command in every case.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

tries=${ZELQ_APT_TRIES:-3}
pause=${ZELQ_APT_PAUSE:-15}
retry="bash ${BASH_SOURCE[0]}${1:+ $*}"

# Per stage of scripts/test-all.sh.
native=(build-essential cmake pkg-config python3 libgtest-dev libmpfr-dev libgmp-dev valgrind)
i386=(gcc-multilib g++-multilib qemu-user-static libmpfr-dev:i386 libgmp-dev:i386)
fuzz=(clang-14 libclang-rt-14-dev)
windows=(g++-mingw-w64-i686-win32 binutils-mingw-w64-i686 wine wine32:i386
  g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64 wine64)
# The emulated i386 machine that runs 32-bit Wine where the kernel runs no
# 32-bit code (tests/windows/guest/).
guest=(qemu-system-x86 cpio zstd)
# The Python package's tests (python/run-tests.sh): an offline pip install into
# a virtual environment, pytest and mypy, mpmath with gmpy2 as the reference
# and for the timings, NumPy for the array forms.
python=(python3-venv python3-pip python3-setuptools python3-wheel python3-pytest python3-mypy
  python3-mpmath python3-gmpy2 python3-numpy)
bench=(libbenchmark-dev libflint-arb-dev libbenchmark-dev:i386 libflint-arb2:i386 libflint17:i386)

packages=("${native[@]}" "${i386[@]}" "${fuzz[@]}" "${windows[@]}" "${guest[@]}" "${python[@]}")
case "${1:-}" in
"") ;;
--bench) packages+=("${bench[@]}") ;;
*)
  echo "usage: install-test-deps.sh [--bench]" >&2
  exit 2
  ;;
esac

say() { echo "install-test-deps: $*"; }
fail() {
  echo "install-test-deps: $*" >&2
  exit 100
}

[ "$(id -u)" = 0 ] || fail "run as root: it installs packages with apt-get"

work=$(mktemp -d)
keep_logs=
trap '[ -n "$keep_logs" ] || rm -rf "$work"' EXIT

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi

# The index files that the last update could not fetch, one a line:
# "URI SUITE[/COMPONENT] [ARCH] WHAT: REASON".
failed_indexes() {
  awk '/^Err:/ { $1 = ""; sub(/^ /, ""); what = $0; getline reason
                 sub(/^ +/, "", reason); sub(/ *\[IP: [^]]*\]$/, "", reason)
                 print what ": " reason }' "$work/update.log"
}

# The failed index files on one line.
joined_failed() { paste -sd '|' <<<"$failed" | sed 's/|/; /g'; }

failed=""
held=()
for ((n = 1; ; n++)); do
  if apt-get update -q -o Acquire::Retries=3 >"$work/update.log" 2>&1; then
    failed=""
    break
  fi
  if ! grep -q '^[EW]: Some index files failed to download' "$work/update.log"; then
    cat "$work/update.log" >&2
    fail "apt-get update failed (above)"
  fi
  failed=$(failed_indexes)
  [ -n "$failed" ] || failed="(apt-get named none)"
  if [ "$n" -ge "$tries" ]; then
    say "apt-get update could not fetch, after $tries tries:"
    sed 's/^/  /' <<<"$failed"
    say "going on with the index files it has"
    break
  fi
  say "apt-get update could not fetch $(wc -l <<<"$failed") index file(s); trying again in ${pause}s ($n of $tries)"
  sleep "$pause"
done

# Preferences that hold back, for one install, the suites of the failed
# indexes: pinned at 100, below the 500 of the others, so that a version
# from them is taken only where it is already installed. Sets held to their
# codenames; fails if no failed index names its suite.
hold_back_failed_suites() {
  local lists uri suite file codename
  eval "$(apt-config shell lists Dir::State::lists/d)"
  held=()
  while read -r uri suite _; do
    [[ $uri == *://* ]] || continue
    suite=${suite%%/*}
    # The Err line shows the suite as the sources name it; a pin matches the
    # codename, which the suite's Release file states.
    file=${uri#*://}
    file=${lists%/}/${file//\//_}_dists_${suite//\//_}
    codename=$(cat "${file}_InRelease" "${file}_Release" 2>/dev/null | sed -n 's/^Codename: //p' | head -n 1 || true)
    held+=("${codename:-$suite}")
  done <<<"$failed"
  [ ${#held[@]} -gt 0 ] || return 1
  mapfile -t held < <(printf '%s\n' "${held[@]}" | sort -u)
  printf 'Package: *\nPin: release n=%s\nPin-Priority: 100\n\n' "${held[@]}" >"$work/preferences"
}

# apt-get install with the extra options given; its output goes to
# install.log.
apt_install() {
  apt-get install -y -q --no-install-recommends -o Acquire::Retries=3 "$@" "${packages[@]}" >"$work/install.log" 2>&1
}

# What install.log says went wrong: missing, unresolved, fetch or other.
install_failure() {
  if grep -qE "^E: (Unable to locate package|Package '.*' has no installation candidate|Couldn't find any package)" \
    "$work/install.log"; then
    echo missing
  elif grep -qE '^E: (Unable to correct problems|Error, pkgProblemResolver)|have unmet dependencies' \
    "$work/install.log"; then
    echo unresolved
  elif grep -q '^E: Failed to fetch' "$work/install.log"; then
    echo fetch
  else
    echo other
  fi
}

# Ends the run with one message for what install.log shows.
install_failed() {
  local missing native_arch name arch
  keep_logs=1
  case $(install_failure) in
  missing)
    missing=$(sed -nE "s/^E: Unable to locate package (.*)/\1/p; s/^E: Package '(.*)' has no installation candidate/\1/p;
                       s/^E: Couldn't find any package by [a-z]+ '(.*)'/\1/p" "$work/install.log" | sort -u | xargs)
    # Only a failed index of a missing package's architecture (or a whole
    # suite's Release file) can hide it.
    native_arch=$(dpkg --print-architecture)
    for name in $missing; do
      arch=$native_arch
      [[ $name == *:* ]] && arch=${name##*:}
      if grep -qE " ($arch|all) Packages:| InRelease:| Release:" <<<"$failed"; then
        fail "no package $missing in the index files read: misspelt, or listed in an index that the package mirror, out of step, could not serve ($(joined_failed)). Retry later: $retry"
      fi
    done
    fail "no package $missing in Debian 12 as the sources list it: misspelt, or not packaged (apt-get's output: $work/install.log)"
    ;;
  unresolved)
    if [ -n "$failed" ]; then
      fail "the packages cannot be resolved, not even with ${held[*]} held back: the package mirror is out of step (it could not serve: $(joined_failed)), so the i386 and amd64 halves of some libraries are at different versions. Retry later: $retry (apt-get's output: $work/install.log)"
    fi
    fail "the packages cannot be resolved against the installed system (apt-get's output: $work/install.log)"
    ;;
  fetch)
    fail "packages could not be downloaded ($(sed -n 's/^E: Failed to fetch \([^ ]*\).*/\1/p' "$work/install.log" | head -n 1)); the package mirror may be out of step. Retry later: $retry (apt-get's output: $work/install.log)"
    ;;
  *)
    tail -n 20 "$work/install.log" >&2
    fail "apt-get install failed (above; whole output: $work/install.log)"
    ;;
  esac
}

if apt_install; then
  say "$(grep -E '^[0-9]+ upgraded' "$work/install.log" || echo "packages installed")"
  exit 0
fi
if [ -z "$failed" ] || [ "$(install_failure)" != unresolved ]; then
  install_failed
fi
hold_back_failed_suites || install_failed
say "the packages do not resolve without the failed index; installing again with ${held[*]} held back for this install"
# The file stands in for /etc/apt/preferences in this one call;
# preferences.d is still read.
if apt_install -o Dir::Etc::Preferences="$work/preferences"; then
  say "$(grep -E '^[0-9]+ upgraded' "$work/install.log" || echo "packages installed") (${held[*]} held back)"
  exit 0
fi
install_failed
