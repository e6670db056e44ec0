#!/usr/bin/env bash
# Makes (once per machine) an arm64 Debian root file system with arm64 Wine in it, where the
# ARM64 build's tests run under emulation (tools/arm64-run.py). It is kept outside the
# checkout, so that later builds on the same machine reuse it; a fresh machine makes it
# (6 to 13 minutes and about 1 GB here). Prints the root's path.
# Debian 13, because its arm64 Wine's DLLs are PE, as Windows' are; Debian 12's are ELF and
# read a Windows va_list as a Linux one.
set -eu
[ "$(id -u)" = 0 ] || exec sudo -E bash "$0" "$@"
here=$(cd "$(dirname "$0")" && pwd)
root=${LANTERWELL_ARM64_ROOT:-/var/cache/lanterwell/arm64-root-trixie}
if [ ! -f "$root/.lanterwell-ready" ]; then
    rm -rf "$root"
    mkdir -p "$root"
    mirror=http://deb.debian.org/debian
    debootstrap --arch=arm64 --foreign --variant=minbase trixie "$root" "$mirror" >&2
    inside() { python3 "$here/arm64-run.py" env container=lxc chroot "$root" "$@"; }
    inside /debootstrap/debootstrap --second-stage >&2
    echo "deb $mirror trixie main" >"$root/etc/apt/sources.list"
    inside apt-get update -q >&2
    inside env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -q --no-install-recommends wine64 locales >&2
    # The tests' locales: Wine takes its code page, and the encoding of file names, from them.
    printf '%s UTF-8\n' ja_JP.UTF-8 en_US.UTF-8 >"$root/etc/locale.gen"
    inside locale-gen >&2
    inside apt-get clean
    # Wine starts the server next to itself; Debian's is a shell script there, which the
    # host's shell would run to start the host's own server. The arm64 one is meant.
    ln -sf wineserver64 "$root/usr/lib/wine/wineserver"
    touch "$root/.lanterwell-ready"
fi
echo "$root"
