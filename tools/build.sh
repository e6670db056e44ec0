#!/usr/bin/env bash
# Configures (once) and builds Lanterwell for the three architectures, build/x86 (i686, 32-bit
# Windows), build/x64 (x86-64, 64-bit Windows) and build/arm64 (Windows on ARM, with Zig),
# then the setup program from all three (build/x64/Lanterwell-<version>-setup.exe). The x64
# tree is told where the others are: the setup program takes their files, and the tests
# register the x86 DLL beside the x64 one in one 64-bit prefix.
set -eu
cd "$(dirname "$0")/.."
root=$PWD
configure() { # TREE TOOLCHAIN [CMAKE-ARGS...]
    local tree=$1 toolchain=$2
    shift 2
    if [ ! -f "$tree/CMakeCache.txt" ]; then
        cmake -S . -B "$tree" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/$toolchain" "$@" >/dev/null
    elif [ $# -gt 0 ]; then
        cmake -B "$tree" "$@" >/dev/null
    fi
}
configure build/x86 mingw-i686.cmake
configure build/arm64 zig-aarch64.cmake
configure build/x64 mingw-x86_64.cmake -DLANTERWELL_X86_BUILD="$root/build/x86" \
    -DLANTERWELL_ARM64_BUILD="$root/build/arm64"
for arch in x86 arm64 x64; do
    cmake --build "build/$arch"
    # The package for Windows 11's context menu.
    cmake --build "build/$arch" --target package
done
# The setup program, from all three.
cmake --build build/x64 --target installer
# The Windows Installer packages, from the setup program's sets.
cmake --build build/x64 --target msi
