#!/usr/bin/env bash
# Runs one build tree's tests on the Wine that `wine` names, under a heading that names it.
# usage: suite.sh TREE [CTEST-ARGS...]   (TREE: x86, x64 or arm64, under build/)
set -eu
cd "$(dirname "$0")/../build/$1"
shift
echo "=== $(basename "$PWD") on $(wine --version)"
exec ctest --output-on-failure "$@"
