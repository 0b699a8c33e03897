#!/usr/bin/env bash
# Runs 32-bit Windows programs under Wine inside the emulated machine that
# make-guest.sh built, and exits with the status of the last one (or 1 if
# the machine never reported one: crash, hang, or a guest that failed).
#
#   run-in-guest.sh GUEST_DIR PROGRAM_DIR PROGRAM...
#
# Every .exe and .dll of PROGRAM_DIR goes into the guest's /zelq, where the
# programs run, so LoadLibrary finds the DLLs beside them.
set -euo pipefail
guest=${1:?usage: run-in-guest.sh GUEST_DIR PROGRAM_DIR PROGRAM...}
programs=${2:?usage: run-in-guest.sh GUEST_DIR PROGRAM_DIR PROGRAM...}
shift 2
[ $# -gt 0 ] || { echo "run-in-guest: no program named" >&2; exit 2; }
time_limit=${ZELQ_GUEST_TIMEOUT:-840}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/zelq"
cp "$programs"/*.exe "$programs"/*.dll "$work/zelq/"
(cd "$work" && find zelq | cpio -o -H newc --quiet) >"$work/programs.cpio"
cat "$guest/rootfs.cpio.zst" "$work/programs.cpio" >"$work/initrd"

# Without SMAP and SMEP: QEMU 7.2's emulation faults the user-mode iret
# that Wine returns from exceptions with when the guest kernel enables them.
status=0
: >"$work/console" # there even when qemu stops before opening it
timeout "$time_limit" qemu-system-i386 -cpu max,-smap,-smep -m 2048 -smp 1 \
  -display none -monitor none -serial "file:$work/console" -no-reboot \
  -kernel "$guest/vmlinuz" -initrd "$work/initrd" \
  -append "console=ttyS0 quiet loglevel=1 panic=-1 -- $*" </dev/null || status=$?
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
