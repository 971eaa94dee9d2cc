# End-to-end: the Debian package on this machine. It is built with CPack,
# installed with dpkg, the installed program is run from an unrelated
# directory against the simulator (ECP ping, a screenshot, its files in the
# user's XDG directories), and the package is purged again: nothing of it may
# be left, the user's own files must be.
#
# The test changes /usr while it runs, so it runs only as root, only when no
# quendrel package or file is there before, and never beside another package
# manager run or another copy of itself; otherwise it is skipped (ctest shows
# it as skipped, with the reason).

import fcntl
import glob
import os
import shutil
import subprocess
import tempfile
import unittest

from harness import BUILD, Sim, expect, port_args, read_png


def run(*args, **kwargs):
    return subprocess.run(list(args), capture_output=True, text=True, **kwargs)


def installed(package):
    # dpkg's status of a package says it is installed.
    return "install ok installed" in run("dpkg-query", "-W", "-f=${Status}", package).stdout


class PackageTest(unittest.TestCase):
    def setUp(self):
        if os.geteuid() != 0:
            self.skipTest("installing a package needs root")
        for tool in ("dpkg", "dpkg-deb", "dpkg-query", "cpack"):
            if not shutil.which(tool):
                self.skipTest(tool + " is missing")
        self.dir = tempfile.mkdtemp(prefix="quendrel-package-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        lock = open("/tmp/quendrel-package-test.lock", "w")
        self.addCleanup(lock.close)
        try:
            fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except OSError:
            self.skipTest("another package test is running")
        state = run("dpkg-query", "-W", "-f=${Status}", "quendrel").stdout.strip()
        if state and "not-installed" not in state:
            self.skipTest("a quendrel package is on this machine (%s); the test leaves it alone" % state)

    def install(self):
        out = os.path.join(self.dir, "cpack")
        result = run("cpack", "-G", "DEB", "--config", os.path.join(BUILD, "CPackConfig.cmake"), "-B", out)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        debs = glob.glob(os.path.join(out, "quendrel_*.deb"))
        self.assertEqual(len(debs), 1, os.listdir(out))
        depends = run("dpkg-deb", "-f", debs[0], "Depends").stdout
        self.assertFalse([n for n in ("libsdl2", "libavcodec", "libcurl", "libtinyxml2", "fonts-dejavu-core")
                          if n not in depends], depends)
        files = [line.split(" ")[-1].lstrip(".") for line in run("dpkg-deb", "-c", debs[0]).stdout.splitlines()
                 if line.startswith("-")]
        self.assertIn("/usr/bin/quendrel", files)
        if [f for f in files if os.path.lexists(f)]:
            self.skipTest("files of the package are already on this machine")
        missing = [c for c in filter(None, (c.strip() for c in depends.split(",")))
                   if not any(installed(alt.strip().split(" ")[0].split(":")[0]) for alt in c.split("|"))]
        if missing:
            self.skipTest("dependencies not installed: %s" % ", ".join(missing))
        self.addCleanup(run, "dpkg", "--purge", "quendrel")  # whatever dpkg did
        result = run("dpkg", "-i", debs[0])
        if result.returncode != 0 and "lock" in result.stderr:
            self.skipTest("dpkg is busy: " + result.stderr.strip())
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        return files

    def test_installed_program_runs_from_anywhere_and_purges_cleanly(self):
        files = self.install()
        self.assertTrue(installed("quendrel"))
        self.assertEqual(run("/usr/bin/quendrel", "--version").stdout.split(" ")[0], "Quendrel")

        home, elsewhere, runtime = (os.path.join(self.dir, name) for name in ("home", "elsewhere", "run"))
        for path in (home, elsewhere, runtime):
            os.makedirs(path, mode=0o700)
        env = {k: v for k, v in os.environ.items() if not k.startswith("XDG_")}
        env.update(HOME=home, XDG_RUNTIME_DIR=runtime, SDL_VIDEODRIVER="offscreen", SDL_AUDIODRIVER="dummy",
                   QUENDREL_LIRC="0")
        ecp = lambda command: (lambda r: (r.returncode, r.stdout.strip()))(  # noqa: E731
            run("/usr/bin/quendrel-ecp", command, env=env, timeout=20))

        sim = Sim()
        self.addCleanup(sim.stop)
        with open(os.path.join(self.dir, "app.log"), "w") as log:
            app = subprocess.Popen(["/usr/bin/quendrel", "127.0.0.1", *port_args(sim.ports), "-debug"],
                                   cwd=elsewhere, env=env, stdout=log, stderr=subprocess.STDOUT)
        self.addCleanup(lambda: app.poll() is None and (app.kill(), app.wait()))
        expect(lambda: ecp("Quendrel ping") == (0, "pong"), "no pong", 30)
        expect(lambda: sim.control("players").get("players"), "no hello to the server")
        shot = os.path.join(self.dir, "shot.png")
        self.assertEqual(ecp("screenshot " + shot), (0, "OK"))
        image = read_png(shot)
        self.assertEqual((image.width, image.height), (1024, 576))
        self.assertGreater(len({image.pixel(x, y) for y in range(0, 576, 8) for x in range(0, 1024, 8)}), 20,
                           "the screen looks blank: the skins were not found")
        self.assertEqual(ecp("Quendrel quit")[0], 0)
        self.assertEqual(app.wait(timeout=30), 0)
        self.assertEqual(ecp("Quendrel ping")[0], 1)  # nothing answers any more

        # Nothing written where it was started; the user's files where they belong.
        self.assertEqual(os.listdir(elsewhere), [])
        user_files = [os.path.join(home, ".local/state/quendrel/debug.txt"),
                      os.path.join(home, ".config/Tovrallisk.Quendrel.conf")]
        self.assertEqual([os.path.isfile(path) for path in user_files], [True, True])
        result = run("dpkg", "--purge", "quendrel")
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertFalse([f for f in files + ["/usr/share/quendrel", "/usr/share/doc/quendrel"] if os.path.lexists(f)])
        self.assertFalse(installed("quendrel"))
        self.assertEqual([os.path.isfile(path) for path in user_files], [True, True], "went with the package")
