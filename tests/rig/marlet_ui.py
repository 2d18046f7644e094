"""Driving marlet.exe the way a person does, inside a winerig.Rig: real
clicks and key presses through xdotool on the virtual display, with the
window, its list and its question boxes read back through
tests/rig/window_probe.exe to know where to click and when to go on.

    data = marlet_ui.start(rig)                 # window in front, focus in Combo1
    data = marlet_ui.select_item(rig, data, 3)  # a click (Down keys below the fold)
    marlet_ui.key(rig, data, "Return")
    box = marlet_ui.wait_box(rig, "コミット or ロールバック")
    marlet_ui.click_child(rig, box, 6)          # the Yes button
    marlet_ui.wait_ended(rig, "the send")

Every wait is on a condition with a generous time-out; nothing sleeps for
a fixed time.
"""
import os

import winerig
from cases import check

MARLET = "marlet/marlet.exe"
PROBE = "tests/rig/window_probe.exe"
TITLE = "SQL 選択"
TIMEOUT = 60  # seconds; generous for a loaded machine

# Input box controls (common/input_box.h) and dialog button ids.
INPUT_BOX_PROMPT = 101
INPUT_BOX_EDIT = 102
IDOK, IDCANCEL, IDYES, IDNO = 1, 2, 6, 7

_counter = [0]


def hex_units(text):
    """A title as UTF-16 code units in hex, for window_probe --title-hex
    (non-ASCII arguments do not survive the Wine command line)."""
    return ",".join("%04x" % ord(c) for c in text)


def start_probe(rig, *args):
    """Starts the window probe inside the rig's desktop; returns its wine
    command's process and the path of the JSON report it will write."""
    _counter[0] += 1
    out = os.path.join(rig.tmp, "ui-probe-%d.json" % _counter[0])
    return rig.start(PROBE, *args, "--out", rig.win_path(out)), out


def start_timing_probe(rig, *args):
    """Starts the window probe waiting for a window (args hold --wait) and
    returns, as start_probe, once it has searched for the window a first
    time: a program started then is timed from its own start."""
    _counter[0] += 1
    ready = os.path.join(rig.tmp, "ui-ready-%d" % _counter[0])
    started = start_probe(rig, *args, "--ready", rig.win_path(ready))
    winerig.wait_for(lambda: os.path.exists(ready), TIMEOUT, "the window probe to be searching")
    return started


def probe(rig, *args, timeout=TIMEOUT):
    """Runs the window probe inside the rig's desktop and returns its JSON.
    Waits for its output file rather than its process: a program started
    into the virtual desktop does not always end with its wine command. A
    probe that gives no answer in time is left and started once more (the
    rig's end stops it)."""
    for attempt in (1, 2):
        p, out = start_probe(rig, *args)
        try:
            return winerig.wait_for_json(out, timeout + 30, "window_probe %s" % " ".join(args))
        except AssertionError as e:
            state = "was still running" if p.poll() is None else "had ended with %r" % p.returncode
            p.kill()
            if attempt == 2:
                raise AssertionError("%s; its wine command %s" % (e, state))
            winerig.log("    note: %s; its wine command %s; probing again" % (e, state))


def find(rig, title, window_class=None, timeout=15):
    """The probe's report on the top-level window titled `title`, waiting
    up to `timeout` seconds for it to be there and visible; {"found":
    false} when it never is."""
    args = ["--title-hex", hex_units(title), "--wait", str(timeout)]
    if window_class:
        args += ["--class", window_class]
    return probe(rig, *args, timeout=timeout)


def wait_probe(rig, title, condition, what, window_class=None, timeout=TIMEOUT):
    """Probes the window until condition(data) holds; returns that data."""
    last = [None]

    def ok():
        last[0] = find(rig, title, window_class)
        return last[0].get("found") and last[0].get("visible") and condition(last[0])
    winerig.wait_for(ok, timeout, what, interval=0.3)
    return last[0]


def gone(rig, title, seconds, window_class=None):
    """True once no window bears `title` (waiting up to `seconds`)."""
    args = ["--title-hex", hex_units(title), "--gone", str(seconds)]
    if window_class:
        args += ["--class", window_class]
    return not probe(rig, *args)["found"]


# marlet's process and window ------------------------------------------------------
def marlet_processes(rig):
    """Linux pids of marlet.exe processes of this rig's Wine prefix."""
    return rig.processes("marlet.exe")


def kill_marlet(rig):
    """Ends this rig's marlet processes (after a failed case), by pid."""
    rig.kill_processes("marlet.exe")


def start(rig):
    """Starts marlet; returns the probe's report once its window is in
    front with the focus in Combo1, ready for input."""
    winerig.wait_for(lambda: not marlet_processes(rig), TIMEOUT, "an earlier marlet.exe to end")
    rig.start(MARLET)
    return wait_probe(rig, TITLE, lambda d: d["foreground"] and d["focus"]
                      and d["focus"].get("child_class") == "ComboBox",
                      "marlet's window in front with the focus in Combo1")


def window(rig):
    return wait_probe(rig, TITLE, lambda d: True, "marlet's window")


def wait_ended(rig, what, again=None):
    """marlet's window is gone and its process has ended. `again`, when
    given, repeats the closing action once if the window is still there
    after a while (an input event lost on a loaded machine); only for an
    action that, repeated after the close, lands on the empty desktop."""
    if again and not gone(rig, TITLE, 20):
        again()
    if not gone(rig, TITLE, 40):
        raise AssertionError("%s: marlet's window is still there" % what)
    winerig.wait_for(lambda: not marlet_processes(rig), TIMEOUT, "marlet.exe to end after %s" % what)


def child(data, id_=None, window_class=None):
    """The first child window (at any depth) with that id and/or class."""
    stack = list(data["children"])
    while stack:
        c = stack.pop(0)
        if (id_ is None or c["id"] == id_) and (window_class is None or c["class"].lower() == window_class.lower()):
            return c
        stack[0:0] = c.get("children", [])
    raise AssertionError("no child window with id %r, class %r in %r" % (id_, window_class, data.get("title")))


def combo(data):
    """Combo1's list state: items, selection, edit_text, item_height, top_index."""
    return child(data, window_class="ComboBox")["combo"]


# Input ----------------------------------------------------------------------------
def client_to_screen(data, x, y):
    ox, oy = data["client_origin"]
    return ox + x, oy + y


def pointer_at(rig, x, y):
    out = rig.xdotool("getmouselocation").stdout
    return "x:%d y:%d " % (x, y) in out


def click(rig, x, y, double=False):
    # The button goes out once the display has the pointer where it is sent.
    rig.xdotool("mousemove", str(x), str(y))
    winerig.wait_for(lambda: pointer_at(rig, x, y), 10, "the pointer at %d,%d" % (x, y), interval=0.01)
    rig.xdotool("click", "--repeat", "2" if double else "1", "--delay", "80", "1")


def click_child(rig, data, id_, double=False):
    """Clicks the middle of the child window `id_` of a probed window."""
    c = child(data, id_)
    click(rig, *client_to_screen(data, c["x"] + c["width"] // 2, c["y"] + c["height"] // 2), double=double)


def park_pointer(rig):
    """Keys go to the Wine desktop's foreground window while the pointer is
    over the desktop: park it in the desktop's bottom right corner, where no
    window of the tests comes. (Parked on marlet's title bar, the pointer
    found itself over the stand-in when the paste keystroke brought it
    forward; Wine then set its keyboard state to the display's, where Shift
    is up, between the Shift and the Insert of the keystroke, and the
    stand-in got Insert alone.)"""
    width, height = (int(n) for n in rig.size.split("x"))
    rig.xdotool("mousemove", str(width - 4), str(height - 4))


def key(rig, data, *keys):
    park_pointer(rig)
    rig.xdotool("key", "--delay", "80", *keys)


def type_text(rig, data, text):
    """Types ASCII text key by key."""
    park_pointer(rig)
    rig.xdotool("type", "--delay", "40", text)


def enter_text(rig, data, text, read, what, window_class=None):
    """Types `text` into the focused edit field of the probed window `data`
    (replacing what is selected there; "" deletes it) and waits until
    read(probe) gives it. When the field shows something else after a
    while (keys lost, or the field's text selected anew by a change of
    focus on a loaded machine), selects all of it and types once more.
    Returns the last probe."""
    title = data["title"]
    for attempt in (1, 2):
        if attempt == 2:
            key(rig, data, "ctrl+a")
        if text:
            type_text(rig, data, text)
        else:
            key(rig, data, "BackSpace")
        try:
            return wait_probe(rig, title, lambda d: read(d) == text, "%r in %s" % (text, what),
                              window_class=window_class, timeout=20 if attempt == 1 else TIMEOUT)
        except AssertionError:
            if attempt == 2:
                raise
            data = wait_probe(rig, title, lambda d: True, title, window_class=window_class)
            winerig.log("    note: %s shows %r, not %r; typing again" % (what, read(data), text))


def list_box(data):
    return child(child(data, window_class="ComboBox"), window_class="ComboLBox")


def visible_items(data):
    """Indexes of the items wholly in view in Combo1's list."""
    cb = combo(data)
    lb = list_box(data)
    rows = max(0, (lb["client_height"]) // max(1, cb["item_height"]))
    return range(cb["top_index"], min(cb["count"], cb["top_index"] + rows))


def click_item(rig, data, index, double=False):
    """Clicks (or double-clicks) item `index`, which must be in view."""
    cb = combo(data)
    if index not in visible_items(data):
        raise AssertionError("item %d is not in view (%r)" % (index, visible_items(data)))
    lb = list_box(data)
    border = (lb["height"] - lb["client_height"]) // 2
    y = lb["y"] + border + (index - cb["top_index"]) * cb["item_height"] + cb["item_height"] // 2
    click(rig, *client_to_screen(data, lb["x"] + 60, y), double=double)


def select_item(rig, data, index):
    """Selects item `index` as a person would: a click on it when it is in
    view, else a click on the last item in view and Down from there.
    Returns the probe's report once the item is selected."""
    shown = visible_items(data)
    if index in shown:
        click_item(rig, data, index)
    else:
        last = shown[-1]
        check(index > last, "item %d is above the list's view" % index)
        click_item(rig, data, last)
        wait_probe(rig, TITLE, lambda d: combo(d)["selection"] == last, "item %d selected by a click" % last)
        key(rig, data, *(["Down"] * (index - last)))
    return wait_probe(rig, TITLE, lambda d: combo(d)["selection"] == index, "item %d selected" % index)


# Question boxes ---------------------------------------------------------------------
def wait_box(rig, title):
    """A dialog box (#32770) titled `title`, once it is the foreground window."""
    return wait_probe(rig, title, lambda d: d["foreground"], "the box %r in front" % title, window_class="#32770")


def box_gone(rig, title):
    return gone(rig, title, 40, window_class="#32770")


def texts(data):
    """Texts of a probed window's children, by id."""
    out = {}
    stack = list(data["children"])
    while stack:
        c = stack.pop(0)
        out.setdefault(c["id"], c["text"])
        stack.extend(c.get("children", []))
    return out


# Template file ----------------------------------------------------------------------
def write_template_file(rig, lines, codec="shift_jis"):
    """Writes c:\\vorn3\\marlet.txt: the lines, each ended by CR LF, in the
    ANSI code page of a Japanese system."""
    data = "".join(line + "\r\n" for line in lines).encode(codec)
    with open(rig.c_path("vorn3", "marlet.txt"), "wb") as f:
        f.write(data)
