"""End-to-end tests of marlet.exe's send command under Wine, driven the way
a person drives it (xdotool clicks, double-clicks and key presses on the
virtual display), against the SQL*Plus stand-in.

    python3 test_marlet_send.py --bin BUILD_DIR [-k NAME_PART] [--only NAME]

Each group shares one Wine rig with one stand-in and one settings file: in
command mode (the shipped sample tovrin.ini, active=no) the text must
arrive through the paste command, in keystroke mode (active=yes) through
Shift+Insert right after SQL*Plus was activated. The template file is
written in Shift-JIS and holds a user template of more than 1,000
characters, so that it is split into continuation pieces.

For every send the test checks the exact text the stand-in received, the
way it arrived, that it arrived once, and that marlet ended. (In keystroke
mode a text may come by the paste command when SQL*Plus, though activated,
is not yet in front at the moment of the keystroke: the delivery does not
type into another window. Each such send is noted, and at least one send of
the group must come by keystroke.) Where nothing
may be sent, a marker command posted to the stand-in afterwards must arrive
with no receipt before it. In keystroke mode the time from SQL*Plus's
activation to the keystroke is printed (marlet has no settling wait).
"""
import os
import shutil
import statistics
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "rig"))

import cases  # noqa: E402
import marlet_ui as ui  # noqa: E402
import standin  # noqa: E402
import winerig  # noqa: E402
from cases import check, check_equal  # noqa: E402

CRLF = "\r\n"
TIMEOUT = ui.TIMEOUT
# marlet hands over without the one-second settling wait; the keystroke
# should follow the activation within milliseconds. Asserted only loosely.
KEYSTROKE_GAP_BOUND = 0.9  # seconds
keystroke_gaps = []

# Built-in items, by index in Combo1.
COMMIT, LAYOUT, TABLE_LIST, TABLE_DROP = 0, 2, 3, 6
BUILT_IN_COUNT = 11

COMMIT_TITLE = "コミット or ロールバック"
COMMIT_TEXT = "トランザクションをコミットしますか?\nはい = commit、いいえ = rollback、ｷｬﾝｾﾙ = なにもしない"
LAYOUT_TITLE = "テーブルレイアウト"
LAYOUT_PROMPT = "テーブル名を入力して下さい。"
EDIT_TITLE = "SQL 発行"
EDIT_PROMPT = "SQL を編集入力して下さい。"


# The template file ---------------------------------------------------------
def long_template_lines():
    """A select over 40 columns, about 1,500 characters: one head item and
    two continuation pieces. Its header carries the record-select label,
    which must not count when a continuation piece is picked."""
    lines = ["select 受注番号,"]
    for n in range(1, 41):
        lines.append("       明細項目%02d as 項目_%02d_の値、%s," % (n, n, "ｶﾅ" if n % 2 else "かな"))
    lines.append("       最終更新日")
    lines.append("  from 受注明細m")
    lines.append(" where 受注日 >= trunc(sysdate, 'MM')")
    lines.append(" order by 受注番号;")
    return lines


LONG_LABEL = "■レコード参照: "
LONG_SQL = CRLF.join(long_template_lines()) + CRLF
TEMPLATE_FILE = [
    "marlet send test templates",
    "■レコード参照",
] + [line + "   " if i % 7 == 3 else line for i, line in enumerate(long_template_lines())] + [
    "",
    "== a separator between templates",
    "■件数",
    "select count(*) from 受注m;",
]
LONG_INDEX = BUILT_IN_COUNT       # the long template's head item


def long_template_items():
    entry = LONG_LABEL + LONG_SQL
    pieces = [entry[i:i + 500] for i in range(0, len(entry), 500)]
    return [pieces[0]] + ["   " + p for p in pieces[1:]]


class World:
    """One rig, the stand-in, the settings file and the template file."""

    def __init__(self, rig, keystroke):
        self.rig = rig
        self.keystroke = keystroke
        if keystroke:
            rig.write_settings("active=yes")
        else:
            shutil.copyfile(os.path.join(winerig.REPO, "marlet", "sample", "tovrin.ini"), rig.settings_path())
        ui.write_template_file(rig, TEMPLATE_FILE)
        self.sqlplus = standin.StandIn(rig, "sqlplus")
        self.ways = []  # how each text arrived, in keystroke mode

    def start(self):
        """Starts marlet; returns (its window, the stand-in's log mark)."""
        data = ui.start(self.rig)
        return data, self.sqlplus.mark()

    def expect_sent(self, mark, expected, what):
        """The stand-in receives `expected` once, in this group's way, and
        marlet ends."""
        recv = self.sqlplus.wait_recv(mark, timeout=TIMEOUT)
        check_equal(recv["text"], expected, what + ": received text")
        if not self.keystroke:
            check_equal(recv["how"], "command", what + ": way of arrival")
        else:
            # SQL*Plus is activated first. Where it is not yet in front when
            # the keystroke is due (its process slow to take the activation),
            # the delivery posts the paste command rather than type into
            # another window; the group as a whole must show keystrokes.
            activations = [e for e in self.sqlplus.activations(mark) if e["t"] <= recv["t"]]
            check(activations, what + ": SQL*Plus was not activated before the text arrived")
            self.ways.append(recv["how"])
            if recv["how"] == "keystroke":
                gap = recv["t"] - activations[0]["t"]
                keystroke_gaps.append(gap)
                print("    keystroke %.1f ms after the activation" % (gap * 1000), flush=True)
                check(gap < KEYSTROKE_GAP_BOUND,
                      "%s: the keystroke came %.3f s after the activation" % (what, gap))
            else:
                check_equal(recv["how"], "command", what + ": way of arrival")
                print("    note: SQL*Plus was activated, but the text came by the paste command", flush=True)
        ui.wait_ended(self.rig, what)
        # marlet has ended: anything more it sent is ahead of the marker.
        standin.post(self.rig, standin.MARKER_COMMAND)
        self.sqlplus.wait_event(lambda e: e["event"] == "command" and e.get("id") == standin.MARKER_COMMAND,
                                mark, TIMEOUT, "the marker command")
        receipts = [e for e in self.sqlplus.since(mark) if e["event"] == "recv"]
        check_equal(len(receipts), 1, what + ": number of receipts")
        return recv

    def expect_nothing_sent(self, mark, what):
        try:
            self.sqlplus.confirm_nothing_received(mark, timeout=TIMEOUT)
        except AssertionError as e:
            raise AssertionError("%s: %s" % (what, e))


# Answering the boxes --------------------------------------------------------------
def open_box(w, index, title):
    """Starts marlet, selects item `index` with a click, presses Enter and
    waits for the box titled `title`; returns (box, mark)."""
    data, mark = w.start()
    data = ui.select_item(w.rig, data, index)
    ui.key(w.rig, data, "Return")
    return ui.wait_box(w.rig, title), mark


def input_box(w, index, title, prompt, default):
    """Opens the input box of item `index` and checks its prompt and its
    default text, all of it selected for overtyping."""
    box, mark = open_box(w, index, title)
    texts = ui.texts(box)
    check_equal(texts.get(ui.INPUT_BOX_PROMPT), prompt, "prompt of the box %r" % title)
    check_equal(texts.get(ui.INPUT_BOX_EDIT), default, "default answer in the box %r" % title)
    check_equal(box["focus"].get("id"), ui.INPUT_BOX_EDIT, "focus in the box %r" % title)
    return box, mark


def answer(w, box, typed):
    """Overtypes the selected default answer (or deletes it, for ""), waits
    until the edit field shows it and confirms with Enter."""
    box = ui.enter_text(w.rig, box, typed, lambda d: ui.texts(d).get(ui.INPUT_BOX_EDIT),
                        "the answer field of the box %r" % box["title"], window_class="#32770")
    ui.key(w.rig, box, "Return")


def commit_box(w):
    box, mark = open_box(w, COMMIT, COMMIT_TITLE)
    check_equal(ui.texts(box).get(0xFFFF), COMMIT_TEXT, "question of the commit box")
    for id_ in (ui.IDYES, ui.IDNO, ui.IDCANCEL):
        ui.child(box, id_)
    return box, mark


# Cases ----------------------------------------------------------------------------
def case_table_list(w):
    """Click on the table-list template, Enter: sent with no question."""
    data, mark = w.start()
    data = ui.select_item(w.rig, data, TABLE_LIST)
    check_equal(ui.combo(data)["edit_text"], "■テーブルリスト: select * from tab;", "edit field after the click")
    ui.key(w.rig, data, "Return")
    w.expect_sent(mark, "select * from tab;" + CRLF, "table list")


def case_table_list_double_click(w):
    """A double-click on the table-list template sends it, once."""
    data, mark = w.start()
    ui.click_item(w.rig, data, TABLE_LIST, double=True)
    w.expect_sent(mark, "select * from tab;" + CRLF, "double-click on the table list")


def case_commit_yes(w):
    box, mark = commit_box(w)
    ui.click_child(w.rig, box, ui.IDYES)
    w.expect_sent(mark, "commit;" + CRLF, "commit, Yes")


def case_commit_no(w):
    box, mark = commit_box(w)
    ui.click_child(w.rig, box, ui.IDNO)
    w.expect_sent(mark, "rollback;" + CRLF, "commit, No")


def case_commit_cancel(w):
    """Cancel (Esc in the box) hands over the empty text."""
    box, mark = commit_box(w)
    ui.key(w.rig, box, "Escape")
    w.expect_sent(mark, "", "commit, Cancel")


def case_layout_default(w):
    box, mark = input_box(w, LAYOUT, LAYOUT_TITLE, LAYOUT_PROMPT, "受注m")
    ui.key(w.rig, box, "Return")
    w.expect_sent(mark, "describe 受注m;" + CRLF, "table layout, default answer")


def case_layout_trimmed(w):
    box, mark = input_box(w, LAYOUT, LAYOUT_TITLE, LAYOUT_PROMPT, "受注m")
    answer(w, box, "  EMP  ")
    w.expect_sent(mark, "describe EMP;" + CRLF, "table layout, '  EMP  '")


def case_edit_answer(w):
    """The edited answer is sent with ';' added directly to its end."""
    box, mark = input_box(w, TABLE_DROP, EDIT_TITLE, EDIT_PROMPT, "drop table/view ダミー;")
    answer(w, box, " drop table work_1 ")
    w.expect_sent(mark, "drop table work_1;" + CRLF, "edit kind, edited answer")


def case_edit_cleared(w):
    box, mark = input_box(w, TABLE_DROP, EDIT_TITLE, EDIT_PROMPT, "drop table/view ダミー;")
    answer(w, box, "")
    w.expect_sent(mark, "", "edit kind, cleared answer")


def type_into_combo(w, data, text):
    return ui.enter_text(w.rig, data, text, lambda d: ui.combo(d)["edit_text"], "Combo1's edit field")


def case_typed_without_terminator(w):
    data, mark = w.start()
    data = type_into_combo(w, data, "  select 1 from dual  ")
    check_equal(ui.combo(data)["selection"], -1, "selection after typing")
    ui.key(w.rig, data, "Return")
    w.expect_sent(mark, "select 1 from dual;" + CRLF, "typed text without terminator")


def case_typed_with_terminator(w):
    data, mark = w.start()
    data = type_into_combo(w, data, "select 2 from dual;")
    ui.key(w.rig, data, "Return")
    w.expect_sent(mark, "select 2 from dual;" + CRLF, "typed text with terminator")


def case_typed_spaces(w):
    """Spaces only: Enter does nothing and the window stays open; Esc then
    closes it, and nothing was sent at any time."""
    data, mark = w.start()
    data = type_into_combo(w, data, "   ")
    ui.key(w.rig, data, "Return")
    # One more key: once it shows in the edit field, Enter has been handled
    # (keys are handled in order), and the window is evidently still open.
    ui.type_text(w.rig, data, "x")
    data = ui.wait_probe(w.rig, ui.TITLE, lambda d: ui.combo(d)["edit_text"] == "   x",
                         "the window still open and taking keys after Enter")
    check(ui.marlet_processes(w.rig), "marlet ended")
    w.expect_nothing_sent(mark, "Enter on typed spaces")
    ui.key(w.rig, data, "Escape")
    ui.wait_ended(w.rig, "Esc")
    w.expect_nothing_sent(mark, "Esc after typed spaces")


def case_escape(w):
    """Esc with a template selected closes the window; nothing is sent."""
    data, mark = w.start()
    data = ui.select_item(w.rig, data, TABLE_LIST)
    ui.key(w.rig, data, "Escape")
    ui.wait_ended(w.rig, "Esc")
    w.expect_nothing_sent(mark, "Esc")


def case_long_template_by_piece(w):
    """Picking a continuation piece of the long template sends the whole
    template; its head's label gives no question from a piece."""
    data, mark = w.start()
    items = ui.combo(data)["items"]
    expected_items = long_template_items()
    check(len(LONG_LABEL + LONG_SQL) > 1000, "the long template is not long")
    check_equal(items[LONG_INDEX:LONG_INDEX + len(expected_items)], expected_items, "items of the long template")
    check_equal(items[LONG_INDEX + len(expected_items)], "■件数: select count(*) from 受注m;" + CRLF,
                "the item after the long template")
    piece = LONG_INDEX + 1
    data = ui.select_item(w.rig, data, piece)
    ui.key(w.rig, data, "Return")
    w.expect_sent(mark, LONG_SQL, "the long template by its continuation piece")


def any_paste_by_keystroke(w):
    """Of the texts that arrived in keystroke mode, at least one came by
    Shift+Insert."""
    check(not w.ways or "keystroke" in w.ways,
          "no text came by Shift+Insert (%d by the paste command)" % len(w.ways))


GROUPS = [
    cases.Group("command mode", lambda rig: World(rig, keystroke=False), cases.named([
        case_table_list, case_commit_yes, case_commit_no, case_commit_cancel, case_layout_default,
        case_edit_cleared, case_typed_spaces, case_escape, case_long_template_by_piece], "command/")),
    cases.Group("keystroke mode", lambda rig: World(rig, keystroke=True), cases.named([
        case_table_list_double_click, case_commit_yes, case_layout_trimmed, case_edit_answer,
        case_edit_cleared, case_typed_without_terminator, case_typed_with_terminator], "keystroke/"),
        finish=("keystroke/any_paste_by_keystroke", any_paste_by_keystroke)),
]


def stand_in_events(w):
    """Shows the stand-in's events of a failed case."""
    first_event = w.sqlplus.mark()
    return lambda: print("   the stand-in's events:", [(e["event"], e.get("how", e.get("vk")), e.get("shift"), round(e["t"], 3))
                                                        for e in w.sqlplus.since(first_event)], flush=True)


def print_keystroke_gaps():
    if keystroke_gaps:
        print("keystroke after SQL*Plus's activation: %d sends, median %.1f ms, longest %.1f ms (bound %.0f ms)"
              % (len(keystroke_gaps), statistics.median(keystroke_gaps) * 1000, max(keystroke_gaps) * 1000,
                 KEYSTROKE_GAP_BOUND * 1000), flush=True)


if __name__ == "__main__":
    sys.exit(cases.main(__doc__, GROUPS, programs=[ui.MARLET, ui.PROBE, standin.STANDIN, standin.TOOL],
                        shots="marlet-send", diagnose=stand_in_events, epilogue=print_keystroke_gaps))
