#!/usr/bin/env bash
# Runs the store reader's fuzz target for a bounded time:
#   run-store-fuzzer.sh BUILD_DIR SECONDS
# Starts from the seed stores in tests/fuzz/corpus (copied, so the repository is not
# changed). Any single allocation of 1 MiB or more fails the run: inputs are at most
# 64 KiB, so such an allocation means a length was trusted before it was checked.
set -euo pipefail
BUILD_DIR="${1:?usage: run-store-fuzzer.sh BUILD_DIR SECONDS}"
SECONDS_TO_RUN="${2:?usage: run-store-fuzzer.sh BUILD_DIR SECONDS}"
HERE="$(cd "$(dirname "$0")" && pwd)"
FUZZER="$BUILD_DIR/tests/fuzz/store_reader_fuzzer"
[ -x "$FUZZER" ] || { echo "no fuzzer at $FUZZER" >&2; exit 2; }

# A smaller quarantine keeps the rss limit meaningful over a long run.
export ASAN_OPTIONS="${ASAN_OPTIONS:-quarantine_size_mb=64}"

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/corpus" "$WORK/artifacts"

set +e
"$FUZZER" "$WORK/corpus" "$HERE/corpus" \
  -max_total_time="$SECONDS_TO_RUN" \
  -max_len=65536 \
  -timeout=10 \
  -rss_limit_mb=512 \
  -malloc_limit_mb=1 \
  -print_final_stats=1 \
  -artifact_prefix="$WORK/artifacts/" >"$WORK/log" 2>&1
status=$?
set -e
tail -n 40 "$WORK/log"
if [ "$status" -ne 0 ]; then
  mkdir -p "$BUILD_DIR/fuzz-artifacts"
  cp -r "$WORK/artifacts/." "$BUILD_DIR/fuzz-artifacts/" || true
  echo "the store reader's fuzz target failed; inputs kept in $BUILD_DIR/fuzz-artifacts" >&2
fi
exit "$status"
