#!/usr/bin/env python3
"""Brisquell against two serial terminal programs and the bare pseudo-terminal,
side by side in one run, on the same stream of 11-byte gauge lines.

Contenders, each reading the slave side of its own pseudo-terminal while this
script writes to the master side:

  pty        dd reading the slave: what the pseudo-terminal itself carries
  cutecom    the Qt terminal (keeps every line in a QPlainTextEdit), on Xvfb;
             its Open button is pressed with xdotool
  gtkterm    the GTK terminal (keeps its last 10,000 lines in a VTE widget),
             on Xvfb, in a mount namespace that gives the pty the sysfs entry
             gtkterm insists on, with an ioctl shim (built with cc) that
             answers its modem-line queries, which a pty refuses
  brisquell  the program (--brisquell), profile 3 (prompt cycle on) on COM5
             of a private ports folder and private XDG folders, on the same
             Xvfb through Qt's xcb platform, as users run it (or on Qt's
             offscreen platform with --brisquell-offscreen); the script
             answers the prompt request before the stream as a gauge does,
             and checks afterwards that the capture journal holds every
             line sent

Three measurements, each on a freshly started contender:

  drain      SIZE MB written as fast as the contender reads them: MB/s until
             the pseudo-terminal is empty, MB/s until the contender's CPU is
             quiet again, CPU seconds per MB, peak resident memory, and the
             growth of resident memory per line
  line rate  the 921,600-baud line rate (8,400 lines a second) for SECONDS,
             one line per write: the contender's CPU share of one core
  chunked    the same bytes at the same rate, written in chunks every 5 ms
             (42 lines a write), as a USB converter's latency timer or a
             UART's FIFO delivers them: the CPU share again

The X server's CPU is given beside the X contenders' own: they draw through
it (Brisquell on the offscreen platform does not). Each contender is measured
in turn, the whole round repeated REPEAT times; the median and the range are
reported. Nothing is installed here: bench/install-terminals installs cutecom,
gtkterm, Xvfb and xdotool for this benchmark only.
"""
import argparse
import contextlib
import fcntl
import os
import pty
import select
import shutil
import signal
import statistics
import struct
import subprocess
import sys
import tempfile
import termios
import time
import tty
import zlib

LINE = b"  12.5 um\r\n"  # the gauge line of bench/app/InstrumentBench.cpp
PROMPT_REQUEST, PROMPT_ANSWER = b"\x05", b"\r\n> "  # profile 3's prompt cycle
LINE_RATE = 8400  # lines a second at 921,600 baud, 10 bits a byte
CHUNK_INTERVAL = 0.005  # a USB converter's latency timer, a UART FIFO's time-out
PACINGS = (("line", None), ("chunk", CHUNK_INTERVAL))  # (result key, interval)
TICK = os.sysconf("SC_CLK_TCK")
CONTENDERS = ("pty", "cutecom", "gtkterm", "brisquell")
INSTALL_LINE = "apt-get install -y cutecom gtkterm xvfb xauth xdotool  (or bench/install-terminals)"


class Failure(Exception):
    """A contender could not be measured; the message is the one-line reason."""


def interrupted(signum, _frame):
    raise KeyboardInterrupt(f"signal {signum}")


# --- The process being measured --------------------------------------------


def cpu_seconds(pid):
    """User plus system CPU time of a process (all its threads)."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
    except OSError:
        return None
    return (int(fields[11]) + int(fields[12])) / TICK


def memory_kb(pid, key):
    """VmRSS / VmHWM of a process in kB."""
    with contextlib.suppress(OSError), open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    return 0


def holds_open(pid, path):
    """Whether the process has path open (a pty slave, say)."""
    with contextlib.suppress(OSError):
        for fd in os.listdir(f"/proc/{pid}/fd"):
            with contextlib.suppress(OSError):
                if os.readlink(f"/proc/{pid}/fd/{fd}") == path:
                    return True
    return False


def queued(slave):
    """Bytes written to the master that the reader of the slave has not taken."""
    return struct.unpack("i", fcntl.ioctl(slave, termios.FIONREAD, b"\0\0\0\0"))[0]


class Child:
    """A started program in its own process group, ended with it."""

    def __init__(self, name, argv, env, cwd=None, pass_fds=()):
        self.name = name
        self.log = tempfile.TemporaryFile()
        try:
            self.process = subprocess.Popen(argv, env=env, cwd=cwd, stdin=subprocess.DEVNULL,
                                            stdout=self.log, stderr=subprocess.STDOUT,
                                            start_new_session=True, pass_fds=pass_fds)
        except OSError as error:
            raise Failure(f"{name} did not start: {error.strerror}") from None
        self.pid = self.process.pid

    def alive(self):
        return self.process.poll() is None

    def check_alive(self):
        if not self.alive():
            raise Failure(f"{self.name} ended early (exit {self.process.returncode}): {self.last_words()}")

    def last_words(self):
        """The first line of its output that sounds like a reason, else the last."""
        self.log.seek(0)
        lines = [l.strip() for l in self.log.read().decode(errors="replace").splitlines() if l.strip()]
        reasons = [l for l in lines if any(w in l.lower() for w in ("error", "could not", "cannot", "fatal"))]
        return (reasons or lines or ["no output"])[0]

    def stop(self):
        if self.alive():
            with contextlib.suppress(ProcessLookupError):
                os.killpg(self.pid, signal.SIGTERM)
            try:
                self.process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                with contextlib.suppress(ProcessLookupError):
                    os.killpg(self.pid, signal.SIGKILL)
                self.process.wait()
        # Helpers left in the group (none expected) go with it.
        with contextlib.suppress(ProcessLookupError, PermissionError):
            os.killpg(self.pid, signal.SIGKILL)
        self.log.close()


def wait_until(condition, timeout, what, child=None, step=0.05):
    deadline = time.monotonic() + timeout
    while not condition():
        if child:
            child.check_alive()
        if time.monotonic() > deadline:
            raise Failure(what)
        time.sleep(step)


def wait_quiet(pid, limit, window=0.2, ticks=2):
    """Waits until the process spends at most `ticks` clock ticks of CPU in a
    window; returns the time the quiet window began."""
    deadline = time.monotonic() + limit
    before = cpu_seconds(pid)
    start = time.monotonic()
    while time.monotonic() < deadline:
        time.sleep(window)
        now = cpu_seconds(pid)
        if now is None:
            raise Failure("the contender ended while it was measured")
        if now - before <= ticks / TICK:
            return start
        before, start = now, time.monotonic()
    raise Failure(f"the contender's CPU did not go quiet within {limit:.0f} s")


# --- The pseudo-terminal and the writer --------------------------------------


class Pty:
    """A pseudo-terminal in raw mode; the master is written without blocking,
    whatever the contender sends back (prompt requests) is read and dropped."""

    def __init__(self):
        self.master, self.slave = pty.openpty()
        tty.setraw(self.slave)
        self.path = os.ttyname(self.slave)
        os.set_blocking(self.master, False)

    def close(self):
        os.close(self.master)
        os.close(self.slave)

    def _drop_input(self):
        with contextlib.suppress(BlockingIOError, OSError):
            while os.read(self.master, 4096):
                pass

    def write_all(self, data, deadline, child):
        view = memoryview(data)
        while view:
            try:
                view = view[os.write(self.master, view):]
                continue
            except BlockingIOError:
                pass
            readable, _, _ = select.select([self.master], [self.master], [], 0.5)[:3]
            if readable:
                self._drop_input()
            if time.monotonic() > deadline:
                raise Failure(f"{child.name} stopped reading ({len(view)} bytes of a write left)")
            child.check_alive()

    def answer_prompt(self, timeout, child):
        """Waits for a prompt request (ENQ) and answers it as the gauge does."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if select.select([self.master], [], [], 0.1)[0]:
                with contextlib.suppress(BlockingIOError):
                    if PROMPT_REQUEST in os.read(self.master, 4096):
                        os.write(self.master, PROMPT_ANSWER)
                        return
            child.check_alive()
        raise Failure(f"{child.name} sent no prompt request within {timeout:.0f} s")

    def pause(self, seconds):
        """Sleeps, reading what comes back meanwhile."""
        end = time.monotonic() + seconds
        while (left := end - time.monotonic()) > 0:
            if select.select([self.master], [], [], left)[0]:
                self._drop_input()

    def wait_empty(self, deadline, child, streak=0.03):
        """Waits until the reader has taken every byte (the queue stays empty
        for `streak` seconds, so bytes still on their way into the queue are
        not missed); returns when it first became empty for good."""
        empty_since = None
        while True:
            now = time.monotonic()
            if queued(self.slave) == 0:
                empty_since = empty_since or now
                if now - empty_since >= streak:
                    return empty_since
            else:
                empty_since = None
                if now > deadline:
                    raise Failure(f"{child.name} stopped reading ({queued(self.slave)} bytes left)")
                child.check_alive()
            time.sleep(0.001)


# --- The contenders -----------------------------------------------------------


class Setup:
    """What every contender is started with: the tools, the display, a
    private home."""

    def __init__(self, options, display, xserver, work):
        self.options = options
        self.work = work
        self.display = display
        self.xserver = xserver
        self.xserver_pid = xserver.pid if xserver else None

    def private_env(self, home, extra=None):
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("XDG_", "QT_", "DISPLAY", "WAYLAND", "DBUS_SESSION", "GTK_"))}
        for name in ("home", "config", "runtime", "state", "cache", "data"):
            os.makedirs(os.path.join(home, name), mode=0o700, exist_ok=True)
        env.update(HOME=f"{home}/home", XDG_CONFIG_HOME=f"{home}/config",
                   XDG_RUNTIME_DIR=f"{home}/runtime", XDG_STATE_HOME=f"{home}/state",
                   XDG_CACHE_HOME=f"{home}/cache", XDG_DATA_HOME=f"{home}/data",
                   NO_AT_BRIDGE="1", GTK_A11Y="none", LC_ALL="C.UTF-8")
        if self.display:
            env["DISPLAY"] = self.display
        env.update(extra or {})
        return env


def start_pty(setup, line, home):
    return Child("dd", ["dd", f"if={line.path}", "of=/dev/null", "bs=64k"], setup.private_env(home)), False


# gtkterm will not keep a pseudo-terminal open: it looks the device up in
# sysfs (/sys/dev/char/MAJOR:MINOR, which a pty has not) and closes a port
# whose modem lines it cannot read (TIOCMGET, which a pty refuses). So it is
# started in a mount namespace of its own where /sys/dev/char/136:N leads to a
# tty device whose uevent names the pty, and with a preloaded ioctl that
# answers TIOCMGET on a pty with the lines up. Its reading and drawing are
# untouched; the machine's /sys is never changed.
GTKTERM_SHIM = r"""
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <sys/ioctl.h>
int ioctl(int fd, unsigned long request, ...) {
    static int (*real)(int, unsigned long, ...);
    va_list ap;
    va_start(ap, request);
    void *arg = va_arg(ap, void *);
    va_end(ap);
    if (!real)
        real = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
    int result = real(fd, request, arg);
    if (result < 0 && errno == ENOTTY) {
        if (request == TIOCMGET) {
            *(int *)arg = TIOCM_DTR | TIOCM_RTS | TIOCM_CTS | TIOCM_DSR | TIOCM_CAR;
            return 0;
        }
        if (request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC)
            return 0;
    }
    return result;
}
"""
GTKTERM_NAMESPACE = r"""set -e
pty=$1 uevent=$2; shift 2
n=${pty#/dev/pts/}
printf 'MAJOR=136\nMINOR=%s\nDEVNAME=pts/%s\n' "$n" "$n" >"$uevent"
mount -t tmpfs none /sys/dev/char
ln -s /sys/devices/virtual/tty/ptmx "/sys/dev/char/136:$n"
mount --bind "$uevent" /sys/devices/virtual/tty/ptmx/uevent
exec "$@"
"""
GTKTERM_SETTINGS = """[default]
port	= {port}
speed	= 115200
bits	= 8
stopbits	= 1
parity	= none
flow	= none
wait_delay	= 0
wait_char	= -1
rs485_rts_time_before_tx	= 30
rs485_rts_time_after_tx	= 30
echo	= False
crlfauto	= False
timestamp	= False
font	= "Monospace 12"
term_block_cursor	= True
term_rows	= 80
term_columns	= 25
term_scrollback	= 10000
term_visual_bell	= True
"""


def gtkterm_shim(work):
    """The ioctl shim, built once a run."""
    library = os.path.join(work, "gtkterm-modem-lines.so")
    if not os.path.exists(library):
        source = os.path.join(work, "gtkterm-modem-lines.c")
        with open(source, "w") as f:
            f.write(GTKTERM_SHIM)
        built = subprocess.run(["cc", "-shared", "-fPIC", "-O2", "-o", library, source, "-ldl"],
                               capture_output=True, text=True)
        if built.returncode != 0:
            raise Failure(f"the ioctl shim for gtkterm did not build: {built.stderr.strip()[-200:]}")
    return library


def start_gtkterm(setup, line, home):
    env = setup.private_env(home, {"LD_PRELOAD": gtkterm_shim(setup.work)})
    # Its own settings file, or it stops at a first-run message box. Its
    # defaults kept: 10,000 lines of scroll-back.
    os.makedirs(f"{home}/home/.config", exist_ok=True)
    for folder in (f"{home}/config", f"{home}/home/.config"):
        with open(f"{folder}/.gtktermrc", "w") as f:
            f.write(GTKTERM_SETTINGS.format(port=line.path))
    user = [] if os.geteuid() == 0 else ["--user", "--map-root-user"]
    # -L: no lock file in /var/lock for a device nobody else wants.
    argv = ["unshare", *user, "--mount", "--propagation", "private", "sh", "-c",
            GTKTERM_NAMESPACE, "sh", line.path, f"{home}/uevent",
            "gtkterm", "--port", line.path, "--speed", "115200", "-L"]
    return Child("gtkterm", argv, env, cwd=f"{home}/home"), True


CUTECOM_SESSION = """[sessions]
1\\BaudRate=115200
1\\DataBits=8
1\\Device={device}
1\\FlowControl=0
1\\OpenMode=3
1\\Parity=0
1\\StopBits=1
1\\autoReconnect=false
1\\name=Default
1\\showCtrlCharacters=false
1\\showTimestamp=false
size=1
"""


class Cutecom(Child):
    """cutecom opens its device only when its Open button is pressed: the
    session in its settings names the pty, and xdotool presses Alt+O in its
    window. Its serial library leaves a lock file in /var/lock when killed;
    that file is removed if it is this process's."""

    def __init__(self, setup, line, home):
        env = setup.private_env(home)
        os.makedirs(f"{home}/config/CuteCom", exist_ok=True)
        with open(f"{home}/config/CuteCom/CuteCom5.conf", "w") as f:
            f.write(CUTECOM_SESSION.format(device=line.path))
        super().__init__("cutecom", ["cutecom"], env, cwd=f"{home}/home")
        self.lock = "/var/lock/LCK.." + line.path.removeprefix("/dev/").replace("/", "_")
        try:
            self._open(env, line)
        except BaseException:
            self.stop()
            raise

    def _open(self, env, line):
        window = []

        def shown():
            found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(self.pid)],
                                   env=env, capture_output=True, text=True).stdout.split()
            window[:] = found[-1:]
            return bool(found)

        wait_until(shown, 30, "cutecom showed no window within 30 s", self)
        for _ in range(10):
            subprocess.run(["xdotool", "windowfocus", "--sync", window[0]], env=env,
                           capture_output=True, timeout=10)
            subprocess.run(["xdotool", "key", "--clearmodifiers", "alt+o"], env=env,
                           capture_output=True, timeout=10)
            with contextlib.suppress(Failure):
                wait_until(lambda: holds_open(self.pid, line.path), 5, "", self)
                return

    def stop(self):
        super().stop()
        with contextlib.suppress(OSError), open(self.lock) as f:
            if f.readline().strip() == str(self.pid):
                os.unlink(self.lock)


def start_cutecom(setup, line, home):
    return Cutecom(setup, line, home), True


def start_brisquell(setup, line, home):
    on_x = not setup.options.brisquell_offscreen
    env = setup.private_env(home, {"QT_QPA_PLATFORM": "xcb" if on_x else "offscreen"})
    if not on_x:
        env.pop("DISPLAY", None)
    ports = f"{home}/config/Brisquell/ports"
    os.makedirs(ports)
    # COM1 and COM2 would be the machine's ttyS0/ttyS1: they point nowhere.
    os.symlink("/nonexistent", f"{ports}/COM1")
    os.symlink("/nonexistent", f"{ports}/COM2")
    os.symlink(line.path, f"{ports}/COM5")
    with open(f"{home}/config/Brisquell/BSave.ini", "w") as f:
        f.write("[Config]\nDevice=3\nPort=5\nAutoConnect=1\n")
    return Child("brisquell", [setup.options.brisquell], env, cwd=f"{home}/home"), on_x


STARTERS = {"pty": start_pty, "cutecom": start_cutecom, "gtkterm": start_gtkterm,
            "brisquell": start_brisquell}


def journal_lines(home):
    """Line ends in Brisquell's capture journal: the readings it took in.
    None when there is no journal it can read."""
    folder = f"{home}/state/Brisquell"
    with contextlib.suppress(OSError):
        names = [n for n in os.listdir(folder) if n.endswith(".brqj")]
        if len(names) == 1:
            data = open(os.path.join(folder, names[0]), "rb").read()
            if data[:4] != b"BRQJ":
                return None
            lines, at = 0, 16
            while at + 13 <= len(data):
                kind, size = struct.unpack_from("<BI", data, at)
                end = at + 13 + size
                if end + 4 > len(data) or zlib.crc32(data[at:end]) != struct.unpack_from("<I", data, end)[0]:
                    break
                count = data[at + 13:end].count(b"\n")
                # Snapshots and readings hold the text; the series' records
                # hold binary times and sizes.
                if kind == 1:
                    lines = count
                elif kind == 2:
                    lines += count
                at = end + 4
            return lines
    return None


def check_journal(name, child, home, lines):
    """Brisquell's capture journal shows every line the program took in; it
    is written a moment after the readings are shown."""
    if name != "brisquell":
        return
    with contextlib.suppress(Failure):
        wait_until(lambda: (journal_lines(home) or 0) >= lines, 60, "", child, 0.2)
    got = journal_lines(home)
    if got is not None and got != lines:
        raise Failure(f"brisquell took in {got} of {lines} lines (capture journal)")


# --- The measurements -------------------------------------------------------------


@contextlib.contextmanager
def contender(setup, name):
    """A freshly started contender holding the slave of its own pty open, its
    start-up work done."""
    with tempfile.TemporaryDirectory(prefix=f"brq-terms-{name}-") as home:
        line = Pty()
        child = None
        try:
            child, on_x = STARTERS[name](setup, line, home)
            wait_until(lambda: holds_open(child.pid, line.path), 30,
                       f"{name} did not open the pseudo-terminal within 30 s", child)
            line.pause(1.0)
            wait_quiet(child.pid, 30)
            if not holds_open(child.pid, line.path):
                raise Failure(f"{name} closed the pseudo-terminal again: {child.last_words()}")
            if name == "brisquell":
                # A connected profile-3 gauge answers the prompt request sent
                # every quiet second; unanswered, the next line would be taken
                # for the answer. The stream starts within the second after.
                line.answer_prompt(30, child)
                line.pause(0.05)
            yield child, line, (setup.xserver_pid if on_x else None), home
        except Failure:
            if setup.xserver and not setup.xserver.alive():
                raise Failure(f"Xvfb ended (exit {setup.xserver.process.returncode}): "
                              f"{setup.xserver.last_words()}") from None
            raise
        finally:
            if child:
                child.stop()
            line.close()


def measure_drain(setup, name):
    size = int(setup.options.size * 1e6) // len(LINE) * len(LINE)
    chunk = LINE * 1000
    with contender(setup, name) as (child, line, xserver, home):
        rss_before = memory_kb(child.pid, "VmRSS")
        cpu_before, x_before = cpu_seconds(child.pid), xserver and cpu_seconds(xserver)
        start = time.monotonic()
        deadline = start + setup.options.timeout
        sent = 0
        while sent < size:
            part = chunk[:min(len(chunk), size - sent)]
            line.write_all(part, deadline, child)
            sent += len(part)
        drained = line.wait_empty(deadline, child)
        quiet = wait_quiet(child.pid, setup.options.timeout)
        cpu = cpu_seconds(child.pid) - cpu_before
        x_cpu = xserver and cpu_seconds(xserver) - x_before
        result = {
            "drain": size / (drained - start) / 1e6,
            "done": size / (quiet - start) / 1e6,
            "cpu": cpu / (size / 1e6),
            "xcpu": x_cpu / (size / 1e6) if xserver else None,
            "peak": memory_kb(child.pid, "VmHWM") / 1024,
            "growth": (memory_kb(child.pid, "VmRSS") - rss_before) * 1024 / (size // len(LINE)),
        }
        check_journal(name, child, home, size // len(LINE))
        return result


def schedule(lines, interval):
    """When each write is due (seconds from the start) and how many lines it
    carries: one line per write at the line rate, or, with an interval, the
    lines that arrived in each interval written together at its end."""
    if not interval:
        return [(i / LINE_RATE, 1) for i in range(lines)]
    writes, sent, tick = [], 0, 1
    while sent < lines:
        due = min(lines, round(tick * interval * LINE_RATE))
        writes.append((tick * interval, due - sent))
        sent, tick = due, tick + 1
    return writes


def measure_line_rate(setup, name, interval):
    lines = int(setup.options.seconds * LINE_RATE)
    with contender(setup, name) as (child, line, xserver, home):
        cpu_before, x_before = cpu_seconds(child.pid), xserver and cpu_seconds(xserver)
        start = time.monotonic()
        deadline = start + setup.options.seconds + setup.options.timeout
        for due, count in schedule(lines, interval):
            if (delay := start + due - time.monotonic()) > 0:
                line.pause(delay)
            line.write_all(LINE * count, deadline, child)
        end = line.wait_empty(deadline, child)
        wall = end - start
        result = {
            "share": (cpu_seconds(child.pid) - cpu_before) / wall * 100,
            "xshare": (cpu_seconds(xserver) - x_before) / wall * 100 if xserver else None,
            "rate": lines / wall,
        }
        check_journal(name, child, home, lines)
        return result


# --- The run and its table -------------------------------------------------------


@contextlib.contextmanager
def xvfb():
    """A virtual display of its own, on a free display number. It must not
    reset when its last client leaves: a contender connecting during the
    reset is refused."""
    read, write = os.pipe()
    server = Child("Xvfb", ["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24",
                            "-nolisten", "tcp", "-noreset"], dict(os.environ), pass_fds=(write,))
    os.close(write)
    try:
        ready, _, _ = select.select([read], [], [], 30)
        number = os.read(read, 16).decode().strip() if ready else ""
        if not number:
            raise Failure(f"Xvfb did not start: {server.last_words()}")
        yield f":{number}", server
    finally:
        os.close(read)
        server.stop()


def missing_tools(options):
    needed = {"pty": ["dd"], "cutecom": ["cutecom", "xdotool", "Xvfb"],
              "gtkterm": ["gtkterm", "Xvfb", "unshare", "cc"],
              "brisquell": [] if options.brisquell_offscreen else ["Xvfb"]}
    return sorted({tool for name in options.only for tool in needed[name] if not shutil.which(tool)})


def spread(values, digits):
    values = [v for v in values if v is not None]
    if not values:
        return "–"
    median = statistics.median(values)
    if len(values) == 1:
        return f"{median:.{digits}f}"
    return f"{median:.{digits}f} ({min(values):.{digits}f}–{max(values):.{digits}f})"


def median(results, name, kind, key):
    values = [r[kind][key] for r in results.get(name, []) if r.get(kind) and r[kind].get(key) is not None]
    return statistics.median(values) if values else None


def print_table(header, rows):
    print("| " + " | ".join(header) + " |")
    print("|" + "---|" * len(header))
    for row in rows:
        print("| " + " | ".join(row) + " |")
    print()


def label(options, name):
    if name != "brisquell":
        return name
    return "brisquell (offscreen)" if options.brisquell_offscreen else "brisquell (xcb)"


def table(options, results):
    def column(name, kind, key, digits):
        return spread([r[kind][key] for r in results.get(name, []) if kind in r], digits)

    print_table(("contender", "drain MB/s", "MB/s until quiet", "CPU s/MB", "X server CPU s/MB",
                 "peak RSS MB", "RSS growth B/line"),
                [(label(options, name), column(name, "drain", "drain", 2), column(name, "drain", "done", 2),
                  column(name, "drain", "cpu", 3), column(name, "drain", "xcpu", 3),
                  column(name, "drain", "peak", 0), column(name, "drain", "growth", 0))
                 for name in options.only])
    if options.seconds > 0:
        print_table(("contender", "CPU %, one line per write", "X server CPU %",
                     f"CPU %, a write every {CHUNK_INTERVAL * 1000:g} ms", "X server CPU %"),
                    [(label(options, name), column(name, "line", "share", 1), column(name, "line", "xshare", 1),
                      column(name, "chunk", "share", 1), column(name, "chunk", "xshare", 1))
                     for name in options.only])
    b = "brisquell"
    for other in ("cutecom", "gtkterm"):
        if b not in options.only or other not in options.only:
            continue
        parts = []
        for kind, key, what in (("drain", "drain", "drain rate"), ("drain", "done", "rate until quiet"),
                                ("drain", "cpu", "CPU per MB"), ("line", "share", "CPU at line rate"),
                                ("chunk", "share", "CPU at line rate in chunks")):
            mine, theirs = median(results, b, kind, key), median(results, other, kind, key)
            if mine is not None and theirs:
                parts.append(f"{what} {mine / theirs:.2f}x")
        if parts:
            print(f"brisquell / {other}: " + ", ".join(parts))


def parse_options():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(
        description=__doc__,
        epilog="Example: bench/terminals.py --repeat 3   (about three minutes a round)\n"
               "Quick look: bench/terminals.py --repeat 1 --size 1 --seconds 1",
        formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--brisquell", default=os.path.join(here, "..", "build", "brisquell"),
                        help="the Brisquell program to measure (default: build/brisquell of this tree)")
    parser.add_argument("--only", default=",".join(CONTENDERS),
                        help=f"contenders to measure, comma-separated (default: {','.join(CONTENDERS)})")
    parser.add_argument("--size", type=float, default=10, help="MB for the drain (default 10)")
    parser.add_argument("--seconds", type=float, default=10,
                        help="seconds at the line rate, for each pacing (default 10; 0 leaves both out)")
    parser.add_argument("--repeat", type=int, default=3, help="rounds; medians are reported (default 3)")
    parser.add_argument("--timeout", type=float, default=300,
                        help="seconds a contender may take to drain before it counts as stuck (default 300)")
    where = parser.add_mutually_exclusive_group()
    where.add_argument("--brisquell-offscreen", action="store_true",
                       help="run Brisquell on Qt's offscreen platform instead of the Xvfb display (xcb)")
    where.add_argument("--brisquell-on-xvfb", action="store_true",
                       help="run Brisquell on the Xvfb display (xcb): the default")
    options = parser.parse_args()
    options.only = [n.strip() for n in options.only.split(",") if n.strip()]
    unknown = [n for n in options.only if n not in CONTENDERS]
    if unknown:
        parser.error(f"unknown contender {unknown[0]} (known: {', '.join(CONTENDERS)})")
    if options.repeat < 1:
        parser.error("--repeat must be at least 1")
    options.brisquell = os.path.abspath(options.brisquell)
    return options


def load_average():
    """The machine's load average over 1, 5 and 15 minutes: the benchmark
    shares the cores with whatever else runs."""
    with contextlib.suppress(OSError), open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])
    return "unknown"


def run(options):
    missing = missing_tools(options)
    if missing:
        raise Failure(f"missing {', '.join(missing)}: {INSTALL_LINE}")
    if "brisquell" in options.only and not os.access(options.brisquell, os.X_OK):
        raise Failure(f"no program at {options.brisquell} (build it, or give --brisquell PATH)")
    needs_x = any(n in options.only for n in ("cutecom", "gtkterm")) or \
        ("brisquell" in options.only and not options.brisquell_offscreen)
    results, load_before = {}, load_average()
    with (xvfb() if needs_x else contextlib.nullcontext((None, None))) as (display, server), \
            tempfile.TemporaryDirectory(prefix="brq-terms-") as work:
        setup = Setup(options, display, server, work)
        for round_ in range(1, options.repeat + 1):
            for name in options.only:
                result = {"drain": measure_drain(setup, name)}
                results.setdefault(name, []).append(result)
                print(f"round {round_} {name:9} drain {result['drain']['drain']:7.2f} MB/s, "
                      f"{result['drain']['cpu']:.3f} CPU s/MB, peak {result['drain']['peak']:.0f} MB",
                      file=sys.stderr)
                if options.seconds <= 0:
                    continue
                for kind, interval in PACINGS:
                    rate = result[kind] = measure_line_rate(setup, name, interval)
                    pacing = f"a write every {interval * 1000:g} ms" if interval else "one line per write"
                    print(f"round {round_} {name:9} line rate, {pacing}: {rate['rate']:.0f} lines/s, "
                          f"{rate['share']:.1f} % CPU", file=sys.stderr)
    print(f"{options.size:g} MB of {len(LINE)}-byte lines; line rate {LINE_RATE} lines/s for "
          f"{options.seconds:g} s, one line per write and a write every {CHUNK_INTERVAL * 1000:g} ms; "
          f"{options.repeat} rounds, median (min–max)")
    if "brisquell" in options.only:
        print(f"brisquell: {options.brisquell}, "
              f"{'offscreen platform' if options.brisquell_offscreen else 'xcb on Xvfb'}")
    print(f"load average (1, 5, 15 min) at the start: {load_before}, at the end: {load_average()} "
          f"({os.cpu_count()} cores)")
    print()
    table(options, results)


def main():
    options = parse_options()
    signal.signal(signal.SIGINT, interrupted)
    signal.signal(signal.SIGTERM, interrupted)
    signal.signal(signal.SIGHUP, interrupted)
    try:
        run(options)
    except Failure as failure:
        print(f"terminals.py: {failure}", file=sys.stderr)
        return 1
    except OSError as error:
        print(f"terminals.py: {error}", file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        print("terminals.py: interrupted", file=sys.stderr)
        return 130
    return 0


if __name__ == "__main__":
    sys.exit(main())
