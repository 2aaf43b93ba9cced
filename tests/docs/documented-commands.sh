#!/usr/bin/env bash
# Runs every command that README.md, docs/*.md and the manuals (help/*.md)
# show in a fenced shell block (```sh), as written, from the top of the tree with the build in
# build/, and checks that each does its job. The table below says how each
# command is checked; a documented command missing from it, or a row whose
# command is no longer documented, fails the run, so the documentation and
# this test cannot drift apart.
#
#   tests/docs/documented-commands.sh        (scripts/test runs it after the
#                                             normal build and the demo)
#
# The sandbox: a temporary HOME with XDG_CONFIG_HOME=$HOME/.config (so the
# documented ~/.config paths are the ones Brisquell reads), private
# XDG_RUNTIME_DIR and XDG_STATE_HOME, COM1 and COM2 pointing nowhere in the
# ports folder (no device of the machine is touched: on CI /dev/ttyS0 is the
# console), no display (Qt's offscreen platform), USER set to the running
# user where the environment has none (as a login session has it).
# Commands that change the machine (installing the package, joining the
# dialout group, installing the benchmark's terminals) run as written when
# this runs as root, as on CI, which has no sudo: a `sudo` that runs its
# command directly is then put on PATH (only when root and no sudo exists).
# Not root, they are skipped with a message. What they change is undone at
# the end, and only that: packages that were not installed before are
# purged (with whatever apt pulled in for them), and the user leaves the
# dialout group if they were not in it; what was there before stays.
# The table holds commands as written (unexpanded); checks are called by name.
# shellcheck disable=SC2016,SC2317
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
deadline=300 # generous seconds for anything that should happen

fail() { echo "documented-commands: $*" >&2; exit 1; }
say() { echo "documented-commands: $*"; }

# --- The table: each documented command, exactly as written, and its check
# (a function below, given the command). Rows run in this order.
# "bound" rows run as written until the given number of seconds has passed
# and at least one result was reported, then are stopped (a clean run so
# far is accepted): as written they take minutes.
table=(
    # README.md
    'scripts/run' \
        'no_display' # exits before it installs or builds anything
    'scripts/test' \
        'is_ci_itself' # scripts/test runs this script: running it here would recurse
    'scripts/test --quick' \
        'is_ci_quick' # scripts/test runs it as written, before this script
    # docs/installing.md
    'cmake -S . -B build && cmake --build build' \
        'runs'
    'cmake --install build --prefix ~/.local --strip' \
        'installs_into_home'
    'cpack --config build/CPackConfig.cmake -G DEB -B build/package' \
        'makes_package'
    'sudo apt install ./build/package/brisquell_1.30_amd64.deb' \
        'installs_package' # as root only; removed again afterwards
    'sudo adduser $USER dialout' \
        'joins_dialout' # as root only
    # docs/performance.md
    'scripts/build build -DCMAKE_BUILD_TYPE=RelWithDebInfo' \
        'runs'
    # docs/gauges.md
    'build/brisquell_gauge --port 3 --every 2' \
        'serial_gauge_every'
    'build/brisquell_gauge --port 3 --no-answer' \
        'serial_gauge_silent'
    'build/brisquell_gauge --port 3' \
        'serial_gauge_typed'
    'mkdir -p ~/.config/Brisquell/ports' \
        'makes_ports_folder'
    'ln -s /dev/serial/by-id/usb-FTDI_..._A1B2C3-if00-port0 ~/.config/Brisquell/ports/COM7' \
        'links_com7' # a dangling link in the sandbox's ports folder, as documented
    # docs/infrared.md
    'socat -u /dev/ttyUSB0,raw,b9600 UNIX-CONNECT:"$XDG_RUNTIME_DIR/Brisquell/IrCOMM"' \
        'infrared_bridge' # tests/irda/readme-bridge.sh: only the device path replaced by a pty
    # docs/usb.md: one session, Brisquell first
    'LD_LIBRARY_PATH=build/usb/sim build/brisquell' \
        'brisquell_usb'
    'build/brisquell_gauge --usb --every 2' \
        'usb_gauge_every'
    'build/brisquell_gauge --usb' \
        'usb_gauge_typed' # and Brisquell is stopped
    # docs/development.md
    'build/bench/instrument_bench' \
        'background_bench' # over a minute, most of it waiting: runs beside the other rows
    'build/bench/document_bench' \
        'bench_bound 20' # all of it takes about two minutes on a busy machine
    'build/bench/editor_bench' \
        'bench'
    # docs/performance.md
    "build/bench/instrument_bench --benchmark_filter='LineRate|Drain/1000000' --benchmark_repetitions=3 --benchmark_counters_tabular=true" \
        'bench'
    'bench/terminals.py --repeat 3 --only pty,brisquell' \
        'terminals_first_round' # minutes as written: the first round of both
    "build/bench/instrument_bench --benchmark_filter='LineRate|Drain|StartUp' --benchmark_repetitions=3 --benchmark_report_aggregates_only=true --benchmark_counters_tabular=true" \
        'bench'
    "build/bench/instrument_bench --benchmark_filter='LineRate|StartUp' --benchmark_counters_tabular=true" \
        'bench'
    "build/bench/instrument_bench --benchmark_filter='LineRate/1|StartUp' --benchmark_counters_tabular=true" \
        'bench'
    'build/bench/series_bench --benchmark_filter=AddReadings --benchmark_counters_tabular=true' \
        'bench'
    "/usr/bin/time -v build/bench/instrument_bench --benchmark_filter='Drain/1000000'" \
        'timed_bench'
    '/usr/bin/time -v build/bench/instrument_bench --benchmark_filter=LineRate' \
        'timed_bench'
    "build/bench/instrument_bench --benchmark_filter='LongLine|Drain/1000000' --benchmark_counters_tabular=true" \
        'bench'
    'build/bench/editor_bench --benchmark_filter=LoneReadings --benchmark_counters_tabular=true' \
        'bench'
    'build/bench/instrument_bench --benchmark_filter=Idle --benchmark_counters_tabular=true' \
        'background_bench' # a minute of waiting: runs beside the other rows
    'tests/app/run-under-window-manager.sh build/bench/wedge_bench' \
        'bench' # its own Xvfb, twm and xterm
    'tests/app/run-under-window-manager.sh build/bench/wedge_window_bench --benchmark_counters_tabular=true' \
        'bench' # its own Xvfb, twm and xterm; about two minutes
    'bench/terminals.py --only pty --seconds 0' \
        'terminals'
    'build/bench/serial_bench --benchmark_filter=Throughput' \
        'bench_bound 20' # about a minute on a busy machine
    'bench/install-terminals' \
        'installs_terminals' # as root only (unless all is installed already)
    'bench/terminals.py --repeat 3' \
        'terminals_first_round' # three rounds take minutes: the first round, every contender
    'bench/terminals.py --repeat 1 --size 1 --seconds 1' \
        'terminals_quick'
    'bench/terminals.py --repeat 1 --size 1 --seconds 1 --brisquell build/brisquell' \
        'terminals_quick'
    'bench/terminals.py --repeat 3 --only gtkterm,brisquell --brisquell-offscreen' \
        'terminals_first_round' # minutes as written: the first round of both
    'bench/terminals.py --repeat 1 --size 1 --seconds 1 --only brisquell --brisquell-offscreen' \
        'terminals_quick'
    'scripts/fuzz' \
        'is_ci_fuzz_step' # scripts/test's fuzz step runs it (20 s a target, its default)
    'scripts/fuzz 3600 ini' \
        'fuzz_started' # an hour as written: built and run until it is fuzzing, then stopped
    'ctest --test-dir build -L stress --output-on-failure' \
        'stress_selection' # scripts/test's ctest run just before runs the same tests (~2 min)
    'BRISQUELL_STRESS_SECONDS=60 build/tests/stress/stress_test' \
        'gtest_first_pass' # over a minute as written: until its first test has passed
    'build/tests/stress/stress_infrared_test' \
        'runs'
    'LD_LIBRARY_PATH=build/usb/sim build/tests/stress/stress_usb_test' \
        'gtest_first_pass' # about a minute as written: until its first test has passed
)

# --- The commands the documentation shows ---------------------------------
# Each line of a ```sh block is a command; a trailing backslash continues it,
# a line that is only a comment is none, a trailing comment is not part of it.
documented_commands() {
    awk '
        /^[[:space:]]*```sh[[:space:]]*$/ { inside = 1; next }
        /^[[:space:]]*```/ { inside = 0; next }
        !inside { next }
        {
            line = $0
            sub(/^[[:space:]]+/, "", line)
            if (pending == "" && (line == "" || line ~ /^#/)) next
            if (line ~ /\\$/) { sub(/[[:space:]]*\\$/, " ", line); pending = pending line; next }
            line = pending line
            pending = ""
            sub(/[[:space:]]+#.*$/, "", line)
            sub(/[[:space:]]+$/, "", line)
            print line
        }' README.md docs/*.md help/*.md
}

declare -A check_of
for ((i = 0; i < ${#table[@]}; i += 2)); do
    check_of[${table[i]}]=${table[i + 1]}
done
mapfile -t documented < <(documented_commands)
declare -A is_documented
unknown=()
for command in "${documented[@]}"; do
    is_documented[$command]=1
    [[ -n ${check_of[$command]:-} ]] || unknown+=("$command")
done
if ((${#unknown[@]} > 0)); then
    printf 'documented-commands: no check for the documented command: %s\n' "${unknown[@]}" >&2
    fail "add a row for each to the table in $0"
fi
for ((i = 0; i < ${#table[@]}; i += 2)); do
    [[ -n ${is_documented[${table[i]}]:-} ]] ||
        fail "the table checks a command the documentation no longer shows: ${table[i]}"
done

# --- The sandbox ------------------------------------------------------------
work=$(mktemp -d)
groups=()
installed_packages() {
    dpkg-query -W -f='${db:Status-Abbrev} ${Package}:${Architecture}\n' | sed -n 's/^ii  *//p' | sort
}
# A row that installs packages runs between these two; the packages that came
# while it ran are noted, to be purged at the end.
installing_begins() { installed_packages >"$work/packages.before"; }
installing_ends() {
    [[ -f $work/packages.before ]] || return 0
    installed_packages | comm -13 "$work/packages.before" - >>"$work/packages.added"
    rm "$work/packages.before"
}
# Puts the machine back: the packages the rows installed go, and the user
# leaves the dialout group a row put them in.
restore_machine() {
    installing_ends
    if [[ -s $work/packages.added ]]; then
        local added
        mapfile -t added < <(sort -u "$work/packages.added")
        if ((${#added[@]} > 0)); then
            say "purging what the rows installed: ${added[*]}"
            DEBIAN_FRONTEND=noninteractive apt-get purge -y -q "${added[@]}" >"$work/purge.log" 2>&1 ||
                { cat "$work/purge.log" >&2; return 1; }
        fi
    fi
    if [[ -n ${joined_dialout:-} ]]; then
        gpasswd -d "$USER" dialout >/dev/null
    fi
}
cleanup() {
    local pid status=$?
    for pid in "${groups[@]}"; do kill -KILL -- "-$pid" 2>/dev/null || true; done
    restore_machine || status=1
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT
mkdir -p "$work/home/.config/Brisquell/ports" "$work/runtime" "$work/state" "$work/bin"
chmod 700 "$work/runtime"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_RUNTIME_DIR=$work/runtime
export XDG_STATE_HOME=$work/state QT_QPA_PLATFORM=offscreen LANG=C.UTF-8
export USER=${USER:-$(id -un)}
unset DISPLAY WAYLAND_DISPLAY
ports=$XDG_CONFIG_HOME/Brisquell/ports
ln -s /nonexistent "$ports/COM1"
ln -s /nonexistent "$ports/COM2"
is_root=false
[[ $(id -u) -eq 0 ]] && is_root=true
if $is_root && ! command -v sudo >/dev/null; then
    # No sudo on CI, which runs as root: this one runs the command directly.
    printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
    chmod +x "$work/bin/sudo"
    export PATH=$work/bin:$PATH
fi

# --- Running a command ------------------------------------------------------
# A command runs in a process group of its own (so stopping it ends whatever
# it started), with its output in $work/<row>.out and .err.
row_pid=
forget() { # pid: its command has ended and was waited for
    local kept=() pid
    for pid in "${groups[@]}"; do [[ $pid == "$1" ]] || kept+=("$pid"); done
    groups=("${kept[@]}")
}
start() { # row, command, [stdin]
    setsid bash -c "$2" <"${3:-/dev/null}" >"$work/$1.out" 2>"$work/$1.err" &
    row_pid=$!
    groups+=("$row_pid")
}
# Sends the signal to the command (its whole group with "group"), waits for
# it to end and gives its exit status; whatever of the group is left is
# killed then. Only groups of commands not yet waited for are signalled, so
# a number the system has given out again is never hit.
stop() { # pid, signal, [group]
    local status=0 target=$1 tenths
    [[ ${3:-} == group ]] && target=-$1
    kill "-$2" -- "$target" 2>/dev/null || true
    for ((tenths = 0; tenths < deadline * 10; tenths++)); do
        ended "$1" && break
        sleep 0.1
    done
    kill -KILL -- "-$1" 2>/dev/null || true
    wait "$1" || status=$?
    forget "$1"
    return "$status"
}
ended() { ! kill -0 "$1" 2>/dev/null; }
wait_until() { # what, command...
    local what=$1 tenths
    shift
    for ((tenths = 0; tenths < deadline * 10; tenths++)); do
        "$@" && return 0
        sleep 0.1
    done
    fail "$row: no $what within $deadline s; output: $(tail -n 20 "$work/$row".{out,err} 2>/dev/null)"
}
output() { cat "$work/$row.out" "$work/$row.err"; }
show_failure() { fail "$row: $1; its output ends: $(output | tail -n 30)"; }
# Runs to its end; the exit status must be 0.
run_through() {
    start "$row" "$1"
    local status=0
    wait "$row_pid" || status=$?
    forget "$row_pid"
    ((status == 0)) || show_failure "exit status $status"
}

# --- The checks ---------------------------------------------------------------
check_runs() { run_through "$1"; }

check_no_display() {
    start "$row" "$1"
    local status=0
    wait "$row_pid" || status=$?
    forget "$row_pid"
    ((status != 0)) || show_failure "succeeded without a display"
    grep -q "needs a display" "$work/$row.err" || show_failure "did not say that it needs a display"
}

check_is_ci_itself() {
    grep -qxF 'tests/docs/documented-commands.sh' scripts/test ||
        fail "$row: scripts/test does not run tests/docs/documented-commands.sh"
    say "$row: not run here: it is what runs this script"
}

check_is_ci_quick() {
    grep -qxF '    scripts/test --quick' scripts/test ||
        fail "$row: scripts/test does not run scripts/test --quick"
    say "$row: not run here: scripts/test ran it as written before this script"
}

check_is_ci_fuzz_step() {
    grep -qxF 'scripts/fuzz "${BRISQUELL_FUZZ_SECONDS:-20}"' scripts/test ||
        fail "$row: scripts/test no longer runs scripts/fuzz with its default of 20 s"
    grep -qxF 'seconds=${1:-20}' scripts/fuzz || fail "$row: scripts/fuzz's default is no longer 20 s"
    say "$row: not run here: scripts/test's fuzz step runs it"
}

check_installs_into_home() {
    run_through "$1"
    test -x "$HOME/.local/bin/brisquell" || show_failure "no $HOME/.local/bin/brisquell"
    compgen -G "$HOME/.local/share/applications/*.desktop" >/dev/null || show_failure "no desktop entry"
}

check_makes_package() {
    run_through "$1"
    compgen -G "build/package/brisquell_*.deb" >/dev/null || show_failure "no package in build/package"
}

check_installs_package() {
    local deb=build/package/brisquell_1.30_amd64.deb
    test -f "$deb" || fail "$row: the documented package $deb was not built: $(ls build/package)"
    if ! $is_root; then
        say "$row: SKIPPED: it installs a package on this machine, done only as root (as on CI)"
        return
    fi
    installing_begins
    run_through "$1"
    installing_ends
    test -x /usr/bin/brisquell || show_failure "no /usr/bin/brisquell after the install"
    test -f /usr/lib/brisquell/libftd2xx.so || show_failure "no converter library after the install"
    test -f /usr/share/brisquell/help/brisquell-de.html || show_failure "no manual after the install"
    # The package goes again at the end (when it was not installed before).
}

check_joins_dialout() {
    if ! $is_root; then
        say "$row: SKIPPED: it changes this machine's groups, done only as root (as on CI)"
        return
    fi
    in_dialout() { id -nG "$USER" | tr ' ' '\n' | grep -qx dialout; }
    in_dialout || joined_dialout=1 # left again at the end
    run_through "$1"
    in_dialout || show_failure "$USER is not in dialout"
}

# The serial gauge simulator: started as written, it must register COM3 and
# then behave as its option says on the pseudo-terminal's other side.
gauge_up() { # sets pty
    wait_until "\"ready COM3\"" grep -qs '^ready COM3 ' "$work/$row.out"
    pty=$(sed -n 's/^ready COM3 //p' "$work/$row.out")
    [[ $(readlink "$ports/COM3") == "$pty" ]] || show_failure "COM3 in the ports folder is not $pty"
}
read_line_from() { # fd; sets line (without CR LF)
    IFS= read -r -t "$deadline" -u "$1" line || show_failure "nothing arrived within $deadline s"
    line=${line%$'\r'}
}
gauge_down() { # pid, signal; the simulator ends cleanly and takes its port entry away
    local status=0
    stop "$1" "$2" || status=$?
    ((status == 0 || status == 130 || status == 143)) || show_failure "ended with status $status"
    [[ ! -L $ports/COM3 ]] || show_failure "COM3 is still in the ports folder"
}

check_serial_gauge_every() {
    start "$row" "$1"
    local pid=$row_pid pty line fd
    gauge_up
    exec {fd}<>"$pty"
    # Readings follow every 2 s; the first one may be cut when it went out
    # before the line was opened.
    read_line_from "$fd"
    read_line_from "$fd"
    exec {fd}<&-
    [[ $line =~ [0-9]\.[0-9]+\ (mm|um|in)$ ]] || show_failure "not a reading: \"$line\""
    gauge_down "$pid" INT
}

typed_gauge() { # command, answers (true/false)
    mkfifo "$work/$row.in"
    start "$row" "$1" "$work/$row.in"
    local pid=$row_pid pty line fd typed got
    exec {typed}>"$work/$row.in"
    gauge_up
    exec {fd}<>"$pty"
    printf '\005' >&"$fd" # a prompt request
    if $2; then
        # (bash's read would change the line's settings for a delimiter)
        got=$(timeout "$deadline" head -c 4 <&"$fd" | od -An -tx1 | tr -d ' \n')
        [[ $got == 0d0a3e20 ]] || show_failure "the answer to a prompt request was \"$got\" (hex)"
    fi
    # A silent gauge: the prompt request went out before the first line was
    # typed, so an answer would come before the second line.
    for got in "+1.250 mm" "-0.004 in"; do
        printf '%s\n' "$got" >&"$typed"
        read_line_from "$fd"
        [[ $line == "$got" ]] || show_failure "typed \"$got\", the line carried \"$line\""
    done
    echo '!quit' >&"$typed"
    exec {typed}>&- {fd}<&-
    wait_until "end after !quit" ended "$pid"
    gauge_down "$pid" TERM
}
check_serial_gauge_silent() { typed_gauge "$1" false; }
check_serial_gauge_typed() { typed_gauge "$1" true; }

check_makes_ports_folder() {
    rm -rf "$ports.saved" && mv "$ports" "$ports.saved"
    run_through "$1"
    test -d "$ports" || show_failure "no ports folder"
    rmdir "$ports" && mv "$ports.saved" "$ports"
}

check_links_com7() {
    run_through "$1"
    [[ $(readlink "$ports/COM7") == /dev/serial/by-id/usb-FTDI_..._A1B2C3-if00-port0 ]] ||
        show_failure "COM7 is not the documented link"
    rm "$ports/COM7"
}

check_infrared_bridge() {
    tests/irda/readme-bridge.sh build >"$work/$row.out" 2>"$work/$row.err" ||
        show_failure "tests/irda/readme-bridge.sh failed"
    cat "$work/$row.out"
}

# Brisquell with the simulated converter library, the USB instrument chosen
# in its settings file (instead of the Gerät menu) and connecting at start.
# A serial gauge on COM3 spares the start its "no port" box.
usb_state=$work/usb-state
journal_has() { grep -qaE -- "$1" "$usb_state"/Brisquell/*.brqj 2>/dev/null; }
check_brisquell_usb() {
    printf '[Config]\nDevice=2\nPort=3\nAutoConnect=1\n' >"$XDG_CONFIG_HOME/Brisquell/BSave.ini"
    mkdir -p "$usb_state"
    start com3 "build/brisquell_gauge --port 3 --ready-file $work/com3.ready"
    com3_gauge=$row_pid
    wait_until "serial gauge on COM3" test -s "$work/com3.ready"
    XDG_STATE_HOME=$usb_state start "$row" "$1"
    brisquell=$row_pid
    alive() { ! ended "$brisquell" || show_failure "Brisquell ended"; }
    opened() { alive && test -p "$XDG_RUNTIME_DIR/Brisquell/ftd2xx-sim"; }
    wait_until "converter opened (its channel $XDG_RUNTIME_DIR/Brisquell/ftd2xx-sim)" opened
    brisquell_row=$row
}

check_usb_gauge_every() {
    start "$row" "$1"
    local pid=$row_pid
    arrived() { alive && journal_has '12[.,]345 mm'; }
    row=$brisquell_row wait_until "first built-in reading in Brisquell's capture journal" arrived
    stop "$pid" INT || true
}

check_usb_gauge_typed() {
    mkfifo "$work/$row.in"
    start "$row" "$1" "$work/$row.in"
    local pid=$row_pid typed status=0
    exec {typed}>"$work/$row.in"
    wait_until "\"ready USB\"" grep -qs '^ready USB ' "$work/$row.out"
    echo 'USB K65: 0.1657 in' >&"$typed"
    arrived() { alive && journal_has '0[.,]1657 in'; }
    row=$brisquell_row wait_until "typed reading in Brisquell's capture journal" arrived
    echo '!quit' >&"$typed"
    exec {typed}>&-
    wait "$pid" || status=$?
    forget "$pid"
    ((status == 0)) || show_failure "ended with status $status after !quit"
    stop "$brisquell" TERM || true
    stop "$com3_gauge" TERM || true
    rm "$XDG_CONFIG_HOME/Brisquell/BSave.ini"
}

bench_ok() {
    grep -q '^BM_' "$work/$row.out" || show_failure "no benchmark result"
    ! grep -q 'ERROR OCCURRED' "$work/$row.out" || show_failure "a benchmark failed"
}
check_bench() { run_through "$1"; bench_ok; }
check_timed_bench() {
    check_bench "$1"
    grep -q 'Maximum resident set size' "$work/$row.err" || show_failure "no figures from time"
}
# Runs as written until at least the given seconds have passed and a result
# is out, or to its end, whichever comes first.
check_bench_bound() { # seconds, command
    start "$row" "$2"
    local pid=$row_pid began=$SECONDS status=0 bound=$1
    enough() { ended "$pid" || { ((SECONDS - began >= bound)) && grep -qs '^BM_' "$work/$row.out"; }; }
    wait_until "benchmark result" enough
    if ended "$pid"; then
        wait "$pid" || status=$?
        forget "$pid"
        ((status == 0)) || show_failure "exit status $status"
    else
        stop "$pid" TERM || true
        say "$row: stopped after $((SECONDS - began)) s, as its row says"
    fi
    bench_ok
}

check_terminals() {
    run_through "$1"
    grep -q '^| pty ' "$work/$row.out" || show_failure "no row for the pseudo-terminal"
}

# A short side-by-side run, through to its table: a row for every contender
# it measures.
check_terminals_quick() {
    local contenders="pty cutecom gtkterm brisquell" name
    [[ $1 =~ --only\ ([a-z,]+) ]] && contenders=${BASH_REMATCH[1]//,/ }
    run_through "$1"
    for name in $contenders; do
        grep -q "^| $name" "$work/$row.out" || show_failure "no row for $name"
    done
}

check_installs_terminals() {
    local missing=false program
    for program in cutecom gtkterm Xvfb xauth xdotool; do
        command -v "$program" >/dev/null || missing=true
    done
    if $missing && ! $is_root; then
        say "$row: SKIPPED: it installs packages on this machine, done only as root (as on CI)"
        return
    fi
    ! $is_root || installing_begins
    run_through "$1"
    installing_ends
    for program in cutecom gtkterm Xvfb xauth xdotool; do
        command -v "$program" >/dev/null || show_failure "no $program afterwards"
    done
}

# The side-by-side benchmark, as written, until every contender it measures
# has finished its first round (drain and line rate); then it is stopped.
check_terminals_first_round() {
    local command=$1 placeholder=/path/to/another/build/brisquell contenders last
    if [[ $command == *"$placeholder"* ]]; then
        command=${command//"$placeholder"/"$root/build/brisquell"}
        say "$row: run as: $command    ($placeholder -> this tree's build)"
    fi
    contenders="pty cutecom gtkterm brisquell"
    [[ $command =~ --only\ ([a-z,]+) ]] && contenders=${BASH_REMATCH[1]//,/ }
    last=${contenders##* }
    start "$row" "$command"
    local pid=$row_pid status=0
    round_done() {
        ended "$pid" || grep -qs "^round 1 $last  *line rate" "$work/$row.err"
    }
    wait_until "first round of $contenders" round_done
    if ended "$pid"; then
        wait "$pid" || status=$?
        forget "$pid"
        show_failure "ended with status $status before its first round was through"
    fi
    stop "$pid" TERM || status=$?
    ((status == 130)) || show_failure "ended with status $status when stopped (not 130)"
    local name
    for name in $contenders; do
        grep -q "^round 1 $name  *drain" "$work/$row.err" || show_failure "no drain of $name"
        grep -q "^round 1 $name  *line rate" "$work/$row.err" || show_failure "no line rate of $name"
    done
}

check_fuzz_started() {
    local log=build-fuzz/findings/ini/log
    rm -f "$log"
    start "$row" "$1"
    local pid=$row_pid
    fuzzing() {
        ! ended "$pid" || show_failure "ended before it fuzzed"
        grep -qs "^== fuzz_ini for 3600 s" "$work/$row.out" && grep -qE '^#[0-9]+.*(INITED|pulse|NEW|REDUCE)' "$log" 2>/dev/null
    }
    wait_until "fuzz_ini fuzzing" fuzzing
    stop "$pid" TERM group || true
    ! grep -qE 'ERROR: libFuzzer|SUMMARY: .*Sanitizer' "$log" || show_failure "fuzz_ini found a fault: $(tail -n 30 "$log")"
}

check_stress_selection() {
    local listed
    listed=$(ctest --test-dir build -L stress -N)
    for test in stress_test stress_infrared_test stress_usb_test; do
        grep -qE "Test +#[0-9]+: $test\$" <<<"$listed" || fail "$row: ctest -L stress does not select $test"
    done
    local script tier
    script=$(sed 's/^ *//' scripts/test)
    for tier in "-LE '^slow\$'" "-L '^slow\$'"; do
        grep -qxF "ctest --test-dir build --output-on-failure --no-tests=error $tier \"\${repeat[@]}\"" \
            <<<"$script" || fail "$row: scripts/test no longer runs the tests of build/ with $tier"
    done
    say "$row: its selection checked; scripts/test's ctest run before this ran the tests"
}

check_gtest_first_pass() {
    start "$row" "$1"
    local pid=$row_pid status=0
    passed() { ended "$pid" || grep -qs '^\[       OK \]' "$work/$row.out"; }
    wait_until "first test passed" passed
    if ended "$pid"; then
        wait "$pid" || status=$?
        forget "$pid"
        ((status == 0)) || show_failure "exit status $status"
    else
        stop "$pid" TERM || true
    fi
    ! grep -q '^\[  FAILED  \]' "$work/$row.out" || show_failure "a test failed"
}

# --- Running the table ----------------------------------------------------------
# DOCUMENTED_COMMANDS_ONLY=PATTERN runs only the rows whose command matches
# (an extended regular expression), for work on one row.
only=${DOCUMENTED_COMMANDS_ONLY:-}
selected() { [[ -z $only || $1 =~ $only ]]; }

# Rows that spend most of their time waiting (the idle benchmark's minute)
# start first and run beside the others; their row collects them.
declare -A background
for ((i = 0; i < ${#table[@]}; i += 2)); do
    if [[ ${table[i + 1]} == background_bench ]] && selected "${table[i]}"; then
        start "$((i / 2 + 1))" "${table[i]}"
        background[${table[i]}]=$row_pid
    fi
done
check_background_bench() {
    local status=0
    wait "${background[$1]}" || status=$?
    forget "${background[$1]}"
    ((status == 0)) || show_failure "exit status $status"
    bench_ok
}

results=()
for ((i = 0; i < ${#table[@]}; i += 2)); do
    command=${table[i]}
    selected "$command" || continue
    read -r check argument <<<"${table[i + 1]}"
    row=$((i / 2 + 1))
    began=$SECONDS
    say "[$row] $command"
    if [[ -n ${argument:-} ]]; then
        "check_$check" "$argument" "$command"
    else
        "check_$check" "$command"
    fi
    results+=("$(printf '%4d s  %-22s %s' $((SECONDS - began)) "$check" "$command")")
done
say "every documented command checked:"
printf '  %s\n' "${results[@]}"
