#!/usr/bin/env bash
# Makes a release of the commit the checkout is at: builds the three architectures in fresh
# build trees (tools/release/build-shipped.sh), signs everything that ships when given a certificate,
# and writes one folder:
#   Lanterwell-<version>-setup.exe, the Windows Installer packages Lanterwell-<version>-x64.msi
#   and -x86.msi, the three Lanterwell-<version>-<arch>.msix packages,
#   winget/manifests/... (InstallerUrl under BASE, checked against the manifest schemas),
#   LICENSE, THIRD-PARTY-NOTICES.txt, CHANGELOG-<version>.md (CHANGELOG.md's section for the
#   version), the commit's source (lanterwell-<version>-source.tar.gz), the build record
#   (BUILDINFO: the commit, the time, every tool's exact version), the bill of materials
#   (Lanterwell-<version>.cdx.json, CycloneDX), the test bundles for Windows
#   (Lanterwell-tests-<version>-<arch>.zip, tools/release/build-bundles.sh; tools, not
#   shipped: neither signed nor in the bill of materials) and SHA256SUMS over all of them.
# The same commit gives the same files, signed with one certificate or not, on any machine with
# the same packages, in any folder, under any clock and time zone, from its git repository or
# from the source archive unpacked anywhere: SOURCE_DATE_EPOCH, when not set, is the commit's
# date (tools/release/source-of), and every signature states it. --timestamp adds an RFC 3161
# timestamp from that server, the one thing that then differs between two signings.
# The folder is release/ in the checkout (which git ignores) unless --output names another.
# usage: tools/release/release.sh --url BASE [--sign PFX --password-file FILE [--timestamp URL]]
#                                 [--output DIR]
set -eu
usage() {
    echo "usage: tools/release/release.sh --url BASE [--sign PFX --password-file FILE" \
        "[--timestamp URL]] [--output DIR]" >&2
    exit 2
}
fail() {
    echo "release: $*" >&2
    exit 1
}
cd "$(dirname "$0")/../.."
root=$PWD
url='' pfx='' password='' timestamp='' out=''
while [ $# -gt 0 ]; do
    case $1 in
    --url | --sign | --password-file | --timestamp | --output) [ $# -ge 2 ] || usage ;;&
    --url) url=${2%/} ;;
    --sign) pfx=$(realpath "$2") ;;
    --password-file) password=$(realpath "$2") ;;
    --timestamp) timestamp=$2 ;;
    --output) out=$2 ;;
    *) usage ;;
    esac
    shift 2
done
[ -n "$url" ] || usage
[ -z "$pfx" ] || [ -n "$password" ] || fail "--sign needs --password-file"
[ -z "$timestamp" ] || [ -n "$pfx" ] || fail "--timestamp needs --sign"
# A release is of a commit: a repository of its own, clean, or a tree unpacked from a release's
# source archive, each of whose files source-archive.py checks against the commit.
case $(sh tools/release/source-of origin) in
git)
    [ -z "$(git status --porcelain)" ] ||
        fail "the checkout has changes that are not committed: a release is of a commit"
    ;;
archive) ;;
*) fail "the source is neither a git repository of its own nor unpacked from a release's archive" ;;
esac
commit=$(sh tools/release/source-of commit)
version=$(sed -n 's/^project(Lanterwell VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
# A release carries its own version and notes: changes noted under [Unreleased] ship in no
# release until they are moved under the next version, to which the project's version is raised.
[ -z "$(awk '/^## \[Unreleased\]/ { on = 1; next } on && /^## / { exit } on && NF' CHANGELOG.md)" ] ||
    fail "CHANGELOG.md notes changes under [Unreleased]: move them under the next version and" \
        "raise the project's version ($version) to it"
grep -q "^## \[$version\]" CHANGELOG.md || fail "CHANGELOG.md has no section for $version"
out=$(realpath -m "${out:-$root/release/Lanterwell-$version}")
SOURCE_DATE_EPOCH=$(sh tools/release/source-of epoch)
export SOURCE_DATE_EPOCH
unset LANTERWELL_SIGNING_PFX LANTERWELL_SIGNING_PASSWORD_FILE LANTERWELL_TIMESTAMP_URL
if [ -n "$pfx" ]; then
    export LANTERWELL_SIGNING_PFX=$pfx LANTERWELL_SIGNING_PASSWORD_FILE=$password
    [ -z "$timestamp" ] || export LANTERWELL_TIMESTAMP_URL=$timestamp
fi

rm -rf "$out"
mkdir -p "$out"
# First, so that a tree that is not the commit is refused before the build.
python3 tools/release/source-archive.py "$root" "lanterwell-$version" "$SOURCE_DATE_EPOCH" \
    "$out/lanterwell-$version-source.tar.gz"
build=$(mktemp -d)
trap 'rm -rf "$build"' EXIT
setup=Lanterwell-$version-setup.exe
bash tools/release/build-shipped.sh "$root" "$build" -DLANTERWELL_DOWNLOAD_URL="$url/$setup"

cp "$build/x64/$setup" "$build/x64/installer/docs/THIRD-PARTY-NOTICES.txt" LICENSE "$out/"
cp "$build/x64/Lanterwell-$version-x64.msi" "$build/x64/Lanterwell-$version-x86.msi" "$out/"
bash tools/release/build-bundles.sh "$root" "$build"
for arch in x86 x64 arm64; do
    cp "$build/$arch/Lanterwell-$version-$arch.msix" \
        "$build/tests-$arch/Lanterwell-tests-$version-$arch.zip" "$out/"
done
cp -r "$build/x64/winget" "$out/"
python3 tools/release/policy-templates.py policy "$SOURCE_DATE_EPOCH" \
    "$out/Lanterwell-$version-policy-templates.zip"
python3 installer/winget_schema.py "$out/winget" >/dev/null || fail "the winget manifest breaks its schema"
# The version's section: from its heading to the next one.
awk -v heading="## [$version]" 'index($0, heading) == 1 { on = 1 } on && /^## / && index($0, heading) != 1 { exit } on' \
    CHANGELOG.md >"$out/CHANGELOG-$version.md"
[ -s "$out/CHANGELOG-$version.md" ] || fail "CHANGELOG.md has no section for $version"
mapfile -t maps < <(sed 's/^/--map=/' "$build/x64/installer/link-maps.txt")
python3 tools/release/sbom.py --release "$out" --stage "$build/x64/installer" \
    --zig "$(sed -n 's/^LANTERWELL_ZIG_ROOT:INTERNAL=//p' "$build/arm64/CMakeCache.txt")" \
    "${maps[@]}" --version "$version" --commit "$commit" \
    --epoch "$SOURCE_DATE_EPOCH" --output "$out/Lanterwell-$version.cdx.json"
bash tools/release/buildinfo.sh "$root" "$([ -n "$pfx" ] && echo yes || echo no)" "$timestamp" \
    >"$out/BUILDINFO"
sums=$(cd "$out" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort |
    xargs -d '\n' sha256sum)
printf '%s\n' "$sums" >"$out/SHA256SUMS"
echo "release $version: $out"
