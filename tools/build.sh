#!/usr/bin/env bash
# Configures (once) and builds Lanterwell for both architectures, build/x86 (i686, 32-bit
# Windows) and build/x64 (x86-64, 64-bit Windows), then the setup program from both
# (build/x64/Lanterwell-<version>-setup.exe). The x64 tree is told where the x86 one is,
# for the tests that register both DLLs side by side in one 64-bit prefix.
set -eu
cd "$(dirname "$0")/.."
root=$PWD
configure() { # TREE TOOLCHAIN [CMAKE-ARGS...]
    local tree=$1 toolchain=$2
    shift 2
    if [ ! -f "$tree/CMakeCache.txt" ]; then
        cmake -S . -B "$tree" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/$toolchain" "$@" >/dev/null
    fi
}
configure build/x86 mingw-i686.cmake
configure build/x64 mingw-x86_64.cmake -DLANTERWELL_X86_BUILD="$root/build/x86"
cmake --build build/x86
cmake --build build/x64
# The packages for Windows 11's context menu, one for each architecture.
cmake --build build/x86 --target package
cmake --build build/x64 --target package
# The setup program, from both.
cmake --build build/x64 --target installer
