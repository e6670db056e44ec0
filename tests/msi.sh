#!/usr/bin/env bash
# The Windows Installer package under Wine's msiexec, as a deployment tool runs it, in named
# cases that each start from the same fresh prefix: the install (the files, the registration
# of each view compared key by key with what regsvr32 writes for the same files, each
# architecture's host reaching the class, the Start menu, the sign-in option and
# RESTOREATSIGNIN=0); a repair after a file and a value are deleted; a major upgrade from a
# package of a lower version made here; an uninstall that leaves nothing; and the package and
# the setup program each refusing to install beside the other. The tables a deployment tool
# reads are checked first.
# usage: msi.sh WORKDIR win64|win32 MSI SETUP X64-BUILD X86-BUILD
set -u
. "$(dirname "$0")/checks.sh"
work=$1 arch=$2 msi=$3 setup=$4 x64=$5 x86=$6
rm -rf "$work" && mkdir -p "$work/Sample Folder"
cp "$x86/tests/hosts/shell-host.exe" "$work/host-x86.exe"
cp "$x64/tests/hosts/shell-host.exe" "$work/host-x64.exe"
cd "$work" || exit 1
export WINEPREFIX=$work/prefix WINEDEBUG=-all LC_ALL=ja_JP.UTF-8 WINEDLLOVERRIDES=$WINE_SETUPS
trap 'quiet wineserver -k' EXIT
drive_c=$WINEPREFIX/drive_c
run='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
if [ "$arch" = win64 ]; then
    native=64 sets="x64 x86" template=x64
    dirs=("$drive_c/Program Files/Lanterwell" "$drive_c/Program Files (x86)/Lanterwell")
else
    native=32 sets="x86" template=Intel
    dirs=("$drive_c/Program Files/Lanterwell")
fi
main=${dirs[0]}
msi_code() { exit_code msiexec "$@"; }
windows_path() { winepath -w "$1" 2>/dev/null; }
package() { winepath -w "$1" 2>/dev/null; }
property() { msiinfo export "$1" Property | tr -d '\r' | sed -n "s/^$2\t//p"; }
start_menu_entry() {
    local menus
    for menus in "$drive_c/ProgramData" "$drive_c"/users/*/AppData/Roaming; do
        [ -s "$menus/Microsoft/Windows/Start Menu/Programs/Lanterwell.lnk" ] && return 0
    done
    return 1
}
product_installed() { present "$native" "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$1"; }

# What the registration wrote, in both views, read through the registry's own export: the
# keys of the class, its AppID, ProgIDs, interface, type library, menu entry and approval.
registration() {
    local view
    for view in 64 32; do
        quiet wine reg export 'HKLM\Software' export.reg /y "/reg:$view"
        iconv -f UTF-16LE -t UTF-8 export.reg | tr -d '\r' | awk -v view=$view '
            /^\[/ { keep = $0 ~ /'"${CLSID_SHELL_EXTENSION:1:8}|${APPID_LANTERWELL:1:8}|${IID_ISHELL_EXTENSION:1:8}|${LIBID_LANTERWELL:1:8}"'|Lanterwell\.|ContextMenuHandlers\\\\Lanterwell|Shell Extensions\\\\Approved/ }
            keep && NF { print view " " $0 }'
    done
    rm -f export.reg
}
ours="Lanterwell|${CLSID_SHELL_EXTENSION:1:8}|${APPID_LANTERWELL:1:8}|${LIBID_LANTERWELL:1:8}"
ours="$ours|${IID_ISHELL_EXTENSION:1:8}"

tables() {
    check "per machine (ALLUSERS=1)" test "$(property "$msi" ALLUSERS)" = 1
    check "its upgrade code" test "$(property "$msi" UpgradeCode)" = "{$2}"
    check "a product code" grep -qE '^\{[0-9A-F-]{36}\}$' <<<"$(property "$msi" ProductCode)"
    check "the summary's platform ($template)" \
        grep -q "^Template: $template;1033$" <(msiinfo suminfo "$msi")
}

install() {
    check "the quiet install succeeds" test "$(msi_code /i "$(package "$msi")" /qn)" = 0
    local set dir view build index=0
    for set in $sets; do
        dir=${dirs[$index]} view=$((index == 0 ? native : 32)) build=$x86
        [ "$set" = x64 ] && build=$x64
        index=$((index + 1))
        check "$set: Lanterwell.dll installed" cmp -s "$dir/Lanterwell.dll" "$build/Lanterwell.dll"
        check "$set: the drive programs beside it" test -s "$dir/lwsubst.exe" -a -s "$dir/SUBST.DLL"
        check "$set: registered in the $view-bit view" registered $view all
        check "$set: its host reaches the installed class" \
            serves "host-$set.exe" "$dir/Lanterwell.dll" "$work/Sample Folder"
    done
    # Windows puts a per-machine package's entry in every user's Start menu; Wine's msiexec in
    # the installing user's.
    check "the drives window on the Start menu" start_menu_entry
    check "restored at sign-in for every user" \
        test "$(value $native "$run" Lanterwell)" = "\"$(windows_path "$main")\\lwsubst.exe\" /restore"
    registration >package.txt
    # The same files registered by regsvr32, each view by its own.
    quiet wine regsvr32 /s /u "$(windows_path "$main/Lanterwell.dll")"
    [ "$arch" = win64 ] && quiet wine "C:\\windows\\syswow64\\regsvr32.exe" /s /u \
        "$(windows_path "${dirs[1]}/Lanterwell.dll")"
    check "nothing of the registration is left after regsvr32 /u" test -z "$(registration)"
    quiet wine regsvr32 /s "$(windows_path "$main/Lanterwell.dll")"
    [ "$arch" = win64 ] && quiet wine "C:\\windows\\syswow64\\regsvr32.exe" /s \
        "$(windows_path "${dirs[1]}/Lanterwell.dll")"
    registration >regsvr32.txt
    check "the package's registry is regsvr32's, key by key" diff package.txt regsvr32.txt
}
without_sign_in() {
    check "RESTOREATSIGNIN=0 installs" \
        test "$(msi_code /i "$(package "$msi")" /qn RESTOREATSIGNIN=0)" = 0
    check "without the sign-in entry" test -z "$(value $native "$run" Lanterwell)"
}

repair() {
    quiet wine msiexec /i "$(package "$msi")" /qn
    rm -f "$main/lwsubst.exe"
    quiet wine reg delete "HKCR\\CLSID\\$CLSID_SHELL_EXTENSION\\InprocServer32" /ve /f /reg:$native
    # What msiexec /fomus asks: missing files, the machine's and the user's rows, shortcuts.
    check "the repair succeeds" \
        test "$(msi_code /i "$(package "$msi")" REINSTALL=ALL REINSTALLMODE=omus /qn)" = 0
    check "the deleted file is back" test -s "$main/lwsubst.exe"
    check "the deleted value is back" \
        test "$(server_of $native)" = "$(windows_path "$main/Lanterwell.dll")"
}

upgrade() {
    local older=$work/older.msi
    make_older "$older"
    check "the older version installs" test "$(msi_code /i "$(package "$older")" /qn)" = 0
    local old_code new_code
    old_code=$(property "$older" ProductCode) new_code=$(property "$msi" ProductCode)
    check "the upgrade installs" test "$(msi_code /i "$(package "$msi")" /qn)" = 0
    check "the older product is removed" not product_installed "$old_code"
    check "the newer one is there" product_installed "$new_code"
    check "its files are the newer ones" cmp -s "$main/Lanterwell.dll" \
        "$([ $native = 64 ] && echo "$x64" || echo "$x86")/Lanterwell.dll"
}

uninstall_leaves_nothing() {
    snapshot before.txt "$drive_c"
    quiet wine msiexec /i "$(package "$msi")" /qn
    check "the quiet uninstall succeeds" test "$(msi_code /x "$(package "$msi")" /qn)" = 0
    # Wine's msiexec unregisters every type library as a 32-bit one: the x64 set's stays (and
    # the 32-bit one fails, already gone). Windows unregisters each as its component's.
    local library="HKLM\\Software\\Classes\\TypeLib\\$LIBID_LANTERWELL"
    present 64 "$library\\1.0\\0\\win64" && not present 64 "$library\\1.0\\0\\win32" &&
        quiet wine reg delete "$library" /f /reg:64
    snapshot after.txt "$drive_c"
    diff before.txt after.txt | grep -E '^[<>]' | grep -E "$ours" >left.txt
    check "nothing of ours is left in the registry or drive_c" test ! -s left.txt
    cat left.txt
}

beside_the_setup_program() {
    check "the setup program installs" test "$(exit_code "$(package "$setup")" /S)" = 0
    check "the package refuses beside it" test "$(msi_code /i "$(package "$msi")" /qn)" = 1603
    quiet wine "C:\\Program Files\\Lanterwell\\uninstall.exe" /S '_?=C:\Program Files\Lanterwell'
    quiet wine msiexec /i "$(package "$msi")" /qn
    check "the setup program refuses beside the package (6)" \
        test "$(exit_code "$(package "$setup")" /S)" = 6
}

# make_older FILE: the same package at version 1.1.9 with a product code of its own, from the
# build's package source.
make_older() {
    local sources=$x64/installer/msi-work name=x64
    [ "$arch" = win32 ] && name=x86
    sed -e 's/<Product Id="[^"]*"/<Product Id="0F1E2D3C-4B5A-4978-8695-A4B3C2D1E0F9"/' \
        -e 's/ Version="[0-9.]*"/ Version="1.1.9"/' "$sources/Lanterwell-$name.wxs" \
        >"$sources/older.wxs"
    (cd "$sources" && wixl -a $name -o "$1" older.wxs 2>/dev/null) || return 1
    local statement
    while read -r statement; do
        msibuild "$1" -q "$statement" || return 1
    done <"$sources/Lanterwell-$name.wxs.sql"
    rm -f "$sources/older.wxs"
}

make_prefix "$work/fresh" "$arch"
in_case() {
    case_name=$1
    stop_server
    rm -rf "$WINEPREFIX" && cp -a "$work/fresh" "$WINEPREFIX"
    quiet wineserver -p
    "$@"
}

case_name=tables
upgrade_code=$MSI_UPGRADE_X64
[ "$arch" = win32 ] && upgrade_code=$MSI_UPGRADE_X86
tables "$msi" "${upgrade_code:1:36}"
for name in install without_sign_in repair upgrade uninstall_leaves_nothing beside_the_setup_program; do
    in_case "$name"
done
summary "msi ($arch)"
