#!/usr/bin/env python3
"""Screens against a slow or broken server CLI, and the app's CPU while the
Now Playing screen shows a playing song.

    python3 bench/screens.py <build-dir> [latency|cpu|all]

latency: the app talks to the simulator's CLI through a proxy on loopback
that either holds every reply 4 s ("slow") or, once armed, cuts a reply
before its line end and never sends the rest on that link ("unended"). 50 key presses
(Menu and Exit in turn: the menu opens and closes) are sent over ECP; for
each, the time until the UI thread has handled the key (the ECP keypress
round trip) and the time until a fresh frame is painted and saved (the ECP
screenshot round trip, which includes writing the PNG to /dev/shm) are taken, with a
baseline through an unhindered proxy. Meanwhile Stop is pressed 5 times;
every command must reach the server, in order, after the start-up ones.

cpu: one minute of an endless stream (the simulator's tone) with the Now
Playing screen shown, against the same minute hidden with -NoInfoOnHide (no
screen painted): the difference is what the screens cost.
"""

import os
import socket
import statistics
import sys
import threading
import time
from urllib.parse import quote

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
sys.path.insert(0, os.path.join(HERE, "..", "tools", "slimserver-sim"))


class CliProxy:
    """Forwards CLI connections to the simulator; requests go on at once,
    replies are held `delay` seconds, or (mode "unended") the first reply
    after arm() loses its line end and that connection stalls for good."""

    def __init__(self, target_port, mode="plain", delay=4.0):
        self.target = target_port
        self.mode, self.delay = mode, delay
        self.armed = False
        self.lines = []  # (time, connection number, request line)
        self.lock = threading.Lock()
        self.server = socket.socket()
        self.server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.server.bind(("127.0.0.1", 0))
        self.server.listen(8)
        self.port = self.server.getsockname()[1]
        self.count = 0
        self.closing = False
        threading.Thread(target=self._accept, daemon=True).start()

    def arm(self):
        self.armed = True

    def _accept(self):
        while not self.closing:
            try:
                client, _ = self.server.accept()
            except OSError:
                return
            self.count += 1
            upstream = socket.create_connection(("127.0.0.1", self.target))
            number = self.count
            threading.Thread(target=self._requests, args=(client, upstream, number), daemon=True).start()
            threading.Thread(target=self._replies, args=(upstream, client), daemon=True).start()

    def _requests(self, client, upstream, number):
        buffer = b""
        try:
            while True:
                data = client.recv(4096)
                if not data:
                    break
                buffer += data
                while b"\n" in buffer:
                    line, buffer = buffer.split(b"\n", 1)
                    with self.lock:
                        self.lines.append((time.monotonic(), number, line.decode("utf-8", "replace").rstrip("\r")))
                upstream.sendall(data)
        except OSError:
            pass
        for s in (upstream, client):
            try:
                s.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass

    def _replies(self, upstream, client):
        try:
            while True:
                data = upstream.recv(4096)
                if not data:
                    break
                if self.mode == "slow":
                    time.sleep(self.delay)
                elif self.mode == "unended" and self.armed and b"listen" not in data:
                    self.armed = False  # one reply only: the app's time-out opens a new link
                    client.sendall(data.split(b"\n")[0][:-1])
                    while True:  # the rest never comes
                        time.sleep(3600)
                client.sendall(data)
        except OSError:
            pass

    def requests(self):
        with self.lock:
            return [line for _, _, line in self.lines]

    def close(self):
        self.closing = True
        self.server.close()


def ecp(run, command, timeout=30):
    """One ECP command straight over the app's socket (no client process
    to start, so the time is the app's own)."""
    path = os.path.join(run.env["XDG_RUNTIME_DIR"], "quendrel", "ecp.sock")
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
        s.settimeout(timeout)
        s.connect(path)
        s.sendall(command.encode() + b"\n")
        received = b""
        while b"\n" not in received:
            data = s.recv(1024)
            if not data:
                break
            received += data
    return received.split(b"\n")[0].decode("utf-8", "replace")


def timed(call):
    start = time.perf_counter()
    result = call()
    return (time.perf_counter() - start) * 1000.0, result


def latency_run(build, mode):
    from harness import App as AppRun, wait_until
    from tests.support import SimProcess
    sim = SimProcess()
    proxy = CliProxy(sim.ports["cli"], "slow" if mode == "slow" else ("unended" if mode == "unended" else "plain"))
    run = AppRun()
    try:
        run.start("127.0.0.1", "-SlimProtoPort=%d" % sim.ports["proto"], "-SlimCLIPort=%d" % proxy.port,
                  "-SlimWebPort=%d" % sim.ports["web"], "-RepeatMode=2", "-ShuffleMode=1")
        run.wait_ecp("Quendrel ping", "pong", 30)
        # The start-up commands have gone out (slowly, perhaps).
        wait_until(lambda: any(l.endswith("playlist shuffle 1") for l in proxy.requests()), 60)
        proxy.arm()
        shot = os.path.join("/dev/shm" if os.path.isdir("/dev/shm") else run.dir, "quendrel-bench-%d.png" % os.getpid())
        keys, frames = [], []
        stops_sent = 0
        for i in range(50):
            key_ms, reply = timed(lambda: ecp(run, "keypress " + ("Menu" if i % 2 == 0 else "Exit")))
            assert reply == "OK", reply
            frame_ms, reply = timed(lambda: ecp(run, "screenshot " + shot))
            assert reply == "OK", reply
            keys.append(key_ms)
            frames.append(frame_ms)
            if i % 10 == 5:
                # Stop goes to the command queue (the menu is closed after an Exit).
                ecp(run, "keypress Stop")
                stops_sent += 1
        # Every command reaches the server, in order (the unended link is
        # dropped by the app's time-out and the commands go on a new one).
        wait_until(lambda: sum(1 for l in proxy.requests() if l.endswith(" mode stop") or l.endswith(" stop"))
                   >= stops_sent, 180)
        requests = proxy.requests()
        stops = [l for l in requests if l.endswith(" mode stop") or l.endswith(" stop")]
        repeat = next((n for n, l in enumerate(requests) if l.endswith("playlist repeat 2")), -1)
        shuffle = next((n for n, l in enumerate(requests) if l.endswith("playlist shuffle 1")), -1)
        in_order = 0 <= repeat < shuffle
        return keys, frames, len(stops), stops_sent, in_order
    finally:
        run.close()
        proxy.close()
        sim.stop()


def report(name, values):
    values = sorted(values)
    return "%s median %.1f ms, worst %.1f ms" % (name, statistics.median(values), values[-1])


def latency(build):
    for mode in ("plain", "slow", "unended"):
        keys, frames, stops, sent, in_order = latency_run(build, mode)
        print("%-8s %s; %s; stops %d of %d; start-up commands in order: %s"
              % (mode, report("key handled", keys), report("frame painted+saved", frames), stops, sent, in_order))
        sys.stdout.flush()


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def cpu_run(build, hidden):
    from harness import App as AppRun, wait_until
    from tests.support import SimProcess
    sim = SimProcess()
    run = AppRun()
    try:
        extra = ["-NoInfoOnHide"] if hidden else []
        proc = run.start("127.0.0.1", "-SlimProtoPort=%d" % sim.ports["proto"], "-SlimCLIPort=%d" % sim.ports["cli"],
                         "-SlimWebPort=%d" % sim.ports["web"], "-Screensaver=0", *extra)
        run.wait_ecp("Quendrel ping", "pong", 30)
        mac = wait_until(lambda: next((e["line"].split(" ")[0] for e in sim.control("cli-lines")["lines"]
                                       if e["line"].endswith(" power 1")), None))
        url = "http://127.0.0.1:%d/radio/x?hz=500" % sim.ports["web"]
        sim.control("cli %s playlist play %s Tone" % (mac, quote(url, safe="")))
        wait_until(lambda: sim.control("cli %s mode ?" % mac).get("reply", "").endswith("mode play"))
        if hidden:
            run.ecp("Quendrel hide")
        time.sleep(5)  # the stream, the cover and the first paints settle
        start = cpu_seconds(proc.pid)
        time.sleep(60)
        return cpu_seconds(proc.pid) - start
    finally:
        run.close()
        sim.stop()


def cpu(build):
    shown = cpu_run(build, False)
    hidden = cpu_run(build, True)
    print("cpu: one minute of a PCM stream, Now Playing shown %.2f CPU s (%.2f%% of a core); hidden, no panel "
          "%.2f CPU s; the screens' share %.2f CPU s (%.2f%% of a core)"
          % (shown, shown / 0.6, hidden, shown - hidden, (shown - hidden) / 0.6))


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    os.environ["QUENDREL_BUILD_DIR"] = os.path.abspath(sys.argv[1])
    what = sys.argv[2] if len(sys.argv) > 2 else "all"
    if what in ("latency", "all"):
        latency(sys.argv[1])
    if what in ("cpu", "all"):
        cpu(sys.argv[1])
    return 0


if __name__ == "__main__":
    sys.exit(main())
