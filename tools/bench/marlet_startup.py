#!/usr/bin/env python3
"""Start-up time of marlet.exe under Wine: from the start of its process to
its window being visible, with an empty template file and with a generated
file of 10,000 templates (about 5 MB, Shift-JIS), beside that of
tools/bench/minimal_window.exe (a program that shows one window and does
nothing else), in rounds of one start of each, so that the machine's load
falls on all three alike. Prints the median and every run; nothing is asserted.

    python3 tools/bench/marlet_startup.py --bin BUILD_DIR [--runs N] [--json PATH]

The time is taken by tests/rig/window_probe.exe, which searches for the window
from before the program starts and subtracts the process's creation time;
the wall-clock time seen from here (Wine's own start-up included) is printed
beside it. --json PATH also writes every run (ms) to PATH.
"""
import argparse
import json
import os
import statistics
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(REPO, "tests", "rig"))
import winerig  # noqa: E402
import marlet_ui as ui  # noqa: E402
import standin  # noqa: E402

TEMPLATES = 10000
TARGET_BYTES = 5 * 1000 * 1000


def big_template_file():
    """10,000 templates of about 500 bytes each; every tenth is three times as
    long, so that it is split over several list items."""
    lines = ["generated templates for the start-up measurement", "=" * 60]
    filler = "       and 受注m.備考 like '%%テスト%%' -- 条件 %02d"
    body_bytes = 0
    for i in range(TEMPLATES):
        lines.append("■生成テンプレート %05d" % i)
        lines.append("select 受注番号, 受注日, 得意先コード, 数量, 単価, 数量 * 単価 as 金額")
        lines.append("  from 受注m")
        lines.append(" where 受注日 >= to_date('2024-01-01', 'YYYY-MM-DD')")
        for k in range(4 if i % 10 else 16):
            lines.append(filler % k)
        lines.append(" order by 受注番号;")
        lines.append("")
    data = "\r\n".join(lines).encode("cp932") + b"\r\n"
    # Pad the preamble so that the file comes to the target size.
    if len(data) < TARGET_BYTES:
        pad = b"-" * 70 + b"\r\n"
        data = pad * ((TARGET_BYTES - len(data)) // len(pad)) + data
    return data


MINIMAL_WINDOW = "tools/bench/minimal_window.exe"
MINIMAL_WINDOW_TITLE = "minimal window"


def time_shown(rig, exe, title):
    """Starts exe once the probe is searching for its window titled `title`;
    returns (ms from process start to shown, ms wall clock, the probe's report)."""
    name = os.path.basename(exe)
    winerig.wait_for(lambda: not rig.processes(name), 60, "%s to end" % name)
    _, out = ui.start_timing_probe(rig, "--title-hex", ui.hex_units(title), "--wait", "120", "--no-items")
    t0 = time.monotonic()
    rig.start(exe)
    data = winerig.wait_for_json(out, 180, "the probe's report")
    wall = (time.monotonic() - t0) * 1000
    if not data.get("found") or "shown_ms" not in data:
        raise AssertionError("the window of %s did not appear" % name)
    return float(data["shown_ms"]), wall, data


def marlet_shown(rig, path, templates):
    with open(path, "wb") as f:
        f.write(templates)
    shown, wall, data = time_shown(rig, ui.MARLET, ui.TITLE)
    ui.key(rig, data, "Escape")
    ui.wait_ended(rig, "Esc")
    return shown, wall, ui.combo(data)["count"]


def minimal_shown(rig):
    shown, wall, _ = time_shown(rig, MINIMAL_WINDOW, MINIMAL_WINDOW_TITLE)
    standin.tool(rig, "close", MINIMAL_WINDOW_TITLE)
    winerig.wait_for(lambda: not rig.processes("minimal_window.exe"), 60, "minimal_window.exe to end")
    return shown, wall, None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="the Windows build directory")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--json", metavar="PATH", help="also write every run (ms) to PATH as JSON")
    args = parser.parse_args()
    big = big_template_file()
    kinds = (("minimal_window", "minimal_window", None),
             ("marlet_empty", "empty template file", b""),
             ("marlet_10k", "10,000 templates, %.1f MB" % (len(big) / 1e6), big))
    results = {key: [] for key, _, _ in kinds}
    with winerig.Rig(args.bin) as rig:
        rig.env["LC_ALL"] = "ja_JP.UTF-8"
        path = rig.c_path("vorn3", "marlet.txt")

        def once(templates):
            return minimal_shown(rig) if templates is None else marlet_shown(rig, path, templates)
        # A first start of each that is not counted: Wine loads its libraries.
        for _, _, templates in kinds:
            once(templates)
        for _ in range(args.runs):
            for key, _, templates in kinds:
                results[key].append(once(templates))
    print("start-up to window shown (median of %d runs):" % args.runs)
    for key, name, _ in kinds:
        shown = [r[0] for r in results[key]]
        count = results[key][0][2]
        print("  %-28s %7.0f ms from process start   (%7.0f ms wall clock%s; runs: %s)"
              % (name, statistics.median(shown), statistics.median(r[1] for r in results[key]),
                 "" if count is None else ", %d list items" % count, ", ".join("%d" % s for s in shown)))
    if args.json:
        with open(args.json, "w", encoding="ascii") as f:
            json.dump({key: [r[0] for r in values] for key, values in results.items()}, f, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
