#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a 32-bit Windows program under Wine inside the emulated machine that
# make-guest.sh built, as wine_fixture.sh runs it natively, and exits with
# its status (or 1 if the machine never reported one: crash, hang, or a
# guest that failed).
#
#   run-in-guest.sh GUEST_DIR PROGRAM DLL_DIR
#
# In the guest the program lies in /zelq/host, the .exe and .dll files of
# DLL_DIR in /zelq/dlls, the current folder is /zelq, and the program gets
# Z:/zelq/dlls as its one argument.
set -euo pipefail
usage="usage: run-in-guest.sh GUEST_DIR PROGRAM DLL_DIR"
guest=${1:?$usage}
program=${2:?$usage}
dlls=${3:?$usage}
time_limit=${ZELQ_GUEST_TIMEOUT:-840}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/zelq/host" "$work/zelq/dlls"
cp "$program" "$work/zelq/host/"
cp "$dlls"/*.exe "$dlls"/*.dll "$work/zelq/dlls/"
(cd "$work" && find zelq | cpio -o -H newc --quiet) >"$work/programs.cpio"
cat "$guest/rootfs.cpio.zst" "$work/programs.cpio" >"$work/initrd"

# Without SMAP and SMEP: QEMU 7.2's emulation faults the user-mode iret
# that Wine returns from exceptions with when the guest kernel enables them.
status=0
: >"$work/console" # there even when qemu stops before opening it
timeout "$time_limit" qemu-system-i386 -cpu max,-smap,-smep -m 2048 -smp 1 \
  -display none -monitor none -serial "file:$work/console" -no-reboot \
  -kernel "$guest/vmlinuz" -initrd "$work/initrd" \
  -append "console=ttyS0 quiet loglevel=1 panic=-1 -- host/$(basename "$program") Z:/zelq/dlls" </dev/null ||
  status=$?
tr -d '\r' <"$work/console" >"$work/lines"
# The console from the guest's first message on, without the firmware's.
# Kernel messages (timestamped) are left out too.
sed -n '/zelq-guest: booted/,$p' "$work/lines" | grep -v '^\[ *[0-9.]*\] ' || true
if [ "$status" = 124 ]; then
  echo "run-in-guest: the guest did not finish within ${time_limit}s" >&2
  exit 1
fi
result=$(sed -n 's/^zelq-guest: exit \([0-9]*\)$/\1/p' "$work/lines" | tail -n 1)
if [ -z "$result" ]; then
  echo "run-in-guest: the guest reported no result (qemu exit status $status)" >&2
  exit 1
fi
exit "$result"
