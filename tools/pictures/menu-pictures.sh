#!/usr/bin/env bash
# Renders the real context menu for the README: the x64 build under 64-bit Wine with its X11
# driver on a virtual X display (Xvfb) and a Japanese font, the handler's popup opened; one
# picture for a folder and one for a mapped drive's root with the delete item, as a Japanese
# Windows shows them, and the folder's as an English one shows it. Each is cropped and
# checked (made, not blank). Then the drives window, Lanterwell.exe, with four drives in its
# list (kept for sign-in, of this session only, saved and not mapped now, and one whose folder
# is gone) and its Change dialog, in Japanese and English at 96 and 144 DPI, the window checked
# to differ from the same window with its list empty. Leaves nothing running.
# usage: tools/pictures/menu-pictures.sh [OUTPUT-FOLDER]   (default: docs/images)
# With SCREENSHOT_BUILT=1 (as CTest runs it) the build is taken as it stands.
set -eu
cd "$(dirname "$0")/../.."
root=$PWD
. tools/wine.sh
out=$(realpath -m "${1:-docs/images}")
[ -n "${SCREENSHOT_BUILT:-}" ] || bash tools/build.sh >/dev/null
build=$root/build/x64
work=$build/runs/screenshot
rm -rf "$work" && mkdir -p "$work/サンプル フォルダ" "$work/Sample Folder" "$out"
cp "$build/Lanterwell.dll" "$build/companion/SUBST.DLL" "$build/tests/hosts/menu-snapshot.exe" \
    "$build/tests/hosts/change-first-row.exe" "$build/drives/Lanterwell.exe" \
    "$build/drives/lwsubst.exe" "$work/"

# A display of our own, and a prefix of our own that draws on it.
start_display 1024x768
export WINEPREFIX=$build/screenshot-prefix WINEDEBUG=-all LC_ALL=ja_JP.UTF-8
export WINEDLLOVERRIDES=$WINE_SETUPS
cleanup() {
    quiet wineserver -k || true
    stop_display
}
trap cleanup EXIT
made_for "$WINEPREFIX" win64 || make_prefix "$WINEPREFIX" win64 x11
# The menus at 96 DPI, whatever an earlier run left.
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1
# One server for both pictures; the one that made the prefix may still be running.
stop_server
quiet wineserver -p
cd "$work"

# shoot NAME ARGUMENTS...: shows the menu, waits until its popup of letters is open, takes the
# screen until the picture holds both menus, closes the menu, crops, checks. Every wait has a
# deadline that only a hang reaches.
shoot() {
    local name=$1
    shift
    rm -f "$name.close"
    : >"$name.log"
    wine menu-snapshot.exe --at 24 24 --close-when "$(winepath -w "$work/$name.close" 2>/dev/null)" \
        "$@" >"$name.log" 2>&1 &
    local shown=$! covered=''
    for _ in $(seq 1 1200); do
        covered=$(tr -d '\r' <"$name.log" | sed -n 's/^popup open: //p')
        [ -n "$covered" ] || ! kill -0 $shown 2>/dev/null && break
        sleep 0.25
    done
    # The menus' rectangle on the screen: the picture must hold all of it, the popup included.
    local left top right bottom width height size=0x0
    read -r left top right bottom <<<"${covered:-0 0 0 0}"
    width=$((right - left)) height=$((bottom - top))
    for _ in $(seq 1 240); do
        [ -n "$covered" ] || break
        import -window root "$name.full.png"
        # The screen is black but for the menus: cut to them, with a margin.
        convert "$name.full.png" -trim +repage -bordercolor black -border 8 -strip "$out/$name.png"
        size=$(identify -format '%wx%h' "$out/$name.png")
        [ "${size%x*}" -ge "$width" ] && [ "${size#*x}" -ge "$height" ] && break
        sleep 0.25
    done
    touch "$name.close"
    wait $shown
    # Made, the letters' popup in it, and not blank: its text in a colour of its own, mostly
    # light.
    local colors=0 light=0
    if [ -f "$out/$name.png" ]; then
        colors=$(identify -format '%k' "$out/$name.png")
        light=$(convert "$out/$name.png" -format '%[fx:mean > 0.4 ? 1 : 0]' info:)
    fi
    if [ -z "$covered" ] || [ "$width" -lt 150 ] || [ "${size%x*}" -lt "$width" ] ||
        [ "${size#*x}" -lt "$height" ] || [ "$colors" -lt 3 ] || [ "$light" != 1 ]; then
        echo "screenshot: $name.png lacks the open popup or is blank (${size}, menus ${width}x${height}, $colors colours)" >&2
        cat "$name.log" >&2
        return 1
    fi
    echo "screenshot: $out/$name.png ($size, $colors colours)"
}
folder=$(winepath -w "$work/サンプル フォルダ" 2>/dev/null)
shoot menu-folder "$folder"
shoot menu-drive --map L "$folder" 'L:'\\
# An English Windows: English texts for a folder whose name its code page holds.
LC_ALL=en_US.UTF-8 shoot menu-folder-en "$(winepath -w "$work/Sample Folder" 2>/dev/null)"

# The window's drives stand for folders a user would have, in the prefix's public folders.
public=$WINEPREFIX/drive_c/users/Public
saved_folder='C:\users\Public\Documents\Reports'
session_folder='C:\users\Public\Pictures\Holiday 2026'
# Saved, and not mapped now.
absent_folder='C:\users\Public\Music\Archive'
# Mapped, its folder gone since.
gone_folder='C:\users\Public\Videos\Old project'

# The window's four kinds of row, in a new session.
make_drives() {
    mkdir -p "$public/Documents/Reports" "$public/Pictures/Holiday 2026" \
        "$public/Music/Archive" "$public/Videos/Old project"
    # A drive of this session only, made while nothing is restored, then saved ones (the first
    # turns the user's restore on).
    wine lwsubst.exe /persist off >/dev/null 2>&1
    wine lwsubst.exe S: "$session_folder" >/dev/null 2>&1
    wine lwsubst.exe U: "$gone_folder" >/dev/null 2>&1
    rm -rf "$public/Videos/Old project"
    wine lwsubst.exe R: "$saved_folder" /save >/dev/null 2>&1
    quiet wine reg add 'HKCU\Software\Lanterwell\Drives' /v T /d "$absent_folder" /f
}
forget_drives() {
    local letter
    for letter in R S T U; do
        wine lwsubst.exe $letter: /d >/dev/null 2>&1
    done
}

# settled ID FILE: the window's picture once it is drawn: the same picture twice running. The
# pictures it compares are the work folder's, never beside the ones it makes.
settled() {
    local first=$work/settling.a.png second=$work/settling.b.png
    import -window "$1" "$first"
    for _ in $(seq 1 2400); do
        import -window "$1" "$second"
        [ "$(compare -metric AE "$first" "$second" null: 2>&1)" = 0 ] && break
        mv "$second" "$first"
    done
    convert "$second" -strip "$2"
    rm -f "$first" "$second"
}

# change_dialog NAME: the Change dialog of the window's first drive.
change_dialog() {
    local id
    wine change-first-row.exe >/dev/null 2>&1
    id=$(find_window '^(Change virtual drive|仮想ドライブの変更)$')
    settled "$id" "$out/$1.png"
    # Made, and not blank: the dialog's controls in colours of their own.
    local colors
    colors=$(identify -format '%k' "$out/$1.png" 2>/dev/null || echo 0)
    if [ "$colors" -lt 3 ]; then
        echo "screenshot: $1.png is blank ($colors colours)" >&2
        return 1
    fi
    echo "screenshot: $out/$1.png ($colors colours)"
}

# window NAME DPI: the drives window at that DPI with its four kinds of row, and its Change
# dialog, in the locale in effect.
window() {
    local name=$1 dpi=$2 id
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    # Windows read the DPI when the session starts.
    stop_server
    quiet wineserver -p
    make_drives
    wine Lanterwell.exe >/dev/null 2>&1 &
    local shown=$!
    id=$(find_window '^Lanterwell$')
    settled "$id" "$out/$name.png"
    change_dialog "${name/window/change}"
    # The rows are what the picture shows: without them it would be another picture.
    forget_drives
    local differ=0
    for _ in $(seq 1 2400); do
        import -window "$id" "$name.empty.png"
        differ=$(compare -metric AE "$out/$name.png" "$name.empty.png" null: 2>&1 || true)
        [ "${differ%%.*}" -gt 400 ] 2>/dev/null && break
        sleep 0.25
    done
    # Closed as Windows closes it (WM_CLOSE): the X window found may not be the one that takes
    # keys, with Wine 10's X11 driver. The 64-bit taskkill, which sees a 64-bit program's name.
    quiet "$WINE64" taskkill /f /im Lanterwell.exe || true
    wait $shown || true
    if [ "${differ%%.*}" -le 400 ] 2>/dev/null; then
        echo "screenshot: $name.png does not show the list's rows ($differ pixels)" >&2
        return 1
    fi
    echo "screenshot: $out/$name.png (rows: $differ pixels)"
}
for dpi in 96 144; do
    window "window-ja-$dpi" $dpi
    LC_ALL=en_US.UTF-8 window "window-en-$dpi" $dpi
done
