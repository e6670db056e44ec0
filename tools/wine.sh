# shellcheck shell=bash disable=SC2034  # what it defines, the scripts that source it use
# Sourced by every script that drives Wine: the DLL overrides by purpose, prefixes, quiet
# commands and a display of its own.

# Test programs: no Mono and no Gecko to install, and no debugger, so a crash ends at once.
WINE_PROGRAMS="mscoree,mshtml,winedbg.exe="
# Setup programs: also no Start menu entries or file associations outside the prefix.
WINE_SETUPS="winemenubuilder.exe=d;$WINE_PROGRAMS"
# The stand-ins a test puts in the prefix's system folder, run in place of Wine's own.
WINE_POWERSHELL_STAND_IN="powershell.exe=n"
WINE_STAND_INS="regsvr32.exe,$WINE_POWERSHELL_STAND_IN"

# The 64-bit loader, which runs a 64-bit prefix's own 64-bit programs (its cmd.exe) where
# `wine` would take the 32-bit side; Debian does not always put it on the PATH.
WINE64=$(command -v wine64 || echo /usr/lib/wine/wine64)

quiet() { "$@" </dev/null >/dev/null 2>&1; }
# The prefix's server stopped, and gone.
stop_server() {
    quiet wineserver -k || true
    quiet wineserver -w || true
}

# make_prefix PREFIX win32|win64 [x11]: a new prefix of that architecture with no debugger
# for crashes, drawing with the null driver (windows without X) unless x11 is asked for.
make_prefix() {
    local view
    rm -rf "$1" && mkdir -p "$1"
    WINEPREFIX=$1 WINEARCH=$2 quiet wineboot -i
    WINEPREFIX=$1 wine --version >"$1/.made-by"
    [ "${3:-}" = x11 ] ||
        WINEPREFIX=$1 quiet wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f
    for view in 32 64; do
        [ "$2/$view" != win32/64 ] || continue
        WINEPREFIX=$1 quiet wine reg delete \
            'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f "/reg:$view" ||
            true
    done
    # The desktop reads its driver when it starts: the first server goes.
    WINEPREFIX=$1 stop_server
}

# made_for PREFIX win32|win64: whether the prefix exists, of that architecture, made by the
# Wine on the PATH (another one would convert it, and its own back on the next run).
made_for() {
    grep -qx "#arch=$2" "$1/system.reg" 2>/dev/null &&
        [ "$(cat "$1/.made-by" 2>/dev/null)" = "$(wine --version)" ]
}

# short_path WINDOWS-PATH: the path in 8.3 form, without blanks.
short_path() { winepath -s "$1" 2>/dev/null; }

# uninstall_in_place FOLDER: runs FOLDER's uninstaller silently where it is (_?=, which takes
# the rest of the line unquoted: the short form has no blank) and prints its exit code.
uninstall_in_place() {
    local short
    short=$(short_path "$(winepath -w "$1" 2>/dev/null)")
    exit_code "$short\\uninstall.exe" /S "_?=$short"
}

# start_display WIDTHxHEIGHT: an X display of our own as DISPLAY: Xvfb picks a free number
# and says it once it is ready. stop_display ends it.
start_display() {
    exec {display_fd}< <(exec Xvfb -displayfd 1 -screen 0 "$1x24" -nolisten tcp 2>/dev/null)
    xvfb=$!
    local number
    read -r -u "$display_fd" number || { echo "Xvfb did not start" >&2 && return 1; }
    export DISPLAY=:$number
}
# find_window NAME-PATTERN [head|tail]: the first (or the last) visible window of that name,
# once there is one (a deadline only a hang reaches); a window that goes while xdotool walks
# the tree fails one search only.
find_window() {
    local id
    for _ in $(seq 1 3000); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | "${2:-head}" -n 1)
        [ -n "$id" ] && echo "$id" && return 0
        sleep 0.2
    done
    return 1
}
stop_display() {
    kill "$xvfb" 2>/dev/null || true
    exec {display_fd}<&-
}
