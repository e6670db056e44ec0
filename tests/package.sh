#!/usr/bin/env bash
# The package for Windows 11's context menu, made unsigned and signed with throwaway
# certificates made here, each checked by tests/package-check.py: the Publisher of a signed one
# is the certificate's subject as Windows renders it (last attribute first, Windows' names for
# the attributes, a value holding a comma quoted), and osslsigncode verifies it. A subject no
# Publisher can express stops the build, naming the field.
# usage: package.sh SOURCE-DIR BUILD-DIR ARCH VERSION PUBLISHER-DISPLAY GROUP-CLSID DELETE-CLSID
#                   RUN-FOLDER
set -u
. "$(dirname "$0")/checks.sh"
source=$1 build=$2 arch=$3 version=$4 display=$5 group=$6 delete=$7 run=$8
rm -rf "$run" && mkdir -p "$run"
make_package() { # OUTPUT [ERRORS]: the package, signed with LANTERWELL_SIGNING_PFX when set
    python3 "$source/package/make-package.py" --arch "$arch" --version "$version" \
        --publisher-display "$display" --group-clsid "$group" --delete-clsid "$delete" \
        --source "$source/package" --output "$1" 2>"${2:-/dev/stderr}"
}
verifies() { # PACKAGE CERTIFICATE
    osslsigncode verify -CAfile "$2" -in "$1" >"$1.verify" 2>&1
}
package_check() { # PACKAGE PUBLISHER
    python3 "$source/tests/package-check.py" "$1" "$build/Lanterwell.dll" "$arch" "$version" "$2" \
        >"$1.check" 2>&1 || { cat "$1.check"; return 1; }
}

# Signed only where this test says so.
unset LANTERWELL_SIGNING_PFX LANTERWELL_SIGNING_PASSWORD_FILE
check "the unsigned package" make_package "$run/unsigned.msix"
check "its Publisher is the unsigned one" package_check "$run/unsigned.msix" \
    "CN=Lanterwell, OID.2.25.311729368913984317654407730594956997722=1"

# The password goes to the tools in a file, never on a command line.
printf 'throwaway' >"$run/password"
# Each row: the certificate's subject as openssl takes it | the Publisher Windows matches, or
# empty where the build must stop | the field the message names.
rows=(
    "/CN=Lanterwell Test/O=Lanterwell Developers/C=JP|C=JP, O=Lanterwell Developers, CN=Lanterwell Test|"
    "/C=JP/ST=Tokyo/L=Chiyoda/O=Lanterwell, Inc./emailAddress=dev@example.com/CN=ランタウェル 開発|CN=ランタウェル 開発, E=dev@example.com, O=\"Lanterwell, Inc.\", L=Chiyoda, S=Tokyo, C=JP|"
    "/C=JP/O=Say \"hi\"; then #1/CN= padded|CN=\" padded\", O=\"Say \"\"hi\"\"; then #1\", C=JP|"
    "/C=JP/CN=Lanterwell+O=Developers||CN"
)
for index in "${!rows[@]}"; do
    IFS='|' read -r subject publisher field <<<"${rows[$index]}"
    pfx=$run/cert$index.pfx
    throwaway_certificate "$subject" "$run/cert$index" "$run/password"
    signed=$run/signed$index.msix
    export LANTERWELL_SIGNING_PFX=$pfx LANTERWELL_SIGNING_PASSWORD_FILE=$run/password
    if [ -n "$publisher" ]; then
        check "signed with $subject" make_package "$signed"
        check "its Publisher is what Windows renders" package_check "$signed" "$publisher"
        check "osslsigncode verifies it" verifies "$signed" "$run/cert$index.pem"
    else
        check "$subject stops the build" not make_package "$signed" "$signed.error"
        check "naming the field $field" grep -q "certificate's $field " "$signed.error"
    fi
    unset LANTERWELL_SIGNING_PFX LANTERWELL_SIGNING_PASSWORD_FILE
done
summary "package ($arch)"
