#!/usr/bin/env bash
# Builds both architectures and runs every test under Wine: the x86 suite in a 32-bit
# prefix, the x64 suite (with the side-by-side registration of both DLLs) in a 64-bit one.
# Arguments go to both ctest runs.
set -eu
cd "$(dirname "$0")/.."
bash tools/build.sh
status=0
for arch in x86 x64; do
    echo "=== $arch"
    (cd "build/$arch" && ctest --output-on-failure "$@") || status=1
done
exit $status
