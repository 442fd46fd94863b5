#!/usr/bin/env bash
# Line coverage of the core, the operations, the batch library, the converters and the CLI:
# a Debug build with gcov counts and no windows (build/coverage), every test run from fresh
# counts, then gcovr over exactly those folders, by folder and in total.
# Arguments go to the configure step, e.g. -DCMAKE_CXX_COMPILER_LAUNCHER=ccache.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${TESSALY_JOBS:-2}
build=build/coverage
folders=(platform jnx edit compose settings check operations batch convert cli)

cmake --preset coverage "$@" >/dev/null
cmake --build --preset coverage -j"$jobs"
find "$build" -name '*.gcda' -delete
ctest --preset coverage -j"$jobs"

filters=()
for folder in "${folders[@]}"; do filters+=(--filter "$folder/"); done
# CMake's compiler probe leaves a count file without its source; it is no code of ours.
gcovr --root . --object-directory "$build" --exclude-directories "$build/CMakeFiles/[0-9.]+" "${filters[@]}" \
      --json-summary "$build/coverage.json" --json-summary-pretty >/dev/null
python3 - "$build/coverage.json" "${folders[@]}" <<'PY'
import json, sys
files = json.load(open(sys.argv[1]))["files"]
rows, total = [], [0, 0]
for folder in sys.argv[2:]:
    mine = [f for f in files if f["filename"].startswith(folder + "/")]
    covered, lines = sum(f["line_covered"] for f in mine), sum(f["line_total"] for f in mine)
    total[0] += covered
    total[1] += lines
    rows.append((folder, covered, lines))
for folder, covered, lines in rows + [("total", *total)]:
    print(f"{folder:<12} {covered:>6} / {lines:<6} {100.0 * covered / max(lines, 1):5.1f} %")
PY
