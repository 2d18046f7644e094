"""What the Wine end-to-end tests share besides winerig: the runner of
their cases, and their checks.

A test script lists its cases in groups; each group runs in a Wine rig of
its own, and its setup makes the world (stand-ins, settings) that each of
its cases is called with:

    GROUPS = [cases.Group("standard stand-in", World, cases.named([case_a, case_b]))]

    if __name__ == "__main__":
        sys.exit(cases.main(__doc__, GROUPS, programs=[TOVRIN], shots="tovrin"))

    python3 test_X.py --bin BUILD_DIR [-k NAME_PART] [--only NAME] [--windows-version win98]

A case passes when it returns. When it raises, the runner logs why, saves a
screenshot of the rig's display (BUILD_DIR/<shots>-<case>-failed.png),
ends any marlet left behind and goes on with the next case. The exit status
is 1 when anything failed, or when no case was selected.

A failed check raises AssertionError with a message that says what was
expected and what came; long texts are shortened to their ends.
"""
import argparse
import os
import time
import traceback

import winerig


class Group:
    """Cases that share one rig. setup(rig) returns the world each case is
    called with; cases are (name, function) pairs. finish, another such
    pair, checks the group as a whole after its selected cases have run."""

    def __init__(self, title, setup, cases, finish=None):
        self.title = title
        self.setup = setup
        self.cases = cases
        self.finish = finish


def named(functions, prefix=""):
    """(name, function) pairs of case functions ("case_..."): the name is
    prefix + the function's name without its "case_"."""
    return [(prefix + f.__name__[len("case_"):], f) for f in functions]


def main(description, groups, programs=(), shots=None, diagnose=None, epilogue=None):
    """Runs the selected cases of the groups; returns the exit status.

    programs: files of the build (relative) that must be there.
    shots: the stem of the screenshots of failed cases (none without it).
    diagnose(world): called before each case; returns a function that
      prints what helps to understand a failure of that case (or None).
    epilogue(): prints the script's own figures after the last group."""
    parser = argparse.ArgumentParser(description=" ".join(description.strip().split("\n\n")[0].split()))
    parser.add_argument("--bin", required=True, help="the Windows build directory")
    parser.add_argument("-k", default="", help="run only the cases whose name contains this")
    parser.add_argument("--only", help="run only the case of this name")
    parser.add_argument("--windows-version", help="the Windows version Wine reports (win98, winxp, ...; "
                        "default: Wine's own, or the environment's VORN_WINE_VERSION)")
    args = parser.parse_args()
    if args.windows_version:
        winerig.set_windows_version(args.windows_version)
    missing = [exe for exe in programs if not os.path.isfile(os.path.join(args.bin, exe))]
    for exe in missing:
        print("missing", exe)
    if missing:
        return 1

    def wanted(name):
        return args.k in name and args.only in (None, name)

    started = time.monotonic()
    failed = []
    ran = 0
    for group in groups:
        selected = [(name, case) for name, case in group.cases if wanted(name)]
        if not selected:
            continue
        winerig.log("== %s%s" % (group.title, ", Wine reporting " + winerig.windows_version()
                                  if winerig.windows_version() else ""))
        with winerig.Rig(args.bin) as rig:
            try:
                world = group.setup(rig)
            except Exception:
                failed.append(group.title)
                winerig.log("FAIL setting up %s\n%s" % (group.title, traceback.format_exc()))
                continue
            for name, case in selected:
                ran += 1
                if not run_case(rig, world, name, case, shots, diagnose):
                    failed.append(name)
            if group.finish and not run_case(rig, world, *group.finish, shots, diagnose):
                failed.append(group.finish[0])
    if epilogue:
        epilogue()
    if ran == 0 and not failed:
        winerig.log("no such case")
        return 1
    winerig.log("%d case(s) in %.0f s, %d failed%s" % (ran, time.monotonic() - started, len(failed),
                                                       (": " + ", ".join(failed)) if failed else ""))
    return 1 if failed else 0


def run_case(rig, world, name, case, shots, diagnose):
    """Runs one case; True when it passed."""
    winerig.log("-- %s" % name)
    t0 = time.monotonic()
    report = None
    try:
        if diagnose:
            report = diagnose(world)
        case(world)
        winerig.log("   ok (%.1f s)" % (time.monotonic() - t0))
        return True
    except Exception:
        winerig.log("   FAIL %s (%.1f s)\n%s" % (name, time.monotonic() - t0, traceback.format_exc()))
    if report:
        try:
            report()
        except Exception:
            winerig.log("   (no report: %s)" % traceback.format_exc().strip().splitlines()[-1])
    if shots:
        shot = os.path.join(rig.build, "%s-%s-failed.png" % (shots, name.replace("/", "-")))
        try:
            rig.screenshot(shot)
            winerig.log("   screenshot of the failure: %s" % shot)
        except Exception:
            pass
    # Leave no marlet window or box behind for the next case.
    rig.kill_processes("marlet.exe")
    return False


# Checks -----------------------------------------------------------------------------
def check(condition, message):
    if not condition:
        raise AssertionError(message)


def check_equal(actual, expected, what):
    if actual != expected:
        raise AssertionError("%s: expected %r, got %r" % (what, shorten(expected), shorten(actual)))


def shorten(value):
    if isinstance(value, str) and len(value) > 300:
        return value[:150] + "...(%d units)..." % len(value) + value[-150:]
    return value
