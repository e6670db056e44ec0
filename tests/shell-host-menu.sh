#!/usr/bin/env bash
# The menu as the shell reaches it, in the tree's own prefix: regsvr32 registers the DLL,
# writing exactly what the setup program's fallback removal takes away; the shell host makes
# the registered class for a real folder and gets the menu, creates a drive for it with the
# real companion, gets the delete item on the drive's root and deletes the drive, then
# regsvr32 /u removes the registration.
# usage: shell-host-menu.sh PREFIX RUNDIR BUILD-DIR
set -u
. "$(dirname "$0")/checks.sh"
export WINEPREFIX=$1 WINEDEBUG=-all LC_ALL=en_US.UTF-8 WINEDLLOVERRIDES=$WINE_PROGRAMS
run=$2 build=$3
rm -rf "$run" && mkdir -p "$run/Sample Folder" && cd "$run" || exit 1
cp "$build/Lanterwell.dll" "$build/companion/SUBST.DLL" "$build/tests/hosts/shell-host.exe" .
view=64
grep -qx '#arch=win32' "$WINEPREFIX/system.reg" && view=32
host() { wine shell-host.exe --cocreate "$@" </dev/null 2>&1 | tr -d '\r'; }
# written FILE: the keys of the classes and the approved list's values, one a line, in lower
# case (the registry's names are not), the 32-bit view's below Wow6432Node as the keys they are.
approved='HKLM\Software\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved'
written() {
    quiet wine reg export HKCR classes.reg /y "/reg:$view" &&
        quiet wine reg export "$approved" approved.reg /y "/reg:$view"
    { iconv -f UTF-16LE -t UTF-8 classes.reg | sed -n 's/^\[HKEY_CLASSES_ROOT\(.*\)\]\r$/HKCR\1|/p'
        iconv -f UTF-16LE -t UTF-8 approved.reg | sed -n "s/^\"\\(.*\\)\"=.*/${approved//\\/\\\\}|\\1/p"
    } | sed 's/^HKCR\\Wow6432Node\\/HKCR\\/I' | lower | LC_ALL=C sort -u >"$1"
}
lower() { tr '[:upper:]' '[:lower:]'; }
# Every key or value that registration added is a row of the list, lies below one, or leads
# to one; and every row was added.
as_listed() {
    LC_ALL=C comm -13 before.txt after.txt | ROWS=$(registration_rows | lower) awk -F'|' '
        BEGIN { n = split(ENVIRON["ROWS"], row, "\n") }
        { added[$0]; for (i = 1; i <= n; i++) {
              split(row[i], r, "|")
              if ($0 == row[i] || index($0, r[1] "\\") == 1 || index(r[1], $1 "\\") == 1) next }
          print "not in the list: " $0; bad = 1 }
        END { for (i = 1; i <= n; i++) if (!(row[i] in added)) { print "not written: " row[i]; bad = 1 }
              exit bad }'
}

folder=$(winepath -w "$run/Sample Folder" 2>/dev/null)
# Unregistered, whatever an earlier run left; and COM's own services started, which write
# keys of their own when they first start.
quiet wine regsvr32 /u /s Lanterwell.dll
written before.txt
check "regsvr32 registers the DLL" test "$(exit_code regsvr32 /s Lanterwell.dll)" = 0
check "its class, ProgIDs, AppID, handler entry and approval" registered $view all
written after.txt
check "exactly what the setup program's fallback removes" as_listed
check "the host reaches the registered DLL and gets the folder's menu" \
    serves shell-host.exe "$run/Lanterwell.dll" "$run/Sample Folder"
menu=$(host "$folder")
letter=$(sed -n 's/.*Drive (&\([D-Z]\):).*/\1/p' <<<"$menu" | tail -n 1)
check "a free letter is offered ($letter)" test -n "$letter"
# Shift held: the drive is made without opening a window on it.
host "$folder" --shift --invoke "$letter" >/dev/null
root=$(host "$letter:\\")
check "the new drive's root offers the delete item" grep -q 'Delete virtual drive' <<<"$root"
host "$letter:\\" --invoke delete >/dev/null
check "and deleting it frees the letter" not grep -q 'Delete virtual drive' <<<"$(host "$letter:\\")"
check "regsvr32 /u removes the registration" test "$(exit_code regsvr32 /u /s Lanterwell.dll)" = 0
check "nothing of the registration is left" registered $view none
summary "shell-host-menu"
