#!/usr/bin/env bash
# Both architectures in one 64-bit prefix, as on 64-bit Windows: the 64-bit regsvr32
# (system32) registers the x64 DLL into the 64-bit registry view, the 32-bit one (syswow64)
# registers the x86 DLL into the 32-bit view, and a 64-bit and a 32-bit shell host each reach
# their own DLL through CoCreateInstance. Then what unregistering one does to the other.
# usage: side-by-side.sh PREFIX RUNDIR LOCALE X64-DIR X86-DIR
#   each DIR holds Lanterwell.dll, companion/SUBST.DLL and tests/hosts/shell-host.exe of its build
set -u
. "$(dirname "$0")/checks.sh"
# shellcheck disable=SC2034  # x64 and x86 are read by name below, as ${!arch}
prefix=$1 run=$2 locale=$3 x64=$4 x86=$5
export WINEPREFIX=$prefix WINEDEBUG=-all LC_ALL=$locale WINEDLLOVERRIDES=$WINE_PROGRAMS
rm -rf "$run" && mkdir -p "$run/x64" "$run/x86" "$run/Sample Folder"
for arch in x64 x86; do
    dir=${!arch}
    cp "$dir/Lanterwell.dll" "$dir/companion/SUBST.DLL" "$dir/tests/hosts/shell-host.exe" "$run/$arch/"
done
cd "$run" || exit 1

regsvr() { # 64|32 [/u] DLL: the regsvr32 of that view, system32's or syswow64's
    local folder=system32
    [ "$1" = 32 ] && folder=syswow64
    quiet wine "C:\\windows\\$folder\\regsvr32.exe" /s "${@:2}"
}
class="HKCR\\CLSID\\$CLSID_SHELL_EXTENSION"
handler='HKCR\Folder\ShellEx\ContextMenuHandlers\Lanterwell'
serves_own() { serves "$1/shell-host.exe" "$run/$1/Lanterwell.dll" "$run/Sample Folder"; }
x64_dll=$(winepath -w "$run/x64/Lanterwell.dll" 2>/dev/null)
x86_dll=$(winepath -w "$run/x86/Lanterwell.dll" 2>/dev/null)

# Each alone first: the 32-bit view reaches the shared AppID key through the platform's own
# link, which is no reason to leave anything below it.
for arch in x86 x64; do
    if [ $arch = x86 ]; then bits=32; else bits=64; fi
    check "$arch alone registers" regsvr $bits $arch/Lanterwell.dll
    check "$arch alone writes its AppID" present 64 'HKCR\AppID\Lanterwell.DLL'
    check "$arch alone unregisters" regsvr $bits /u $arch/Lanterwell.dll
    check "$arch alone leaves nothing in the 64-bit view" registered 64 none
    check "$arch alone leaves nothing in the 32-bit view" registered 32 none
done

check "the 64-bit regsvr32 registers the x64 DLL" regsvr 64 x64/Lanterwell.dll
check "the 32-bit regsvr32 registers the x86 DLL" regsvr 32 x86/Lanterwell.dll
check "the 64-bit view names the x64 DLL" test "$(server_of 64)" = "$x64_dll"
check "the 32-bit view names the x86 DLL" test "$(server_of 32)" = "$x86_dll"
for view in 64 32; do
    check "everything registered in the $view-bit view" registered $view all
done
check "the 64-bit host reaches the x64 DLL" serves_own x64
check "the 32-bit host reaches the x86 DLL" serves_own x86

# The handler entry, the ProgIDs, the AppID and the interface are one set of keys seen from
# both views: unregistering either architecture removes them for the other too, which keeps
# only its class key (and its approved value). Both go together.
for gone in x86 x64; do
    if [ $gone = x86 ]; then bits=32 kept=64 other=x64; else bits=64 kept=32 other=x86; fi
    check "unregistering $gone succeeds" regsvr $bits /u $gone/Lanterwell.dll
    check "$gone's class key is gone" test -z "$(server_of $bits)"
    check "$other's class key stays" present $kept "$class"
    check "the shared handler entry went with $gone" not present $kept "$handler"
    check "the shared ProgID went with $gone" not present $kept 'HKCR\Lanterwell.ShellExtension'
    check "$other's host still makes its object" serves_own $other
    check "registering $gone again restores the handler entry" regsvr $bits $gone/Lanterwell.dll
    check "the handler entry is back" present $kept "$handler"
done

check "unregistering x64 succeeds" regsvr 64 /u x64/Lanterwell.dll
check "unregistering x86 succeeds" regsvr 32 /u x86/Lanterwell.dll
check "nothing of ours in the 64-bit view" registered 64 none
check "nothing of ours in the 32-bit view" registered 32 none
check "the 64-bit host finds no class" not serves_own x64

summary side-by-side
