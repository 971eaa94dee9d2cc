"""End-to-end: the Debian package on this machine. It is built with CPack,
installed with dpkg, the installed program is run from an unrelated
directory against the simulator (ECP ping, a screenshot, its files in the
user's XDG directories), and the package is purged again: nothing of it may
be left, the user's own files must be.

The test changes /usr while it runs, so it runs only as root, only when no
quendrel package or file is there before, and never beside another package
manager run or another copy of itself; otherwise it is skipped (ctest shows
it as skipped, with the reason)."""

import fcntl
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "slimserver-sim"))
from appharness import BUILD, wait_until  # noqa: E402
from imagefiles import read_png  # noqa: E402
from tests.support import SimProcess  # noqa: E402

PACKAGE = "quendrel"
TEST_LOCK = "/tmp/quendrel-package-test.lock"
DPKG_LOCKS = ["/var/lib/dpkg/lock-frontend", "/var/lib/dpkg/lock"]


def run(*args, **kwargs):
    return subprocess.run(list(args), capture_output=True, text=True, **kwargs)


def package_state():
    """dpkg's status of the package, "" when dpkg does not know it."""
    result = run("dpkg-query", "-W", "-f=${Status}", PACKAGE)
    return result.stdout.strip() if result.returncode == 0 else ""


def dpkg_busy():
    for path in DPKG_LOCKS:
        try:
            fd = os.open(path, os.O_RDWR)
        except OSError:
            continue
        try:
            fcntl.lockf(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
            fcntl.lockf(fd, fcntl.LOCK_UN)
        except OSError:
            return True
        finally:
            os.close(fd)
    return False


def missing_dependencies(deb):
    """The dependency clauses of the package that nothing installed meets (names only)."""
    depends = run("dpkg-deb", "-f", deb, "Depends").stdout.strip()
    missing = []
    for clause in filter(None, (c.strip() for c in depends.split(","))):
        names = [alt.strip().split(" ")[0].split(":")[0] for alt in clause.split("|")]
        if not any("install ok installed" in run("dpkg-query", "-W", "-f=${Status}", n).stdout for n in names):
            missing.append(clause)
    return missing


class PackageTest(unittest.TestCase):
    def setUp(self):
        self.installed = False
        self.lock = None
        self.sim = None
        self.app = None
        self.dir = tempfile.mkdtemp(prefix="quendrel-package-")
        if os.geteuid() != 0:
            self.skipTest("installing a package needs root")
        for tool in ("dpkg", "dpkg-deb", "dpkg-query", "cpack"):
            if not shutil.which(tool):
                self.skipTest(tool + " is missing")
        self.lock = open(TEST_LOCK, "w")
        try:
            fcntl.flock(self.lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except OSError:
            self.skipTest("another package test is running")
        state = package_state()
        if state and "not-installed" not in state:
            self.skipTest("a quendrel package is on this machine (%s); the test leaves it alone" % state)

    def tearDown(self):
        if self.app and self.app.poll() is None:
            self.app.kill()
            self.app.wait()
        if self.sim:
            self.sim.stop()
        if self.installed:
            run("dpkg", "--purge", PACKAGE)
        if self.lock:
            self.lock.close()
        shutil.rmtree(self.dir, ignore_errors=True)

    def build_package(self):
        out = os.path.join(self.dir, "cpack")
        result = run("cpack", "-G", "DEB", "--config", os.path.join(BUILD, "CPackConfig.cmake"), "-B", out)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        debs = glob.glob(os.path.join(out, PACKAGE + "_*.deb"))
        self.assertEqual(len(debs), 1, os.listdir(out))
        return debs[0]

    def install(self, deb):
        files = [line.split(" ")[-1].lstrip(".") for line in run("dpkg-deb", "-c", deb).stdout.splitlines()
                 if line.startswith("-")]
        self.assertIn("/usr/bin/quendrel", files)
        present = [f for f in files if os.path.lexists(f)]
        if present:
            self.skipTest("files of the package are already on this machine: %s" % present[:3])
        missing = missing_dependencies(deb)
        if missing:
            self.skipTest("dependencies not installed: %s" % ", ".join(missing))
        if dpkg_busy():
            self.skipTest("dpkg is busy")
        self.installed = True  # from here on, tearDown purges whatever dpkg did
        result = run("dpkg", "-i", deb)
        if result.returncode != 0 and "lock" in result.stderr:
            self.skipTest("dpkg is busy: " + result.stderr.strip())
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        return files

    def test_installed_program_runs_from_anywhere_and_purges_cleanly(self):
        deb = self.build_package()
        fields = run("dpkg-deb", "-f", deb, "Package", "Depends").stdout
        for needed in ("libsdl2", "libavcodec", "libcurl", "libtinyxml2", "fonts-dejavu-core"):
            self.assertIn(needed, fields)
        files = self.install(deb)
        self.assertIn("install ok installed", package_state())

        self.assertEqual(run("/usr/bin/quendrel", "--version").stdout.split(" ")[0], "Quendrel")

        home = os.path.join(self.dir, "home")
        elsewhere = os.path.join(self.dir, "elsewhere")
        os.makedirs(home)
        os.makedirs(elsewhere)
        env = {k: v for k, v in os.environ.items() if not k.startswith("XDG_")}
        env.update({"HOME": home, "XDG_RUNTIME_DIR": os.path.join(self.dir, "run"),
                    "SDL_VIDEODRIVER": "offscreen", "SDL_AUDIODRIVER": "dummy", "QUENDREL_LIRC": "0"})
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700)

        def ecp(command):
            result = run("/usr/bin/quendrel-ecp", command, env=env, timeout=20)
            return result.returncode, result.stdout.strip()

        self.sim = SimProcess()
        ports = self.sim.ports
        log = open(os.path.join(self.dir, "app.log"), "w")
        self.app = subprocess.Popen(
            ["/usr/bin/quendrel", "127.0.0.1", "-SlimProtoPort=%d" % ports["proto"],
             "-SlimCLIPort=%d" % ports["cli"], "-SlimWebPort=%d" % ports["web"], "-debug"],
            cwd=elsewhere, env=env, stdout=log, stderr=subprocess.STDOUT)
        def app_log():
            with open(log.name) as f:
                return f.read()

        self.assertTrue(wait_until(lambda: ecp("Quendrel ping") == (0, "pong"), 30), "no pong")
        self.assertTrue(wait_until(lambda: self.sim.control("players").get("players")), "no hello to the server")

        shot = os.path.join(self.dir, "shot.png")
        self.assertEqual(ecp("screenshot " + shot), (0, "OK"))
        image = read_png(shot)
        self.assertEqual((image.width, image.height), (1024, 576))
        colours = {image.pixel(x, y) for y in range(0, 576, 8) for x in range(0, 1024, 8)}
        self.assertGreater(len(colours), 20, "the screen looks blank: the skins were not found")

        self.assertEqual(ecp("Quendrel quit")[0], 0)
        self.assertEqual(self.app.wait(timeout=30), 0, app_log())
        self.assertEqual(ecp("Quendrel ping")[0], 1)  # nothing answers any more
        log.close()

        # Nothing written where it was started; the user's files where they belong.
        self.assertEqual(os.listdir(elsewhere), [])
        user_files = [os.path.join(home, ".local/state/quendrel/debug.txt"),
                      os.path.join(home, ".config/Tovrallisk.Quendrel.conf")]
        for path in user_files:
            self.assertTrue(os.path.isfile(path), path)

        result = run("dpkg", "--purge", PACKAGE)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.installed = False
        self.assertEqual([f for f in files if os.path.lexists(f)], [])
        for directory in ("/usr/share/quendrel", "/usr/share/doc/quendrel"):
            self.assertFalse(os.path.lexists(directory), directory)
        state = package_state()
        self.assertTrue(not state or "not-installed" in state, state)
        for path in user_files:
            self.assertTrue(os.path.isfile(path), path + " went with the package")


if __name__ == "__main__":
    unittest.main()
