#!/usr/bin/env bash
# The setup program in a fresh prefix, silently, as a user's deployment tool runs it: install,
# the registry rows of each view and the files, each architecture's host reaching the class,
# an upgrade while a host keeps the DLL loaded (replaced at the restart), and an uninstall
# that leaves nothing of ours behind.
# On 64-bit Windows also the package for Windows 11's context menu: registered and removed
# through PowerShell on build 22000 and later only (a stand-in records what would run).
# usage: installer.sh SETUP WORKDIR win64|win32 X64-BUILD X86-BUILD RECORDING-PROGRAM
set -u
. "$(dirname "$0")/checks.sh"
setup=$1 work=$2 arch=$3 x64=$4 x86=$5 recorder=$6
# A program that keeps its own file in use, runnable on both kinds of Windows.
planted=$x86/tests/planted_program.exe
[ -f "$setup" ] || { echo "installer: no setup program at $setup"; exit 1; }
version=$(basename "$setup" -setup.exe)
version=${version#Lanterwell-}
rm -rf "$work" && mkdir -p "$work/Sample Folder"
export WINEPREFIX=$work/prefix WINEARCH=$arch WINEDEBUG=-all LC_ALL=ja_JP.UTF-8
# No menu entries or file associations outside the prefix; no debugger, no Mono, no Gecko.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml,winedbg.exe="
quiet wineboot -i
quiet wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f
quiet wineserver -k
quiet wineserver -p
trap 'quiet wineserver -k' EXIT
unset WINEARCH


class='HKCR\CLSID\{5B1D7E20-3C44-4A8F-9E61-2F0A7C9D4B13}'
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Lanterwell'
drive_c=$WINEPREFIX/drive_c
if [ "$arch" = win64 ]; then
    dir64="$drive_c/Program Files/Lanterwell" dir32="$drive_c/Program Files (x86)/Lanterwell"
    native=64 hosts="x64 x86"
else
    dir64= dir32="$drive_c/Program Files/Lanterwell" native=32 hosts="x86"
fi
cp "$x64/tools/shell-host.exe" "$work/host-x64.exe" 2>/dev/null
cp "$x86/tools/shell-host.exe" "$work/host-x86.exe"
cd "$work"

serves() { # x64|x86 DIR: that architecture's host reaches the installed DLL and gets the menu
    local out
    out=$(wine "host-$1.exe" --cocreate "$(winepath -w "$work/Sample Folder" 2>/dev/null)" \
        </dev/null 2>&1 | tr -d '\r')
    grep -qF "server: $(winepath -w "$2/Lanterwell.dll" 2>/dev/null) (" <<<"$out" &&
        grep -q '^QueryContextMenu: 0x0000001B' <<<"$out"
}
# until PID COMMAND...: waits while PID runs until COMMAND succeeds (the deadline is one only
# a hang reaches).
until_true() {
    local pid=$1
    shift
    for _ in $(seq 1 1200); do
        "$@" && return 0
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.25
    done
    return 1
}
# hold HOST: a host keeps the installed DLL loaded, as Explorer does, until `release`; returns
# once it has loaded it.
hold() {
    rm -f hold.txt release.flag
    wine "$1" --cocreate --hold-until "$(winepath -w "$work/release.flag" 2>/dev/null)" \
        "$(winepath -w "$work/Sample Folder" 2>/dev/null)" </dev/null >hold.txt 2>&1 &
    holder=$!
    until_true $holder grep -qs '^QueryContextMenu' hold.txt && return 0
    echo "the host never loaded the DLL: $(cat hold.txt)" >&2
    return 1
}
release() {
    touch "$work/release.flag"
    wait $holder
}
# Windows' Active Setup at a user's sign-in: a component whose Version is above the user's
# runs its StubPath as the user, then the user's Version is set. Succeeds when it ran.
wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)
active_setup='HKCU\Software\Microsoft\Active Setup\Installed Components\Lanterwell'
machine_setup=${active_setup/HKCU/HKLM}
signed_in_registers() {
    local stub version
    stub=$(value 64 "$machine_setup" StubPath) version=$(value 64 "$machine_setup" Version)
    [ -n "$stub" ] && [ "$(value 64 "$active_setup" Version)" != "$version" ] || return 1
    printf '@%s\r\n' "$stub" >signin.bat
    # Explorer's 64-bit side runs it: the 64-bit command processor, and the stand-in rather
    # than Wine's own powershell.exe.
    WINEDLLOVERRIDES="$WINEDLLOVERRIDES;powershell.exe=n" quiet "$wine64" cmd /c signin.bat
    quiet wine reg add "$active_setup" /v Version /d "$version" /f /reg:64
}
snapshot() { # FILE: the registry of both views and the files of drive_c, one line each
    local view
    for view in 64 32; do
        for root in HKLM HKCU; do
            quiet wine reg export "$root" "export.reg" /y "/reg:$view"
            iconv -f UTF-16LE -t UTF-8 export.reg 2>/dev/null | tr -d '\r' | sed "s/^/$view $root /"
        done
    done >"$1"
    (cd "$drive_c" && find . -path ./users -prune -o -print | sort) >>"$1"
    (cd "$drive_c/users" && find . -print | sort) >>"$1"
    rm -f export.reg
}
ours='Lanterwell|5B1D7E20|A7E3C915|3E9F4C61|C62B8D47|NSIS|nsu|ns[a-z0-9]*\.tmp'

# PowerShell as the setup program finds it on 64-bit Windows, recording its command lines, and
# a Windows before 11.
powershell=$drive_c/windows/system32/WindowsPowerShell/v1.0/powershell.exe
windows_build() {
    quiet wine reg add 'HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion' /v CurrentBuildNumber \
        /d "$1" /f /reg:64
}
if [ "$arch" = win64 ]; then
    mkdir -p "$(dirname "$powershell")" && cp "$recorder" "$powershell"
    windows_build 19045
fi

snapshot before.txt

# A registration that fails (without the shell's approved list the server refuses to
# register): reported by the exit code, and nothing is left installed.
approved='HKLM\Software\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved'
for view in 64 32; do quiet wine reg delete "$approved" /f "/reg:$view"; done
check "a failed registration fails the install (4)" test "$(exit_code "$(winepath -w "$setup")" /S)" = 4
check "and leaves no files" test ! -e "${dir64:-$dir32}" -a ! -e "$dir32"
check "and no Apps & features entry" test -z "$(value $native "$uninstall" DisplayName)"
check "and no class" test -z "$(value $native "$class\InprocServer32" '')"
for view in 64 32; do quiet wine reg add "$approved" /f "/reg:$view"; done

check "the silent install succeeds" test "$(exit_code "$(winepath -w "$setup")" /S)" = 0
for set in $hosts; do
    if [ $set = x64 ]; then dir=$dir64 view=64 build=$x64; else dir=$dir32 view=32 build=$x86; fi
    check "$set: Lanterwell.dll installed" cmp -s "$dir/Lanterwell.dll" "$build/Lanterwell.dll"
    check "$set: SUBST.DLL beside it" cmp -s "$dir/SUBST.DLL" "$build/companion/SUBST.DLL"
    check "$set: registered in the $view-bit view" test \
        "$(value $view "$class\\InprocServer32" '')" = "$(winepath -w "$dir/Lanterwell.dll" 2>/dev/null)"
    check "$set: approved in the $view-bit view" test "$(value $view \
        'HKLM\Software\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved' \
        '{5B1D7E20-3C44-4A8F-9E61-2F0A7C9D4B13}')" = Lanterwell
    check "$set: its host reaches the installed class" serves $set "$dir"
done
main=${dir64:-$dir32}
check "the uninstaller is in the install folder" test -f "$main/uninstall.exe"
check "lwsubst.exe is beside the DLLs" test -f "$main/lwsubst.exe"
check "the drives window too" test -f "$main/Lanterwell.exe"
check "on every user's Start menu" \
    test -s "$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Lanterwell.lnk"
check "the licence beside it" cmp -s "$main/LICENSE.txt" "$x64/installer/docs/LICENSE.txt"
check "and the toolchains' notices" \
    cmp -s "$main/THIRD-PARTY-NOTICES.txt" "$x64/installer/docs/THIRD-PARTY-NOTICES.txt"
run='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
check "each sign-in restores the user's drives" test "$(value $native "$run" Lanterwell)" = \
    "\"$(winepath -w "$main" 2>/dev/null)\\lwsubst.exe\" /restore"
check "restoring is on by default for every user" \
    test "$(value $native 'HKLM\Software\Lanterwell' RestoreAtSignIn)" = 0x1
check "and the installing user's own hive is left alone" \
    test -z "$(value $native 'HKCU\Software\Lanterwell' RestoreAtSignIn)"
check "Apps & features: name" test "$(value $native "$uninstall" DisplayName)" = Lanterwell
check "Apps & features: the release's version" \
    test "$(value $native "$uninstall" DisplayVersion)" = "$version"
check "Apps & features: its major and minor numbers" test \
    "$(value $native "$uninstall" VersionMajor).$(value $native "$uninstall" VersionMinor)" = \
    "$(printf '0x%x.0x%x' "$(cut -d. -f1 <<<"$version")" "$(cut -d. -f2 <<<"$version")")"
check "Apps & features: publisher" test "$(value $native "$uninstall" Publisher)" = \
    "Lanterwell Developers"
check "Apps & features: no modify" test "$(value $native "$uninstall" NoModify)" = 0x1
check "Apps & features: no repair" test "$(value $native "$uninstall" NoRepair)" = 0x1
check "Apps & features: a size" test -n "$(value $native "$uninstall" EstimatedSize)"

# An upgrade while a host keeps the DLL loaded: the installed copy is marked first, so that the
# replacement shows.
set=${hosts%% *}
build=$([ $set = x64 ] && echo "$x64" || echo "$x86")
printf 'an older build' >>"$main/Lanterwell.dll"
hold "host-$set.exe"
# lwsubst.exe running too, as a restore at sign-in keeps it.
cp "$planted" "$main/lwsubst.exe"
rm -f running.flag
wine "$main/lwsubst.exe" "$(winepath -w "$work/running.flag" 2>/dev/null)" </dev/null >/dev/null 2>&1 &
runner=$!
check "a program keeps lwsubst.exe in use" until_true $runner test -f running.flag
check "installing over a loaded DLL asks for a restart (3010)" \
    test "$(exit_code "$(winepath -w "$setup")" /S)" = 3010
check "the loaded DLL is not replaced yet" not cmp -s "$main/Lanterwell.dll" "$build/Lanterwell.dll"
check "nor the running lwsubst.exe" cmp -s "$main/lwsubst.exe" "$planted"
release
kill -9 $runner && wait $runner 2>/dev/null
quiet wineboot -r
check "after the restart the new DLL is in place" cmp -s "$main/Lanterwell.dll" "$build/Lanterwell.dll"
check "and the new lwsubst.exe" cmp -s "$main/lwsubst.exe" "$build/tools/lwsubst.exe"
check "and the host still reaches it" serves $set "$main"

if [ "$arch" = win64 ]; then
    check "before Windows 11 no package is registered" test ! -e "$powershell.log"
    windows_build 22000
    echo 'Add-AppxPackage : Deployment failed with HRESULT: 0x80073CF3' >"$powershell.fail"
    check "a failed package registration leaves the install standing" \
        test "$(exit_code "$(winepath -w "$setup")" /S)" = 0
    check "and the log in the install folder says why" grep -q 'Exit code: 1.*0x80073CF3' \
        <(iconv -f UTF-16 -t UTF-8 "$main/setup.log" | tr -d '\r\n')
    rm "$powershell.fail"
    check "a reinstall on Windows 11 succeeds" test "$(exit_code "$(winepath -w "$setup")" /S)" = 0
    package=Lanterwell-$version-x64.msix
    unsigned=$(grep -qa AppxSignature.p7x "$main/$package" || echo " -AllowUnsigned")
    folder=$(winepath -w "$main" 2>/dev/null)
    check "the package is in the install folder" cmp -s "$main/$package" "$x64/$package"
    register="Add-AppxPackage -Path '$folder\\$package' -ExternalLocation '$folder'$unsigned"
    check "it is registered for the installing user, who is the session's" grep -qxF \
        "\"C:\\windows\\system32\\WindowsPowerShell\\v1.0\\powershell.exe\" -NoProfile -NonInteractive -Command \"$register\"" \
        "$powershell.log"
    stub="\"C:\\windows\\System32\\WindowsPowerShell\\v1.0\\powershell.exe\" -NoProfile -NonInteractive -WindowStyle Hidden -Command \"$register\""
    check "each user's sign-in registers it (Active Setup)" \
        test "$(value 64 "$machine_setup" StubPath)" = "$stub"
    check "for this release" test "$(value 64 "$machine_setup" Version)" = "$(tr . , <<<"$version.0")"
    check "the installing user's own sign-in does not again" not signed_in_registers
    quiet wine reg delete "$active_setup" /f /reg:64
    check "another user's first sign-in registers it, as that user" signed_in_registers
    check "exactly as the setup program wrote it" test "$(tail -n 1 "$powershell.log")" = "$stub"
    check "their second sign-in does not" not signed_in_registers
fi

# Two setups at once: while one waits in its wizard (its user has not answered yet), another
# started silently says so and exits with 5, touching nothing.
wine "$(winepath -w "$setup")" </dev/null >/dev/null 2>&1 &
wizard=$!
second=
# Until the wizard holds its mutex; only a hang reaches the deadline.
for _ in $(seq 1 600); do
    second=$(exit_code "$(winepath -w "$setup")" /S)
    [ "$second" = 5 ] && break
    sleep 0.5
done
check "while a setup runs, a second one exits with 5" test "$second" = 5
# _?= takes the rest of the line unquoted: the folder's short name has no blank.
short_main=$(winepath -s "$(winepath -w "$main" 2>/dev/null)" 2>/dev/null)
check "and so does the uninstaller" test "$(exit_code "$short_main\\uninstall.exe" /S \
    "_?=$short_main")" = 5
kill -9 $wizard 2>/dev/null
wait $wizard 2>/dev/null
# The killed wizard leaves its plug-in folder behind: the test's doing, not the setup's.
rm -rf "$drive_c"/users/*/Temp/ns*.tmp

# A move, into a folder given the long way round (.. and a doubled backslash) whose name has
# a typographic apostrophe, without the sign-in option: the earlier copy goes, one entry
# remains, the option's writes go.
moved="$drive_c/Tools/Lanterwell’s"
old_main=$main
# Installed over 1.1.2.0, which turned restoring on in the installing user's own hive.
quiet wine reg add "$uninstall" /v DisplayVersion /d 1.1.2.0 /f /reg:$native
quiet wine reg add 'HKCU\Software\Lanterwell' /v RestoreAtSignIn /t REG_DWORD /d 1 /f
check "a move into another folder succeeds" test "$(exit_code "$(winepath -w "$setup")" /S \
    /NORESTORE '/D=C:\Tools\..\Tools\\Lanterwell’s')" = 0
check "the earlier copy is gone" test ! -e "$old_main" -a ! -e "$dir32/Lanterwell.dll"
check "the entry names the new folder" test "$(value $native "$uninstall" InstallLocation)" = \
    'C:\Tools\Lanterwell’s'
[ "$arch" = win64 ] && check "PowerShell gets its apostrophe doubled" grep -qF -e \
    "-Path 'C:\Tools\Lanterwell’’s\\Lanterwell-$version-x64.msix'" "$powershell.log"
check "without the option the sign-in entry is gone" test -z "$(value $native "$run" Lanterwell)"
check "and so is the machine's restore default" \
    test -z "$(value $native 'HKLM\Software\Lanterwell' RestoreAtSignIn)"
check "and 1.1.2.0's setting for the installing user" \
    test -z "$(value $native 'HKCU\Software\Lanterwell' RestoreAtSignIn)"
# On into a folder beside it in the tree the first move made, then into the folder the setup
# program starts from, named by /D=: both honoured, and every folder either /D= made goes.
check "a move into a tree beside it succeeds" test "$(exit_code "$(winepath -w "$setup")" /S \
    /NORESTORE '/D=C:\Tools\Again\Lanterwell')" = 0
if [ "$arch" = win64 ]; then start_folder='C:\Program Files (x86)\Lanterwell'
else start_folder='C:\Program Files\Lanterwell'; fi
code=$(typed_exit_code "\"$(winepath -w "$setup")\" /S /NORESTORE /D=$start_folder")
check "/D= naming the folder the setup program starts from is honoured ($code)" test "$code" = 0
check "the entry names it" test "$(value $native "$uninstall" InstallLocation)" = "$start_folder"
check "the folders that both /D= made are gone" test ! -e "$drive_c/Tools"
main=$(winepath -u "$start_folder" 2>/dev/null)
if [ "$arch" = win64 ]; then dir64=$main dir32=$main/x86; else dir32=$main; fi
set=${hosts%% *}
check "the host reaches the moved class" serves $set "$main"

# A sign-in entry of the user's own, as lwsubst /persist on makes one without the setup
# program's: it names the lwsubst.exe that goes, so it goes too (the snapshot sees it).
quiet wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v Lanterwell /f \
    /d "\"$(winepath -w "$main" 2>/dev/null)\\lwsubst.exe\" /restore"
# The documented silent uninstall waits for its work and tells a restart is needed: the 32-bit
# DLL was deleted by hand (its registration goes all the same) and, on 64-bit Windows, the
# 64-bit one is held by a host.
rm -f "$dir32/Lanterwell.dll"
if [ "$arch" = win64 ]; then
    hold host-x64.exe
    # An upgrade that waits for its restart, uninstalled before that restart: its copy waits
    # in the install folder, and nothing of it may come back or stay behind.
    check "an upgrade over the held DLL waits for the restart (3010)" \
        test "$(exit_code "$(winepath -w "$setup")" /S)" = 3010
    check "its copy waits in the install folder" compgen -G "$dir64/ns*.tmp"
    # Another product's registration waiting for the same restart, in the key every NSIS
    # setup shares.
    other='HKLM\Software\NSIS.Library.RegTool.v3\{0DD5E0A2-5E1F-4C21-9F0B-6A1D2C3B4E5F}'
    quiet wine reg add "$other" /v count /t REG_DWORD /d 1 /f /reg:32
    quiet wine reg add "$other" /v 1.file /d 'C:\windows\system32\other.dll' /f /reg:32
    quiet wine reg add "$other" /v 1.mode /d D /f /reg:32
fi
quiet_uninstall=$(value $native "$uninstall" QuietUninstallString)
check "the quiet uninstall string runs the uninstaller in place" \
    test "$quiet_uninstall" = "\"$(winepath -w "$main" 2>/dev/null)\\uninstall.exe\" /S _?=$(winepath -w "$main" 2>/dev/null)"
# Run as a deployment tool runs it: the command line exactly as registered.
code=$(typed_exit_code "$quiet_uninstall")
# Returned once done: 3010 exactly when something waits for the restart (the held DLL; and
# under Wine the running uninstaller's own file, which Wine does not let it move away).
waiting=0
[ -n "$(ls -A "$main" 2>/dev/null)" ] && waiting=3010
check "the silent uninstall waits and returns its real code ($code)" test "$code" = $waiting
if [ "$arch" = win64 ]; then
    check "a held DLL makes it 3010" test "$code" = 3010
    check "another product's waiting registration stays" \
        test "$(value 32 "$other" 1.file)" = 'C:\windows\system32\other.dll'
    # Its own tool, at the restart, takes the shared key with it.
    quiet wine reg delete "${other%\\*}" /f /reg:32
fi
[ "$arch" = win64 ] && release
quiet wineboot -r
check "after the restart the folder is gone" test ! -e "$main"
snapshot after.txt
diff before.txt after.txt | grep -E '^[<>]' | grep -E "$ours" >left.txt
check "the sign-in entry is gone" test -z "$(value $native "$run" Lanterwell)"
if [ "$arch" = win64 ]; then
    check "the package is removed for every user" grep -qF -e \
        "-Command \"Get-AppxPackage -AllUsers -Name Lanterwell | Remove-AppxPackage -AllUsers\"" \
        "$powershell.log"
    quiet wine reg delete "$active_setup" /f /reg:64
    check "and no user's sign-in registers it again" not signed_in_registers
fi
check "nothing of ours is left in the registry or drive_c" test ! -s left.txt
cat left.txt

summary "installer ($arch)"
