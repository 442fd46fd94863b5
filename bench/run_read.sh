#!/bin/sh
# Builds the read benchmark and tessaly-cli optimised and runs it: full reads of a dense
# map (50 000 tiles, about 500 MB) and a sparse one (5 195 large tiles, about 430 MB),
# in process and as whole `tessaly-cli info` processes, against `cat` of the same file in
# the same run; and quick reads of a folder of 1000 small files. Prints peak memory.
# An optional argument names a work folder, which is then kept.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build/bench-release"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSALY_BUILD_UI=OFF -DTESSALY_BUILD_TESTS=OFF -DTESSALY_WERROR=OFF >/dev/null
ninja -C "$build" -j2 bench_read tessaly-cli >/dev/null || ninja -C "$build" -j2 bench_read tessaly-cli
if [ -x /usr/bin/time ]; then
    log=$(mktemp)
    status=0
    /usr/bin/time -v -o "$log" "$build/bench_read" --cli "$build/tessaly-cli" "$@" || status=$?
    sed -n 's/^[[:space:]]*Maximum resident set size (kbytes): \([0-9]*\)/peak RSS (time -v):          \1 kB/p' "$log"
    rm -f "$log"
    exit $status
fi
exec "$build/bench_read" --cli "$build/tessaly-cli" "$@"
