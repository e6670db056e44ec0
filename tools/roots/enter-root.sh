#!/usr/bin/env bash
# Runs a command with the Wine of a root that tools/roots/make-root.sh made as its `wine`,
# `wine64`, `wineserver`, `wineboot` and `winepath`, in a mount namespace of its own
# (tools/roots/run-in-root.sh makes it). Each of them runs changed into the root, in the caller's
# folder: the checkout is mounted into the root at its own path (in this namespace only), so
# that the build tree has one path for the host's programs and Wine's alike.
# usage: enter-root.sh ROOT COMMAND...
set -eu
root=$1
shift
checkout=$(cd "$(dirname "$0")/../.." && pwd)
mkdir -p "$root$checkout"
mount --bind "$checkout" "$root$checkout"
mount --rbind /proc "$root/proc"
mount --rbind /dev "$root/dev"
# Folders that tests make with mktemp, and the X server's socket.
mount --rbind /tmp "$root/tmp"
bin=$(mktemp -d)
trap 'rm -rf "$bin"' EXIT
tool() { # NAME COMMAND-LINE
    printf '#!/bin/sh\nexec %s "$@"\n' "$2" >"$bin/$1"
    chmod +x "$bin/$1"
}
inside="chroot '$root' /bin/sh -c 'cd \"\$0\" && exec \"\$@\"' \"\$PWD\""
tool wineserver "$inside /usr/lib/wine/wineserver64"
tool wine64 "$inside /usr/lib/wine/wine64"
if [ -x "$root/usr/lib/wine/wine" ]; then
    # Both Wines: Debian's own commands choose the loader by the prefix and the program.
    for name in wine wineboot winepath; do
        tool $name "$inside /usr/bin/$name"
    done
else
    tool wine "$inside /usr/lib/wine/wine64"
    tool wineboot "$inside /usr/lib/wine/wine64 wineboot"
    tool winepath "$inside /usr/lib/wine/wine64 winepath"
    # Tells the tests what cannot be observed under emulation (tests/TestSupport.h).
    export LANTERWELL_EMULATED=qemu
fi
export PATH=$bin:$PATH LANTERWELL_ROOT=$root
"$@"
