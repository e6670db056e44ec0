#!/usr/bin/env bash
# Starts or stops the private Wine prefix of a test run.
set -eu
action=$1
export WINEPREFIX=$2 WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
quiet() { "$@" </dev/null >/dev/null 2>&1; }
case $action in
start)
    mkdir -p "$WINEPREFIX"
    quiet wineserver -k || true
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        quiet wineboot -i
        # Windows need a display; the null driver gives them one without X. The desktop
        # process reads it when it starts, so the prefix's first server goes.
        quiet wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f
        # A crashing test ends at once instead of waiting in the debugger.
        quiet wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
            /v Debugger /f || true
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
    echo "usage: wine-prefix.sh start|stop PREFIX" >&2
    exit 2
    ;;
esac
