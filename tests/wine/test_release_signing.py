"""A signed release, checked under Wine. The test makes a throwaway
self-signed code-signing certificate (openssl), runs the release command
(tools/release.sh) on this build and the 64-bit build beside it (BUILD/../win)
with that certificate in VORN_SIGN_PFX and VORN_SIGN_PASSWORD, and then:

- every signature verifies with `osslsigncode verify` against that
  certificate: the four programs in the zip, the setup program, the MSI
  package, and the uninstaller the setup program installs;
- a tampered copy and another certificate do not verify (the check means
  something);
- the setup program installs the signed pair (/S /CurrentUser), and the
  signed marlet starts and shows its window.

    python3 test_release_signing.py --bin BUILD_DIR [--only NAME]
"""
# wine test: x86 only
import os
import subprocess
import sys
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "rig"))
import cases  # noqa: E402
import marlet_ui as ui  # noqa: E402
import test_installer as setup  # noqa: E402
import winerig  # noqa: E402
from cases import check, check_equal  # noqa: E402

REPO = winerig.REPO
PASSWORD = "throwaway pass"
PROGRAMS = ("marlet-tovrin-2.01/marlet.exe", "marlet-tovrin-2.01/tovrin.exe",
            "marlet-tovrin-2.01/x64/marlet.exe", "marlet-tovrin-2.01/x64/tovrin.exe")


def certificate(folder, name):
    """A self-signed code-signing certificate: (PEM certificate, PFX) paths."""
    key, cert, pfx = (os.path.join(folder, name + ext) for ext in (".key", ".pem", ".pfx"))
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=marlet tovrin " + name, "-keyout", key, "-out", cert,
                    "-addext", "extendedKeyUsage=codeSigning", "-addext", "keyUsage=digitalSignature"],
                   check=True, capture_output=True, timeout=120)
    subprocess.run(["openssl", "pkcs12", "-export", "-inkey", key, "-in", cert, "-out", pfx,
                    "-passout", "pass:" + PASSWORD], check=True, capture_output=True, timeout=120)
    return cert, pfx


def verify(path, cert):
    """True when osslsigncode finds a valid signature of `path` by `cert`."""
    r = subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in", path],
                       capture_output=True, text=True, timeout=120)
    return r.returncode == 0 and "Signature verification: ok" in r.stdout


def make_world(rig):
    world = setup.make_world(rig)
    build64 = os.path.join(os.path.dirname(rig.build), "win")
    check(all(os.path.isfile(os.path.join(build64, p)) for p in ("marlet/marlet.exe", "tovrin/tovrin.exe")),
          "no 64-bit build in %s (the release takes both)" % build64)
    world.cert, pfx = certificate(rig.tmp, "release")
    world.other_cert, _ = certificate(rig.tmp, "other")
    out = os.path.join(rig.tmp, "release")
    env = dict(os.environ, VORN_SIGN_PFX=pfx, VORN_SIGN_PASSWORD=PASSWORD)
    env.pop("VORN_SIGN_TIMESTAMP", None)  # no time-stamp server here
    r = subprocess.run(["bash", os.path.join(REPO, "tools", "release.sh"), out, rig.build, build64],
                       env=env, capture_output=True, text=True, timeout=600)
    check(r.returncode == 0, "tools/release.sh failed:\n%s%s" % (r.stdout, r.stderr[-2000:]))
    world.release = {os.path.basename(line[len("release: "):]): line[len("release: "):]
                     for line in r.stdout.splitlines() if line.startswith("release: ")}
    check_equal(sorted(world.release), ["marlet-tovrin-2.01-setup.exe", "marlet-tovrin-2.01.msi",
                                        "marlet-tovrin-2.01.zip"], "the release's files")
    world.setup = world.release["marlet-tovrin-2.01-setup.exe"]
    return world


def case_signatures(world):
    rig = world.rig
    unpacked = os.path.join(rig.tmp, "zip")
    with zipfile.ZipFile(world.release["marlet-tovrin-2.01.zip"]) as z:
        z.extractall(unpacked, members=PROGRAMS)
    files = [os.path.join(unpacked, p) for p in PROGRAMS] + [world.setup, world.release["marlet-tovrin-2.01.msi"]]
    unsigned = [os.path.relpath(f, rig.tmp) for f in files if not verify(f, world.cert)]
    check_equal(unsigned, [], "files whose signature does not verify")
    check(not verify(files[0], world.other_cert), "a signature verified against another certificate")
    tampered = os.path.join(rig.tmp, "tampered.exe")
    data = bytearray(setup.read(files[0]))
    data[0x400] ^= 0xFF  # a byte of the code
    with open(tampered, "wb") as f:
        f.write(data)
    check(not verify(tampered, world.cert), "a changed program still verified")


def case_signed_install_runs(world):
    rig = world.rig
    setup.for_current_user(world)
    check_equal(setup.run_silent(world, "/CurrentUser"), 0, "exit code of the signed setup program")
    folder = setup.unix(rig, world.install_dir)
    check(verify(os.path.join(folder, "uninstall.exe"), world.cert), "the installed uninstaller is not signed")
    for name in ("marlet.exe", "tovrin.exe"):
        check(verify(os.path.join(folder, name), world.cert), "the installed %s is not signed" % name)
    rig.start(os.path.join(folder, "marlet.exe"))
    check_equal(ui.window(rig)["title"], ui.TITLE, "the window of the signed marlet")


GROUPS = [
    cases.Group("signed release", make_world, cases.named([case_signatures, case_signed_install_runs])),
]


if __name__ == "__main__":
    sys.exit(cases.main(__doc__, GROUPS, programs=[ui.PROBE, setup.SHORTCUT_TOOL, "marlet/marlet.exe"]))
