# Sourced by the test scripts: named checks, counted, and the closing line CTest reads.
passed=0 failed=0
check() { # DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $what"
    fi
}
not() { ! "$@"; }
# summary NAME: prints "NAME: N passed, N failed" and succeeds when nothing failed.
summary() {
    echo "$1: $passed passed, $failed failed"
    [ "$failed" = 0 ]
}
# exit_code PROGRAM [ARGS...]: a Windows program's full exit code, run under Wine through the
# command processor from the current folder (Wine's own process status keeps only its low byte).
exit_code() {
    [ -f run.bat ] || printf '@echo off\r\n%%*\r\necho exit code %%ERRORLEVEL%%\r\n' >run.bat
    wine cmd /c run.bat "$@" </dev/null 2>/dev/null | tr -d '\r' | sed -n 's/^exit code //p'
}
# throwaway_certificate SUBJECT STEM PASSWORD-FILE: a code-signing certificate for one day,
# STEM.pem, and it with its key as STEM.pfx, locked with the password in PASSWORD-FILE.
throwaway_certificate() {
    openssl req -x509 -newkey rsa:2048 -nodes -days 1 -utf8 -multivalue-rdn \
        -keyout "$2.key" -out "$2.pem" -subj "$1" -addext "extendedKeyUsage=codeSigning" \
        2>/dev/null &&
        openssl pkcs12 -export -out "$2.pfx" -inkey "$2.key" -in "$2.pem" -passout "file:$3"
}
