#!/bin/sh
# Installs what the project needs, builds it and runs the whole test suite.
#   scripts/test.sh [ctest arguments...]
# After the tests, the fuzzing targets run for VELL_FUZZ_SECONDS each
# (scripts/fuzz.sh; 30 by default, 0 leaves them out).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELL_BUILD:-$root/build}

"$root/scripts/install-deps.sh"

"$root/scripts/check-format.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j "$(nproc)"
(cd "$build" && ctest --output-on-failure -j "$(nproc)" "$@")
fuzz_seconds=${VELL_FUZZ_SECONDS:-30}
if [ "$fuzz_seconds" != 0 ]; then
    "$root/scripts/fuzz.sh" "$fuzz_seconds"
fi
