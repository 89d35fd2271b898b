#!/bin/bash
# Stops endtoend.sh in the middle of a run, once with SIGTERM and once with
# SIGKILL, and checks that no process it started is left behind; then a whole
# run in the same output folder must pass, as the next CI run would.
#
#   stop-midrun.sh --build BUILD_DIR --out OUT_DIR
#
# The processes of a run are found by a tag in their environment, which every
# process started below endtoend.sh inherits and this script itself lacks.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build="" out=""
while [ $# -gt 0 ]; do
    case "$1" in
        --build) build=$2; shift 2 ;;
        --out) out=$2; shift 2 ;;
        *) echo "usage: stop-midrun.sh --build BUILD_DIR --out OUT_DIR" >&2; exit 2 ;;
    esac
done
[ -n "$build" ] && [ -n "$out" ] || { echo "usage: stop-midrun.sh --build BUILD_DIR --out OUT_DIR" >&2; exit 2; }

fail() {
    echo "stop-midrun: FAIL: $*" >&2
    exit 1
}

# tagged TAG: the process IDs whose environment holds the tag.
tagged() {
    grep -l -a -s "VELL_E2E_TAG=$1" /proc/[0-9]*/environ 2>/dev/null | cut -d/ -f3 || true
}

# stop_midrun SIGNAL: starts a run, waits for the first window, signals the
# script and expects every process of the run to be gone within 10 s.
stop_midrun() {
    local signal=$1 tag="stop-midrun-$$-$1-$RANDOM" pid left deadline
    # The first window of this run, not a screenshot an earlier run left.
    rm -rf "$out"/run.* "$out/latest"
    VELL_E2E_TAG=$tag /bin/bash "$here/endtoend.sh" --build "$build" --out "$out" \
        >"$out.$signal.log" 2>&1 &
    pid=$!
    deadline=$((SECONDS + 90))
    until [ -e "$out/latest/screenshots/01-changelog.png" ]; do
        kill -0 "$pid" 2>/dev/null || fail "the run ended before its first window: $(cat "$out.$signal.log")"
        [ $SECONDS -lt $deadline ] || fail "waited 90 s in vain for the run's first window"
        sleep 0.1
    done
    [ -n "$(tagged "$tag")" ] || fail "no process of the run found by its tag"
    kill "-$signal" "$pid"
    wait "$pid" 2>/dev/null || true
    deadline=$((SECONDS + 10))
    while left=$(tagged "$tag") && [ -n "$left" ]; do
        if [ $SECONDS -ge $deadline ]; then
            # shellcheck disable=SC2086
            ps -o pid,ppid,args -p "$(echo $left | tr ' ' ',')" >&2 || true
            fail "processes of the run survived SIG$signal: $left"
        fi
        sleep 0.1
    done
    echo "stop-midrun: nothing of the run survived SIG$signal"
}

# Where the system allows no private namespace, endtoend.sh cannot run
# either: skipped (77), as it would be, rather than failed.
status=0
/bin/bash "$here/../../../tools/updateserver/run-in-netns.sh" true || status=$?
[ $status -ne 77 ] || exit 77

mkdir -p "$(dirname "$out")"
stop_midrun TERM
[ -s "$out/latest/screenshots/failure.png" ] || fail "no failure screenshot after SIGTERM"
stop_midrun KILL
/bin/bash "$here/endtoend.sh" --build "$build" --out "$out" || fail "the run after the stopped ones failed"
echo "stop-midrun: a whole run right after passed"
