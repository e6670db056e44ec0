#!/usr/bin/env bash
# Pictures of every page of the setup program and its uninstaller, in Japanese and English at
# 96 and 144 DPI, as Windows draws them with those settings: for a person to look at whether
# every text fits (nothing here is asserted). The setup program runs its wizard for real, in a
# 32-bit prefix of its own per DPI on a virtual X display, answered with Enter page by page.
# usage: tools/setup-pictures.sh [OUTPUT-FOLDER]   (default: build/x64/setup-pictures)
set -eu
cd "$(dirname "$0")/.."
build=$PWD/build/x64
setup=$(ls "$build"/Lanterwell-*-setup.exe)
out=$(realpath -m "${1:-$build/setup-pictures}")
rm -rf "$out" && mkdir -p "$out"
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT

# shoot NAME: the wizard's window as it is now, once it has settled.
shoot() {
    local window
    window=$(xdotool search --sync --onlyvisible --name Lanterwell | tail -n 1)
    sleep 1 # a picture: the page may still be drawing
    import -window "$window" "$out/$1.png"
    echo "$out/$1.png"
}
next() { xdotool key --window "$(xdotool search --onlyvisible --name Lanterwell | tail -n 1)" Return; }

for dpi in 96 144; do
    export WINEPREFIX=$build/runs/setup-pictures/prefix-$dpi
    rm -rf "$WINEPREFIX" && mkdir -p "$WINEPREFIX"
    WINEARCH=win32 wineboot -i >/dev/null 2>&1
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1
    wine reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1
    wineserver -k >/dev/null 2>&1 || true
    for language in ja_JP en_US; do
        export LC_ALL=$language.UTF-8
        stem=${language%_*}-$dpi
        wine "$setup" >/dev/null 2>&1 &
        setup_pid=$!
        shoot "$stem-setup-welcome"
        next
        # The option chosen, so that its description shows.
        xdotool search --sync --onlyvisible --name Lanterwell >/dev/null
        sleep 1
        xdotool key --window "$(xdotool search --onlyvisible --name Lanterwell | tail -n 1)" Down
        shoot "$stem-setup-components"
        next
        shoot "$stem-setup-folder"
        next
        # Installing, then the finish page.
        until xdotool search --onlyvisible --name Lanterwell >/dev/null &&
            [ -f "$WINEPREFIX/drive_c/Program Files/Lanterwell/uninstall.exe" ]; do sleep 0.5; done
        sleep 2
        shoot "$stem-setup-finish"
        next
        wait $setup_pid || true
        wine "C:\\Program Files\\Lanterwell\\uninstall.exe" >/dev/null 2>&1 &
        shoot "$stem-uninstall-confirm"
        next
        until [ ! -f "$WINEPREFIX/drive_c/Program Files/Lanterwell/Lanterwell.dll" ]; do sleep 0.5; done
        shoot "$stem-uninstall-done"
        next
        wineserver -w
    done
done
