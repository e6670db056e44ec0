#!/usr/bin/env bash
# What each shipped PE file of a tree is, read from the file itself: the machine of its
# architecture, exactly its own exports (nothing of a runtime linked into it), imports of
# system DLLs only, and the resources the server reads at run time.
# usage: pe-check.sh BUILD-DIR x86|x64|arm64
set -u
. "$(dirname "$0")/checks.sh"
build=$1 arch=$2
case $arch in
x86) machine=0x14C ;;
x64) machine=0x8664 ;;
arm64) machine=0xAA64 ;;
esac
readobj() { llvm-readobj-14 "$@" 2>/dev/null; }
exports() { readobj --coff-exports "$1" | sed -n 's/^ *Name: //p' | sort | paste -sd' '; }
# Each file's imports, as tests/imports.txt lists them.
imports() { readobj --coff-imports "$1" | sed -n 's/^ *Name: //p' | sed 's/\.dll$//I' | sort -f | paste -sd' '; }
listed() { sed -n "s|^$1 ||p" "$(dirname "$0")/imports.txt" | tr ' ' '\n' | sort -f | paste -sd' '; }
# The DLLs every Windows has in its system folder, and only those.
system='^(KERNEL32|USER32|GDI32|ADVAPI32|OLE32|OLEAUT32|SHELL32|SHLWAPI|USERENV|VERSION|COMCTL32|MSI|msvcrt)\.dll$'
files="Lanterwell.dll companion/SUBST.DLL drives/lwsubst.exe drives/Lanterwell.exe"
# The Windows Installer packages' custom action, in the trees that make the packages.
[ "$arch" = arm64 ] || files="$files installer/msi/KeepKeys.dll"
for file in $files; do
    path=$build/$file
    check "$file: machine $machine" grep -q "($machine)" <(readobj --file-headers "$path")
    check "$file: imports only system DLLs" not grep -viE "$system" \
        <(readobj --coff-imports "$path" | sed -n 's/^ *Name: //p')
    check "$file: imports exactly what tests/imports.txt lists" \
        test "$(imports "$path" | tr '[:upper:]' '[:lower:]')" = "$(listed "$file" | tr '[:upper:]' '[:lower:]')"
    # The tests' variables are read by the tests' own builds only.
    check "$file: reads no test variable" not grep -q LANTERWELL_ \
        <(strings -a -e l "$path"; strings -a "$path")
done
check "Lanterwell.dll: exactly its four exports" test "$(exports "$build/Lanterwell.dll")" = \
    "DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer"
[ "$arch" = arm64 ] || check "KeepKeys.dll: exactly its custom action" \
    test "$(exports "$build/installer/msi/KeepKeys.dll")" = KeepSharedKeys
check "SUBST.DLL: exactly its three exports" test "$(exports "$build/companion/SUBST.DLL")" = \
    "CreateSubst DeleteSubst QuerySubst"
resources=$(readobj --coff-resources "$build/Lanterwell.dll" | sed -n 's/^ *Type: //p')
for type in REGISTRY TYPELIB 'STRINGTABLE (ID 6)' 'VERSIONINFO (ID 16)' 'GROUP_ICON (ID 14)'; do
    check "Lanterwell.dll: its $type resource" grep -qF "$type" <<<"$resources"
done
# The DLL a host loads into every process that shows a folder's menu: small on every
# architecture.
check "Lanterwell.dll: at most 96 KiB" test "$(stat -c %s "$build/Lanterwell.dll")" -le 98304
# The window: small, with the manifest that asks for common controls 6 and per-monitor DPI.
# (ARM64's, from Zig, is the largest: 89 KiB, with the kept column widths and Change on a
# saved drive.)
check "Lanterwell.exe: at most 92 KiB" test "$(stat -c %s "$build/drives/Lanterwell.exe")" -le 94208
check "Lanterwell.exe: its manifest" grep -qF 'MANIFEST (ID 24)' \
    <(readobj --coff-resources "$build/drives/Lanterwell.exe")
summary "pe-check ($arch)"
