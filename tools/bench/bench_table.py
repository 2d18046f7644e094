#!/usr/bin/env python3
"""Runs the benchmarks of marlet and tovrin and prints one table: every figure
beside its baseline, a program or pass that does the same work without our
code, measured in the same run on the same machine; their ratio (or
difference), and the target the figure must hold. A target is set where our
code stands today with room for the machine's noise: a NO means that a change
made it slower or bigger.

    python3 tools/bench/bench_table.py --win WINDOWS_BUILD [--native NATIVE_BUILD]
                                       [--win32 WINDOWS_BUILD_32] [--logs DIR] [--runs N] [--brief]

NATIVE_BUILD holds the Release build of the Google Benchmark programs
(tools/bench/bench_statement_text, tools/bench/bench_template_reader;
without it their rows stay empty); WINDOWS_BUILD the 64-bit Windows build
(programs, stand-in, clipboard tool, window probe, minimal programs,
peak_memory);
WINDOWS_BUILD_32 the 32-bit one, whose tovrin latency and processor time are
measured too, under 32-bit Wine. Every program's own output goes to DIR
(default NATIVE_BUILD/../bench-logs, or WINDOWS_BUILD/bench-logs). --runs
sets the runs of each Wine measurement (default 7; tovrin's latency takes
three times as many, being short, and marlet's start-up twice as many). --brief makes one run of each with the
smallest sizes: it proves that every measurement still runs (a test of the
32-bit build does it), its figures are not for reading.

The figures:
- statement text preparation of 64 MiB of SQL script, separator lines dropped
  (tovrin) and kept (marlet), in MB/s of UTF-16 input, beside a plain pass
  that copies the same text line by line (best of three, CPU time);
- the breaking of lines too long for SQL*Plus after the preparation, on
  10 MB of script with an 8.5 KB IN list line after every 50th statement and
  on one 10 MB IN list line, in ms beside the preparation alone (best of
  three, CPU time);
- the template reader on 10,000 templates in about 5 MB, as UTF-8 and in a
  two-byte code page through a stand-in conversion, beside a line-by-line
  read of the same file that keeps nothing (best of three, CPU time);
- tovrin's start to the stand-in's receipt of the statement (command mode)
  beside minimal_window --exit's start to exit (a program that shows a window
  and ends: tovrin too makes a window), under the same Wine, for the 32-bit
  build as for the 64-bit one; tovrin's start to the console stand-in's
  reading of the statement (sqlplus.exe in a console window) beside the
  window's receipt;
- tovrin's processor time in keystroke mode beside command mode
  (tools/bench/tovrin_cpu.py, of the 32-bit build when given);
- marlet's start to its window shown, empty template file and 10,000
  templates, beside minimal_window's start to its window shown, in the same
  rounds, all timed by tests/rig/window_probe.exe from the creation of the process
  (tools/bench/marlet_startup.py);
- marlet's send of one huge template (1 MB and 10 MB on one body line, 2,000
  and 20,000 list items), from the Return key to the stand-in's receipt,
  beside tovrin's start to receipt of the same text from the clipboard
  (tools/bench/marlet_big_send.py, one run each);
  (times under Wine: the fastest run decides, as the one that the machine's
  other load disturbed least; the median is shown beside it)
- the size of marlet.exe and tovrin.exe of both builds, the DLLs they import (system or
  not) and any DLL beside them, and their peak working set under Wine beside
  that of minimal_window (tools/bench/peak_memory.exe, medians of three).
Exit status 1 when a measurement could not be made; unmet targets are shown,
not treated as failures.
"""
import argparse
import json
import os
import re
import shutil
import statistics
import subprocess
import sys
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(REPO, "tests", "rig"))
sys.path.insert(0, HERE)

import standin  # noqa: E402
import winerig  # noqa: E402

PEAK = "tools/bench/peak_memory.exe"
MINIMAL_WINDOW = "tools/bench/minimal_window.exe"
MARLET = "marlet/marlet.exe"
TOVRIN = "tovrin/tovrin.exe"
EXE_LIMIT = 256 * 1024  # bytes: "at most 256 KB"

# Targets that are where our code stands, with room for the machine's noise.
READER_RATIO, READER_TARGET = 0.20, ">= 0.20"
BREAK_MS, BREAK_TARGET = 100, "<= +100 ms"  # a huge send takes seconds: this stays out of sight
CONSOLE_MS, CONSOLE_TARGET = 300, "<= +300 ms"
SEND_RATIO, SEND_TARGET = 1.0, "<= 1.00"
PEAK_RATIO, PEAK_TARGET = 1.5, "<= 1.50"
PEAK_10K_RATIO, PEAK_10K_TARGET = 3.0, "<= 3.00"

# DLLs that come with Windows itself; anything else imported would have to be
# shipped beside the program.
SYSTEM_DLLS = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "crypt32.dll", "dwmapi.dll", "gdi32.dll", "gdiplus.dll",
    "imm32.dll", "kernel32.dll", "msimg32.dll", "msvcrt.dll", "ntdll.dll", "ole32.dll", "oleaut32.dll",
    "psapi.dll", "rpcrt4.dll", "shcore.dll", "shell32.dll", "shlwapi.dll", "ucrtbase.dll", "user32.dll",
    "uxtheme.dll", "version.dll", "windowscodecs.dll", "winmm.dll", "ws2_32.dll",
}


def log(*args):
    print(*args, flush=True)


# Native benchmarks ------------------------------------------------------------------
def google_benchmark(exe, logs, stem, *args):
    """Runs a Google Benchmark program; returns {name: best bytes per second}
    over its repetitions (Google Benchmark's rate is per CPU second)."""
    out = os.path.join(logs, stem + ".json")
    with open(os.path.join(logs, stem + ".txt"), "w") as text:
        subprocess.run([exe, "--benchmark_out=" + out, "--benchmark_out_format=json", "--benchmark_color=false"]
                       + list(args), stdout=text, stderr=subprocess.STDOUT, check=True, timeout=900)
    with open(out) as f:
        data = json.load(f)
    best = {}
    for run in data["benchmarks"]:
        if run.get("run_type") != "iteration" or run.get("error_occurred"):
            continue
        name = run["name"].split("/repeats:")[0]
        rate = run.get("bytes_per_second", 0.0)
        best[name] = max(best.get(name, 0.0), rate)
    return best


def native_figures(native, logs):
    prep = google_benchmark(os.path.join(native, "tools", "bench", "bench_statement_text"), logs, "statement_text",
                            "--benchmark_filter=/64/|TenMb")
    ten_mb_ms = lambda name: 1e7 / prep["BM_TenMb/" + name] * 1000  # 10 MB of UTF-16 at the rate measured
    reader = google_benchmark(os.path.join(native, "tools", "bench", "bench_template_reader"), logs, "template_reader",
                              "--benchmark_repetitions=3")
    return {
        "prep_base": prep["BM_Baseline/64"] / 1e6,
        "prep_drop": prep["BM_Prepare/drop_separators/64"] / 1e6,
        "prep_keep": prep["BM_Prepare/keep_separators/64"] / 1e6,
        "prep_script_10mb": ten_mb_ms("script_prepared"),
        "break_script_10mb": ten_mb_ms("script_broken"),
        "prep_line_10mb": ten_mb_ms("one_line_prepared"),
        "break_line_10mb": ten_mb_ms("one_line_broken"),
        "read_lines": reader["BM_PlainLineRead"] / 1e6,
        "reader_utf8": reader["BM_ReaderUtf8"] / 1e6,
        "reader_ansi": reader["BM_ReaderAnsiStandIn"] / 1e6,
    }


# Wine: tovrin's latency and marlet's start-up, by their own scripts ---------------
def tovrin_latency(win, logs, runs, stem="tovrin_latency"):
    out = os.path.join(logs, stem + ".json")
    with open(os.path.join(logs, stem + ".txt"), "w") as text:
        subprocess.run([sys.executable, os.path.join(HERE, "tovrin_latency.py"), win, "--runs", str(runs),
                        "--json", out], stdout=text, stderr=subprocess.STDOUT, check=True, timeout=1200)
    with open(out) as f:
        data = json.load(f)
    figures = {"tovrin_receipt": data["median_tovrin_receipt"] * 1000,
               "minimal_exit": data["median_minimal_exit"] * 1000,
               "min_tovrin_receipt": min(data["tovrin_receipt"]) * 1000,
               "min_minimal_exit": min(data["minimal_exit"]) * 1000}
    if data.get("window_exit"):
        figures["window_exit"] = data["median_window_exit"] * 1000
        figures["min_window_exit"] = min(data["window_exit"]) * 1000
    if data.get("console_receipt"):
        figures["console_receipt"] = data["median_console_receipt"] * 1000
        figures["min_console_receipt"] = min(data["console_receipt"]) * 1000
    return figures


def run_script(script, stem, logs, *args):
    """Runs a benchmark script of this folder with --json; returns its JSON."""
    out = os.path.join(logs, stem + ".json")
    with open(os.path.join(logs, stem + ".txt"), "w") as text:
        subprocess.run([sys.executable, os.path.join(HERE, script)] + list(args) + ["--json", out],
                       stdout=text, stderr=subprocess.STDOUT, check=True, timeout=1800)
    with open(out) as f:
        return json.load(f)


def marlet_startup(win, logs, runs):
    """marlet_startup.py's runs (ms from process start to window shown):
    minimal_window, marlet with the empty file and with 10,000 templates."""
    data = run_script("marlet_startup.py", "marlet_startup", logs, "--bin", win, "--runs", str(runs))
    figures = {}
    for key, name in (("minimal_window", "window_shown"), ("marlet_empty", "marlet_empty"),
                      ("marlet_10k", "marlet_10k")):
        figures[name] = statistics.median(data[key])
        figures["min_" + name] = min(data[key])
    return figures


def tovrin_cpu(win, logs, runs):
    """tovrin_cpu.py's medians (ms of processor time)."""
    data = run_script("tovrin_cpu.py", "tovrin_cpu", logs, win, "--runs", str(runs))
    return {"cpu_" + key: statistics.median(values) for key, values in data.items()}


def big_send(win, logs, brief):
    """Runs marlet_big_send.py; its figures in ms."""
    out = os.path.join(logs, "marlet_big_send.json")
    sizes = ["--sizes", "1"] if brief else []
    with open(os.path.join(logs, "marlet_big_send.txt"), "w") as text:
        subprocess.run([sys.executable, os.path.join(HERE, "marlet_big_send.py"), win, "--json", out] + sizes,
                       stdout=text, stderr=subprocess.STDOUT, check=True, timeout=1800)
    with open(out) as f:
        data = json.load(f)
    return {key: value * 1000 for key, value in data.items()}


# Wine: the window baseline and the peak working sets, in one rig of our own ---------
_counter = [0]


def scratch(rig, stem):
    _counter[0] += 1
    return os.path.join(rig.tmp, "%s-%d.json" % (stem, _counter[0]))


def peak_working_set(rig, exe, window, *exe_args):
    """Peak working set in bytes of one run of exe, by tools/bench/peak_memory.exe."""
    out = scratch(rig, "peak")
    args = ["--wait", "120", "--out", rig.win_path(out)] + (["--window"] if window else [])
    rig.start(PEAK, *(args + [rig.win_path(rig.exe(exe))] + list(exe_args)))
    data = winerig.wait_for_json(out, 180, "peak_memory's report for %s" % exe)
    if not data.get("ok"):
        raise RuntimeError("peak_memory failed for %s: %r" % (exe, data))
    name = os.path.basename(exe).lower()
    winerig.wait_for(lambda: not rig.processes(name), 60, "%s to end" % name)
    return data["peak_working_set"]


def big_template_file():
    """The 10,000-template file of marlet_startup.py, made by its own code."""
    import marlet_startup
    return marlet_startup.big_template_file()


def wine_figures(win, logs, rounds):
    """Peak working sets, medians of `rounds` runs of each program."""
    figures = {}
    big = big_template_file()
    with winerig.Rig(win) as rig:
        templates = rig.c_path("vorn3", "marlet.txt")
        sqlplus = standin.StandIn(rig, "bench-sqlplus")
        peaks = {"window_exit": [], "tovrin": [], "minimal_window": [], "marlet_empty": [], "marlet_10k": []}
        for n in range(rounds):
            peaks["window_exit"].append(peak_working_set(rig, MINIMAL_WINDOW, False, "--exit"))
            text = "select %d from dual" % n
            standin.set_text(rig, text)
            mark = sqlplus.mark()
            peaks["tovrin"].append(peak_working_set(rig, TOVRIN, False))
            recv = sqlplus.wait_recv(mark, timeout=60)
            if recv["text"] != text + "\r\n;\r\n":
                raise RuntimeError("tovrin delivered %r" % recv["text"])
            peaks["minimal_window"].append(peak_working_set(rig, MINIMAL_WINDOW, True))
            for key, data in (("marlet_empty", b""), ("marlet_10k", big)):
                with open(templates, "wb") as f:
                    f.write(data)
                peaks[key].append(peak_working_set(rig, MARLET, True))
        with open(os.path.join(logs, "peak_memory.json"), "w") as f:
            json.dump(peaks, f, indent=1)
        for key, values in peaks.items():
            figures["peak_" + key] = statistics.median(values)
    return figures


# Program files ----------------------------------------------------------------------
def objdump():
    for name in ("x86_64-w64-mingw32-objdump", "objdump"):
        if shutil.which(name):
            return name
    raise RuntimeError("no objdump")


def program_file(win, exe):
    path = os.path.join(win, exe)
    dump = subprocess.run([objdump(), "-p", path], capture_output=True, text=True, check=True, timeout=120).stdout
    imports = re.findall(r"DLL Name:\s*(\S+)", dump)
    folder = os.path.dirname(path)
    beside = sorted(f for f in os.listdir(folder) if f.lower().endswith(".dll"))
    return {"size": os.path.getsize(path), "imports": imports, "machine": winerig.build_machine(win),
            "foreign": [d for d in imports if not is_system_dll(d)], "beside": beside}


def is_system_dll(name):
    lower = name.lower()
    return lower in SYSTEM_DLLS or lower.startswith("api-ms-win-") or lower.startswith("ext-ms-win-")


# The table --------------------------------------------------------------------------
def fmt(value, unit, digits=0):
    return "n/a" if value is None else ("%." + str(digits) + "f %s") % (value, unit)


def met(ok):
    return "yes" if ok else "NO"


def rows_from(figures, files, win32=False):
    """The table's rows: figure, value, baseline, ratio, target, met?"""
    g = figures.get
    rows = []
    users = " (32-bit)" if win32 else ""

    def row(name, key, base_key, unit, target=None, check=None, digits=0, scale=1.0, difference=False):
        """A figure beside its baseline; check() takes their ratio, or
        their difference."""
        value, base = g(key), g(base_key)
        if value is not None:
            value /= scale
        if base is not None:
            base /= scale
        if value is None or base is None or (not base and not difference):
            measure, shown = None, "n/a"
        elif difference:
            measure = value - base
            shown = ("%+." + str(digits) + "f %s") % (measure, unit)
        else:
            measure = value / base
            shown = "%.2f" % measure
        rows.append((name, fmt(value, unit, digits), fmt(base, unit, digits), shown, target or "-",
                     "-" if check is None else "n/a" if measure is None else met(check(measure))))

    def wine_row(name, key, base_key, target=None, check=None, difference=False):
        """A time under Wine: the fastest run, the median in brackets; the
        ratio (or difference) of the fastest runs decides."""
        cells = []
        for k in (key, base_key):
            cells.append("n/a" if g("min_" + k) is None else "%.0f ms (median %.0f)" % (g("min_" + k), g(k)))
        fast, fast_base, mid, mid_base = g("min_" + key), g("min_" + base_key), g(key), g(base_key)
        if None in (fast, fast_base, mid, mid_base) or not fast_base or not mid_base:
            rows.append((name, cells[0], cells[1], "n/a", target or "-", "-" if check is None else "n/a"))
            return
        measure = fast - fast_base if difference else fast / fast_base
        shown = ("%+.0f ms (medians %+.0f)" % (measure, mid - mid_base) if difference
                 else "%.2f (medians %.2f)" % (measure, mid / mid_base))
        rows.append((name, cells[0], cells[1], shown, target or "-", "-" if check is None else met(check(measure))))

    row("prepare 64 MiB, separators dropped (tovrin) / plain line pass", "prep_drop", "prep_base", "MB/s",
        ">= 0.33", lambda r: r >= 1 / 3)
    row("prepare 64 MiB, separators kept (marlet) / plain line pass", "prep_keep", "prep_base", "MB/s",
        ">= 0.33", lambda r: r >= 1 / 3)
    row("prepare and break 10 MB, IN list lines among statements / prepare", "break_script_10mb",
        "prep_script_10mb", "ms", BREAK_TARGET, lambda d: d <= BREAK_MS, digits=1, difference=True)
    row("prepare and break 10 MB, all one IN list line / prepare", "break_line_10mb", "prep_line_10mb", "ms",
        BREAK_TARGET, lambda d: d <= BREAK_MS, digits=1, difference=True)
    row("template reader 5 MB, 10,000, UTF-8 / line pass keeping nothing", "reader_utf8", "read_lines", "MB/s",
        READER_TARGET, lambda r: r >= READER_RATIO)
    row("template reader, code page (stand-in) / line pass keeping nothing", "reader_ansi", "read_lines", "MB/s",
        READER_TARGET, lambda r: r >= READER_RATIO)

    wine_row("tovrin start->receipt / minimal_window --exit start->exit", "tovrin_receipt", "window_exit",
             "<= +50 ms", lambda d: d <= 50, difference=True)
    if win32:
        wine_row("32-bit: tovrin start->receipt / minimal_window --exit", "x86_tovrin_receipt", "x86_window_exit",
                 "<= +50 ms", lambda d: d <= 50, difference=True)
    wine_row("tovrin start->receipt, console sqlplus.exe / window (command mode)", "console_receipt",
             "tovrin_receipt", CONSOLE_TARGET, lambda d: d <= CONSOLE_MS, difference=True)
    row("tovrin processor time, keystroke mode / command mode" + users,
        "cpu_keystroke", "cpu_command", "ms", "<= +100 ms", lambda d: d <= 100, difference=True)
    row("Wine server's processor time meanwhile, keystroke / command", "cpu_server_keystroke",
        "cpu_server_command", "ms", "<= +100 ms", lambda d: d <= 100, difference=True)
    wine_row("marlet start->shown, empty file / minimal_window" + users, "marlet_empty", "window_shown", "<= 1.25",
             lambda r: r <= 1.25)
    wine_row("marlet start->shown, 10,000 templates / minimal_window" + users, "marlet_10k", "window_shown", "<= 3.00",
             lambda r: r <= 3.0)

    row("marlet send of a 1 MB template / tovrin reading it from the clipboard", "marlet_send_1mb",
        "tovrin_read_1mb", "ms", SEND_TARGET, lambda r: r <= SEND_RATIO)
    row("marlet send of a 10 MB template / tovrin reading it from the clipboard", "marlet_send_10mb",
        "tovrin_read_10mb", "ms", SEND_TARGET, lambda r: r <= SEND_RATIO)
    if g("marlet_send_10mb") is not None:
        value = g("marlet_send_10mb")
        rows.append(("marlet send of a 10 MB template", fmt(value, "ms"), "5000 ms", "%.2f" % (value / 5000),
                     "<= 5 s", met(value <= 5000)))

    for key in program_keys(win32):
        info = files.get(key)
        name = program_name(key, info)
        if info is None:
            rows.append(("%s size; DLLs of ours" % name, "n/a", "256 KB", "n/a", "<= 256 KB; none", "n/a"))
            continue
        ours = len(info["foreign"]) + len(info["beside"])
        rows.append(("%s size; DLLs of ours" % name, "%d KB; %d" % (round(info["size"] / 1024), ours), "256 KB",
                     "%.2f" % (info["size"] / EXE_LIMIT), "<= 256 KB; none",
                     met(info["size"] <= EXE_LIMIT and not ours)))

    mib = 1024.0 * 1024.0
    row("peak working set: tovrin / minimal_window --exit", "peak_tovrin", "peak_window_exit", "MiB", PEAK_TARGET,
        lambda r: r <= PEAK_RATIO, digits=1, scale=mib)
    row("peak working set: marlet, empty file / minimal_window", "peak_marlet_empty", "peak_minimal_window", "MiB",
        PEAK_TARGET, lambda r: r <= PEAK_RATIO, digits=1, scale=mib)
    row("peak working set: marlet, 10,000 templates / minimal_window", "peak_marlet_10k", "peak_minimal_window",
        "MiB", PEAK_10K_TARGET, lambda r: r <= PEAK_10K_RATIO, digits=1, scale=mib)
    return rows


def program_keys(win32):
    """The programs whose files are reported: (build, exe) pairs."""
    return [(build, exe) for build in (("x64", "x86") if win32 else ("x64",)) for exe in (MARLET, TOVRIN)]


def program_name(key, info=None):
    machine = info["machine"] if info else key[0]
    return "%s (%s)" % (os.path.basename(key[1]), "32-bit" if machine == "x86" else "64-bit")


def print_table(rows):
    head = ("figure", "value", "baseline", "ratio", "target", "met?")
    widths = [max(len(r[i]) for r in rows + [head]) for i in range(len(head))]

    def line(r):
        return " | ".join(c.ljust(w) if i == 0 else c.rjust(w) for i, (c, w) in enumerate(zip(r, widths)))
    log(line(head))
    log("-+-".join("-" * w for w in widths))
    for r in rows:
        log(line(r))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--native", help="the native Release build with the benchmark programs")
    parser.add_argument("--win", required=True, help="the 64-bit Windows build")
    parser.add_argument("--win32", help="the 32-bit Windows build")
    parser.add_argument("--logs", help="where the programs' own output goes")
    parser.add_argument("--runs", type=int, default=7, help="runs of each Wine start-up measurement")
    parser.add_argument("--brief", action="store_true",
                        help="one run of each measurement, smallest sizes: proves that they all still run")
    args = parser.parse_args()
    native = os.path.abspath(args.native) if args.native else None
    win = os.path.abspath(args.win)
    win32 = os.path.abspath(args.win32) if args.win32 else None
    users = win32 or win  # the build users get, whose marlet and tovrin CPU figures are taken
    builds = {"x64": win, "x86": win32}
    logs = os.path.abspath(args.logs or os.path.join(native or win, "..", "bench-logs"))
    os.makedirs(logs, exist_ok=True)
    if args.runs < 1:
        parser.error("--runs must be at least 1")
    runs, latency_runs, startup_runs, rounds = (1, 1, 1, 1) if args.brief else (args.runs, 3 * args.runs,
                                                                               2 * args.runs, 3)

    figures, files, failed = {}, {}, []
    steps = ((
        ("native benchmarks: statement text preparation, template reader",
         lambda: figures.update(native_figures(native, logs))),
    ) if native else ()) + (
        ("tovrin start-up under Wine (tools/bench/tovrin_latency.py)",
         lambda: figures.update(tovrin_latency(win, logs, latency_runs))),
    ) + ((
        ("32-bit tovrin start-up under 32-bit Wine (tools/bench/tovrin_latency.py)",
         lambda: figures.update((re.sub(r"^(min_)?", r"\g<1>x86_", k), v) for k, v in
                                tovrin_latency(win32, logs, latency_runs, "tovrin_latency_x86").items())),
    ) if win32 else ()) + (
        ("tovrin processor time under Wine (tools/bench/tovrin_cpu.py)",
         lambda: figures.update(tovrin_cpu(users, logs, runs))),
        ("marlet start-up under Wine (tools/bench/marlet_startup.py)",
         lambda: figures.update(marlet_startup(users, logs, startup_runs))),
        ("huge template sends under Wine (tools/bench/marlet_big_send.py)",
         lambda: figures.update(big_send(win, logs, args.brief))),
        ("peak working sets under Wine",
         lambda: figures.update(wine_figures(win, logs, rounds))),
        ("program files", lambda: files.update((key, program_file(builds[key[0]], key[1]))
                                               for key in program_keys(win32))),
    )
    loads = []
    for what, step in steps:
        loads.append(os.getloadavg()[0])
        t0 = time.monotonic()
        log("== %s" % what)
        try:
            step()
            log("   done in %.0f s" % (time.monotonic() - t0))
        except Exception:
            failed.append(what)
            log("   FAILED after %.0f s:" % (time.monotonic() - t0))
            log("   " + traceback.format_exc().strip().replace("\n", "\n   "))

    log("")
    cpus = os.cpu_count() or 1
    loads.append(os.getloadavg()[0])
    log("Benchmarks of marlet and tovrin, %s, %d CPUs, load average %s" % (
        time.strftime("%Y-%m-%d %H:%M"), cpus, " ".join("%.1f" % x for x in os.getloadavg())))
    if max(loads) > cpus:
        log("NOTE: the load average reached %.1f on %d CPUs during the run: other programs competed for the"
            % (max(loads), cpus))
        log("      CPUs, and the times under Wine vary with them; run again on a quiet machine to judge them.")
    log("Rates: the best of 3, per CPU second. Times under Wine: the fastest run, which the machine's other")
    log("load disturbs least and which decides, with the median of the runs in brackets. Peak working sets:")
    log("medians of 3. The programs' own output: %s" % logs)
    log("")
    print_table(rows_from(figures, files, win32 is not None))
    log("")
    for key in program_keys(win32):
        info = files.get(key)
        if info:
            log("%s: %d bytes; imports %s; DLLs beside it: %s" % (
                program_name(key, info), info["size"],
                ", ".join("%s (%s)" % (d, "system" if is_system_dll(d) else "NOT system") for d in info["imports"]),
                ", ".join(info["beside"]) or "none"))
    if failed:
        log("")
        log("not measured: %s" % "; ".join(failed))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
