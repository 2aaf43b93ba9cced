#!/usr/bin/env python3
"""The pseudo-terminal path alone: 10 MB of 11-byte gauge lines written to
the master side while dd reads the slave side (raw), as fast as both go.
Brisquell's drain rate is bounded by this from above."""
import os
import pty
import subprocess
import threading
import time
import tty

TOTAL = 10_000_000
CHUNK = b"  12.5 um\r\n" * 1000

master, slave = pty.openpty()
tty.setraw(slave)
name = os.ttyname(slave)


def write():
    sent = 0
    while sent < TOTAL:
        sent += os.write(master, CHUNK)


start = time.monotonic()
dd = subprocess.Popen(["dd", f"if={name}", "of=/dev/null", "bs=64k", f"count={TOTAL}",
                       "iflag=fullblock,count_bytes"], stderr=subprocess.PIPE)
writer = threading.Thread(target=write)
writer.start()
_, err = dd.communicate()
writer.join()
wall = time.monotonic() - start
print(f"{TOTAL / wall / 1e6:.1f} MB/s over {wall:.2f} s; dd: {err.decode().strip().splitlines()[-1]}")
