"""A SQL*Plus that runs each statement it is given for a while, under Wine:
the stand-in sleeps for 3 s after every paste, answering nothing, as the GUI
SQL*Plus does while it runs a statement in its window's thread.

- Two tovrins started one right after the other (the user copies a
  statement, presses the shortcut key, copies the next and presses again)
  while SQL*Plus is still busy with the statement before: in both delivery
  modes each text arrives exactly once, in order, and the clipboard ends
  with the second.
- A picture copied during a delivery (keystroke mode: while SQL*Plus is held
  in front; command mode: after the paste command was posted to the busy
  SQL*Plus): afterwards the picture is still on the clipboard and nothing of
  ours was pasted over it.

    python3 test_busy_sqlplus.py --bin BUILD_DIR [-k NAME_PART] [--only NAME]

How long each tovrin lived is printed for the record.
"""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "rig"))

import cases  # noqa: E402
import standin  # noqa: E402
import winerig  # noqa: E402
from cases import check, check_equal  # noqa: E402

TOVRIN = "tovrin/tovrin.exe"
CRLF = "\r\n"
BUSY_MS = 3000
TIMEOUT = 60
DECOY = "Decoy"
OWNER_CLASS = "vorn3Clipboard"  # the window that answers for a delivery's offer
CF_BITMAP = 2


def host_clock():
    """The clock of the stand-in's "t" (QueryPerformanceCounter under Wine)."""
    return time.clock_gettime(time.CLOCK_MONOTONIC_RAW)


class World:
    def __init__(self, rig):
        self.rig = rig
        self.sqlplus = standin.StandIn(rig, "sqlplus", "--busy-after-paste-ms", str(BUSY_MS))
        # In front before a keystroke delivery, so that SQL*Plus's activation
        # shows in its log.
        self.decoy = standin.StandIn(rig, "decoy", "--class", "decoyWClass", "--title", DECOY, "--pos", "300", "300")

    def mode(self, keystroke):
        self.rig.write_settings("active=" + ("yes" if keystroke else "no"))

    def keep_busy(self):
        """SQL*Plus takes a statement of its own and runs it for 3 s; returns
        once it is busy."""
        mark = self.sqlplus.mark()
        standin.set_text(self.rig, "select 'before' from dual;" + CRLF)
        standin.post(self.rig, 201)
        self.sqlplus.wait_event(lambda e: e["event"] == "busy", mark, TIMEOUT, "SQL*Plus busy")

    def busy_since(self, mark):
        """True while SQL*Plus has not become idle since the mark."""
        return not any(e["event"] == "idle" for e in self.sqlplus.since(mark))

    def wait_offered(self):
        """Until a tovrin has offered its text on the clipboard."""
        winerig.wait_for(lambda: standin.owner(self.rig) == OWNER_CLASS, TIMEOUT, "tovrin's offer on the clipboard")

    def receipts(self, mark):
        return [e for e in self.sqlplus.since(mark) if e["event"] == "recv"]


def start_tovrin(rig):
    """Starts a tovrin; returns (its Linux pid, when it started). The pid,
    not the wine command: that may return while the program runs on."""
    before = set(rig.processes("tovrin.exe"))
    started = time.monotonic()
    rig.start(TOVRIN)
    new = winerig.wait_for(lambda: set(rig.processes("tovrin.exe")) - before, TIMEOUT, "tovrin.exe running")
    return new.pop(), started


def end(rig, tovrin, what):
    pid, started = tovrin
    winerig.wait_for(lambda: pid not in rig.processes("tovrin.exe"), TIMEOUT + 2 * BUSY_MS / 1000, "%s to end" % what)
    seconds = time.monotonic() - started
    print("    %s lived %.1f s" % (what, seconds), flush=True)
    return seconds


def case_two_tovrins_while_sqlplus_runs_a_statement(w):
    for keystroke in (False, True):
        w.mode(keystroke)
        name = "keystroke" if keystroke else "command"
        first = "select 'first, %s' from dual;" % name
        second = "select 'second, %s' from dual;" % name
        mark = w.sqlplus.mark()
        w.keep_busy()
        busy = w.sqlplus.mark()
        standin.set_text(w.rig, first)
        one = start_tovrin(w.rig)
        w.wait_offered()
        standin.set_text(w.rig, second)
        two = start_tovrin(w.rig)
        check(w.busy_since(busy), "SQL*Plus was idle again before the second tovrin started (%s)" % name)
        end(w.rig, one, "the first tovrin (%s)" % name)
        end(w.rig, two, "the second tovrin (%s)" % name)
        # Both have ended: whatever they posted is ahead of the marker.
        w.sqlplus.confirm_nothing_received(len(w.sqlplus.events()))
        got = [(e["text"], e["how"]) for e in w.receipts(busy)]
        print("    %s: received %r" % (name, got), flush=True)
        check_equal([text for text, _ in got], [first + CRLF, second + CRLF], "receipts (%s mode)" % name)
        check_equal(standin.get(w.rig)["text"], second + CRLF, "clipboard afterwards (%s mode)" % name)
        check(len(w.receipts(mark)) == 3, "receipts with the one before: %r" % w.receipts(mark))


def expect_picture_untouched(w, mark, what):
    clip = standin.get(w.rig)
    check(CF_BITMAP in clip["formats"] and clip["text"] is None,
          "%s: the clipboard afterwards lists %r, text %r" % (what, clip["formats"], clip["text"]))
    ours = [e["text"] for e in w.receipts(mark) if e["text"]]
    check_equal(ours, [], "%s: texts pasted" % what)


def case_picture_copied_after_the_paste_command(w):
    """SQL*Plus is busy when the command is posted; the user copies a picture
    before it wakes: it wakes to find the picture and pastes nothing."""
    w.mode(False)
    w.keep_busy()
    mark = w.sqlplus.mark()
    standin.set_text(w.rig, "select 'not over the picture' from dual;")
    one = start_tovrin(w.rig)
    w.wait_offered()
    standin.set_bitmap(w.rig)
    check(w.busy_since(mark), "SQL*Plus was idle again before the picture was copied")
    end(w.rig, one, "tovrin")
    w.sqlplus.confirm_nothing_received(len(w.sqlplus.events()))
    expect_picture_untouched(w, mark, "command mode")


def case_picture_copied_while_sqlplus_is_held_in_front(w):
    """Keystroke mode, SQL*Plus idle: the picture is copied during the
    settling second, before the keys: nothing is pasted. Whether the copy
    landed before the keys depends on the machine's pace: up to three rounds,
    until one did."""
    w.mode(True)
    for round_ in range(3):
        mark = w.sqlplus.mark()
        standin.set_text(w.rig, "select 'not over the picture %d' from dual;" % round_)
        standin.activate(w.rig, DECOY)
        one = start_tovrin(w.rig)
        w.sqlplus.wait_event(lambda e: e["event"] == "activate", mark, TIMEOUT, "SQL*Plus activated")
        copying = host_clock()
        standin.set_bitmap(w.rig)
        copied = host_clock()
        end(w.rig, one, "tovrin")
        w.sqlplus.confirm_nothing_received(len(w.sqlplus.events()))
        ours = [e for e in w.receipts(mark) if e["text"]]
        check(all(e["t"] < copying for e in ours), "a text pasted after the picture was copied: %r" % ours)
        if ours:
            print("    round %d: the keys went out before the picture came; again" % (round_ + 1), flush=True)
            w.sqlplus.wait_event(lambda e: e["event"] == "idle", mark, TIMEOUT, "SQL*Plus idle")
            continue
        print("    round %d: the picture came %.2f s into the settling second" % (
            round_ + 1, copied - next(e["t"] for e in w.sqlplus.since(mark) if e["event"] == "activate")), flush=True)
        expect_picture_untouched(w, mark, "keystroke mode")
        return
    raise AssertionError("in three rounds the picture never came before the keys")


CASES = [
    case_two_tovrins_while_sqlplus_runs_a_statement,
    case_picture_copied_after_the_paste_command,
    case_picture_copied_while_sqlplus_is_held_in_front,
]

GROUPS = [cases.Group("busy SQL*Plus", World, cases.named(CASES))]


if __name__ == "__main__":
    sys.exit(cases.main(__doc__, GROUPS, programs=[TOVRIN, standin.STANDIN, standin.TOOL], shots="busy"))
