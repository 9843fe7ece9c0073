#!/usr/bin/env bash
# Runs a command under a virtual X server of its own. The server takes the first free
# display number itself, so runs side by side never share one.
set -euo pipefail
dir="$(mktemp -d)"
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$dir/display" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null || true; rm -rf "$dir"' EXIT
for _ in $(seq 100); do [ -s "$dir/display" ] && break; sleep 0.1; done
[ -s "$dir/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n 1 "$dir/display")"
"$@"
