#!/bin/sh
# Builds the conversion benchmark and tessaly-cli optimised and runs it: import of an
# MBTiles file of 50 000 JPEG tiles against cp of that file, and export of the map against
# cp of the map; then the peak memory of one import and one export. An optional argument
# names a work folder, which is then kept (and its source file reused).
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build/bench-release"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSALY_BUILD_UI=OFF -DTESSALY_BUILD_TESTS=OFF -DTESSALY_WERROR=OFF >/dev/null
ninja -C "$build" -j2 bench_convert tessaly-cli >/dev/null || ninja -C "$build" -j2 bench_convert tessaly-cli
work=${1:-$(mktemp -d)}
"$build/bench_convert" --cli "$build/tessaly-cli" "$work" 2>/dev/null
if [ -x /usr/bin/time ]; then
    /usr/bin/time -f "peak RSS of an import: %M kB" "$build/tessaly-cli" import "$work/source.mbtiles" --out "$work/peak.jnx" >/dev/null
    /usr/bin/time -f "peak RSS of an export: %M kB" "$build/tessaly-cli" export "$work/peak.jnx" --out "$work/peak.mbtiles" >/dev/null
fi
[ $# -gt 0 ] || rm -rf "$work"
