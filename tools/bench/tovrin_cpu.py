#!/usr/bin/env python3
"""Processor time of tovrin.exe under Wine, in keystroke mode (active=yes:
it brings the stand-in forward, waits for it to settle and types
Shift+Insert) beside command mode (no settings file: it posts the paste
command), one run of each in turn. Prints milliseconds; nothing is asserted.

    python3 tools/bench/tovrin_cpu.py BUILD_DIR [--runs N] [--json PATH]

The figure is the user and system time of the Linux process that runs
tovrin.exe under Wine (all its threads, from /proc/PID/stat, in steps of
10 ms), read every 2 ms until the process is gone: the last read misses at
most what the process did in its last 2 ms. GetProcessTimes of another
process gives less than this under Wine. Wine does part of a Windows
program's work in its server process, shared by every program of the
prefix: its time during each run is printed beside, for information.
--json PATH also writes every run (ms) to PATH.
"""
import argparse
import json
import os
import statistics
import sys
import time

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPO, "tests", "rig"))

import standin  # noqa: E402
import winerig  # noqa: E402

TICK_MS = 1000.0 / os.sysconf("SC_CLK_TCK")
MODES = (("command", None), ("keystroke", "[sql plus]\r\nactive=yes\r\n"))


def cpu_ms(pid):
    """User plus system time of the process so far, in ms; None once it is gone."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
    except (OSError, IndexError):
        return None
    return (int(fields[11]) + int(fields[12])) * TICK_MS


def server_pid(rig):
    """The Linux pid of the rig's Wine server."""
    wanted = ("WINEPREFIX=" + rig.prefix).encode()
    for pid in os.listdir("/proc"):
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                name = f.read().split(b"\0")[0].split(b"/")[-1]
            with open("/proc/%s/environ" % pid, "rb") as f:
                env = f.read().split(b"\0")
        except (OSError, ValueError):
            continue
        if name.startswith(b"wineserver") and wanted in env:
            return int(pid)
    raise RuntimeError("no Wine server of the rig's prefix")


def time_tovrin(rig, sqlplus, server, settings, n):
    """tovrin's processor time (ms) for one send, and the server's meanwhile;
    a run whose process was over before it was seen is made again."""
    for _ in range(3):
        times = time_once(rig, sqlplus, server, settings, n)
        if times:
            return times
    raise RuntimeError("tovrin.exe ended three times before its process was seen")


def time_once(rig, sqlplus, server, settings, n):
    rig.write_settings_text(settings)
    text = "select %d from dual" % n
    standin.set_text(rig, text)
    mark = sqlplus.mark()
    server_before = cpu_ms(server)
    rig.start("tovrin/tovrin.exe")
    seen = winerig.wait_for(lambda: rig.processes("tovrin.exe") or [e for e in sqlplus.since(mark)
                                                                     if e["event"] == "recv"],
                            60, "tovrin.exe to start", interval=0.002)
    if isinstance(seen[0], dict):  # received, the process not seen
        winerig.wait_for(lambda: not rig.processes("tovrin.exe"), 60, "tovrin.exe to end")
        return None
    pid = seen[0]
    used = 0.0
    while True:
        now = cpu_ms(pid)
        if now is None:
            break
        used = now
        time.sleep(0.002)
    recv = sqlplus.wait_recv(mark, timeout=60)
    if recv["text"] != text + "\r\n;\r\n":
        raise RuntimeError("tovrin delivered %r" % recv["text"])
    return used, cpu_ms(server) - server_before


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build")
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--json", metavar="PATH", help="also write every run (ms) to PATH as JSON")
    args = parser.parse_args()
    figures = {}
    with winerig.Rig(args.build) as rig:
        sqlplus = standin.StandIn(rig, "bench-cpu-sqlplus")
        server = server_pid(rig)
        for mode, settings in MODES:  # warm-up, not counted
            time_tovrin(rig, sqlplus, server, settings, 0)
        for n in range(args.runs):
            for mode, settings in MODES:
                used, served = time_tovrin(rig, sqlplus, server, settings, n)
                figures.setdefault(mode, []).append(used)
                figures.setdefault("server_" + mode, []).append(served)
    print("tovrin processor time, user + system, median of %d runs (min, max):" % args.runs)
    for mode, _ in MODES:
        for key, what in ((mode, "tovrin.exe"), ("server_" + mode, "Wine server meanwhile")):
            values = figures[key]
            print("  %-9s %-22s %6.0f ms (%.0f, %.0f)" % (mode, what, statistics.median(values), min(values),
                                                        max(values)))
    if args.json:
        with open(args.json, "w", encoding="ascii") as f:
            json.dump(figures, f, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
