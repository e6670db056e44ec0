#!/usr/bin/env bash
# Pictures of every page of the setup program and its uninstaller, in Japanese and English at
# 96 and 144 DPI, as Windows draws them with those settings: for a person to look at whether
# every text fits (nothing here is asserted). The setup program runs its wizard for real, in a
# 32-bit prefix of its own per DPI on a virtual X display, answered with Enter page by page.
# usage: tools/pictures/setup-pictures.sh [OUTPUT-FOLDER]   (default: build/x64/setup-pictures)
set -eu
cd "$(dirname "$0")/../.."
. tools/wine.sh
build=$PWD/build/x64
setup=$(ls "$build"/Lanterwell-*-setup.exe)
out=$(realpath -m "${1:-$build/setup-pictures}")
rm -rf "$out" && mkdir -p "$out"
start_display 1280x1024
export WINEDEBUG=-all WINEDLLOVERRIDES=$WINE_SETUPS
cleanup() {
    quiet wineserver -k || true
    stop_display
}
trap cleanup EXIT

# The wizard's window.
window() { find_window Lanterwell tail; }
same() { [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = 0 ]; }
# settled FILE: waits until the wizard shows a page other than the last one taken, drawn to
# the end (two takes in a row alike), and keeps it as FILE.
last=
settled() {
    local take=$work/take.png previous=$work/previous.png
    rm -f "$previous"
    for _ in $(seq 1 3000); do
        if import -window "$(window)" "$take" 2>/dev/null; then
            if [ -f "$previous" ] && same "$take" "$previous" &&
                { [ -z "$last" ] || ! same "$take" "$last"; }; then
                mv "$take" "$1"
                last=$1
                return 0
            fi
            mv "$take" "$previous"
        fi
        sleep 0.2
    done
    echo "setup-pictures: no page settled for $1" >&2
    return 1
}
shoot() { settled "$out/$1.png" && echo "$out/$1.png"; }
next() { xdotool key --window "$(window)" Return; }
# The welcome and finish pages have the wizard's picture down their left side, the pages
# between have not: its dark blue at a tenth of the width, half the height.
side_picture() {
    local colour
    colour=$(convert "$1" -format '%[fx:int(255*p{w/10,h/2}.r)] %[fx:int(255*p{w/10,h/2}.b)]' info:)
    [ "${colour#* }" -gt $((${colour% *} + 64)) ]
}

work=$build/runs/setup-pictures
for dpi in 96 144; do
    export WINEPREFIX=$work/prefix-$dpi
    make_prefix "$WINEPREFIX" win32 x11
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1
    wine reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1
    stop_server
    folder="$WINEPREFIX/drive_c/Program Files/Lanterwell"
    for language in ja_JP en_US; do
        export LC_ALL=$language.UTF-8
        stem=${language%_*}-$dpi
        last=
        wine "$setup" >/dev/null 2>&1 &
        setup_pid=$!
        shoot "$stem-setup-welcome"
        next
        # The licence, agreed to with the default button.
        shoot "$stem-setup-licence"
        next
        # The option chosen, so that its description shows.
        settled "$work/components-unchosen.png"
        xdotool key --window "$(window)" Down
        shoot "$stem-setup-components"
        next
        shoot "$stem-setup-folder"
        next
        # Installing, then the finish page.
        settled "$work/installing.png"
        until side_picture "$last"; do settled "$work/installing.png"; done
        cp "$last" "$out/$stem-setup-finish.png" && echo "$out/$stem-setup-finish.png"
        next
        wait $setup_pid || true
        wine "C:\\Program Files\\Lanterwell\\uninstall.exe" >/dev/null 2>&1 &
        shoot "$stem-uninstall-confirm"
        next
        # The uninstaller's last step takes the folder away; its page then says it is done.
        for _ in $(seq 1 1200); do [ -e "$folder" ] && sleep 0.5; done
        shoot "$stem-uninstall-done"
        next
        wineserver -w
    done
done
