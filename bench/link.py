#!/usr/bin/env python3
"""Link benchmark: the application started with no server, then the server
simulator started on its ports. Measures, from the moment the simulator
listens, the time until the UI thread has taken the link up (its "app: connected" line appears in
debug.txt; the message leaves the screen at the paint that follows); then
for a server that goes away, from its end to the lost-link message in the
log (the simulator is stopped with SIGTERM). The log is polled every 20 ms: screenshots are too slow for this on
a loaded machine. Prints medians and quartiles over N runs.

usage: bench/link.py [build-dir] [runs]"""

import os
import statistics
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
sys.path.insert(0, os.path.join(HERE, "..", "tools", "slimserver-sim"))


def until(predicate, timeout=60.0, step=0.1):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return time.monotonic()
        time.sleep(step)
    raise RuntimeError("timed out")


def one_run():
    from harness import App as AppRun, free_port, red_message
    from tests.support import SimProcess
    run = AppRun()
    ports = {name: free_port() for name in ("proto", "cli", "web")}
    sim = None
    try:
        run.start("127.0.0.1", "-debug", "-SlimProtoPort=%d" % ports["proto"], "-SlimCLIPort=%d" % ports["cli"],
                  "-SlimWebPort=%d" % ports["web"])
        until(lambda: red_message(run.screenshot()))
        log = os.path.join(run.appdir, "debug.txt")

        def logged(text):
            with open(log, errors="replace") as f:
                return text in f.read()
        time.sleep(1.0)
        sim = SimProcess("--proto-port", str(ports["proto"]), "--cli-port", str(ports["cli"]),
                         "--web-port", str(ports["web"]))
        listening = time.monotonic()
        gone = until(lambda: logged("app: connected to SlimServer"), step=0.02)
        until(lambda: sim.control("players").get("players"))
        lost_from = time.monotonic()
        sim.stop()
        sim = None
        lost = until(lambda: logged("Lost connection to SlimServer"), step=0.02)
        return gone - listening, lost - lost_from
    finally:
        run.close()
        if sim:
            sim.stop()


def main():
    if len(sys.argv) > 1:
        os.environ["QUENDREL_BUILD_DIR"] = os.path.abspath(sys.argv[1])
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    from tests.support import library
    library()
    results = [one_run() for _ in range(runs)]
    for index, what in enumerate(("server listening to the UI taking the link up",
                                  "server gone to the UI showing the lost-link message")):
        times = [r[index] * 1000.0 for r in results]
        q = statistics.quantiles(times, n=4) if len(times) > 1 else [times[0]] * 3
        print("%s: median %.0f ms (quartiles %.0f / %.0f ms, %d runs)"
              % (what, statistics.median(times), q[0], q[2], len(times)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
