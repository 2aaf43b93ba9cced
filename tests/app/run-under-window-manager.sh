#!/usr/bin/env bash
# Runs a GUI test program on a private X server whose windows a real window
# manager frames: run-under-window-manager.sh <program> [arguments...]
# Exits 77 (skipped) only when no X server is installed.
set -euo pipefail

if ! command -v Xvfb >/dev/null; then
    echo "Xvfb is not installed: skipped"
    exit 77
fi

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# Xvfb writes the display it took to the pipe. Without -noreset it would
# restart, refusing connections, whenever its last client leaves.
mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
pids+=("$xvfb")
# Should this script be killed outright, the server goes with it, and the
# window manager with the server.
(
    while kill -0 $$ 2>/dev/null; do
        sleep 1
    done
    kill "$xvfb"
) >/dev/null 2>&1 &
pids+=($!)
display=
read -r -t 120 display <"$work/display" || true
if [[ -z "$display" ]]; then
    echo "Xvfb did not start:" >&2
    cat "$work/xvfb.log" >&2
    exit 1
fi
export DISPLAY=":$display"

# Polls for up to two minutes until the condition command succeeds.
wait_until() {
    for ((i = 0; i < 1200; ++i)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}
# The number can come before the server takes connections.
if ! wait_until xprop -root >/dev/null 2>&1; then
    echo "Xvfb takes no connections:" >&2
    cat "$work/xvfb.log" >&2
    exit 1
fi

# The server's built-in fixed font only: twm gives up on the fonts of its
# default configuration where no other fonts are installed.
cat >"$work/twmrc" <<'RC'
TitleFont "fixed"
ResizeFont "fixed"
MenuFont "fixed"
IconFont "fixed"
IconManagerFont "fixed"
RandomPlacement
RC
LC_ALL=C twm -f "$work/twmrc" >"$work/twm.log" 2>&1 &
twm=$!
pids+=("$twm")

# twm marks the root window once it has taken over window management.
twm_up() {
    if ! kill -0 "$twm" 2>/dev/null; then
        echo "twm ended:" >&2
        cat "$work/twm.log" >&2
        exit 1
    fi
    xprop -root _MIT_PRIORITY_COLORS 2>/dev/null | grep -q '='
}
if ! wait_until twm_up; then
    echo "twm did not come up in time" >&2
    exit 1
fi

export QT_QPA_PLATFORM=xcb
"$@"
