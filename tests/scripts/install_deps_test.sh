#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs install-test-deps.sh (its path the one argument) with stand-ins for
# apt-get, apt-config, dpkg and id first on PATH, in one scenario after the
# other, and checks its exit status and what it says. The stand-in apt-get
# answers as Debian's does in each case; it logs every call.
#
#   clean        update and install succeed
#   lag-once     update fails one index, then succeeds on the retry
#   lag-pinned   an index keeps failing; the install resolves only with the
#                failed suite held back (pinned by its codename)
#   lag-stuck    the same, but it never resolves: one message, exit 100
#   misspelt     a package that does not exist: exit 100, named
#   locked       update fails outright (not an index): exit 100 at once
set -u
script=${1:?usage: install_deps_test.sh PATH/TO/install-test-deps.sh}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/lists"
# The security suite as the sources name it (its suite name) and as its
# Release file states its codename, which a pin must use.
printf 'Origin: Debian\nSuite: oldstable-security\nCodename: bookworm-security\n' \
  >"$work/lists/deb.example.org_debian-security_dists_oldstable-security_InRelease"

cat >"$work/bin/apt-get" <<'STUB'
#!/usr/bin/env bash
echo "apt-get $*" >>"$STUB_LOG"
lag() {
  echo "Get:1 http://deb.example.org/debian bookworm InRelease [151 kB]"
  echo "Err:4 http://deb.example.org/debian-security oldstable-security/main i386 Packages"
  echo "  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 192.0.2.1 80]"
  echo "E: Failed to fetch http://deb.example.org/debian-security/dists/oldstable-security/main/binary-i386/Packages.xz"
  echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
  exit 100
}
unmet() {
  echo "Some packages could not be installed."
  echo "The following packages have unmet dependencies:"
  echo " libc6-dev:i386 : Depends: linux-libc-dev:i386 but it is not going to be installed"
  echo "E: Unable to correct problems, you have held broken packages."
  exit 100
}
case "$1" in
update)
  case $SCENARIO in
  lag-once) [ -e "$STUB_LOG.lagged" ] || { touch "$STUB_LOG.lagged"; lag; } ;;
  lag-*) lag ;;
  locked) echo "E: Could not get lock /var/lib/apt/lists/lock. It is held by process 4242"; exit 100 ;;
  esac
  exit 0
  ;;
install)
  prefs=$(printf '%s\n' "$@" | sed -n 's/^Dir::Etc::Preferences=//p')
  case $SCENARIO in
  misspelt) echo "E: Unable to locate package libmpfr-devv"; exit 100 ;;
  lag-stuck) unmet ;;
  lag-pinned)
    [ -n "$prefs" ] || unmet
    grep -qx 'Pin: release n=bookworm-security' "$prefs" && grep -qx 'Pin-Priority: 100' "$prefs" || unmet
    ;;
  esac
  echo "0 upgraded, 3 newly installed, 0 to remove and 0 not upgraded."
  exit 0
  ;;
esac
exit 1
STUB
printf '#!/bin/sh\necho "lists='"'"'%s/'"'"'"\n' "$work/lists" >"$work/bin/apt-config"
printf '#!/bin/sh\ncase "$1" in --print-foreign-architectures) echo i386 ;; --print-architecture) echo amd64 ;; esac\n' \
  >"$work/bin/dpkg"
printf '#!/bin/sh\necho 0\n' >"$work/bin/id"
chmod +x "$work/bin/"*

failures=0
# check SCENARIO STATUS PATTERN...: the script exits with STATUS and its
# output matches every extended regular expression PATTERN ("!PATTERN": none).
check() {
  local scenario=$1 want=$2 out status p
  shift 2
  export SCENARIO=$scenario STUB_LOG=$work/$scenario.log
  out=$(PATH=$work/bin:$PATH ZELQ_APT_PAUSE=0 ZELQ_APT_TRIES=2 bash "$script" 2>&1)
  status=$?
  local bad=
  [ "$status" = "$want" ] || bad="exit $status, want $want"
  for p in "$@"; do
    if [[ $p == !* ]]; then
      ! grep -qE -- "${p#!}" <<<"$out" || bad="$bad; says /${p#!}/"
    else
      grep -qE -- "$p" <<<"$out" || bad="$bad; does not say /$p/"
    fi
  done
  if [ -n "$bad" ]; then
    failures=$((failures + 1))
    printf 'FAIL %s: %s\n--- output:\n%s\n--- apt-get calls:\n%s\n' "$scenario" "$bad" "$out" "$(cat "$STUB_LOG")"
  else
    echo "ok   $scenario"
  fi
}
updates() { grep -c '^apt-get update' "$work/$1.log"; }
installs() { grep -c '^apt-get install' "$work/$1.log"; }

check clean 0 '3 newly installed' '!held back|could not fetch'
check lag-once 0 'trying again' '!going on|held back'
[ "$(updates lag-once)" = 2 ] || { failures=$((failures + 1)); echo "FAIL lag-once: $(updates lag-once) updates, want 2"; }
check lag-pinned 0 'oldstable-security/main i386 Packages: File has unexpected size' 'going on' \
  'bookworm-security held back' '!IP:'
[ "$(updates lag-pinned)/$(installs lag-pinned)" = 2/2 ] ||
  { failures=$((failures + 1)); echo "FAIL lag-pinned: $(updates lag-pinned) updates/$(installs lag-pinned) installs, want 2/2"; }
check lag-stuck 100 'out of step' 'oldstable-security/main i386 Packages' 'Retry later: bash .*install-test-deps.sh' \
  '!unmet dependencies|libc6-dev'
check misspelt 100 'no package libmpfr-devv' 'misspelt' '!out of step'
check locked 100 'Could not get lock' 'apt-get update failed'
[ "$(installs locked)" = 0 ] || { failures=$((failures + 1)); echo "FAIL locked: it went on to install"; }

echo "$failures failed"
[ "$failures" = 0 ]
