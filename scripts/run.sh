#!/usr/bin/env bash
# Builds the program and starts it in a working folder that holds the demo catalogue, so that
# "Открыть" on examples/vr7_12 shows the demo configuration at once. The program reads
# calcbank.xml, Help.chm and the device's local copies of duxgate.cfg from its working folder.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
scripts/setup.sh
build="${VR7_BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVR7_BUILD_UI=ON >/dev/null
cmake --build "$build" --target vr7loncfgmaker -j "$(nproc)"

work="$root/run"
mkdir -p "$work"
cp "$root/examples/calcbank.xml" "$work/calcbank.xml"
if [ -f "$root/examples/Help.chm" ]; then cp "$root/examples/Help.chm" "$work/Help.chm"; fi
echo "Working folder: $work (the demo configuration folder is $root/examples/vr7_12)"
cd "$work"
exec "$root/$build/app/ui/vr7loncfgmaker"
