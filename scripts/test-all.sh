#!/usr/bin/env bash
# Builds the debug and the sanitizer variants and runs every test in both (the windows'
# tests in the debug build only: the sanitizers watch the code that reads hostile files).
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
tessaly_install_deps || exit 1

failed=()
for preset in dev asan; do
    echo "=== $preset ==="
    if cmake --preset "$preset" && cmake --build --preset "$preset" -j2; then
        ctest --preset "$preset" -j2 --output-on-failure || failed+=("$preset tests")
    else
        failed+=("$preset build")
    fi
done

echo "=== package ==="
bash scripts/package-test.sh build/dev || failed+=("package")
echo "=== fuzz (short) ==="
bash scripts/fuzz.sh "${TESSALY_FUZZ_SECONDS:-10}" || failed+=("fuzz")

if [ ${#failed[@]} -ne 0 ]; then
    echo "FAILED: ${failed[*]}" >&2
    exit 1
fi
echo "All tests passed."
