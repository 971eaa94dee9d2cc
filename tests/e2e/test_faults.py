"""End-to-end: the application against a server that misbehaves. One
application and one simulator serve every scenario in turn; each scenario
ends with the link shown healthy again (a song change reaches the screens),
so the next one starts from a working app. While a fault lasts, a thread
presses Menu and Exit over ECP: the keypress round trip ends once the UI
thread has handled the key, and its median and worst are printed."""

import os
import shutil
import socket
import statistics
import subprocess
import sys
import threading
import time
import unittest
from urllib.parse import quote, unquote

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "slimserver-sim"))
from appharness import APP, AppRun, cli_lines, red_message, wait_until  # noqa: E402
from imagefiles import read_png  # noqa: E402
from tests.support import SimProcess, library  # noqa: E402

# The worst key round trip accepted on a loaded two-core machine; the
# figure that matters (tens of milliseconds) is the median printed.
KEY_BOUND_MS = 3000
STRIP = (352, 21, 320, 33)   # the player display on the 1024x576 screen
RADIO_TITLE = "Fault Radio"


class KeyProbe:
    """Presses Menu, then Exit (the menu opens and closes), over and over on
    its own thread, timing each ECP keypress round trip."""

    def __init__(self, run):
        self.run = run
        self.samples = []
        self.stopping = threading.Event()
        self.thread = threading.Thread(target=self._loop, daemon=True)
        self.thread.start()

    def _loop(self):
        while not self.stopping.is_set():
            for key in ("Menu", "Exit"):
                started = time.monotonic()
                reply = self._keypress(key)
                self.samples.append(((time.monotonic() - started) * 1000, reply))
            time.sleep(0.1)

    def _keypress(self, key):
        """Straight over the app's ECP socket (no client process to start,
        so the time is the app's own)."""
        path = os.path.join(self.run.env["XDG_RUNTIME_DIR"], "quendrel", "ecp.sock")
        try:
            with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
                s.settimeout(KEY_BOUND_MS / 1000 * 3)
                s.connect(path)
                s.sendall(b"keypress " + key.encode() + b"\n")
                received = b""
                while b"\n" not in received:
                    data = s.recv(1024)
                    if not data:
                        break
                    received += data
        except OSError:
            return None
        return received.split(b"\n")[0].decode("utf-8", "replace")

    def stop(self):
        self.stopping.set()
        self.thread.join(timeout=30)
        return self.samples


def strip_lit(image):
    x, y, w, h = STRIP
    return sum(1 for row in image.rows[y:y + h] for v in row[x * 3:(x + w) * 3] if v > 40)


class FaultsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.sim = SimProcess()
        cls.run_ = AppRun()
        cls.log_path = os.path.join(cls.run_.dir, "app.log")
        cls.log = open(cls.log_path, "w")
        ports = cls.sim.ports
        # The app's output goes to a file: a pipe nobody reads would fill
        # up over a long run and hold the app.
        cls.app = subprocess.Popen(
            [APP, "127.0.0.1", "-SlimProtoPort=%d" % ports["proto"], "-SlimCLIPort=%d" % ports["cli"],
             "-SlimWebPort=%d" % ports["web"]],
            cwd=cls.run_.appdir, env=cls.run_.env, stdout=cls.log, stderr=subprocess.STDOUT)
        cls.run_.procs.append(cls.app)
        cls.mac = wait_until(lambda: next((p["mac"] for p in cls.sim.control("players")["players"]
                                          if p["connected"]), None), 30)
        cls.run_.wait_ecp("Quendrel ping", "pong", 30)

    @classmethod
    def tearDownClass(cls):
        cls.run_.procs[0].terminate()
        cls.run_.procs[0].wait(15)
        cls.log.close()
        # Kept for a look after a failure.
        shutil.copy(cls.log_path, os.path.join(os.path.dirname(APP), "test_faults-app.log"))
        with open(os.path.join(os.path.dirname(APP), "test_faults-sim.log"), "w") as f:
            f.write(cls.sim.stderr())
        cls.run_.close()
        cls.sim.stop()

    def setUp(self):
        self.assertIsNone(self.app.poll(), "the app has ended")
        self.sim.control("fault clear")
        self.started = time.monotonic()

    def tearDown(self):
        self.sim.control("fault clear")
        print("  %s: %.1f s" % (self._testMethodName, time.monotonic() - self.started), file=sys.stderr)

    # ---- helpers ----

    def cli(self, line):
        return self.sim.control("cli " + line)["reply"]

    def ecp(self, command):
        """None when no answer came in time: the ECP thread answers song
        queries from the server, so it waits while the server is slow."""
        try:
            return self.run_.ecp(command, timeout=15)
        except subprocess.TimeoutExpired:
            return None

    def wait_title(self, title, timeout=30):
        self.assertTrue(wait_until(lambda: self.ecp("Quendrel currenttitle") == title, timeout),
                        "the title %r never showed" % title)

    def assertHealthy(self):
        """A song change reaches the screens: the link works."""
        player = self.sim.control("players")["players"][0]
        if not player["tracks"] or (player["current"] or 0) >= 10000000:   # none, or a radio stream
            self.load_playlist()
        self.next_song()
        self.assertTrue(self.shown_title_matches_the_server(120), "the app is not healthy")

    def app_log(self):
        self.log.flush()
        with open(self.log_path, errors="replace") as f:
            return f.read()

    def lines(self):
        return cli_lines(self.sim)

    def ops(self):
        return [op for op, _ in self.sim.frames(self.mac)]

    def stats(self):
        return [p[:4].decode() for op, p in self.sim.frames(self.mac) if op == "STAT"]

    def shown_title_matches_the_server(self, timeout):
        """The app's current title, asked over ECP, equals the server's."""
        def same():
            player = self.sim.control("players")["players"][0]
            reply = self.cli("%s songinfo 0 100 track_id:%s tags:t" % (self.mac, player["current"]))
            tokens = [unquote(t) for t in reply.split(" ")]
            want = next((t.split(":", 1)[1] for t in tokens if t.startswith("title:")), None)
            return want is not None and self.ecp("Quendrel currenttitle") == want
        return wait_until(same, timeout)

    def next_song(self):
        self.cli("%s playlist index +1" % self.mac)

    def load_playlist(self):
        self.cli("%s playlistcontrol cmd:load playlist_id:14" % self.mac)

    def assertKeysAnswered(self, samples, what):
        self.assertTrue(samples, "no key was pressed during " + what)
        replies = [reply for _, reply in samples]
        self.assertEqual(set(replies), {"OK"}, "%s: keys unanswered %d times" % (what, replies.count(None)))
        times = sorted(ms for ms, _ in samples)
        print("  keys during %s: %d presses, median %.1f ms, worst %.1f ms"
              % (what, len(times), statistics.median(times), times[-1]), file=sys.stderr)
        self.assertLess(times[-1], KEY_BOUND_MS, "%s: a key waited %.0f ms" % (what, times[-1]))

    def ask_in_background(self, command):
        """An ECP query left waiting for the server on a thread of its own,
        as a remote control polling the song would."""
        thread = threading.Thread(target=lambda: self.ecp(command), daemon=True)
        thread.start()
        return thread

    def probe_keys(self, seconds, what):
        probe = KeyProbe(self.run_)
        time.sleep(seconds)
        self.assertKeysAnswered(probe.stop(), what)

    def shot(self):
        path = os.path.join(self.run_.dir, "shot.png")
        return read_png(path) if self.run_.ecp("screenshot " + path) == "OK" else None

    # ---- the scenarios ----

    def test_1_a_cli_reply_in_one_byte_pieces(self):
        self.load_playlist()
        self.wait_title("Coffee & Rain")
        self.probe_keys(5, "no fault (the machine's own figure)")
        self.sim.control("fault cli-split 100000 0")   # a byte a write, each on its own
        self.load_playlist()
        self.wait_title("Coffee & Rain", 60)
        self.next_song()
        self.assertTrue(self.shown_title_matches_the_server(60), "a reply in pieces was misread")
        self.sim.control("fault clear")
        self.assertHealthy()

    def test_2_the_listener_closed_by_the_server(self):
        self.assertHealthy()
        listens = self.lines().count("listen 1")
        closed = self.sim.control("fault close-listeners")["closed"]
        self.assertGreaterEqual(closed, 1)
        self.assertTrue(wait_until(lambda: self.lines().count("listen 1") > listens, 30),
                        "the listener never came back")
        self.next_song()   # told to the app by the new listener only
        self.assertTrue(self.shown_title_matches_the_server(30), "a song change after the listener came back")

    def test_3_malformed_and_oversized_frames(self):
        self.assertHealthy()
        helos = self.ops().count("HELO")
        # A frame longer than the player's buffer is skipped: the link stays.
        self.assertEqual(self.sim.control("fault send oversized"), {"ok": True})
        self.cli("%s mixer volume 40" % self.mac)   # a frame after it on the same link
        self.run_.wait_ecp("Quendrel ping", "pong")
        time.sleep(1.0)
        self.assertEqual(self.ops().count("HELO"), helos, "the link was dropped for a frame it can skip")
        # A frame with nothing after its opcode, and one cut short: the
        # player drops the link and says hello on a new one.
        for kind in ("short", "truncated"):
            self.assertTrue(wait_until(lambda: any(p["connected"] for p in self.sim.control("players")["players"])))
            self.assertEqual(self.sim.control("fault send " + kind), {"ok": True})
            self.assertTrue(wait_until(lambda: self.ops().count("HELO") > helos, 30), "no hello after a %s frame" % kind)
            helos = self.ops().count("HELO")
        self.assertTrue(wait_until(lambda: any(p["connected"] for p in self.sim.control("players")["players"])))
        self.assertHealthy()
        log = self.app_log()
        self.assertIn("slimproto: skipping frame \"grfe\"", log)
        self.assertIn("slimproto: frame of 4 bytes too short for an opcode and a payload; dropping the link", log)
        self.assertIn("slimproto: frame of 10 bytes, 7 received; dropping the link", log)

    def test_4_an_http_stream_stalling_30_seconds(self):
        self.assertHealthy()
        ended = self.stats().count("STMu")
        underruns = self.app_log().count("Buffer underrun")
        self.sim.control("fault http-stall 32768 30")
        self.cli("%s playlistcontrol cmd:load track_id:10" % self.mac)  # WAV, 3 s
        self.assertTrue(wait_until(lambda: any("stalled" in e for e in self.sim.control("events")["events"]), 30))
        self.probe_keys(28, "a stalled stream")
        self.assertTrue(wait_until(lambda: self.stats().count("STMu") > ended, 40),
                        "the track never ended after the stall")
        self.assertGreater(self.app_log().count("Buffer underrun"), underruns)

    def test_5_a_cli_that_answers_with_garbage(self):
        self.load_playlist()
        self.wait_title("Coffee & Rain")
        self.sim.control("fault cli-garbage 0")
        probe = KeyProbe(self.run_)
        for _ in range(3):
            self.next_song()
            time.sleep(2)
        self.assertKeysAnswered(probe.stop(), "garbage replies")
        self.run_.wait_ecp("Quendrel ping", "pong")
        self.sim.control("fault clear")
        self.assertHealthy()
        self.assertIn("is not its answer", self.app_log())

    def test_6_a_cli_that_never_ends_a_line(self):
        self.assertHealthy()
        self.sim.control("fault cli-unended 1")
        self.next_song()
        self.assertTrue(wait_until(lambda: any("unended" in e for e in self.sim.control("events")["events"]), 30))
        self.ask_in_background("Quendrel currenttitle")
        self.probe_keys(10, "an unended reply")
        self.assertHealthy()   # once the app gave up on the link (its time-out), on a new one
        self.assertIn("cli: no complete reply within", self.app_log())

    def test_7_a_cli_that_answers_after_30_seconds(self):
        self.assertHealthy()
        self.sim.control("fault cli-delay 30000")
        self.next_song()
        self.ask_in_background("Quendrel currentartist")
        self.probe_keys(10, "replies 30 s late")
        self.sim.control("fault clear")
        self.assertHealthy()

    def test_8_a_server_restart_mid_stream(self):
        self.assertHealthy()
        url = "http://127.0.0.1:%d/radio/faults?hz=600" % self.sim.ports["web"]
        self.cli("%s playlist play %s %s" % (self.mac, quote(url, safe=""), quote(RADIO_TITLE)))
        self.wait_title(RADIO_TITLE)
        self.assertTrue(wait_until(lambda: "STMs" in self.stats(), 30))
        self.sim.control("reset")
        listens = self.lines().count("listen 1")
        self.assertEqual(self.sim.control("fault restart 3"), {"ok": True})
        probe = KeyProbe(self.run_)
        # The player says hello again and plays the stream the server asks
        # for again; both CLI links come back.
        self.assertTrue(wait_until(lambda: "HELO" in self.ops(), 40), "no hello after the restart")
        self.assertTrue(wait_until(lambda: "STMs" in self.stats(), 40), "playback did not resume")
        reports = wait_until(lambda: (lambda s: s if s.count("STMt") >= 3 else None)(
            self.stats()[self.stats().index("STMs"):]), 30)
        self.assertTrue(reports, "no reports after the resumed start")
        self.assertTrue(wait_until(lambda: self.lines().count("listen 1") > listens, 40),
                        "the listener never came back")
        self.assertKeysAnswered(probe.stop(), "a server restart")
        self.wait_title(RADIO_TITLE)
        # The screens show live data again: no lost-link message, the
        # server's display in its strip.
        self.assertTrue(wait_until(lambda: (lambda s: s is not None and not red_message(s)
                                            and strip_lit(s) > 100)(self.shot()), 30),
                        "the screen did not recover")
        # Commands go out again: Stop reaches the server.
        self.assertEqual(self.ecp("Quendrel stop"), "OK")
        self.assertTrue(wait_until(lambda: any(l.endswith(" stop") for l in self.lines()), 30))
        self.assertIn("cli: connected again", self.app_log())

    def test_9_a_server_restart_mid_track(self):
        self.assertHealthy()
        self.load_playlist()
        self.wait_title("Coffee & Rain")
        self.assertTrue(wait_until(lambda: "STMs" in self.stats(), 30))
        time.sleep(1.0)
        self.sim.control("reset")
        self.assertEqual(self.sim.control("fault restart 2"), {"ok": True})
        # The server asks for the song again where the player had got to,
        # and the playlist plays on from there.
        self.assertTrue(wait_until(lambda: self.stats().count("STMs") >= 2, 60), "playback did not go on")
        events = self.sim.control("events")["events"]
        self.assertTrue(any("resumes track" in e for e in events), events)
        self.assertHealthy()


if __name__ == "__main__":
    library()
    unittest.main()
