#!/bin/sh
# Builds the merge benchmark optimised and runs it: three files of 150 MB each merged,
# against `cat` of the same three files in the same run. Extra arguments go to the
# benchmark (--mb N, --dir FOLDER, --runs N).
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build/bench-release"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSALY_BUILD_UI=OFF -DTESSALY_BUILD_TESTS=OFF -DTESSALY_WERROR=OFF >/dev/null
ninja -C "$build" -j2 bench_merge >/dev/null || ninja -C "$build" -j2 bench_merge
exec "$build/bench_merge" "$@"
