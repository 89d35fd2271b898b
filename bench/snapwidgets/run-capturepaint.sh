#!/bin/sh
# Runs the capture widget paint benchmark on private X servers of both sizes.
#   bench/snapwidgets/run-capturepaint.sh [path/to/bench_capturepaint]
set -eu
bench=${1:-build/bin/bench_capturepaint}
for size in 1920x1080 3840x2160; do
    QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 ${size}x24 -nolisten tcp" "$bench"
done
