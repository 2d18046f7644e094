"""Sends one huge template with marlet under Wine and times it: from the
Return key that sends the template (its head item selected) to the stand-in's
receipt of the text, for a template of 1 MB and one of 10 MB (one header and
one body line, an IN list, split by marlet into list items of 500 characters;
both programs break it into lines SQL*Plus takes). Beside each, the time from
tovrin's start to the receipt of the same text, which tovrin reads from the
clipboard. Command mode, no settings file. Prints seconds.

    python3 tools/bench/marlet_big_send.py BUILD_DIR [--sizes 1,10] [--json PATH]

The stand-in stamps its receipt with QueryPerformanceCounter, which under
Wine is the host's CLOCK_MONOTONIC_RAW, the clock taken here.
"""
import argparse
import json
import os
import sys
import time

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPO, "tests", "rig"))

import marlet_ui as ui  # noqa: E402
import standin  # noqa: E402
import winerig  # noqa: E402

HEAD_ITEM = 11  # the first item after the eleven built-in templates
SEND_TIMEOUT = 600


def now():
    return time.clock_gettime(time.CLOCK_MONOTONIC_RAW)


def body_of(megabytes):
    """One statement line of about that many MB: an IN list of ids, which
    both programs break into lines SQL*Plus takes (at the spaces)."""
    size = megabytes * 1000 * 1000
    ids, length, n = [], 0, 0
    while length < size:
        n += 1
        ids.append(str(n))
        length += len(ids[-1]) + 2
    return "select count(*) from orders where id in (" + ", ".join(ids) + ");"


def check_received(text, body, who):
    """The body arrives broken at some of its spaces into lines of at most
    2,499 bytes, and nothing else changes."""
    lines = text.split("\r\n")
    if lines[-1] != "" or " ".join(lines[:-1]) != body:
        raise SystemExit("%s delivered %d characters, not the template's %d broken at spaces"
                         % (who, len(text), len(body)))
    longest = max(len(line.encode("utf-8")) for line in lines)
    if longest > 2499:
        raise SystemExit("%s delivered a line of %d bytes" % (who, longest))


def probe(rig, condition, what):
    """marlet's window without its items (a 10 MB list would make a 10 MB
    report), probed until condition(data) holds."""
    last = [None]

    def ok():
        last[0] = ui.probe(rig, "--title-hex", ui.hex_units(ui.TITLE), "--wait", "15", "--no-items")
        return last[0].get("found") and last[0].get("visible") and condition(last[0])
    winerig.wait_for(ok, ui.TIMEOUT * 3, what, interval=0.3)
    return last[0]


def time_marlet(rig, sqlplus, body):
    with open(rig.c_path("vorn3", "marlet.txt"), "wb") as f:
        f.write("\u25a0big\r\n".encode("cp932") + body.encode("ascii") + b"\r\n\r\n")
    winerig.wait_for(lambda: not ui.marlet_processes(rig), ui.TIMEOUT, "an earlier marlet.exe to end")
    rig.start(ui.MARLET)
    data = probe(rig, lambda d: d["foreground"] and ui.combo(d)["count"] > HEAD_ITEM, "marlet's window, filled")
    shown = ui.visible_items(data)
    ui.click_item(rig, data, shown[-1])
    probe(rig, lambda d: ui.combo(d)["selection"] == shown[-1], "item %d selected" % shown[-1])
    if HEAD_ITEM > shown[-1]:
        ui.key(rig, data, *(["Down"] * (HEAD_ITEM - shown[-1])))
    data = probe(rig, lambda d: ui.combo(d)["selection"] == HEAD_ITEM, "the template's head item selected")
    mark = sqlplus.mark()
    start = now()
    ui.key(rig, data, "Return")
    recv = sqlplus.wait_recv(mark, timeout=SEND_TIMEOUT)
    check_received(recv["text"], body, "marlet")
    ui.wait_ended(rig, "the send")
    return recv["t"] - start, ui.combo(data)["count"]


def time_tovrin(rig, sqlplus, body):
    standin.set_text(rig, body)
    mark = sqlplus.mark()
    start = now()
    rig.start("tovrin/tovrin.exe")
    recv = sqlplus.wait_recv(mark, timeout=SEND_TIMEOUT)
    check_received(recv["text"], body, "tovrin")
    winerig.wait_for(lambda: not rig.processes("tovrin.exe"), ui.TIMEOUT, "tovrin.exe to end")
    return recv["t"] - start


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build")
    parser.add_argument("--sizes", default="1,10", help="template sizes in MB, comma-separated")
    parser.add_argument("--json", metavar="PATH", help="also write the figures (seconds) to PATH as JSON")
    args = parser.parse_args()
    sizes = [int(x) for x in args.sizes.split(",") if x.strip()]

    figures = {}
    with winerig.Rig(args.build) as rig:
        rig.env["LC_ALL"] = "ja_JP.UTF-8"
        ini = rig.c_path("vorn3", "tovrin.ini")
        if os.path.exists(ini):
            os.remove(ini)
        sqlplus = standin.StandIn(rig, "bench-big-sqlplus")
        for mb in sizes:
            body = body_of(mb)
            marlet, items = time_marlet(rig, sqlplus, body)
            tovrin = time_tovrin(rig, sqlplus, body)
            figures["marlet_send_%dmb" % mb] = marlet
            figures["tovrin_read_%dmb" % mb] = tovrin
            print("%3d MB template (%d list items): marlet Return -> receipt %7.2f s; "
                  "tovrin start -> receipt of the same text %7.2f s" % (mb, items, marlet, tovrin), flush=True)
    if args.json:
        with open(args.json, "w", encoding="ascii") as f:
            json.dump(figures, f, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
