#!/usr/bin/env bash
# Runs a command with the arm64 Wine of the root that tools/arm64-root.sh made as its `wine`,
# `wineserver`, `wineboot` and `winepath`: meant to run under tools/arm64-run.py, where arm64
# programs run through qemu. Each of them runs changed into the root, in the caller's folder:
# the checkout is mounted into the root at its own path (in this namespace only), so that the
# build tree has one path for the host's programs and Wine's alike.
# usage: arm64-wine.sh ROOT COMMAND...
set -eu
root=$1
shift
checkout=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$root$checkout"
mount --bind "$checkout" "$root$checkout"
mount --rbind /proc "$root/proc"
mount --rbind /dev "$root/dev"
bin=$(mktemp -d)
trap 'rm -rf "$bin"' EXIT
tool() { # NAME COMMAND-LINE
    printf '#!/bin/sh\nexec %s "$@"\n' "$2" >"$bin/$1"
    chmod +x "$bin/$1"
}
inside="chroot '$root' /bin/sh -c 'cd \"\$0\" && exec \"\$@\"' \"\$PWD\""
tool wine "$inside /usr/lib/wine/wine64"
tool wine64 "$inside /usr/lib/wine/wine64"
tool wineserver "$inside /usr/lib/wine/wineserver64"
tool wineboot "$inside /usr/lib/wine/wine64 wineboot"
tool winepath "$inside /usr/lib/wine/wine64 winepath"
export PATH=$bin:$PATH
# Tells the tests what cannot be observed under emulation (tests/TestSupport.h).
export LANTERWELL_EMULATED=qemu
"$@"
