#!/bin/bash
# Serves a folder of packages over HTTP with nginx, as packages are published,
# from a configuration of our own: nothing of /etc/nginx, /var/log or /run is
# read or written, and no root is needed (the port below 1024 aside).
#
#   serve-with-nginx.sh --root DIR --scratch DIR [--port PORT] [--bind ADDRESS]
#                       [--rate BYTES_PER_S]
#
#   --root DIR      the folder served at /
#   --scratch DIR   configuration, pid file, logs and temporary files go here
#                   (created when missing); the access log, scratch/access.log,
#                   names each request's Range header and the answer's status
#   --port PORT     default 80
#   --bind ADDRESS  default 127.0.0.1
#   --rate N        at most N bytes a second for each answer (0: no limit)
#
# nginx runs in the foreground ("daemon off") in place of this script, so the
# caller's PID for it is nginx's own and ending it ends the server.
set -eu

usage="usage: serve-with-nginx.sh --root DIR --scratch DIR [--port PORT] [--bind ADDRESS] [--rate BYTES_PER_S]"
root="" scratch="" port=80 bind=127.0.0.1 rate=0
while [ $# -gt 0 ]; do
    case "$1" in
        -h|--help) echo "$usage"; exit 0 ;;
        --root|--scratch|--port|--bind|--rate)
            [ $# -ge 2 ] || { echo "serve-with-nginx: $1 needs a value" >&2; exit 2; }
            case "$1" in
                --root) root=$2 ;;
                --scratch) scratch=$2 ;;
                --port) port=$2 ;;
                --bind) bind=$2 ;;
                --rate) rate=$2 ;;
            esac
            shift 2 ;;
        *) echo "$usage" >&2; exit 2 ;;
    esac
done
[ -n "$root" ] && [ -n "$scratch" ] || { echo "$usage" >&2; exit 2; }
[ -d "$root" ] || { echo "serve-with-nginx: $root: Not a directory" >&2; exit 1; }
command -v nginx >/dev/null || [ -x /usr/sbin/nginx ] \
    || { echo "serve-with-nginx: nginx is not installed (scripts/install-deps.sh)" >&2; exit 1; }
nginx=$(command -v nginx || echo /usr/sbin/nginx)

mkdir -p "$scratch/temp"
root=$(cd "$root" && pwd)
scratch=$(cd "$scratch" && pwd)

# Inside a user namespace that maps only our own user to root, nginx runs as
# root and would make its worker and its temporary folders nobody's, who does
# not exist there: they stay the user that started it. (The worker's
# initgroups() is refused there; nginx logs that once and goes on.) Started as
# an ordinary user, nginx neither switches nor needs the directive.
workers_user=""
if [ "$(id -u)" = 0 ]; then
    workers_user="user root $(id -gn);"
fi

cat >"$scratch/nginx.conf" <<EOF
$workers_user
daemon off;
worker_processes 1;
pid $scratch/nginx.pid;
error_log $scratch/error.log info;
events {
    worker_connections 64;
}
http {
    types {
        application/zip zip;
        text/plain minisig;
    }
    default_type application/octet-stream;
    log_format ranges '\$request status=\$status range="\$http_range" '
                      'if_range="\$http_if_range" sent=\$body_bytes_sent';
    access_log $scratch/access.log ranges;
    client_body_temp_path $scratch/temp/body;
    proxy_temp_path $scratch/temp/proxy;
    fastcgi_temp_path $scratch/temp/fastcgi;
    uwsgi_temp_path $scratch/temp/uwsgi;
    scgi_temp_path $scratch/temp/scgi;
    sendfile on;
    server {
        listen $bind:$port;
        root $root;
        limit_rate $rate;
    }
}
EOF

# -e: the error log before the configuration is read (not /var/log/nginx).
exec "$nginx" -p "$scratch" -c "$scratch/nginx.conf" -e "$scratch/error.log"
