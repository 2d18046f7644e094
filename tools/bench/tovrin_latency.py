"""Measures tovrin's start-up under Wine: the time from starting tovrin.exe to
the stand-in's receipt of the statement (command mode, no settings file),
beside the start-to-exit time of minimal_program.exe (a wWinMain that returns
at once) started the same way in the same Wine desktop. Prints medians in ms.

    python3 tools/bench/tovrin_latency.py BUILD_DIR [--runs N]

Both programs are started through "wine explorer /desktop=..." with the
stand-in already running, so the Wine server and the desktop are warm. The
stand-in stamps its receipt with QueryPerformanceCounter, which under Wine is
the host's CLOCK_MONOTONIC_RAW; the start is taken from the same clock here
(checked below before measuring).
"""
import argparse
import os
import statistics
import sys
import time

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPO, "tests", "wine"))

import standin  # noqa: E402
import winerig  # noqa: E402


def now():
    return time.clock_gettime(time.CLOCK_MONOTONIC_RAW)


def check_clocks(rig, sqlplus):
    """The stand-in's stamp of a marker must fall between the moments the
    marker was sent and seen here; otherwise the clocks are not the same."""
    mark = sqlplus.mark()
    before = now()
    standin.post(rig, standin.MARKER_COMMAND)
    event = sqlplus.wait_event(lambda e: e["event"] == "command", mark, 30, "the marker")
    after = now()
    if not before <= event["t"] <= after:
        raise SystemExit("the stand-in's clock is not CLOCK_MONOTONIC_RAW (%.3f not in %.3f..%.3f)"
                         % (event["t"], before, after))


def time_tovrin(rig, sqlplus, n):
    standin.set_text(rig, "select %d from dual" % n)
    mark = sqlplus.mark()
    start = now()
    process = rig.start("tovrin/tovrin.exe")
    process.communicate(timeout=60)
    ended = now()
    recv = sqlplus.wait_recv(mark)
    if recv["text"] != "select %d from dual\r\n;\r\n" % n:
        raise SystemExit("unexpected receipt %r" % recv["text"])
    return recv["t"] - start, ended - start


def time_minimal(rig):
    start = now()
    process = rig.start("tools/minimal_program.exe")
    process.communicate(timeout=60)
    return now() - start


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build")
    parser.add_argument("--runs", type=int, default=15)
    args = parser.parse_args()

    with winerig.Rig(args.build) as rig:
        ini = rig.c_path("vorn3", "tovrin.ini")
        if os.path.exists(ini):
            os.remove(ini)
        sqlplus = standin.StandIn(rig, "bench-sqlplus")
        check_clocks(rig, sqlplus)
        # Warm-up: the first starts load the programs' pages and fonts.
        for n in range(2):
            time_tovrin(rig, sqlplus, n)
            time_minimal(rig)
        receipt, tovrin_exit, minimal_exit = [], [], []
        for n in range(args.runs):
            r, e = time_tovrin(rig, sqlplus, 100 + n)
            receipt.append(r)
            tovrin_exit.append(e)
            minimal_exit.append(time_minimal(rig))

    def ms(values):
        return "%7.1f ms (min %.1f, max %.1f)" % (statistics.median(values) * 1000, min(values) * 1000,
                                                   max(values) * 1000)

    print("runs: %d each, Wine started through a virtual desktop, medians" % args.runs)
    print("tovrin start -> stand-in receipt (command mode): %s" % ms(receipt))
    print("tovrin start -> exit:                            %s" % ms(tovrin_exit))
    print("minimal_program start -> exit:                   %s" % ms(minimal_exit))
    print("tovrin's own share (receipt - minimal):          %7.1f ms"
          % ((statistics.median(receipt) - statistics.median(minimal_exit)) * 1000))
    return 0


if __name__ == "__main__":
    sys.exit(main())
