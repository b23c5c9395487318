#!/usr/bin/env bash
# tests/sim/vr7sim_exe_wine.sh VR7LON VR7SIM WINE64 WINEPREFIX VR7SIM.EXE SOURCE-DIR
# vr7sim.exe under Wine serves the Linux vr7lon over TCP on 127.0.0.1 exactly as the Linux
# vr7sim does: the same demo device is served by both, and what vr7lon prints of each (its
# identification, its configuration tree) and a file put into each and got back are compared
# byte for byte.
set -euo pipefail
lon=$1 sim=$2 wine=$3 prefix=$4 exe=$5 source=$6
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
work=$(mktemp -d "${TMPDIR:-/tmp}/vr7sim-wine.XXXXXX")
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

# Starts a simulator (the command given) of the demo device; sets port to its TCP port.
port=""
serve() {
    local out line
    exec {out}< <(exec "$@" --folder "$source/examples/vr7_12" --number 12 --tcp 0)
    pids+=($!)
    read -r -u "$out" line  # "listening tcp 127.0.0.1:PORT" (CR LF from Windows)
    line=${line%$'\r'}
    port=${line##*:}
    [[ $port =~ ^[0-9]+$ ]] || {
        echo "the simulator did not name its port: $line" >&2
        exit 1
    }
}

# What vr7lon prints of the device on port, into folder $1.
talk() {
    local to=$work/$1
    mkdir -p "$to"
    local device=("$lon" device --ip 127.0.0.1 --tcp-port "$port" --number 12)
    "${device[@]}" info >"$to/info.txt"
    "${device[@]}" tree --catalog "$source/examples/calcbank.xml" >"$to/tree.txt"
    "${device[@]}" put "$work/payload.bin" PAYLOAD.BIN >"$to/put.txt"
    # Got into the same relative path for both, so that the printed lines can be compared.
    (cd "$to" && "${device[@]}" get PAYLOAD.BIN payload.bin >get.txt)
}

# A file of several blocks with every byte value in it.
head -c 5000 /dev/urandom >"$work/payload.bin"

serve "$sim"
talk linux
serve "$wine" "$exe"
talk windows

status=0
for f in info.txt tree.txt put.txt get.txt payload.bin; do
    if cmp -s "$work/linux/$f" "$work/windows/$f"; then
        echo "same: $f ($(wc -c <"$work/linux/$f") bytes)"
    else
        echo "DIFFERENT: $f" >&2
        diff "$work/linux/$f" "$work/windows/$f" >&2 || true
        status=1
    fi
done
cmp "$work/payload.bin" "$work/windows/payload.bin" || status=1
exit $status
