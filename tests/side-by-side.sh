#!/usr/bin/env bash
# Both architectures in one 64-bit prefix, as on 64-bit Windows: the 64-bit regsvr32
# (system32) registers the x64 DLL into the 64-bit registry view, the 32-bit one (syswow64)
# registers the x86 DLL into the 32-bit view, and a 64-bit and a 32-bit shell host each reach
# their own DLL through CoCreateInstance. Then what unregistering one does to the other.
# usage: side-by-side.sh PREFIX RUNDIR LOCALE X64-DIR X86-DIR
#   each DIR holds Lanterwell.dll, companion/SUBST.DLL and tools/shell-host.exe of its build
set -u
. "$(dirname "$0")/checks.sh"
prefix=$1 run=$2 locale=$3 x64=$4 x86=$5
export WINEPREFIX=$prefix WINEDEBUG=-all LC_ALL=$locale WINEDLLOVERRIDES="mscoree,mshtml,winedbg.exe="
rm -rf "$run" && mkdir -p "$run/x64" "$run/x86" "$run/Sample Folder"
for arch in x64 x86; do
    dir=${!arch}
    cp "$dir/Lanterwell.dll" "$dir/companion/SUBST.DLL" "$dir/tools/shell-host.exe" "$run/$arch/"
done
cd "$run"
folder=$(winepath -w "$run/Sample Folder" 2>/dev/null)

regsvr() { # 64|32 [/u] DLL
    local bits=$1
    shift
    local folder=system32
    [ "$bits" = 32 ] && folder=syswow64
    wine "C:\\windows\\$folder\\regsvr32.exe" /s "$@" </dev/null >/dev/null 2>&1
}
class='HKCR\CLSID\{5B1D7E20-3C44-4A8F-9E61-2F0A7C9D4B13}'
handler='HKCR\Folder\ShellEx\ContextMenuHandlers\Lanterwell'
approved='HKLM\Software\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved'
ours=("$class" "$handler" 'HKCR\Lanterwell.ShellExtension' 'HKCR\Lanterwell.ShellExtension.1'
    'HKCR\AppID\{A7E3C915-62D0-4B7E-8F24-D19B05E6C3A8}' 'HKCR\AppID\Lanterwell.DLL'
    'HKCR\TypeLib\{3E9F4C61-0B7A-4D25-A8C3-7F16E2B9D054}'
    'HKCR\Interface\{C62B8D47-91E5-4F0C-B3A6-58E4D7019F2B}')
present() { # 64|32 KEY [VALUE]
    local view=$1 key=$2
    shift 2
    wine reg query "$key" ${1:+/v "$1"} "/reg:$view" </dev/null >/dev/null 2>&1
}
server_of() { # 64|32: the default value of the class's InprocServer32 in that view
    wine reg query "$class\\InprocServer32" /ve "/reg:$1" </dev/null 2>/dev/null |
        LC_ALL=C sed -n 's/.*REG_SZ[[:space:]]*//p' | tr -d '\r'
}
serves() { # x64|x86: that architecture's host reaches its own DLL and gets the menu
    local out
    out=$(wine "$1/shell-host.exe" --cocreate "$folder" </dev/null 2>&1 | tr -d '\r')
    grep -qF "server: $(winepath -w "$run/$1/Lanterwell.dll" 2>/dev/null) (" <<<"$out" &&
        grep -q '^QueryContextMenu: 0x0000001B' <<<"$out"
}
nothing_of_ours() { # 64|32
    local key
    for key in "${ours[@]}"; do
        present "$1" "$key" && { echo "left in the $1-bit view: $key"; return 1; }
    done
    ! present "$1" "$approved" '{5B1D7E20-3C44-4A8F-9E61-2F0A7C9D4B13}'
}
x64_dll=$(winepath -w "$run/x64/Lanterwell.dll" 2>/dev/null)
x86_dll=$(winepath -w "$run/x86/Lanterwell.dll" 2>/dev/null)

# Each alone first: the 32-bit view reaches the shared AppID key through the platform's own
# link, which is no reason to leave anything below it.
for arch in x86 x64; do
    if [ $arch = x86 ]; then bits=32; else bits=64; fi
    check "$arch alone registers" regsvr $bits $arch/Lanterwell.dll
    check "$arch alone writes its AppID" present 64 'HKCR\AppID\Lanterwell.DLL'
    check "$arch alone unregisters" regsvr $bits /u $arch/Lanterwell.dll
    check "$arch alone leaves nothing in the 64-bit view" nothing_of_ours 64
    check "$arch alone leaves nothing in the 32-bit view" nothing_of_ours 32
done

check "the 64-bit regsvr32 registers the x64 DLL" regsvr 64 x64/Lanterwell.dll
check "the 32-bit regsvr32 registers the x86 DLL" regsvr 32 x86/Lanterwell.dll
check "the 64-bit view names the x64 DLL" test "$(server_of 64)" = "$x64_dll"
check "the 32-bit view names the x86 DLL" test "$(server_of 32)" = "$x86_dll"
for view in 64 32; do
    check "approved in the $view-bit view" \
        present $view "$approved" '{5B1D7E20-3C44-4A8F-9E61-2F0A7C9D4B13}'
    check "the handler entry in the $view-bit view" present $view "$handler"
done
check "the 64-bit host reaches the x64 DLL" serves x64
check "the 32-bit host reaches the x86 DLL" serves x86

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
    check "$other's host still makes its object" serves $other
    check "registering $gone again restores the handler entry" regsvr $bits $gone/Lanterwell.dll
    check "the handler entry is back" present $kept "$handler"
done

check "unregistering x64 succeeds" regsvr 64 /u x64/Lanterwell.dll
check "unregistering x86 succeeds" regsvr 32 /u x86/Lanterwell.dll
check "nothing of ours in the 64-bit view" nothing_of_ours 64
check "nothing of ours in the 32-bit view" nothing_of_ours 32
check "the 64-bit host finds no class" not serves x64

summary side-by-side
