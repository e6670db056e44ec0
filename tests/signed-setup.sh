#!/usr/bin/env bash
# A release signed with a throwaway certificate made here: both sets and the package are
# signed, the setup program made from them signs the uninstaller before packing it and then
# itself; osslsigncode verifies every file, and the signed setup program installs and
# uninstalls under Wine.
# usage: signed-setup.sh WORKDIR STAGE PACKAGE-NAME ARM64-PACKAGE-NAME MAKE-INSTALLER.cmake
#                        ::: MAKE-PACKAGE...
#                        ::: CMAKE -D...
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/checks.sh"
work=$1 stage=$2 msix=$3 arm64_msix=$4 make_installer=$5
shift 6
package=() installer=()
while [ "$1" != ::: ]; do package+=("$1") && shift; done
shift
installer=("$@")
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1

printf 'throwaway' >password
throwaway_certificate "/CN=Lanterwell Test/O=Lanterwell Developers/C=JP" signer password
export LANTERWELL_SIGNING_PFX=$work/signer.pfx LANTERWELL_SIGNING_PASSWORD_FILE=$work/password
# signed_set FOLDER [CLOCK...]: the packages and the setup program made signed in FOLDER, by a
# command run under that clock.
signed_set() {
    local folder=$1
    shift
    mkdir -p "$folder" && cp -r "$stage/x64" "$stage/x86" "$stage/arm64" "$folder/"
    "$@" "${package[@]}" --output "$folder/x64/$msix" &&
        "$@" "${package[@]}" --arch arm64 --output "$folder/arm64/$arm64_msix" &&
        "$@" "${installer[@]}" -DX64_DIR="$folder/x64" -DX86_DIR="$folder/x86" \
            -DARM64_DIR="$folder/arm64" -DOUTPUT_DIR="$folder" -P "$make_installer"
}
check "the set is made signed" quiet signed_set "$work"
# Another signer's clock and time zone: the signatures state the release's time, not theirs.
check "and again a day and seven hours later, in Tokyo" quiet signed_set "$work/again" \
    env TZ=Asia/Tokyo NO_FAKE_STAT=1 faketime '+1 day 7 hours'
# A Windows Installer package signed as the release signs it.
msi=$(ls -- "$stage"/../Lanterwell-*-x64.msi) && cp "$msi" . && msi=$(basename "$msi")
check "the Windows Installer package is signed" quiet python3 "$here/../tools/release/sign.py" "$msi"
unset LANTERWELL_SIGNING_PFX LANTERWELL_SIGNING_PASSWORD_FILE
setup=$(ls -- *-setup.exe)
# Checked without the key, as the developer's guide says: each signed file is the unsigned
# build's but for what its signature adds.
for file in "$msi" x64/* x86/* arm64/*; do
    unsigned=$stage/$file
    [ "$file" = "$msi" ] && unsigned=$stage/../$msi
    check "$file is the unsigned build's but for its signature" \
        quiet python3 "$here/../tools/release/compare-unsigned.py" "$file" "$unsigned"
done
verifies() { osslsigncode verify -CAfile signer.pem -in "$1" >verify.txt 2>&1; }
for file in "$setup" x64/* x86/* arm64/*; do
    check "$file verifies" verifies "$file"
    check "$file is the same signed again" cmp "$file" "again/$file"
done
# NSIS's own code packed into the setup program (its plug-ins) is signed: as 7-Zip unpacks it.
quiet 7z x -ounpacked "$setup"
check "the setup program's plug-ins unpack" test -e "unpacked/\$PLUGINSDIR/System.dll"
for file in unpacked/*/*.dll unpacked/*/*.exe; do
    [ -e "$file" ] && check "$file verifies" verifies "$file"
done

# Installed and uninstalled in a fresh 64-bit prefix.
bash "$here/wine-prefix.sh" start "$work/prefix" win64 >/dev/null
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES=$WINE_SETUPS
trap 'bash "$here/wine-prefix.sh" stop "$WINEPREFIX" >/dev/null' EXIT
folder="$WINEPREFIX/drive_c/Program Files/Lanterwell"
check "the signed setup program installs" test "$(exit_code "$setup" /S)" = 0
check "what it installed is what was signed" cmp -s "$folder/lwsubst.exe" x64/lwsubst.exe
check "the uninstaller was signed before it was packed" verifies "$folder/uninstall.exe"
code=$(uninstall_in_place "$folder")
# Under Wine the running uninstaller's own file waits for the restart, and says so.
check "the signed uninstaller uninstalls ($code)" test "$code" = 0 -o "$code" = 3010
check "and nothing of it stays" test "$(ls "$folder")" = uninstall.exe
summary "signed setup"
