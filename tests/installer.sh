#!/usr/bin/env bash
# The setup program, silently, as a user's deployment tool runs it, in named cases that each
# start from the same fresh prefix: a failed registration; an install (the registry rows of
# each view, the files, each architecture's host reaching the class); an upgrade while a host
# keeps the DLL loaded (replaced at the restart); on 64-bit Windows the package for Windows
# 11's context menu, registered through PowerShell on build 22000 and later only (a stand-in
# records what would run); two setups at once; moves between folders; and an uninstall that
# leaves nothing of ours behind.
# usage: installer.sh SETUP WORKDIR win64|win32 X64-BUILD X86-BUILD RECORDING-PROGRAM
set -u
. "$(dirname "$0")/checks.sh"
setup=$1 work=$2 arch=$3 x64=$4 x86=$5 recorder=$6
# A program that keeps its own file in use, runnable on both kinds of Windows.
planted=$x86/tests/hosts/planted_program.exe
[ -f "$setup" ] || { echo "installer: no setup program at $setup"; exit 1; }
version=$(basename "$setup" -setup.exe)
version=${version#Lanterwell-}
rm -rf "$work" && mkdir -p "$work/Sample Folder"
cp "$x64/tests/hosts/shell-host.exe" "$work/host-x64.exe" 2>/dev/null
cp "$x86/tests/hosts/shell-host.exe" "$work/host-x86.exe"
cd "$work" || exit 1
export WINEPREFIX=$work/prefix WINEDEBUG=-all LC_ALL=ja_JP.UTF-8 WINEDLLOVERRIDES=$WINE_SETUPS
trap 'quiet wineserver -k' EXIT
drive_c=$WINEPREFIX/drive_c
approved='HKLM\Software\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved'
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Lanterwell'
run='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
vendor='HKLM\Software\Lanterwell'
devices='HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\DOS Devices'
powershell=$WINEPREFIX/$powershell_in_prefix
if [ "$arch" = win64 ]; then
    native=64 hosts="x64 x86" start_folder='C:\Program Files (x86)\Lanterwell'
else
    native=32 hosts="x86" start_folder='C:\Program Files\Lanterwell'
fi
# The sets' folders where the setup program puts them by default (main holds the uninstaller),
# and the native set with the build it comes from.
default_folders() {
    dir64='' dir32="$drive_c/Program Files/Lanterwell" set=x86 build=$x86
    [ "$arch" = win64 ] && dir64=$dir32 dir32="$drive_c/Program Files (x86)/Lanterwell" set=x64 build=$x64
    main=${dir64:-$dir32}
}

setup_code() { exit_code "$(winepath -w "$setup" 2>/dev/null)" "$@"; }
windows_path() { winepath -w "$1" 2>/dev/null; }
host_serves() { serves "host-$1.exe" "$2/Lanterwell.dll" "$work/Sample Folder"; }
# until_true PID COMMAND...: waits while PID runs until COMMAND succeeds (the deadline is one
# only a hang reaches).
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
    wine "$1" --cocreate --hold-until "$(windows_path "$work/release.flag")" \
        "$(windows_path "$work/Sample Folder")" </dev/null >hold.txt 2>&1 &
    holder=$!
    until_true $holder grep -qs '^QueryContextMenu' hold.txt && return 0
    echo "the host never loaded the DLL: $(cat hold.txt)" >&2
    return 1
}
release() {
    touch "$work/release.flag"
    wait "$holder"
}
ours="Lanterwell|${CLSID_SHELL_EXTENSION:1:8}|${APPID_LANTERWELL:1:8}|${LIBID_LANTERWELL:1:8}"
ours="$ours|${IID_ISHELL_EXTENSION:1:8}|NSIS|nsu|ns[a-z0-9]*\.tmp"

fresh_prefix "$work/fresh" "$arch" "$recorder"
# in_case NAME: runs the function NAME from the fresh state.
in_case() {
    start_case "$1" "$work/fresh"
    default_folders
    "$1"
}

# Without the shell's approved list the server refuses to register: the failure is reported
# by the exit code, and nothing is left installed.
failed_registration() {
    local view
    for view in 64 32; do quiet wine reg delete "$approved" /f "/reg:$view"; done
    check "a failed registration fails the install (4)" test "$(setup_code /S)" = 4
    check "and leaves no files" test ! -e "$main" -a ! -e "$dir32"
    check "and no Apps & features entry" test -z "$(value $native "$uninstall" DisplayName)"
    check "and no class" test -z "$(server_of $native)"
}

install() {
    check "the silent install succeeds" test "$(setup_code /S)" = 0
    local set dir view build
    for set in $hosts; do
        if [ "$set" = x64 ]; then dir=$dir64 view=64 build=$x64; else dir=$dir32 view=32 build=$x86; fi
        check "$set: Lanterwell.dll installed" cmp -s "$dir/Lanterwell.dll" "$build/Lanterwell.dll"
        check "$set: SUBST.DLL beside it" cmp -s "$dir/SUBST.DLL" "$build/companion/SUBST.DLL"
        check "$set: registered in the $view-bit view" \
            test "$(server_of $view)" = "$(windows_path "$dir/Lanterwell.dll")"
        check "$set: approved in the $view-bit view" \
            test "$(value $view "$approved" "$CLSID_SHELL_EXTENSION")" = Lanterwell
        check "$set: its host reaches the installed class" host_serves "$set" "$dir"
    done
    local file key name expected
    for file in "$main/uninstall.exe" "$main/lwsubst.exe" "$main/Lanterwell.exe" \
        "$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Lanterwell.lnk"; do
        check "installed: ${file#"$drive_c"/}" test -s "$file"
    done
    for file in LICENSE.txt THIRD-PARTY-NOTICES.txt; do
        check "installed: $file" cmp -s "$main/$file" "$x64/installer/docs/$file"
    done
    # Each sign-in restores the user's drives, on by default for every user and not in the
    # installing user's own hive; the Apps & features entry.
    while IFS='|' read -r key name expected; do
        check "$key: $name = $expected" test "$(value "$native" "$key" "$name")" = "$expected"
    done <<ROWS
$run|Lanterwell|"$(windows_path "$main")\lwsubst.exe" /restore
$vendor|RestoreAtSignIn|0x1
HKCU\Software\Lanterwell|RestoreAtSignIn|
$uninstall|DisplayName|Lanterwell
$uninstall|DisplayVersion|$version
$uninstall|VersionMajor|$(printf '0x%x' "${version%%.*}")
$uninstall|VersionMinor|$(printf '0x%x' "$(cut -d. -f2 <<<"$version")")
$uninstall|Publisher|Lanterwell Developers
$uninstall|NoModify|0x1
$uninstall|NoRepair|0x1
ROWS
    check "Apps & features: a size" test -n "$(value $native "$uninstall" EstimatedSize)"
}

# An upgrade while a host keeps the DLL loaded and lwsubst.exe runs, as a restore at sign-in
# keeps it: the installed copy is marked first, so that the replacement shows.
upgrade_while_loaded() {
    check "the first install succeeds" test "$(setup_code /S)" = 0
    printf 'an older build' >>"$main/Lanterwell.dll"
    hold "host-$set.exe"
    cp "$planted" "$main/lwsubst.exe"
    rm -f running.flag
    wine "$main/lwsubst.exe" "$(windows_path "$work/running.flag")" </dev/null >/dev/null 2>&1 &
    local runner=$!
    check "a program keeps lwsubst.exe in use" until_true $runner test -f running.flag
    check "installing over a loaded DLL asks for a restart (3010)" test "$(setup_code /S)" = 3010
    check "the loaded DLL is not replaced yet" not cmp -s "$main/Lanterwell.dll" "$build/Lanterwell.dll"
    check "nor the running lwsubst.exe" cmp -s "$main/lwsubst.exe" "$planted"
    release
    kill -9 $runner && wait $runner 2>/dev/null
    quiet wineboot -r
    check "after the restart the new DLL is in place" cmp -s "$main/Lanterwell.dll" "$build/Lanterwell.dll"
    check "and the new lwsubst.exe" cmp -s "$main/lwsubst.exe" "$build/drives/lwsubst.exe"
    check "and the host still reaches it" host_serves "$set" "$main"
}

windows11_package() {
    check "before Windows 11 no package is registered" \
        test "$(setup_code /S)" = 0 -a ! -e "$powershell.log"
    windows_build 22000
    echo 'Add-AppxPackage : Deployment failed with HRESULT: 0x80073CF3' >"$powershell.fail"
    check "a failed package registration leaves the install standing" test "$(setup_code /S)" = 0
    check "and the log in the install folder says why" grep -q 'Exit code: 1.*0x80073CF3' \
        <(iconv -f UTF-16 -t UTF-8 "$main/setup.log" | tr -d '\r\n')
    rm "$powershell.fail"
    check "a reinstall on Windows 11 succeeds" test "$(setup_code /S)" = 0
    local package=Lanterwell-$version-x64.msix unsigned folder register stub
    unsigned=$(grep -qa AppxSignature.p7x "$main/$package" || echo " -AllowUnsigned")
    folder=$(windows_path "$main")
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
}

# While one setup waits in its wizard (its user has not answered yet), another started
# silently says so and exits with 5, touching nothing.
one_at_a_time() {
    check "the first install succeeds" test "$(setup_code /S)" = 0
    wine "$(windows_path "$setup")" </dev/null >/dev/null 2>&1 &
    local wizard=$! second=
    # Until the wizard holds its mutex; only a hang reaches the deadline.
    for _ in $(seq 1 600); do
        second=$(setup_code /S)
        [ "$second" = 5 ] && break
        sleep 0.5
    done
    check "while a setup runs, a second one exits with 5" test "$second" = 5
    check "and so does the uninstaller" test "$(uninstall_in_place "$main")" = 5
    kill -9 $wizard 2>/dev/null
    wait $wizard 2>/dev/null
}

# Moves, without the sign-in option: into a folder given the long way round (.. and a doubled
# backslash) whose name has a typographic apostrophe, into a tree beside it, then into the
# folder the setup program starts from, named by /D=. The earlier copy goes each time, one
# entry remains, the option's writes go, and every folder a /D= made goes.
moves() {
    [ "$arch" = win64 ] && windows_build 22000
    check "the first install succeeds" test "$(setup_code /S)" = 0
    # Installed over 1.1.2.0, which turned restoring on in the installing user's own hive.
    quiet wine reg add "$uninstall" /v DisplayVersion /d 1.1.2.0 /f /reg:$native
    quiet wine reg add 'HKCU\Software\Lanterwell' /v RestoreAtSignIn /t REG_DWORD /d 1 /f
    # shellcheck disable=SC1112  # the typographic apostrophe is the folder's name
    check "a move into another folder succeeds" \
        test "$(setup_code /S /NORESTORE '/D=C:\Tools\..\Tools\\Lanterwell’s')" = 0
    check "the earlier copy is gone" test ! -e "$main" -a ! -e "$dir32/Lanterwell.dll"
    # shellcheck disable=SC1112  # the typographic apostrophe is the folder's name
    check "the entry names the new folder" \
        test "$(value "$native" "$uninstall" InstallLocation)" = 'C:\Tools\Lanterwell’s'
    [ "$arch" = win64 ] && check "PowerShell gets its apostrophe doubled" grep -qF -e \
        "-Path 'C:\Tools\Lanterwell’’s\\Lanterwell-$version-x64.msix'" "$powershell.log"
    # Without the option: no sign-in entry, no machine default, nor 1.1.2.0's per-user setting.
    local key
    for key in "$run|Lanterwell" "$vendor|RestoreAtSignIn" 'HKCU\Software\Lanterwell|RestoreAtSignIn'; do
        check "gone: $key" test -z "$(value $native "${key%|*}" "${key#*|}")"
    done
    check "a move into a tree beside it succeeds" \
        test "$(setup_code /S /NORESTORE '/D=C:\Tools\Again\Lanterwell')" = 0
    local code
    code=$(typed_exit_code "\"$(windows_path "$setup")\" /S /NORESTORE /D=$start_folder")
    check "/D= naming the folder the setup program starts from is honoured ($code)" test "$code" = 0
    check "the entry names it" test "$(value $native "$uninstall" InstallLocation)" = "$start_folder"
    check "the folders that both /D= made are gone" test ! -e "$drive_c/Tools"
    check "the host reaches the moved class" host_serves "$set" "$(winepath -u "$start_folder" 2>/dev/null)"
}

# The documented silent uninstall of an install in the folder the setup program starts from:
# it waits for its work and tells whether a restart is needed. The 32-bit DLL was deleted by
# hand (its registration goes all the same); on 64-bit Windows the 64-bit one is held by a
# host, with an upgrade of it waiting for the restart, which must neither come back nor stay.
# A sign-in entry of the user's own names the lwsubst.exe that goes, so it goes too.
uninstall_leaves_nothing() {
    [ "$arch" = win64 ] && windows_build 22000
    snapshot before.txt "$drive_c"
    check "the install succeeds" \
        test "$(typed_exit_code "\"$(windows_path "$setup")\" /S /D=$start_folder")" = 0
    main=$(winepath -u "$start_folder" 2>/dev/null) && dir32=$main
    [ "$arch" = win64 ] && dir64=$main dir32=$main/x86
    quiet wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v Lanterwell /f \
        /d "\"$(windows_path "$main")\\lwsubst.exe\" /restore"
    # A drive for every user, the administrator's configuration: the uninstall keeps it.
    check "the installed lwsubst makes a drive for every user" \
        quiet wine "$main/lwsubst.exe" Q: 'C:\windows' /machine
    rm -f "$dir32/Lanterwell.dll"
    [ "$arch" = win64 ] && upgrade_waiting_for_restart
    local quiet_uninstall code waiting=0
    quiet_uninstall=$(value $native "$uninstall" QuietUninstallString)
    check "the quiet uninstall string runs the uninstaller in place" test "$quiet_uninstall" = \
        "\"$(windows_path "$main")\\uninstall.exe\" /S _?=$(windows_path "$main")"
    # Run as a deployment tool runs it: the command line exactly as registered.
    code=$(typed_exit_code "$quiet_uninstall")
    # Returned once done: 3010 exactly when something waits for the restart (the held DLL;
    # and under Wine the running uninstaller's own file, which Wine does not let it move).
    [ -n "$(ls -A "$main" 2>/dev/null)" ] && waiting=3010
    check "the silent uninstall waits and returns its real code ($code)" test "$code" = $waiting
    if [ "$arch" = win64 ]; then
        check "a held DLL makes it 3010" test "$code" = 3010
        check "another product's waiting registration stays" \
            test "$(value 32 "$other" 1.file)" = 'C:\windows\system32\other.dll'
        # Its own tool, at the restart, takes the shared key with it.
        quiet wine reg delete "${other%\\*}" /f /reg:32
        release
    fi
    quiet wineboot -r
    check "after the restart the folder is gone" test ! -e "$main"
    check "the sign-in entry is gone" test -z "$(value $native "$run" Lanterwell)"
    check "the drive for every user stays" test "$(value $native "$devices" Q:)" = '\??\C:\windows'
    check "and Lanterwell's note of it" test "$(value $native "$vendor\\MachineDrives" Q:)" = 'C:\windows'
    quiet wine reg delete "$devices" /v Q: /f
    quiet wine reg delete "$vendor" /f "/reg:$native"
    if [ "$arch" = win64 ]; then
        check "the package is removed for every user" grep -qF -e \
            "-Command \"Get-AppxPackage -AllUsers -Name Lanterwell | Remove-AppxPackage -AllUsers\"" \
            "$powershell.log"
        quiet wine reg delete "$active_setup" /f /reg:64
        check "and no user's sign-in registers it again" not signed_in_registers
    fi
    snapshot after.txt "$drive_c"
    diff before.txt after.txt | grep -E '^[<>]' | grep -E "$ours" >left.txt
    check "nothing of ours is left in the registry or drive_c" test ! -s left.txt
    gone before.txt after.txt >>left.txt
    check "and nothing that was there before is gone" not gone before.txt after.txt
    cat left.txt
}

# A host holds the 64-bit DLL, an upgrade of it waits in the install folder for the restart,
# and another product's registration waits for the same restart in the key every NSIS setup
# shares.
upgrade_waiting_for_restart() {
    hold host-x64.exe
    check "an upgrade over the held DLL waits for the restart (3010)" test "$(setup_code /S)" = 3010
    check "its copy waits in the install folder" compgen -G "$dir64/ns*.tmp"
    other="HKLM\\Software\\NSIS.Library.RegTool.v3\\{0DD5E0A2-5E1F-4C21-9F0B-6A1D2C3B4E5F}"
    quiet wine reg add "$other" /v count /t REG_DWORD /d 1 /f /reg:32
    quiet wine reg add "$other" /v 1.file /d 'C:\windows\system32\other.dll' /f /reg:32
    quiet wine reg add "$other" /v 1.mode /d D /f /reg:32
}

cases="failed_registration install upgrade_while_loaded one_at_a_time moves uninstall_leaves_nothing"
[ "$arch" = win64 ] && cases=${cases/one_at_a_time/windows11_package one_at_a_time}
for name in $cases; do
    in_case "$name"
done
summary "installer ($arch)"
