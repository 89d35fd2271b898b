#!/bin/bash
# Runs a command inside private namespaces: its own process IDs and mounts,
# and unless told otherwise its own network, where anybody may bind port 80 on
# loopback and nothing is visible from outside. This is the one way into a
# private namespace: tests ask for it through vell_add_test's NAMESPACE.
#
#   run-in-netns.sh [--host NAME]... [--http-root DIR] [--catalogue DIR] [--xvfb]
#                   [--share-network] [--open-for-others DIR]... [--] COMMAND [ARG...]
#
#   --host NAME      NAME resolves to 127.0.0.1 inside (a private /etc/hosts)
#   --http-root DIR  serve DIR over HTTP on 127.0.0.1:80 (python3's http.server)
#                    while COMMAND runs
#   --catalogue DIR  run the local update server (vell-update-server.py) on
#                    127.0.0.1:34221 with the catalogue DIR while COMMAND runs
#   --xvfb           start a private X server (Xvfb) and set DISPLAY
#   --share-network  keep the network of the caller: private mounts and
#                    process IDs only
#   --open-for-others DIR
#                    as root: make DIR reachable for other users inside, even
#                    where a folder above it is closed to them
#
# COMMAND starts only once the servers accept connections.
#
# The command's exit status is the script's; 77 when the system allows no
# private namespace (CTest counts that as skipped). Inside, VELL_NAMESPACE
# names what is private ("mount" or "mount network") and VELL_IN_NETNS=1 is
# set with a private network. A non-root caller becomes root of a private
# user namespace; root stays root, so that it may still act as other users.
#
# Nothing the command starts outlives the script: the namespace has its own
# process IDs, and when the script ends, is stopped by SIGTERM, SIGINT or
# SIGHUP, or is killed outright, the namespace's first process dies and the
# kernel ends every other process in it. SIGTERM first gives the command a
# few seconds of its own SIGTERM to report and clean up.
set -eu

usage="usage: run-in-netns.sh [--host NAME]... [--http-root DIR] [--catalogue DIR] [--xvfb] [--share-network] [--open-for-others DIR]... [--] COMMAND [ARG...]"
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
xvfb=no
network=yes
open_for=()
while [ $# -gt 0 ]; do
    case "$1" in
        -h|--help)
            echo "$usage"
            echo "Runs COMMAND in a private user and network namespace, where port 80 may be bound."
            echo "  --host NAME      NAME resolves to 127.0.0.1 inside"
            echo "  --http-root DIR  serve DIR over HTTP on 127.0.0.1:80 while COMMAND runs"
            echo "  --catalogue DIR  run the local update server on 127.0.0.1:34221 with DIR"
            echo "  --xvfb           run COMMAND on a private X server"
            echo "  --share-network  private mounts and processes only, the caller's network"
            echo "  --open-for-others DIR"
            echo "                   (as root) DIR stays reachable for other users inside"
            exit 0 ;;
        --host|--http-root|--catalogue|--open-for-others)
            [ $# -ge 2 ] || usage_error "$1 needs a value"
            case "$1" in
                --host) hosts="$hosts $2" ;;
                --http-root) http_root=$2 ;;
                --catalogue) catalogue=$2 ;;
                *) open_for+=("$2") ;;
            esac
            shift 2 ;;
        --xvfb) xvfb=yes; shift ;;
        --share-network) network=no; shift ;;
        --) shift; break ;;
        -*) usage_error "unknown option $1" ;;
        *) break ;;
    esac
done
[ $# -gt 0 ] || usage_error "no command given"
if [ $network = no ] && { [ -n "$hosts$http_root$catalogue" ] || [ $xvfb = yes ]; }; then
    # Port 80 and an X server's abstract socket belong to a private network.
    usage_error "--share-network does not go with --host, --http-root, --catalogue or --xvfb"
fi

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
    namespaces=(--mount --pid --fork --kill-child=KILL --mount-proc)
    if [ $network = yes ]; then
        namespaces+=(--net)
    fi
    if [ "$(id -u)" -ne 0 ]; then
        namespaces=(--user --map-root-user "${namespaces[@]}")
    fi
    # Told apart from a failing command: where user namespaces are off, a
    # test that needs one is skipped rather than failed.
    if ! reason=$(unshare "${namespaces[@]}" true 2>&1); then
        echo "run-in-netns: no private namespace here: $reason" >&2
        exit 77
    fi
    # setpriv's parent-death signal ends unshare, and unshare's --kill-child
    # the namespace, even when this shell is killed with SIGKILL.
    VELL_IN_NETNS_STAGE=inside setpriv --pdeathsig KILL -- \
        unshare "${namespaces[@]}" /bin/bash "$0" "${arguments[@]}" <&0 &
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

scratch=$(mktemp -d)
server_pids=()
xvfb_pid=""
cleanup() {
    local pid
    for pid in "${server_pids[@]}" $xvfb_pid; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$scratch"
}
trap cleanup EXIT

if [ $network = yes ]; then
    ip link set lo up
    # X servers started inside get a socket folder of their own: across
    # process namespaces a display's lock file cannot tell a live server from
    # a stale one, so a server outside may use the same display number.
    # The display the command was started on stays reachable: its socket is
    # bound into the new folder (an abstract socket cannot cross the network
    # namespace, a socket file can).
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
fi

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
# Only the system's own root may act as other users; root of a private user
# namespace has nobody else mapped.
if [ "$(awk '{ print $1 "-" $2 "-" $3 }' /proc/self/uid_map)" = 0-0-4294967295 ]; then
    for tree in "${open_for[@]}"; do
        open_for_others "$tree" || echo "run-in-netns: $tree stays closed to other users" >&2
    done
fi

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

if [ $xvfb = yes ]; then
    # The server picks a free display, so parallel runs never race for one.
    Xvfb -displayfd 3 -noreset -screen 0 1280x800x24 -nolisten tcp \
        3>"$scratch/display" 2>"$scratch/xvfb.log" &
    xvfb_pid=$!
    deadline=$((SECONDS + 30))
    until [ -s "$scratch/display" ]; do
        if ! kill -0 "$xvfb_pid" 2>/dev/null || [ $SECONDS -ge $deadline ]; then
            echo "run-in-netns: Xvfb did not start:" >&2
            cat "$scratch/xvfb.log" >&2
            exit 1
        fi
        sleep 0.05
    done
    export DISPLAY=":$(head -n1 "$scratch/display")"
fi

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
trap 'stop_command; exit 129' HUP
trap 'stop_command; exit 130' INT
trap 'stop_command; exit 143' TERM

if [ $network = yes ]; then
    export VELL_NAMESPACE="mount network" VELL_IN_NETNS=1
else
    export VELL_NAMESPACE=mount
fi
# In the background, so that a signal reaches the traps above at once.
"$@" <&0 &
command_pid=$!
status=0
wait "$command_pid" || status=$?
exit $status
