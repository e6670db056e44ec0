#!/usr/bin/env bash
# Unpacks the test bundle into a fresh folder outside any checkout and runs it as a Windows
# user would: run-tests.cmd in cmd.exe, from that folder.
# usage: run-bundle.sh PREFIX ZIP [SUITE...]
set -eu
. "$(dirname "$0")/../../tools/wine.sh"
prefix=$1 zip=$2
shift 2
place=$(mktemp -d)
trap 'rm -rf "$place"' EXIT
(cd "$place" && cmake -E tar xf "$zip")
folder=$(find "$place" -mindepth 1 -maxdepth 1 -type d)
export WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all} LC_ALL=ja_JP.UTF-8 WINEDLLOVERRIDES=$WINE_PROGRAMS
cd "$folder"
status=0
wine cmd.exe /c run-tests.cmd "$@" </dev/null >output.txt 2>&1 || status=$?
cat output.txt
grep -qs '<testsuites>' results.xml || { echo "run-bundle: no report" >&2; status=1; }
exit $status
