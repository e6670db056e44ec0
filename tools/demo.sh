#!/usr/bin/env bash
# Builds Lanterwell and shows it working under 64-bit Wine on a real folder, the way 64-bit
# Explorer reaches it: registers the x64 DLL with the 64-bit regsvr32, shows the folder's
# context menu through the registered class from a 64-bit host, maps the folder to a drive
# letter, shows the delete item on the new drive's root, deletes the drive, shows the Explorer
# command of Windows 11's compact menu for the same folder, and unregisters.
# usage: demo.sh [--wine10]   (--wine10: on Wine 10 in the amd64 root of tools/roots/make-root.sh,
# instead of the machine's Wine)
set -eu
cd "$(dirname "$0")/.."
root=$PWD
case ${1:-} in
"") bash tools/build.sh >/dev/null ;;
--wine10)
    if [ -z "${LANTERWELL_ROOT:-}" ]; then
        bash tools/build.sh >/dev/null
        exec bash tools/roots/run-in-root.sh amd64 bash tools/demo.sh --wine10
    fi
    ;;
*) echo "usage: demo.sh [--wine10]" >&2 && exit 2 ;;
esac
echo "On $(wine --version)"
build=$root/build/x64
prefix=$build/wineprefix
bash tests/wine-prefix.sh start "$prefix" win64 >/dev/null
trap 'bash "$root/tests/wine-prefix.sh" stop "$prefix" >/dev/null' EXIT
run=$build/runs/demo
rm -rf "$run" && mkdir -p "$run/Sample Folder"
cp "$build/Lanterwell.dll" "$build/companion/SUBST.DLL" "$build/tests/hosts/shell-host.exe" "$run/"
export WINEPREFIX=$prefix WINEDEBUG=-all LC_ALL=ja_JP.UTF-8
cd "$run"
folder=$(winepath -w "$run/Sample Folder" 2>/dev/null)
letter=L

step() {
    printf '\n$ %s\n' "$*"
    "$@"
}
regsvr32='C:\windows\system32\regsvr32.exe'
step wine "$regsvr32" /s Lanterwell.dll
step wine shell-host.exe --cocreate "$folder"
step wine shell-host.exe --cocreate "$folder" --shift --invoke $letter
step wine shell-host.exe --cocreate "$letter:\\"
step wine shell-host.exe --cocreate "$letter:\\" --invoke delete
step wine shell-host.exe --cocreate "$letter:\\"
step env LC_ALL=en_US.UTF-8 wine shell-host.exe --explorer-command "$folder"
step wine "$regsvr32" /u /s Lanterwell.dll
step wine shell-host.exe --cocreate "$folder" || true
