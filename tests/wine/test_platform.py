"""Runs platform_check.exe, the checks of the real Windows layer, under Wine
in a virtual desktop with the Japanese code page, and fails on any FAIL line,
on a missing final summary or on a non-zero exit.

    python3 test_platform.py --bin BUILD_DIR [--only NAME]
"""
import argparse
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import winerig  # noqa: E402

# The whole run takes well under a minute; the limit is for a loaded machine.
RUN_TIMEOUT = 400


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="the Windows build directory")
    parser.add_argument("--only", help="run one check or group of checks")
    args = parser.parse_args()

    exe = os.path.join(args.bin, "tests", "platform_check.exe")
    if not os.path.isfile(exe):
        print("missing", exe)
        return 1

    with winerig.Rig(args.bin) as rig:
        out = os.path.join(rig.tmp, "platform_check.txt")
        extra = ["--only", args.only] if args.only else []
        code, stdout, stderr, seconds = rig.run("tests/platform_check.exe", "--out", rig.win_path(out), *extra,
                                                timeout=RUN_TIMEOUT)
        # The program writes its lines to the file as it goes; that is what
        # counts (inside the virtual desktop its console output may not
        # reach us).
        lines = []
        if os.path.isfile(out):
            with open(out, encoding="utf-8", errors="replace") as f:
                lines = f.read().splitlines()
        for line in lines:
            print(line)
        print("(exit code %d after %.1f s)" % (code, seconds))

        failures = [line for line in lines if line.startswith("FAIL")]
        done = [line for line in lines if line.startswith("done:")]
        if not done:
            print("platform_check did not finish; stderr:")
            print(stderr[-4000:])
            rig.screenshot(os.path.join(args.bin, "platform_check_unfinished.png"))
            return 1
        # The rig promises the Japanese code page; without it the checks of
        # the ANSI path with Japanese text would quietly not run.
        if "info ANSI code page 932" not in lines:
            print("Wine did not run with the ANSI code page 932")
            return 1
        if failures:
            print("%d check(s) failed" % len(failures))
            return 1
        if code != 0:
            print("platform_check exited with code %d" % code)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
