"""End-to-end checks of the setup program under Wine, in a fresh prefix per
group. The setup program is built from the build's two programs by
tools/installer.sh; shortcuts are read back through IShellLink by
tools/shortcut_tool.exe, windows through tests/window_probe.exe, and the
uninstall entry through `reg export`.

- silent install: the programs and read-me files in the program folder, the
  sample tovrin.ini and marlet.txt in C:\\vorn3, the Start-menu shortcuts
  (targets, tovrin's key Ctrl+Alt+Q, the template file in Notepad), the
  uninstall entry; the setup program's version record and icon;
- marlet starts from its shortcut's target and shows its window;
- a silent install while marlet runs fails with a non-zero exit code and
  changes nothing that is installed;
- the user's edited C:\\vorn3 files (marlet.txt read-only) survive a second
  silent install byte for byte; the programs are replaced, the shortcuts
  kept (with the key the user gave tovrin);
- a silent uninstall (the entry's quiet command) removes programs,
  shortcuts, entry and folder and leaves C:\\vorn3 as it was;
- for the current user only (/CurrentUser): the programs in the user's
  %LOCALAPPDATA%\\Programs, the shortcuts (with the key) in the user's Start
  menu, the entry under HKCU, nothing in Program Files, the all-users Start
  menu or HKLM; the manifest asks for the highest rights the user has (a
  standard user is not asked to elevate: Wine cannot show that); a later
  /S without a choice upgrades that install in place;
  its quiet uninstall removes it and keeps C:\\vorn3;
- the pages: English on a non-Japanese system (and Cancel changes nothing);
  in Japanese, welcome (screenshot BUILD/installer-welcome.png), for whom
  (all users chosen, as an administrator gets it under Wine), folder
  (from /D=, a folder with Japanese characters), progress, finish (with
  C:\\vorn3 a file: no samples, and the page says why; "start marlet"
  starts it); a second install while marlet runs asks to close it, and
  Retry goes on; the uninstaller's page says that C:\\vorn3 is kept.

It runs once per test command, in the 32-bit build whose programs the
setup program ships: the setup program is one for both builds.

    python3 test_installer.py --bin BUILD_DIR [-k NAME_PART] [--only NAME]
"""
# wine test: x86 only
import os
import stat
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import cases  # noqa: E402
import marlet_ui as ui  # noqa: E402
import winerig  # noqa: E402
from cases import check, check_equal  # noqa: E402

REPO = winerig.REPO
TIMEOUT = 90  # seconds; generous for a loaded machine
SETUP = "marlet-tovrin-2.01-setup.exe"
SHORTCUT_TOOL = "tools/shortcut_tool.exe"
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


def setup_program(build):
    """Builds the setup program from this build's programs (once a run)."""
    if build not in _built:
        out = os.path.join(build, "installer")
        r = subprocess.run(["bash", os.path.join(REPO, "tools", "installer.sh"), build, out],
                           capture_output=True, text=True, timeout=300)
        check(r.returncode == 0, "tools/installer.sh failed:\n%s%s" % (r.stdout, r.stderr[-2000:]))
        _built[build] = os.path.join(out, SETUP)
    return _built[build]


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


def run_silent(world, *args, exe=None):
    """Runs the setup program (or exe) with /S to its end, outside the
    virtual desktop (it must show no window); returns its exit code."""
    rig = world.rig
    log = open(os.path.join(rig.tmp, "setup-run.log"), "ab")
    p = subprocess.Popen(["wine", exe or world.setup, "/S"] + list(args), env=rig.env,
                         stdout=log, stderr=log)
    rig.procs.append(p)
    try:
        return p.wait(timeout=TIMEOUT)
    except subprocess.TimeoutExpired:
        p.kill()
        raise AssertionError("%s /S did not end within %d s" % (os.path.basename(exe or world.setup), TIMEOUT))
    finally:
        log.close()


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
    readme, templates, remove = (("お読みください", "テンプレートの編集 (marlet.txt)", "アンインストール") if japanese
                                 else ("Read me", "Edit templates (marlet.txt)", "Uninstall"))
    check_equal(sorted(links), sorted(n + ".lnk" for n in ("marlet", "tovrin", readme, templates, remove)),
                "shortcuts")
    expected = {
        "marlet.lnk": (install_dir + r"\marlet.exe", ""),
        "tovrin.lnk": (install_dir + r"\tovrin.exe", ""),
        readme + ".lnk": (install_dir + ("\\README-ja.txt" if japanese else "\\README-en.txt"), ""),
        templates + ".lnk": (r"C:\windows\notepad.exe", r"C:\vorn3\marlet.txt"),
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
    check("Publisher" not in entry, "the entry names a publisher: %r" % entry.get("Publisher"))
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
def case_silent_install(world):
    rig = world.rig
    code = run_silent(world)
    check_equal(code, 0, "exit code of /S")
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


# For the current user only ----------------------------------------------------------------
def check_nothing_for_all_users(world):
    rig = world.rig
    check(not any(os.path.exists(unix(rig, d)) for d in DEFAULT_DIRS), "a program folder under Program Files")
    check(not os.path.exists(unix(rig, START_MENU)), "a folder in the all-users Start menu")
    check(uninstall_entry(world, ENTRY_KEY) is None, "an uninstall entry under HKLM")


def case_current_user_install(world):
    rig = world.rig
    for_current_user(world)
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
def start_setup(world, *args, env=None):
    rig = world.rig
    cmd = ["wine", "explorer", "/desktop=%s,%s" % (rig.desktop, rig.size), world.setup] + list(args)
    p = subprocess.Popen(cmd, env=env or rig.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    rig.procs.append(p)


def all_texts(data):
    """The texts of a probed window's children, at any depth."""
    out = []
    stack = list(data["children"])
    while stack:
        c = stack.pop(0)
        out.append(c["text"])
        stack.extend(c.get("children", []))
    return out


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
    data = page(world, PAGE_TITLE, "インストール先", "the folder page")
    edits = [c for c in all_texts(data) if c == JAPANESE_DIR]
    check(edits, "the folder page does not show %s: %r" % (JAPANESE_DIR, all_texts(data)))
    press(world, data, IDOK)
    data = page(world, PAGE_TITLE, "marlet を起動する", "the finish page")
    text = "\n".join(all_texts(data))
    check("ファイルとして存在する" in text and "tovrin.ini" in text,
          "the finish page does not say why there are no sample files: %r" % text)
    check_equal(read(rig.c_path("vorn3")), b"not a folder\r\n", "the file C:\\vorn3")
    press(world, data, IDOK)  # "start marlet" is checked
    setup_ended(world)
    check_equal(ui.window(rig)["title"], ui.TITLE, "marlet started by the finish page")
    world.install_dir = JAPANESE_DIR
    check_installed(world, JAPANESE_DIR)


@leaves_no_setup
def case_retry_when_running(world):
    rig = world.rig
    check(ui.marlet_processes(rig), "marlet is not running")
    start_setup(world)
    press(world, page(world, SETUP_TITLE, "セットアップへようこそ", "the welcome page"), IDOK)
    press(world, page(world, PAGE_TITLE, "自分にのみインストール", "the page that asks for whom"), IDOK)
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
    press(world, data, IDOK)
    setup_ended(world)
    ui.window(rig)
    ui.kill_marlet(rig)
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
    check_equal(read(rig.c_path("vorn3")), b"not a folder\r\n", "the file C:\\vorn3")


GROUPS = [
    cases.Group("silent install, upgrade and uninstall", world_without_vorn3, cases.named([
        case_silent_install, case_marlet_from_shortcut, case_silent_install_while_running,
        case_upgrade_keeps_user_files, case_silent_uninstall])),
    cases.Group("for the current user only", world_without_vorn3, cases.named([
        case_current_user_install, case_current_user_upgrade, case_current_user_uninstall])),
    cases.Group("pages; C:\\vorn3 a file", world_with_vorn3_file, cases.named([
        case_english_pages, case_japanese_pages, case_retry_when_running, case_uninstall_page])),
]


if __name__ == "__main__":
    sys.exit(cases.main(__doc__, GROUPS, programs=[ui.MARLET, ui.PROBE, SHORTCUT_TOOL, "tovrin/tovrin.exe"],
                        shots="installer"))
