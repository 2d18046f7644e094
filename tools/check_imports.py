#!/usr/bin/env python3
"""Checks what Windows programs import, so that they start on the oldest
Windows they are built for.

    python3 tools/check_imports.py [--exports DIR] PROGRAM.exe...

A 32-bit program (for Windows XP SP3 and later) may import only functions
that XP SP3's own DLLs export: every imported DLL must have a list of its XP
exports in DIR (<dll>.txt, one name a line, "#" lines are comments) and every
imported name must be on it. Anything newer has to be looked up at run time.
A 64-bit program (for 64-bit Vista and later) may import only DLLs that come
with Windows; its function names are not checked.

DIR defaults to ../shared/winxp-exports beside the repository. Prints one
line per program and one per fault; exit status 1 when any program fails.
"""
import argparse
import os
import re
import shutil
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
DEFAULT_EXPORTS = os.path.join(os.path.dirname(REPO), "shared", "winxp-exports")

I386, AMD64 = 0x14C, 0x8664

# DLLs that come with every 64-bit Windows from Vista on.
SYSTEM_DLLS = re.compile(r"^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comctl32|comdlg32|"
                         r"windowscodecs|msvcrt|imm32|uxtheme|version|shlwapi|psapi)\.dll$")


def machine(path):
    """The PE machine field of an .exe (0x14c for x86, 0x8664 for x64)."""
    with open(path, "rb") as f:
        head = f.read(4096)
    if head[:2] != b"MZ" or len(head) < 0x40:
        raise ValueError("%s is not a Windows program" % path)
    pe = struct.unpack_from("<I", head, 0x3C)[0]
    if head[pe:pe + 4] != b"PE\0\0":
        raise ValueError("%s has no PE header" % path)
    return struct.unpack_from("<H", head, pe + 4)[0]


def objdump(arch):
    names = ["i686-w64-mingw32-objdump"] if arch == I386 else ["x86_64-w64-mingw32-objdump"]
    for name in names + ["x86_64-w64-mingw32-objdump", "i686-w64-mingw32-objdump", "objdump"]:
        if shutil.which(name):
            return name
    raise RuntimeError("no objdump for Windows programs found")


def imports(path, arch):
    """[(dll, name)] of the program's import table; name is "#N" for an
    import by ordinal."""
    dump = subprocess.run([objdump(arch), "-p", path], capture_output=True, text=True, check=True,
                          timeout=120).stdout
    found, dll = [], None
    for line in dump.splitlines():
        m = re.match(r"\s*DLL Name:\s*(\S+)", line)
        if m:
            dll = m.group(1)
            continue
        if dll is None:
            continue
        if not line.strip():
            dll = None
            continue
        # "  3f428    136  CloseHandle" (by name) or "  3f428  80000011  <none>" (by ordinal)
        m = re.match(r"\s*[0-9a-fA-F]+\s+([0-9a-fA-F]+)\s+(\S+)", line)
        if m:
            found.append((dll, m.group(2) if m.group(2) != "<none>" else "#" + m.group(1)))
        elif "Hint/Ord" not in line:
            dll = None
    return found


def read_exports(directory, dll, cache):
    key = dll.lower()
    if key not in cache:
        path = os.path.join(directory, re.sub(r"\.dll$", "", key) + ".txt")
        names = None
        if os.path.isfile(path):
            with open(path, encoding="ascii", errors="replace") as f:
                names = {line.strip() for line in f if line.strip() and not line.startswith("#")}
        cache[key] = names
    return cache[key]


def check(path, exports_dir, cache):
    """The faults of one program, as lines of text."""
    arch = machine(path)
    table = imports(path, arch)
    dlls = sorted({dll for dll, _ in table}, key=str.lower)
    name = os.path.basename(path)
    if not table:
        return ["%s: no imports found (objdump gave no import table)" % name]
    faults = []
    if arch == I386:
        for dll in dlls:
            known = read_exports(exports_dir, dll, cache)
            if known is None:
                faults.append("%s imports from %s, which has no list of XP SP3 exports in %s"
                              % (name, dll, exports_dir))
                continue
            for d, function in table:
                if d == dll and function not in known:
                    faults.append("%s imports %s from %s, which Windows XP SP3 does not export"
                                  % (name, function, dll))
        rule = "only what Windows XP SP3 exports"
    elif arch == AMD64:
        for dll in dlls:
            if not SYSTEM_DLLS.match(dll.lower()):
                faults.append("%s imports %s, which is not a DLL of Windows itself" % (name, dll))
        rule = "only DLLs of Windows itself"
    else:
        return ["%s: unknown machine type 0x%x" % (name, arch)]
    print("%s (%s): %d functions from %s: %s" % (
        name, "x86" if arch == I386 else "x64", len(table), ", ".join(dlls),
        "FAILED" if faults else rule))
    return faults


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--exports", default=DEFAULT_EXPORTS, help="the lists of XP SP3 exports, one file per DLL")
    parser.add_argument("programs", nargs="+")
    args = parser.parse_args()
    if not os.path.isdir(args.exports):
        print("check_imports: no lists of XP SP3 exports in %s" % args.exports)
        return 1
    cache, faults = {}, []
    for path in args.programs:
        try:
            faults += check(path, args.exports, cache)
        except (OSError, ValueError, RuntimeError, subprocess.SubprocessError) as e:
            faults.append("%s: %s" % (path, e))
    for fault in faults:
        print("  " + fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
