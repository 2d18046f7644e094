"""A Wine rig for the end-to-end tests: a virtual X display, a private Wine
prefix (copied from one prepared per build), a Wine virtual desktop, and
helpers that wait on conditions rather than sleeping for fixed times.

    winerig.py --setup BUILD [--windows-version VERSION]
        prepares BUILD/wine-template (the ctest fixtures do this)

The prefix follows the build: a build of 32-bit programs gets a 32-bit
prefix (WINEARCH=win32: a 32-bit Windows, run by Debian's wine32), a 64-bit
build a 64-bit one. The Windows version Wine reports is its default unless
the environment names one in VORN_WINE_VERSION (win98, winxp, win7, ...;
every test script also takes --windows-version): the prefix then comes from
BUILD/wine-template-VERSION, a copy of the plain one with the registry value
HKCU\\Software\\Wine Version set, and the rig checks that Wine reports it.
"""
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))


def log(*args):
    print(*args, flush=True)


def wait_for(condition, timeout=30.0, what="condition", interval=0.05):
    """Polls condition() until it returns a true value; fails after timeout."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("timed out after %.0f s waiting for %s" % (timeout, what))
        time.sleep(interval)


def wait_for_json(path, timeout, what):
    """The JSON a program writes to path, once the file is there. (The
    programs of the tests write such a report beside and rename it, so it
    appears whole.)"""
    wait_for(lambda: os.path.isfile(path), timeout, what)
    with open(path, encoding="ascii") as f:
        return json.load(f)


def _start_xvfb(size):
    """Starts Xvfb on a display number it picks itself (-displayfd), so that
    rigs started at the same moment never share a display."""
    read_end, write_end = os.pipe()
    try:
        proc = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", size + "x24",
                                 "-nolisten", "tcp"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, pass_fds=(write_end,))
    finally:
        os.close(write_end)
    with os.fdopen(read_end) as announced:
        number = announced.readline().strip()  # written once the server is ready
    if not number.isdigit():
        proc.kill()
        raise RuntimeError("Xvfb did not start")
    return proc, int(number)


VERSION_VARIABLE = "VORN_WINE_VERSION"
# What GetVersionEx reports in each mode Wine offers that the tests use:
# (platform id, major, minor); `wine cmd /c ver` shows major.minor.
VERSIONS = {"win98": (1, 4, 10), "winxp": (2, 5, 1), "win7": (2, 6, 1), "win10": (2, 6, 2)}


def windows_version():
    """The Windows version the rigs of this process make Wine report (None:
    Wine's default)."""
    version = os.environ.get(VERSION_VARIABLE) or None
    if version and version not in VERSIONS:
        raise SystemExit("%s=%s: not one of %s" % (VERSION_VARIABLE, version, ", ".join(sorted(VERSIONS))))
    return version


def set_windows_version(version):
    """Makes the rigs of this process (and of the programs it starts) use
    version; None for Wine's default."""
    if version:
        os.environ[VERSION_VARIABLE] = version
    else:
        os.environ.pop(VERSION_VARIABLE, None)
    windows_version()


def build_machine(build):
    """"x86" or "x64": the machine the build's programs are for, read from the
    first program of the build found."""
    for exe in ("tovrin/tovrin.exe", "tests/rig/sqlplus_standin.exe", "marlet/marlet.exe", "tests/platform_check.exe"):
        path = os.path.join(build, exe)
        if not os.path.isfile(path):
            continue
        with open(path, "rb") as f:
            head = f.read(1024)
        pe = struct.unpack_from("<I", head, 0x3C)[0]
        return "x86" if struct.unpack_from("<H", head, pe + 4)[0] == 0x14C else "x64"
    return "x64"


def template_dir(build, version=None):
    name = "wine-template" + ("-" + version if version else "")
    return os.path.join(os.path.abspath(build), name)


def _wine_env(prefix, build):
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
               WINEARCH="win32" if build_machine(build) == "x86" else "win64")
    env.pop("DISPLAY", None)
    return env


def reported_version(env):
    """(major, minor) of the Windows version Wine reports in env's prefix."""
    out = subprocess.run(["wine", "cmd", "/c", "ver"], env=env, capture_output=True, timeout=120).stdout
    m = re.search(rb"(\d+)\.(\d+)\.\d+", out)
    return (int(m.group(1)), int(m.group(2))) if m else None


def setup_template(build, version=None):
    """Makes a fresh prefix once per build with the Japanese font mapped;
    for a version, a copy of it that reports that Windows version."""
    target = template_dir(build, version)
    if os.path.isfile(os.path.join(target, "ready")):
        return
    if version:
        setup_template(build)
        shutil.rmtree(target, ignore_errors=True)
        os.makedirs(target)
        prefix = os.path.join(target, "pfx")
        subprocess.run(["cp", "-a", os.path.join(template_dir(build), "pfx"), prefix], check=True)
        env = _wine_env(prefix, build)
        subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine", "/v", "Version", "/t", "REG_SZ", "/d", version,
                        "/f"], env=env, check=True, timeout=120, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shown = reported_version(env)
        subprocess.run(["wineserver", "-w"], env=env, timeout=120)
        if shown != VERSIONS[version][1:]:
            raise RuntimeError("Wine reports Windows %r in the %s prefix, not %d.%d"
                               % (shown, version, *VERSIONS[version][1:]))
        with open(os.path.join(target, "ready"), "w") as f:
            f.write("ok\n")
        return
    shutil.rmtree(target, ignore_errors=True)
    os.makedirs(target)
    prefix = os.path.join(target, "pfx")
    env = _wine_env(prefix, build)
    subprocess.run(["wineboot", "-i"], env=env, check=True, timeout=240,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    key = r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes"
    for face in ("ＭＳ Ｐゴシック", "MS Shell Dlg", "MS UI Gothic", "ＭＳ ゴシック", "MS Gothic"):
        subprocess.run(["wine", "reg", "add", key, "/v", face, "/t", "REG_SZ", "/d", "IPAPGothic", "/f"],
                       env=env, check=True, timeout=120,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-w"], env=env, timeout=120)
    with open(os.path.join(target, "ready"), "w") as f:
        f.write("ok\n")


class Rig:
    """One test's Wine world. Use as a context manager:

        with Rig(build) as rig:
            rig.start("tests/rig/sqlplus_standin.exe", "--log", rig.win_path(log))
    """

    def __init__(self, build, japanese=True, size="1024x768"):
        self.build = os.path.abspath(build)
        self.japanese = japanese
        self.size = size
        self.procs = []
        self.xvfb = None

    def __enter__(self):
        self.version = windows_version()
        self.machine = build_machine(self.build)
        setup_template(self.build, self.version)
        self.tmp = tempfile.mkdtemp(prefix="vorn-wine-")
        self.prefix = os.path.join(self.tmp, "pfx")
        subprocess.run(["cp", "-a", os.path.join(template_dir(self.build, self.version), "pfx"), self.prefix],
                       check=True)
        self.xvfb, self.display = _start_xvfb(self.size)
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all",
                        DISPLAY=":%d" % self.display, WINEDLLOVERRIDES="mscoree,mshtml=")
        # Wine takes its ANSI code page from the locale variables: ja_JP gives
        # 932 (Shift-JIS). LANG alone is overridden by an LC_ALL or LC_CTYPE
        # set outside, so set LC_ALL too.
        locale = "ja_JP.UTF-8" if self.japanese else "C.UTF-8"
        self.env["LANG"] = locale
        self.env["LC_ALL"] = locale
        self.desktop = "vorn%d" % self.display
        os.makedirs(self.c_path("vorn3"), exist_ok=True)
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def close(self):
        try:
            subprocess.run(["wineserver", "-k"], env=self.env, timeout=60,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        except Exception:
            pass
        for p in self.procs:
            try:
                p.wait(timeout=10)
            except Exception:
                p.kill()
        if self.xvfb:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(timeout=10)
            except Exception:
                self.xvfb.kill()
        if os.environ.get("VORN_KEEP_WINE_TMP"):
            print("kept:", self.tmp, flush=True)
        else:
            shutil.rmtree(self.tmp, ignore_errors=True)

    # Paths -----------------------------------------------------------------
    def settings_path(self):
        """Unix path of c:\\vorn3\\tovrin.ini in this prefix."""
        return self.c_path("vorn3", "tovrin.ini")

    def write_settings(self, *lines):
        """Writes the settings file: the section [sql plus] and `lines`, each
        ended by CR LF (ASCII)."""
        self.write_settings_text("[sql plus]\r\n" + "".join(line + "\r\n" for line in lines))

    def write_settings_text(self, text):
        """Writes the settings file as `text` (ASCII), or removes it (also a
        directory in its place) for None."""
        path = self.settings_path()
        if os.path.isdir(path):
            shutil.rmtree(path)
        elif os.path.exists(path):
            os.remove(path)
        if text is not None:
            with open(path, "w", encoding="ascii", newline="") as f:
                f.write(text)

    def c_path(self, *parts):
        """Unix path of c:\\<parts> in this prefix."""
        return os.path.join(self.prefix, "drive_c", *parts)

    def win_path(self, unix_path):
        """Windows path (Z: drive) of a Unix path."""
        return "Z:" + os.path.abspath(unix_path).replace("/", "\\")

    def exe(self, relative):
        return os.path.join(self.build, relative)

    # Programs --------------------------------------------------------------
    def start(self, exe_relative, *args, desktop=True):
        """Starts a program of the build inside this rig's virtual desktop."""
        cmd = ["wine"]
        if desktop:
            cmd += ["explorer", "/desktop=%s,%s" % (self.desktop, self.size)]
        cmd += [self.exe(exe_relative)] + list(args)
        p = subprocess.Popen(cmd, env=self.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.procs.append(p)
        return p

    def run(self, exe_relative, *args, timeout=60, desktop=True):
        """Runs a program to its end; returns (exit code, stdout, stderr, seconds)."""
        t0 = time.monotonic()
        p = self.start(exe_relative, *args, desktop=desktop)
        try:
            out, err = p.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            p.kill()
            raise AssertionError("%s did not end within %d s" % (exe_relative, timeout))
        return p.returncode, out.decode("utf-8", "replace"), err.decode("utf-8", "replace"), time.monotonic() - t0

    def processes(self, exe_name):
        """Linux pids of this prefix's processes of the program file
        exe_name ("marlet.exe"; any case)."""
        wanted = exe_name.lower().encode()
        prefix = ("WINEPREFIX=" + self.prefix).encode()
        pids = []
        for pid in os.listdir("/proc"):
            if not pid.isdigit():
                continue
            try:
                with open("/proc/%s/cmdline" % pid, "rb") as f:
                    cmd = f.read().split(b"\0")
                if not cmd or cmd[0].lower().replace(b"\\", b"/").split(b"/")[-1] != wanted:
                    continue
                with open("/proc/%s/environ" % pid, "rb") as f:
                    env = f.read().split(b"\0")
                if prefix in env:
                    pids.append(int(pid))
            except OSError:
                pass
        return pids

    def kill_processes(self, exe_name):
        """Ends this prefix's processes of exe_name at once, by pid (after a
        failed case, so that none is left behind for the next)."""
        for pid in self.processes(exe_name):
            try:
                os.kill(pid, 9)
            except OSError:
                pass

    def xdotool(self, *args):
        return subprocess.run(["xdotool"] + list(args), env=self.env, capture_output=True, text=True, timeout=30)

    def screenshot(self, path):
        subprocess.run(["import", "-window", "root", "-display", ":%d" % self.display, path],
                       check=True, timeout=60)


def main(argv):
    if len(argv) in (3, 5) and argv[1] == "--setup":
        version = None
        if len(argv) == 5:
            if argv[3] != "--windows-version":
                print(__doc__)
                return 2
            set_windows_version(argv[4])
            version = argv[4]
        t0 = time.monotonic()
        setup_template(argv[2], version)
        log("wine prefix (%s%s) ready in %s (%.0f s)" % (build_machine(argv[2]), ", " + version if version else "",
                                                         template_dir(argv[2], version), time.monotonic() - t0))
        return 0
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
