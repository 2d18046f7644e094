#!/usr/bin/env python3
"""Start-up time of marlet.exe under Wine: from the start of its process to
its window being visible, with an empty template file and with a generated
file of 10,000 templates (about 5 MB, Shift-JIS). Prints the median of a few
runs of each; nothing is asserted.

    python3 tools/bench/marlet_startup.py --bin BUILD_DIR [--runs N]

The time is taken by tests/window_probe.exe, which polls for the window from
before the program starts and subtracts the process's creation time; the
wall-clock time seen from here (Wine's own start-up included) is printed
beside it.
"""
import argparse
import os
import statistics
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(REPO, "tests", "wine"))
import winerig  # noqa: E402
import marlet_ui as ui  # noqa: E402

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


def measure(rig, runs):
    shown, wall, counts = [], [], []
    for _ in range(runs):
        winerig.wait_for(lambda: not ui.marlet_processes(rig), 60, "marlet.exe to end")
        _, out = ui.start_probe(rig, "--title-hex", ui.hex_units(ui.TITLE), "--wait", "120", "--no-items")
        time.sleep(0.5)  # the probe is polling before marlet starts
        t0 = time.monotonic()
        rig.start(ui.MARLET)
        data = winerig.wait_for_json(out, 180, "the probe's report")
        wall.append((time.monotonic() - t0) * 1000)
        if not data.get("found"):
            raise AssertionError("marlet's window did not appear")
        shown.append(data["shown_ms"])
        counts.append(ui.combo(data)["count"])
        ui.key(rig, data, "Escape")
        ui.wait_ended(rig, "Esc")
    return statistics.median(shown), statistics.median(wall), counts[0], shown


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="the Windows build directory")
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    big = big_template_file()
    with winerig.Rig(args.bin) as rig:
        rig.env["LC_ALL"] = "ja_JP.UTF-8"
        path = rig.c_path("vorn3", "marlet.txt")
        # A first start that is not counted: Wine loads its libraries.
        with open(path, "wb") as f:
            f.write(b"")
        measure(rig, 1)
        results = []
        for name, data in (("empty template file", b""),
                           ("10,000 templates, %.1f MB" % (len(big) / 1e6), big)):
            with open(path, "wb") as f:
                f.write(data)
            results.append((name,) + measure(rig, args.runs))
    print("marlet start-up to window shown (median of %d runs):" % args.runs)
    for name, shown, wall, count, all_shown in results:
        print("  %-28s %7.0f ms from process start   (%7.0f ms wall clock, %d list items; runs: %s)"
              % (name, shown, wall, count, ", ".join("%d" % s for s in all_shown)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
