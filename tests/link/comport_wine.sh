#!/usr/bin/env bash
# tests/link/comport_wine.sh VR7SIM WINE64 WINEPREFIX TEST.EXE
# Serves a Linux vr7sim on a pseudo-terminal paced at 9600 Bd and another at 115200 Bd, links
# them into the Wine prefix as COM5 and COM6, and runs the Win32 serial test program against
# them. Never COM1..COM4: Wine maps those to the machine's own serial ports.
set -euo pipefail
sim=$1 wine=$2 prefix=$3 exe=$4
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
pids=()
links=()
cleanup() {
    local pid link
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true; done
    for link in "${links[@]}"; do rm -f "$link"; done
}
trap cleanup EXIT

ports=""
serve() { # COM-NUMBER BAUD DEVICE-NUMBER
    local out line pty
    exec {out}< <(exec "$sim" --pty --pace "$2" --number "$3")
    pids+=($!)
    # The simulator's first line says where it listens: "listening pty /dev/pts/N".
    read -r -u "$out" line
    pty=${line##* }
    [[ $pty == /dev/pts/* ]] || {
        echo "vr7sim did not name its pty: $line" >&2
        exit 1
    }
    ln -sfn "$pty" "$prefix/dosdevices/com$1"
    links+=("$prefix/dosdevices/com$1")
    ports+="${ports:+,}COM$1:$2:$3"
}
serve 5 9600 11
serve 6 115200 12
VR7_TEST_COM_PORTS=$ports "$wine" "$exe"
