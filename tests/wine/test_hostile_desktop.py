"""A hostile desktop under Wine: template and settings files of any shape,
clipboard text that the code page cannot hold, a minimised SQL*Plus, two
marlet at once, and a window whose title only begins with SQL*Plus's. Each
case shows that the programs neither crash nor hang, send exactly what they
should, and send nothing where nothing is to be sent.

    python3 test_hostile_desktop.py --bin BUILD_DIR [-k NAME_PART] [--only NAME]
"""
import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "rig"))

import cases  # noqa: E402
import marlet_ui as ui  # noqa: E402
import standin  # noqa: E402
import test_tovrin as tt  # noqa: E402
import winerig  # noqa: E402
from cases import check, check_equal  # noqa: E402
from test_marlet_window import BUILT_INS  # noqa: E402

CRLF = "\r\n"
TIMEOUT = 60
TABLE_LIST = 3                       # ■テーブルリスト: select * from tab;
WORKSHEET = "Oracle SQL*Plus Worksheet"


def receipts(stand_in, mark):
    return [e for e in stand_in.since(mark) if e["event"] == "recv"]


# marlet ---------------------------------------------------------------------------
class MarletWorld:
    def __init__(self, rig):
        self.rig = rig
        self.sqlplus = standin.StandIn(rig, "sqlplus")
        self.templates = rig.c_path("vorn3", "marlet.txt")

    def write(self, data):
        if os.path.isdir(self.templates):
            os.rmdir(self.templates)
        with open(self.templates, "wb") as f:
            f.write(data)


def close_with_escape(rig, data):
    ui.key(rig, data, "Escape")
    ui.wait_ended(rig, "Esc", again=lambda: ui.key(rig, data, "Escape"))


def case_template_file_with_a_broken_character(w):
    """A Shift-JIS lead byte with nothing after it ends a line: the line
    break still counts, so the next header starts its own template, and
    sending that template sends its own text."""
    w.write(b"\x81\xa1A\r\n-- \x82\r\n\x81\xa1B\r\nselect 2 from dual;\r\n\r\n")
    data = ui.start(w.rig)
    items = ui.combo(data)["items"]
    check_equal(len(items), len(BUILT_INS) + 2, "items (%r)" % items[len(BUILT_INS):])
    check(items[-2].startswith("■A: -- ") and items[-2].endswith(CRLF), "the broken template's item %r" % items[-2])
    check_equal(items[-1], "■B: select 2 from dual;" + CRLF, "the next template's item")
    data = ui.select_item(w.rig, data, len(items) - 1)
    mark = w.sqlplus.mark()
    ui.key(w.rig, data, "Return")
    check_equal(w.sqlplus.wait_recv(mark, TIMEOUT)["text"], "select 2 from dual;" + CRLF, "received text")
    ui.wait_ended(w.rig, "the send")


def case_template_files_of_any_shape(w):
    """A template file that is a directory, one full of NUL bytes and one of
    random bytes: the window opens with the built-ins first, and closes."""
    if os.path.exists(w.templates):
        os.remove(w.templates)
    os.makedirs(w.templates)
    shapes = [("a directory", None), ("NUL bytes", b"\0" * 1000000),
              ("random bytes", random.Random(11).randbytes(1000000))]
    for name, data in shapes:
        if data is not None:
            w.write(data)
        window = ui.start(w.rig)
        items = ui.combo(window)["items"]
        check_equal(items[:len(BUILT_INS)], BUILT_INS, "the built-ins with a template file of %s" % name)
        if data is None or data.count(0) == len(data):
            check_equal(len(items), len(BUILT_INS), "items with a template file of %s" % name)
        close_with_escape(w.rig, window)


def case_two_marlet_at_once(w):
    """Two marlet windows: the one in front sends and ends, the other stays
    open until closed, and SQL*Plus receives the text once."""
    w.write(b"")
    first = ui.start(w.rig)
    w.rig.start(ui.MARLET)
    winerig.wait_for(lambda: len(ui.marlet_processes(w.rig)) == 2, TIMEOUT, "two marlet running")
    second = ui.wait_probe(w.rig, ui.TITLE, lambda d: d["foreground"] and d["pid"] != first["pid"],
                           "the second marlet's window in front")
    second = ui.select_item(w.rig, second, TABLE_LIST)
    mark = w.sqlplus.mark()
    ui.key(w.rig, second, "Return")
    check_equal(w.sqlplus.wait_recv(mark, TIMEOUT)["text"], "select * from tab;" + CRLF, "received text")
    winerig.wait_for(lambda: len(ui.marlet_processes(w.rig)) == 1, TIMEOUT, "the sending marlet to end")
    remaining = ui.window(w.rig)
    check_equal(remaining["pid"], first["pid"], "the window left open")
    if not remaining["foreground"]:
        left, top, right, _ = remaining["window_rect"]
        ui.click(w.rig, (left + right) // 2, top + 8)
    close_with_escape(w.rig, ui.wait_probe(w.rig, ui.TITLE, lambda d: d["foreground"], "the first marlet in front"))
    w.sqlplus.confirm_nothing_received(w.sqlplus.events().index(receipts(w.sqlplus, mark)[0]) + 1)


MARLET_CASES = [case_template_file_with_a_broken_character, case_template_files_of_any_shape,
                case_two_marlet_at_once]


# tovrin ---------------------------------------------------------------------------
def case_settings_files_of_any_shape(w):
    """Random bytes select command mode; a UTF-16 file and a file of 10 MB
    with "yes" in its first section select keystroke mode."""
    with open(w.ini_path(), "wb") as f:
        f.write(random.Random(5).randbytes(4096).replace(b"[", b"<"))
    w.expect_command_receipt("select 31 from dual;", "select 31 from dual;" + CRLF)
    with open(w.ini_path(), "wb") as f:
        f.write(("\ufeff[sql plus]" + CRLF + "active=yes" + CRLF).encode("utf-16-le"))
    w.expect_keystroke_receipt("select 32 from dual;", "select 32 from dual;" + CRLF)
    with open(w.ini_path(), "wb") as f:
        f.write(b"[sql plus]\r\nactive=yes\r\n" + b"; padding of the settings file\r\n" * 330000)
    w.expect_keystroke_receipt("select 33 from dual;", "select 33 from dual;" + CRLF)
    w.set_ini(None)


def case_clipboard_text_outside_the_code_page(w):
    """Text that code page 932 cannot hold arrives unit for unit; text put on
    the clipboard in the ANSI code page only arrives converted."""
    w.set_ini(None)
    text = "select '한국어 Ελληνικά \U0001f600' from dual"
    w.expect_command_receipt(text, text + CRLF + ";" + CRLF)
    path = os.path.join(w.rig.tmp, "ansi.txt")
    with open(path, "wb") as f:
        f.write("select '受注' from dual".encode("cp932"))
    standin.tool(w.rig, "set-ansi", w.rig.win_path(path))
    mark = w.sqlplus.mark()
    w.run_tovrin()
    check_equal(w.sqlplus.wait_recv(mark)["text"], "select '受注' from dual" + CRLF + ";" + CRLF, "received text")


def case_minimised_sqlplus_in_keystroke_mode(w):
    """A minimised SQL*Plus is restored, activated and typed into."""
    w.set_active("yes")
    standin.tool(w.rig, "minimize", standin.TITLE)
    w.expect_keystroke_receipt("select 34 from dual;", "select 34 from dual;" + CRLF)
    check(not standin.tool_succeeds(w.rig, "is-minimized", standin.TITLE), "SQL*Plus is still minimised")


def case_ctrl_held_by_the_user(w):
    """The user holds Ctrl down while tovrin would type the paste keystroke
    (Ctrl+Shift+Insert pastes nothing): tovrin waits a moment for it to be
    let go, then posts the paste command instead; the text arrives once."""
    w.set_active("yes")
    w.rig.xdotool("keydown", "ctrl")
    try:
        recv, mark = w.send("select 36 from dual;")
    finally:
        w.rig.xdotool("keyup", "ctrl")
    check_equal(recv["text"], "select 36 from dual;" + CRLF, "received text")
    check_equal(recv["how"], "command", "way of arrival")
    after = mark + 1 + [e["event"] for e in w.sqlplus.since(mark)].index("recv")
    w.sqlplus.confirm_nothing_received(after)


TOVRIN_CASES = [case_settings_files_of_any_shape, case_clipboard_text_outside_the_code_page,
                case_minimised_sqlplus_in_keystroke_mode, case_ctrl_held_by_the_user]


# Only a window whose title begins with SQL*Plus's ------------------------------------
def group_worksheet(rig):
    return standin.StandIn(rig, "worksheet", "--class", "worksheetWClass", "--title", WORKSHEET)


def case_worksheet_window_and_no_sqlplus(worksheet):
    """No SQL*Plus, but a window titled "Oracle SQL*Plus Worksheet": in
    keystroke mode tovrin leaves the text on the clipboard and neither
    activates nor types into that window."""
    rig = worksheet.rig
    rig.write_settings("active=yes")
    standin.set_text(rig, "select 35 from dual")
    mark = worksheet.mark()
    rig.run(tt.TOVRIN, timeout=TIMEOUT)
    standin.post(rig, standin.MARKER_COMMAND, WORKSHEET)
    worksheet.wait_event(lambda e: e["event"] == "command" and e.get("id") == standin.MARKER_COMMAND, mark,
                         TIMEOUT, "the marker command")
    check_equal([e["event"] for e in worksheet.since(mark) if e["event"] in ("recv", "activate")], [],
                "what reached the Worksheet window")
    check_equal(standin.get(rig)["text"], "select 35 from dual" + CRLF + ";" + CRLF, "clipboard afterwards")


GROUPS = [
    cases.Group("marlet", MarletWorld, cases.named(MARLET_CASES)),
    cases.Group("tovrin", tt.World, cases.named(TOVRIN_CASES)),
    cases.Group("Worksheet window", group_worksheet, cases.named([case_worksheet_window_and_no_sqlplus])),
]


if __name__ == "__main__":
    sys.exit(cases.main(__doc__, GROUPS, programs=[ui.MARLET, tt.TOVRIN, ui.PROBE, standin.STANDIN, standin.TOOL],
                        shots="hostile"))
