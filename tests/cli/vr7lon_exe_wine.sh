#!/usr/bin/env bash
# tests/cli/vr7lon_exe_wine.sh VR7LON VR7LON.EXE VR7SIM WINE64 WINEPREFIX SOURCE-DIR
# vr7lon.exe under Wine against the Linux vr7sim, compared with the Linux vr7lon against the
# same device: over TCP on 127.0.0.1, and over a pseudo-terminal paced at 9600 and 115200 Bd that
# Wine sees as COM5 (the Linux vr7lon opens the pseudo-terminal itself). Each program gets a
# device of its own, fresh and alike, and runs the same commands in a working folder of its own:
# info, tree, read, put and get of a file of several blocks, store (with the backup it keeps),
# backups, verify; then the failures: a device that does not answer, a write-protected one, a
# port whose line is gone (the pseudo-terminal closed); and a site of 20 devices over TCP.
# Every printed line (after the paths and times that differ by nature are named alike), every
# exit status and every file written are compared byte for byte. Never COM1..COM4: Wine maps
# those to the machine's own serial ports. Prints one line for each comparison and the time each
# part took; exits 1 when any differs.
set -euo pipefail
lon=$1 exe=$2 sim=$3 wine=$4 prefix=$5 source=$6
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
work=$(mktemp -d "${TMPDIR:-/tmp}/vr7lon-wine.XXXXXX")
com=$prefix/dosdevices/com5
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true; done
    rm -f "$com"
    rm -rf "$work"
}
trap cleanup EXIT

# Each program as a portable copy in a folder of its own: its ini files and backups beside it.
mkdir -p "$work/prog-linux" "$work/prog-windows"
cp "$lon" "$work/prog-linux/vr7lon"
cp "$exe" "$work/prog-windows/vr7lon.exe"
run_linux() { "$work/prog-linux/vr7lon" "$@"; }
run_windows() { "$wine" "$work/prog-windows/vr7lon.exe" "$@"; }

# A file of several blocks with every byte value in it, the same for both.
head -c 5000 /dev/urandom >"$work/payload.bin"

stop() { # the simulators started so far
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true; done
    pids=()
}

# Starts the demo device (number 12) on TCP or a paced pty with the simulator options given;
# sets where to its first line's last word (127.0.0.1:PORT or /dev/pts/N).
where=""
serve() { # tcp|BAUD SIM-OPTION...
    local how=$1 out line
    shift
    if [ "$how" = tcp ]; then
        exec {out}< <(exec "$sim" --folder "$source/examples/vr7_12" --number 12 --tcp 0 "$@")
    else
        exec {out}< <(exec "$sim" --folder "$source/examples/vr7_12" --number 12 --pty \
            --pace "$how" "$@")
    fi
    pids+=($!)
    read -r -u "$out" line
    where=${line##* }
    [[ $where == 127.0.0.1:* || $where == /dev/pts/* ]] || {
        echo "vr7sim did not say where it listens: $line" >&2
        exit 1
    }
}

# The device options of a program (linux|windows) for the device at $where.
device_args() { # SIDE BAUD|tcp
    if [ "$2" = tcp ]; then
        echo "device --ip 127.0.0.1 --tcp-port ${where##*:} --number 12"
    elif [ "$1" = linux ]; then
        echo "device --ip 127.0.0.1 --port $where --speed $2 --number 12"
    else
        ln -sfn "$where" "$com"
        echo "device --ip 127.0.0.1 --port COM5 --speed $2 --number 12"
    fi
}

# Runs one command of a program in its working folder; its output, errors and exit status go
# to NAME.out, NAME.err and NAME.status there, its own paths and the port named alike.
step() { # SIDE DIR NAME COMMAND...
    local side=$1 dir=$2 name=$3 status=0 started
    shift 3
    started=$(date +%s%N)
    (cd "$dir" && "run_$side" "$@" >"$name.out" 2>"$name.err") || status=$?
    echo "$status" >"$dir/$name.status"
    # How long it took, for the table at the end (not compared).
    echo "$name $((($(date +%s%N) - started) / 1000000))" >>"$dir/../times-$side"
    local own port
    own=$(cd "$dir" && pwd)
    port=$where
    [ "$side" = windows ] && [[ $where == /dev/pts/* ]] && port=COM5
    # The TCP port of each side's simulator, and the serial line as a backup folder names it.
    local line=${port//\//_}
    line=${line#_dev_}
    [[ $where == 127.0.0.1:* ]] && port="\b${where##*:}\b" line=""
    for f in "$dir/$name.out" "$dir/$name.err"; do
        sed -i -E -e "s#Z:$work/prog-$side/#PROGRAM/#g" -e "s#$work/prog-$side/#PROGRAM/#g" \
            -e "s#Z:$own/#WORK/#g" -e "s#$own/#WORK/#g" -e "s#$port#PORT#g" \
            ${line:+-e "s#serial-$line#serial-PORT#g"} \
            -e 's#[0-9]{4}-[0-9]{2}-[0-9]{2}[_ ][0-9:]{6,8}(_[0-9]+)?#STAMP#g' "$f"
    done
}

# The commands of one side against a fresh device on the transport (tcp or a speed).
commands() { # SIDE HOW
    local side=$1 how=$2 dir=$work/$2/$1
    mkdir -p "$dir"
    cp "$source/examples/calcbank.xml" "$dir/calcbank.xml"
    cp "$work/payload.bin" "$dir/payload.bin"
    serve "$how"
    # shellcheck disable=SC2207
    local d=($(device_args "$side" "$how"))
    step "$side" "$dir" info "${d[@]}" info
    step "$side" "$dir" tree "${d[@]}" tree --catalog calcbank.xml
    step "$side" "$dir" read "${d[@]}" read --catalog calcbank.xml
    step "$side" "$dir" put "${d[@]}" put payload.bin PAYLOAD.BIN
    step "$side" "$dir" get "${d[@]}" get PAYLOAD.BIN got.bin
    step "$side" "$dir" store "${d[@]}" store duxgate.cfg --verify
    step "$side" "$dir" backups "${d[@]}" backups
    step "$side" "$dir" verify "${d[@]}" verify duxgate.cfg
    # The backup the store kept, under one name for both.
    find "$work/prog-$side/backups" -name '*.cfg' -type f -exec cp {} "$dir/backup.cfg" \;
    rm -rf "$work/prog-$side/backups"
    stop
    # The failures, each on a device of its own.
    serve "$how" --fault silent
    d=($(device_args "$side" "$how"))
    step "$side" "$dir" silent "${d[@]}" info
    stop
    serve "$how" --protect
    d=($(device_args "$side" "$how"))
    step "$side" "$dir" protected "${d[@]}" put payload.bin PAYLOAD.BIN
    stop
    if [ "$how" != tcp ]; then
        # The line gone: the device's side of the pseudo-terminal closed before the command.
        serve "$how"
        d=($(device_args "$side" "$how"))
        stop
        step "$side" "$dir" unplugged "${d[@]}" info
    fi
    rm -rf "$work/prog-$side/backups"
}

# A site of 20 devices on TCP ports of their own: fleet info, read and store.
fleet() { # SIDE
    local side=$1 dir=$work/fleet/$1 out line args=() i
    mkdir -p "$dir"
    cp "$source/examples/calcbank.xml" "$dir/calcbank.xml"
    cp "$source/examples/vr7_12/CONFIG/duxgate.cfg" "$dir/site.cfg"
    for i in $(seq 21 40); do args+=(--device "$source/examples/vr7_12:$i@0"); done
    exec {out}< <(exec "$sim" "${args[@]}")
    pids+=($!)
    echo "name,ip,tcp_port,number,file" >"$dir/plan.csv"
    for i in $(seq 21 40); do
        read -r -u "$out" line # listening N number NUMBER tcp 127.0.0.1:PORT
        echo "device-$i,127.0.0.1,${line##*:},$i,site.cfg" >>"$dir/plan.csv"
    done
    step "$side" "$dir" fleet-info fleet plan.csv info --jobs 8
    step "$side" "$dir" fleet-read fleet plan.csv read --jobs 8 --out out --catalog calcbank.xml
    step "$side" "$dir" fleet-store fleet plan.csv store --jobs 8 --out out
    # The seconds each device took differ by nature.
    for f in "$dir"/fleet-*.out; do
        sed -i -E 's/^(device-[0-9]+ +[0-9]+ +)[0-9]+\.[0-9]+/\1S.SSS/' "$f"
    done
    # Each device's files beside the printed lines, one flat name each.
    (cd "$dir/out" && find . -type f) | while read -r f; do
        f=${f#./}
        cp "$dir/out/$f" "$dir/out-${f//\//-}"
    done
    rm -rf "$work/prog-$side/backups"
    stop
}

status=0
compare() { # FOLDER (holding linux/ and windows/)
    local f
    for f in "$1"/linux/*; do
        local name=${f##*/} other
        case "$name" in calcbank.xml | payload.bin | plan.csv | site.cfg | out) continue ;; esac
        other=$1/windows/$name
        # Windows names files ignoring case: the store's working copy DUXGate.cfg took the
        # place of the read's duxgate.cfg there (both hold the same rows here).
        local note=""
        if [ ! -e "$other" ]; then
            other=$(find "$1/windows" -maxdepth 1 -iname "$name" | head -n 1)
            note=", one file on Windows"
        fi
        if [ -n "$other" ] && cmp -s "$f" "$other"; then
            echo "same: ${1##*/}/$name ($(wc -c <"$f") bytes$note)"
        else
            echo "DIFFERENT: ${1##*/}/$name" >&2
            diff "$f" "$1/windows/$name" >&2 || true
            status=1
        fi
    done
}

for how in tcp 9600 115200; do
    for side in linux windows; do
        started=$(date +%s%N)
        commands "$side" "$how"
        echo "$how $side: $((($(date +%s%N) - started) / 1000000)) ms"
    done
    compare "$work/$how"
    # Each command's time on both sides, in ms (Wine's start of a program included).
    echo "$how: command, Linux ms, Windows ms"
    join <(sort "$work/$how/times-linux") <(sort "$work/$how/times-windows") | sed 's/^/  /'
done
for side in linux windows; do
    started=$(date +%s%N)
    fleet "$side"
    echo "fleet of 20 $side: $((($(date +%s%N) - started) / 1000000)) ms"
done
compare "$work/fleet"
exit $status
