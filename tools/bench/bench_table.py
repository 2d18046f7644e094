#!/usr/bin/env python3
"""Runs the benchmarks of marlet and tovrin and prints one table: every figure
beside its baseline, measured in the same run on the same machine, their
ratio, the target and whether it is met.

    python3 tools/bench/bench_table.py --native NATIVE_BUILD --win WINDOWS_BUILD
                                       [--win32 WINDOWS_BUILD_32] [--logs DIR] [--runs N]

NATIVE_BUILD holds the Release build of the Google Benchmark programs
(tools/bench_statement_text, tools/bench_template_reader); WINDOWS_BUILD the
64-bit Windows build (programs, stand-in, clipboard tool, window probe,
minimal programs, peak_memory); WINDOWS_BUILD_32 the 32-bit one, whose
tovrin latency is measured too, under 32-bit Wine. Every program's own output goes to DIR (default
NATIVE_BUILD/../bench-logs). --runs sets the runs of each Wine measurement
(default 7; tovrin's latency takes three times as many, being short).

The figures:
- statement text preparation of 64 MiB of SQL script, separator lines dropped
  (tovrin) and kept (marlet), in MB/s of UTF-16 input, beside a plain pass
  that copies the same text line by line (best of three, CPU time);
- the template reader on 10,000 templates in about 5 MB, as UTF-8 and in a
  two-byte code page through a stand-in conversion, beside one sized read of
  the same bytes from the file (best of three, CPU time);
- tovrin's start to the stand-in's receipt of the statement (command mode)
  beside minimal_program's start to exit, and minimal_window --exit's, under
  the same Wine; for the 32-bit build as for the 64-bit one, each beside its
  own minimal_program, and the two tovrin figures beside each other;
- marlet's start to its window shown, empty template file and 10,000
  templates, beside minimal_window's start to its window shown, all timed by
  tests/window_probe.exe from the creation of the process;
  (times under Wine: the fastest run decides, as the one that the machine's
  other load disturbed least; the median is shown beside it)
- the size of marlet.exe and tovrin.exe of both builds, the DLLs they import (system or
  not) and any DLL beside them, and their peak working set under Wine beside
  that of the minimal programs (tools/peak_memory.exe, medians of three).
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
sys.path.insert(0, os.path.join(REPO, "tests", "wine"))
sys.path.insert(0, HERE)

import marlet_ui as ui  # noqa: E402
import standin  # noqa: E402
import winerig  # noqa: E402

PEAK = "tools/peak_memory.exe"
MINIMAL_PROGRAM = "tools/minimal_program.exe"
MINIMAL_WINDOW = "tools/minimal_window.exe"
MINIMAL_WINDOW_TITLE = "minimal window"
MARLET = "marlet/marlet.exe"
TOVRIN = "tovrin/tovrin.exe"
EXE_LIMIT = 256 * 1024  # bytes: "at most 256 KB"

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
    prep = google_benchmark(os.path.join(native, "tools", "bench_statement_text"), logs, "statement_text",
                            "--benchmark_filter=/64/")
    reader = google_benchmark(os.path.join(native, "tools", "bench_template_reader"), logs, "template_reader",
                              "--benchmark_repetitions=3")
    return {
        "prep_base": prep["BM_Baseline/64"] / 1e6,
        "prep_drop": prep["BM_Prepare/drop_separators/64"] / 1e6,
        "prep_keep": prep["BM_Prepare/keep_separators/64"] / 1e6,
        "read_file": reader["BM_PlainFileRead"] / 1e6,
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
    return figures


def marlet_startup(win, logs, runs):
    """Runs marlet_startup.py and reads its printed medians (ms from process
    start) of the empty file and of the 10,000-template file."""
    path = os.path.join(logs, "marlet_startup.txt")
    with open(path, "w") as text:
        subprocess.run([sys.executable, os.path.join(HERE, "marlet_startup.py"), "--bin", win, "--runs", str(runs)],
                       stdout=text, stderr=subprocess.STDOUT, check=True, timeout=1800)
    figures = {}
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            m = re.match(r"\s*(.+?)\s+(\d+(?:\.\d+)?) ms from process start", line)
            if not m:
                continue
            key = "marlet_empty" if "empty" in m.group(1) else "marlet_10k" if "10,000" in m.group(1) else None
            if not key:
                continue
            figures[key] = float(m.group(2))
            runs = re.search(r"runs: ([\d, ]+)", line)
            if runs:
                figures["min_" + key] = min(float(x) for x in runs.group(1).split(",") if x.strip())
    if "marlet_empty" not in figures or "marlet_10k" not in figures:
        raise RuntimeError("could not read both start-up times from %s" % path)
    return figures


# Wine: the window baseline and the peak working sets, in one rig of our own ---------
_counter = [0]


def scratch(rig, stem):
    _counter[0] += 1
    return os.path.join(rig.tmp, "%s-%d.json" % (stem, _counter[0]))


def minimal_window_shown(rig):
    """Start of minimal_window to its window shown, in ms, timed by the window
    probe as marlet_startup.py times marlet; then the window is closed."""
    winerig.wait_for(lambda: not rig.processes("minimal_window.exe"), 60, "minimal_window.exe to end")
    _, out = ui.start_probe(rig, "--title", MINIMAL_WINDOW_TITLE, "--wait", "120", "--no-items")
    # The probe must be polling before the program starts.
    winerig.wait_for(lambda: rig.processes("window_probe.exe"), 60, "the window probe to start")
    time.sleep(0.5)
    rig.start(MINIMAL_WINDOW)
    data = winerig.wait_for_json(out, 180, "the probe's report")
    if not data.get("found") or "shown_ms" not in data:
        raise RuntimeError("minimal_window's window did not appear")
    standin.tool(rig, "close", MINIMAL_WINDOW_TITLE)
    winerig.wait_for(lambda: not rig.processes("minimal_window.exe"), 60, "minimal_window.exe to end")
    return float(data["shown_ms"])


def peak_working_set(rig, exe, window):
    """Peak working set in bytes of one run of exe, by tools/peak_memory.exe."""
    out = scratch(rig, "peak")
    args = ["--wait", "120", "--out", rig.win_path(out)] + (["--window"] if window else [])
    rig.start(PEAK, *(args + [rig.win_path(rig.exe(exe))]))
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


def wine_figures(win, logs, runs):
    figures = {}
    big = big_template_file()
    with winerig.Rig(win) as rig:
        templates = rig.c_path("vorn3", "marlet.txt")
        with open(templates, "wb"):
            pass
        # A first start of each program that is not counted: Wine loads its
        # libraries and fonts.
        minimal_window_shown(rig)
        shown = [minimal_window_shown(rig) for _ in range(runs)]
        figures["window_shown"] = statistics.median(shown)
        figures["min_window_shown"] = min(shown)

        sqlplus = standin.StandIn(rig, "bench-sqlplus")
        peaks = {"minimal_program": [], "tovrin": [], "minimal_window": [], "marlet_empty": [], "marlet_10k": []}
        for n in range(3):
            peaks["minimal_program"].append(peak_working_set(rig, MINIMAL_PROGRAM, False))
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
    return {"size": os.path.getsize(path), "imports": imports,
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

    def row(name, key, base_key, unit, target=None, check=None, digits=0, scale=1.0):
        value, base = g(key), g(base_key)
        if value is not None:
            value /= scale
        if base is not None:
            base /= scale
        ratio = value / base if value is not None and base else None
        rows.append((name, fmt(value, unit, digits), fmt(base, unit, digits),
                     "%.2f" % ratio if ratio is not None else "n/a", target or "-",
                     "-" if check is None else "n/a" if ratio is None else met(check(ratio))))

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
    row("template reader 5 MB, 10,000, UTF-8 / plain file read", "reader_utf8", "read_file", "MB/s",
        ">= 0.20", lambda r: r >= 0.2)
    row("template reader, code page (stand-in) / plain file read", "reader_ansi", "read_file", "MB/s",
        ">= 0.20", lambda r: r >= 0.2)
    row("template reader, UTF-8 / line-by-line read keeping nothing", "reader_utf8", "read_lines", "MB/s")

    wine_row("tovrin start->receipt / minimal_program start->exit", "tovrin_receipt", "minimal_exit",
             "<= +50 ms", lambda d: d <= 50, difference=True)
    if g("window_exit") is not None:
        wine_row("tovrin start->receipt / minimal_window --exit start->exit", "tovrin_receipt", "window_exit",
                 difference=True)
    if win32:
        wine_row("32-bit: tovrin start->receipt / minimal_program start->exit", "x86_tovrin_receipt",
                 "x86_minimal_exit", "<= +50 ms", lambda d: d <= 50, difference=True)
        wine_row("tovrin start->receipt: 32-bit / 64-bit", "x86_tovrin_receipt", "tovrin_receipt",
                 difference=True)
    wine_row("marlet start->shown, empty file / minimal_window", "marlet_empty", "window_shown")
    wine_row("marlet start->shown, 10,000 templates / minimal_window", "marlet_10k", "window_shown")
    wine_row("marlet start->shown, 10,000 templates / empty file", "marlet_10k", "marlet_empty", "<= 2.00",
             lambda r: r <= 2.0)

    for key in program_keys(win32):
        name = program_name(key)
        info = files.get(key)
        if info is None:
            rows.append(("%s size; DLLs of ours" % name, "n/a", "256 KB", "n/a", "<= 256 KB; none", "n/a"))
            continue
        ours = len(info["foreign"]) + len(info["beside"])
        rows.append(("%s size; DLLs of ours" % name, "%d KB; %d" % (round(info["size"] / 1024), ours), "256 KB",
                     "%.2f" % (info["size"] / EXE_LIMIT), "<= 256 KB; none",
                     met(info["size"] <= EXE_LIMIT and not ours)))

    mib = 1024.0 * 1024.0
    row("peak working set: tovrin / minimal_program", "peak_tovrin", "peak_minimal_program", "MiB", digits=1,
        scale=mib)
    row("peak working set: marlet, empty file / minimal_window", "peak_marlet_empty", "peak_minimal_window", "MiB",
        digits=1, scale=mib)
    row("peak working set: marlet, 10,000 templates / minimal_window", "peak_marlet_10k", "peak_minimal_window",
        "MiB", digits=1, scale=mib)
    return rows


def program_keys(win32):
    """The programs whose files are reported: (build, exe) pairs."""
    return [(build, exe) for build in (("x64", "x86") if win32 else ("x64",)) for exe in (MARLET, TOVRIN)]


def program_name(key):
    return "%s (%s)" % (os.path.basename(key[1]), "32-bit" if key[0] == "x86" else "64-bit")


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
    parser.add_argument("--native", required=True, help="the native Release build with the benchmark programs")
    parser.add_argument("--win", required=True, help="the 64-bit Windows build")
    parser.add_argument("--win32", help="the 32-bit Windows build")
    parser.add_argument("--logs", help="where the programs' own output goes")
    parser.add_argument("--runs", type=int, default=7, help="runs of each Wine start-up measurement")
    args = parser.parse_args()
    native = os.path.abspath(args.native)
    win = os.path.abspath(args.win)
    win32 = os.path.abspath(args.win32) if args.win32 else None
    builds = {"x64": win, "x86": win32}
    logs = os.path.abspath(args.logs or os.path.join(native, "..", "bench-logs"))
    os.makedirs(logs, exist_ok=True)
    if args.runs < 1:
        parser.error("--runs must be at least 1")

    figures, files, failed = {}, {}, []
    steps = (
        ("native benchmarks: statement text preparation, template reader",
         lambda: figures.update(native_figures(native, logs))),
        ("tovrin start-up under Wine (tools/bench/tovrin_latency.py)",
         lambda: figures.update(tovrin_latency(win, logs, 3 * args.runs))),
    ) + ((
        ("32-bit tovrin start-up under 32-bit Wine (tools/bench/tovrin_latency.py)",
         lambda: figures.update((re.sub(r"^(min_)?", r"\g<1>x86_", k), v) for k, v in
                                tovrin_latency(win32, logs, 3 * args.runs, "tovrin_latency_x86").items())),
    ) if win32 else ()) + (
        ("marlet start-up under Wine (tools/bench/marlet_startup.py)",
         lambda: figures.update(marlet_startup(win, logs, args.runs))),
        ("window baseline and peak working sets under Wine",
         lambda: figures.update(wine_figures(win, logs, args.runs))),
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
                program_name(key), info["size"],
                ", ".join("%s (%s)" % (d, "system" if is_system_dll(d) else "NOT system") for d in info["imports"]),
                ", ".join(info["beside"]) or "none"))
    if failed:
        log("")
        log("not measured: %s" % "; ".join(failed))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
