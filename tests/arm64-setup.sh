#!/usr/bin/env bash
# The setup program on Windows on ARM, as far as Wine (x86 and x64 only) shows it: one built to
# take ARM64 for the native platform installs into a fresh 64-bit prefix. The ARM64 set goes
# where the x64 set goes elsewhere, with the ARM64 package for Windows 11, and the x86 set as
# everywhere. No ARM64 DLL loads here: a stand-in for the native regsvr32 records its command
# lines, and the test writes the class's server as that regsvr32 would.
# usage: arm64-setup.sh WORKDIR STAGE RECORDING-PROGRAM MAKE-INSTALLER.cmake ::: CMAKE -D...
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/checks.sh"
work=$1 stage=$2 recorder=$3 make_installer=$4
shift 5
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
check "a setup program for Windows on ARM is made" quiet "$@" -DX64_DIR="$stage/x64" \
    -DX86_DIR="$stage/x86" -DARM64_DIR="$stage/arm64" -DOUTPUT_DIR="$work" \
    -DTEST_NATIVE_ARM64=ON -P "$make_installer"
setup=$(ls -- *-setup.exe)
version=${setup#Lanterwell-} && version=${version%-setup.exe}

bash "$here/wine-prefix.sh" start "$work/prefix" win64 >/dev/null
export WINEPREFIX=$work/prefix WINEDEBUG=-all LC_ALL=en_US.UTF-8
export WINEDLLOVERRIDES="$WINE_SETUPS;$WINE_STAND_INS"
trap 'bash "$here/wine-prefix.sh" stop "$WINEPREFIX" >/dev/null' EXIT
system=$WINEPREFIX/drive_c/windows/system32
regsvr32=$system/regsvr32.exe powershell=$system/WindowsPowerShell/v1.0/powershell.exe
mkdir -p "$(dirname "$powershell")"
cp "$recorder" "$regsvr32" && cp "$recorder" "$powershell"
quiet wine reg add 'HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion' /v CurrentBuildNumber \
    /d 22000 /f /reg:64
server="HKCR\\CLSID\\$CLSID_SHELL_EXTENSION\\InprocServer32"
native='C:\Program Files\Lanterwell' x86='C:\Program Files (x86)\Lanterwell'
quiet wine reg add "$server" /ve /d "$native\\Lanterwell.dll" /f /reg:64

check "it installs" test "$(exit_code "$setup" /S)" = 0
unix() { winepath -u "$1" 2>/dev/null; }
for file in Lanterwell.dll SUBST.DLL lwsubst.exe Lanterwell.exe; do
    check "the ARM64 $file goes into Program Files" cmp -s "$(unix "$native")/$file" \
        "$stage/arm64/$file"
    check "the x86 $file into Program Files (x86)" cmp -s "$(unix "$x86")/$file" "$stage/x86/$file"
done
check "the native regsvr32 registers the ARM64 DLL" grep -qF "/s \"$native\\Lanterwell.dll\"" \
    "$regsvr32.log"
check "the x86 DLL registers itself in the 32-bit view" \
    test "$(server_of 32)" = "$x86\\Lanterwell.dll"
package=Lanterwell-$version-arm64.msix
check "the ARM64 package is installed" cmp -s "$(unix "$native")/$package" "$stage/arm64/$package"
check "and registered" grep -qF "Add-AppxPackage -Path '$native\\$package'" "$powershell.log"
check "the x64 package is not installed" test ! -e "$(unix "$native")/${package/arm64/x64}"

short=$(short_path "$native")
code=$(uninstall_in_place "$(unix "$native")")
check "it uninstalls ($code)" test "$code" = 0 -o "$code" = 3010
# The uninstaller names its folder as it was started: in short form here.
check "the native regsvr32 unregisters the ARM64 DLL" \
    grep -qF "/s /u \"$short\\Lanterwell.dll\"" "$regsvr32.log"
check "no server is left in either view" test -z "$(server_of 64)$(server_of 32)"
check "and only the running uninstaller's file waits" test "$(ls "$(unix "$native")")" = uninstall.exe
check "the x86 folder is gone" test ! -e "$(unix "$x86")"
summary "arm64 setup"
