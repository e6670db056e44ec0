#!/usr/bin/env bash
# Runs a command on the Wine 10 of an arm64 or amd64 root (tools/roots/make-root.sh makes it once
# per machine), in a mount namespace of its own: arm64 programs run through qemu
# (tools/roots/arm64-namespace.py), amd64 ones natively.
# usage: run-in-root.sh arm64|amd64 COMMAND...
set -eu
[ "$(id -u)" = 0 ] || exec sudo -E bash "$0" "$@"
here=$(cd "$(dirname "$0")" && pwd)
arch=$1
shift
root=$(bash "$here/make-root.sh" "$arch")
if [ "$arch" = arm64 ]; then
    exec python3 "$here/arm64-namespace.py" bash "$here/enter-root.sh" "$root" "$@"
fi
exec unshare --mount --propagation private bash "$here/enter-root.sh" "$root" "$@"
