#!/usr/bin/env bash
# Installs what is missing, builds Sentrel and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DSENTREL_BUILD_TESTS=OFF
cmake --build build/release -j "${JOBS:-$(nproc)}" --target sentrel sentrelctl

# The program needs a desktop; without one, say so rather than let it fail.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "Sentrel is built (build/release/app/sentrel) but there is no display to show it on:" >&2
  echo "neither DISPLAY nor WAYLAND_DISPLAY is set. Run this from a desktop session," >&2
  echo "or try it under a virtual X server: xvfb-run -a build/release/app/sentrel" >&2
  exit 2
fi
exec build/release/app/sentrel
