"""Helpers for end-to-end runs against the SQL*Plus stand-in
(tests/rig/sqlplus_standin.exe) and the clipboard tool
(tests/rig/clipboard_tool.exe), inside a winerig.Rig.

    sp = standin.StandIn(rig, "sqlplus")      # starts it and waits until ready
    mark = sp.mark()
    standin.set_text(rig, "select 1 from dual")
    rig.run("tovrin/tovrin.exe")
    recv = sp.wait_recv(mark)                 # {"how": "command", "text": ...}
"""
import json
import os
import select

import winerig

TITLE = "Oracle SQL*Plus"
MARKER_COMMAND = 777          # any command id other than 201: logged, not pasted
TOOL = "tests/rig/clipboard_tool.exe"
STANDIN = "tests/rig/sqlplus_standin.exe"

_counter = [0]


def _scratch(rig, stem, ext):
    _counter[0] += 1
    return os.path.join(rig.tmp, "%s-%d.%s" % (stem, _counter[0], ext))


# The clipboard tool ---------------------------------------------------------
def tool_succeeds(rig, *args, timeout=60, repeatable=True):
    """Runs clipboard_tool; True when it reports success. Its exit code does
    not survive the virtual desktop, so its last line of output tells.

    Now and then a program started in the virtual desktop ends without having
    run at all, printing nothing; a repeatable action is then run once more.
    An action that must not happen twice (a paste command) is not."""
    for _ in range(2 if repeatable else 1):
        _, out, err, _ = rig.run(TOOL, *args, timeout=timeout)
        _last_output[0] = (out + err).strip()
        lines = out.split()
        if lines:
            return lines[-1] == "ok"
    return False


_last_output = [""]


def tool(rig, *args, timeout=60, repeatable=True):
    """Runs clipboard_tool; fails the test when it reports failure."""
    if not tool_succeeds(rig, *args, timeout=timeout, repeatable=repeatable):
        raise AssertionError("clipboard_tool %s failed, saying %r" % (" ".join(args), _last_output[0][-300:]))


def set_text(rig, text):
    """Puts text (valid Unicode) on the clipboard, passed through a UTF-8 file."""
    path = _scratch(rig, "clip", "txt")
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write(text)
    tool(rig, "set-file", rig.win_path(path))


def set_units(rig, text):
    """Puts text on the clipboard unit for unit: NULs and lone surrogates stay."""
    path = _scratch(rig, "clip", "u16")
    with open(path, "wb") as f:
        f.write(text.encode("utf-16-le", "surrogatepass"))
    tool(rig, "set-units", rig.win_path(path))


def set_bitmap(rig):
    tool(rig, "set-bitmap")


def empty(rig):
    tool(rig, "empty")


def get(rig):
    """The clipboard: {"readable": bool, "formats": [ids], "text": str or None}.
    Lone surrogates in the text come back as such."""
    path = _scratch(rig, "clip", "json")
    tool(rig, "get-file", rig.win_path(path))
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def owner(rig):
    """The window class of the clipboard's owner ("none"), read without
    asking the owner for anything."""
    tool(rig, "owner")
    return _last_output[0].split()[0]


def post(rig, command, title=TITLE):
    tool(rig, "post", str(command), title, repeatable=command != 201)


def close_window(rig, title=TITLE):
    tool(rig, "close", title)


def activate(rig, title):
    """Brings the window titled so to the front; returns once it is there."""
    tool(rig, "activate", title)


def is_front(rig, title):
    return tool_succeeds(rig, "is-front", title)


def read_line(process, timeout=30):
    """The next line of a started program's output, waiting at most timeout."""
    ready, _, _ = select.select([process.stdout], [], [], timeout)
    if not ready:
        raise AssertionError("no output within %d s" % timeout)
    return process.stdout.readline().decode("utf-8", "replace").strip()


def window_exists(rig, title=TITLE):
    return tool_succeeds(rig, "post", "0", title)


# The stand-in -------------------------------------------------------------
class StandIn:
    """A running stand-in with its event log. Events are the log's JSON
    lines in order; mark() and the since= arguments are positions in it."""

    def __init__(self, rig, name, *options, wait=True):
        self.rig = rig
        self.log = os.path.join(rig.tmp, name + ".log")
        # A stand-in started earlier under the same name appends to the same
        # log: wait for this one's "ready", not for that one's.
        start = self.mark()
        self.process = rig.start(STANDIN, "--log", rig.win_path(self.log), *options)
        if wait:
            self.wait_event(lambda e: e["event"] == "ready", start, 60, "%s ready" % name)

    def events(self):
        try:
            with open(self.log, "rb") as f:
                data = f.read()
        except FileNotFoundError:
            return []
        # Only complete lines: the stand-in may be writing the last one.
        lines = data.split(b"\n")[:-1]
        return [json.loads(line.decode("utf-8")) for line in lines if line.strip()]

    def mark(self):
        return len(self.events())

    def since(self, mark):
        return self.events()[mark:]

    def wait_event(self, predicate, since=0, timeout=30, what="event"):
        def found():
            for e in self.since(since):
                if predicate(e):
                    return e
            return None
        return winerig.wait_for(found, timeout, what)

    def wait_recv(self, since, timeout=30):
        return self.wait_event(lambda e: e["event"] == "recv", since, timeout, "a receipt in the stand-in")

    def confirm_nothing_received(self, since, timeout=30):
        """Proves that nothing was pasted since the mark: a marker command is
        posted now and must arrive with no receipt before it. Posted messages
        of one queue are handled in order, so a paste command posted before
        the marker would have been logged first. Returns the events."""
        post(self.rig, MARKER_COMMAND)
        self.wait_event(lambda e: e["event"] == "command" and e.get("id") == MARKER_COMMAND,
                        since, timeout, "the marker command")
        events = self.since(since)
        received = [e for e in events if e["event"] == "recv"]
        if received:
            raise AssertionError("the stand-in received %r" % received[0].get("text"))
        return events

    def activations(self, since):
        return [e for e in self.since(since) if e["event"] == "activate"]

    def close(self, title=TITLE):
        """Closes the window and waits until no window bears its title."""
        mark = self.mark()
        close_window(self.rig, title)
        self.wait_event(lambda e: e["event"] == "closing", mark, 30, "the stand-in closing")
        winerig.wait_for(lambda: not window_exists(self.rig, title), 30, "the window gone")
