#!/usr/bin/env bash
# The same source gives the same bytes: makes a release (tools/release/release.sh) from a copy of the
# checkout in another, deeper folder, with the clock the build sees a day and seven hours
# later, and compares every file it ships with the build trees' own.
# usage: reproducible.sh SOURCE WORK X64-BUILD X86-BUILD ARM64-BUILD VERSION
set -u
. "$(dirname "$0")/checks.sh"
source=$1 work=$2 x64=$3 x86=$4 arm64=$5 version=$6
rm -rf "$work"
copy=$work/another/deeper/folder/lanterwell
mkdir -p "$copy"
# The checkout as it stands, its history too, with the build time it has; a release is of a
# commit, so changes not yet committed are committed in the copy.
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=$(sh "$source/tools/release/source-of" epoch)
(cd "$source" && tar --exclude=./build -cf - .) | (cd "$copy" && tar -xf -)
quiet git -C "$copy" add -A
quiet git -C "$copy" -c user.name=test -c user.email=test@invalid commit -m "as it stands"
release=$copy/release/Lanterwell-$version
base=https://downloads.invalid/lanterwell
# Only the clock is moved: the files' times read as they are (NO_FAKE_STAT).
check "the release is made" env NO_FAKE_STAT=1 faketime '+1 day 7 hours' \
    bash "$copy/tools/release/release.sh" --url "$base/"
check "its checksums hold" quiet sh -c "cd '$release' && sha256sum -c SHA256SUMS"
check "the checkout stays clean for the next release" \
    test -z "$(git -C "$copy" status --porcelain)"
# A change noted but given no version ships in no release.
sed -i 's/^## \[Unreleased\]$/&\n- A change not yet released./' "$copy/CHANGELOG.md"
quiet git -C "$copy" -c user.name=test -c user.email=test@invalid commit -am "unreleased"
check "a release refuses changes noted under [Unreleased]" sh -c \
    "said=\$(bash '$copy/tools/release/release.sh' --url '$base/' 2>&1)
     [ \$? = 1 ] && echo \"\$said\" | grep -q 'under \\[Unreleased\\]'"
quiet git -C "$copy" reset --hard HEAD~1
check "the build record names the commit" \
    grep -qx "Commit: $(git -C "$copy" rev-parse HEAD)" "$release/BUILDINFO"
check "and Zig's package with its hash" grep -q '^ npm .*zig.* sha512-' "$release/BUILDINFO"
# The distribution and Python the build ran on, and the packages of the tools whose work is in
# the Windows Installer packages and the signatures, as this machine has them.
for line in '^Build-Distribution: ' '^Build-Python: [0-9]' '^ wixl:' '^ libmsi' '^ libgcab' \
    '^ zlib1g:' '^ libssl' '^ libllvm14:' '^ wine64:'; do
    check "the build record names $line" grep -q "$line" "$release/BUILDINFO"
done
check "the bill of materials keeps CycloneDX's rules and names what ships" \
    python3 "$source/tests/sbom-check.py" "$release/Lanterwell-$version.cdx.json" "$release"
check "the source archive is the commit's, at the release's time" python3 -c "
import sys, tarfile
with tarfile.open(sys.argv[1]) as archive:
    members = archive.getmembers()
    assert members and all(m.mtime == int(sys.argv[2]) for m in members)
    assert any(m.name == 'lanterwell-$version/tools/release/release.sh' for m in members)
" "$release/lanterwell-$version-source.tar.gz" "$SOURCE_DATE_EPOCH"
# A releaser's settings that change what git exports: CR LF line endings, a strict umask.
git -C "$copy" config core.autocrlf true && git -C "$copy" config tar.umask 0077
check "and the same whatever git's settings" sh -c "python3 '$copy/tools/release/source-archive.py' \
    '$copy' 'lanterwell-$version' '$SOURCE_DATE_EPOCH' '$work/strict.tar.gz' &&
    cmp '$work/strict.tar.gz' '$release/lanterwell-$version-source.tar.gz'"
git -C "$copy" config --unset core.autocrlf && git -C "$copy" config --unset tar.umask
# A distributor with the release folder alone: its source archive, unpacked inside another
# project's repository (whose history is never read), makes the same release again.
outer=$work/distributor
mkdir -p "$outer" && quiet git -C "$outer" init && touch "$outer/theirs"
quiet git -C "$outer" add -A
quiet git -C "$outer" -c user.name=test -c user.email=test@invalid commit -m theirs \
    --date=@1000000000
tar -xzf "$release/lanterwell-$version-source.tar.gz" -C "$outer"
unpacked=$outer/lanterwell-$version
check "the source archive makes the release again" env -u SOURCE_DATE_EPOCH \
    bash "$unpacked/tools/release/release.sh" --url "$base/" --output "$work/again"
check "byte for byte" diff -r "$release" "$work/again"
echo "A change." >>"$unpacked/README.md"
check "but not from a file that is not the commit's" sh -c \
    "said=\$(bash '$unpacked/tools/release/release.sh' --url '$base/' --output '$work/x' 2>&1)
     [ \$? != 0 ] && echo \"\$said\" | grep -q 'README.md is not the commit'"
for arch in x86 x64 arm64; do
    tree=$x64
    [ $arch = x86 ] && tree=$x86
    [ $arch = arm64 ] && tree=$arm64
    check "$arch: the package" \
        cmp "$tree/Lanterwell-$version-$arch.msix" "$release/Lanterwell-$version-$arch.msix"
    check "$arch: the test bundle" cmp "$tree/Lanterwell-tests-$version-$arch.zip" \
        "$release/Lanterwell-tests-$version-$arch.zip"
done
# Every PE file, the uninstaller among them, is inside it.
check "the setup program" cmp "$x64/Lanterwell-$version-setup.exe" \
    "$release/Lanterwell-$version-setup.exe"
for platform in x64 x86; do
    check "the $platform Windows Installer package" cmp "$x64/Lanterwell-$version-$platform.msi" \
        "$release/Lanterwell-$version-$platform.msi"
done
# The packages' cabinets keep the release's times, whatever the times of the staged files.
stage=$work/stage && mkdir -p "$stage" "$work/msi"
cp -r "$x64/installer/x64" "$x64/installer/x86" "$x64/installer/docs" "$stage/"
publisher=$(msiinfo export "$x64/Lanterwell-$version-x64.msi" Property | sed -n 's/^Manufacturer\t//p' | tr -d '\r')
check "the Windows Installer packages from a stage of other file times" quiet bash \
    "$source/installer/msi/build-msi.sh" "$stage" "$work/msi" "$version" "$version.0" "$publisher" \
    "$MSI_UPGRADE_X64" "$MSI_UPGRADE_X86" "$x64/installer/msi/msi-harvest.exe" \
    "$x86/installer/msi/msi-harvest.exe" "Lanterwell-$version-x64.msix" "$x86/installer/msi/KeepKeys.dll"
for platform in x64 x86; do
    check "are the same $platform package" cmp "$x64/Lanterwell-$version-$platform.msi" \
        "$work/msi/Lanterwell-$version-$platform.msi"
done
check "the Group Policy templates, each as in the source" python3 -c "
import os, sys, zipfile
archive = zipfile.ZipFile(sys.argv[1])
files = {os.path.relpath(os.path.join(top, name), sys.argv[2]).replace(os.sep, '/')
         for top, _, names in os.walk(sys.argv[2]) for name in names}
assert set(archive.namelist()) == files and len(files) == 3
assert all(archive.read(n) == open(os.path.join(sys.argv[2], n), 'rb').read() for n in files)
" "$release/Lanterwell-$version-policy-templates.zip" "$source/policy"
check "the licence" cmp "$source/LICENSE" "$release/LICENSE"
check "the notices" cmp "$x64/installer/docs/THIRD-PARTY-NOTICES.txt" \
    "$release/THIRD-PARTY-NOTICES.txt"
check "the changelog's section for the version" \
    grep -q "^## \[$version\]" "$release/CHANGELOG-$version.md"
check "winget downloads from the base" \
    grep -rq "InstallerUrl: \"$base/Lanterwell-$version-setup.exe\"" "$release/winget"
summary reproducible
