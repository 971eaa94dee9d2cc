#!/usr/bin/env python3
"""Shutdown benchmark: from "Quendrel quit" (or SIGTERM) to the end of the
process, while the player is stuck opening a stream the server simulator
holds unanswered. Prints the median and quartiles over N runs of each.

usage: bench/shutdown.py [build-dir] [runs]"""

import os
import signal
import statistics
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
sys.path.insert(0, os.path.join(HERE, "..", "tools", "slimserver-sim"))


def one_run(way):
    from harness import App as AppRun, wait_until
    from tests.support import SimProcess
    sim, run = SimProcess(), AppRun()
    try:
        ports = sim.ports
        proc = run.start("127.0.0.1", "-SlimProtoPort=%d" % ports["proto"], "-SlimCLIPort=%d" % ports["cli"],
                         "-SlimWebPort=%d" % ports["web"])
        players = wait_until(lambda: sim.control("players").get("players"))
        mac = next(iter(players)) if isinstance(players, dict) else players[0]
        mac = mac.get("mac") if isinstance(mac, dict) else mac
        sim.control("fault http-hold 0")
        sim.control("cli %s playlistcontrol cmd:load album_id:1" % mac)
        wait_until(lambda: [r for r in sim.control("http-requests")["requests"] if "stream.mp3" in r["request"]])
        time.sleep(0.3)
        begun = time.monotonic()
        if way == "quit":
            run.ecp("Quendrel quit")
        else:
            proc.send_signal(signal.SIGTERM)
        proc.wait(timeout=60)
        return (time.monotonic() - begun) * 1000.0
    finally:
        run.close()
        sim.stop()


def main():
    if len(sys.argv) > 1:
        os.environ["QUENDREL_BUILD_DIR"] = os.path.abspath(sys.argv[1])
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 9
    for way in ("quit", "SIGTERM"):
        times = [one_run(way) for _ in range(runs)]
        q = statistics.quantiles(times, n=4)
        print("%s during a stalled stream open to process end: median %.0f ms (quartiles %.0f / %.0f ms, %d runs)"
              % (way, statistics.median(times), q[0], q[2], len(times)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
