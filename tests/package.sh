#!/usr/bin/env bash
# The package for Windows 11's context menu, made unsigned and signed (with a throwaway
# certificate made here) and checked by tests/package-check.py; the signed one must also pass
# osslsigncode's verification against that certificate.
# usage: package.sh SOURCE-DIR BUILD-DIR ARCH VERSION PUBLISHER-DISPLAY CLSID RUN-FOLDER
set -eu
source=$1 build=$2 arch=$3 version=$4 display=$5 clsid=$6 run=$7
rm -rf "$run" && mkdir -p "$run"
make() { # OUTPUT
    python3 "$source/package/make-package.py" --arch "$arch" --version "$version" \
        --publisher-display "$display" --clsid "$clsid" --source "$source/package" --output "$1"
}
check() { # PACKAGE PUBLISHER
    python3 "$source/tests/package-check.py" "$1" "$build/Lanterwell.dll" "$arch" "$version" "$2"
}

LANTERWELL_SIGNING_PFX= make "$run/unsigned.msix"
check "$run/unsigned.msix" "OID.2.25.311729368913984317654407730594956997722=1"

openssl req -x509 -newkey rsa:2048 -nodes -days 1 -keyout "$run/key.pem" -out "$run/cert.pem" \
    -subj "/CN=Lanterwell Test/O=Lanterwell Developers/C=JP" \
    -addext "extendedKeyUsage=codeSigning" 2>/dev/null
openssl pkcs12 -export -out "$run/test.pfx" -inkey "$run/key.pem" -in "$run/cert.pem" \
    -passout pass:throwaway
LANTERWELL_SIGNING_PFX=$run/test.pfx LANTERWELL_SIGNING_PASSWORD=throwaway make "$run/signed.msix"
check "$run/signed.msix" "CN=Lanterwell Test"
osslsigncode verify -CAfile "$run/cert.pem" -in "$run/signed.msix" >"$run/verify.log" 2>&1 ||
    { cat "$run/verify.log"; echo "package ($arch): 0 passed, 1 failed"; exit 1; }
echo "package ($arch): 1 passed, 0 failed (signature verified)"
