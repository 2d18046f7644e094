"""Fault injection under Wine: another program holding the clipboard, the
template file or the settings file; a second SQL*Plus window with the same
title; the settings file changed between runs; two tovrin started at once.
Each case shows that nothing is lost, nothing is garbled and nothing hangs,
and that no program leaves the clipboard open behind it (clipboard_tool sets
and reads it right after each program has ended, and reads it while marlet
is still waiting in its input box).

    python3 test_faults.py --bin BUILD_DIR [-k NAME_PART] [--only NAME]

test_tovrin.py already holds the clipboard during tovrin's read and closes
SQL*Plus during tovrin's settling wait; those cases are not repeated here.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "rig"))

import cases  # noqa: E402
import marlet_ui as ui  # noqa: E402
import standin  # noqa: E402
import test_tovrin as tt  # noqa: E402
from cases import check, check_equal  # noqa: E402
from test_marlet_window import BUILT_INS  # noqa: E402

CRLF = "\r\n"
TIMEOUT = 60                       # seconds; generous for a loaded machine
EDIT_BOX_TITLE = "SQL 発行"

# A template of the user's own, and the item marlet makes of it.
USER_TEMPLATE_LINES = ["■My count", "select count(*) from 受注m;"]
USER_ITEM = "■My count: select count(*) from 受注m;\r\n"


# Holding things open from another program --------------------------------------
class Held:
    """Another Windows program holding the clipboard ("hold") or a file
    ("lock-file PATH") until release() or the end of the with block."""

    _count = [0]

    def __init__(self, rig, command, *args):
        Held._count[0] += 1
        self.release_file = os.path.join(rig.tmp, "release-%d" % Held._count[0])
        self.process = rig.start(standin.TOOL, command, *args, rig.win_path(self.release_file))
        first = standin.read_line(self.process, TIMEOUT)
        check(first in ("holding", "locked"), "clipboard_tool %s did not get hold: %r" % (command, first))
        self.released = False

    def release(self):
        if self.released:
            return
        self.released = True
        with open(self.release_file, "w"):
            pass
        out, _ = self.process.communicate(timeout=TIMEOUT)
        check(out.decode("utf-8", "replace").split()[-1:] == ["ok"], "the holder did not let go cleanly")

    def __enter__(self):
        return self

    def __exit__(self, exc_type, *exc):
        try:
            self.release()
        except Exception:
            if exc_type is None:
                raise
        return False


def clipboard_usable(rig, what):
    """The clipboard is free again: set and read back by another program."""
    probe_text = "clipboard free after %s" % what
    standin.set_text(rig, probe_text)
    check_equal(standin.get(rig)["text"], probe_text, "clipboard round trip after %s" % what)


def receipts(stand_in, mark):
    return [e for e in stand_in.since(mark) if e["event"] == "recv"]


# marlet, driven through its window ------------------------------------------------
class Marlet:
    """marlet's window in one rig, driven with clicks and keys and read back
    with the window probe (marlet_ui). An input lost on a loaded machine is
    repeated once, where repeating it cannot do anything twice."""

    def __init__(self, rig):
        self.rig = rig
        self.sqlplus = standin.StandIn(rig, "sqlplus")

    def ini(self, value):
        """The settings file with "active" set to `value`; none for None."""
        if value is None:
            self.rig.write_settings_text(None)
        else:
            self.rig.write_settings("active=" + value)

    def template_path(self):
        return self.rig.c_path("vorn3", "marlet.txt")

    def write_templates(self):
        ui.write_template_file(self.rig, USER_TEMPLATE_LINES)
        return self.template_bytes()

    def template_bytes(self):
        with open(self.template_path(), "rb") as f:
            return f.read()

    def start(self):
        return ui.start(self.rig)

    def items(self, data):
        return ui.combo(data)["items"]

    def select(self, data, index):
        """Clicks item `index` (in view) and waits until it is selected."""
        def selected(d):
            return ui.combo(d)["selection"] == index
        ui.click_item(self.rig, data, index)
        try:
            return ui.wait_probe(self.rig, ui.TITLE, selected, "item %d selected" % index, timeout=20)
        except AssertionError:
            ui.click_item(self.rig, data, index)
            return ui.wait_probe(self.rig, ui.TITLE, selected, "item %d selected" % index)

    def send(self, data):
        """Enter in Combo1: runs the send command."""
        ui.key(self.rig, data, "Return")

    def send_and_receive(self, data, mark):
        """Enter in Combo1, and the receipt it brings."""
        self.send(data)
        try:
            return self.sqlplus.wait_recv(mark, 20)
        except AssertionError:
            self.send(data)
            return self.sqlplus.wait_recv(mark, TIMEOUT)

    def edit_box(self, data):
        """Enter in Combo1, and the edit input box once it is in front."""
        self.send(data)
        in_front = lambda d: d["foreground"]  # noqa: E731
        try:
            return ui.wait_probe(self.rig, EDIT_BOX_TITLE, in_front, "the edit box", "#32770", timeout=20)
        except AssertionError:
            self.send(data)
            return ui.wait_probe(self.rig, EDIT_BOX_TITLE, in_front, "the edit box", "#32770")

    def answer_box(self, box):
        """Enter in the input box: OK."""
        ui.key(self.rig, box, "Return")
        if not ui.gone(self.rig, EDIT_BOX_TITLE, 20, "#32770"):
            ui.key(self.rig, box, "Return")
            check(ui.box_gone(self.rig, EDIT_BOX_TITLE), "the input box is still there")

    def ended(self, what, again=None):
        """marlet's window is gone and its process has ended; `again`
        repeats the closing action once if the window stays a while."""
        ui.wait_ended(self.rig, what, again)


def case_clipboard_held_during_clipboard_pass(m):
    """The send command cannot put the template through the clipboard: the
    window closes and nothing is sent; the user's clipboard text and template
    file are intact once the holder lets go."""
    m.ini(None)
    original = m.write_templates()
    standin.set_text(m.rig, "the user's own clipboard text")
    data = m.start()
    user_index = len(BUILT_INS)
    check_equal(m.items(data)[user_index:], [USER_ITEM], "the user's template in the list")
    data = m.select(data, user_index)
    mark = m.sqlplus.mark()
    with Held(m.rig, "hold"):
        m.send(data)
        # The window closes by itself while the clipboard is still held.
        m.ended("the send with the clipboard held", again=lambda: m.send(data))
        # marlet has ended: whatever it posted is queued ahead of the marker.
        # (SQL*Plus may log an activation: it is the window behind marlet's,
        # and takes the front when marlet's window goes.)
        m.sqlplus.confirm_nothing_received(mark)
    check_equal(standin.get(m.rig)["text"], "the user's own clipboard text", "clipboard after the holder let go")
    check(m.template_bytes() == original, "the template file changed")
    clipboard_usable(m.rig, "marlet")


def case_clipboard_held_during_delivery(m):
    """The clipboard is taken while the edit input box is up, after the
    clipboard pass: the delivery cannot write the answer, so it pastes
    nothing (a paste would run the template text still on the clipboard, not
    the user's answer); marlet ends without hanging, and the clipboard keeps
    the text of the clipboard pass, which a later paste receives whole."""
    m.ini(None)
    copy_index = 4                                   # ■テーブルコピー: an edit-kind template
    sql = "create table 受注w as select * from 受注m;"
    data = m.start()
    check(m.items(data)[copy_index].endswith(sql), "item %d is %r" % (copy_index, m.items(data)[copy_index]))
    data = m.select(data, copy_index)
    box = m.edit_box(data)
    # marlet is still running, its clipboard pass done: the clipboard must be
    # closed again and hold exactly the template's SQL text.
    now = standin.get(m.rig)
    check(now["readable"], "the clipboard stays open after marlet's clipboard pass")
    check_equal(now["text"], sql, "clipboard after the clipboard pass")
    mark = m.sqlplus.mark()
    with Held(m.rig, "hold"):
        m.answer_box(box)
        m.ended("the delivery with the clipboard held")
        # marlet has ended: a paste command it posted is queued ahead of the marker.
        m.sqlplus.confirm_nothing_received(mark)
    check_equal(standin.get(m.rig)["text"], sql, "clipboard after the holder let go")
    # Pasting by hand now gives SQL*Plus the whole text.
    mark = m.sqlplus.mark()
    standin.post(m.rig, 201)
    check_equal(m.sqlplus.wait_recv(mark, TIMEOUT)["text"], sql, "text of a later paste")
    clipboard_usable(m.rig, "marlet's delivery")


def case_template_file_locked(m):
    """The template file held open without sharing by another program: marlet
    opens with the eleven built-ins, shows no message, and sends; the file
    is untouched and its templates are back at the next start."""
    m.ini("yes")
    original = m.write_templates()
    with Held(m.rig, "lock-file", "C:\\vorn3\\marlet.txt"):
        # Started means: in front with the focus in Combo1, so no message box
        # is in the way.
        data = m.start()
        check_equal(m.items(data), BUILT_INS, "items with the template file locked")
        data = m.select(data, 3)                     # ■テーブルリスト: select * from tab;
        mark = m.sqlplus.mark()
        recv = m.send_and_receive(data, mark)
        check_equal(recv["text"], "select * from tab;\r\n", "received text")
        # Keystroke mode. Without the settling wait, Wine may not yet show
        # SQL*Plus in front when the keystroke is due (it activates another
        # program's window asynchronously); the delivery then posts the paste
        # command rather than type into another window. Either arrives once.
        check(recv["how"] in ("keystroke", "command"), "way of arrival %r" % recv["how"])
        m.ended("the send")
    check_equal(len(receipts(m.sqlplus, mark)), 1, "receipts")
    check(m.template_bytes() == original, "the template file changed")
    data = m.start()
    check_equal(m.items(data), BUILT_INS + [USER_ITEM], "items once the file is free again")
    ui.key(m.rig, data, "Escape")
    m.ended("Esc", again=lambda: ui.key(m.rig, data, "Escape"))
    clipboard_usable(m.rig, "marlet")


def group_marlet(rig):
    # The ANSI code page 932 for the template file.
    rig.env["LC_ALL"] = "ja_JP.UTF-8"
    return Marlet(rig)


MARLET_CASES = [
    case_clipboard_held_during_clipboard_pass,
    case_clipboard_held_during_delivery,
    case_template_file_locked,
]


# tovrin ---------------------------------------------------------------------------
def confirm_all(rig, stand_ins, marks):
    """Posts the marker command to every window titled "Oracle SQL*Plus"
    (clipboard_tool post-all) and waits until each stand-in has logged it:
    anything a program posted before it has been handled by then. Returns
    the receipts of each stand-in since its mark."""
    standin.tool(rig, "post-all", str(standin.MARKER_COMMAND), standin.TITLE)
    for s, mark in zip(stand_ins, marks):
        s.wait_event(lambda e: e["event"] == "command" and e.get("id") == standin.MARKER_COMMAND,
                     mark, TIMEOUT, "the marker command in %s" % os.path.basename(s.log))
    return [receipts(s, mark) for s, mark in zip(stand_ins, marks)]


def case_settings_changed_between_runs(w):
    """Each run reads the settings anew: alternating values switch the mode
    from one run to the next."""
    for value, how in [("no", "command"), ("yes", "keystroke"), (None, "command"), ("YES", "keystroke"),
                       ("nein", "command")]:
        if value is None:
            w.set_ini(None)
        else:
            w.set_active(value)
        statement = "select '%s' from dual;" % value
        expect = w.expect_command_receipt if how == "command" else w.expect_keystroke_receipt
        try:
            expect(statement, statement + CRLF)
        except AssertionError as e:
            raise AssertionError("after active was changed to %r: %s" % (value, e))
    clipboard_usable(w.rig, "tovrin")


def case_settings_file_locked(w):
    """A settings file held open without sharing by another program cannot
    be read, which reads as no setting: command mode, and the statement is
    delivered. Once it is free, its "yes" counts again."""
    w.set_active("yes")
    with Held(w.rig, "lock-file", "C:\\vorn3\\tovrin.ini"):
        w.expect_command_receipt("select 13 from dual", "select 13 from dual\r\n;\r\n")
    w.expect_keystroke_receipt("select 14 from dual", "select 14 from dual\r\n;\r\n")


def case_two_tovrin_at_once(w):
    """Two tovrin started together: both end, SQL*Plus receives the statement
    once or twice (the second reader may find the clipboard busy, or read the
    first one's prepared text, which prepares to the same), each receipt
    exact; the decoy gets nothing."""
    expected = "select 12 from dual\r\n  from nowhere\r\n;\r\n"
    counts = []
    start, decoy_start = w.sqlplus.mark(), w.decoy.mark()
    for value in ("no", "yes", "no", "yes"):
        w.set_active(value)
        standin.set_text(w.rig, "==== twice\r\nselect 12 from dual\r\n\r\n  from nowhere  ")
        w.decoy_in_front()
        mark, decoy_mark = w.sqlplus.mark(), w.decoy.mark()
        first = w.rig.start(tt.TOVRIN)
        second = w.rig.start(tt.TOVRIN)
        for p in (first, second):
            try:
                p.communicate(timeout=TIMEOUT)
            except Exception:
                raise AssertionError("a tovrin started alongside another did not end")
        # Both have ended: the marker proves their posts were handled.
        got = confirm_all(w.rig, [w.sqlplus], [mark])[0]
        check(1 <= len(got) <= 2, "%d receipts with active=%s" % (len(got), value))
        for recv in got:
            check_equal((recv["readable"], recv["text"]), (True, expected), "a receipt with active=%s" % value)
            check_equal(recv["how"], "command" if value == "no" else "keystroke", "way of arrival")
        tt.check_no_receipt(w.decoy, decoy_mark)
        check_equal(standin.get(w.rig)["text"], expected, "clipboard afterwards")
        counts.append(len(got))
    print("    receipts per pair of runs (command, keystroke, command, keystroke): %r" % counts, flush=True)
    clipboard_usable(w.rig, "two tovrin")
    # Posted messages overtake queued input, so a keystroke could in theory
    # reach its window after the marker: look over the whole case once more.
    late = receipts(w.sqlplus, start)
    check(len(late) <= 2 * len(counts), "%d receipts from %d runs" % (len(late), 2 * len(counts)))
    check(all(r["text"] == expected for r in late), "a garbled receipt: %r" % [r["text"] for r in late])
    tt.check_no_receipt(w.decoy, decoy_start)


def case_second_window_with_same_title(w):
    """Two more windows titled "Oracle SQL*Plus": one of SQL*Plus's class,
    one of another. Each run reaches exactly one window, with the exact
    text; in command mode it is one of SQL*Plus's class (the search by class
    comes first), in keystroke mode the one that was activated by title."""
    twin = standin.StandIn(w.rig, "twin", "--pos", "200", "120")
    other = standin.StandIn(w.rig, "other", "--class", "otherWClass", "--pos", "360", "200")
    windows = [w.sqlplus, twin, other]
    names = ["sqlplus", "twin", "other"]
    starts = [s.mark() for s in windows]
    runs = 0
    for value in ("no", "yes", "no", "yes"):
        w.set_active(value)
        statement = "select '%s' from dual;" % value
        standin.set_text(w.rig, statement)
        w.decoy_in_front()
        marks, decoy_mark = [s.mark() for s in windows], w.decoy.mark()
        w.run_tovrin()
        runs += 1
        got = confirm_all(w.rig, windows, marks)
        reached = [n for n, r in zip(names, got) if r]
        check_equal(sum(len(r) for r in got), 1, "receipts over the three windows (active=%s, %r)" % (value, reached))
        recv = [r for r in got if r][0][0]
        check_equal(recv["text"], statement + CRLF, "received text")
        if value == "no":
            check(reached[0] != "other", "command mode reached the window of another class")
            check_equal(recv["how"], "command", "way of arrival")
        else:
            check_equal(recv["how"], "keystroke", "way of arrival")
        tt.check_no_receipt(w.decoy, decoy_mark)
        print("    active=%s: received by %s" % (value, reached[0]), flush=True)
    clipboard_usable(w.rig, "tovrin")
    # A keystroke could in theory come after the marker (see above).
    check_equal(sum(len(receipts(s, m)) for s, m in zip(windows, starts)), runs, "receipts over the whole case")


TOVRIN_CASES = [
    case_settings_changed_between_runs,
    case_settings_file_locked,
    case_two_tovrin_at_once,
    case_second_window_with_same_title,   # last: its extra windows stay
]

GROUPS = [
    cases.Group("marlet", group_marlet, cases.named(MARLET_CASES)),
    cases.Group("tovrin", tt.World, cases.named(TOVRIN_CASES)),
]


if __name__ == "__main__":
    sys.exit(cases.main(__doc__, GROUPS, programs=[ui.MARLET, tt.TOVRIN, ui.PROBE, standin.STANDIN, standin.TOOL],
                        shots="faults"))
