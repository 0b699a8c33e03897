#!/bin/sh
# SPDX-License-Identifier: MIT
# Wine for the DLL tests, driven by CTest fixtures.
#   wine_fixture.sh start          create $WINEPREFIX, start a persistent server
#   wine_fixture.sh run EXE DIR    run EXE under Wine with DIR (a Unix path, handed
#                                  to EXE as Z:DIR) as its one argument
#   wine_fixture.sh stop           stop the server and wait for it
# Wine's background processes inherit the standard streams of whatever
# starts them, and CTest waits until its output pipe closes: so the server
# and the prefix are started here with all three streams on /dev/null.
#
# ZELQ_WINE is the loader of the build's architecture (ZELQ_WINE_ARCH win32
# or win64). A machine that cannot run 32-bit code (some 64-bit-only
# kernels) runs 32-bit Wine instead in an emulated 32-bit x86 machine
# (guest/: the host's own Wine and Debian's i386 kernel under
# qemu-system-i386), built once into $ZELQ_WINE_GUEST_DIR by start; run then
# boots it for each program. Only when neither works do start and run report
# "skipped" (exit 77).
# What can be known without booting Wine is checked first, so that such a
# machine turns to the guest in a second rather than after the boot timeout.
set -u
: "${WINEPREFIX:?}" "${ZELQ_WINE:?}" "${ZELQ_WINESERVER:?}"
arch="${ZELQ_WINE_ARCH:-win32}"
note="$WINEPREFIX.unusable"
in_guest="$WINEPREFIX.in-guest"
guest_scripts=$(cd "$(dirname "$0")/guest" && pwd)
guest_dir="${ZELQ_WINE_GUEST_DIR:-$WINEPREFIX.guest}"
boot_timeout="${ZELQ_WINE_BOOT_TIMEOUT:-150}"

# Prints why Wine cannot run here and succeeds, or fails if nothing
# rules it out. An enabled qemu-i386 binfmt handler takes every i386
# program, even where the kernel could run it: Wine would then boot under
# qemu-user, which it does not survive (ZELQ_WINE_TRY_QEMU=1 tries anyway).
# A loader that cannot even print its version cannot run a program either.
wine_ruled_out() {
    handler=/proc/sys/fs/binfmt_misc/qemu-i386
    if [ "$arch" = win32 ] && [ "${ZELQ_WINE_TRY_QEMU:-0}" != 1 ] && [ -r "$handler" ] &&
        [ "$(head -n 1 "$handler")" = enabled ]; then
        echo "32-bit programs run here only through the qemu-i386 binfmt handler ($handler), not natively (ctest -L i386 in a native build runs the 32-bit code under qemu)"
        return 0
    fi
    if ! version=$(timeout 30 "$ZELQ_WINE" --version </dev/null 2>&1); then
        echo "'$ZELQ_WINE --version' fails: $(printf '%s\n' "$version" | tail -n 1)"
        return 0
    fi
    return 1
}

# Builds the emulated machine into $guest_dir (make-guest.sh keeps one
# that is up to date); prints why not and fails if it can't.
guest_ready() {
    if ! command -v qemu-system-i386 >/dev/null 2>&1; then
        echo "qemu-system-i386 is not installed"
        return 1
    fi
    if ! "$guest_scripts/make-guest.sh" "$guest_dir" </dev/null >"$guest_dir.log" 2>&1; then
        echo "the emulated machine could not be built: $(tail -n 3 "$guest_dir.log")"
        return 1
    fi
}

case "$1" in
start)
    rm -f "$note" "$in_guest"
    mkdir -p "$WINEPREFIX"
    if reason=$(wine_ruled_out); then
        :
    elif ! "$ZELQ_WINESERVER" -p </dev/null >/dev/null 2>&1; then
        reason="wineserver does not start here"
    elif ! timeout "$boot_timeout" "$ZELQ_WINE" wineboot.exe -i </dev/null >/dev/null 2>&1; then
        reason="wineboot -i did not finish within ${boot_timeout}s"
        "$ZELQ_WINESERVER" -k </dev/null >/dev/null 2>&1
    else
        echo "Wine prefix ready: $WINEPREFIX"
        exit 0
    fi
    echo "$arch Wine cannot run natively here: $reason"
    if [ "$arch" != win32 ]; then
        why="only 32-bit programs have an emulated machine"
    elif why=$(guest_ready); then
        echo "$reason" >"$in_guest"
        echo "Wine will run in the emulated i386 machine in $guest_dir"
        exit 0
    fi
    echo "$reason; $why" >"$note"
    echo "no emulated machine either: $why"
    exit 77
    ;;
run)
    shift
    if [ -f "$note" ]; then
        echo "skipped: $(cat "$note")"
        exit 77
    fi
    [ $# = 2 ] || { echo "usage: $0 run EXE DIR" >&2; exit 2; }
    if [ -f "$in_guest" ]; then
        exec "$guest_scripts/run-in-guest.sh" "$guest_dir" "$1" "$2"
    fi
    exec "$ZELQ_WINE" "$1" "Z:$2" </dev/null
    ;;
stop)
    [ -f "$in_guest" ] && exit 0
    "$ZELQ_WINESERVER" -k </dev/null >/dev/null 2>&1
    "$ZELQ_WINESERVER" -w </dev/null >/dev/null 2>&1
    exit 0
    ;;
*)
    echo "usage: $0 start|run EXE DIR|stop" >&2
    exit 2
    ;;
esac
