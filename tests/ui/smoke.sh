#!/usr/bin/env bash
# Runs the real program: without a display it must say so and end; on an X server with a
# notification area it must come up, write its store in the user's data folder (beside
# itself only when a store is there already) and keep running; a second start on the same
# store must bring the first one's window forward and end.
#   smoke.sh PATH/TO/sentrel
set -euo pipefail
program="$1"
work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}

# Starts the program as at login (--minimised), in the background, as $app.
start_minimised() {
  XDG_RUNTIME_DIR="$work" QT_QPA_PLATFORM=xcb "$work/sentrel" --minimised >"$work/out" 2>&1 &
  app=$!
  pids+=($app)
}
trap cleanup EXIT
cp "$program" "$work/sentrel"
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
store="$XDG_DATA_HOME/sentrel/Sentrel.bin"

# No display at all.
set +e
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$work/sentrel" >"$work/out" 2>&1
rc=$?
set -e
[ "$rc" -eq 2 ] || { echo "without a display: exit code $rc, expected 2"; cat "$work/out"; exit 1; }
grep -q "needs a graphical desktop" "$work/out" || { echo "no explanation:"; cat "$work/out"; exit 1; }
[ ! -e "$work/Sentrel.bin" ] || { echo "a store was written without a display"; exit 1; }

# A display that cannot be reached.
set +e
DISPLAY=":99999" env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$work/sentrel" >"$work/out" 2>&1
rc=$?
set -e
[ "$rc" -eq 2 ] || { echo "unreachable display: exit code $rc, expected 2"; cat "$work/out"; exit 1; }

# A desktop with a notification area (run under with-xvfb.sh).
trayer --edge top --align right --widthtype request >/dev/null 2>&1 &
pids+=($!)
sleep 1
XDG_RUNTIME_DIR="$work" QT_QPA_PLATFORM=xcb "$work/sentrel" >"$work/out" 2>&1 &
app=$!
pids+=($app)
for _ in $(seq 100); do [ -e "$store" ] && break; sleep 0.1; done
[ -e "$store" ] || { echo "the store was not written at start-up"; cat "$work/out"; exit 1; }
[ ! -e "$work/Sentrel.bin" ] || { echo "a store was written beside the program"; exit 1; }
sleep 1
kill -0 "$app" 2>/dev/null || { echo "the program ended by itself"; cat "$work/out"; exit 1; }
xdotool search --onlyvisible --name '^Sentrel$' >/dev/null || { echo "no window shown"; exit 1; }
# Ten bytes: an empty document with the trace switch off.
size=$(stat -c %s "$store")
[ "$size" -eq 10 ] || { echo "store of $size bytes, expected 10"; exit 1; }
kill "$app"
wait "$app" 2>/dev/null || true

# Started at login (--minimised) with a notification area: the icon, no window.
start_minimised
sleep 2
kill -0 "$app" 2>/dev/null || { echo "the minimised program ended by itself"; cat "$work/out"; exit 1; }
! xdotool search --onlyvisible --name '^Sentrel$' >/dev/null || { echo "minimised, yet a window shows"; exit 1; }

# One program per store: a second start brings the first one's window forward and ends.
set +e
XDG_RUNTIME_DIR="$work" QT_QPA_PLATFORM=xcb timeout 30 "$work/sentrel" >"$work/second" 2>&1
rc=$?
set -e
[ "$rc" -eq 0 ] || { echo "second start: exit code $rc, expected 0"; cat "$work/second"; exit 1; }
grep -q "already running (pid $app)" "$work/second" || { echo "second start said:"; cat "$work/second"; exit 1; }
for _ in $(seq 50); do xdotool search --onlyvisible --name '^Sentrel$' >/dev/null && break; sleep 0.1; done
xdotool search --onlyvisible --name '^Sentrel$' >/dev/null || { echo "the first window did not come forward"; exit 1; }
# Killed outright, it lets the store go: the next start runs on it.
kill -9 "$app"
wait "$app" 2>/dev/null || true
start_minimised
sleep 2
kill -0 "$app" 2>/dev/null || { echo "the store was still held after kill -9:"; cat "$work/out"; exit 1; }
kill "$app"
wait "$app" 2>/dev/null || true

# Ended by the session (SIGTERM), it ends as "Exit" does: the event, then the save. The
# store is a portable one beside the program, and is used there. Started at login
# (--minimised), it watches at once.
printf '\001\000\000\000\000\000\000\000\000\000' >"$work/Sentrel.bin" # empty, trace on
start_minimised
for _ in $(seq 100); do grep -q "Activations started" "$work/trace.txt" 2>/dev/null && break; sleep 0.1; done
grep -q "Trace Switched on" "$work/trace.txt" || { echo "the trace was not switched on"; cat "$work/out"; exit 1; }
grep -q "Sentrel Activations started" "$work/trace.txt" || { echo "started at login, yet not watching:"; cat "$work/trace.txt"; exit 1; }
rm "$work/Sentrel.bin"
kill -TERM "$app"
set +e
wait "$app"
rc=$?
set -e
[ "$rc" -eq 0 ] || { echo "after SIGTERM: exit code $rc, expected 0"; cat "$work/out"; exit 1; }
[ -e "$work/Sentrel.bin" ] || { echo "the store was not saved at SIGTERM"; exit 1; }
tail -n 1 "$work/trace.txt" | grep -q "Sentrel Exited" || { echo "no \"Exited\" at SIGTERM:"; cat "$work/trace.txt"; exit 1; }
echo "smoke run passed"
