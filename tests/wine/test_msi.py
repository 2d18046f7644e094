"""End-to-end checks of the MSI package under Wine's msiexec, in one
prefix. The package is built from the build's two programs by
tools/package/msi.sh, once as 2.01 (Windows Installer's 2.1.0) and once as
an earlier 2.0.0; shortcuts are read back through IShellLink by
tests/rig/shortcut_tool.exe, the uninstall entries through `reg query`.

- PROTECTVORN3=1 is refused before Windows 7 (Wine reporting Vista) and
  installs nothing;
- the earlier version installs silently (/qn) where C:\\vorn3 holds the
  user's tovrin.ini only: the programs, read-me files and shortcuts (tovrin's
  with Ctrl+Alt+Q, Notepad on each C:\\vorn3 file), the entry, the sample
  marlet.txt; the user's file kept; without PROTECTVORN3 the icacls actions
  do not run;
- 2.01 over it, with PROTECTVORN3=1, replaces it (one entry, of 2.01) and
  leaves the user's C:\\vorn3 files as they were, byte for byte; the two
  icacls actions ran and succeeded (what they and the MsiLockPermissionsEx
  row do to permissions, Wine cannot show: its msi ignores that table and
  its icacls does nothing); 2.0.0 over 2.01 is refused;
- 2.01 again over itself, and a repair that writes every file anew (REINSTALLMODE=amus),
  change neither the install nor the user's files;
- /x /qn removes programs, shortcuts and entry and keeps C:\\vorn3 as it was.

Wine's msi puts the shortcuts of a per-machine package into the user's Start
menu (its ProgramMenuFolder ignores ALLUSERS; Windows uses the all-users
one): either folder counts, not both.

    python3 test_msi.py --bin BUILD_DIR [-k NAME_PART] [--only NAME]
"""
# wine test: x86 only
import hashlib
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "rig"))
import cases  # noqa: E402
import test_installer as setup  # noqa: E402
import winerig  # noqa: E402
from cases import check, check_equal  # noqa: E402

REPO = winerig.REPO
TIMEOUT = 120  # seconds; msiexec takes some 6 s a run here
MSI = "marlet-tovrin-2.01.msi"
INSTALL_DIR = r"C:\Program Files\marlet tovrin"
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
INSTALLED = ("marlet.exe", "tovrin.exe", "README-ja.txt", "README-en.txt")
SHORTCUTS = {  # name: (target, arguments)
    "marlet.lnk": (INSTALL_DIR + r"\marlet.exe", ""),
    "tovrin.lnk": (INSTALL_DIR + r"\tovrin.exe", ""),
    "README-ja.lnk": (INSTALL_DIR + r"\README-ja.txt", ""),
    "Read me.lnk": (INSTALL_DIR + r"\README-en.txt", ""),
    "Edit templates (marlet.txt).lnk": (r"C:\windows\notepad.exe", r"C:\vorn3\marlet.txt"),
    "Edit settings (tovrin.ini).lnk": (r"C:\windows\notepad.exe", r"C:\vorn3\tovrin.ini"),
}
PROTECT_ACTIONS = ("Vorn3Owner", "Vorn3Inherit")  # icacls as LocalSystem, with PROTECTVORN3=1
USER_INI = b"[sql plus]\r\nactive=yes\r\n; mine\r\n"
USER_TEMPLATES = "■私のテンプレート\r\nselect * from 受注m;\r\n".encode("shift_jis")


def build_package(build, version):
    """Builds the package of this build's programs as `version`; returns
    (path, ProductCode)."""
    out = os.path.join(build, "msi-test", version)
    r = subprocess.run(["bash", os.path.join(REPO, "tools", "package", "msi.sh"), build, out, version],
                       capture_output=True, text=True, timeout=300)
    check(r.returncode == 0, "tools/package/msi.sh failed:\n%s%s" % (r.stdout, r.stderr[-2000:]))
    path = os.path.join(out, MSI)
    props = subprocess.run(["msiinfo", "export", path, "Property"], capture_output=True, text=True, check=True)
    code = [line.split("\t")[1] for line in props.stdout.splitlines() if line.startswith("ProductCode\t")]
    return path, code[0]


def make_world(rig):
    world = setup.world_without_vorn3(rig)
    world.packages = {v: build_package(rig.build, v) for v in ("2.0.0", "2.1.0")}
    world.user_files = {"tovrin.ini": USER_INI}
    os.makedirs(rig.c_path("vorn3"))
    with open(rig.c_path("vorn3", "tovrin.ini"), "wb") as f:
        f.write(USER_INI)
    return world


def msiexec(world, *args):
    """Runs msiexec to its end; returns its exit code. Its log is in world.log."""
    rig = world.rig
    log = os.path.join(rig.tmp, "msiexec.log")
    if os.path.exists(log):
        os.remove(log)
    r = subprocess.run(["wine", "msiexec"] + list(args) + ["/qn", "/l*", rig.win_path(log)], env=rig.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=TIMEOUT)
    raw = setup.read(log) if os.path.exists(log) else b""
    world.log = raw.decode("utf-16" if raw[:2] == b"\xff\xfe" else "cp932", "replace")  # the rig's language
    return r.returncode


def actions_run(world):
    """{icacls action: the match of the log line that ends it, whose group 1
    is its return value (1: success), or None when it did not run}."""
    return {a: re.search(r"(?m): %s\S*\s+\D*(\d+)\D*$" % a, world.log) for a in PROTECT_ACTIONS}


def entries(world):
    """{product code: DisplayVersion} of the uninstall entries of marlet / tovrin."""
    r = subprocess.run(["wine", "reg", "query", UNINSTALL, "/s"], env=world.rig.env, capture_output=True,
                       timeout=TIMEOUT)
    found, key, values = {}, None, {}
    for line in r.stdout.decode("utf-8", "replace").splitlines() + [""]:
        if line.startswith("HKEY_") or not line.strip():
            if key and values.get("DisplayName") == "marlet / tovrin":
                found[key.rsplit("\\", 1)[-1]] = values.get("DisplayVersion")
            key, values = (line.strip(), {}) if line.startswith("HKEY_") else (key, values)
            continue
        parts = line.split(None, 2)
        if len(parts) == 3 and parts[1].startswith("REG_"):
            values[parts[0]] = parts[2]
    return found


def digest(data):
    return hashlib.sha256(data).hexdigest()


def installed(world):
    """Program files (their SHA-256), shortcuts and C:\\vorn3 files as they are now."""
    rig = world.rig
    folder = setup.unix(rig, INSTALL_DIR)
    files = {n: digest(setup.read(os.path.join(folder, n)))
             for n in INSTALLED if os.path.isfile(os.path.join(folder, n))}
    menus = [m for m in (setup.START_MENU, setup.user_paths(rig)[1]) if os.path.isdir(setup.unix(rig, m))]
    check(len(menus) <= 1, "shortcuts in both Start menus")
    links = {}
    if menus:
        world.start_menu = menus[0]
        links = {name: (s["target"].lower(), s["arguments"], s["hotkey"])
                 for name, s in setup.shortcuts(world).items()}
    vorn3 = {n: setup.read(rig.c_path("vorn3", n)) for n in sorted(os.listdir(rig.c_path("vorn3")))}
    return {"files": files, "shortcuts": links, "vorn3": vorn3}


def check_installed(world, version):
    state = installed(world)
    for name in INSTALLED:
        built = digest(setup.build_file(world, name[:-4] + "/" + name)) if name.endswith(".exe") else None
        check(name in state["files"], "%s is not in %s" % (name, INSTALL_DIR))
        check(built is None or state["files"][name] == built, "the installed %s is not the build's" % name)
    expected = {name: (target.lower(), arguments, setup.CTRL_ALT_Q if name == "tovrin.lnk" else 0)
                for name, (target, arguments) in SHORTCUTS.items()}
    links = dict(state["shortcuts"])
    uninstall = links.pop("Uninstall.lnk", None)
    check(uninstall and uninstall[0].endswith("msiexec.exe") and
          uninstall[1].lower() == "/x " + world.packages[version][1].lower(), "the uninstall shortcut %r" % (uninstall,))
    check_equal(links, expected, "shortcuts (target, arguments, key)")
    check_equal(entries(world), {world.packages[version][1]: version}, "uninstall entries")
    check_equal(state["vorn3"], world.user_files, "C:\\vorn3")
    return state


def wine_reports(world, version):
    """Makes Wine report `version` of Windows (None: its default)."""
    command = ["/v", "Version", "/d", version, "/f"] if version else ["/v", "Version", "/f"]
    subprocess.run(["wine", "reg", "add" if version else "delete", r"HKCU\Software\Wine"] + command,
                   env=world.rig.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=TIMEOUT)


def case_install_earlier(world):
    rig = world.rig
    # PROTECTVORN3 before Windows 7 (Windows Installer 5.0) is refused, and nothing is installed.
    wine_reports(world, "vista")
    code = msiexec(world, "/i", rig.win_path(world.packages["2.0.0"][0]), "PROTECTVORN3=1")
    wine_reports(world, winerig.windows_version())
    check(code != 0, "PROTECTVORN3=1 on Windows Vista was not refused")
    check_equal(installed(world), {"files": {}, "shortcuts": {}, "vorn3": world.user_files},
                "after the refused PROTECTVORN3=1")
    check_equal(msiexec(world, "/i", world.rig.win_path(world.packages["2.0.0"][0])), 0, "exit code of /i 2.0.0")
    world.user_files["marlet.txt"] = setup.sample("marlet.txt")  # placed: there was none
    check_installed(world, "2.0.0")
    check(not any(actions_run(world).values()), "icacls ran without PROTECTVORN3")


def case_upgrade(world):
    rig = world.rig
    world.user_files["marlet.txt"] = USER_TEMPLATES
    with open(rig.c_path("vorn3", "marlet.txt"), "wb") as f:
        f.write(USER_TEMPLATES)
    check_equal(msiexec(world, "/i", rig.win_path(world.packages["2.1.0"][0]), "PROTECTVORN3=1"), 0,
                "exit code of /i 2.1.0 PROTECTVORN3=1")
    world.state = check_installed(world, "2.1.0")
    ran = actions_run(world)
    check(all(m and m.group(1) == "1" for m in ran.values()),
          "the icacls actions with PROTECTVORN3=1: %r" % {a: m and m.group(0) for a, m in ran.items()})
    code = msiexec(world, "/i", rig.win_path(world.packages["2.0.0"][0]))
    check(code != 0, "installing 2.0.0 over 2.1.0 reported success")
    check_equal(installed(world), world.state, "the install after the refused 2.0.0")


def case_reinstall(world):
    rig = world.rig
    package = rig.win_path(world.packages["2.1.0"][0])
    check_equal(msiexec(world, "/i", package), 0, "exit code of /i 2.1.0 again")
    check_equal(installed(world), world.state, "the install after /i again")
    # A repair that writes every file anew (what /fa asks for): a damaged
    # program is replaced, the user's files are not.
    with open(setup.unix(rig, INSTALL_DIR + r"\tovrin.exe"), "wb") as f:
        f.write(b"damaged")
    check_equal(msiexec(world, "/i", package, "REINSTALL=ALL", "REINSTALLMODE=amus"), 0, "exit code of the repair")
    check_equal(installed(world), world.state, "the install after the repair")
    check_equal(entries(world), {world.packages["2.1.0"][1]: "2.1.0"}, "uninstall entries")


def case_uninstall(world):
    rig = world.rig
    check_equal(msiexec(world, "/x", rig.win_path(world.packages["2.1.0"][0])), 0, "exit code of /x")
    state = installed(world)
    check_equal((state["files"], state["shortcuts"]), ({}, {}), "program files and shortcuts after /x")
    check(not os.path.exists(setup.unix(rig, INSTALL_DIR)), "the program folder is still there")
    check_equal(entries(world), {}, "uninstall entries after /x")
    check_equal(state["vorn3"], world.user_files, "C:\\vorn3 after /x")


GROUPS = [
    cases.Group("MSI: install, upgrade, reinstall, uninstall", make_world, cases.named([
        case_install_earlier, case_upgrade, case_reinstall, case_uninstall])),
]


if __name__ == "__main__":
    sys.exit(cases.main(__doc__, GROUPS, programs=[setup.SHORTCUT_TOOL, "marlet/marlet.exe", "tovrin/tovrin.exe"]))
