#!/usr/bin/env bash
# Builds the three architectures and runs every test under Wine: the x86 suite in a 32-bit
# prefix, the x64 suite (with the side-by-side registration of both DLLs) in a 64-bit one, and
# the ARM64 suite in an arm64 prefix of an arm64 Wine under qemu (tools/arm64-run.py).
# Arguments go to every ctest run.
set -eu
cd "$(dirname "$0")/.."
bash tools/build.sh
status=0
for arch in x86 x64; do
    echo "=== $arch"
    (cd "build/$arch" && ctest --output-on-failure "$@") || status=1
done
echo "=== arm64 (emulated)"
root=$(bash tools/arm64-root.sh)
as_root=
[ "$(id -u)" = 0 ] || as_root="sudo -E"
$as_root python3 tools/arm64-run.py bash tools/arm64-wine.sh "$root" \
    bash -c 'cd build/arm64 && ctest --output-on-failure "$@"' ctest "$@" || status=1
exit $status
