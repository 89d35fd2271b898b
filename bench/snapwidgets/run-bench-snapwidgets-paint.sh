#!/bin/sh
# Runs the capture widget paint benchmark on private X servers: full HD, 4K,
# and 4K at a device pixel ratio of 2 (a 4K laptop screen).
#   bench/snapwidgets/run-bench-snapwidgets-paint.sh [path/to/bench-snapwidgets-paint]
set -eu
bench=${1:-build/bin/bench-snapwidgets-paint}
run() {
    xvfb-run -a -s "-screen 0 $1x24 -nolisten tcp" env QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR="$2" "$bench"
}
run 1920x1080 1
run 3840x2160 1
run 3840x2160 2
