#!/usr/bin/env bash
# Builds everything and runs every test under Wine.
set -eu
cd "$(dirname "$0")/.."
bash tools/build.sh
cd build
ctest --output-on-failure "$@"
