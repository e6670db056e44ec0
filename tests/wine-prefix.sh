#!/usr/bin/env bash
# Starts or stops the private Wine prefix of a test run.
set -eu
action=$1
export WINEPREFIX=$2 WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
case $action in
start)
    mkdir -p "$WINEPREFIX"
    wineserver -k >/dev/null 2>&1 || true
    # One server for the whole run: later processes start in milliseconds.
    wineserver -p </dev/null >/dev/null 2>&1
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wineboot -i </dev/null >/dev/null 2>&1
    fi
    # Windows need a display; the null driver gives them one without X.
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
    wine reg query 'HKCU\Software\Wine\Drivers' /v Graphics </dev/null 2>/dev/null | grep -q null
    # A crashing test ends at once instead of waiting in the debugger.
    wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f \
        </dev/null >/dev/null 2>&1 || true
    echo "wine prefix ready: $WINEPREFIX"
    ;;
stop)
    wineserver -k >/dev/null 2>&1 || true
    echo "wine prefix stopped"
    ;;
*)
    echo "usage: wine-prefix.sh start|stop PREFIX" >&2
    exit 2
    ;;
esac
