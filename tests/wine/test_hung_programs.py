"""Other programs that stop answering, under Wine: a clipboard owner that
hangs (one that promised its text and renders it only on demand, and one
whose text is on the clipboard already), and a SQL*Plus that hangs while
the paste is typed. With a hung clipboard owner marlet and tovrin must end
while it is still hung, paste nothing where the clipboard could not be
used, and leave the clipboard as its owner had it. A hung SQL*Plus must get
the text exactly once, when it wakes; marlet and tovrin wait for that,
asleep (marlet out of sight), and end once it has taken the paste.

    python3 test_hung_programs.py --bin BUILD_DIR [-k NAME_PART] [--only NAME]

"Ended while still hung" (and "still running when it woke") is a
condition, not a timing: the hanging program prints (or logs) when it wakes,
and that must not have happened yet when marlet or tovrin is gone (or must
have, while it still runs). The time each program took is printed for the
record.
"""
import os
import select
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "rig"))

import cases  # noqa: E402
import marlet_ui as ui  # noqa: E402
import standin  # noqa: E402
import winerig  # noqa: E402
from cases import check, check_equal  # noqa: E402

TOVRIN = "tovrin/tovrin.exe"
TIMEOUT = 60             # seconds; generous for a loaded machine
HANG_SECONDS = 12        # how long the other program stops answering
HANG_COMMAND = 778       # makes the stand-in hang (tests/rig/sqlplus_standin.cpp)
DECOY = "Decoy"
TABLE_LIST = 3           # ■テーブルリスト: select * from tab;
CRLF = "\r\n"


class HungOwner:
    """clipboard_tool hang-owner / hang-delayed: a clipboard owner that puts
    `text` on the clipboard and then handles no message for HANG_SECONDS;
    once awake it serves the clipboard until released."""

    _count = [0]

    def __init__(self, rig, text, delayed):
        HungOwner._count[0] += 1
        n = HungOwner._count[0]
        self.rig = rig
        source = os.path.join(rig.tmp, "owner-%d.txt" % n)
        with open(source, "w", encoding="utf-8", newline="") as f:
            f.write(text)
        self.release_file = os.path.join(rig.tmp, "owner-release-%d" % n)
        command = "hang-delayed" if delayed else "hang-owner"
        self.process = rig.start(standin.TOOL, command, rig.win_path(source), str(HANG_SECONDS),
                                 rig.win_path(self.release_file))
        first = standin.read_line(self.process, TIMEOUT)
        check_equal(first, "hanging", "clipboard_tool %s" % command)

    def still_hung(self):
        """True while the owner has not printed that it woke."""
        ready, _, _ = select.select([self.process.stdout], [], [], 0)
        return not ready

    def wait_awake(self):
        check_equal(standin.read_line(self.process, TIMEOUT), "awake", "the owner waking")

    def release(self):
        with open(self.release_file, "w"):
            pass
        self.process.communicate(timeout=TIMEOUT)


class World:
    """A stand-in that hangs on request for HANG_SECONDS."""

    def __init__(self, rig):
        rig.env["LC_ALL"] = "ja_JP.UTF-8"
        self.rig = rig
        self.sqlplus = standin.StandIn(rig, "sqlplus", "--hang-ms", str(HANG_SECONDS * 1000))
        self.decoy = standin.StandIn(rig, "decoy", "--class", "decoyWClass", "--title", DECOY, "--pos", "300", "300")

    def ini(self, value):
        """The settings file with "active" set to `value`; none for None."""
        if value is None:
            self.rig.write_settings_text(None)
        else:
            self.rig.write_settings("active=" + value)

    def hang_sqlplus(self):
        """Makes the stand-in stop answering; returns once it has."""
        mark = self.sqlplus.mark()
        standin.post(self.rig, HANG_COMMAND)
        self.sqlplus.wait_event(lambda e: e["event"] == "hang", mark, TIMEOUT, "the stand-in hanging")
        return mark

    def sqlplus_awake(self, mark):
        return any(e["event"] == "awake" for e in self.sqlplus.since(mark))

    def run_tovrin(self):
        started = time.monotonic()
        self.rig.run(TOVRIN, timeout=TIMEOUT)
        return time.monotonic() - started

    def marlet_on(self, index):
        """marlet started, item `index` selected, ready for Return."""
        data = ui.start(self.rig)
        return ui.select_item(self.rig, data, index)

    def send_with_marlet(self, data):
        """Return in Combo1; the seconds until marlet has ended."""
        started = time.monotonic()
        ui.key(self.rig, data, "Return")
        ui.wait_ended(self.rig, "the send")
        return time.monotonic() - started


def report(what, seconds):
    print("    %s: %.1f s" % (what, seconds), flush=True)


# A hung clipboard owner ----------------------------------------------------------
def case_tovrin_reads_from_a_hung_promising_owner(w):
    """The owner promised its text and hangs: tovrin's read fails instead of
    waiting for it, so tovrin ends at once and sends nothing; the owner,
    awake again, still gives its text."""
    w.ini(None)
    mark = w.sqlplus.mark()
    owner = HungOwner(w.rig, "select 'owner' from dual", delayed=True)
    try:
        seconds = w.run_tovrin()
        report("tovrin with a hung promising owner", seconds)
        check(owner.still_hung(), "tovrin ended only after the owner woke (%.1f s)" % seconds)
        w.sqlplus.confirm_nothing_received(mark)
        owner.wait_awake()
        check_equal(standin.get(w.rig)["text"], "select 'owner' from dual", "the clipboard once the owner woke")
    finally:
        owner.release()


def case_marlet_clipboard_pass_with_a_hung_promising_owner(w):
    """marlet's clipboard pass must empty the clipboard, which waits on its
    owner: with the owner hung the pass fails, the window closes and nothing
    is sent; the owner's text stays."""
    w.ini(None)
    data = w.marlet_on(TABLE_LIST)
    mark = w.sqlplus.mark()
    owner = HungOwner(w.rig, "select 'owner' from dual", delayed=True)
    try:
        seconds = w.send_with_marlet(data)
        report("marlet's clipboard pass with a hung promising owner", seconds)
        check(owner.still_hung(), "marlet ended only after the owner woke (%.1f s)" % seconds)
        w.sqlplus.confirm_nothing_received(mark)
        owner.wait_awake()
        check_equal(standin.get(w.rig)["text"], "select 'owner' from dual", "the clipboard once the owner woke")
    finally:
        owner.release()


def case_marlet_delivery_with_a_hung_previous_owner(w):
    """Typed text goes straight to the delivery, whose write must empty the
    clipboard of a hung owner: the write fails, so nothing is pasted (a
    paste would run the owner's text), and marlet ends."""
    w.ini(None)
    data = ui.start(w.rig)
    data = ui.enter_text(w.rig, data, "select 7 from dual", lambda d: ui.combo(d)["edit_text"], "Combo1's field")
    mark = w.sqlplus.mark()
    owner = HungOwner(w.rig, "drop table owner", delayed=False)
    try:
        seconds = w.send_with_marlet(data)
        report("marlet's delivery with a hung previous owner", seconds)
        check(owner.still_hung(), "marlet ended only after the owner woke (%.1f s)" % seconds)
        w.sqlplus.confirm_nothing_received(mark)
        owner.wait_awake()
        check_equal(standin.get(w.rig)["text"], "drop table owner", "the clipboard once the owner woke")
    finally:
        owner.release()


# A hung SQL*Plus in keystroke mode -----------------------------------------------
def expect_one_receipt_after_waking(w, mark, expected):
    recv = w.sqlplus.wait_recv(mark, TIMEOUT + HANG_SECONDS)
    check(w.sqlplus_awake(mark), "the stand-in received the text while it was hung")
    check_equal((recv["how"], recv["text"]), ("command", expected), "the receipt after waking")
    events = w.sqlplus.confirm_nothing_received(w.sqlplus.events().index(recv) + 1)
    check_equal([e for e in events if e["event"] == "activate"], [], "activations after the receipt")


def expect_alive_until_awake(w, mark, alive, what):
    """The program keeps its delivery's turn while its paste is pending: it
    is still running when SQL*Plus wakes."""
    def woke():
        if w.sqlplus_awake(mark):
            return True
        check(alive(), "%s ended while SQL*Plus was still hung, its paste still pending" % what)
        return False
    winerig.wait_for(woke, TIMEOUT + HANG_SECONDS, "SQL*Plus to wake")


def case_tovrin_keystroke_mode_with_a_hung_sqlplus(w):
    """tovrin does not activate or type into a SQL*Plus that does not
    answer (another window is in front): it posts the paste command and
    waits, asleep, until SQL*Plus has taken it. SQL*Plus takes the text once
    when it wakes, tovrin ends then, and the window in front gets nothing."""
    w.ini("yes")
    standin.set_text(w.rig, "select 21 from dual")
    standin.activate(w.rig, DECOY)
    decoy_mark = w.decoy.mark()
    mark = w.hang_sqlplus()
    started = time.monotonic()
    w.rig.start(TOVRIN)
    # Its process, not its wine command: that may return while it runs on.
    running = lambda: bool(w.rig.processes("tovrin.exe"))  # noqa: E731
    winerig.wait_for(running, TIMEOUT, "tovrin.exe running")
    expect_alive_until_awake(w, mark, running, "tovrin")
    expect_one_receipt_after_waking(w, mark, "select 21 from dual" + CRLF + ";" + CRLF)
    winerig.wait_for(lambda: not running(), TIMEOUT, "tovrin.exe to end")
    report("tovrin in keystroke mode with a hung SQL*Plus, until SQL*Plus had taken the paste",
           time.monotonic() - started)
    check_equal([e for e in w.decoy.since(decoy_mark) if e["event"] == "recv"], [], "receipts in the decoy")


def case_marlet_keystroke_mode_with_a_hung_sqlplus(w):
    """The same for marlet: once the paste is handed over its window goes
    out of sight while SQL*Plus is still hung; the template arrives once
    when SQL*Plus wakes, and marlet ends then."""
    w.ini("yes")
    data = w.marlet_on(TABLE_LIST)
    mark = w.hang_sqlplus()
    started = time.monotonic()
    ui.key(w.rig, data, "Return")
    title = ["--title-hex", ui.hex_units(ui.TITLE)]
    winerig.wait_for(lambda: not ui.probe(w.rig, *title).get("visible"), TIMEOUT, "marlet's window out of sight")
    check(not w.sqlplus_awake(mark), "marlet's window went out of sight only after SQL*Plus woke")
    expect_alive_until_awake(w, mark, lambda: bool(ui.marlet_processes(w.rig)), "marlet")
    expect_one_receipt_after_waking(w, mark, "select * from tab;" + CRLF)
    ui.wait_ended(w.rig, "the send")
    report("marlet in keystroke mode with a hung SQL*Plus, until SQL*Plus had taken the paste",
           time.monotonic() - started)


CASES = [
    case_tovrin_reads_from_a_hung_promising_owner,
    case_marlet_clipboard_pass_with_a_hung_promising_owner,
    case_marlet_delivery_with_a_hung_previous_owner,
    case_tovrin_keystroke_mode_with_a_hung_sqlplus,
    case_marlet_keystroke_mode_with_a_hung_sqlplus,
]

GROUPS = [cases.Group("hung programs", World, cases.named(CASES))]


if __name__ == "__main__":
    sys.exit(cases.main(__doc__, GROUPS, programs=[ui.MARLET, TOVRIN, ui.PROBE, standin.STANDIN, standin.TOOL],
                        shots="hung"))
