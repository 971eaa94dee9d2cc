"""Runs build/quendrel headless in a private application directory, with its
own XDG runtime and config directories, and talks to it over ECP."""

import os
import shutil
import signal
import subprocess
import tempfile
import time

BUILD = os.environ.get("QUENDREL_BUILD_DIR") or os.path.join(os.path.dirname(__file__), "..", "..", "build")
BUILD = os.path.abspath(BUILD)
APP = os.path.join(BUILD, "quendrel")
ECP = os.path.join(BUILD, "quendrel-ecp")


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
        os.makedirs(self.env["XDG_RUNTIME_DIR"], mode=0o700)
        self.procs = []

    def start(self, *args):
        proc = subprocess.Popen([APP, *args], cwd=self.appdir, env=self.env,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        self.procs.append(proc)
        return proc

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
        shutil.rmtree(self.dir, ignore_errors=True)


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
