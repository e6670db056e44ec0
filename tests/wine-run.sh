#!/usr/bin/env bash
# Runs one Windows program under Wine in a fresh folder.
# usage: wine-run.sh PREFIX RUNDIR LOCALE VERSION PROGRAM[=NAME] [FILE[=NAME] ...]
# VERSION is "default" or a Windows version that Wine reports to this program alone.
set -eu
. "$(dirname "$0")/../tools/wine.sh"
prefix=$1 rundir=$2 locale=$3 version=$4
shift 4
rm -rf "$rundir"
mkdir -p "$rundir"
program=
for item in "$@"; do
    source=${item%%=*}
    name=$(basename "$source")
    [ "$item" != "$source" ] && name=${item#*=}
    cp "$source" "$rundir/$name"
    [ -z "$program" ] && program=$name
done

export WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all} LC_ALL=$locale WINEDLLOVERRIDES=$WINE_PROGRAMS
key="HKCU\\Software\\Wine\\AppDefaults\\$program"
if [ "$version" = default ]; then
    quiet wine reg delete "$key" /f || true
else
    quiet wine reg add "$key" /v Version /d "$version" /f
fi

cd "$rundir"
# Output goes through a file: processes that a test starts may outlive it and must not
# hold the test runner's pipe open.
status=0
# shellcheck disable=SC2086
wine "$program" ${WINE_RUN_ARGS:---gtest_color=no} </dev/null >output.txt 2>&1 || status=$?
cat output.txt
# A program that dies without its summary line has failed, whatever its exit code.
summary=${WINE_RUN_SUMMARY:-'^\[  PASSED  \]'}
if [ "$status" = 0 ] && ! grep -q "$summary" output.txt; then
    echo "wine-run: $program ended without its test summary" >&2
    status=1
fi
exit $status
