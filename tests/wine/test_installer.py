"""End-to-end checks of the setup program under Wine, in a fresh prefix per
group. The setup program is built from the build's two programs by
tools/installer.sh; shortcuts are read back through IShellLink by
tests/rig/shortcut_tool.exe, windows through tests/rig/window_probe.exe, and
the uninstall entry through `reg export`.

- the build refuses a makensis without the fix for CVE-2023-37378 (an
  upstream 3.08, Debian's unpatched 3.08-3) and takes 3.09 or Debian's
  3.08-3+deb12u1;
- silent install: the programs and read-me files in the program folder, the
  sample tovrin.ini and marlet.txt in C:\\vorn3 (whose permissions are left
  alone), the Start-menu shortcuts (targets, tovrin's key Ctrl+Alt+Q, the
  template and the settings file in Notepad), the uninstall entry (with
  the MSI package's publisher); the setup program's version record and
  icon;
- marlet starts from its shortcut's target and shows its window;
- a silent install while marlet runs fails with a non-zero exit code and
  changes nothing that is installed;
- the user's edited C:\\vorn3 files (marlet.txt read-only) survive a second
  silent install byte for byte; the programs are replaced, the shortcuts
  kept (with the key the user gave tovrin);
- a silent uninstall (the entry's quiet command) removes programs,
  shortcuts, entry and folder and leaves C:\\vorn3 as it was;
- /ProtectVorn3 over that C:\\vorn3 keeps the user's files byte for byte
  (and, once more over the install, the shortcuts as the user made them);
  the folder gets its owner and permissions (Administrators and SYSTEM full
  control, Users read and execute, nothing inherited) and each file in it
  the owner and only what it inherits, as Wine's trace of the calls shows
  (Wine keeps no permissions of its own to read back);
- for the current user only (/CurrentUser): /ProtectVorn3 there is refused
  (exit code 87) and nothing is installed; the programs in the user's
  %LOCALAPPDATA%\\Programs, the shortcuts (with the key) in the user's Start
  menu, the entry under HKCU, nothing in Program Files, the all-users Start
  menu or HKLM; the manifest asks for the highest rights the user has (a
  standard user is not asked to elevate: Wine cannot show that); a later
  /S without a choice upgrades that install in place;
  its quiet uninstall removes it and keeps C:\\vorn3;
- the pages: English on a non-Japanese system (and Cancel changes nothing);
  in Japanese, welcome (screenshot BUILD/installer-welcome.png), for whom
  (all users chosen, as an administrator gets it under Wine), folder
  (all users chosen, as an administrator gets it under Wine), shared
  computer (unchecked), folder (from /D=, a folder with Japanese
  characters), progress, finish (with C:\\vorn3 a file: no samples, and
  the page says why; "start marlet" has the shell start it, so that marlet
  is no child of the elevated setup program); a second install while
  marlet runs asks to close it, and Retry goes on, and its finish page
  names the user's tovrin.ini it kept; the uninstaller's page says that
  C:\\vorn3 is kept;
- an uninstall by a standard user, pretended (a setup program built with
  TEST_AS_STANDARD_USER: Wine runs everything as administrator): started
  in the program folder with "_?=", it starts the instance with the rights
  there, waits for it and ends with its exit code (2 while marlet runs,
  nothing removed; 0 once all but uninstall.exe is gone); the entry's quiet
  command removes everything, C:\\vorn3 kept.

It runs once per test command, in the 32-bit build whose programs the
setup program ships: the setup program is one for both builds.

    python3 test_installer.py --bin BUILD_DIR [-k NAME_PART] [--only NAME]
"""
# wine test: x86 only
import os
import re
import stat
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "rig"))
import cases  # noqa: E402
import marlet_ui as ui  # noqa: E402
import winerig  # noqa: E402
from cases import check, check_equal  # noqa: E402

REPO = winerig.REPO
TIMEOUT = 90  # seconds; generous for a loaded machine
SETUP = "marlet-tovrin-2.01-setup.exe"
PUBLISHER = "marlet / tovrin"  # the MSI package's Manufacturer
SHORTCUT_TOOL = "tests/rig/shortcut_tool.exe"
START_MENU = r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\marlet tovrin"
ENTRY_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\marlet-tovrin"
# For the current user only: under the user's folder (user_paths).
USER_DIR = r"AppData\Local\Programs\marlet tovrin"
USER_START_MENU = r"AppData\Roaming\Microsoft\Windows\Start Menu\Programs\marlet tovrin"
USER_ENTRY_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\marlet-tovrin"
# 32-bit programs go to "Program Files (x86)" on 64-bit Windows.
DEFAULT_DIRS = (r"C:\Program Files (x86)\marlet tovrin", r"C:\Program Files\marlet tovrin")
JAPANESE_DIR = r"C:\SQLツール\マーレット"
CTRL_ALT_Q = 0x0651  # HOTKEYF_CONTROL | HOTKEYF_ALT in the high byte, 'Q' in the low
CTRL_ALT_T = 0x0654
LNK_HOTKEY = 0x40  # where a shortcut file holds its key (after the header's size, class id, flags, times)
PROGRAMS = ("marlet.exe", "tovrin.exe")
INSTALLED = PROGRAMS + ("README-ja.txt", "README-en.txt", "uninstall.exe")
# The window's title; the pages after the welcome page add a space to it, so
# that a message box (the title alone) is told from the pages.
SETUP_TITLE = "marlet / tovrin 2.01 セットアップ"
PAGE_TITLE = SETUP_TITLE + " "
UNINSTALL_PAGE_TITLE = "marlet / tovrin 2.01 アンインストール "
IDOK, IDCANCEL, IDRETRY, IDYES = 1, 2, 4, 6
ERROR_INVALID_PARAMETER = 87
# What the setup program gives C:\\vorn3 with /ProtectVorn3, and each entry in it.
VORN3_SDDL = "O:BAD:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)"
ENTRY_SDDL = "O:BAD:AI"
PROTECTED, UNPROTECTED = 0x80000005, 0x20000005  # OWNER | DACL with (UN)PROTECTED_DACL_SECURITY_INFORMATION
ACL_TRACE = "+advapi,+security"  # Wine's channels of SetNamedSecurityInfoW and the SDDL reader


# The world ----------------------------------------------------------------------
class World:
    def __init__(self, rig):
        self.rig = rig
        self._setup = None
        self.install_dir = None  # Windows path, once installed
        self.user_files = {}     # C:\vorn3 file name -> bytes the user wrote
        self.shortcuts = {}      # .lnk file name -> bytes after the first install
        self.start_menu = START_MENU  # where the install's shortcuts are, and its entry
        self.entry_key = ENTRY_KEY

    # The setup program, built when first wanted: the scripts that borrow
    # this world (the MSI's, the signed release's) must not rebuild the one
    # this script's cases run at the same time.
    @property
    def setup(self):
        if self._setup is None:
            self._setup = setup_program(self.rig.build)
        return self._setup

    @setup.setter
    def setup(self, path):
        self._setup = path


_built = {}


def setup_program(build, *defines):
    """Builds the setup program from this build's programs (once a run for
    each set of makensis defines)."""
    key = (build,) + defines
    if key not in _built:
        out = os.path.join(build, "installer" + "".join("-" + d.lower() for d in defines))
        r = subprocess.run(["bash", os.path.join(REPO, "tools", "installer.sh"), build, out]
                           + ["-D" + d for d in defines], capture_output=True, text=True, timeout=300)
        check(r.returncode == 0, "tools/installer.sh failed:\n%s%s" % (r.stdout, r.stderr[-2000:]))
        _built[key] = os.path.join(out, SETUP)
    return _built[key]


def japanese_locale(build):
    """A compiled ja_JP.UTF-8 locale for Wine (LOCPATH): without one, Wine
    can neither make file names with Japanese characters nor take them
    from its command line. Made once per build, in about a second."""
    root = os.path.join(build, "installer-locale")
    if not os.path.isdir(os.path.join(root, "ja_JP.UTF-8")):
        partial = root + ".part"
        subprocess.run(["rm", "-rf", partial], check=True)
        os.makedirs(partial)
        r = subprocess.run(["localedef", "-i", "ja_JP", "-f", "UTF-8", os.path.join(partial, "ja_JP.UTF-8")],
                           capture_output=True, text=True, timeout=120)
        check(os.path.isdir(os.path.join(partial, "ja_JP.UTF-8")), "localedef failed: %s" % r.stderr[-500:])
        subprocess.run(["rm", "-rf", root], check=True)
        os.rename(partial, root)
    return root


def user_paths(rig):
    """(program folder, Start-menu folder) of an install for the prefix's
    user, whose folder Wine names after the Linux user."""
    users = [u for u in os.listdir(rig.c_path("users")) if u != "Public"]
    check(len(users) == 1, "users of the prefix: %r" % users)
    home = "C:\\users\\" + users[0] + "\\"
    return home + USER_DIR, home + USER_START_MENU


def for_current_user(world):
    """Points the world's checks at an install for the current user."""
    (world.install_dir, world.start_menu), world.entry_key = user_paths(world.rig), USER_ENTRY_KEY


def make_world(rig):
    rig.env["LOCPATH"] = japanese_locale(rig.build)
    # Shortcuts must not become menu entries of the Linux desktop.
    rig.env["WINEDLLOVERRIDES"] += ";winemenubuilder.exe=d"
    rig.env["XDG_DATA_HOME"] = os.path.join(rig.tmp, "xdg-data")
    rig.env["XDG_CONFIG_HOME"] = os.path.join(rig.tmp, "xdg-config")
    return World(rig)


def world_without_vorn3(rig):
    """A computer where marlet and tovrin never were: no C:\\vorn3."""
    world = make_world(rig)
    os.rmdir(rig.c_path("vorn3"))
    return world


def world_with_vorn3_file(rig):
    """C:\\vorn3 is a file, not a folder."""
    world = world_without_vorn3(rig)
    with open(rig.c_path("vorn3"), "wb") as f:
        f.write(b"not a folder\r\n")
    return world


# Paths, files, registry ---------------------------------------------------------------
def unix(rig, windows_path):
    """The Unix path of a C: path of the prefix."""
    check(windows_path[:3].upper() == "C:\\", "not a C: path: %r" % windows_path)
    return rig.c_path(*[p for p in windows_path[3:].split("\\") if p])


def read(path):
    with open(path, "rb") as f:
        return f.read()


def build_file(world, relative):
    return read(world.rig.exe(relative))


def sample(name):
    return read(os.path.join(REPO, "marlet", "sample", name))


def run_silent(world, *args, exe=None, trace=None):
    """Runs the setup program (or exe) with /S to its end, outside the
    virtual desktop (it must show no window); returns its exit code. With
    trace, Wine's debug channels to turn on: their output is then in
    world.trace."""
    rig = world.rig
    path = os.path.join(rig.tmp, "setup-trace.log" if trace else "setup-run.log")
    log = open(path, "wb" if trace else "ab")
    env = dict(rig.env, WINEDEBUG=trace) if trace else rig.env
    p = subprocess.Popen(["wine", exe or world.setup, "/S"] + list(args), env=env,
                         stdout=log, stderr=log)
    rig.procs.append(p)
    try:
        return p.wait(timeout=TIMEOUT)
    except subprocess.TimeoutExpired:
        p.kill()
        raise AssertionError("%s /S did not end within %d s" % (os.path.basename(exe or world.setup), TIMEOUT))
    finally:
        log.close()
        if trace:
            world.trace = read(path).decode("utf-8", "replace")


def shortcuts(world):
    """{name: shortcut as IShellLink reports it} of the Start-menu folder;
    None when there is no such folder."""
    rig = world.rig
    out = os.path.join(rig.tmp, "shortcuts.json")
    if os.path.exists(out):
        os.remove(out)
    p = rig.start(SHORTCUT_TOOL, world.start_menu, rig.win_path(out), desktop=False)
    data = winerig.wait_for_json(out, TIMEOUT, "shortcut_tool's report")
    p.wait(timeout=TIMEOUT)
    if not data["folder_found"]:
        return None
    for s in data["shortcuts"]:
        check(s["loaded"], "IShellLink could not load %r" % s["name"])
    return {s["name"]: s for s in data["shortcuts"]}


def uninstall_entry(world, key=None):
    """The uninstall entry's values ({name: str or int}); None when there is
    no entry. Read in the 32-bit view, where the setup program writes."""
    rig = world.rig
    out = os.path.join(rig.tmp, "entry.reg")
    if os.path.exists(out):
        os.remove(out)
    subprocess.run(["wine", "reg", "export", key or world.entry_key, rig.win_path(out), "/y", "/reg:32"], env=rig.env,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=TIMEOUT)
    if not os.path.isfile(out):
        return None
    values = {}
    for line in read(out).decode("utf-16").splitlines():
        if not line.startswith('"') or '"=' not in line:
            continue
        name, value = line[1:].split('"=', 1)
        if value.startswith("dword:"):
            values[name] = int(value[6:], 16)
        elif value.startswith('"'):
            values[name] = value[1:-1].replace('\\"', '"').replace("\\\\", "\\")
        else:
            values[name] = value
    return values


def installed_state(world):
    """Everything an install leaves, for before/after comparisons."""
    rig = world.rig
    files = {}
    for name in INSTALLED:
        path = unix(rig, world.install_dir) + "/" + name
        files[name] = read(path) if os.path.isfile(path) else None
    links = {}
    folder = unix(rig, world.start_menu)
    for name in sorted(os.listdir(folder)) if os.path.isdir(folder) else ():
        links[name] = read(os.path.join(folder, name))
    return {"files": files, "shortcuts": links, "entry": uninstall_entry(world)}


def acl_calls(trace):
    """What a trace of ACL_TRACE shows the setup program do to permissions:
    (the SDDL texts it read, in order; {path: (flags, owner, DACL pointer)}
    of its SetNamedSecurityInfoW calls)."""
    sddl = [m.group(1) for m in re.finditer(
        r'ConvertStringSecurityDescriptorToSecurityDescriptorW L"([^"]*)"', trace)]
    calls = {}
    for m in re.finditer(r'SetNamedSecurityInfoW L"((?:[^"\\]|\\.)*)" 1 (-?\d+) (\w+) \w+ (\w+)', trace):
        calls[m.group(1).replace("\\\\", "\\")] = (int(m.group(2)) & 0xFFFFFFFF, m.group(3), m.group(4))
    return sddl, calls


def vorn3_files(rig):
    return {name: read(rig.c_path("vorn3", name)) for name in ("tovrin.ini", "marlet.txt")}


# What a complete install looks like ------------------------------------------------------
def check_installed(world, install_dir, japanese=True, tovrin_key=CTRL_ALT_Q):
    """Programs, read-me files, uninstaller, shortcuts and entry of an install
    into install_dir."""
    rig = world.rig
    folder = unix(rig, install_dir)
    for name in PROGRAMS:
        check(os.path.isfile(os.path.join(folder, name)), "%s is not in %s" % (name, install_dir))
        check(read(os.path.join(folder, name)) == build_file(world, name[:-4] + "/" + name),
              "the installed %s is not the build's" % name)
    readme_ja = read(os.path.join(folder, "README-ja.txt"))
    check(readme_ja.startswith(b"\xef\xbb\xbf") and b"\r\n" in readme_ja, "README-ja.txt is not in Windows form")
    check(b"\r\n" in read(os.path.join(folder, "README-en.txt")), "README-en.txt is not in Windows form")
    check(os.path.getsize(os.path.join(folder, "uninstall.exe")) > 10000, "no uninstaller")

    links = shortcuts(world)
    check(links is not None, "no Start-menu folder %s" % world.start_menu)
    readme, templates, settings, remove = (
        ("お読みください", "テンプレートの編集 (marlet.txt)", "設定の編集 (tovrin.ini)", "アンインストール") if japanese
        else ("Read me", "Edit templates (marlet.txt)", "Edit settings (tovrin.ini)", "Uninstall"))
    check_equal(sorted(links), sorted(n + ".lnk" for n in ("marlet", "tovrin", readme, templates, settings, remove)),
                "shortcuts")
    expected = {
        "marlet.lnk": (install_dir + r"\marlet.exe", ""),
        "tovrin.lnk": (install_dir + r"\tovrin.exe", ""),
        readme + ".lnk": (install_dir + ("\\README-ja.txt" if japanese else "\\README-en.txt"), ""),
        templates + ".lnk": (r"C:\windows\notepad.exe", r"C:\vorn3\marlet.txt"),
        settings + ".lnk": (r"C:\windows\notepad.exe", r"C:\vorn3\tovrin.ini"),
        remove + ".lnk": (install_dir + r"\uninstall.exe", ""),
    }
    for name, (target, arguments) in expected.items():
        s = links[name]
        check_equal((s["target"].lower(), s["arguments"]), (target.lower(), arguments), name + " target, arguments")
        check_equal(s["hotkey"], tovrin_key if name == "tovrin.lnk" else 0, name + " key")
    check_equal(links["tovrin.lnk"]["working_dir"].lower(), install_dir.lower(), "tovrin's working folder")

    entry = uninstall_entry(world)
    check(entry is not None, "no uninstall entry %s" % world.entry_key)
    check_equal(entry.get("DisplayName"), "marlet / tovrin", "DisplayName")
    check_equal(entry.get("DisplayVersion"), "2.01", "DisplayVersion")
    check_equal(entry.get("InstallLocation"), install_dir, "InstallLocation")
    check_equal(entry.get("UninstallString"), '"%s\\uninstall.exe"' % install_dir, "UninstallString")
    check_equal(entry.get("QuietUninstallString"), '"%s\\uninstall.exe" /S' % install_dir,
                "QuietUninstallString")
    check_equal(entry.get("Publisher"), PUBLISHER, "Publisher")
    kilobytes = sum(os.path.getsize(os.path.join(folder, n)) for n in INSTALLED) // 1024
    check(abs(entry.get("EstimatedSize", 0) - kilobytes) <= 8,
          "EstimatedSize %r KB, the files take %d KB" % (entry.get("EstimatedSize"), kilobytes))


def wait_uninstalled(world, install_dir):
    """The uninstaller copies itself away and returns at once: wait until it
    has removed the program folder and ended."""
    rig = world.rig
    folder = unix(rig, install_dir)
    winerig.wait_for(lambda: not os.path.exists(folder), TIMEOUT, "the program folder to go")
    winerig.wait_for(lambda: not rig.processes("Au_.exe"), TIMEOUT, "the uninstaller to end")


def check_uninstalled(world):
    check(shortcuts(world) is None, "the Start-menu folder is still there")
    entry = uninstall_entry(world)
    check(entry is None, "the uninstall entry is still there: %r" % entry)


# Silent install, upgrade, uninstall ------------------------------------------------------
def case_refuses_unfixed_makensis(world):
    """tools/installer.sh with a makensis that reports another version
    (a stand-in in front of the real one on PATH)."""
    rig = world.rig
    bin_dir = os.path.join(rig.tmp, "fake-makensis")
    os.makedirs(bin_dir)
    with open(os.path.join(bin_dir, "makensis"), "w") as f:
        f.write('#!/bin/sh\n[ "$1" = -VERSION ] && { printf "%s" "$FAKE_VERSION"; exit 0; }\nexit 0\n')
    os.chmod(os.path.join(bin_dir, "makensis"), 0o755)
    out = os.path.join(rig.tmp, "fake-installer")
    results = {}
    for version in ("v3.08", "v3.08-3", "v3.07", "v2.46", "garbage", "", "v3.08-3+deb12u1", "v3.08-3+deb12u2",
                    "v3.09", "v3.10", "v3.11-1"):
        env = dict(os.environ, PATH=bin_dir + os.pathsep + os.environ["PATH"], FAKE_VERSION=version)
        r = subprocess.run(["bash", os.path.join(REPO, "tools", "installer.sh"), rig.build, out], env=env,
                           capture_output=True, text=True, timeout=120)
        results[version] = r.returncode == 0
        check(r.returncode == 0 or "CVE-2023-37378" in r.stderr and "3.09" in r.stderr,
              "the refusal of makensis %r does not say why: %r" % (version, r.stderr))
    accepted = {"v3.08-3+deb12u1", "v3.08-3+deb12u2", "v3.09", "v3.10", "v3.11-1"}
    check_equal(results, {v: v in accepted for v in results}, "makensis versions taken")


def case_silent_install(world):
    rig = world.rig
    code = run_silent(world, trace=ACL_TRACE)
    check_equal(code, 0, "exit code of /S")
    check_equal(acl_calls(world.trace), ([], {}), "permissions set without /ProtectVorn3")
    found = [d for d in DEFAULT_DIRS if os.path.isdir(unix(rig, d))]
    check(found, "no program folder (%s); a 32-bit setup program needs 32-bit Wine (wine32)"
          % " or ".join(DEFAULT_DIRS))
    world.install_dir = found[0]
    check_equal(vorn3_files(rig), {"tovrin.ini": sample("tovrin.ini"), "marlet.txt": sample("marlet.txt")},
                "C:\\vorn3 after the first install")
    check_installed(world, world.install_dir)
    world.shortcuts = installed_state(world)["shortcuts"]

    data = ui.probe(rig, "--file", rig.win_path(world.setup))
    check(data["found"], "the probe could not open the setup program")
    v = data["version"]
    check(v["file_version"] == "2.1.0.0" and v["product_version"] == "2.1.0.0", "version numbers %r" % v)
    check(v["strings"].get("ProductVersion") == "2.01", "version strings %r" % v["strings"])
    check(len(data["icon_groups"]) >= 1, "no icon")
    images = sorted((i["width"], i["bitmap_bit_count"]) for i in data["icon_groups"][0]["images"])
    check_equal(images, [(n, 8) for n in (16, 32, 48, 64)], "the setup program's icon")


def case_marlet_from_shortcut(world):
    rig = world.rig
    target = shortcuts(world)["marlet.lnk"]["target"]
    rig.start(unix(rig, target))
    data = ui.window(rig)
    check_equal(data["title"], ui.TITLE, "the window of the installed marlet")
    # marlet stays open for the next case.


def case_silent_install_while_running(world):
    rig = world.rig
    if not ui.marlet_processes(rig):
        rig.start(unix(rig, world.install_dir + r"\marlet.exe"))
        ui.window(rig)
    # Marks in files that an install would write anew.
    folder = unix(rig, world.install_dir)
    for name in ("tovrin.exe", "README-en.txt", "uninstall.exe"):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(b"left by the test")
    before = installed_state(world)
    user = vorn3_files(rig)
    code = run_silent(world)
    check(code != 0, "a silent install over a running marlet reported success")
    after = installed_state(world)
    for part in ("files", "shortcuts", "entry"):
        check(after[part] == before[part], "the failed install changed the installed %s" % part)
    check(vorn3_files(rig) == user, "the failed install changed C:\\vorn3")
    ui.key(rig, ui.window(rig), "Escape")
    ui.wait_ended(rig, "Esc")


def case_upgrade_keeps_user_files(world):
    rig = world.rig
    world.user_files = {
        "tovrin.ini": b"[sql plus]\r\nactive=yes\r\n; mine\r\n",
        "marlet.txt": "■私のテンプレート\r\nselect * from 受注m;\r\n".encode("shift_jis"),
    }
    for name, data in world.user_files.items():
        with open(rig.c_path("vorn3", name), "wb") as f:
            f.write(data)
    os.chmod(rig.c_path("vorn3", "marlet.txt"), 0o444)  # read-only for Windows
    # The user gives tovrin the key Ctrl+Alt+T, as the shortcut's Properties would.
    lnk = os.path.join(unix(rig, world.start_menu), "tovrin.lnk")
    data = bytearray(read(lnk))
    check_equal(int.from_bytes(data[LNK_HOTKEY:LNK_HOTKEY + 2], "little"), CTRL_ALT_Q, "the key in tovrin.lnk")
    data[LNK_HOTKEY:LNK_HOTKEY + 2] = CTRL_ALT_T.to_bytes(2, "little")
    with open(lnk, "wb") as f:
        f.write(data)
    world.shortcuts["tovrin.lnk"] = bytes(data)
    code = run_silent(world)
    check_equal(code, 0, "exit code of the second /S")
    check_equal(vorn3_files(rig), world.user_files, "the user's C:\\vorn3 files after the second install")
    check(not os.stat(rig.c_path("vorn3", "marlet.txt")).st_mode & stat.S_IWUSR, "marlet.txt is no longer read-only")
    check_installed(world, world.install_dir, tovrin_key=CTRL_ALT_T)  # the marked files replaced
    check(installed_state(world)["shortcuts"] == world.shortcuts, "the second install changed the shortcuts")


def case_silent_uninstall(world):
    rig = world.rig
    command = uninstall_entry(world)["QuietUninstallString"]
    check(command.endswith('" /S') and command.startswith('"'), "quiet command %r" % command)
    code = run_silent(world, exe=unix(rig, command[1:-4]))
    check_equal(code, 0, "exit code of the quiet uninstall command")
    wait_uninstalled(world, world.install_dir)
    check_uninstalled(world)
    check_equal(vorn3_files(rig), world.user_files, "the user's C:\\vorn3 files after the uninstall")
    check(not os.stat(rig.c_path("vorn3", "marlet.txt")).st_mode & stat.S_IWUSR, "marlet.txt is no longer read-only")


def case_protect_existing_folder(world):
    """/ProtectVorn3 over the C:\\vorn3 the uninstall left, the user's
    files in it. (Not for marlet.txt's read-only flag: Wine maps the
    permissions onto the file's mode, which Windows keeps apart from the
    attributes.)"""
    rig = world.rig
    code = run_silent(world, "/ProtectVorn3", trace=ACL_TRACE)
    check_equal(code, 0, "exit code of /S /ProtectVorn3")
    check_equal(vorn3_files(rig), world.user_files, "the user's C:\\vorn3 files")
    check_installed(world, world.install_dir)
    sddl, calls = acl_calls(world.trace)
    check_equal(sddl, [VORN3_SDDL, ENTRY_SDDL], "the permissions read")
    check_equal(sorted(calls), [r"C:\vorn3", r"C:\vorn3\marlet.txt", r"C:\vorn3\tovrin.ini"], "what got permissions")
    folder = calls[r"C:\vorn3"]
    check_equal(folder[0], PROTECTED, "what C:\\vorn3 was given")
    for name in ("marlet.txt", "tovrin.ini"):
        entry = calls["C:\\vorn3\\" + name]
        check_equal(entry[0], UNPROTECTED, "what %s was given" % name)
        check(entry[1] == folder[1] and entry[2] != folder[2], "%s: owner %s, list %s; the folder's: %s, %s"
              % ((name,) + entry[1:] + folder[1:]))
    # Once more over that install: the shortcuts stay as the user made them.
    lnk = os.path.join(unix(rig, world.start_menu), "tovrin.lnk")
    data = bytearray(read(lnk))
    data[LNK_HOTKEY:LNK_HOTKEY + 2] = CTRL_ALT_T.to_bytes(2, "little")
    with open(lnk, "wb") as f:
        f.write(data)
    check_equal(run_silent(world, "/ProtectVorn3"), 0, "exit code of /S /ProtectVorn3 over the install")
    check_installed(world, world.install_dir, tovrin_key=CTRL_ALT_T)


# For the current user only ----------------------------------------------------------------
def check_nothing_for_all_users(world):
    rig = world.rig
    check(not any(os.path.exists(unix(rig, d)) for d in DEFAULT_DIRS), "a program folder under Program Files")
    check(not os.path.exists(unix(rig, START_MENU)), "a folder in the all-users Start menu")
    check(uninstall_entry(world, ENTRY_KEY) is None, "an uninstall entry under HKLM")


def case_current_user_install(world):
    rig = world.rig
    for_current_user(world)
    check_equal(run_silent(world, "/CurrentUser", "/ProtectVorn3"), ERROR_INVALID_PARAMETER,
                "exit code of /S /CurrentUser /ProtectVorn3")
    check(not os.path.exists(unix(rig, world.install_dir)) and not os.path.exists(rig.c_path("vorn3")),
          "/ProtectVorn3 for the current user installed something")
    check_equal(run_silent(world, "/CurrentUser"), 0, "exit code of /S /CurrentUser")
    check(os.path.isdir(unix(rig, world.install_dir)), "no program folder %s" % world.install_dir)
    check_equal(vorn3_files(rig), {"tovrin.ini": sample("tovrin.ini"), "marlet.txt": sample("marlet.txt")},
                "C:\\vorn3 after the install for the current user")
    check_installed(world, world.install_dir)
    check_nothing_for_all_users(world)
    # What Wine cannot show, as everything runs as administrator there: a
    # standard user gets no elevation prompt (asInvoker), an administrator one.
    check(b'requestedExecutionLevel level="highestAvailable"' in read(world.setup),
          "the setup program's manifest does not ask for the highest available rights")


def case_current_user_upgrade(world):
    """An administrator's /S without a choice finds the install for the
    current user and replaces it where it is."""
    rig = world.rig
    marked = os.path.join(unix(rig, world.install_dir), "tovrin.exe")
    with open(marked, "wb") as f:
        f.write(b"left by the test")
    check_equal(run_silent(world), 0, "exit code of the second /S")
    check_installed(world, world.install_dir)  # tovrin.exe is the build's again
    check_nothing_for_all_users(world)


def case_current_user_uninstall(world):
    rig = world.rig
    command = uninstall_entry(world)["QuietUninstallString"]
    check_equal(command, '"%s\\uninstall.exe" /S' % world.install_dir, "the quiet command")
    check_equal(run_silent(world, exe=unix(rig, command[1:-4])), 0, "exit code of the quiet uninstall command")
    wait_uninstalled(world, world.install_dir)
    check_uninstalled(world)
    check_equal(vorn3_files(rig), {"tovrin.ini": sample("tovrin.ini"), "marlet.txt": sample("marlet.txt")},
                "C:\\vorn3 after the uninstall")


# Pages ----------------------------------------------------------------------------------
def start_setup(world, *args, env=None, trace=None):
    """Starts the setup program in the virtual desktop; with trace, Wine's
    debug channels to turn on, their output going to world.trace_path."""
    rig = world.rig
    cmd = ["wine", "explorer", "/desktop=%s,%s" % (rig.desktop, rig.size), world.setup] + list(args)
    out = subprocess.DEVNULL
    if trace:
        env = dict(env or rig.env, WINEDEBUG=trace)
        world.trace_path = os.path.join(rig.tmp, "setup-pages-trace.log")
        out = open(world.trace_path, "wb")
    p = subprocess.Popen(cmd, env=env or rig.env, stdout=out, stderr=out)
    rig.procs.append(p)


def all_children(data):
    """A probed window's children, at any depth."""
    out = []
    stack = list(data["children"])
    while stack:
        c = stack.pop(0)
        out.append(c)
        stack.extend(c.get("children", []))
    return out


def all_texts(data):
    """The texts of a probed window's children, at any depth."""
    return [c["text"] for c in all_children(data)]


def page(world, title, text, what):
    """The setup window once it shows a control whose text holds `text` and
    its button for going on is enabled (the page's controls are made
    before the button is)."""
    def ready(d):
        buttons = [c for c in d["children"] if c["id"] == IDOK and c["class"] == "Button"]
        return any(text in t for t in all_texts(d)) and buttons and buttons[0]["enabled"]
    return ui.wait_probe(world.rig, title, ready, what, window_class="#32770", timeout=TIMEOUT)


def leaves_no_setup(case):
    """A case that ends any setup program or uninstaller it leaves behind
    when it fails, so that the next case starts on an empty desktop."""
    def run(world):
        try:
            case(world)
        except BaseException:
            for name in (SETUP, "uninstall.exe", "Au_.exe"):
                world.rig.kill_processes(name)
            raise
    run.__name__ = case.__name__
    return run


def button(data, id_):
    return ui.child(data, id_, "Button")


def press(world, data, id_):
    check(button(data, id_)["enabled"], "button %d of %r is disabled" % (id_, data["title"]))
    ui.click_child(world.rig, data, id_)


def processes(world):
    """{Windows process id: (file name in lower case, parent's id)} of the
    prefix, as wmic reports them."""
    rig = world.rig
    out = os.path.join(rig.tmp, "processes.txt")
    with open(out, "wb") as f:
        subprocess.run(["wine", "wmic", "process", "get", "Name,ParentProcessId,ProcessId"], env=rig.env,
                       stdout=f, stderr=subprocess.DEVNULL, timeout=TIMEOUT)
    table = {}
    for line in read(out).decode("utf-16").splitlines()[1:]:
        parts = line.rsplit(None, 2)
        if len(parts) == 3 and parts[1].isdigit() and parts[2].isdigit():
            table[int(parts[2])] = (parts[0].lower(), int(parts[1]))
    return table


def check_started_by_shell(world):
    """marlet runs, and as a child of the shell (explorer.exe), not of the
    setup program that runs with administrator rights."""
    rig = world.rig
    check_equal(ui.window(rig)["title"], ui.TITLE, "marlet started by the finish page")
    table = processes(world)
    parents = [table.get(parent, ("(ended)", 0))[0] for name, parent in table.values() if name == "marlet.exe"]
    check_equal(parents, ["explorer.exe"], "the parent of marlet")


def setup_ended(world):
    winerig.wait_for(lambda: not world.rig.processes(SETUP), TIMEOUT, "the setup program to end")


@leaves_no_setup
def case_english_pages(world):
    rig = world.rig
    env = dict(rig.env, LANG="C.UTF-8", LC_ALL="C.UTF-8")
    start_setup(world, env=env)
    data = page(world, "marlet / tovrin 2.01 Setup", "Welcome to", "the English welcome page")
    press(world, data, IDOK)
    data = page(world, "marlet / tovrin 2.01 Setup ", "Install just for me", "the English page that asks for whom")
    check("Install for anyone using this computer" in all_texts(data), "for whom: %r" % all_texts(data))
    press(world, data, IDCANCEL)
    box = ui.wait_probe(rig, "marlet / tovrin 2.01 Setup", lambda d: any(c["id"] == IDYES for c in d["children"]),
                        "the question whether to quit", window_class="#32770", timeout=TIMEOUT)
    ui.click_child(rig, box, IDYES)
    setup_ended(world)
    check(not any(os.path.exists(unix(rig, d)) for d in DEFAULT_DIRS + (JAPANESE_DIR,)),
          "Cancel left a program folder")
    check(uninstall_entry(world) is None, "Cancel left an uninstall entry")


@leaves_no_setup
def case_japanese_pages(world):
    rig = world.rig
    start_setup(world, "/D=" + JAPANESE_DIR)
    data = page(world, SETUP_TITLE, "セットアップへようこそ", "the welcome page")
    rig.screenshot(os.path.join(rig.build, "installer-welcome.png"))
    press(world, data, IDOK)
    data = page(world, PAGE_TITLE, "自分にのみインストール", "the page that asks for whom")
    check("このコンピューターを使用する全員にインストール" in all_texts(data), "for whom: %r" % all_texts(data))
    press(world, data, IDOK)  # all users, chosen already
    press(world, page(world, PAGE_TITLE, "管理者だけにする", "the page for a shared computer"), IDOK)
    data = page(world, PAGE_TITLE, "インストール先", "the folder page")
    edits = [c for c in all_texts(data) if c == JAPANESE_DIR]
    check(edits, "the folder page does not show %s: %r" % (JAPANESE_DIR, all_texts(data)))
    press(world, data, IDOK)
    data = page(world, PAGE_TITLE, "marlet を起動する", "the finish page")
    text = "\n".join(all_texts(data))
    check("ファイルとして存在する" in text and "tovrin.ini" in text,
          "the finish page does not say why there are no sample files: %r" % text)
    # The shared-computer option was off (it would have failed on the file).
    check("アクセス許可" not in text, "the finish page speaks of permissions: %r" % text)
    check_equal(read(rig.c_path("vorn3")), b"not a folder\r\n", "the file C:\\vorn3")
    press(world, data, IDOK)  # "start marlet" is checked
    setup_ended(world)
    check_started_by_shell(world)
    world.install_dir = JAPANESE_DIR
    check_installed(world, JAPANESE_DIR)


@leaves_no_setup
def case_retry_when_running(world):
    rig = world.rig
    check(ui.marlet_processes(rig), "marlet is not running")
    # C:\vorn3 is a folder now, with the user's tovrin.ini in it.
    os.remove(rig.c_path("vorn3"))
    os.makedirs(rig.c_path("vorn3"))
    world.user_files = {"tovrin.ini": b"[sql plus]\r\nactive=yes\r\n"}
    with open(rig.c_path("vorn3", "tovrin.ini"), "wb") as f:
        f.write(world.user_files["tovrin.ini"])
    start_setup(world, trace=ACL_TRACE)
    press(world, page(world, SETUP_TITLE, "セットアップへようこそ", "the welcome page"), IDOK)
    press(world, page(world, PAGE_TITLE, "自分にのみインストール", "the page that asks for whom"), IDOK)
    data = page(world, PAGE_TITLE, "管理者だけにする", "the page for a shared computer")
    box = [c for c in all_children(data) if "管理者だけにする" in c["text"]]
    ui.click_child(rig, data, box[0]["id"])  # on
    press(world, data, IDOK)
    data = page(world, PAGE_TITLE, "インストール先", "the folder page")
    check(JAPANESE_DIR in [t.rstrip("\\") for t in all_texts(data)], "an upgrade does not offer the installed folder: %r" % all_texts(data))
    press(world, data, IDOK)
    box = ui.wait_probe(rig, SETUP_TITLE, lambda d: any(c["id"] == IDRETRY for c in d["children"]),
                        "the request to close marlet", window_class="#32770", timeout=TIMEOUT)
    check("終了してから" in "".join(all_texts(box)), "the box says %r" % all_texts(box))
    ui.kill_marlet(rig)
    winerig.wait_for(lambda: not ui.marlet_processes(rig), TIMEOUT, "marlet to end")
    ui.click_child(rig, box, IDRETRY)
    data = page(world, PAGE_TITLE, "marlet を起動する", "the finish page after Retry")
    text = "\n".join(all_texts(data))
    check("そのまま残しました" in text and "C:\\vorn3\\tovrin.ini" in text and "marlet.txt" not in text,
          "the finish page does not name the kept tovrin.ini alone: %r" % text)
    press(world, data, IDOK)
    setup_ended(world)
    check_started_by_shell(world)
    ui.kill_marlet(rig)
    # The option chosen on the page: the folder and the user's file in it
    # (the sample marlet.txt came after, taking the folder's permissions).
    sddl, calls = acl_calls(read(world.trace_path).decode("utf-8", "replace"))
    check_equal({path: flags for path, (flags, _, _) in calls.items()},
                {r"C:\vorn3": PROTECTED, r"C:\vorn3\tovrin.ini": UNPROTECTED}, "permissions set from the page")
    world.user_files["marlet.txt"] = sample("marlet.txt")
    check_equal(vorn3_files(rig), world.user_files, "C:\\vorn3 after the second install")
    check_installed(world, JAPANESE_DIR)


@leaves_no_setup
def case_uninstall_page(world):
    rig = world.rig
    ui.kill_marlet(rig)  # (when the case runs alone)
    winerig.wait_for(lambda: not ui.marlet_processes(rig), TIMEOUT, "marlet to end")
    rig.start(unix(rig, JAPANESE_DIR + r"\uninstall.exe"))
    data = page(world, UNINSTALL_PAGE_TITLE, "C:\\vorn3", "the uninstaller's page")
    text = "\n".join(all_texts(data))
    check("削除せずに残します" in text, "the page does not say that C:\\vorn3 stays: %r" % text)
    press(world, data, IDOK)
    data = page(world, UNINSTALL_PAGE_TITLE, "完了", "the end of the uninstall")
    press(world, data, IDOK)
    wait_uninstalled(world, JAPANESE_DIR)
    check_uninstalled(world)
    check_equal(vorn3_files(rig), world.user_files, "C:\\vorn3 after the uninstall")


# An uninstall by a standard user, pretended -----------------------------------------
STANDARD_USER_DIR = r"C:\marlet-tovrin"  # "_?=" takes the rest of the command line; Wine would quote a space


def world_standard_user(rig):
    """An install for all users by a setup program whose uninstaller takes
    itself for a standard user's unless started for the rights."""
    world = world_without_vorn3(rig)
    world.setup = setup_program(rig.build, "TEST_AS_STANDARD_USER")
    return world


def install_for_standard_user_cases(world):
    world.install_dir = STANDARD_USER_DIR
    check_equal(run_silent(world, "/D=" + STANDARD_USER_DIR), 0, "exit code of /S")
    check_installed(world, STANDARD_USER_DIR)
    world.user_files = vorn3_files(world.rig)


def case_in_place_uninstall_waits_for_rights(world):
    rig = world.rig
    install_for_standard_user_cases(world)
    uninstaller = unix(rig, STANDARD_USER_DIR + r"\uninstall.exe")
    rig.start(unix(rig, STANDARD_USER_DIR + r"\marlet.exe"))
    ui.window(rig)
    before = installed_state(world)
    code = run_silent(world, "_?=" + STANDARD_USER_DIR, exe=uninstaller)
    check_equal(code, 2, "exit code of the uninstall while marlet runs (the instance with the rights)")
    check(installed_state(world) == before, "the refused uninstall changed the install")
    ui.kill_marlet(rig)
    winerig.wait_for(lambda: not ui.marlet_processes(rig), TIMEOUT, "marlet to end")
    check_equal(run_silent(world, "_?=" + STANDARD_USER_DIR, exe=uninstaller), 0, "exit code of the uninstall")
    # Done when it returns: only the running uninstaller is left, as "_?=" promises.
    check_equal(sorted(os.listdir(unix(rig, STANDARD_USER_DIR))), ["uninstall.exe"], "the program folder")
    check_uninstalled(world)
    check_equal(vorn3_files(rig), world.user_files, "C:\\vorn3 after the uninstall")


def case_quiet_command_as_standard_user(world):
    rig = world.rig
    os.remove(unix(rig, STANDARD_USER_DIR + r"\uninstall.exe"))
    install_for_standard_user_cases(world)
    command = uninstall_entry(world)["QuietUninstallString"]
    check_equal(run_silent(world, exe=unix(rig, command[1:-4])), 0, "exit code of the quiet uninstall command")
    wait_uninstalled(world, STANDARD_USER_DIR)
    check_uninstalled(world)
    check_equal(vorn3_files(rig), world.user_files, "C:\\vorn3 after the uninstall")


GROUPS = [
    cases.Group("silent install, upgrade and uninstall", world_without_vorn3, cases.named([
        case_refuses_unfixed_makensis, case_silent_install, case_marlet_from_shortcut, case_silent_install_while_running,
        case_upgrade_keeps_user_files, case_silent_uninstall, case_protect_existing_folder])),
    cases.Group("for the current user only", world_without_vorn3, cases.named([
        case_current_user_install, case_current_user_upgrade, case_current_user_uninstall])),
    cases.Group("pages; C:\\vorn3 a file", world_with_vorn3_file, cases.named([
        case_english_pages, case_japanese_pages, case_retry_when_running, case_uninstall_page])),
    cases.Group("uninstall by a standard user (pretended)", world_standard_user, cases.named([
        case_in_place_uninstall_waits_for_rights, case_quiet_command_as_standard_user])),
]


if __name__ == "__main__":
    sys.exit(cases.main(__doc__, GROUPS, programs=[ui.MARLET, ui.PROBE, SHORTCUT_TOOL, "tovrin/tovrin.exe"],
                        shots="installer"))
