#!/usr/bin/env bash
# Sourced by the release's build scripts: a build's output is kept out of the release's own,
# and shown whole when the build fails, so a failed compile says why.
# usage: quietly COMMAND...
quietly() {
    local log status=0
    log=$(mktemp)
    "$@" >"$log" 2>&1 || status=$?
    [ "$status" = 0 ] || { cat "$log" >&2 && echo "failed ($status): $*" >&2; }
    rm -f "$log"
    return "$status"
}
