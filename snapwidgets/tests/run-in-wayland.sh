#!/bin/bash
# Runs a program inside a private headless Wayland desktop (sway, pipewire,
# the screenshot portal) as uid 65534, which sway needs as it refuses root:
#
#   run-in-wayland.sh [--outputs one|side|offset|mixed|fullhd] [--xwayland]
#                     [--no-portal] [--] PROGRAM [ARG...]
#
# Meant to run inside tools/updateserver/run-in-netns.sh, which opens the build tree to other
# users. This script adds a mount namespace of its own with a private /tmp
# (the portal's wlr back-end always writes /tmp/out.png) in which the folder
# holding the build and source trees is bound in again, and a runtime folder
# of that user's. Exit status 77 means the desktop cannot run here; the reason
# is printed.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
skip() {
    echo "run-in-wayland: SKIP: $*" >&2
    exit 77
}

if [ "${VELL_WAYLAND_STAGE:-}" != private ]; then
    [ "$(id -u)" -eq 0 ] || skip "the desktop runs as uid 65534, which needs root"
    setpriv --reuid=65534 --regid=65534 --clear-groups true 2>/dev/null \
        || skip "cannot switch to uid 65534 here (a user namespace without it)"
    for command in sway swaymsg grim pipewire dbus-run-session \
        /usr/libexec/xdg-desktop-portal /usr/libexec/xdg-desktop-portal-wlr; do
        command -v "$command" >/dev/null \
            || skip "$command is missing (scripts/install-deps.sh installs the desktop)"
    done
    VELL_WAYLAND_STAGE=private exec unshare --mount --propagation private /bin/bash "$0" "$@"
fi
unset VELL_WAYLAND_STAGE

outputs=mixed
xwayland=no
portal=yes
while [ $# -gt 0 ]; do
    case $1 in
    --outputs) outputs=$2; shift 2 ;;
    --xwayland) xwayland=yes; shift ;;
    --no-portal) portal=no; shift ;;
    --) shift; break ;;
    *) break ;;
    esac
done
[ $# -gt 0 ] || { echo "usage: run-in-wayland.sh [options] PROGRAM [ARG...]" >&2; exit 2; }

# A new /tmp is made aside, the trees the program needs (the build, the
# sources, the program itself) that lie below the old one are bound into it,
# and it is then moved over the old one.
new_tmp=$(mktemp -d)
exec {old}</tmp
mount -t tmpfs -o mode=1777 tmpfs "$new_tmp"
for tree in "${VELL_BUILD_DIR:-}" "${VELL_SOURCE_DIR:-}" "$here" "$(dirname "$(readlink -f "$1")")"; do
    case $tree in
    /tmp/?*)
        top=${tree#/tmp/}
        top=${top%%/*}
        if [ "/tmp/$top" != "$new_tmp" ] && [ ! -e "$new_tmp/$top" ]; then
            mkdir "$new_tmp/$top"
            mount --rbind "/tmp/$top" "$new_tmp/$top"
        fi
        ;;
    esac
done
mount --move "$new_tmp" /tmp
# The folder it was made on is left empty in the old /tmp.
rmdir "/proc/$$/fd/$old/${new_tmp#/tmp/}" 2>/dev/null || true
exec {old}<&-
mkdir -m 1777 /tmp/.X11-unix
install -d -m 0700 -o 65534 -g 65534 /tmp/runtime /tmp/home

bus=()
if [ $portal = no ]; then
    bus=(--config-file="$here/bare-session-bus.conf")
fi
unset DISPLAY WAYLAND_DISPLAY SWAYSOCK I3SOCK DBUS_SESSION_BUS_ADDRESS
exec setpriv --reuid=65534 --regid=65534 --clear-groups \
    env HOME=/tmp/home XDG_RUNTIME_DIR=/tmp/runtime TMPDIR=/tmp \
    VELL_WAYLAND_OUTPUTS=$outputs VELL_WAYLAND_XWAYLAND=$xwayland VELL_WAYLAND_PORTAL=$portal \
    dbus-run-session "${bus[@]}" -- "$here/wayland-session.sh" "$@"
