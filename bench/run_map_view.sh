#!/bin/sh
# Builds the map view benchmark optimised, with the windows, and runs it offscreen: each
# wheel step over a level of 50 000 tiles must have its tiles drawn within 200 ms with up to
# 1 000 tiles in view, and no event on the window's thread may take 16 ms or more. An
# optional argument names a work folder, which is then kept.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build/bench-release-ui"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSALY_BUILD_UI=ON -DTESSALY_BUILD_TESTS=OFF -DTESSALY_WERROR=OFF >/dev/null
ninja -C "$build" -j2 bench_map_view >/dev/null || ninja -C "$build" -j2 bench_map_view
QT_QPA_PLATFORM=offscreen exec "$build/bench_map_view" "$@"
