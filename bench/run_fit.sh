#!/bin/sh
# Builds the fit benchmark and tessaly-cli optimised and runs it: fit of a map whose one
# level holds 50 001 tiles of 256 x 256 pixels, joined 2 x 2, against `cp` of the same file
# in the same run. An optional argument names a work folder, which is then kept.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build/bench-release"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSALY_BUILD_UI=OFF -DTESSALY_BUILD_TESTS=OFF -DTESSALY_WERROR=OFF >/dev/null
ninja -C "$build" -j2 bench_fit tessaly-cli >/dev/null || ninja -C "$build" -j2 bench_fit tessaly-cli
exec "$build/bench_fit" --cli "$build/tessaly-cli" "$@"
