#!/bin/sh
# Builds the raster benchmark and tessaly-cli optimised and runs it: the import of a
# synthetic GeoTIFF against gdalwarp to EPSG:4326 plus gdal_translate encoding the same
# tiles, in the same run, with each command's peak memory. Arguments go to the bench:
# [--size N] (8000 without it) and a work folder, which is then kept.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build/bench-release"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSALY_BUILD_UI=OFF -DTESSALY_BUILD_TESTS=OFF -DTESSALY_WERROR=OFF >/dev/null
ninja -C "$build" -j2 bench_raster tessaly-cli >/dev/null || ninja -C "$build" -j2 bench_raster tessaly-cli
exec "$build/bench_raster" --cli "$build/tessaly-cli" "$@"
