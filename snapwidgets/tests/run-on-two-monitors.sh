#!/bin/sh
# Runs a program on a private Xorg server (dummy video driver) with two
# monitors side by side, DUMMY0 primary on the left and DUMMY1 on the right:
#   run-on-two-monitors.sh [--mode WIDTHxHEIGHT] [--scale-factor F]
#                          [--scale-factors F0,F1] program [arguments...]
# --scale-factor sets QT_SCALE_FACTOR, --scale-factors sets
# QT_SCREEN_SCALE_FACTORS to "F0;F1" (a semicolon cannot pass through a
# CMake list).
# Each run has its own display number (chosen by the server among the free
# ones) and scratch folder; the server is stopped by its PID on every exit.
# Where Xorg cannot start, the program still runs, with
# VELL_TWO_MONITORS_UNAVAILABLE telling it why, so that it can skip.
set -u
mode=1920x1080
while [ $# -gt 0 ]; do
    case $1 in
    --mode) mode=$2 ;;
    --scale-factor)
        QT_SCALE_FACTOR=$2
        export QT_SCALE_FACTOR
        ;;
    --scale-factors)
        QT_SCREEN_SCALE_FACTORS=$(printf '%s' "$2" | tr ',' ';')
        export QT_SCREEN_SCALE_FACTORS
        ;;
    *) break ;;
    esac
    shift 2
done

run_without() {
    reason=$1
    shift
    VELL_TWO_MONITORS_UNAVAILABLE="$reason" exec "$@"
}

if [ "$(id -u)" -ne 0 ]; then
    run_without "Xorg with the dummy driver needs root here" "$@"
fi
if ! command -v Xorg >/dev/null 2>&1 || ! command -v xrandr >/dev/null 2>&1; then
    run_without "Xorg or xrandr is not installed (xserver-xorg-core, x11-xserver-utils)" "$@"
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/two-monitors.XXXXXX") || exit 1
xorg_pid=""
cleanup() {
    if [ -n "$xorg_pid" ]; then
        kill "$xorg_pid" 2>/dev/null
        wait "$xorg_pid" 2>/dev/null
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

# Room for two 4K monitors side by side; every mode the tests use is among
# the dummy driver's standard ones or listed here.
cat >"$scratch/xorg.conf" <<CONF
Section "ServerFlags"
    Option "AutoAddDevices" "false"
    Option "AutoEnableDevices" "false"
    Option "DontVTSwitch" "true"
EndSection
Section "Device"
    Identifier "dummy"
    Driver "dummy"
    VideoRam 256000
EndSection
Section "Monitor"
    Identifier "monitor"
    HorizSync 5.0 - 1000.0
    VertRefresh 5.0 - 200.0
    Modeline "1920x1080" 74.0 1920 1928 1936 2000 1080 1081 1082 1100
    Modeline "3840x2160" 150.0 3840 3848 3856 3900 2160 2161 2162 2200
EndSection
Section "Screen"
    Identifier "screen"
    Device "dummy"
    Monitor "monitor"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Modes "$mode"
        Virtual 7680 2160
    EndSubSection
EndSection
CONF
mkdir "$scratch/xorg.conf.d"

# -displayfd: the server takes the first free display number and writes it
# once it accepts clients.
Xorg -displayfd 3 -noreset -nolisten tcp -config "$scratch/xorg.conf" \
    -configdir "$scratch/xorg.conf.d" -logfile "$scratch/Xorg.log" \
    3>"$scratch/display" >"$scratch/Xorg.out" 2>&1 &
xorg_pid=$!
tries=0
while [ ! -s "$scratch/display" ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ] || ! kill -0 "$xorg_pid" 2>/dev/null; then
        reason="Xorg with the dummy driver did not start: $(tail -n 3 "$scratch/Xorg.out" | tr '\n' ' ')"
        echo "run-on-two-monitors: $reason" >&2
        # Run the program here so that it reports the skip; the trap stops
        # the server.
        VELL_TWO_MONITORS_UNAVAILABLE="$reason" "$@"
        exit $?
    fi
    sleep 0.1
done
DISPLAY=:$(head -n 1 "$scratch/display")
export DISPLAY

if ! xrandr --output DUMMY0 --mode "$mode" --pos 0x0 --primary \
    || ! xrandr --addmode DUMMY1 "$mode" \
    || ! xrandr --output DUMMY1 --mode "$mode" --pos "${mode%x*}x0"; then
    echo "run-on-two-monitors: xrandr could not place two monitors" >&2
    exit 1
fi

# A plain query makes the server probe its outputs; until then DUMMY1 counts
# as disconnected, and Qt would see one monitor.
xrandr >/dev/null

QT_QPA_PLATFORM=xcb "$@"
