#!/bin/bash
# Runs a command inside a private user, network and mount namespace, where
# anybody may bind port 80 on loopback and nothing is visible from outside.
#
#   run-in-netns.sh [--host NAME]... [--http-root DIR] [--] COMMAND [ARG...]
#
#   --host NAME      NAME resolves to 127.0.0.1 inside (a private /etc/hosts)
#   --http-root DIR  serve DIR over HTTP on 127.0.0.1:80 (python3's http.server)
#                    while COMMAND runs
#
# The command's exit status is the script's. VELL_IN_NETNS=1 is set inside.
set -eu

if [ "${VELL_IN_NETNS_STAGE:-}" != "inside" ]; then
    VELL_IN_NETNS_STAGE=inside exec unshare --user --map-root-user --net --mount \
        /bin/bash "$0" "$@"
fi
unset VELL_IN_NETNS_STAGE

hosts=""
http_root=""
while [ $# -gt 0 ]; do
    case "$1" in
        --host) hosts="$hosts $2"; shift 2 ;;
        --http-root) http_root=$2; shift 2 ;;
        --) shift; break ;;
        -*) echo "run-in-netns: unknown option $1" >&2; exit 2 ;;
        *) break ;;
    esac
done
if [ $# -eq 0 ]; then
    echo "usage: run-in-netns.sh [--host NAME]... [--http-root DIR] [--] COMMAND [ARG...]" >&2
    exit 2
fi

ip link set lo up

scratch=$(mktemp -d)
http_pid=""
cleanup() {
    if [ -n "$http_pid" ]; then
        kill "$http_pid" 2>/dev/null || true
        wait "$http_pid" 2>/dev/null || true
    fi
    if [ -n "$hosts" ]; then
        umount /etc/hosts 2>/dev/null || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

if [ -n "$hosts" ]; then
    cp /etc/hosts "$scratch/hosts"
    for name in $hosts; do
        printf '127.0.0.1 %s\n' "$name" >>"$scratch/hosts"
    done
    mount --bind "$scratch/hosts" /etc/hosts
fi

if [ -n "$http_root" ]; then
    python3 -m http.server 80 --bind 127.0.0.1 --directory "$http_root" \
        >"$scratch/http.log" 2>&1 &
    http_pid=$!
    tries=0
    until (exec 3<>/dev/tcp/127.0.0.1/80) 2>/dev/null; do
        tries=$((tries + 1))
        if [ $tries -gt 100 ] || ! kill -0 "$http_pid" 2>/dev/null; then
            echo "run-in-netns: the HTTP server did not start" >&2
            cat "$scratch/http.log" >&2
            exit 1
        fi
        sleep 0.05
    done
fi

status=0
VELL_IN_NETNS=1 "$@" || status=$?
exit $status
