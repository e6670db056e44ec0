#!/usr/bin/env bash
# Starts or stops the private Wine prefix of a test run.
# usage: wine-prefix.sh start PREFIX win32|win64 | wine-prefix.sh stop PREFIX
set -eu
action=$1
export WINEPREFIX=$2 WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
quiet() { "$@" </dev/null >/dev/null 2>&1; }
case $action in
start)
    arch=${3:?the prefix architecture, win32 or win64}
    quiet wineserver -k || true
    # A prefix made for the other architecture (or by an older run that let Wine choose) is
    # made anew: its architecture is fixed when it is created. So is one made by another Wine,
    # which would otherwise be converted, and converted back on the next run of the first.
    wine=$(wine --version)
    if [ -f "$WINEPREFIX/system.reg" ] && { ! grep -qx "#arch=$arch" "$WINEPREFIX/system.reg" ||
        [ "$(cat "$WINEPREFIX/.made-by" 2>/dev/null)" != "$wine" ]; }; then
        rm -rf "$WINEPREFIX"
    fi
    mkdir -p "$WINEPREFIX"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        WINEARCH=$arch quiet wineboot -i
        echo "$wine" >"$WINEPREFIX/.made-by"
        # Windows need a display; the null driver gives them one without X. The desktop
        # process reads it when it starts, so the prefix's first server goes.
        quiet wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f
        # A crashing test ends at once instead of waiting in the debugger.
        quiet wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
            /v Debugger /f || true
        [ "$arch" = win32 ] || quiet wine reg delete \
            'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f /reg:32 || true
        quiet wineserver -k || true
        quiet wineserver -w || true
    fi
    # One server for the whole run: later processes start in milliseconds.
    quiet wineserver -p
    wine reg query 'HKCU\Software\Wine\Drivers' /v Graphics </dev/null 2>/dev/null | grep -q null
    echo "wine prefix ready: $WINEPREFIX"
    ;;
stop)
    quiet wineserver -k || true
    echo "wine prefix stopped"
    ;;
*)
    echo "usage: wine-prefix.sh start PREFIX win32|win64 | stop PREFIX" >&2
    exit 2
    ;;
esac
