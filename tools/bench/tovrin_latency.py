"""Measures tovrin's start-up under Wine: the time from starting tovrin.exe to
the stand-in's receipt of the statement (command mode, no settings file),
beside the start-to-exit time of minimal_program.exe (a wWinMain that returns
at once) started the same way in the same Wine desktop, and, when it is built,
that of minimal_window.exe --exit (shows a window and ends at once: it brings
up Wine's windowing, as tovrin does). Then, with the window stand-in closed,
the time from starting tovrin.exe to the console stand-in's reading of the
statement's last line (sqlplus.exe in a wineconsole window: the console
path), when that stand-in is built. Prints medians in ms.

    python3 tools/bench/tovrin_latency.py BUILD_DIR [--runs N] [--json PATH]

--json PATH also writes the figures (seconds, every run and the medians) to
PATH as one JSON object, for tools/bench/bench_table.py.

Both programs are started through "wine explorer /desktop=..." with the
stand-in already running, so the Wine server and the desktop are warm. The
stand-in stamps its receipt with QueryPerformanceCounter, which under Wine is
the host's CLOCK_MONOTONIC_RAW; the start is taken from the same clock here
(checked below before measuring).
"""
import argparse
import json
import os
import statistics
import sys
import time

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPO, "tests", "rig"))

import console_sqlplus  # noqa: E402
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


def time_tovrin_console(rig, console, n):
    standin.set_text(rig, "select %d from dual" % n)
    mark = console.mark()
    start = now()
    process = rig.start("tovrin/tovrin.exe")
    process.communicate(timeout=60)
    lines = console.wait_lines(mark, 2)
    if lines != ["select %d from dual\r\n" % n, ";\r\n"]:
        raise SystemExit("unexpected lines %r" % lines)
    return [e for e in console.since(mark) if e["event"] == "line"][1]["t"] - start


def time_minimal(rig, exe="tools/bench/minimal_program.exe", *args):
    start = now()
    process = rig.start(exe, *args)
    process.communicate(timeout=60)
    return now() - start


# A second baseline, when built: a program that creates and shows a window and
# ends at once, so brings up Wine's windowing as tovrin does.
WINDOW_PROGRAM = ("tools/bench/minimal_window.exe", "--exit")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build")
    parser.add_argument("--runs", type=int, default=15)
    parser.add_argument("--json", metavar="PATH", help="also write the figures to PATH as JSON")
    args = parser.parse_args()

    with winerig.Rig(args.build) as rig:
        ini = rig.c_path("vorn3", "tovrin.ini")
        if os.path.exists(ini):
            os.remove(ini)
        sqlplus = standin.StandIn(rig, "bench-sqlplus")
        check_clocks(rig, sqlplus)
        with_window = os.path.isfile(rig.exe(WINDOW_PROGRAM[0]))
        # Warm-up: the first starts load the programs' pages and fonts.
        for n in range(2):
            time_tovrin(rig, sqlplus, n)
            time_minimal(rig)
            if with_window:
                time_minimal(rig, *WINDOW_PROGRAM)
        receipt, tovrin_exit, minimal_exit, window_exit = [], [], [], []
        for n in range(args.runs):
            r, e = time_tovrin(rig, sqlplus, 100 + n)
            receipt.append(r)
            tovrin_exit.append(e)
            minimal_exit.append(time_minimal(rig))
            if with_window:
                window_exit.append(time_minimal(rig, *WINDOW_PROGRAM))
        console_receipt = []
        if os.path.isfile(rig.exe(console_sqlplus.EXE)):
            sqlplus.close()
            console = console_sqlplus.ConsoleSqlPlus(rig, "bench")
            for n in range(2):
                time_tovrin_console(rig, console, n)
            for n in range(args.runs):
                console_receipt.append(time_tovrin_console(rig, console, 200 + n))

    def ms(values):
        return "%7.1f ms (min %.1f, max %.1f)" % (statistics.median(values) * 1000, min(values) * 1000,
                                                   max(values) * 1000)

    print("runs: %d each, Wine started through a virtual desktop, medians" % args.runs)
    print("tovrin start -> stand-in receipt (command mode): %s" % ms(receipt))
    print("tovrin start -> exit:                            %s" % ms(tovrin_exit))
    print("minimal_program start -> exit:                   %s" % ms(minimal_exit))
    print("tovrin's own share (receipt - minimal):          %7.1f ms"
          % ((statistics.median(receipt) - statistics.median(minimal_exit)) * 1000))
    if window_exit:
        print("minimal_window --exit start -> exit:             %s" % ms(window_exit))
        print("tovrin's share beyond it (receipt - window):     %7.1f ms"
              % ((statistics.median(receipt) - statistics.median(window_exit)) * 1000))
    if console_receipt:
        print("tovrin start -> console stand-in's last line:    %s" % ms(console_receipt))
    if args.json:
        with open(args.json, "w", encoding="ascii") as f:
            json.dump({"runs": args.runs,
                       "tovrin_receipt": receipt, "tovrin_exit": tovrin_exit, "minimal_exit": minimal_exit,
                       "median_tovrin_receipt": statistics.median(receipt),
                       "median_tovrin_exit": statistics.median(tovrin_exit),
                       "median_minimal_exit": statistics.median(minimal_exit),
                       "window_exit": window_exit,
                       "median_window_exit": statistics.median(window_exit) if window_exit else None,
                       "console_receipt": console_receipt,
                       "median_console_receipt": statistics.median(console_receipt) if console_receipt else None},
                      f, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
