#!/usr/bin/env bash
# Builds everything and runs all tests: the normal build (with the window and its UI tests,
# offscreen), by g++, and a second build of the core, the simulator and their tests, and of the
# window with its randomized test, with AddressSanitizer and UndefinedBehaviorSanitizer, by clang;
# then the Windows build and its tests under Wine (scripts/windows.sh test, which installs the
# MinGW toolchain and Wine and builds its two libraries once; VR7_WINDOWS=OFF leaves it out).
# Installs what building, the tests and the package test need (scripts/setup.sh test), so that
# no test is skipped for want of a tool; ends by naming every test that was skipped all the same,
# and why, and how long each part took.
set -euo pipefail
cd "$(dirname "$0")/.."
# How long each part took, said at the end.
times=""
part_started=$(date +%s)
part_done() {
    local now
    now=$(date +%s)
    times+="  $1: $((now - part_started)) s"$'\n'
    part_started=$now
}
scripts/setup.sh test
part_done "set-up"
jobs=$(nproc)
# ccache (when installed) keys on paths relative to the checkout, so another clone of the same
# sources, CI's included, reuses what was compiled before.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
# Warnings are errors in CI (VR7_WERROR=ON), in every target; a local run shows them only.
werror=${VR7_WERROR:-$([ -n "${CI:-}" ] && echo ON || echo OFF)}
# The normal build uses g++, the sanitizer build clang: both compilers are covered by two builds.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVR7_BUILD_TESTS=ON \
    -DVR7_WERROR="$werror" >/dev/null
cmake --build build -j "$jobs"
part_done "normal build"
# Of the window only its library and the randomized user (the monkey) are built here: the monkey
# drives every part of the window, so the sanitizers see the window's code at little build cost.
# A sanitizer build folder made by another compiler is made anew (CMake keeps a folder's compiler).
if [ -f build-asan/CMakeCache.txt ] && ! grep -q '^CMAKE_CXX_COMPILER:.*clang++' build-asan/CMakeCache.txt; then
    rm -rf build-asan
fi
CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVR7_SANITIZE=ON \
    -DVR7_BUILD_UI=ON -DVR7_UI_TESTS=monkey -DVR7_BUILD_TESTS=ON -DVR7_WERROR="$werror" >/dev/null
cmake --build build-asan -j "$jobs"
part_done "sanitizer build"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# The tests of a build folder that were skipped, one a line with GoogleTest's reason: the lines
# after "file:line: Skipped" in the test's output, up to the first blank line.
skipped_tests() {
    local log="$1/Testing/Temporary/LastTest.log"
    [ -f "$log" ] || return 0
    awk -v build="$1" '
        /^[0-9]+\/[0-9]+ Test: / { name = $0; sub(/^[0-9]+\/[0-9]+ Test: /, "", name); reason = ""; state = 0; next }
        state == 1 { if ($0 == "") state = 2; else reason = reason (reason == "" ? "" : " ") $0; next }
        /: Skipped$/ { state = 1; next }
        /^\[  SKIPPED \] / && name != "" && !(name in seen) {
            seen[name] = 1
            printf "  %s (%s): %s\n", name, build, (reason == "" ? "no reason given" : reason)
        }' "$log"
}

status=0
echo "== tests (normal build) =="
ctest --test-dir build --output-on-failure -j "$jobs" || status=1
part_done "tests (normal build)"
echo "== tests (AddressSanitizer + UndefinedBehaviorSanitizer) =="
ctest --test-dir build-asan --output-on-failure -j "$jobs" || status=1
part_done "tests (sanitizer build)"
if [ "${VR7_WINDOWS:-ON}" != OFF ]; then
    # The Windows programs are tested against the Linux vr7sim and vr7lon of build/ above.
    echo "== Windows build and tests under Wine =="
    VR7_WERROR="$werror" scripts/windows.sh test || status=1
    part_done "Windows build and tests"
fi

skipped=$(skipped_tests build; skipped_tests build-asan)
if [ -n "$skipped" ]; then
    echo "== skipped tests =="
    echo "$skipped"
else
    echo "No test was skipped."
fi
echo "== time of each part =="
printf '%s' "$times"
exit $status
