#!/usr/bin/env bash
# Fuzzes each target of fuzz/ for SECONDS (default 60) with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, in its own build folder (FUZZ_BUILD_DIR, default build-fuzz).
#   scripts/fuzz.sh [SECONDS] [--keep] [TARGET...]
# Each run starts from the target's corpus in fuzz/corpus/<target>/ and works on a copy of it;
# --keep merges the inputs that reached new code back into fuzz/corpus/<target>/ (the normal test
# run replays that corpus). A crash or sanitizer report stops that target's run, leaves the input
# in $FUZZ_BUILD_DIR/artifacts/<target>/ and makes the script fail: once the fault is mended, put
# the input into fuzz/corpus/<target>/ so that the test run keeps it found.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=60
keep=0
targets=()
for arg in "$@"; do
    case "$arg" in
        --keep) keep=1 ;;
        ''|*[!0-9]*) targets+=("$arg") ;;
        *) seconds=$arg ;;
    esac
done
[ ${#targets[@]} -gt 0 ] || targets=(deffile gatewayfile xml ini protocol listdiff fleetplan simsite)
# clang and its fuzzer runtime are needed only here, not by the normal build and tests.
scripts/setup.sh run clang libclang-rt-14-dev
build=${FUZZ_BUILD_DIR:-build-fuzz}
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVR7_FUZZ=ON -DVR7_SANITIZE=ON -DVR7_BUILD_UI=OFF \
    -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link -gline-tables-only" >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]/#/fuzz_}"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for t in "${targets[@]}"; do
    work="$build/corpus/$t"
    artifacts="$build/artifacts/$t"
    mkdir -p "$work" "$artifacts" "fuzz/corpus/$t"
    cp -n fuzz/corpus/"$t"/* "$work"/ 2>/dev/null || true
    echo "== $t: ${seconds}s =="
    if ! "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -max_len=8192 -timeout=10 \
        -artifact_prefix="$artifacts/" -print_final_stats=1 "$work" 2>"$build/fuzz_$t.log"; then
        echo "$t: FOUND A FAULT, see $build/fuzz_$t.log and $artifacts/" >&2
        status=1
    fi
    grep -E "^stat::number_of_executed_units|^stat::new_units_added|^#[0-9]+.*DONE" \
        "$build/fuzz_$t.log" || true
    if [ $keep -eq 1 ]; then
        "$build/fuzz/fuzz_$t" -merge=1 "fuzz/corpus/$t" "$work" 2>>"$build/fuzz_$t.log" >/dev/null
    fi
done
exit $status
