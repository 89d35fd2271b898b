#!/bin/bash
# Runs one test program so that nothing it starts outlives it, optionally on a
# private X server of its own.
#
#   vell-run-test.sh [--xvfb] [--] PROGRAM [ARG...]
#
# The program runs in a private process namespace whose first process is this
# script, with a network and a folder for X sockets of its own. The namespace
# ends with the program, and with this script when CTest stops it (SIGTERM)
# or kills it (SIGKILL, through parent-death signals); the kernel then ends
# everything left in it: an X server, an update server, a forgotten child. --xvfb starts Xvfb on a free display (the
# server picks it, so parallel tests never race for one) and sets DISPLAY.
set -eu

if [ "${VELL_RUN_TEST_STAGE:-}" != inside ]; then
    user=()
    if [ "$(id -u)" -ne 0 ]; then
        user=(--user --map-root-user)
    fi
    VELL_RUN_TEST_STAGE=inside exec setpriv --pdeathsig KILL -- \
        unshare "${user[@]}" --pid --fork --kill-child=KILL --mount --mount-proc --net \
        /bin/bash "$0" "$@"
fi
unset VELL_RUN_TEST_STAGE

xvfb=no
while [ $# -gt 0 ]; do
    case "$1" in
        --xvfb) xvfb=yes; shift ;;
        --) shift; break ;;
        *) break ;;
    esac
done
if [ $# -eq 0 ]; then
    echo "usage: vell-run-test.sh [--xvfb] [--] PROGRAM [ARG...]" >&2
    exit 2
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# A network of its own (tests talk to their servers on loopback only) and a
# folder of its own for X sockets: an X server takes a display number whose
# lock file names a process it cannot see from this process namespace for
# stale, so two namespaces may run servers of the same number side by side;
# their sockets must not meet.
ip link set lo up
mkdir -p /tmp/.X11-unix
mount -t tmpfs -o mode=1777 tmpfs /tmp/.X11-unix

if [ $xvfb = yes ]; then
    Xvfb -displayfd 3 -noreset -screen 0 1280x800x24 -nolisten tcp \
        3>"$scratch/display" 2>"$scratch/xvfb.log" &
    xvfb_pid=$!
    deadline=$((SECONDS + 30))
    until [ -s "$scratch/display" ]; do
        if ! kill -0 $xvfb_pid 2>/dev/null || [ $SECONDS -ge $deadline ]; then
            echo "vell-run-test: Xvfb did not start:" >&2
            cat "$scratch/xvfb.log" >&2
            exit 1
        fi
        sleep 0.05
    done
    export DISPLAY=":$(head -n1 "$scratch/display")"
fi

# In the background, so that SIGTERM reaches the trap at once; leaving this
# shell, the namespace's first process, ends everything in it.
"$@" <&0 &
program=$!
trap 'kill -TERM $program 2>/dev/null; wait $program; exit 143' TERM
trap 'kill -INT $program 2>/dev/null; wait $program; exit 130' INT
status=0
wait $program || status=$?
exit $status
