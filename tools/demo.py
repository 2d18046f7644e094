"""Shows the programs at work under Wine, against the SQL*Plus stand-in, on a
virtual display, and leaves screenshots in the build directory. Ends with
status 1 when a program did not deliver what it should have (the 32-bit
build runs it as a test: the main job, tools/run.sh).

    python3 tools/demo.py BUILD_DIR      (a Windows build, e.g. build/win32)
"""
import os
import shutil
import sys

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "tests", "rig"))

import console_sqlplus  # noqa: E402
import marlet_ui  # noqa: E402
import standin  # noqa: E402
import winerig  # noqa: E402


def screenshot_when_changed(rig, path, before, timeout=20):
    """Takes screenshots until one differs from `before` (the window has
    been repainted with what arrived), keeping the last in `path`."""
    def changed():
        rig.screenshot(path)
        with open(path, "rb") as a, open(before, "rb") as b:
            return a.read() != b.read()
    try:
        winerig.wait_for(changed, timeout, "the stand-in to show the statement", interval=0.2)
    except AssertionError as e:
        winerig.log("note:", e)


def expect(what, got, wanted):
    if got != wanted:
        raise AssertionError("%s: %r, not %r" % (what, got, wanted))


def demo_tovrin(rig):
    """tovrin sends the clipboard's statement to the stand-in: once by its
    paste command (no settings file), once by Shift+Insert (active=yes)."""
    sqlplus = standin.StandIn(rig, "demo-sqlplus")
    ini = rig.c_path("vorn3", "tovrin.ini")
    before = os.path.join(rig.tmp, "before.png")

    statements = [
        (None, "==== 社員一覧\r\nselect 社員番号, 氏名, ｼﾒｲ\r\n  from 社員\r\n\r\n where 部署 = '営業部'  ",
         "command", "select 社員番号, 氏名, ｼﾒｲ\r\n  from 社員\r\n where 部署 = '営業部'\r\n;\r\n"),
        ("[sql plus]\r\nactive=yes\r\n", "select sysdate from dual;", "keystroke", "select sysdate from dual;\r\n"),
    ]
    for settings, text, how, pasted in statements:
        if settings is None:
            if os.path.exists(ini):
                os.remove(ini)
        else:
            with open(ini, "w", encoding="ascii", newline="") as f:
                f.write(settings)
        standin.set_text(rig, text)
        rig.screenshot(before)
        mark = sqlplus.mark()
        _, _, _, seconds = rig.run("tovrin/tovrin.exe", timeout=60)
        recv = sqlplus.wait_recv(mark)
        winerig.log("tovrin ran %.2f s; the stand-in received by %s:" % (seconds, recv["how"]))
        for line in recv["text"].split("\r\n")[:-1]:
            winerig.log("    " + line)
        expect("tovrin's delivery", (recv["how"], recv["text"]), (how, pasted))

    shot = os.path.join(rig.build, "demo-tovrin.png")
    screenshot_when_changed(rig, shot, before)
    winerig.log("tovrin demo: screenshot of the stand-in in", shot)
    sqlplus.close()
    if os.path.exists(ini):
        os.remove(ini)
    return shot


def screenshot_settled(rig, path, timeout=20):
    """Takes screenshots (raw pixels) until two in a row are the same, so
    that every window has repainted what a closed one uncovered; saves the
    last one as `path`."""
    raw = os.path.join(rig.tmp, "settle-%d.rgb")
    last = [None, 0]

    def settled():
        last[1] += 1
        shot = raw % last[1]
        rig.screenshot(shot)
        with open(shot, "rb") as f:
            pixels = f.read()
        same = pixels == last[0]
        last[0] = pixels
        return same
    try:
        winerig.wait_for(settled, timeout, "the screen to settle", interval=0.3)
    except AssertionError as e:
        winerig.log("note:", e)
    rig.screenshot(path)


def demo_marlet(rig, pick="■受注の件数"):
    """marlet with the sample template file, driven like a person: a click
    and Down keys pick the template whose head begins with `pick`, Enter
    sends it. Screenshots before the send (the pick in the list, SQL*Plus
    still at its prompt) and after it (what SQL*Plus took)."""
    sqlplus = standin.StandIn(rig, "demo-marlet-sqlplus")
    shutil.copyfile(os.path.join(REPO, "marlet", "sample", "marlet.txt"), rig.c_path("vorn3", "marlet.txt"))
    shutil.copyfile(os.path.join(REPO, "marlet", "sample", "tovrin.ini"), rig.c_path("vorn3", "tovrin.ini"))

    data = marlet_ui.start(rig)
    items = marlet_ui.combo(data)["items"]
    index = next((i for i, item in enumerate(items) if item.startswith(pick)), None)
    if index is None:
        raise AssertionError("no template %r in the list" % pick)
    data = marlet_ui.select_item(rig, data, index)
    marlet_ui.park_pointer(rig)
    before = os.path.join(rig.build, "demo-marlet-before.png")
    rig.screenshot(before)
    winerig.log("marlet demo: picked item %d of %d, %r" % (index + 1, len(items), items[index].split("\r\n")[0]))

    mark = sqlplus.mark()
    marlet_ui.key(rig, data, "Return")
    recv = sqlplus.wait_recv(mark)
    marlet_ui.wait_ended(rig, "the send")
    winerig.log("the stand-in received by %s:" % recv["how"])
    for line in recv["text"].split("\r\n")[:-1]:
        winerig.log("    " + line)
    expect("marlet's delivery", (recv["how"], recv["text"].split("\r\n")[0]),
           ("command", items[index].split(": ", 1)[-1].split("\r\n")[0]))

    after = os.path.join(rig.build, "demo-marlet-after.png")
    screenshot_settled(rig, after)
    winerig.log("marlet demo: screenshots before and after the send in", before, "and", after)
    sqlplus.close()
    return before, after


def demo_console(rig):
    """SQL*Plus as a console program (sqlplus.exe in a console window, no
    SQL*Plus window anywhere): tovrin types the clipboard's statement at its
    prompt."""
    sqlplus = console_sqlplus.ConsoleSqlPlus(rig, "demo", title="SQL*Plus")
    ini = rig.c_path("vorn3", "tovrin.ini")
    if os.path.exists(ini):
        os.remove(ini)
    standin.set_text(rig, "==== 受注の件数\r\nselect count(*)\r\n  from 受注m\r\n where 受注日 >= trunc(sysdate)  ")
    mark = sqlplus.mark()
    _, _, _, seconds = rig.run("tovrin/tovrin.exe", timeout=60)
    lines = sqlplus.wait_lines(mark, 4)
    winerig.log("tovrin ran %.2f s; the console SQL*Plus read:" % seconds)
    for line in lines:
        winerig.log("    " + line.rstrip("\r\n"))
    expect("the console's lines", lines,
           ["select count(*)\r\n", "  from 受注m\r\n", " where 受注日 >= trunc(sysdate)\r\n", ";\r\n"])
    shot = os.path.join(rig.build, "demo-console.png")
    screenshot_settled(rig, shot)
    winerig.log("console demo: screenshot of the console in", shot)
    rig.kill_processes("sqlplus.exe")
    return shot


def main(argv):
    if len(argv) != 2:
        print(__doc__)
        return 2
    build = argv[1]
    for exe in ("tovrin/tovrin.exe", marlet_ui.MARLET, marlet_ui.PROBE, standin.STANDIN, standin.TOOL,
                console_sqlplus.EXE):
        if not os.path.isfile(os.path.join(build, exe)):
            print("no Windows build in %s (%s missing)" % (build, exe))
            return 1
    with winerig.Rig(build) as rig:
        demo_tovrin(rig)
        demo_marlet(rig)
        demo_console(rig)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
