#!/bin/sh
# Runs a Windows program under Wine in a prefix of its own inside the build folder.
# CTest uses this as the cross-compiling emulator of the windows preset.
set -e
prefix=${TARVEL_WINEPREFIX:-$(pwd)/wineprefix}
case "$prefix" in /*) ;; *) prefix=$(pwd)/$prefix ;; esac
export WINEPREFIX="$prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Turns off oleaut32's BSTR cache, so that every SysFreeString reaches the task allocator.
export oanocache=1
mkdir -p "$WINEPREFIX"
if [ ! -f "$WINEPREFIX/.tarvel-ready" ]; then
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.tarvel-ready" ]; then
            wineboot -i >/dev/null 2>&1 </dev/null || true
            wineserver -w
            touch "$WINEPREFIX/.tarvel-ready"
        fi
    ) 9>"$WINEPREFIX.lock"
fi
# One wineserver for the prefix, started here with none of the caller's files open, which stays
# 30 s after its last program: a program started just as the server of the one before ends
# finds no server to connect to, and fails at once (seen once in a few hundred test runs).
wineserver -p30 </dev/null >/dev/null 2>&1 || true
# A wineserver that wine starts itself inherits the program's output and keeps it open for seconds
# after the program ends, so a caller reading a pipe would wait for it. The program writes to
# files instead, which are copied out when it ends; unless TARVEL_WINE_OUTPUT=direct, for a
# caller that gives the program an output of its own to meet (a full device, a closed pipe).
if [ "${TARVEL_WINE_OUTPUT:-}" = direct ]; then
    exec wine "$@" </dev/null
fi
out=$(mktemp)
err=$(mktemp)
status=0
wine "$@" </dev/null >"$out" 2>"$err" || status=$?
cat "$out"
cat "$err" >&2
rm -f "$out" "$err"
exit $status
