#!/usr/bin/env bash
# Installs what is missing, builds Sentrel and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DSENTREL_BUILD_TESTS=OFF
cmake --build build/release -j "$(nproc)"

# Until the window exists: show the example store with the command-line companion.
exec build/release/tools/sentrelctl dump examples/Sentrel.bin
