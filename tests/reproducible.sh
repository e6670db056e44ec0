#!/usr/bin/env bash
# The same source gives the same bytes: builds what a release ships a second time, from a copy
# of the checkout in another, deeper folder, with the clock the build sees a day and seven
# hours later, and compares every shipped file with the build trees' own.
# usage: reproducible.sh SOURCE WORK X64-BUILD X86-BUILD ARM64-BUILD VERSION
set -u
. "$(dirname "$0")/checks.sh"
source=$1 work=$2 x64=$3 x86=$4 arm64=$5 version=$6
rm -rf "$work"
copy=$work/another/deeper/folder/lanterwell
mkdir -p "$copy"
# The checkout as it stands, its history too: the files' times are its commit's date.
(cd "$source" && tar --exclude=./build -cf - .) | (cd "$copy" && tar -xf -)
# Only the clock is moved: the files' times read as they are (NO_FAKE_STAT).
check "the second build succeeds" env NO_FAKE_STAT=1 \
    faketime '+1 day 7 hours' bash "$copy/tools/build-shipped.sh" "$copy" "$work/build"
for arch in x86 x64 arm64; do
    tree=$x64
    [ $arch = x86 ] && tree=$x86
    [ $arch = arm64 ] && tree=$arm64
    for file in Lanterwell.dll companion/SUBST.DLL tools/lwsubst.exe \
        "Lanterwell-$version-$arch.msix"; do
        check "$arch: $file" cmp "$tree/$file" "$work/build/$arch/$file"
    done
done
# The uninstaller and every file above are inside it.
check "the setup program" \
    cmp "$x64/Lanterwell-$version-setup.exe" "$work/build/x64/Lanterwell-$version-setup.exe"
summary reproducible
