#!/usr/bin/env bash
# Builds the test bundles a release carries beside what it ships (tests/bundle): a tree of each
# architecture with testing on, configured as the build configures its own, and in each the
# bundle alone.
# usage: build-bundles.sh SOURCE BUILD-ROOT
set -eu
# shellcheck source=SCRIPTDIR/quietly.sh
. "$(dirname "$0")/quietly.sh"
source=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
for pair in x86:mingw-i686.cmake x64:mingw-x86_64.cmake arm64:zig-aarch64.cmake; do
    tree=$out/tests-${pair%%:*}
    rm -rf "$tree"
    quietly cmake -S "$source" -B "$tree" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/${pair#*:}"
    quietly cmake --build "$tree" --target test_bundle
done
