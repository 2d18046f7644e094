"""End-to-end tests of tovrin.exe under Wine, against the SQL*Plus stand-in.

    python3 test_tovrin.py --bin BUILD_DIR [-k NAME_PART] [--only NAME]

Each group of cases shares one Wine rig (prefix, display, virtual desktop).
Receipts are read from the stand-in's event log, the clipboard through
clipboard_tool, and every run of tovrin must end by itself (a time-out here
means a hang, or a message box nobody can answer).

Most groups also run a decoy window (a second stand-in with another title)
and bring it to the front before tovrin runs: command mode must leave it
there, keystroke mode must take SQL*Plus to the front (the stand-in logs the
activation) and must never type into the decoy.
"""
import hashlib
import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "rig"))

import cases  # noqa: E402
import standin  # noqa: E402
import winerig  # noqa: E402
from cases import check, check_equal  # noqa: E402

CRLF = "\r\n"
TOVRIN = "tovrin/tovrin.exe"
DECOY = "Decoy"
RUN_TIMEOUT = 30          # seconds; tovrin takes about one second at most
durations = []


class World:
    """One rig with the stand-in (optionally of another class) and a decoy."""

    def __init__(self, rig, sqlplus_class=None, decoy=True):
        self.rig = rig
        options = ["--class", sqlplus_class] if sqlplus_class else []
        self.sqlplus = standin.StandIn(rig, "sqlplus", *options)
        self.decoy = None
        if decoy:
            self.decoy = standin.StandIn(rig, "decoy", "--class", "decoyWClass", "--title", DECOY,
                                         "--pos", "300", "300")

    # Settings ------------------------------------------------------------
    def ini_path(self):
        return self.rig.settings_path()

    def set_ini(self, text):
        """Writes c:\\vorn3\\tovrin.ini (ASCII), or removes it for None."""
        self.rig.write_settings_text(text)

    def set_active(self, value):
        self.rig.write_settings("active=" + value)

    # Runs ----------------------------------------------------------------
    def decoy_in_front(self):
        standin.activate(self.rig, DECOY)

    def run_tovrin(self, timeout=RUN_TIMEOUT):
        _, _, _, seconds = self.rig.run(TOVRIN, timeout=timeout)
        durations.append(seconds)
        return seconds

    def send(self, clipboard_text, timeout=RUN_TIMEOUT):
        """Puts the text on the clipboard, runs tovrin, returns the receipt."""
        standin.set_text(self.rig, clipboard_text)
        mark = self.sqlplus.mark()
        self.run_tovrin(timeout)
        return self.sqlplus.wait_recv(mark), mark

    def expect_command_receipt(self, clipboard_text, expected):
        """Command mode: the text arrives by command, the decoy stays in front
        (neither SQL*Plus nor a window of tovrin came forward)."""
        self.decoy_in_front()
        recv, mark = self.send(clipboard_text)
        check_equal(recv["text"], expected, "received text")
        check_equal(recv["how"], "command", "way of arrival")
        check_equal(self.sqlplus.activations(mark), [], "activations of SQL*Plus in command mode")
        check(standin.is_front(self.rig, DECOY), "the decoy is no longer in front after command mode")
        return recv

    def expect_keystroke_receipt(self, clipboard_text, expected):
        """Keystroke mode: SQL*Plus is brought forward, held there for the
        settling second, then the paste keystroke arrives."""
        self.decoy_in_front()
        decoy_mark = self.decoy.mark()
        recv, mark = self.send(clipboard_text)
        check_equal(recv["text"], expected, "received text")
        check_equal(recv["how"], "keystroke", "way of arrival")
        activations = [e for e in self.sqlplus.since(mark) if e["event"] == "activate" and e["t"] <= recv["t"]]
        check(activations, "SQL*Plus was not activated before the keystroke")
        gap = recv["t"] - activations[0]["t"]
        check(gap >= 0.9, "only %.3f s between the first activation and the keystroke" % gap)
        check_no_receipt(self.decoy, decoy_mark)
        return recv

    def expect_nothing_sent(self, keystroke_mode):
        """Runs tovrin on the clipboard as it is and checks that nothing was
        sent, SQL*Plus was not touched and the clipboard did not change."""
        self.decoy_in_front()
        before = standin.get(self.rig)
        mark = self.sqlplus.mark()
        self.run_tovrin()
        # tovrin has ended: anything it posted is in the stand-in's queue
        # ahead of the marker, and the clipboard is final.
        events = self.sqlplus.confirm_nothing_received(mark)
        check_equal([e for e in events if e["event"] == "activate"], [],
                    "activations of SQL*Plus (keystroke mode %s)" % keystroke_mode)
        check_equal(standin.get(self.rig), before, "clipboard after tovrin")


def check_no_receipt(stand_in, mark):
    got = [e for e in stand_in.since(mark) if e["event"] == "recv"]
    check(not got, "the decoy window received %r" % (got[0]["text"] if got else None))


# Statements and their shapes --------------------------------------------
def case_one_line_without_terminator(w):
    w.set_ini(None)
    recv = w.expect_command_receipt("select * from dual", "select * from dual" + CRLF + ";" + CRLF)
    check_equal(recv["units"], len("select * from dual\r\n;\r\n"), "units received")
    check_equal(standin.get(w.rig)["text"], "select * from dual" + CRLF + ";" + CRLF, "clipboard afterwards")


def case_terminated_statements_get_no_extra_line(w):
    w.set_ini(None)
    w.expect_command_receipt("delete from t;", "delete from t;" + CRLF)
    block = CRLF.join(["begin", "  null;", "end;", "/"])
    w.expect_command_receipt(block, block + CRLF)


def case_separator_and_blank_lines(w):
    w.set_ini(None)
    raw = CRLF.join(["==== part 1", "  select a  ", "", "     ", " ==== kept", "from t   ", "==", "", ""])
    w.expect_command_receipt(raw, "select a" + CRLF + " ==== kept" + CRLF + "from t" + CRLF + ";" + CRLF)


def case_lone_line_feeds_do_not_split(w):
    w.set_ini(None)
    w.expect_command_receipt("select a\nfrom t\n", "select a\nfrom t\n" + CRLF + ";" + CRLF)


def case_japanese_arrives_exactly(w):
    w.set_ini(None)
    raw = "select 氏名, 'ｶﾀｶﾅ' as かな\r\n  from 社員 -- 営業部\r\n where 名前 like '𠮷%'　"
    expected = "select 氏名, 'ｶﾀｶﾅ' as かな\r\n  from 社員 -- 営業部\r\n where 名前 like '𠮷%'　\r\n;\r\n"
    w.expect_command_receipt(raw, expected)
    check_equal(standin.get(w.rig)["text"], expected, "clipboard afterwards")
    w.set_active("yes")
    w.expect_keystroke_receipt(raw, expected)


# Lines SQL*Plus would drop or act on ----------------------------------------
LINE_LIMIT = 2499  # bytes of UTF-8


def tokens(text):
    """The SQL tokens of a text without literals or comments: runs of
    characters up to white space or a comma, and each comma."""
    return re.findall(r"[^\s,]+|,", text)


def case_long_in_list_is_broken_where_sql_allows(w):
    """A copied delete with an IN list of 1,600 ids on one line (8.5 KB):
    SQL*Plus would drop the line and delete every row. It arrives in lines
    that SQL*Plus takes, with the same tokens."""
    w.set_ini(None)
    in_list = "where id in (" + ", ".join(str(i) for i in range(1, 1601)) + ")"
    copied = "delete from orders" + CRLF + in_list
    w.decoy_in_front()
    recv, _ = w.send(copied)
    lines = recv["text"].split(CRLF)
    check_equal(lines[-1], "", "the text's end")
    lines = lines[:-1]
    longest = max(len(line.encode("utf-8")) for line in lines)
    print("    the %d-byte IN list line arrived as %d lines in all, the longest %d bytes"
          % (len(in_list.encode("utf-8")), len(lines), longest), flush=True)
    check(longest <= LINE_LIMIT, "a line of %d bytes arrived" % longest)
    check_equal(lines[0], "delete from orders", "first line")
    check_equal(lines[-1], ";", "last line")
    check(len(lines) > 3, "the IN list was not broken: %d lines" % len(lines))
    check_equal(tokens(recv["text"]), tokens(copied + CRLF + ";"), "tokens received")
    check(all(not line.rstrip().endswith(";") for line in lines[:-1]), "a line before the last ends with \";\"")


def case_literal_too_long_is_not_pasted(w):
    """A literal of 3,000 characters cannot be broken: nothing is pasted and
    the user's copy stays on the clipboard, in both modes."""
    standin_text = "insert into notes values (1, '" + "x" * 3000 + "')"
    for keystroke_mode in (False, True):
        w.set_active("yes" if keystroke_mode else "no")
        standin.set_text(w.rig, standin_text)
        w.expect_nothing_sent(keystroke_mode)
        check_equal(standin.get(w.rig)["text"], standin_text, "clipboard after tovrin")


# Delivery modes -----------------------------------------------------------
def case_command_mode_settings(w):
    statement = "select 1 from dual;"
    settings = [
        None,
        "[sql plus]\r\nactive=y\r\n",
        "[sql plus]\r\nactive=true\r\n",
        "[sql plus]\r\nactive=1\r\n",
        "[sql plus]\r\nactive=\r\n",
        "[sql plus]\r\nactive=yes please\r\n",
        "[other]\r\nactive=yes\r\n",
        "[sql plus]\r\npassive=yes\r\n",
    ]
    for ini in settings:
        w.set_ini(ini)
        try:
            w.expect_command_receipt(statement, statement + CRLF)
        except AssertionError as e:
            raise AssertionError("with settings %r: %s" % (ini, e))


def case_keystroke_mode_settings(w):
    statement = "select 2 from dual;"
    for value in ["yes", "YES", "  Yes  ", '"  yEs  "']:
        w.set_active(value)
        try:
            w.expect_keystroke_receipt(statement, statement + CRLF)
        except AssertionError as e:
            raise AssertionError("with active=%r: %s" % (value, e))


# Nothing to send ------------------------------------------------------------
def case_nothing_to_send(w):
    """An empty clipboard, an empty text, a picture only, and only separator
    and blank lines: nothing sent, the clipboard untouched, in both modes."""
    fillers = [
        ("empty clipboard", lambda: standin.empty(w.rig)),
        ("empty text", lambda: standin.set_text(w.rig, "")),
        ("picture only", lambda: standin.set_bitmap(w.rig)),
        ("separators and blank lines",
         lambda: standin.set_text(w.rig, "==== a\r\n\r\n    \r\n==\r\n=====b  \r\n")),
    ]
    for keystroke_mode in (False, True):
        w.set_active("yes" if keystroke_mode else "no")
        for what, fill in fillers:
            fill()
            try:
                w.expect_nothing_sent(keystroke_mode)
            except AssertionError as e:
                raise AssertionError("%s: %s" % (what, e))


def case_clipboard_held_by_another_program(w):
    w.set_ini(None)
    standin.set_text(w.rig, "select 3 from dual")
    release = os.path.join(w.rig.tmp, "release-clipboard")
    holder = w.rig.start(standin.TOOL, "hold", w.rig.win_path(release))
    try:
        check_equal(standin.read_line(holder), "holding", "clipboard holder")
        mark = w.sqlplus.mark()
        w.run_tovrin()
        w.sqlplus.confirm_nothing_received(mark)
    finally:
        with open(release, "w"):
            pass
        holder.communicate(timeout=60)
    check_equal(standin.get(w.rig)["text"], "select 3 from dual", "clipboard after the holder let go")


def case_two_tovrins_at_once_each_text_once_in_order(w):
    """The user copies one statement, presses the shortcut key, copies
    another and presses again while the first tovrin still holds SQL*Plus
    in front: each statement arrives once, the first first, and the
    clipboard ends with the second. Whether the second really started
    before the first ended depends on the machine's pace: up to three
    rounds, until one did."""
    w.set_active("yes")
    for round_ in range(3):
        w.decoy_in_front()
        first, second = "select 'first' from t%d;" % round_, "select 'second' from t%d;" % round_
        standin.set_text(w.rig, first)
        mark = w.sqlplus.mark()
        one = w.rig.start(TOVRIN)
        # SQL*Plus activated: the first has its turn and its text on the
        # clipboard, and holds SQL*Plus in front for a second.
        w.sqlplus.wait_event(lambda e: e["event"] == "activate", mark, RUN_TIMEOUT, "the first activation")
        standin.set_text(w.rig, second)
        overlapped = bool(w.rig.processes("tovrin.exe"))
        two = w.rig.start(TOVRIN)
        for p in (one, two):
            p.communicate(timeout=RUN_TIMEOUT)
        w.sqlplus.wait_event(lambda e: e["event"] == "recv" and e["text"] == second + CRLF, mark, RUN_TIMEOUT,
                             "the second text")
        w.sqlplus.confirm_nothing_received(len(w.sqlplus.events()))
        received = [(e["text"], e["how"]) for e in w.sqlplus.since(mark) if e["event"] == "recv"]
        check_equal(received, [(first + CRLF, "keystroke"), (second + CRLF, "keystroke")], "receipts")
        check_equal(standin.get(w.rig)["text"], second + CRLF, "clipboard afterwards")
        print("    round %d: the second started while the first was %s"
              % (round_ + 1, "still running" if overlapped else "gone"), flush=True)
        if overlapped:
            break


STANDARD = [
    case_one_line_without_terminator,
    case_terminated_statements_get_no_extra_line,
    case_separator_and_blank_lines,
    case_lone_line_feeds_do_not_split,
    case_japanese_arrives_exactly,
    case_long_in_list_is_broken_where_sql_allows,
    case_literal_too_long_is_not_pasted,
    case_command_mode_settings,
    case_keystroke_mode_settings,
    case_nothing_to_send,
    case_clipboard_held_by_another_program,
    case_two_tovrins_at_once_each_text_once_in_order,
]


# Another class with the exact title, then no SQL*Plus at all ------------------
def case_other_class_is_served(w):
    w.set_ini(None)
    w.expect_command_receipt("select 4 from dual", "select 4 from dual\r\n;\r\n")
    w.set_active("yes")
    w.expect_keystroke_receipt("select 5 from dual;", "select 5 from dual;\r\n")


def case_no_sqlplus_running(w):
    w.sqlplus.close()
    for ini in (None, "[sql plus]\r\nactive=yes\r\n"):
        w.set_ini(ini)
        decoy_mark = w.decoy.mark()
        standin.set_text(w.rig, "==== x\r\nselect 6\r\n  from dual  ")
        w.run_tovrin()
        check_equal(standin.get(w.rig)["text"], "select 6\r\n  from dual\r\n;\r\n", "clipboard afterwards")
        check_no_receipt(w.decoy, decoy_mark)


def group_other_class(rig):
    return World(rig, sqlplus_class="SQLPLUS_OTHER")


OTHER_CLASS = [case_other_class_is_served, case_no_sqlplus_running]


# Bad input ----------------------------------------------------------------------
def case_huge_clipboard(w):
    """50 MB of clipboard (25 million UTF-16 units): prepared and sent whole."""
    w.set_ini(None)
    line = "insert into t values (12345, 'abcdefghijklmnopqrstuvwxyz');  " + CRLF   # 64 units
    separator = "== " + "-" * 59 + CRLF                                            # 64 units
    block = line * 15 + separator
    count = 25 * 1000 * 1000 // len(block)
    raw = block * count
    kept = line.replace(";  \r\n", ";\r\n")
    expected = (kept * 15) * count
    standin.set_text(w.rig, raw)
    mark = w.sqlplus.mark()
    seconds = w.run_tovrin(timeout=300)
    recv = w.sqlplus.wait_recv(mark, timeout=300)
    print("    %d units on the clipboard: tovrin ran %.1f s" % (len(raw), seconds), flush=True)
    check_equal(recv["units"], len(expected), "units received")
    check(hashlib.sha1(recv["text"].encode("utf-8")).digest() == hashlib.sha1(expected.encode("utf-8")).digest(),
          "the received text differs from the prepared text")


def case_nul_in_text(w):
    """A NUL ends the clipboard's text, as it does for every reader of it."""
    w.set_ini(None)
    standin.set_units(w.rig, "select 7 from dual\0 where nothing\r\nfollows;")
    mark = w.sqlplus.mark()
    w.run_tovrin()
    recv = w.sqlplus.wait_recv(mark)
    check_equal(recv["text"], "select 7 from dual\r\n;\r\n", "received text")


def case_lone_surrogates(w):
    """Lone surrogates are passed on unit for unit, neither dropped nor
    replaced."""
    w.set_ini(None)
    raw = "select '\ud800' from dual\r\nwhere a = '\udc00b' \udbff"
    expected = "select '\ud800' from dual\r\nwhere a = '\udc00b' \udbff\r\n;\r\n"
    standin.set_units(w.rig, raw)
    mark = w.sqlplus.mark()
    w.run_tovrin()
    recv = w.sqlplus.wait_recv(mark)
    check_equal(recv["text"], expected, "received text")
    check_equal(standin.get(w.rig)["text"], expected, "clipboard afterwards")


def case_settings_file_is_a_directory(w):
    """An unreadable settings file reads as no setting: command mode."""
    w.set_ini(None)
    os.makedirs(w.ini_path())
    w.expect_command_receipt("select 8 from dual", "select 8 from dual\r\n;\r\n")
    w.set_ini(None)


def case_settings_value_of_10000_characters(w):
    """Only the first 199 characters of the value count: "yes" followed by
    9,997 more letters is not "yes"; "yes" padded with spaces inside quotes
    is, once the cut value is trimmed."""
    w.set_active("yes" + "x" * 9997)
    w.expect_command_receipt("select 9 from dual;", "select 9 from dual;\r\n")
    w.set_active('"yes' + " " * 9996 + '"')
    w.expect_keystroke_receipt("select 10 from dual;", "select 10 from dual;\r\n")


def case_sqlplus_closes_during_settling_wait(w):
    """The window goes away while tovrin keeps it in front: tovrin ends,
    types into nothing else, and the clipboard holds the statement."""
    w.sqlplus.close()
    closing = standin.StandIn(w.rig, "closing", "--close-after-activations", "1", "--close-delay-ms", "400")
    w.set_active("yes")
    w.decoy_in_front()
    decoy_mark = w.decoy.mark()
    standin.set_text(w.rig, "select 11 from dual")
    w.run_tovrin()
    events = closing.events()
    kinds = [e["event"] for e in events]
    check("closing" in kinds, "the stand-in did not close (events %r)" % kinds)
    # No receipt and a close means the window went before the paste: the
    # close came while tovrin was holding it in front.
    first = next(e["t"] for e in events[kinds.index("ready"):] if e["event"] == "activate")
    closed = next(e["t"] for e in events if e["event"] == "closing")
    print("    the stand-in closed %.2f s after tovrin activated it" % (closed - first), flush=True)
    check(not any(e["event"] == "recv" for e in events), "the closing stand-in received text")
    check_no_receipt(w.decoy, decoy_mark)
    check_equal(standin.get(w.rig)["text"], "select 11 from dual\r\n;\r\n", "clipboard afterwards")


BAD_INPUT = [
    case_nul_in_text,
    case_lone_surrogates,
    case_settings_file_is_a_directory,
    case_settings_value_of_10000_characters,
    case_huge_clipboard,
    case_sqlplus_closes_during_settling_wait,
]

GROUPS = [
    cases.Group("standard stand-in", World, cases.named(STANDARD)),
    cases.Group("stand-in of another class", group_other_class, cases.named(OTHER_CLASS)),
    cases.Group("bad input", World, cases.named(BAD_INPUT)),
]


def print_durations():
    if durations:
        winerig.log("tovrin ran %d times, longest run %.2f s (wine start included)" % (len(durations), max(durations)))


if __name__ == "__main__":
    sys.exit(cases.main(__doc__, GROUPS, programs=[TOVRIN, standin.STANDIN, standin.TOOL], shots="tovrin",
                        epilogue=print_durations))
