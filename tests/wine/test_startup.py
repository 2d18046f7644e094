"""How both programs start, under Wine: what Windows is told about them and
where they let it look for DLLs.

- the program files' manifests: both run with the rights of whoever starts
  them (asInvoker, which also turns off UAC's file and registry
  virtualization) and name the Windows versions they were made for;
  tovrin's declares no DPI awareness (it shows no window and reads no
  window's size or place);
- from their start on, a DLL that Windows loads for them by name is looked
  for in System32 alone, not in the program's folder or the current folder:
  Wine's loader trace (+module) names the path each load searches. marlet
  through its window's life (the window itself loads DLLs that way),
  tovrin through a whole run.

What Wine cannot show: XP and Vista drop only the current folder
(SetDllDirectory("")), which Wine keeps in its path whatever it is told;
Windows' own loader and its KnownDLLs; that the manifest is read by XP SP3
at all (check it on XP itself).

    python3 test_startup.py --bin BUILD_DIR [--only NAME]
"""
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "rig"))
import cases  # noqa: E402
import marlet_ui as ui  # noqa: E402
import winerig  # noqa: E402
from cases import check, check_equal  # noqa: E402

TIMEOUT = 60
TOVRIN = "tovrin/tovrin.exe"
SUPPORTED_OS = ("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}")
SYSTEM32_ONLY = r"C:\\windows\\system32\\"  # as the trace writes it


def manifest(rig, program):
    data = ui.probe(rig, "--file", rig.win_path(rig.exe(program)))
    check(data["found"], "the probe could not open %s" % program)
    return data["manifest"] or ""


def case_manifests(rig):
    for program in (ui.MARLET, TOVRIN):
        text = manifest(rig, program)
        check(re.search(r'<requestedExecutionLevel level="asInvoker" uiAccess="false"/>', text),
              "%s does not ask for the rights of whoever starts it: %r" % (program, text))
        check_equal([g for g in SUPPORTED_OS if g in text], list(SUPPORTED_OS), program + "'s supportedOS")
    check("dpiAware" not in manifest(rig, TOVRIN), "tovrin declares a DPI awareness")


def searches(log, program):
    """The by-name DLL searches of the program's main thread, in order:
    [(DLL, the path searched)], from Wine's +module trace."""
    text = open(log, "rb").read().decode("utf-8", "replace")
    name = re.escape(os.path.basename(program))
    # The last thread that maps it runs it (for a 64-bit program, a 32-bit
    # loader maps it first and hands it on).
    mapped = re.findall(r'(?m)^([0-9a-f]+):trace:module:map_image_into_view mapping PE file L"[^"]*\\\\%s"' % name,
                        text, re.IGNORECASE)
    check(mapped, "the trace does not show %s starting" % program)
    return re.findall(r'(?m)^%s:trace:module:load_dll looking for L"([^"]+)" in L"([^"]*)"' % mapped[-1], text)


def check_system32_only(log, program):
    found = searches(log, program)
    # The imports are resolved before the program runs, with the usual path;
    # from its first search in System32 alone, no other path may follow.
    first = next((i for i, (_, path) in enumerate(found) if path == SYSTEM32_ONLY), None)
    check(first is not None, "%s never searched System32 alone: %r" % (program, [(d, p[:60]) for d, p in found[-5:]]))
    later = [(dll, path[:80]) for dll, path in found[first:] if path != SYSTEM32_ONLY]
    check_equal(later, [], program + "'s searches in other folders after the first in System32 alone")


def traced_env(rig):
    return dict(rig.env, WINEDEBUG="+module")


def case_tovrin_dll_search(rig):
    log = os.path.join(rig.tmp, "tovrin-module.log")
    with open(log, "wb") as f:
        p = subprocess.Popen(["wine", rig.exe(TOVRIN)], env=traced_env(rig), stdout=f, stderr=f)
        rig.procs.append(p)
        p.wait(timeout=TIMEOUT)  # no SQL*Plus: it beeps and ends
    check_system32_only(log, TOVRIN)


def case_marlet_dll_search(rig):
    log = os.path.join(rig.tmp, "marlet-module.log")
    with open(log, "wb") as f:
        p = subprocess.Popen(["wine", "explorer", "/desktop=%s,%s" % (rig.desktop, rig.size), rig.exe(ui.MARLET)],
                             env=traced_env(rig), stdout=f, stderr=f)
        rig.procs.append(p)
        data = ui.window(rig)
        ui.key(rig, data, "Escape")
        ui.wait_ended(rig, "Esc")
    check_system32_only(log, ui.MARLET)


GROUPS = [
    cases.Group("start-up of both programs", lambda rig: rig, cases.named([
        case_manifests, case_tovrin_dll_search, case_marlet_dll_search])),
]


if __name__ == "__main__":
    sys.exit(cases.main(__doc__, GROUPS, programs=[ui.MARLET, ui.PROBE, TOVRIN]))
