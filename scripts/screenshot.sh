#!/usr/bin/env bash
# Takes the README's screenshot of the main window: the program runs under a virtual X
# server with a small panel that has a notification area, on a copy of the example store.
#   scripts/screenshot.sh [BUILD_DIR] [OUTPUT]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD="${1:-build/release}"
OUT="${2:-docs/main-window.png}"

if [ ! -x "$BUILD/app/sentrel" ]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSENTREL_BUILD_TESTS=OFF
  cmake --build "$BUILD" -j "${JOBS:-2}" --target sentrel
fi

WORK="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

# The program keeps its store beside itself: give it a folder of its own.
cp "$BUILD/app/sentrel" "$BUILD/app/help.htm" "$WORK/"
cp examples/Sentrel.bin "$WORK/"

# A free display number.
n=90
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
export DISPLAY=":$n"
Xvfb "$DISPLAY" -screen 0 900x560x24 -nolisten tcp -br >"$WORK/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done

trayer --edge top --align right --widthtype request --height 26 --transparent false \
       --tint 0x303030 >"$WORK/trayer.log" 2>&1 &
pids+=($!)
sleep 1

XDG_RUNTIME_DIR="$WORK" HOME="$WORK" "$WORK/sentrel" >"$WORK/sentrel.log" 2>&1 &
pids+=($!)
# Let the start-up balloon go before taking the picture.
sleep 12
mkdir -p "$(dirname "$OUT")"
import -window root "$OUT"
echo "wrote $OUT"
