#!/usr/bin/env bash
# Builds everything and runs all tests: the normal build (with the window and its UI tests,
# offscreen) and a second build of the core, the simulator and their tests with AddressSanitizer
# and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVR7_SANITIZE=ON -DVR7_BUILD_UI=OFF >/dev/null
cmake --build build-asan -j "$jobs"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
echo "== tests (normal build) =="
ctest --test-dir build --output-on-failure -j "$jobs" || status=1
echo "== tests (AddressSanitizer + UndefinedBehaviorSanitizer) =="
ctest --test-dir build-asan --output-on-failure -j "$jobs" || status=1
exit $status
