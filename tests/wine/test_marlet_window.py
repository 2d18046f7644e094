"""End-to-end checks of marlet's window under Wine (96 dpi, Japanese code
page), read back through Win32 by tests/rig/window_probe.exe:

- the program file's resources: version record, icon, picture, manifest;
- the window: title, fixed border, client size, centring, every control's
  box against the twips table of marlet/layout.cpp (at 96 and at 144 dpi),
  and the place and layout after WM_DPICHANGED,
  stacking, styles, texts, the list after load (built-ins only), focus and
  tab order;
- the list filled from a Shift-JIS template file (the catalogue's worked
  example, and the shipped sample file);
- a click on an item shows it in the edit field; typing clears the selection;
- a double-click on an item, and Enter in Combo1, send through the SQL*Plus
  stand-in (the send command itself is tested elsewhere);
- Esc, Command2, Enter on a focused Command2 and the close box end the program.

A screenshot is saved as BUILD/marlet-window.png.

    python3 test_marlet_window.py --bin BUILD_DIR [-k NAME_PART] [--only NAME]
"""
import os
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "rig"))
import cases  # noqa: E402
import marlet_ui as ui  # noqa: E402
import standin  # noqa: E402
import winerig  # noqa: E402
from cases import check  # noqa: E402

REPO = winerig.REPO
TIMEOUT = 60  # seconds; generous for a loaded machine

WS_THICKFRAME = 0x00040000
WS_MAXIMIZEBOX = 0x00010000
WS_CAPTION = 0x00C00000
WS_SYSMENU = 0x00080000
WS_BORDER = 0x00800000
WS_TABSTOP = 0x00010000
WS_VSCROLL = 0x00200000
WS_EX_CLIENTEDGE = 0x00000200
CBS_SIMPLE = 0x1
CBS_SORT = 0x100
SS_RIGHT = 0x2
SS_TYPEMASK = 0x1F
BS_DEFPUSHBUTTON = 0x1

BUILT_INS = [
    "■コミット or ロールバック: commit; or rollback;",
    "■dbms_output: set serverout on;",
    "■テーブルレイアウト: describe 受注m;",
    "■テーブルリスト: select * from tab;",
    "■テーブルコピー: create table 受注w as select * from 受注m;",
    "■テーブルクリア: truncate table ダミー;",
    "■テーブル削除: drop table/view ダミー;",
    "■レコード参照: select * from ダミー where ... order by ...;",
    "■レコード追加: insert into ダミー () values ();",
    "■レコード修正: update ダミー set ... where ...;",
    "■レコード削除: delete from ダミー where ...;",
]

# The catalogue's worked example: nine lines, each ended with CR LF.
WORKED_EXAMPLE_LINES = [
    "sample templates",
    "■Daily count   ",
    "  select count(*)",
    "    from 受注m;  ",
    "■Clear work table",
    "== run before the nightly load ==",
    "truncate table 受注w;",
    "",
    "■Unfinished",
]
WORKED_EXAMPLE_ITEMS = [
    "■Daily count: select count(*)\r\n    from 受注m;\r\n",
    "■Clear work table: truncate table 受注w;\r\n",
]


# The layout table, read from its one source ---------------------------------------
def read_layout():
    """Parses the control table, client size and picture size of
    marlet/layout.{h,cpp}: {name: (id, left, top, width, height, tab)}."""
    with open(os.path.join(REPO, "marlet", "layout.h"), encoding="utf-8") as f:
        header = f.read()
    with open(os.path.join(REPO, "marlet", "layout.cpp"), encoding="utf-8") as f:
        source = f.read()
    consts = dict((m.group(1), int(m.group(2)))
                  for m in re.finditer(r"constexpr int (k\w+) = (-?\d+);", header))
    controls = {}
    for m in re.finditer(r'\{"([\w()]+)", k\w+, (k\w+), [^,]+, (\d+), (\d+), (\d+), (\d+), (-?\d+),', source):
        name, id_name = m.group(1), m.group(2)
        left, top, width, height, tab = (int(m.group(i)) for i in range(3, 8))
        controls[name] = (consts[id_name], left, top, width, height, tab)
    assert len(controls) == 8, "could not read the control table: %r" % controls
    return consts, controls


def px(twips, dpi=96):
    return int((twips * dpi + 720) // 1440)


# Helpers ------------------------------------------------------------------------
def near(actual, expected, what, tolerance=1):
    check(abs(actual - expected) <= tolerance, "%s: %r, expected %r (+-%d)" % (what, actual, expected, tolerance))


def default_button(data, consts):
    """Id of the one button styled as the default, else None."""
    ids = [consts[k] for k in ("kIdCommand1", "kIdCommand2")
           if ui.child(data, consts[k])["style"] & 0xF == BS_DEFPUSHBUTTON]
    return ids[0] if len(ids) == 1 else None


def set_dpi(rig, dpi):
    """The screen's DPI for the programs started afterwards."""
    subprocess.run(["wine", "reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD",
                    "/d", str(dpi), "/f"], env=rig.env, check=True, timeout=TIMEOUT,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


# Cases --------------------------------------------------------------------------
def case_resources(rig, consts, controls):
    # The committed images are well-formed (icon layout; baseline JFIF, 72 x
    # 40, three components) and the sample files match their source.
    for script in ("make_images.py", "make_sample.py"):
        r = subprocess.run([sys.executable, os.path.join(REPO, "tools", script), "--check"],
                           capture_output=True, text=True, timeout=TIMEOUT)
        check(r.returncode == 0, "tools/%s --check: %s%s" % (script, r.stdout, r.stderr))
    data = ui.probe(rig, "--file", rig.win_path(rig.exe(ui.MARLET)))
    check(data["found"], "probe could not open marlet.exe")
    v = data["version"]
    check(v["file_version"] == "2.1.0.0" and v["product_version"] == "2.1.0.0", "version numbers %r" % v)
    check([1041, 1200] in v["translations"], "not Japanese: %r" % v["translations"])
    s = v["strings"]
    check(s.get("ProductName") == "marlet" and s.get("InternalName") == "marlet", "names %r" % s)
    check(s.get("OriginalFilename") == "marlet.exe" and s.get("FileVersion") == "2.01", "strings %r" % s)
    groups = data["icon_groups"]
    check(len(groups) == 1, "icon groups %r" % groups)
    images = sorted((i["width"], i["height"], i["bit_count"], i["bitmap_bit_count"]) for i in groups[0]["images"])
    check(images == [(n, n, 8, 8) for n in (16, 32, 48, 64)], "icon images %r" % images)
    with open(os.path.join(REPO, "common", "res", "vorn3.ico"), "rb") as f:
        check(len(f.read()) == 13094, "vorn3.ico is not 13,094 bytes")
    # Image1's picture: the bitmap file without its 14-byte file header.
    with open(os.path.join(REPO, "marlet", "res", "picture.bmp"), "rb") as f:
        bitmap = f.read()
    check(len(data["bitmaps"]) == 1 and data["bitmaps"][0]["bytes"] == len(bitmap) - 14,
          "picture resource %r" % data["bitmaps"])
    check(data["rcdata"] == [], "raw data resources %r" % data["rcdata"])
    manifest = data["manifest"] or ""
    check("PerMonitorV2" in manifest and "dpiAware" in manifest, "manifest without DPI awareness")


def case_layout(rig, consts, controls):
    screenshot = os.path.join(rig.build, "marlet-window.png")
    data = ui.start(rig)
    check(data["title"] == ui.TITLE, "title %r" % data["title"])
    check(data["dpi"] == 96, "the rig is not at 96 dpi: %r" % data["dpi"])
    style = data["style"]
    check(style & WS_CAPTION == WS_CAPTION and style & WS_SYSMENU, "no caption or system menu")
    check(not style & WS_THICKFRAME, "the window has a sizing border")
    check(not style & WS_MAXIMIZEBOX, "the window can be maximised")
    near(data["client_width"], px(consts["kClientWidthTwips"]), "client width", 0)
    near(data["client_height"], px(consts["kClientHeightTwips"]), "client height", 0)
    # Centred on the work area.
    l, t, r, b = data["window_rect"]
    wl, wt, wr, wb = data["work_area"]
    near(l + r, wl + wr, "horizontal centre (doubled)", 2)
    near(t + b, wt + wb, "vertical centre (doubled)", 2)

    # Every control at its place, in stacking order from the top.
    order = [c["id"] for c in data["children"]]
    expected_order = [v[0] for v in sorted(controls.values(), key=lambda v: v[5] if v[5] >= 0 else 99)]
    check(order == expected_order, "stacking order %r, expected %r" % (order, expected_order))
    check_boxes(data, controls, 96)
    for name, (id_, left, top, width, height, tab) in controls.items():
        c = ui.child(data, id_)
        check(c["visible"] and c["enabled"], name + " hidden or disabled")
        check(bool(c["style"] & WS_TABSTOP) == (name in ("Combo1", "Command1", "Command2")),
              name + ": tab stop")

    c1 = ui.child(data, consts["kIdCombo1"])
    check(c1["class"].lower() == "combobox", "Combo1 is a %s" % c1["class"])
    check(c1["style"] & 3 == CBS_SIMPLE and not c1["style"] & CBS_SORT, "Combo1 is not a simple unsorted combo")
    b1, b2 = ui.child(data, consts["kIdCommand1"]), ui.child(data, consts["kIdCommand2"])
    check(b1["text"] == "送信" and b2["text"] == "ｷｬﾝｾﾙ", "button texts %r %r" % (b1["text"], b2["text"]))
    check(b1["style"] & 0xF == BS_DEFPUSHBUTTON, "Command1 is not the default button")
    for name in ("Label1(0)", "Label1(1)"):
        check(ui.child(data, controls[name][0])["style"] & WS_BORDER, name + " without border")
    l2, l3 = ui.child(data, consts["kIdLabel2"]), ui.child(data, consts["kIdLabel3"])
    check(l3["text"].startswith("Tovrin.exe ver 2.10  ") and len(l3["text"]) > 21, "Label3 %r" % l3["text"])
    check(l2["text"].strip() != "", "Label2 is empty")
    for label in (l2, l3):
        check(label["style"] & SS_TYPEMASK == SS_RIGHT, "label %d not right-aligned" % label["id"])
    image = ui.child(data, consts["kIdImage1"])
    check(image["exstyle"] & WS_EX_CLIENTEDGE, "Image1 without border")
    check((image["client_width"], image["client_height"]) == (consts["kPictureWidth"], consts["kPictureHeight"]),
          "Image1 inside its border is %dx%d" % (image["client_width"], image["client_height"]))

    # The list after load, with no template file: the built-ins only.
    cb = ui.combo(data)
    check(cb["items"] == BUILT_INS, "items without a template file: %r" % cb["items"])
    check(cb["selection"] == -1 and cb["edit_text"] == "", "selection %r, edit %r" % (cb["selection"], cb["edit_text"]))
    focus = data["focus"]
    check(focus and focus.get("child_id") == consts["kIdCombo1"], "focus at start: %r" % focus)

    time.sleep(0.5)  # a settled picture for the eye; nothing depends on it
    rig.screenshot(screenshot)
    print("    screenshot:", screenshot)

    # Tab order: Combo1, Command1, Command2, back to Combo1; the default
    # button is the focused one, else Command1.
    for expected in ("kIdCommand1", "kIdCommand2", "kIdCombo1"):
        default = consts["kIdCommand2" if expected == "kIdCommand2" else "kIdCommand1"]
        ui.key(rig, data, "Tab")
        ui.wait_probe(rig, ui.TITLE, lambda d: d["focus"] and d["focus"].get("child_id") == consts[expected]
                      and default_button(d, consts) == default,
                      "focus on %s after Tab, default button %d" % (expected, default))
    ui.key(rig, data, "Escape")
    ui.wait_ended(rig, "Esc", again=lambda: ui.key(rig, data, "Escape"))


def check_boxes(data, controls, dpi):
    """Every control's box against the table at `dpi` (edges converted)."""
    for name, (id_, left, top, width, height, tab) in controls.items():
        c = ui.child(data, id_)
        near(c["x"], px(left, dpi), name + " left")
        near(c["y"], px(top, dpi), name + " top")
        near(c["width"], px(left + width, dpi) - px(left, dpi), name + " width")
        near(c["height"], px(top + height, dpi) - px(top, dpi), name + " height")


def case_high_dpi(rig, consts, controls):
    """At 144 dpi the window keeps its proportions."""
    data = ui.start(rig)
    check(data["dpi"] == 144, "the window's dpi is %r, not 144" % data["dpi"])
    near(data["client_width"], px(consts["kClientWidthTwips"], 144), "client width", 0)
    near(data["client_height"], px(consts["kClientHeightTwips"], 144), "client height", 0)
    check_boxes(data, controls, 144)
    ui.key(rig, data, "Escape")
    ui.wait_ended(rig, "Esc", again=lambda: ui.key(rig, data, "Escape"))


def case_dpi_changed(rig, consts, controls):
    """Moved to a monitor of another DPI (WM_DPICHANGED), the window takes the
    place Windows suggests, not one of its own, and lays its controls out
    for the new DPI."""
    data = ui.start(rig)
    l, t, r, b = data["window_rect"]
    # What Windows suggests for 144 dpi: the size in proportion, at a corner
    # away from the window's own.
    suggested = [20, 30, 20 + (r - l) * 3 // 2, 30 + (b - t) * 3 // 2]
    check((l, t) != (20, 30), "the window is at the suggested corner already")
    arg = ",".join(str(v) for v in [144] + suggested)
    data = ui.probe(rig, "--title-hex", ui.hex_units(ui.TITLE), "--dpi-changed", arg)
    check(data.get("found") and "error" not in data, "WM_DPICHANGED not delivered: %r" % data)
    check(data["window_rect"] == suggested, "window at %r after WM_DPICHANGED, suggested %r"
          % (data["window_rect"], suggested))
    check_boxes(data, controls, 144)
    ui.key(rig, data, "Escape")
    ui.wait_ended(rig, "Esc", again=lambda: ui.key(rig, data, "Escape"))


def case_cancel_button(rig, consts, controls):
    data = ui.start(rig)
    b = ui.child(data, consts["kIdCommand2"])
    at = ui.client_to_screen(data, b["x"] + b["width"] // 2, b["y"] + b["height"] // 2)
    ui.click(rig, *at)
    ui.wait_ended(rig, "a click on Command2", again=lambda: ui.click(rig, *at))


def case_enter_on_cancel(rig, consts, controls):
    data = ui.start(rig)
    ui.key(rig, data, "Tab", "Tab")
    # The focused button is the default one, so Enter presses it.
    ui.wait_probe(rig, ui.TITLE, lambda d: d["focus"] and d["focus"].get("child_id") == consts["kIdCommand2"]
                  and default_button(d, consts) == consts["kIdCommand2"], "focus on Command2, and it the default")
    ui.key(rig, data, "Return")
    ui.wait_ended(rig, "Enter on the focused Command2", again=lambda: ui.key(rig, data, "Return"))


def case_close_box(rig, consts, controls):
    data = ui.start(rig)
    l, t, r, _ = data["window_rect"]
    frame = data["client_origin"][0] - l
    # The close box is the rightmost button of the caption.
    at = (r - frame - 10, (t + data["client_origin"][1]) // 2)
    ui.click(rig, *at)
    ui.wait_ended(rig, "the close box", again=lambda: ui.click(rig, *at))


def case_worked_example(rig, consts, controls):
    ui.write_template_file(rig, WORKED_EXAMPLE_LINES, codec="cp932")
    data = ui.start(rig)
    cb = ui.combo(data)
    check(cb["items"] == BUILT_INS + WORKED_EXAMPLE_ITEMS,
          "items from the worked example: %r" % cb["items"][len(BUILT_INS):])
    check(cb["selection"] == -1, "selection at start %r" % cb["selection"])

    # A click on item 12 selects it and shows it in the edit field.
    index = len(BUILT_INS)
    ui.click_item(rig, data, index)
    data = ui.wait_probe(rig, ui.TITLE, lambda d: ui.combo(d)["selection"] == index,
                         "item 12 selected by a click")
    edit = ui.combo(data)["edit_text"]
    check(edit.startswith("■Daily count: select count(*)"), "edit field after the click: %r" % edit)
    print("    edit field shows the item as %r" % edit)

    # Typing makes the text the user's own: no item selected any more.
    ui.key(rig, data, "ctrl+a", "x")
    data = ui.wait_probe(rig, ui.TITLE, lambda d: ui.combo(d)["edit_text"] == "x", "typed text in the edit field")
    check(ui.combo(data)["selection"] == -1, "an item stays selected after typing")
    ui.key(rig, data, "Escape")
    ui.wait_ended(rig, "Esc with typed text", again=lambda: ui.key(rig, data, "Escape"))


def case_double_click_sends(rig, consts, controls):
    """A double-click on an item sends it, line breaks and all, and ends."""
    ui.write_template_file(rig, WORKED_EXAMPLE_LINES, codec="cp932")
    sqlplus = standin.StandIn(rig, "sqlplus")
    data = ui.start(rig)
    mark = sqlplus.mark()
    ui.click_item(rig, data, len(BUILT_INS), double=True)
    recv = sqlplus.wait_recv(mark, timeout=TIMEOUT)
    check(recv["text"] == "select count(*)\r\n    from 受注m;\r\n", "received %r" % recv["text"])
    ui.wait_ended(rig, "the send")
    check(len([e for e in sqlplus.since(mark) if e["event"] == "recv"]) == 1, "sent more than once")


def case_enter_sends(rig, consts, controls):
    """Enter with the focus in Combo1 runs the send command."""
    sqlplus = standin.StandIn(rig, "sqlplus")
    data = ui.start(rig)
    mark = sqlplus.mark()
    ui.click_item(rig, data, 3)  # the table list
    data = ui.wait_probe(rig, ui.TITLE, lambda d: ui.combo(d)["selection"] == 3, "item 4 selected")
    ui.key(rig, data, "Return")
    recv = sqlplus.wait_recv(mark, timeout=TIMEOUT)
    check(recv["text"] == "select * from tab;\r\n", "received %r" % recv["text"])
    ui.wait_ended(rig, "the send")


def case_sample_file(rig, consts, controls):
    with open(os.path.join(REPO, "marlet", "sample", "marlet.txt"), "rb") as f:
        sample = f.read()
    with open(rig.c_path("vorn3", "marlet.txt"), "wb") as f:
        f.write(sample)
    data = ui.start(rig)
    items = ui.combo(data)["items"][len(BUILT_INS):]
    heads = [i for i in items if i.startswith("■")]
    pieces = [i for i in items if not i.startswith("■")]
    check(len(heads) >= 5, "templates from the sample file: %r" % heads)
    check(len(pieces) >= 1 and all(p.startswith("   ") for p in pieces), "continuation pieces %r" % pieces)
    check(all(len(i) <= 503 for i in items), "an item longer than a piece")
    ui.key(rig, data, "Escape")
    ui.wait_ended(rig, "Esc", again=lambda: ui.key(rig, data, "Escape"))


def at_dpi(dpi=None):
    """A group's setup: the rig at `dpi` (96 unless given); its world is
    (rig, consts, controls), what every case is called with."""
    def setup(rig):
        # The ANSI code page 932 for the template file (Wine takes it
        # from LC_ALL here).
        rig.env["LC_ALL"] = "ja_JP.UTF-8"
        if dpi:
            set_dpi(rig, dpi)
        consts, controls = read_layout()
        return rig, consts, controls
    return setup


def window_cases(functions):
    return [(name, lambda world, f=f: f(*world)) for name, f in cases.named(functions)]


GROUPS = [
    cases.Group("program file, window, closing", at_dpi(), window_cases([
        case_resources, case_layout, case_dpi_changed, case_cancel_button, case_enter_on_cancel, case_close_box])),
    cases.Group("template files", at_dpi(), window_cases([case_worked_example, case_sample_file])),
    cases.Group("sends", at_dpi(), window_cases([case_double_click_sends, case_enter_sends])),
    cases.Group("144 dpi", at_dpi(144), window_cases([case_high_dpi])),
]


if __name__ == "__main__":
    sys.exit(cases.main(__doc__, GROUPS, programs=[ui.MARLET, ui.PROBE, standin.STANDIN, standin.TOOL],
                        shots="marlet-window"))
