#!/usr/bin/env bash
# The menu as the shell reaches it, in the tree's own prefix: regsvr32 registers the DLL, the
# shell host makes the registered class for a real folder and gets the menu, creates a drive
# for it with the real companion, gets the delete item on the drive's root and deletes the
# drive, then regsvr32 /u removes the registration.
# usage: shell-host-menu.sh PREFIX RUNDIR BUILD-DIR
set -u
. "$(dirname "$0")/checks.sh"
export WINEPREFIX=$1 WINEDEBUG=-all LC_ALL=en_US.UTF-8 WINEDLLOVERRIDES="winedbg.exe="
run=$2 build=$3
rm -rf "$run" && mkdir -p "$run/Sample Folder" && cd "$run"
cp "$build/Lanterwell.dll" "$build/companion/SUBST.DLL" "$build/tools/shell-host.exe" .
class='HKCR\CLSID\{5B1D7E20-3C44-4A8F-9E61-2F0A7C9D4B13}'
# What registration writes, by the names a reader knows it by.
keys=("$class" 'HKCR\Lanterwell.ShellExtension' 'HKCR\Lanterwell.ShellExtension.1'
    'HKCR\AppID\Lanterwell.DLL' 'HKCR\Folder\ShellEx\ContextMenuHandlers\Lanterwell')
approved=('HKLM\Software\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved' /v
    '{5B1D7E20-3C44-4A8F-9E61-2F0A7C9D4B13}')
present() { # in either view: `wine reg` may be 32-bit, and a 64-bit DLL writes the 64-bit one
    wine reg query "$@" /reg:64 </dev/null >/dev/null 2>&1 ||
        wine reg query "$@" /reg:32 </dev/null >/dev/null 2>&1
}
registered() { # all: every key and the approved value; none: not one of them
    local key found=0
    for key in "${keys[@]}"; do present "$key" && found=$((found + 1)); done
    present "${approved[@]}" && found=$((found + 1))
    if [ "$1" = all ]; then [ "$found" = $((${#keys[@]} + 1)) ]; else [ "$found" = 0 ]; fi
}
host() { wine shell-host.exe --cocreate "$@" </dev/null 2>&1 | tr -d '\r'; }
folder=$(winepath -w "$run/Sample Folder" 2>/dev/null)
wine reg delete "$class" /f </dev/null >/dev/null 2>&1
check "regsvr32 registers the DLL" test "$(exit_code regsvr32 /s Lanterwell.dll)" = 0
check "its class, ProgIDs, AppID, handler entry and approval" registered all
menu=$(host "$folder")
check "the host reaches the registered DLL" grep -qF "server: $(winepath -w "$run" 2>/dev/null)\\Lanterwell.dll" <<<"$menu"
check "and gets the folder's menu" grep -q '^QueryContextMenu: 0x0000001B' <<<"$menu"
letter=$(sed -n 's/.*Drive (&\([D-Z]\):).*/\1/p' <<<"$menu" | tail -n 1)
check "a free letter is offered ($letter)" test -n "$letter"
# Shift held: the drive is made without opening a window on it.
host "$folder" --shift --invoke "$letter" >/dev/null
root=$(host "$letter:\\")
check "the new drive's root offers the delete item" grep -q 'Delete virtual drive' <<<"$root"
host "$letter:\\" --invoke delete >/dev/null
check "and deleting it frees the letter" not grep -q 'Delete virtual drive' <<<"$(host "$letter:\\")"
check "regsvr32 /u removes the registration" test "$(exit_code regsvr32 /u /s Lanterwell.dll)" = 0
check "nothing of the registration is left" registered none
summary "shell-host-menu"
