#!/usr/bin/env bash
# Renders the real context menu for the README: the x64 build under 64-bit Wine with its X11
# driver on a virtual X display (Xvfb) and a Japanese font, the handler's popup opened; one
# picture for a folder and one for a mapped drive's root with the delete item, as a Japanese
# Windows shows them, and the folder's as an English one shows it. Each is cropped and
# checked (made, not blank). Leaves nothing running.
# usage: tools/screenshot.sh [OUTPUT-FOLDER]   (default: docs/images)
# With SCREENSHOT_BUILT=1 (as CTest runs it) the build is taken as it stands.
set -eu
cd "$(dirname "$0")/.."
root=$PWD
out=$(realpath -m "${1:-docs/images}")
[ -n "${SCREENSHOT_BUILT:-}" ] || bash tools/build.sh >/dev/null
build=$root/build/x64
work=$build/runs/screenshot
rm -rf "$work" && mkdir -p "$work/サンプル フォルダ" "$work/Sample Folder" "$out"
cp "$build/Lanterwell.dll" "$build/companion/SUBST.DLL" "$build/tools/menu-snapshot.exe" "$work/"

# A display of our own, and a prefix of our own that draws on it.
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display WINEPREFIX=$build/screenshot-prefix WINEDEBUG=-all LC_ALL=ja_JP.UTF-8
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml,winedbg.exe="
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
if ! grep -qx '#arch=win64' "$WINEPREFIX/system.reg" 2>/dev/null; then
    rm -rf "$WINEPREFIX"
    WINEARCH=win64 wineboot -i >/dev/null 2>&1
fi
# One server for both pictures; the one that made the prefix may still be running.
wineserver -k >/dev/null 2>&1 || true
wineserver -p >/dev/null 2>&1
cd "$work"

# shoot NAME ARGUMENTS...: shows the menu, takes the screen while it is open, crops, checks.
shoot() {
    local name=$1
    shift
    wine menu-snapshot.exe --at 24 24 --close-after 2500 "$@" >"$name.log" 2>&1 &
    local shown=$!
    sleep 2
    import -display "$display" -window root "$name.full.png"
    wait $shown
    # The screen is black but for the menu: cut to it, with a margin.
    convert "$name.full.png" -trim +repage -bordercolor black -border 8 -strip "$out/$name.png"
    # Made and not blank: a menu's size, its text in a colour of its own, mostly light.
    local size colors light
    size=$(identify -format '%wx%h' "$out/$name.png")
    colors=$(identify -format '%k' "$out/$name.png")
    light=$(convert "$out/$name.png" -format '%[fx:mean > 0.4 ? 1 : 0]' info:)
    if [ "${size%x*}" -lt 150 ] || [ "${size#*x}" -lt 100 ] || [ "$colors" -lt 3 ] ||
        [ "$light" != 1 ]; then
        echo "screenshot: $name.png is blank or too small ($size, $colors colours)" >&2
        cat "$name.log" >&2
        return 1
    fi
    echo "screenshot: $out/$name.png ($size, $colors colours)"
}
folder=$(winepath -w "$work/サンプル フォルダ" 2>/dev/null)
shoot menu-folder "$folder"
shoot menu-drive --map L "$folder" 'L:\'
# An English Windows: English texts for a folder whose name its code page holds.
LC_ALL=en_US.UTF-8 shoot menu-folder-en "$(winepath -w "$work/Sample Folder" 2>/dev/null)"
