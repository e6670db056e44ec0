#!/usr/bin/env bash
# Builds Lanterwell and shows it working under Wine on a real folder.
set -eu
cd "$(dirname "$0")/.."
root=$PWD
bash tools/build.sh >/dev/null
prefix=$PWD/build/wineprefix
bash tests/wine-prefix.sh start "$prefix" >/dev/null
trap 'bash "$root/tests/wine-prefix.sh" stop "$prefix" >/dev/null' EXIT
run=build/runs/demo
rm -rf "$run" && mkdir -p "$run/Sample Folder"
cp build/Lanterwell.dll build/companion/SUBST.DLL build/tools/demo.exe "$run/"
export WINEPREFIX=$prefix WINEDEBUG=-all LC_ALL=ja_JP.UTF-8
cd "$run"
wine demo.exe "$(winepath -w "$PWD/Sample Folder" 2>/dev/null)"
