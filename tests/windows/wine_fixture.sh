#!/bin/sh
# Wine for the DLL tests, driven by CTest fixtures.
#   wine_fixture.sh start        create $WINEPREFIX, start a persistent server
#   wine_fixture.sh run EXE...   run EXE under Wine
#   wine_fixture.sh stop         stop the server and wait for it
# Wine's background processes inherit the standard streams of whatever
# starts them, and CTest waits until its output pipe closes: so the server
# and the prefix are started here with all three streams on /dev/null.
# A machine that cannot run 32-bit Wine (no 32-bit execution in the kernel,
# or a Wine that never finishes booting) makes start leave a note, and then
# start and run report "skipped" (exit 77) instead of failing or hanging.
# What can be known without booting Wine is checked first, so that such a
# machine is skipped in a second rather than after the boot timeout.
set -u
: "${WINEPREFIX:?}" "${ZELQ_WINE:?}" "${ZELQ_WINESERVER:?}" "${ZELQ_WINEBOOT:?}"
note="$WINEPREFIX.unusable"
boot_timeout="${ZELQ_WINE_BOOT_TIMEOUT:-150}"

# Prints why 32-bit Wine cannot run here and succeeds, or fails if nothing
# rules it out. An enabled qemu-i386 binfmt handler takes every i386
# program, even where the kernel could run it: Wine would then boot under
# qemu-user, which it does not survive (ZELQ_WINE_TRY_QEMU=1 tries anyway).
# A loader that cannot even print its version cannot run a program either.
wine_ruled_out() {
    handler=/proc/sys/fs/binfmt_misc/qemu-i386
    if [ "${ZELQ_WINE_TRY_QEMU:-0}" != 1 ] && [ -r "$handler" ] &&
        [ "$(head -n 1 "$handler")" = enabled ]; then
        echo "32-bit programs run here only through the qemu-i386 binfmt handler ($handler), not natively (ctest -L i386 in a native build runs the 32-bit code under qemu)"
        return 0
    fi
    if ! version=$(timeout 30 "$ZELQ_WINE" --version </dev/null 2>&1); then
        echo "'$ZELQ_WINE --version' fails (no 32-bit execution here?): $(printf '%s\n' "$version" | tail -n 1)"
        return 0
    fi
    return 1
}

case "$1" in
start)
    rm -f "$note"
    mkdir -p "$WINEPREFIX"
    if reason=$(wine_ruled_out); then
        echo "$reason" >"$note"
    elif ! "$ZELQ_WINESERVER" -p </dev/null >/dev/null 2>&1; then
        echo "wineserver does not start here (no 32-bit execution?)" >"$note"
    elif ! timeout "$boot_timeout" "$ZELQ_WINEBOOT" -i </dev/null >/dev/null 2>&1; then
        echo "wineboot -i did not finish within ${boot_timeout}s" >"$note"
        "$ZELQ_WINESERVER" -k </dev/null >/dev/null 2>&1
    fi
    if [ -f "$note" ]; then
        echo "32-bit Wine unusable on this machine: $(cat "$note")"
        exit 77
    fi
    echo "Wine prefix ready: $WINEPREFIX"
    ;;
run)
    shift
    if [ -f "$note" ]; then
        echo "skipped: $(cat "$note")"
        exit 77
    fi
    exec "$ZELQ_WINE" "$@" </dev/null
    ;;
stop)
    "$ZELQ_WINESERVER" -k </dev/null >/dev/null 2>&1
    "$ZELQ_WINESERVER" -w </dev/null >/dev/null 2>&1
    exit 0
    ;;
*)
    echo "usage: $0 start|run EXE...|stop" >&2
    exit 2
    ;;
esac
