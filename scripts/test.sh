#!/usr/bin/env bash
# Installs what is missing, builds Sentrel and runs the whole test suite:
#   1. the full build (program, sentrelctl, every test) with warnings as errors, all tests;
#   2. the core tests again under AddressSanitizer and UndefinedBehaviorSanitizer;
#   3. the Debian package of that build: its file list, and the programs unpacked into a
#      scratch root;
#   4. the engine, main window and alert editor tests again under ThreadSanitizer (the
#      engine's worker, the saving thread, Test on the worker);
#   5. the store reader's fuzz target for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

JOBS="${JOBS:-$(nproc)}"
export CTEST_OUTPUT_ON_FAILURE=1

bash scripts/check-layers.sh
bash scripts/check-format.sh

echo "== full build and tests"
cmake -S . -B build/ci -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSENTREL_WERROR=ON
cmake --build build/ci -j "$JOBS"
ctest --test-dir build/ci -j "$JOBS" --timeout 600

echo "== the Debian package"
deb="$(bash scripts/package.sh build/ci | tail -n 1)"
bash scripts/check-package.sh "$deb"

echo "== core tests with address and undefined-behaviour sanitizers"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSENTREL_SANITIZE=ON \
      -DSENTREL_BUILD_UI=OFF -DSENTREL_WERROR=ON
cmake --build build/asan -j "$JOBS"
ctest --test-dir build/asan -j "$JOBS" -L core --timeout 600

echo "== engine, main window and alert editor tests with the thread sanitizer"
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSENTREL_SANITIZE_THREAD=ON \
      -DSENTREL_WERROR=ON
cmake --build build/tsan -j "$JOBS" --target engine_tests session_tests eventlog_tests \
      ui_main_window_tests main_window_editor_tests alert_editor_tests
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp" \
  ctest --test-dir build/tsan -j "$JOBS" --timeout 600 \
  -R '^(EngineTest|EngineLifetime|(Stores/)?SessionHeldStoreTest|EventLogTest|TraceTimeStamp)\.|^(ui_main_window_tests|main_window_editor_tests|alert_editor_tests|alert_editor_desktop_notifications)$'

if [ -f tests/fuzz/CMakeLists.txt ]; then
  echo "== fuzzing the store reader"
  CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DSENTREL_BUILD_FUZZERS=ON -DSENTREL_BUILD_UI=OFF -DSENTREL_BUILD_TESTS=OFF
  cmake --build build/fuzz -j "$JOBS" --target store_reader_fuzzer
  bash tests/fuzz/run-store-fuzzer.sh build/fuzz "${FUZZ_SECONDS:-60}"
fi
