"""SQL*Plus as a console program in a winerig.Rig: the console stand-in
(tests/rig/sqlplus.exe) started the way a user starts SQL*Plus, in a console
window of the Wine virtual desktop, and its event log.

    sp = console_sqlplus.ConsoleSqlPlus(rig, "sqlplus")        # wineconsole
    sp = console_sqlplus.ConsoleSqlPlus(rig, "b", via="cmd")   # start cmd /c
    (via="cmd /k": the command prompt stays and reads the console after it;
    via="terminal": in a pseudo console of the terminal stand-in, whose
    window bears the console's title and whose log is sp.terminal_log)
    mark = sp.mark()
    rig.run("tovrin/tovrin.exe")
    lines = sp.wait_lines(mark, 3)          # ["select 1\\r\\n", ...]
"""
import os
import subprocess

import standin
import winerig

EXE = "tests/rig/sqlplus.exe"
TERMINAL = "tests/rig/terminal_standin.exe"


class ConsoleSqlPlus(standin.StandIn):
    """A console stand-in with its event log (events, mark, since and
    wait_event as for the window stand-in)."""

    def __init__(self, rig, name, *options, via="wineconsole", title=None, wait=True):
        self.rig = rig
        self.name = name
        # Not con.log or the like: a reserved device name is no file.
        self.log = os.path.join(rig.tmp, "console-%s.log" % name)
        self.title = title or "SQL*Plus-" + name
        start = self.mark()
        args = ["--log", rig.win_path(self.log), "--title", self.title] + list(options)
        desktop = ["wine", "explorer", "/desktop=%s,%s" % (rig.desktop, rig.size)]
        self.terminal_log = os.path.join(rig.tmp, "terminal-%s.log" % name)
        if via == "wineconsole":
            cmd = desktop + ["wineconsole", rig.exe(EXE)] + args
        elif via == "terminal":
            cmd = desktop + [rig.exe(TERMINAL), "--log", rig.win_path(self.terminal_log), "--title", self.title,
                             "--", rig.win_path(rig.exe(EXE))] + args
        else:
            # As from the Run box: a command prompt of its own runs it.
            keep = "/k" if via == "cmd /k" else "/c"
            cmd = desktop + ["cmd", "/c", "start", "cmd", keep, rig.win_path(rig.exe(EXE))] + args
        # The launcher may return long after the program ended under the
        # virtual desktop: the log tells when it is ready, not the launcher.
        self.process = subprocess.Popen(cmd, env=rig.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        rig.procs.append(self.process)
        self.ready = None
        if wait:
            self.ready = self.wait_event(lambda e: e["event"] == "ready", start, 60, "%s ready" % name)

    def lines(self, since):
        return [e["text"] for e in self.since(since) if e["event"] == "line"]

    def wait_lines(self, since, count, timeout=60):
        """The first `count` lines read since the mark, once they are there."""
        winerig.wait_for(lambda: len(self.lines(since)) >= count, timeout,
                         "%d line(s) read by %s (got %d)" % (count, self.name, len(self.lines(since))))
        return self.lines(since)[:count]

    def fronts(self, since):
        return [e for e in self.since(since) if e["event"] == "front"]


def split_lines(typed):
    """The lines a console program reads for a statement text typed into
    it: every CR LF, lone CR and lone LF is one Enter (read as CR LF)."""
    out = []
    line = ""
    i = 0
    while i < len(typed):
        c = typed[i]
        if c in "\r\n":
            if c == "\r" and typed[i + 1:i + 2] == "\n":
                i += 1
            out.append(line + "\r\n")
            line = ""
        else:
            line += c
        i += 1
    if line:
        out.append(line)
    return out
