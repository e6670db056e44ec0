#!/usr/bin/env bash
# The Windows Installer package under Wine's msiexec, as a deployment tool runs it, in named
# cases that each start from the same fresh prefix: the install (the files, the registration
# of each view compared key by key with what regsvr32 writes for the same files, each
# architecture's host reaching the class, the Start menu, the sign-in option and
# RESTOREATSIGNIN=0); on 64-bit Windows 11 the package for its compact menu, registered for
# each user through PowerShell (a stand-in records what would run); a repair after a file and
# a value are deleted; a major upgrade from a package of a lower version made here; an
# uninstall that leaves nothing; and the package and the setup program each refusing to
# install beside the other. The tables a deployment tool reads are checked first.
# usage: msi.sh WORKDIR win64|win32 MSI SETUP X64-BUILD X86-BUILD RECORDING-PROGRAM
set -u
. "$(dirname "$0")/checks.sh"
work=$1 arch=$2 msi=$3 setup=$4 x64=$5 x86=$6 recorder=$7
here=$(cd "$(dirname "$0")" && pwd)
version=$(basename "$msi" .msi) && version=${version#Lanterwell-} && version=${version%-*}
rm -rf "$work" && mkdir -p "$work/Sample Folder"
cp "$x86/tests/hosts/shell-host.exe" "$work/host-x86.exe"
cp "$x64/tests/hosts/shell-host.exe" "$work/host-x64.exe"
cd "$work" || exit 1
# msiexec runs PowerShell: the stand-in, where a case puts it.
export WINEPREFIX=$work/prefix WINEDEBUG=-all LC_ALL=ja_JP.UTF-8 \
    WINEDLLOVERRIDES="$WINE_SETUPS;$WINE_POWERSHELL_STAND_IN"
trap 'quiet wineserver -k' EXIT
drive_c=$WINEPREFIX/drive_c
powershell=$WINEPREFIX/$powershell_in_prefix
run='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
if [ "$arch" = win64 ]; then
    native=64 sets="x64 x86" template=x64
    dirs=("$drive_c/Program Files/Lanterwell" "$drive_c/Program Files (x86)/Lanterwell")
else
    native=32 sets="x86" template=Intel
    dirs=("$drive_c/Program Files/Lanterwell")
fi
main=${dirs[0]}
# Wine's 64-bit msiexec writes a 32-bit component's rows of the classes both views share
# (ProgIDs) into the 32-bit node, which Windows does not; its 32-bit one writes them where
# Windows does. The Windows 11 case, whose actions start the 64-bit PowerShell as Windows'
# 64-bit msiexec does, runs the 64-bit one (the 32-bit command processor reaches it through
# sysnative).
msi_code() { exit_code msiexec "$@"; }
msi64_code() { exit_code 'C:\windows\sysnative\msiexec.exe' "$@"; }
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
    # A repair evaluates the Windows 11 package's condition again (Wine's does in any case).
    [ "$template" = x64 ] && check "the Windows 11 package's component is transitive" \
        test $(($(msiinfo export "$msi" Component | awk -F'\t' '$1 == "c_package" { print $4 }') & 64)) = 64
    check "Windows Installer's validation rules hold" python3 "$here/msi-check.py" "$msi"
    # Windows shows it as Apps & features' icon (DisplayIcon); Wine's msiexec writes none.
    check "Apps & features: the icon it shows" grep -qx "$(property "$msi" ARPPRODUCTICON)" \
        <(msiinfo export "$msi" Icon | tr -d '\r' | cut -f1)
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
    local entry
    entry="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$(property "$msi" ProductCode)"
    check "Apps & features: its folder" test "$(value $native "$entry" InstallLocation)" = "$(windows_path "$main")\\"
    check "Apps & features: its help" test "$(value $native "$entry" HelpLink)" = "$(windows_path "$main")\\README.md"
    check "Apps & features: no change or repair" \
        test "$(value $native "$entry" NoModify)" = 0x1 -a "$(value $native "$entry" NoRepair)" = 0x1
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
    check "before Windows 11 no Windows 11 package" test ! -e "$powershell.log" \
        -a -z "$(value 64 "$machine_setup" StubPath)" -a -z "$(find "$main" -name '*.msix')"
}

without_sign_in() {
    check "RESTOREATSIGNIN=0 installs" \
        test "$(msi_code /i "$(package "$msi")" /qn RESTOREATSIGNIN=0)" = 0
    check "without the sign-in entry" test -z "$(value $native "$run" Lanterwell)"
}

repair() {
    msi_code /i "$(package "$msi")" /qn >/dev/null
    rm -f "$main/lwsubst.exe"
    quiet wine reg delete "HKCR\\CLSID\\$CLSID_SHELL_EXTENSION\\InprocServer32" /ve /f /reg:$native
    # What msiexec /fomus asks: missing files, the machine's and the user's rows, shortcuts.
    check "the repair succeeds" \
        test "$(msi_code /i "$(package "$msi")" REINSTALL=ALL REINSTALLMODE=omus /qn)" = 0
    check "the deleted file is back" test -s "$main/lwsubst.exe"
    check "the deleted value is back" \
        test "$(server_of $native)" = "$(windows_path "$main/Lanterwell.dll")"
}

# What the setup program does on Windows 11, with the folder read from the install's record;
# an upgrade's removal of the older version leaves users the package; the uninstall removes
# it and leaves nothing.
windows11_package() {
    windows_build 22000
    snapshot before.txt "$drive_c"
    make_older "$work/older.msi"
    check "the older version installs" test "$(msi64_code /i "$(package "$work/older.msi")" /qn)" = 0
    # Run as Windows' upgrade runs it, which tells the removal it is one; Wine's does not.
    check "its removal by an upgrade succeeds" test "$(msi64_code /x "$(package "$work/older.msi")" \
        /qn "UPGRADINGPRODUCTCODE=$(property "$msi" ProductCode)")" = 0
    check "and leaves users the package" not grep -q Remove-AppxPackage "$powershell.log"
    check "the install on Windows 11 succeeds" test "$(msi64_code /i "$(package "$msi")" /qn)" = 0
    local name=Lanterwell-$version-x64.msix stub
    check "the package is in the install folder" cmp -s "$main/$name" "$x64/$name"
    check "the record it is registered by names that folder" \
        test "$(value 64 'HKLM\Software\Lanterwell' InstallLocation)" = "$(windows_path "$main")\\"
    stub=$(value 64 "$machine_setup" StubPath)
    check "each user's sign-in registers it (Active Setup)" grep -qF \
        "\"C:\\windows\\system32\\WindowsPowerShell\\v1.0\\powershell.exe\" -NoProfile -NonInteractive -WindowStyle Hidden -Command \"" <<<"$stub"
    check "with that package and folder" grep -qF "Add-AppxPackage -Path (\$d + '\\$name') -ExternalLocation \$d" <<<"$stub"
    check "for this release" test "$(value 64 "$machine_setup" Version)" = "$(tr . , <<<"$version.0")"
    check "the installing user has it at once, by the same command" \
        grep -qF -e "${stub#\"*\" }" "$powershell.log"
    quiet wine reg delete "$active_setup" /f /reg:64
    check "another user's first sign-in registers it" signed_in_registers
    check "exactly as written" test "$(tail -n 1 "$powershell.log")" = "$stub"
    check "the uninstall succeeds" test "$(msi64_code /x "$(package "$msi")" /qn)" = 0
    check "the package is removed for every user" grep -qF -e \
        "-Command \"Get-AppxPackage -AllUsers -Name Lanterwell | Remove-AppxPackage -AllUsers\"" \
        "$powershell.log"
    check "the installing user's record of it goes" not present 64 "$active_setup"
    check "and no user's sign-in registers it again" not signed_in_registers
    left_behind 64
}

# Options an administrator gave (another folder, no restore at sign-in) kept by an upgrade that
# gives none, against an older package whose binaries differ from the newer one's.
upgrade_keeps_options() {
    local older=$work/older.msi folder="C:\\Tools\\Lanterwell\\" kept
    make_older "$older" different
    check "the older version installs with options" test "$(msi_code /i "$(package "$older")" /qn \
        RESTOREATSIGNIN=0 "INSTALLDIR=$folder")" = 0
    check "the upgrade installs" test "$(msi_code /i "$(package "$msi")" /qn)" = 0
    kept=$drive_c/Tools/Lanterwell
    check "into the folder given before" cmp -s "$kept/Lanterwell.dll" \
        "$([ $native = 64 ] && echo "$x64" || echo "$x86")/Lanterwell.dll"
    check "and nothing into the default one" test ! -e "$main/Lanterwell.dll"
    check "still without the sign-in entry" test -z "$(value $native "$run" Lanterwell)"
    check "nor the machine's default" not present $native 'HKLM\Software\Lanterwell' RestoreAtSignIn
}

# The installs the package refuses: per user, and the x86 package on 64-bit Windows.
refusals() {
    check "a per-user install is refused" \
        test "$(msi_code /i "$(package "$msi")" /qn ALLUSERS=2 MSIINSTALLPERUSER=1)" = 1603
    [ "$arch" = win64 ] || return 0
    check "the x86 package refuses 64-bit Windows" \
        test "$(msi_code /i "$(package "${msi/-x64.msi/-x86.msi}")" /qn)" = 1603
    check "and installs nothing" test ! -e "${dirs[1]}/Lanterwell.dll" -a ! -e "$main/Lanterwell.dll"
}

# An administrative image (msiexec /a), as Group Policy deploys from, keeps each set in a
# folder of its own; an install from it puts each where it belongs.
administrative_image() {
    if [[ $(wine --version) == wine-8* ]]; then
        echo "administrative_image: Wine 8's msiexec makes no administrative image"
        return 0
    fi
    local image=$drive_c/image
    check "the image is made" test "$(msi_code /a "$(package "$msi")" /qn \
        "TARGETDIR=$(windows_path "$image")")" = 0
    check "the install from it succeeds" test "$(msi_code /i \
        "$(windows_path "$image/$(basename "$msi")")" /qn)" = 0
    check "the native set where it belongs" cmp -s "$main/Lanterwell.dll" \
        "$([ $native = 64 ] && echo "$x64" || echo "$x86")/Lanterwell.dll"
    [ "$arch" = win64 ] && check "the x86 set where it belongs" \
        cmp -s "${dirs[1]}/Lanterwell.dll" "$x86/Lanterwell.dll"
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
    msi_code /i "$(package "$msi")" /qn >/dev/null
    check "the quiet uninstall succeeds" test "$(msi_code /x "$(package "$msi")" /qn)" = 0
    left_behind 32
}
# left_behind BITS: nothing of ours is left since before.txt was taken, by an uninstall of the
# msiexec of BITS. Wine's unregisters every type library as one of its own bitness, where
# Windows' unregisters each as its component's: the other set's registration stays, in
# either view, and is taken away here.
left_behind() {
    local library="HKLM\\Software\\Classes\\TypeLib\\$LIBID_LANTERWELL\\1.0\\0" other=win32 view
    [ "$1" = 32 ] && other=win64
    for view in 64 32; do
        present $view "$library\\$other" && not present $view "$library\\win$1" &&
            quiet wine reg delete "${library%\\1.0\\0}" /f /reg:$view
    done
    snapshot after.txt "$drive_c"
    diff before.txt after.txt | grep -E '^[<>]' | grep -E "$ours" >left.txt
    check "nothing of ours is left in the registry or drive_c" test ! -s left.txt
    gone before.txt after.txt >>left.txt
    check "and nothing that was there before is gone" not gone before.txt after.txt
    cat left.txt
}

beside_the_setup_program() {
    check "the setup program installs" test "$(exit_code "$(package "$setup")" /S)" = 0
    check "the package refuses beside it" test "$(msi_code /i "$(package "$msi")" /qn)" = 1603
    # As typed: _?= quoted would make the uninstaller run a copy of itself and return at once.
    typed_exit_code '"C:\Program Files\Lanterwell\uninstall.exe" /S _?=C:\Program Files\Lanterwell' >/dev/null
    msi_code /i "$(package "$msi")" /qn >/dev/null
    check "the setup program refuses beside the package (6)" \
        test "$(exit_code "$(package "$setup")" /S)" = 6
}

# make_older FILE [different]: the same package at version 1.1.9 with a product code of its
# own, from the build's package source; "different" gives it binaries that differ from the
# build's (the same programs, stamped with another link time).
make_older() {
    local sources=$x64/installer/msi-work name=x64 copies=$work/older-sets
    [ "$arch" = win32 ] && name=x86
    local edits=(-e 's/<Product Id="[^"]*"/<Product Id="0F1E2D3C-4B5A-4978-8695-A4B3C2D1E0F9"/'
        -e 's/ Version="[0-9.]*"/ Version="1.1.9"/')
    if [ "${2:-}" = different ]; then
        rm -rf "$copies" && mkdir "$copies" && cp -r "$x64/installer/x64" "$x64/installer/x86" "$copies"
        local file
        for file in "$copies"/*/*.[dDeE][lLxX][lLeE]; do
            # The COFF header's time stamp: 8 bytes into the PE header.
            printf '\x01' | dd of="$file" bs=1 conv=notrunc status=none \
                seek=$(($(od -An -tu4 -j60 -N4 "$file") + 8))
        done
        edits+=(-e "s|Source=\"\.\./\(x64\|x86\)/|Source=\"$copies/\1/|g")
    fi
    sed "${edits[@]}" "$sources/Lanterwell-$name.wxs" >"$sources/older.wxs"
    (cd "$sources" && wixl -a $name -o "$1" older.wxs 2>/dev/null) || return 1
    local statement
    while read -r statement; do
        msibuild "$1" -q "$statement" || return 1
    done <"$sources/Lanterwell-$name.wxs.sql"
    rm -f "$sources/older.wxs"
}

fresh_prefix "$work/fresh" "$arch" "$recorder"
in_case() {
    start_case "$1" "$work/fresh"
    "$1"
}

case_name=tables
upgrade_code=$MSI_UPGRADE_X64
[ "$arch" = win32 ] && upgrade_code=$MSI_UPGRADE_X86
tables "$msi" "${upgrade_code:1:36}"
cases="install without_sign_in repair upgrade upgrade_keeps_options refusals administrative_image
    uninstall_leaves_nothing beside_the_setup_program"
[ "$arch" = win64 ] && cases="$cases windows11_package"
for name in $cases; do
    in_case "$name"
done
summary "msi ($arch)"
