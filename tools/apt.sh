#!/usr/bin/env bash
# Sourced by the scripts that install packages. A mirror being synced, or a proxy holding a
# stale copy, serves an index whose size its release file does not list ("Mirror sync in
# progress?"); a later try often mends it, so a failed update is tried again. Where one suite's
# index stays unreadable, the install takes nothing from that suite: a Multi-Arch pair must come
# from one suite, or the newer side of it has no partner.
# usage: apt_update [COMMAND...]   (the command apt-get runs through, such as a chroot's)
#        apt_install PACKAGE...    (on this machine, after apt_update)
apt_unread_suites=
apt_update() {
    local try said
    for try in 1 2 3 4 5; do
        said=$("$@" apt-get update -q -o Acquire::Retries=3 2>&1) && return 0
        echo "$said" >&2
        # "Err:6 http://host/path suite/component arch Packages": the suite is the third word.
        apt_unread_suites=$(echo "$said" | awk '/^Err:/ { split($3, s, "/"); print s[1] }' | sort -u)
        [ "$try" = 5 ] && break
        echo "apt-get update failed (try $try of 5); trying again" >&2
        sleep $((try * 30))
    done
    echo "apt-get update kept failing (${apt_unread_suites:-no suite named});" \
        "installing from the indexes apt has" >&2
}
apt_install() {
    apt-get install -y -q --no-install-recommends "$@" && return 0
    [ -n "$apt_unread_suites" ] || return 1
    local pins suite status=0
    pins=$(mktemp)
    for suite in $apt_unread_suites; do
        printf 'Package: *\nPin: release n=%s\nPin-Priority: -1\n\n' "$suite" >>"$pins"
    done
    echo "installing again without $apt_unread_suites, whose index apt could not read" >&2
    apt-get install -y -q --no-install-recommends -o Dir::Etc::Preferences="$pins" "$@" || status=$?
    rm -f "$pins"
    return "$status"
}
