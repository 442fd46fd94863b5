#!/usr/bin/env bash
# Builds the optimised programs, writes a small demo file, shows what the command line
# reads from it and opens it in the editor window.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
tessaly_install_deps

# Warnings stop the developer builds (dev, asan), not the build of someone who just wants
# to run the program with a newer or older compiler.
cmake --preset release -DTESSALY_WERROR=OFF
cmake --build --preset release -j2 --target tessaly-cli tessaly

bin=build/release
demo=$bin/demo.jnx
"$bin/tessaly-cli" demo "$demo"
"$bin/tessaly-cli" info "$demo"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec "$bin/tessaly" "$demo"
fi
echo "No display found: start the editor window later with $bin/tessaly $demo"
