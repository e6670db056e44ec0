#!/usr/bin/env bash
# Sourced by the scripts that install packages. A mirror being synced serves an index whose
# size its release file does not yet list ("Mirror sync in progress?"); the next sync, minutes
# later, mends it, so an update that fails is tried again before the install goes on.
# usage: apt_update [COMMAND...]   (the command apt-get runs through, such as a chroot's)
apt_update() {
    local try
    for try in 1 2 3 4 5; do
        "$@" apt-get update -q -o Acquire::Retries=3 >&2 && return 0
        [ "$try" = 5 ] && break
        echo "apt-get update failed (try $try of 5); trying again" >&2
        sleep $((try * 30))
    done
    # What is still missing is the install's to report: an index of another suite may be all
    # that failed.
    echo "apt-get update kept failing; installing from the indexes apt has" >&2
}
