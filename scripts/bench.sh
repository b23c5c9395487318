#!/usr/bin/env bash
# Builds and runs the benchmarks (bench/vr7bench, the window's bench/vr7benchui, then a site
# commissioned by vr7lon fleet, bench/vr7fleetbench): the program's speed against floors
# measured in the same run, as tables. Arguments go to each (e.g. --runs 9).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh run libxml2-utils  # xmllint: the floor of opening a configuration folder
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target vr7bench vr7benchui vr7fleetbench -j "$(nproc)"
build/bench/vr7bench "$@"
echo
build/bench/vr7benchui "$@" 2>/dev/null
echo
build/bench/vr7fleetbench "$@"
