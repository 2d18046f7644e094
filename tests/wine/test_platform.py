"""Runs platform_check.exe, the checks of the real Windows layer, under Wine
in a virtual desktop with the Japanese code page, and fails on any FAIL line,
on a missing final summary or on a non-zero exit. The clipboard offer's
checks run once more with the ANSI code page 65001 beside a locale of
another (see check_ansi_code_page_of_its_own).

    python3 test_platform.py --bin BUILD_DIR [--only NAME]
"""
import argparse
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "rig"))
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
        if not args.only:
            return check_ansi_code_page_of_its_own(rig)
    return 0


# Wine makes GetACP() 65001 (UTF-8) under a locale that has no ANSI code page
# of its own (Hindi here), while that locale's LOCALE_IDEFAULTANSICODEPAGE is
# 0: the two differ, as they do on Windows with "Use Unicode UTF-8 for
# worldwide language support" (65001 beside 932). The delivery's offer then
# carries CF_TEXT of its own in the ANSI code page; its check sees it read.
def check_ansi_code_page_of_its_own(rig):
    rig.env["LANG"] = rig.env["LC_ALL"] = "hi_IN.UTF-8"
    out = os.path.join(rig.tmp, "platform_check_utf8.txt")
    code, _, stderr, _ = rig.run("tests/platform_check.exe", "--out", rig.win_path(out), "--only",
                                 "clipboard_offer", timeout=RUN_TIMEOUT)
    lines = []
    if os.path.isfile(out):
        with open(out, encoding="utf-8", errors="replace") as f:
            lines = f.read().splitlines()
    for line in lines:
        print("(hi_IN) " + line)
    if "info ANSI code page 65001" not in lines:
        print("Wine did not give the ANSI code page 65001 under hi_IN")
        return 1
    if code != 0 or not any(line.startswith("done:") for line in lines) or any(
            line.startswith("FAIL") or "not all tried" in line for line in lines):
        print("the offer's CF_TEXT of its own failed or was not tried; stderr:")
        print(stderr[-2000:])
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
