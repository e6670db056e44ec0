#!/usr/bin/env bash
# Starts or stops the private Wine prefix of a test run.
# usage: wine-prefix.sh start PREFIX win32|win64 | wine-prefix.sh stop PREFIX
set -eu
. "$(dirname "$0")/../tools/wine.sh"
action=$1
export WINEPREFIX=$2 WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=$WINE_PROGRAMS
case $action in
start)
    arch=${3:?the prefix architecture, win32 or win64}
    quiet wineserver -k || true
    # A prefix of the other architecture, or made by another Wine, is made anew: its
    # architecture is fixed when it is made, and another Wine would convert it.
    made_for "$WINEPREFIX" "$arch" || make_prefix "$WINEPREFIX" "$arch"
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
