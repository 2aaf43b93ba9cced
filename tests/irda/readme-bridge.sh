#!/usr/bin/env bash
# The infrared bridge as the user documentation shows it: its socat command,
# read out of the Markdown file that holds it (README.md or docs/), copies what a serial device receives into the IrCOMM socket of a
# running Brisquell (offscreen, private XDG folders, the infrared instrument
# connected). A pseudo-terminal stands in for the device: in the command only
# the device path is replaced. A reading written to the pseudo-terminal must
# reach Brisquell's capture journal.
#
#   tests/irda/readme-bridge.sh [BUILD_DIR]     (default: build; tests/docs/
#                                               documented-commands.sh runs it)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
device=/dev/ttyUSB0
reading="IR K7X: +4.210 mm"
deadline=60 # seconds for each thing to happen

fail() { echo "readme-bridge: $*" >&2; exit 1; }

# --- The command, exactly as documented ----------------------------------
mapfile -t commands < <(grep -hE '^[[:space:]]*socat .*UNIX-CONNECT:' README.md docs/*.md |
    sed -E 's/^[[:space:]]+//')
((${#commands[@]} == 1)) || fail "expected one socat bridge command in the documentation, found ${#commands[@]}"
documented=${commands[0]}
[[ $documented == *"$device"* ]] || fail "the documented command does not read $device: $documented"

work=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

wait_until() { # what, command...
    local what=$1 tenths
    shift
    for ((tenths = 0; tenths < deadline * 10; tenths++)); do
        "$@" && return 0
        sleep 0.1
    done
    fail "no $what within $deadline s"
}
alive() { kill -0 "$1" 2>/dev/null || fail "$2 ended early; its output: $(cat "$3" 2>/dev/null)"; }

# --- Private folders, as the tests keep them -----------------------------
mkdir -p "$work/config/Brisquell/ports" "$work/runtime" "$work/state" "$work/home"
chmod 700 "$work/runtime"
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime XDG_STATE_HOME=$work/state
export HOME=$work/home QT_QPA_PLATFORM=offscreen LANG=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY
# COM1 and COM2 point nowhere: no device of the machine is touched.
ln -s /nonexistent "$work/config/Brisquell/ports/COM1"
ln -s /nonexistent "$work/config/Brisquell/ports/COM2"
# The infrared instrument, connected at start. A serial gauge on COM3 spares
# the start its "no port" box, which would hold it up.
printf '[Config]\nDevice=9\nPort=3\nAutoConnect=1\n' >"$work/config/Brisquell/BSave.ini"
"$build/brisquell_gauge" --port 3 --ready-file "$work/com3.ready" </dev/null >"$work/gauge.log" 2>&1 &
pids+=($!)
wait_until "serial gauge on COM3" test -s "$work/com3.ready"

# --- Brisquell, offering the IrCOMM service ------------------------------
"$build/brisquell" >"$work/brisquell.log" 2>&1 &
brisquell=$!
pids+=("$brisquell")
socket=$XDG_RUNTIME_DIR/Brisquell/IrCOMM
wait_until "IrCOMM socket at $socket" test -S "$socket"
alive "$brisquell" brisquell "$work/brisquell.log"

# --- The device: a pseudo-terminal whose other side we write to ----------
# socat makes the pseudo-terminal and passes what arrives in the FIFO on once
# the bridge has opened it; the FIFO stays open, so the line is never hung up.
mkfifo "$work/to-device"
exec 3<>"$work/to-device"
socat -u OPEN:"$work/to-device" PTY,link="$work/ttyUSB0",rawer,wait-slave >"$work/pty.log" 2>&1 &
pids+=($!)
wait_until "pseudo-terminal" test -L "$work/ttyUSB0"
pty=$(readlink -f "$work/ttyUSB0")

# --- The bridge, as documented but for the device path --------------------
bridge=${documented//"$device"/"$pty"}
echo "readme-bridge: documented: $documented"
echo "readme-bridge: run:        $bridge    ($device -> the pseudo-terminal $pty)"
bash -c "$bridge" >"$work/bridge.log" 2>&1 &
bridge_pid=$!
pids+=("$bridge_pid")
# Connected once the kernel lists a connection on the service socket besides
# the listener itself (flags 00010000): the bridge has opened and set up the
# device before it connects, so nothing written from now on is lost.
connected() {
    alive "$bridge_pid" bridge "$work/bridge.log"
    awk -v path="$socket" '$NF == path && $4 != "00010000" { found = 1 } END { exit !found }' \
        /proc/net/unix
}
wait_until "bridge connection to $socket" connected

# --- A reading on the device arrives in Brisquell -------------------------
printf '%s\r\n' "$reading" >&3
arrived() {
    alive "$brisquell" brisquell "$work/brisquell.log"
    grep -qaF -- "$reading" "$XDG_STATE_HOME"/Brisquell/*.brqj 2>/dev/null
}
wait_until "reading \"$reading\" in Brisquell's capture journal" arrived
echo "readme-bridge: the reading arrived through the documented bridge"
