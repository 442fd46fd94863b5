#!/bin/sh
# Builds the batch benchmark optimised and runs it: scan of 1000 files, batch save of 200
# files in place, and batch regeneration with ratios against cp of the same files.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build/bench-release"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSALY_BUILD_UI=OFF -DTESSALY_BUILD_TESTS=OFF -DTESSALY_WERROR=OFF >/dev/null
ninja -C "$build" -j2 bench_scan >/dev/null || ninja -C "$build" -j2 bench_scan
exec "$build/bench_scan" "$@"
