# shellcheck shell=bash
# Sourced by the test scripts: named checks, counted, and the closing line CTest reads; what
# the scripts ask of Wine and of Lanterwell's registration.
checks_home=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../tools/wine.sh
. "$checks_home/../tools/wine.sh"
# The published identifiers and the commands' numbers as the build writes them out; CTest
# names the file.
# shellcheck source=/dev/null  # written by the build, not in the checkout
[ -z "${LANTERWELL_IDENTIFIERS:-}" ] || . "$LANTERWELL_IDENTIFIERS"
passed=0 failed=0
check() { # DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: ${case_name:+$case_name: }$what"
    fi
}
not() { ! "$@"; }
# summary NAME: prints "NAME: N passed, N failed" and succeeds when nothing failed.
summary() {
    echo "$1: $passed passed, $failed failed"
    [ "$failed" = 0 ]
}
# A Windows program's full exit code, run under Wine through the command processor from the
# current folder (Wine's own process status keeps only its low byte):
#   exit_code PROGRAM [ARGS...]   with each argument as Wine quotes it;
#   typed_exit_code LINE          with the command line as typed (/D= and _?= unquoted).
exit_code() {
    batch_exit_code run.bat '%*' "$@"
}
typed_exit_code() {
    batch_exit_code typed.bat "$1"
}
batch_exit_code() { # BATCH LINE [ARGS...]: runs LINE from BATCH, then says its exit code
    printf '@echo off\r\n%s\r\necho exit code %%ERRORLEVEL%%\r\n' "$2" >"$1"
    wine cmd /c "$1" "${@:3}" </dev/null 2>/dev/null | tr -d '\r' | sed -n 's/^exit code //p'
}
# value VIEW KEY NAME|'': a registry value's data in that view (32 or 64) as reg prints it.
value() {
    local which=(/ve) codepage=CP1252
    [ -n "$3" ] && which=(/v "$3")
    # reg prints in the console's code page: 932 under a Japanese locale.
    [[ ${LC_ALL:-} == ja_JP* ]] && codepage=CP932
    wine reg query "$2" "${which[@]}" "/reg:$1" </dev/null 2>/dev/null |
        iconv -f "$codepage" -t UTF-8 | tr -d '\r' |
        LC_ALL=C sed -n 's/.*REG_[A-Z_]*[[:space:]]*//p' | head -n 1
}
# throwaway_certificate SUBJECT STEM PASSWORD-FILE: a code-signing certificate for one day,
# STEM.pem, and it with its key as STEM.pfx, locked with the password in PASSWORD-FILE.
throwaway_certificate() {
    openssl req -x509 -newkey rsa:2048 -nodes -days 1 -utf8 -multivalue-rdn \
        -keyout "$2.key" -out "$2.pem" -subj "$1" -addext "extendedKeyUsage=codeSigning" \
        2>/dev/null &&
        openssl pkcs12 -export -out "$2.pfx" -inkey "$2.key" -in "$2.pem" -passout "file:$3"
}

# snapshot FILE DRIVE_C: the registry of both views and the files of the prefix's drive_c, one
# line each, for what an uninstall leaves.
snapshot() {
    local view root
    for view in 64 32; do
        for root in HKLM HKCU; do
            quiet wine reg export "$root" export.reg /y "/reg:$view"
            # Each value on the line of its key, so that a diff says whose value it is.
            iconv -f UTF-16LE -t UTF-8 export.reg 2>/dev/null | tr -d '\r' |
                awk -v at="$view $root" '/^\[/ { key = $0; print at " " key; next }
                                         NF { print at " " key " " $0 }'
        done
    done >"$1"
    (cd "$2" && find . | sort) >>"$1"
    rm -f export.reg
}

# gone BEFORE AFTER: what two snapshots' machine and user software keys held before and not
# after, in the registry's case-blind way (Wine remakes its hardware keys at every start).
gone() {
    diff -i "$1" "$2" | grep -E '^< (64|32) HK(LM|CU) \[HKEY_[A-Z_]+[\]Software[\]'
}

# present VIEW KEY [NAME]: whether the key (or its value NAME) is there in that view.
present() {
    wine reg query "$2" ${3:+/v "$3"} "/reg:$1" </dev/null >/dev/null 2>&1
}
# server_of VIEW: the server that the class names in that view.
server_of() { value "$1" "HKCR\\CLSID\\$CLSID_SHELL_EXTENSION\\InprocServer32" ''; }
# serves HOST DLL FOLDER: the shell host HOST makes the registered class for FOLDER, reaches
# DLL and gets the folder's menu (DLL and FOLDER as Unix paths).
serves() {
    local out
    out=$(wine "$1" --cocreate "$(winepath -w "$3" 2>/dev/null)" </dev/null 2>&1 | tr -d '\r')
    grep -qF "server: $(winepath -w "$2" 2>/dev/null) (" <<<"$out" &&
        grep -qF "($((POPUP_OFFSET + 1)) identifiers)" <<<"$out"
}
# What registration writes, as the setup program's fallback removal lists it (a test holds
# the list to what registration really writes): a key a line, or KEY|NAME for a value.
registration_rows() {
    sed -n '/^!macro RemoveRegistration$/,/^!macroend/ s/^ *DeleteReg\(Key\|Value\) \(HK[A-Z]*\) "\([^"]*\)"\( "\(.*\)"\)\{0,1\}$/\2\\\3|\5/p' \
        "$checks_home/../installer/Registration.nsh" | sed -e "s/\${CLASS_ID}/$CLSID_SHELL_EXTENSION/" \
        -e "s/\${APP_ID}/$APPID_LANTERWELL/;s/\${INTERFACE_ID}/$IID_ISHELL_EXTENSION/" \
        -e "s/\${LIBRARY_ID}/$LIBID_LANTERWELL/"
}
# registered VIEW all|none: every row of the registration there, or not one.
registered() {
    local key name found=0 rows=0
    while IFS='|' read -r key name; do
        rows=$((rows + 1)) && present "$1" "$key" "$name" && found=$((found + 1))
    done < <(registration_rows)
    [ "$found" = "$([ "$2" = all ] && echo $rows || echo 0)" ]
}

# The Windows 11 package as the installers register it: PowerShell where they run it, Windows'
# Active Setup entry of the machine and of the user.
powershell_in_prefix=drive_c/windows/system32/WindowsPowerShell/v1.0/powershell.exe
active_setup='HKCU\Software\Microsoft\Active Setup\Installed Components\Lanterwell'
machine_setup=${active_setup/HKCU/HKLM}
# windows_build NUMBER: the build of Windows the prefix reports.
windows_build() {
    quiet wine reg add 'HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion' /v CurrentBuildNumber \
        /d "$1" /f /reg:64
}
# powershell_stand_in RECORDER: the prefix's PowerShell a program recording its command lines
# (its command lines in the file named after it with ".log" added), on a Windows before 11.
powershell_stand_in() {
    mkdir -p "$WINEPREFIX/${powershell_in_prefix%/*}" && cp "$1" "$WINEPREFIX/$powershell_in_prefix" &&
        windows_build 19045
}
# Windows' Active Setup at a user's sign-in: a component whose Version is above the user's
# runs its StubPath as the user, then the user's Version is set. Succeeds when it ran.
signed_in_registers() {
    local stub version
    stub=$(value 64 "$machine_setup" StubPath) version=$(value 64 "$machine_setup" Version)
    [ -n "$stub" ] && [ "$(value 64 "$active_setup" Version)" != "$version" ] || return 1
    printf '@%s\r\n' "$stub" >signin.bat
    # Explorer's 64-bit side runs it: the 64-bit command processor, and the stand-in rather
    # than Wine's own powershell.exe.
    WINEDLLOVERRIDES="$WINE_SETUPS;$WINE_STAND_INS" quiet "$WINE64" cmd /c signin.bat || return 1
    quiet wine reg add "$active_setup" /v Version /d "$version" /f /reg:64
}

# fresh_prefix FOLDER ARCH RECORDER: the state every case of an installer's test starts from,
# made once: a fresh prefix with PowerShell as the installers find it on 64-bit Windows (a
# stand-in recording its command lines), on a Windows before 11.
fresh_prefix() {
    make_prefix "$1" "$2"
    [ "$2" = win64 ] || return 0
    WINEPREFIX=$1 powershell_stand_in "$3"
    WINEPREFIX=$1 stop_server
}
# start_case NAME FOLDER: the case NAME, whose failures name it, from the fresh state in FOLDER.
start_case() {
    case_name=$1
    # A case named but never written would otherwise pass unnoticed.
    declare -F "$1" >/dev/null || check "the case is written" false
    stop_server
    rm -rf "$WINEPREFIX" && cp -a "$2" "$WINEPREFIX"
    quiet wineserver -p
}
