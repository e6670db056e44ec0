#!/usr/bin/env bash
# Builds the three architectures and runs every test under Wine, on two implementations: the
# x86 suite in a 32-bit prefix and the x64 suite (with the side-by-side registration of both
# DLLs) in a 64-bit one, each on the machine's Wine and on Wine 10 in an amd64 root; the ARM64
# suite in an arm64 prefix of Wine 10 in an arm64 root under qemu (tools/roots/run-in-root.sh).
# Arguments go to every ctest run.
set -eu
cd "$(dirname "$0")/.."
bash tools/build.sh
status=0
for arch in x86 x64; do
    bash tools/suite.sh $arch "$@" || status=1
done
# The tests that run no Windows program ran above already (cmake/WineTests.cmake).
for arch in x86 x64; do
    bash tools/roots/run-in-root.sh amd64 bash tools/suite.sh $arch -LE no-wine "$@" || status=1
done
bash tools/roots/run-in-root.sh arm64 bash tools/suite.sh arm64 "$@" || status=1
exit $status
