#!/usr/bin/env bash
# Makes the Windows Installer packages from the setup program's staged sets: the x64 package
# (the x64 and the x86 set) and the x86 one (the x86 set). Each DLL's registration is
# harvested under Wine in a private prefix, the package source written (make-msi.py), built
# with wixl, what wixl cannot say set with msibuild, all at the release's time, so that the
# same sets give the same packages; signed, last, when a certificate is given
# (tools/release/sign.py).
# usage: build-msi.sh STAGE OUTPUT-DIR VERSION VERSION4 PUBLISHER UPGRADE-X64 UPGRADE-X86
#                     HARVEST-X64 HARVEST-X86 PACKAGE (the Windows 11 package's name in STAGE/x64)
#                     KEEP-KEYS (the packages' custom action DLL)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../tools/wine.sh"
stage=$1 output=$2 version=$3 version4=$4 publisher=$5 upgrade_x64=$6 upgrade_x86=$7
harvest_x64=$8 harvest_x86=$9 package=${10} keep_keys=${11}
work=$stage/msi-work
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX=$stage/msi-prefix WINEDEBUG=-all WINEDLLOVERRIDES=$WINE_PROGRAMS LC_ALL=C.UTF-8
trap 'quiet wineserver -k || true' EXIT
# Wine on the machine's own clock: a release may be made under a clock moved on (faketime),
# which the harvest has no need of.
(
    unset LD_PRELOAD FAKETIME
    made_for "$WINEPREFIX" win64 || make_prefix "$WINEPREFIX" win64
    for arch in x64 x86; do
        harvester=$harvest_x64
        [ $arch = x86 ] && harvester=$harvest_x86
        cp "$harvester" "$work/harvest-$arch.exe"
        wine "$work/harvest-$arch.exe" "$(winepath -w "$stage/$arch/Lanterwell.dll")" \
            </dev/null >"$work/rows-$arch.txt"
    done
    quiet wineserver -k || true
)
# The packages' custom action is signed as every other PE file that ships.
python3 "$here/../../tools/release/sign.py" "$keep_keys" "$work/KeepKeys.dll"
epoch=$(sh "$here/../../tools/release/source-of" epoch)
at() { TZ=UTC faketime -f "@$(date -u -d "@$epoch" '+%Y-%m-%d %H:%M:%S')" "$@"; }
# The cabinet keeps each file's time: the release's, whatever the stage's files say.
find "$stage/x64" "$stage/x86" "$stage/docs" -type f -exec touch -d "@$epoch" {} +
for arch in x64 x86; do
    upgrade=$upgrade_x64 sets=(--native "$stage/x64" --native-rows "$work/rows-x64.txt"
        --x86 "$stage/x86" --x86-rows "$work/rows-x86.txt" --package "$stage/x64/$package")
    if [ $arch = x86 ]; then
        upgrade=$upgrade_x86 sets=(--native "$stage/x86" --native-rows "$work/rows-x86.txt")
    fi
    source=$work/Lanterwell-$arch.wxs
    msi=$output/Lanterwell-$version-$arch.msi
    python3 "$here/make-msi.py" --arch $arch --version "$version" --version4 "$version4" --upgrade-code "$upgrade" \
        --publisher "$publisher" "${sets[@]}" --keep-keys "$work/KeepKeys.dll" --docs "$stage/docs" --output "$source"
    rm -f "$msi"
    (cd "$work" && at wixl -a $arch -o "$msi" "$source" 2>"$work/wixl-$arch.log") ||
        { cat "$work/wixl-$arch.log" >&2; exit 1; }
    while read -r statement; do
        at msibuild "$msi" -q "$statement"
    done <"$source.sql"
    code=$(python3 -c 'import sys, uuid; print(str(uuid.uuid5(uuid.UUID(sys.argv[1]), "package/" + sys.argv[2])).upper())' "$upgrade" "$version")
    at msibuild "$msi" -s Lanterwell "$publisher" "$( [ $arch = x86 ] && echo Intel || echo x64);1033" "{$code}"
    python3 "$here/../../tools/release/sign.py" "$msi"
done
