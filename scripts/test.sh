#!/bin/sh
# Installs what the project needs, builds it and runs the whole test suite.
#   scripts/test.sh [ctest arguments...]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELL_BUILD:-$root/build}

"$root/scripts/install-deps.sh"

"$root/scripts/check-format.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j "$(nproc)"
cd "$build"
ctest --output-on-failure -j "$(nproc)" "$@"
