#!/usr/bin/env bash
# The test bundle's runner when a run does not go straight, with stand-in suites under Wine's
# cmd: its usage, a case with two failed expectations, suites that abort, crash or hang, and a
# run ended mid-suite followed by a clean one, which leaves the user's sign-in entry as it was.
# usage: runner-check.sh PREFIX RUN-TESTS.EXE STAND-IN.EXE CMD-FILE
set -u
. "$(dirname "$0")/../checks.sh"
prefix=$1 runner=$2 standin=$3 cmdfile=$4
export WINEPREFIX=$prefix WINEDEBUG=-all LC_ALL=en_US.UTF-8 WINEDLLOVERRIDES=$WINE_PROGRAMS
place=$(mktemp -d)
trap 'rm -rf "$place"' EXIT
mkdir -p "$place/core" "$place/window"
cp "$runner" "$cmdfile" "$place/"
cp "$standin" "$place/core/lanterwell_tests.exe"
cp "$standin" "$place/window/drives_window_tests.exe"
cd "$place" || exit 1
run() { # MODE ARGS...: the runner's output, its exit code last
    printf '%s\n' "$1" >stand-in.txt
    shift
    rm -f results.xml
    wine cmd /c run-tests.cmd "$@" </dev/null 2>&1 | tr -d '\r'
    echo "exit ${PIPESTATUS[0]}"
}
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
entry() { wine reg query "$run_key" /v Lanterwell 2>/dev/null | tr -d '\r' | grep -o 'REG_SZ.*'; }

for asked in --help /? coer; do
    out=$(run pass "$asked")
    check "$asked: usage, nothing run" grep -q '^usage: run-tests' <<<"$out"
    check "$asked: no report" test ! -e results.xml
done
check "a misspelled suite: exit code 2" grep -qx 'exit 2' <<<"$(run pass coer)"

out=$(run two-failures core)
check "two failed expectations in one case: one failed case" \
    grep -q 'lanterwell tests: 1 passed, 1 failed' <<<"$out"

# (mode, what the report must say of the suite that ended abnormally)
while read -r mode said; do
    out=$(run "$mode" --time-limit 20s core)
    check "$mode: the run fails" grep -q 'lanterwell tests: 0 passed, 1 failed' <<<"$out"
    check "$mode: a failing case in the report" grep -q "<failure message=\"$said" results.xml
done <<'TABLE'
abort ended with code
crash ended with code 0xC0000005
hang ended after its time limit
TABLE

wine reg add "$run_key" /v Lanterwell /d 'mine /restore' /f >/dev/null 2>&1
run interrupt core >/dev/null
check "a run ended mid-suite leaves the suite's entry" test "$(entry)" != 'REG_SZ    mine /restore'
run pass core >/dev/null
check "the next run puts the user's entry back" test "$(entry)" = 'REG_SZ    mine /restore'
wine reg delete "$run_key" /v Lanterwell /f >/dev/null 2>&1
check "and leaves no key of its own" not quiet wine reg query 'HKCU\Software\Lanterwell Tests Kept Aside'
summary "runner-check"
