"""End-to-end tests under Wine of the delivery to SQL*Plus as a console
program: no SQL*Plus window is there, and sqlplus.exe (our console stand-in)
runs in a console window of the Wine virtual desktop, started with
wineconsole or with "start cmd /c", as a user would start it.

    python3 test_console.py --bin BUILD_DIR [-k NAME_PART] [--only NAME]

What a console program reads is taken from the stand-in's log, line by line
(each CR LF, lone CR and lone LF of the text is one Enter). A decoy window
(the window stand-in under another title) is brought to the front before
each run: in command mode it must stay there, in keystroke mode the console
window must come to the front first, and it must never receive anything.
Where nothing may have been typed into a console, a later delivery's marker
must be the next line it reads.
"""
import os
import shutil
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "rig"))

import cases  # noqa: E402
import console_sqlplus  # noqa: E402
import marlet_ui as ui  # noqa: E402
import standin  # noqa: E402
import winerig  # noqa: E402
from cases import check, check_equal  # noqa: E402
from console_sqlplus import split_lines  # noqa: E402

CRLF = "\r\n"
TOVRIN = "tovrin/tovrin.exe"
DECOY = "Decoy"
RUN_TIMEOUT = 30
TABLE_LIST = 3          # built-in item "■テーブルリスト: select * from tab;"
USER_TEMPLATE = 11      # the first item after the eleven built-in ones
USER_SQL = "select count(*) from 受注m;"


class World:
    """A rig with the decoy window and, unless told otherwise, one console
    SQL*Plus under wineconsole."""

    def __init__(self, rig, console=True):
        self.rig = rig
        self.decoy = standin.StandIn(rig, "decoy", "--class", "decoyWClass", "--title", DECOY, "--pos", "500", "420")
        self.sqlplus = console_sqlplus.ConsoleSqlPlus(rig, "sqlplus") if console else None

    def set_ini(self, *lines):
        self.rig.write_settings(*lines)

    def tovrin(self, clipboard_text=None, timeout=RUN_TIMEOUT):
        """Runs tovrin (on clipboard_text, when given) to its end."""
        if clipboard_text is not None:
            standin.set_text(self.rig, clipboard_text)
        self.rig.run(TOVRIN, timeout=timeout)

    def send(self, console, clipboard_text, expected_lines, keystroke):
        """tovrin with the decoy in front: the console reads the lines, in
        the mode's way; the decoy receives nothing."""
        standin.activate(self.rig, DECOY)
        mark, decoy_mark = console.mark(), self.decoy.mark()
        self.tovrin(clipboard_text)
        lines = console.wait_lines(mark, len(expected_lines))
        check_equal(lines, expected_lines, "lines read by %s" % console.name)
        self.check_mode(console, mark, keystroke)
        check_no_receipt(self.decoy, decoy_mark)

    def check_mode(self, console, mark, keystroke):
        """Command mode leaves the decoy in front; keystroke mode brings the
        console window forward and holds it there for tovrin's settling
        second before the text."""
        first_line = next(e for e in console.since(mark) if e["event"] == "line")
        fronts = [e for e in console.fronts(mark) if e["t"] <= first_line["t"]]
        if not keystroke:
            check_equal(fronts, [], "the console window coming forward in command mode")
            check(standin.is_front(self.rig, DECOY), "the decoy is no longer in front after command mode")
            return
        check(fronts, "the console window did not come to the front before the text")
        gap = first_line["t"] - fronts[0]["t"]
        check(gap >= 0.9, "only %.3f s between the console's activation and the text" % gap)

    def marker(self, console, text):
        """Proves that nothing reached `console` since its last read: its
        window is brought forward and a delivery's marker is the next line
        it reads."""
        self.set_ini()
        standin.activate(self.rig, console.title)
        mark = console.mark()
        self.tovrin(text + ";")
        check_equal(console.wait_lines(mark, 1), [text + ";" + CRLF], "next line read by %s" % console.name)


def check_no_receipt(stand_in, mark):
    got = [e for e in stand_in.since(mark) if e["event"] == "recv"]
    check(not got, "the decoy window received %r" % (got[0]["text"] if got else None))


def end_consoles(rig):
    rig.kill_processes("sqlplus.exe")
    rig.kill_processes("holder.exe")
    rig.kill_processes("cmd.exe")


# One console -------------------------------------------------------------------
def case_tovrin_command_mode(w):
    w.set_ini("active=no")
    w.send(w.sqlplus, "select 1\r\n  from dual", ["select 1\r\n", "  from dual\r\n", ";\r\n"], keystroke=False)
    check_equal(standin.get(w.rig)["text"], "select 1\r\n  from dual\r\n;\r\n", "clipboard afterwards")


def case_tovrin_keystroke_mode(w):
    w.set_ini("active=YES")
    w.send(w.sqlplus, "select 2 from dual;", ["select 2 from dual;\r\n"], keystroke=True)


def case_japanese_and_control_characters(w):
    """Under code page 932: Japanese, half-width katakana and a surrogate
    pair arrive unit for unit; a tab stays; a lone LF is one more Enter; a
    Ctrl+C in the text is not typed (SQL*Plus and tovrin both live on)."""
    check_equal(w.sqlplus.ready["acp"], 932, "ANSI code page of the console program")
    w.set_ini()
    raw = "select 氏名,\t'ｶﾀｶﾅ' as かな\nfrom 社員 -- 𠮷野\r\nwhere x = '\x03'"
    w.send(w.sqlplus, raw, ["select 氏名,\t'ｶﾀｶﾅ' as かな\r\n", "from 社員 -- 𠮷野\r\n", "where x = ''\r\n",
                             ";\r\n"], keystroke=False)
    check_equal(standin.get(w.rig)["text"], raw + CRLF + ";" + CRLF, "clipboard afterwards")


def case_console_no(w):
    """console=no: tovrin leaves the text on the clipboard only."""
    for value in ("no", "NO", " No "):
        w.set_ini("active=yes", "console=" + value)
        mark = w.sqlplus.mark()
        w.tovrin("select 3 from dual;")
        check_equal(standin.get(w.rig)["text"], "select 3 from dual;" + CRLF, "clipboard with console=%r" % value)
        check_equal(w.sqlplus.fronts(mark), [], "the console window coming forward with console=%r" % value)
        w.marker(w.sqlplus, "select 'after console=%s' from dual" % value.strip())


def case_window_wins_over_console(w):
    """With the SQL*Plus window there too, the window gets the text and the
    console nothing."""
    gui = standin.StandIn(w.rig, "gui-sqlplus")
    try:
        for active in ("no", "yes"):
            w.set_ini("active=" + active)
            standin.activate(w.rig, w.sqlplus.title)
            mark = gui.mark()
            w.tovrin("select 4 from dual;")
            check_equal(gui.wait_recv(mark)["text"], "select 4 from dual;" + CRLF, "the window's receipt")
    finally:
        gui.close()
    w.marker(w.sqlplus, "select 'after the window' from dual")


def case_marlet_templates(w):
    """marlet sends a built-in and a user template into the console, in
    both modes (no settling wait: the text follows the activation)."""
    for keystroke in (False, True):
        w.set_ini("active=" + ("yes" if keystroke else "no"))
        for index, expected in ((TABLE_LIST, "select * from tab;" + CRLF), (USER_TEMPLATE, USER_SQL + CRLF)):
            what = "item %d, %s mode" % (index, "keystroke" if keystroke else "command")
            data = ui.start(w.rig)
            mark = w.sqlplus.mark()
            data = ui.select_item(w.rig, data, index)
            ui.key(w.rig, data, "Return")
            check_equal(w.sqlplus.wait_lines(mark, 1), [expected], what)
            if keystroke:
                check(w.sqlplus.fronts(mark), what + ": the console window did not come to the front")
            ui.wait_ended(w.rig, what)


def setup_one_console(rig):
    ui.write_template_file(rig, ["console test templates", "■件数", USER_SQL])
    return World(rig)


# Several consoles and faults ---------------------------------------------------------
def case_two_consoles(w):
    """The console whose window is highest in the Z order receives; the
    other nothing. One under wineconsole, one under cmd."""
    try:
        a = console_sqlplus.ConsoleSqlPlus(w.rig, "a")
        b = console_sqlplus.ConsoleSqlPlus(w.rig, "b", via="cmd")
        w.set_ini()
        marks = {a: a.mark(), b: b.mark()}
        for console in (a, b):
            standin.activate(w.rig, console.title)
            w.tovrin("select '%s' from dual;" % console.name)
            # b's first line is its own: nothing of a's delivery reached it.
            check_equal(console.wait_lines(marks[console], 1), ["select '%s' from dual;\r\n" % console.name],
                        "first line read by " + console.name)
        w.marker(a, "select 'a again' from dual")
        check_equal(len(a.lines(marks[a])), 2, "lines read by a (nothing of b's delivery among them)")
    finally:
        end_consoles(w.rig)


def case_console_ends_before_the_typing(w):
    """Keystroke mode: the chosen console's program ends when its window
    comes to the front, before the text is typed; the command prompt it
    was started from stays and reads that console. Nothing is typed there
    (the text, a command, would create a file) nor into the other console;
    the text stays on the clipboard."""
    leak = os.path.join(w.rig.tmp, "leaked.txt")
    try:
        bystander = console_sqlplus.ConsoleSqlPlus(w.rig, "bystander")
        leaving = console_sqlplus.ConsoleSqlPlus(w.rig, "leaving", "--exit-when-in-front", via="cmd /k")
        w.set_ini("active=yes")
        standin.activate(w.rig, leaving.title)
        standin.activate(w.rig, DECOY)
        mark, other_mark, decoy_mark = leaving.mark(), bystander.mark(), w.decoy.mark()
        # Twice: the program's read that was under way when it ended may
        # still take the first line.
        command = ("echo leaked>" + w.rig.win_path(leak) + CRLF) * 2
        w.tovrin(command)
        kinds = [e["event"] for e in leaving.since(mark)]
        check("exiting" in kinds, "the console stand-in did not end (events %r)" % kinds)
        check_equal(leaving.lines(mark), [], "lines read by the leaving stand-in")
        check_equal(standin.get(w.rig)["text"], command + ";" + CRLF, "clipboard afterwards")
        check_equal(bystander.lines(other_mark), [], "lines read by the other console")
        check_no_receipt(w.decoy, decoy_mark)
        w.marker(bystander, "select 'bystander' from dual")
        # By now the command prompt would long have run a typed command.
        check(not os.path.exists(leak), "the text was typed into the command prompt left behind")
    finally:
        end_consoles(w.rig)


def megabyte_text():
    """1,048,576 UTF-16 units in 1,024 numbered lines of 1,024 units."""
    body = ("'ａｂｃ', 'efghijklmnopqrstuvwxyz', " * 32)[:1024 - 33]
    return "".join("insert into t values (%05d, %s);" % (n, body) + CRLF for n in range(1024))


def case_unread_input_and_a_megabyte(w):
    """A console that reads nothing for a while: tovrin queues 1 MiB of text
    (1,048,576 UTF-16 units in 1,024 lines) and ends; once the program
    reads, every line arrives whole and in order."""
    release = os.path.join(w.rig.tmp, "start-reading")
    try:
        slow = console_sqlplus.ConsoleSqlPlus(w.rig, "slow", "--wait-file", w.rig.win_path(release))
        w.set_ini()
        text = megabyte_text()
        check_equal(len(text), 1 << 20, "units of the text")
        mark = slow.mark()
        t0 = time.monotonic()
        w.tovrin(text, timeout=120)
        t1 = time.monotonic()
        check(not any(e["event"] == "reading" for e in slow.since(mark)), "the stand-in read before tovrin ended")
        with open(release, "w"):
            pass
        expected = split_lines(text)
        lines = slow.wait_lines(mark, len(expected), timeout=300)
        print("    tovrin ran %.1f s; the stand-in read the lines in %.1f s" % (t1 - t0, time.monotonic() - t1),
              flush=True)
        check_equal(len(lines), len(expected), "lines read")
        check("".join(lines) == "".join(expected), "the text read differs from the text sent")
    finally:
        end_consoles(w.rig)


def case_console_shared_with_other_programs(w):
    """The console is shared: SQL*Plus runs under cmd, another program holds
    the console attached, and two tovrins type into it at the same time.
    Each statement arrives whole, its lines together."""
    release = os.path.join(w.rig.tmp, "release-console")
    holder_log = os.path.join(w.rig.tmp, "holder.log")
    holder_exe = os.path.join(w.rig.tmp, "holder.exe")
    shutil.copyfile(w.rig.exe(console_sqlplus.EXE), holder_exe)
    try:
        shared = console_sqlplus.ConsoleSqlPlus(w.rig, "shared", via="cmd")
        holder = w.rig.start(holder_exe, "--log", w.rig.win_path(holder_log), "--attach-to",
                             str(shared.ready["pid"]), "--wait-file", w.rig.win_path(release))
        winerig.wait_for(lambda: os.path.isfile(holder_log) and "attached" in open(holder_log).read(), 60,
                         "the other program attached")
        check('"ok":true' in open(holder_log).read(), "the other program could not attach")
        w.set_ini()
        statement = CRLF.join(["select %d," % n for n in range(40)] + ["  1 from dual;"])
        standin.set_text(w.rig, statement)
        mark = shared.mark()
        runs = [w.rig.start(TOVRIN), w.rig.start(TOVRIN)]
        for p in runs:
            p.communicate(timeout=RUN_TIMEOUT)
        expected = split_lines(statement + CRLF)
        lines = shared.wait_lines(mark, 2 * len(expected))
        check_equal(lines, expected + expected, "lines read")
        with open(release, "w"):
            pass
        holder.communicate(timeout=RUN_TIMEOUT)
    finally:
        end_consoles(w.rig)


# A pseudo console ---------------------------------------------------------------
def pseudo_console_text():
    """About 150 KB of numbered lines, Japanese and tabs among them."""
    line = "insert into t values (%05d, '受注ｶﾅ', 'abcdefghijklmnopqrstuvwxyz0123456789',\t42);"
    return "".join(line % n + CRLF for n in range(1800))


def terminal_fronts(console):
    with open(console.terminal_log) as f:
        return f.read().count('"front"')


def case_pseudo_consoles(w):
    """sqlplus.exe in pseudo consoles of two terminal stand-ins, windows of
    Windows Terminal's class that bear their consoles' titles. Each in turn
    is the terminal the user looked at last (below the decoy): it receives,
    in keystroke mode its window comes to the front, and the other terminal
    and the decoy get nothing; a text of about 150 KB arrives whole."""
    try:
        a = console_sqlplus.ConsoleSqlPlus(w.rig, "pty-a", via="terminal")
        b = console_sqlplus.ConsoleSqlPlus(w.rig, "pty-b", via="terminal")
        print("    a pseudo console's window: %d, visible: %s, its root owner %d"
              % (a.ready["window"], a.ready["visible"], a.ready["owner"]), flush=True)
        w.set_ini("active=yes")
        for console, other, text in ((a, b, pseudo_console_text()), (b, a, "select 'b' from dual;" + CRLF)):
            standin.activate(w.rig, console.title)
            standin.activate(w.rig, DECOY)
            mark, other_mark, decoy_mark = console.mark(), other.mark(), w.decoy.mark()
            fronts, other_fronts = terminal_fronts(console), terminal_fronts(other)
            w.tovrin(text, timeout=120)
            expected = split_lines(text)
            lines = console.wait_lines(mark, len(expected), timeout=120)
            check("".join(lines) == "".join(expected), "the text read by %s differs from the text sent" % console.name)
            check(terminal_fronts(console) > fronts, "%s's terminal did not come to the front" % console.name)
            check_equal(terminal_fronts(other), other_fronts, "activations of the other terminal")
            check_equal(other.lines(other_mark), [], "lines read by the other console")
            check_no_receipt(w.decoy, decoy_mark)
    finally:
        end_consoles(w.rig)
        w.rig.kill_processes("terminal_standin.exe")


GROUPS = [
    cases.Group("one console", setup_one_console, cases.named([
        case_tovrin_command_mode, case_tovrin_keystroke_mode, case_japanese_and_control_characters,
        case_console_no, case_window_wins_over_console, case_marlet_templates])),
    cases.Group("several consoles and faults", lambda rig: World(rig, console=False), cases.named([
        case_two_consoles, case_console_ends_before_the_typing, case_unread_input_and_a_megabyte,
        case_console_shared_with_other_programs])),
    cases.Group("pseudo console", lambda rig: World(rig, console=False), cases.named([case_pseudo_consoles])),
]


if __name__ == "__main__":
    sys.exit(cases.main(__doc__, GROUPS, programs=[TOVRIN, ui.MARLET, ui.PROBE, console_sqlplus.EXE, console_sqlplus.TERMINAL,
                                                   standin.STANDIN, standin.TOOL], shots="console"))
