#!/bin/sh
# Runs the freeze benchmark in a private headless Wayland desktop with two
# 1920 x 1080 outputs showing the coordinate pattern, natively and through
# Xwayland. Needs root (the desktop runs as uid 65534).
#   bench/snapwidgets/run-bench-snapwidgets-freeze.sh [build folder] [rounds]
set -eu
build=$(cd "${1:-build}" && pwd)
rounds=${2:-9}
root=$(cd "$(dirname "$0")/../.." && pwd)
for platform in wayland xcb; do
    echo "== QT_QPA_PLATFORM=$platform"
    QT_QPA_PLATFORM=$platform VELL_BUILD_DIR=$build VELL_SOURCE_DIR=$root \
        "$root/tools/updateserver/run-in-netns.sh" --open-for-others "$build" \
        --open-for-others "$root" -- "$root/snapwidgets/tests/run-in-wayland.sh" \
        --outputs fullhd --xwayland -- /bin/sh -c \
        'QT_QPA_PLATFORM=wayland "$0" >/dev/null & sleep 3; exec "$@"' \
        "$build/bin/wayland-pattern" "$build/bin/bench-snapwidgets-freeze" "$rounds"
done
