#!/bin/bash
# The inside of run-in-wayland.sh, on the session bus dbus-run-session made:
# starts sway headless with the outputs VELL_WAYLAND_OUTPUTS names, pipewire
# and the screenshot portal (unless VELL_WAYLAND_PORTAL=no), then runs the
# program with WAYLAND_DISPLAY, SWAYSOCK (and DISPLAY for Xwayland) set.
# Exit status 77: sway did not start here.
#
#   one     HEADLESS-1 1280x720 at 0,0
#   side    and HEADLESS-2 1280x720 at 1280,0
#   offset  HEADLESS-1 1280x720 at 0,200 and HEADLESS-2 640x480 at 1280,0
#   mixed   HEADLESS-1 1280x720 at 0,0 and HEADLESS-2 640x360 at scale 2
#           at 1280,0 (320x180 in layout coordinates)
#   fullhd  HEADLESS-1 1920x1080 at 0,0 and HEADLESS-2 1920x1080 at 1920,0
set -u
log=$HOME/session.log
: >"$log"

skip() {
    echo "wayland-session: SKIP: $*" >&2
    tail -n 20 "$log" >&2
    exit 77
}
fail() {
    echo "wayland-session: $*" >&2
    tail -n 40 "$log" >&2
    exit 1
}
# Waits up to 10 s for a command to succeed.
wait_for() {
    local tries=0
    until "$@" >/dev/null 2>&1; do
        tries=$((tries + 1))
        [ $tries -le 200 ] || return 1
        sleep 0.05
    done
}

mode=1280x720
case ${VELL_WAYLAND_OUTPUTS:-mixed} in
one) second= ; first="position 0 0" ;;
fullhd) mode=1920x1080; second="resolution 1920x1080 position 1920 0 scale 1"; first="position 0 0" ;;
side) second="resolution 1280x720 position 1280 0 scale 1"; first="position 0 0" ;;
offset) second="resolution 640x480 position 1280 0 scale 1"; first="position 0 200" ;;
mixed) second="resolution 640x360 position 1280 0 scale 2"; first="position 0 0" ;;
*) fail "unknown outputs ${VELL_WAYLAND_OUTPUTS}" ;;
esac

config=$HOME/sway.conf
{
    echo "output HEADLESS-1 resolution $mode $first scale 1"
    [ -z "$second" ] || echo "output HEADLESS-2 $second"
    echo "xwayland ${VELL_WAYLAND_XWAYLAND/yes/force}"
    echo "default_border none"
    echo "default_floating_border none"
    echo "focus_follows_mouse no"
    # The pointer shows in the portal's pictures unless it rests.
    echo "seat * hide_cursor 300"
    # Test windows ask for an output by their title.
    for output in HEADLESS-1 HEADLESS-2; do
        echo "for_window [title=\"@$output\$\"] move container to output $output, fullscreen enable"
    done
} >"$config"
sed -i 's/^xwayland no$/xwayland disable/' "$config"

WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    sway -c "$config" >>"$log" 2>&1 &
sway_pid=$!
wayland_socket() { ls "$XDG_RUNTIME_DIR" | grep -m1 '^wayland-[0-9]*$'; }
sway_socket() { ls "$XDG_RUNTIME_DIR" | grep -m1 '^sway-ipc\..*\.sock$'; }
wait_for sway_socket || skip "sway did not start"
kill -0 $sway_pid 2>/dev/null || skip "sway did not start"
export WAYLAND_DISPLAY=$(wayland_socket)
export SWAYSOCK=$XDG_RUNTIME_DIR/$(sway_socket)
export XDG_CURRENT_DESKTOP=sway XDG_SESSION_TYPE=wayland
if [ -n "$second" ]; then
    swaymsg create_output >>"$log" 2>&1 || fail "sway made no second output"
    wait_for sh -c 'swaymsg -t get_outputs | grep -q HEADLESS-2' || fail "no HEADLESS-2"
fi
if [ "${VELL_WAYLAND_XWAYLAND:-no}" = yes ]; then
    wait_for sh -c 'ls /tmp/.X11-unix | grep -q "^X[0-9]"' || fail "Xwayland did not start"
    export DISPLAY=:$(ls /tmp/.X11-unix | grep -m1 '^X[0-9]' | cut -c2-)
fi

# D-Bus starts the portal back-ends it needs (the gtk one) with these.
dbus-update-activation-environment WAYLAND_DISPLAY XDG_RUNTIME_DIR XDG_CURRENT_DESKTOP \
    XDG_SESSION_TYPE SWAYSOCK ${DISPLAY:+DISPLAY} >>"$log" 2>&1
has_name() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner "string:$1" | grep -q 'boolean true'
}
if [ "${VELL_WAYLAND_PORTAL:-yes}" = yes ]; then
    pipewire >>"$log" 2>&1 &
    wait_for sh -c 'ls "$XDG_RUNTIME_DIR" | grep -q "^pipewire-0$"' || fail "pipewire did not start"
    /usr/libexec/xdg-desktop-portal-wlr >>"$log" 2>&1 &
    wait_for has_name org.freedesktop.impl.portal.desktop.wlr || fail "portal-wlr did not start"
    /usr/libexec/xdg-desktop-portal -r >>"$log" 2>&1 &
    wait_for has_name org.freedesktop.portal.Desktop || fail "xdg-desktop-portal did not start"
fi

"$@"
status=$?
if [ $status -ne 0 ]; then
    echo "wayland-session: the program ended with status $status; the session's log:" >&2
    tail -n 30 "$log" >&2
fi
exit $status
