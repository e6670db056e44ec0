#!/usr/bin/env bash
# Prints the release's build record: the commit, the build time every file carries, the
# distribution and the Python the build ran on, and the exact version of every tool and package
# whose work is in the bytes, each backported one marked with its suite. Zig comes from npm: its
# version and the package's SHA-512 as the lock file the set-up wrote records them.
# usage: buildinfo.sh SOURCE SIGNED(yes|no) TIMESTAMP-URL|''
set -eu
source=$1 signed=$2 timestamp=$3
zig_lock=${LANTERWELL_ZIG_DIR:-/var/cache/lanterwell/zig}/package-lock.json
# The packages behind the compilers, the runtimes they link in, the resource and type-library
# compilers, NSIS and the signing tool, and what drives them; Wine, which runs the Windows
# Installer packages' registration harvest; 7-Zip, which reads the setup program's contents for
# the bill of materials.
packages="g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix gcc-mingw-w64-i686-posix
    gcc-mingw-w64-x86-64-posix gcc-mingw-w64-i686-posix-runtime
    gcc-mingw-w64-x86-64-posix-runtime gcc-mingw-w64-base mingw-w64-common
    mingw-w64-i686-dev mingw-w64-x86-64-dev binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
    mingw-w64-tools llvm-14 nsis nsis-common osslsigncode faketime cmake ninja-build python3
    git wixl msitools wine wine64 wine32 libwine p7zip-full"
# The tools that write shipped bytes, whose libraries (the packages' writers, zlib, OpenSSL,
# LLVM's library) are found as the machine has them.
tools="wixl msibuild osslsigncode makensis llvm-windres-14 llvm-readobj-14
    i686-w64-mingw32-widl x86_64-w64-mingw32-widl"
# The package a file comes from, whichever of its names (merged /usr or not) dpkg knows.
owner() {
    local real
    real=$(readlink -f "$1")
    dpkg-query -S "$1" "$real" "${real#/usr}" 2>/dev/null | sed -n '1s/[:,].*//p'
}
for tool in $tools; do
    path=$(command -v "$tool") || continue
    packages="$packages $(owner "$path")"
    # The libraries the tool links, not one preloaded into the build (a moved clock's).
    for library in $(env -u LD_PRELOAD ldd "$path" 2>/dev/null |
        sed -n 's/.* => \(\/[^ ]*\) .*/\1/p'); do
        packages="$packages $(owner "$library")"
    done
done
python=$(python3 -c 'import sys; print(sys.executable)')
echo "Format: Lanterwell build record 2"
echo "Commit: $(sh "$source/tools/release/source-of" commit)"
echo "Source-Date-Epoch: $(sh "$source/tools/release/source-of" epoch)"
echo "Signed: $signed"
echo "Timestamp-Server: ${timestamp:-none}"
echo "Build-Architecture: $(dpkg --print-architecture)"
. /etc/os-release
echo "Build-Distribution: $ID $VERSION_ID ($VERSION_CODENAME)"
# The Python that ran the build's scripts, which need not be the distribution's.
python_package=$(owner "$python")
echo "Build-Python: $(python3 -c 'import platform; print(platform.python_version())') $python" \
    "(${python_package:-not a Debian package})"
echo "Build-Packages:"
# Each with the suite it came from where that is not the release's own (backports).
# shellcheck disable=SC2086  # a list of package names, one word each
mapfile -t names < <(printf '%s\n' $packages | sort -u)
dpkg-query -W -f=' ${Package}:${Architecture} (= ${Version})\n' "${names[@]}" |
    sed "s/~bpo[0-9]*+[0-9]*)\$/&  [$VERSION_CODENAME-backports]/" | LC_ALL=C sort -u
python3 - "$zig_lock" <<'PYTHON'
import json, sys
for name, entry in sorted(json.load(open(sys.argv[1]))["packages"].items()):
    if name:
        print(" npm %s (= %s) %s" % (name.split("node_modules/")[-1], entry["version"],
                                    entry["integrity"]))
PYTHON
