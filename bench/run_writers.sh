#!/bin/sh
# Builds the writers benchmark optimised and runs it: in-place update, regeneration and
# level extraction of a 500 MB file (a 200 MB level), with ratios against cp in the same
# run. Extra arguments go to the benchmark (--mb N, --level-mb N, --dir FOLDER, --runs N).
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build/bench-release"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSALY_BUILD_UI=OFF -DTESSALY_BUILD_TESTS=OFF -DTESSALY_WERROR=OFF >/dev/null
ninja -C "$build" -j2 bench_writers >/dev/null || ninja -C "$build" -j2 bench_writers
exec "$build/bench_writers" "$@"
