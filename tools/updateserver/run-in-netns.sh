#!/bin/bash
# Runs a command inside a private user, network and mount namespace, where
# anybody may bind port 80 on loopback and nothing is visible from outside.
#
#   run-in-netns.sh [--host NAME]... [--http-root DIR] [--catalogue DIR] [--] COMMAND [ARG...]
#
#   --host NAME      NAME resolves to 127.0.0.1 inside (a private /etc/hosts)
#   --http-root DIR  serve DIR over HTTP on 127.0.0.1:80 (python3's http.server)
#                    while COMMAND runs
#   --catalogue DIR  run the local update server (vell-update-server.py) on
#                    127.0.0.1:34221 with the catalogue DIR while COMMAND runs
#
# COMMAND starts only once the servers accept connections.
#
# The command's exit status is the script's. VELL_IN_NETNS=1 is set inside.
#
# Nothing the command starts outlives the script: the namespace has its own
# process IDs, and when the script ends, is stopped by SIGTERM, SIGINT or
# SIGHUP, or is killed outright, the namespace's first process dies and the
# kernel ends every other process in it. SIGTERM first gives the command a
# few seconds of its own SIGTERM to report and clean up.
set -eu

usage="usage: run-in-netns.sh [--host NAME]... [--http-root DIR] [--catalogue DIR] [--] COMMAND [ARG...]"
usage_error() {
    echo "run-in-netns: $1" >&2
    echo "$usage" >&2
    exit 2
}

# Read before entering the namespace, so that a mistake is told at once;
# the inside stage reads the same arguments again.
arguments=("$@")
hosts=""
http_root=""
catalogue=""
while [ $# -gt 0 ]; do
    case "$1" in
        -h|--help)
            echo "$usage"
            echo "Runs COMMAND in a private user and network namespace, where port 80 may be bound."
            echo "  --host NAME      NAME resolves to 127.0.0.1 inside"
            echo "  --http-root DIR  serve DIR over HTTP on 127.0.0.1:80 while COMMAND runs"
            echo "  --catalogue DIR  run the local update server on 127.0.0.1:34221 with DIR"
            exit 0 ;;
        --host|--http-root|--catalogue)
            [ $# -ge 2 ] || usage_error "$1 needs a value"
            case "$1" in
                --host) hosts="$hosts $2" ;;
                --http-root) http_root=$2 ;;
                --catalogue) catalogue=$2 ;;
            esac
            shift 2 ;;
        --) shift; break ;;
        -*) usage_error "unknown option $1" ;;
        *) break ;;
    esac
done
[ $# -gt 0 ] || usage_error "no command given"

# A folder the HTTP server cannot list would only show later, as 404s.
if [ -n "$http_root" ]; then
    if [ -e "$http_root" ] && [ ! -d "$http_root" ]; then
        echo "run-in-netns: $http_root: Not a directory" >&2
        exit 1
    fi
    if ! reason=$(LC_ALL=C ls -- "$http_root" 2>&1 >/dev/null); then
        echo "run-in-netns: $http_root: ${reason##*: }" >&2
        exit 1
    fi
fi

if [ "${VELL_IN_NETNS_STAGE:-}" != "inside" ]; then
    # setpriv's parent-death signal ends unshare, and unshare's --kill-child
    # the namespace, even when this shell is killed with SIGKILL.
    VELL_IN_NETNS_STAGE=inside setpriv --pdeathsig KILL -- \
        unshare --user --map-root-user --net --mount --pid --fork --kill-child=KILL --mount-proc \
        /bin/bash "$0" "${arguments[@]}" <&0 &
    namespace=$!
    stop_namespace() {
        # unshare itself ignores SIGTERM while it waits: signal the
        # namespace's first process, then end it all.
        local init tries=0
        init=$(pgrep -P "$namespace" 2>/dev/null || true)
        [ -z "$init" ] || kill -TERM $init 2>/dev/null || true
        while kill -0 "$namespace" 2>/dev/null && [ $tries -lt 50 ]; do
            tries=$((tries + 1))
            sleep 0.1
        done
        kill -KILL "$namespace" 2>/dev/null || true
        wait "$namespace" 2>/dev/null || true
    }
    trap 'stop_namespace; exit 129' HUP
    trap 'stop_namespace; exit 130' INT
    trap 'stop_namespace; exit 143' TERM
    status=0
    wait "$namespace" || status=$?
    exit $status
fi
unset VELL_IN_NETNS_STAGE

ip link set lo up
# X servers started inside get a socket folder of their own: across process
# namespaces a display's lock file cannot tell a live server from a stale one,
# so a server outside may use the same display number.
# The display the command was started on stays reachable: its socket is
# bound into the new folder (an abstract socket cannot cross the network
# namespace, a socket file can).
scratch=$(mktemp -d)
outer_display=""
case "${DISPLAY:-}" in
    :[0-9]*) outer_display=X${DISPLAY#:}; outer_display=${outer_display%%.*} ;;
esac
if [ -n "$outer_display" ] && [ -S "/tmp/.X11-unix/$outer_display" ]; then
    mkdir "$scratch/outer-x11"
    mount --bind /tmp/.X11-unix "$scratch/outer-x11"
else
    outer_display=""
fi
mkdir -p /tmp/.X11-unix
mount -t tmpfs -o mode=1777 tmpfs /tmp/.X11-unix
if [ -n "$outer_display" ]; then
    touch "/tmp/.X11-unix/$outer_display"
    mount --bind "$scratch/outer-x11/$outer_display" "/tmp/.X11-unix/$outer_display"
    umount "$scratch/outer-x11"
    rmdir "$scratch/outer-x11"
fi

server_pids=()
cleanup() {
    local pid
    for pid in "${server_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    if [ -n "$hosts" ]; then
        umount /etc/hosts 2>/dev/null || true
    fi
    rm -rf "$scratch"
}
command_pid=""
# We are the namespace's first process: when we go, everything in it goes.
# Give the command a moment to take its own SIGTERM first.
stop_command() {
    local tries=0
    if [ -n "$command_pid" ]; then
        kill -TERM "$command_pid" 2>/dev/null || true
        while kill -0 "$command_pid" 2>/dev/null && [ $tries -lt 30 ]; do
            tries=$((tries + 1))
            sleep 0.1
        done
    fi
}
trap cleanup EXIT
trap 'stop_command; exit 129' HUP
trap 'stop_command; exit 130' INT
trap 'stop_command; exit 143' TERM

if [ -n "$hosts" ]; then
    cp /etc/hosts "$scratch/hosts"
    for name in $hosts; do
        printf '127.0.0.1 %s\n' "$name" >>"$scratch/hosts"
    done
    mount --bind "$scratch/hosts" /etc/hosts
fi

# start_server WHAT PORT COMMAND...: starts COMMAND in the background and
# waits until it accepts connections on PORT; when it ends first or takes
# longer than 10 s, stops the script with its output.
start_server() {
    local what=$1 port=$2 pid tries=0 log=$scratch/server-$2.log
    shift 2
    "$@" >"$log" 2>&1 &
    pid=$!
    server_pids+=("$pid")
    until (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; do
        tries=$((tries + 1))
        if [ $tries -gt 200 ] || ! kill -0 "$pid" 2>/dev/null; then
            echo "run-in-netns: $what did not start" >&2
            cat "$log" >&2
            exit 1
        fi
        sleep 0.05
    done
}

if [ -n "$http_root" ]; then
    start_server "the HTTP server" 80 \
        python3 -m http.server 80 --bind 127.0.0.1 --directory "$http_root"
fi
if [ -n "$catalogue" ]; then
    start_server "the update server" 34221 python3 "$(dirname "$0")/vell-update-server.py" \
        --catalogue "$catalogue" --port 34221
fi

# In the background, so that a signal reaches the traps above at once.
VELL_IN_NETNS=1 "$@" <&0 &
command_pid=$!
status=0
wait "$command_pid" || status=$?
exit $status
