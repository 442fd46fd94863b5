#!/usr/bin/env bash
# Builds the optimised program, writes a small demo file and shows what the command line
# reads from it.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
tessaly_install_deps

cmake --preset release
cmake --build --preset release -j2 --target tessaly-cli

cli=build/release/tessaly-cli
demo=build/release/demo.jnx
"$cli" demo "$demo"
"$cli" info "$demo"
