#!/usr/bin/env bash
# Builds what a release ships, and nothing else, from a source tree into fresh build trees:
# the three architectures' Lanterwell.dll, SUBST.DLL, lwsubst.exe, the window Lanterwell.exe and
# package, then the setup
# program (with its winget manifest) from all three. Arguments after the two folders go to
# the x64 tree's configuration.
# usage: build-shipped.sh SOURCE BUILD-ROOT [CMAKE-ARGS...]
set -eu
# shellcheck source=SCRIPTDIR/quietly.sh
. "$(dirname "$0")/quietly.sh"
source=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
shift 2
tree() { # ARCH TOOLCHAIN TARGETS [CMAKE-ARGS...]
    local arch=$1 toolchain=$2 targets=$3
    shift 3
    rm -rf "${out:?}/$arch"
    quietly cmake -S "$source" -B "$out/$arch" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/$toolchain" \
        -DBUILD_TESTING=OFF "$@"
    # shellcheck disable=SC2086
    quietly cmake --build "$out/$arch" --target $targets
}
tree x86 mingw-i686.cmake "Lanterwell subst_companion lwsubst drives package msi-harvest msi-keep-keys"
tree arm64 zig-aarch64.cmake "Lanterwell subst_companion lwsubst drives package"
tree x64 mingw-x86_64.cmake "Lanterwell subst_companion lwsubst drives package installer msi" \
    -DLANTERWELL_X86_BUILD="$out/x86" -DLANTERWELL_ARM64_BUILD="$out/arm64" "$@"
