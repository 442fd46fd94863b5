#!/bin/sh
# Builds the check benchmark and tessaly-cli optimised and runs it: the deep check of a map
# of 50 000 tiles (about 500 MB) against `cat` of the same file in the same run; the deep
# check must take at most 1.5 times as long. An optional argument names a work folder, which
# is then kept.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build/bench-release"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSALY_BUILD_UI=OFF -DTESSALY_BUILD_TESTS=OFF -DTESSALY_WERROR=OFF >/dev/null
ninja -C "$build" -j2 bench_check tessaly-cli >/dev/null || ninja -C "$build" -j2 bench_check tessaly-cli
exec "$build/bench_check" --cli "$build/tessaly-cli" "$@"
