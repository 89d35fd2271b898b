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

# Tests run some programs as an unprivileged user (a root process writes
# through every permission). That user must reach the build and the sources
# even when the checkout lies below a folder only its owner may enter (mktemp
# -d makes 0700 folders, many homes are 0700): such a folder is shown here as
# a copy open to everybody, its entries bound in from the real one, so what
# it holds stays the same and only its own mode differs.
open_for_others() {
    local target=$1 path= part blocked=
    local -a parts
    IFS=/ read -ra parts <<<"${target#/}"
    for part in "${parts[@]}"; do
        [ -n "$part" ] || continue
        path=$path/$part
        [ -d "$path" ] || return 0
        case $(stat -c %A "$path") in
            *[xt]) ;;
            *) blocked=$path; break ;;
        esac
    done
    [ -n "$blocked" ] || return 0
    # The real folder stays reachable through a descriptor once covered; no
    # mount of it lies in a folder that is later removed.
    local fd real entry name
    exec {fd}<"$blocked"
    real=/proc/$$/fd/$fd
    # Entered by everybody, listed by its owner alone.
    mount -t tmpfs -o mode=0711 tmpfs "$blocked"
    chown --reference="$real" "$blocked"
    shopt -s dotglob nullglob
    for entry in "$real"/*; do
        name=$blocked/${entry##*/}
        if [ -L "$entry" ]; then
            cp -P "$entry" "$name"
            continue
        elif [ -d "$entry" ]; then
            mkdir "$name"
        elif [ -f "$entry" ]; then
            : >"$name"
        else
            continue # sockets and pipes belong to whoever made them
        fi
        # Not canonicalized: the name the descriptor reads back is the covered one.
        mount --no-canonicalize --bind "$entry" "$name"
    done
    shopt -u dotglob nullglob
    exec {fd}<&-
    # A folder further down may be closed as well.
    open_for_others "$target"
}
if [ "$(id -u)" -eq 0 ]; then
    for tree in "${VELL_BUILD_DIR:-}" "${VELL_SOURCE_DIR:-}"; do
        if [ -n "$tree" ]; then
            open_for_others "$tree" || echo "vell-run-test: $tree stays closed to other users" >&2
        fi
    done
fi

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
