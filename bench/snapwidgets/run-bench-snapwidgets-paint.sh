#!/bin/sh
# Runs the capture widget paint benchmark on private X servers: one full HD
# monitor, one 4K monitor (also at a device pixel ratio of 2, a 4K laptop
# screen), and two 4K monitors side by side on Xorg with the dummy driver.
#   bench/snapwidgets/run-bench-snapwidgets-paint.sh [path/to/bench-snapwidgets-paint]
set -eu
bench=${1:-build/bin/bench-snapwidgets-paint}
here=$(cd "$(dirname "$0")" && pwd)
run() {
    xvfb-run -a -s "-screen 0 $1x24 -nolisten tcp" env QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR="$2" "$bench"
}
run 1920x1080 1
run 3840x2160 1
run 3840x2160 2
"$here/../../snapwidgets/tests/run-on-two-monitors.sh" --mode 3840x2160 "$bench"
"$here/../../snapwidgets/tests/run-on-two-monitors.sh" --mode 3840x2160 --scale-factors DUMMY0=1,DUMMY1=2 "$bench"
