"""Runs build/quendrel headless in a private application directory, with its
own XDG runtime and config directories, and talks to it over ECP. Also the
helpers every scenario shares: starting against the simulator, screenshots,
the red message box, CLI replies as items.

When the program is built with the address or undefined-behaviour sanitizer,
its reports (leaks at exit included) go to files in the run's directory, and
closing the run fails the test that made it if there are any."""

import glob
import os
import shutil
import signal
import subprocess
import tempfile
import time
from urllib.parse import unquote

BUILD = os.environ.get("QUENDREL_BUILD_DIR") or os.path.join(os.path.dirname(__file__), "..", "..", "build")
BUILD = os.path.abspath(BUILD)
APP = os.path.join(BUILD, "quendrel")
ECP = os.path.join(BUILD, "quendrel-ecp")
SCREENS = os.path.join(BUILD, "screens")


class AppRun:
    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="quendrel-e2e-")
        self.appdir = os.path.join(self.dir, "app")
        os.makedirs(self.appdir)
        images = os.path.join(BUILD, "app", "images")
        if os.path.isdir(images):
            os.symlink(images, os.path.join(self.appdir, "images"))
        self.env = dict(os.environ)
        self.env.update({
            "XDG_RUNTIME_DIR": os.path.join(self.dir, "run"),
            "XDG_CONFIG_HOME": os.path.join(self.dir, "config"),
            "SDL_VIDEODRIVER": "offscreen",
            "SDL_AUDIODRIVER": "dummy",
        })
        self.sanitizer_log = os.path.join(self.dir, "sanitizer")
        for name in ("ASAN_OPTIONS", "UBSAN_OPTIONS"):
            options = self.env.get(name, "")
            self.env[name] = (options + ":" if options else "") + "log_path=" + self.sanitizer_log
        os.makedirs(self.env["XDG_RUNTIME_DIR"], mode=0o700)
        self.procs = []

    def start(self, *args):
        proc = subprocess.Popen([APP, *args], cwd=self.appdir, env=self.env,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        self.procs.append(proc)
        return proc

    def start_against(self, sim, *extra):
        """Starts the app against the simulator and waits until it answers
        ECP and has switched its player on; returns the player's id as the
        server writes it (kept in self.mac)."""
        ports = sim.ports
        self.proc = self.start("127.0.0.1", "-SlimProtoPort=%d" % ports["proto"], "-SlimCLIPort=%d" % ports["cli"],
                               "-SlimWebPort=%d" % ports["web"], *extra)
        self.wait_ecp("Quendrel ping", "pong", timeout=20)
        self.mac = player_on(sim)
        if not self.mac:
            raise AssertionError("the app never switched its player on")
        return self.mac

    def screenshot(self, name=None):
        """An ECP screenshot read back; with a name also kept in build/screens/."""
        self.shots = getattr(self, "shots", 0) + 1
        path = os.path.join(self.dir, "shot%d.png" % self.shots)
        if self.ecp("screenshot " + path) != "OK":
            raise AssertionError("no screenshot")
        if name:
            os.makedirs(SCREENS, exist_ok=True)
            shutil.copyfile(path, os.path.join(SCREENS, "e2e-%s.png" % name))
        from imagefiles import read_png
        return read_png(path)

    def ecp(self, command, timeout=10):
        result = subprocess.run([ECP, command], env=self.env, capture_output=True, text=True, timeout=timeout)
        return result.stdout.rstrip("\n") if result.returncode == 0 else None

    def wait_ecp(self, command, expected, timeout=10.0):
        deadline = time.monotonic() + timeout
        reply = None
        while time.monotonic() < deadline:
            reply = self.ecp(command)
            if reply == expected:
                return reply
            time.sleep(0.05)
        raise AssertionError("ECP %r: wanted %r, last reply %r" % (command, expected, reply))

    def close(self):
        for proc in self.procs:
            if proc.poll() is None:
                proc.send_signal(signal.SIGTERM)
                try:
                    proc.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()
            if proc.stdout:
                proc.stdout.close()
        reports = []
        for path in sorted(glob.glob(self.sanitizer_log + ".*")):
            with open(path, errors="replace") as f:
                reports.append(f.read())
        shutil.rmtree(self.dir, ignore_errors=True)
        if reports:
            raise AssertionError("sanitizer reports from the application:\n" + "\n".join(reports))


def wait_until(predicate, timeout=20.0):
    """Calls predicate until it gives something true; returns its last value."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.05)
    return predicate()


def free_port():
    import socket
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def cli_lines(sim):
    return [entry["line"] for entry in sim.control("cli-lines")["lines"]]


def player_on(sim, timeout=20.0):
    """The player id of the first "power 1" the simulator's CLI received."""
    return wait_until(lambda: next((l.split(" ")[0] for l in cli_lines(sim) if l.endswith(" power 1")), None),
                      timeout)


def parse_items(reply, first_key):
    """The items of a CLI reply: dicts of unescaped tags, one per `first_key`."""
    items = []
    for token in reply.split(" "):
        key, _, value = unquote(token).partition(":")
        if key == first_key:
            items.append({})
        if items:
            items[-1][key] = value
    return items


def red_message(image, least=200):
    """True when red message text sits in the middle band of the screen."""
    mid = image.height // 2
    red = sum(1 for row in image.rows[mid - 12:mid + 12] for x in range(200, 824)
              if row[3 * x] > 150 and row[3 * x + 1] < 60 and row[3 * x + 2] < 60)
    return red > least
