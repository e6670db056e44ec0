#!/usr/bin/env bash
# Builds Lanterwell and shows its context menu working under Wine on a real folder: the
# menu of the folder, mapping it to a drive letter, the menu of the new drive's root with
# the delete item, and deleting the drive again.
set -eu
cd "$(dirname "$0")/.."
root=$PWD
bash tools/build.sh >/dev/null
prefix=$root/build/wineprefix
bash tests/wine-prefix.sh start "$prefix" >/dev/null
trap 'bash "$root/tests/wine-prefix.sh" stop "$prefix" >/dev/null' EXIT
run=$root/build/runs/demo
rm -rf "$run" && mkdir -p "$run/Sample Folder"
cp build/Lanterwell.dll build/companion/SUBST.DLL build/tools/shell-host.exe "$run/"
export WINEPREFIX=$prefix WINEDEBUG=-all LC_ALL=ja_JP.UTF-8
cd "$run"
folder=$(winepath -w "$run/Sample Folder" 2>/dev/null)
letter=L

step() {
    printf '\n$ shell-host %s\n' "$*"
    wine shell-host.exe "$@"
}
step "$folder"
step "$folder" --shift --invoke $letter
step "$letter:\\"
step "$letter:\\" --invoke delete
step "$letter:\\"
