#!/usr/bin/env python3
"""Start-up benchmark: from starting build/quendrel, with a server address
given, to its first presented frame. A scripted SlimProto peer on loopback
plays the server. Prints the median and quartiles over N runs.

usage: bench/startup.py [build-dir] [runs]"""

import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
from slimpeer import SlimPeer  # noqa: E402


def one_run(app, images, peer_port):
    work = tempfile.mkdtemp(prefix="quendrel-bench-")
    try:
        appdir = os.path.join(work, "app")
        os.makedirs(appdir)
        os.symlink(images, os.path.join(appdir, "images"))
        env = dict(os.environ, XDG_RUNTIME_DIR=os.path.join(work, "run"), XDG_CONFIG_HOME=os.path.join(work, "cfg"),
                   SDL_VIDEODRIVER="offscreen", SDL_AUDIODRIVER="dummy", QUENDREL_REPORT_FIRST_FRAME="1")
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700)
        start = time.monotonic()
        proc = subprocess.Popen([app, "127.0.0.1", "-SlimProtoPort=%d" % peer_port, "-SlimCLIPort=1"], cwd=appdir,
                                env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        elapsed = None
        for line in proc.stderr:
            if "first frame presented" in line:
                elapsed = (time.monotonic() - start) * 1000.0
                break
        proc.terminate()
        proc.wait(timeout=10)
        return elapsed
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "build"))
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 15
    peer = SlimPeer()
    try:
        times = [t for t in (one_run(os.path.join(build, "quendrel"), os.path.join(build, "app", "images"), peer.port)
                             for _ in range(runs)) if t is not None]
    finally:
        peer.close()
    if not times:
        print("startup: no run reached a first frame")
        return 1
    q = statistics.quantiles(times, n=4)
    print("startup to first presented frame: median %.1f ms (quartiles %.1f / %.1f ms, %d runs)"
          % (statistics.median(times), q[0], q[2], len(times)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
