#!/usr/bin/env bash
# Makes (once per machine) a Debian 13 root file system with Wine 10 in it, where the suites
# run on a second Wine: arm64 runs under qemu (tools/roots/arm64-namespace.py), amd64 natively with both
# the 64-bit and the 32-bit Wine, so that a 64-bit prefix has its WoW64 side, and the Japanese
# font that the pictures show the menu in, and msitools, which the Windows Installer packages'
# tests read them with. It is kept outside the checkout, so that later runs
# on the same machine reuse it; a fresh machine makes it (arm64: 6 to 13 minutes and about
# 1 GB, amd64: about 2 minutes and 2 GB). Prints the root's path.
# Debian 13, because its arm64 Wine's DLLs are PE, as Windows' are; Debian 12's are ELF and
# read a Windows va_list as a Linux one.
# The packages come from the machine's own Debian mirror (and proxy), as apt knows them.
# usage: make-root.sh arm64|amd64
set -eu
[ "$(id -u)" = 0 ] || exec sudo -E bash "$0" "$@"
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=SCRIPTDIR/../apt.sh
. "$here/../apt.sh"
arch=${1:?which root: arm64 or amd64}
case $arch in
arm64) packages=(wine64) foreign=--foreign ;;
amd64) packages=(wine wine64 wine32:i386 fonts-ipafont-gothic wixl msitools) foreign= ;;
*) echo "wine-root: no root for $arch" >&2 && exit 2 ;;
esac
root=${LANTERWELL_ROOTS:-/var/cache/lanterwell}/$arch-root-trixie

# The first Debian archive of the machine's sources (not its security or updates suites).
# shellcheck disable=SC2016  # apt's own fields, which apt fills
mirror=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' 'Origin: Debian' |
    awk '$2 !~ /-/ { sub("/$", "", $1); print $1; exit }')
[ -n "$mirror" ] || { echo "wine-root: apt knows no Debian archive" >&2 && exit 1; }
eval "$(apt-config shell http_proxy Acquire::http::Proxy)"
[ -z "${http_proxy:-}" ] || export http_proxy

inside() {
    if [ "$arch" = arm64 ]; then
        python3 "$here/arm64-namespace.py" env container=lxc chroot "$root" "$@"
    else
        env container=lxc chroot "$root" "$@"
    fi
}
if [ ! -f "$root/.lanterwell-ready" ]; then
    rm -rf "$root"
    mkdir -p "$root"
    debootstrap --arch="$arch" ${foreign:+"$foreign"} --variant=minbase trixie "$root" "$mirror" >&2
    [ -z "$foreign" ] || inside /debootstrap/debootstrap --second-stage >&2
    echo "deb $mirror trixie main" >"$root/etc/apt/sources.list"
    [ -z "${http_proxy:-}" ] ||
        echo "Acquire::http::Proxy \"$http_proxy\";" >"$root/etc/apt/apt.conf.d/90proxy"
    [ "$arch" != amd64 ] || inside dpkg --add-architecture i386
    apt_update inside
    inside env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -q --no-install-recommends "${packages[@]}" locales >&2
    # The tests' locales: Wine takes its code page, and the encoding of file names, from them.
    printf '%s UTF-8\n' ja_JP.UTF-8 en_US.UTF-8 hi_IN.UTF-8 >"$root/etc/locale.gen"
    inside locale-gen >&2
    inside apt-get clean
    # Wine starts the server next to itself; Debian's is a shell script there that chooses
    # one by the machine it runs on. The 64-bit one serves both 32- and 64-bit programs.
    ln -sf wineserver64 "$root/usr/lib/wine/wineserver"
    echo "${packages[*]}" >"$root/.lanterwell-ready"
fi
# Packages named since the root was made come in without making it anew.
if [ "$(cat "$root/.lanterwell-ready")" != "${packages[*]}" ]; then
    apt_update inside
    inside env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -q --no-install-recommends "${packages[@]}" >&2
    inside apt-get clean
    echo "${packages[*]}" >"$root/.lanterwell-ready"
fi
echo "$root"
