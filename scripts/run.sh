#!/usr/bin/env bash
# Builds the program and starts it with the demo data:
# - its working folder holds the demo catalogue, so that "Открыть" on examples/vr7_12 shows the
#   demo configuration at once (the program reads calcbank.xml, Help.chm and the device's local
#   copies of duxgate.cfg from its working folder);
# - a simulated VR-7 serves the same demo device (with its duxgate.cfg) on 127.0.0.1, and the
#   program's connection settings point at it, so that "Прочитать из VR-7" and "Сохранить в VR-7"
#   work without hardware. The simulator stops when the program exits.
# Installs only what building and running need (scripts/setup.sh run), not the test tools.
set -euo pipefail
# The window needs a display: an X or Wayland session, or a Qt platform that draws without one
# (QT_QPA_PLATFORM=offscreen, vnc, ...). Said before anything is installed or built.
case "${QT_QPA_PLATFORM:-}" in
    "" | xcb* | wayland*)
        if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
            echo "scripts/run.sh starts a window and needs a desktop session (no DISPLAY or" \
                "WAYLAND_DISPLAY is set): run it there, or as: xvfb-run scripts/run.sh" >&2
            exit 2
        fi
        ;;
esac
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
scripts/setup.sh run
build="${VR7_BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVR7_BUILD_UI=ON >/dev/null
cmake --build "$build" --target vr7loncfgmaker vr7sim_prog -j "$(nproc)"

work="$root/run"
mkdir -p "$work"
cp "$root/examples/calcbank.xml" "$work/calcbank.xml"
# The help file is compiled from docs/manual where chmcmd (fp-utils) is installed.
cmake --build "$build" --target vr7_help_chm >/dev/null 2>&1 || true
if [ -f "$root/$build/docs/Help.chm" ]; then cp "$root/$build/docs/Help.chm" "$work/Help.chm"; fi

# The program keeps its settings beside its executable.
program="$root/$build/app/ui/vr7loncfgmaker"
settings="$(dirname "$program")/Vr7LonCfgMaker.ini"

# The simulator writes the settings before it says where it listens, so once the line is read the
# program finds the device.
exec {sim_out}< <(exec "$root/$build/sim/vr7sim" --folder "$root/examples/vr7_12" --tcp 0 \
    --settings "$settings")
sim_pid=$!
stop_simulator() {
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
}
trap stop_simulator EXIT
line=""
if ! read -r -t 10 line <&"$sim_out" || [[ "$line" != "listening tcp 127.0.0.1:"* ]]; then
    echo "The device simulator did not start${line:+: $line}" >&2
    exit 1
fi
echo "Simulated VR-7 № 12 on ${line#listening tcp } (settings: $settings)"
echo "Working folder: $work (the demo configuration folder is $root/examples/vr7_12)"

cd "$work"
status=0
"$program" {sim_out}<&- || status=$?
exit "$status"
