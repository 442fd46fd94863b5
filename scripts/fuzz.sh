#!/usr/bin/env bash
# Runs every fuzz target for a fixed time (seconds, default 60) and fails on any crash,
# leak, slow input (>1 s) or memory use over 512 MB. Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
budget=${1:-60}
if ! command -v clang++ >/dev/null || ! dpkg -s libclang-rt-14-dev >/dev/null 2>&1; then
  if [ "$(id -u)" = 0 ]; then sudo=""; else sudo=sudo; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq clang libclang-rt-14-dev >/dev/null
fi
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
bin=build/fuzz
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bin/make_seeds" "$work/seeds"
status=0
run() {
  local target=$1 seeds=$2
  mkdir -p "$work/corpus-$target"
  echo "== $target ($budget s)"
  mkdir -p build/fuzz-findings
  if ! "$bin/$target" -artifact_prefix=build/fuzz-findings/ -max_total_time="$budget" -timeout=1 -rss_limit_mb=512 -max_len=65536 \
       -print_final_stats=1 "$work/corpus-$target" "$work/seeds/$seeds" >"$work/$target.log" 2>&1; then
    tail -n 40 "$work/$target.log"
    status=1
  fi
  grep -E '^stat::number_of_executed_units|^stat::average_exec_per_sec|cov:' "$work/$target.log" | tail -n 3 || true
}
run fuzz_read_jnx jnx
run fuzz_roundtrip jnx
run fuzz_settings settings
run fuzz_codec codec
run fuzz_read_mbtiles mbtiles
run fuzz_jpeg_join join
# A small document of the shape the import reads; the zip framing is left to the fuzzer.
mkdir -p "$work/seeds/kmz"
printf '%s' '<kml><Document><name>n</name><Folder><ExtendedData><Data name="tessaly:scale"><value>9</value></Data></ExtendedData><GroundOverlay><Icon><href>a.jpg</href></Icon><LatLonBox><north>1</north><south>0</south><east>1</east><west>0</west><rotation>0</rotation></LatLonBox></GroundOverlay></Folder></Document></kml>' >"$work/seeds/kmz/doc.kml"
run fuzz_read_kmz kmz
run fuzz_read_kmz_links kmz_links
run fuzz_read_tile_store tile_store
if [ "$status" = 0 ]; then echo "fuzz: no findings"; else echo "fuzz: FINDINGS"; fi
exit $status
