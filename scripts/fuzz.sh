#!/bin/sh
# Builds the fuzzing targets of the updater's readers of untrusted input with
# clang (libFuzzer, address and undefined-behaviour sanitizers) in a build
# folder of their own, and runs each for a while on a copy of its seed corpus.
#   scripts/fuzz.sh [seconds per target, 30 by default]
# Fails when a target crashes, hangs, leaks or breaks one of its checks; the
# input that did it is kept in build-fuzz/findings/<target>/ and the whole
# output in build-fuzz/logs/<target>.log. Nothing is written into the sources.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
usage="usage: scripts/fuzz.sh [seconds per target]"
case ${1:-} in
-h | --help)
    echo "$usage"
    exit 0
    ;;
esac
seconds=${1:-30}
case $seconds in
'' | *[!0-9]* | 0)
    # libFuzzer would take 0 for "no limit".
    echo "fuzz.sh: not a positive number of seconds: $seconds" >&2
    echo "$usage" >&2
    exit 2
    ;;
esac
if [ $# -gt 1 ]; then
    echo "$usage" >&2
    exit 2
fi
build=${VELL_FUZZ_BUILD:-$root/build-fuzz}
fuzz=$root/updater/tests/fuzz

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELL_FUZZ=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j "$(nproc)" --target vell-fuzzers

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
trap 'exit 1' INT TERM
mkdir -p "$build/logs"
passed=0
failed=0
for seeds in "$fuzz"/corpus/*/; do
    name=$(basename "$seeds")
    corpus=$work/corpus/$name
    findings=$build/findings/$name
    log=$build/logs/$name.log
    mkdir -p "$corpus" "$findings"
    cp "$seeds"* "$corpus/"
    set -- -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$findings/"
    if [ -f "$fuzz/$name.dict" ]; then
        set -- "$@" -dict="$fuzz/$name.dict"
    fi
    case $name in
    # Inputs beyond the signature reader's 16 KiB bound (libFuzzer stops at 4 KiB here).
    minisign_signature) set -- "$@" -max_len=17408 ;;
    esac
    # New inputs go to the copy of the corpus; the working folder takes anything else.
    if (cd "$work" && "$build/bin/fuzz_$name" "$@" "$corpus") >"$log" 2>&1; then
        passed=$((passed + 1))
        done=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1)
        rate=$(sed -n 's/^stat::average_exec_per_sec:[[:space:]]*//p' "$log")
        echo "fuzz_$name: ${done:-no summary} (${rate:-?} exec/s)"
    else
        failed=$((failed + 1))
        echo "fuzz_$name: FAILED; the whole output is in $log, it ends:"
        tail -n 40 "$log"
    fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
