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
