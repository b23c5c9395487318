#!/usr/bin/env bash
# Builds and runs the benchmark (bench/vr7bench): the program's speed against floors measured in
# the same run, as a table. Arguments go to vr7bench (e.g. --runs 9).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh libxml2-utils  # xmllint: the floor of opening a configuration folder
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target vr7bench -j "$(nproc)"
exec build/bench/vr7bench "$@"
