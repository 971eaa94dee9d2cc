"""End-to-end: the application started before the server, and a server that
goes away and comes back. The start-up message goes when the link comes up,
the player display appears, the start-up choices reach the server once,
"Quendrel ping" answers all along, a second start finds the first; a lost
link shows a message that goes when the server returns."""

import os
import sys
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "slimserver-sim"))
from appharness import AppRun, free_port, wait_until  # noqa: E402
from imagefiles import read_png  # noqa: E402
from tests.support import SimProcess, library  # noqa: E402

# The player display strip of the 1024x576 screen.
STRIP = (352, 21, 320, 33)


class Pinger:
    """Asks "Quendrel ping" over and over on its own thread and keeps every
    reply from the first "pong" on."""

    def __init__(self, run):
        self.run = run
        self.replies = []
        self.stopping = threading.Event()
        self.thread = threading.Thread(target=self._loop, daemon=True)
        self.thread.start()

    def _loop(self):
        while not self.stopping.is_set():
            reply = self.run.ecp("Quendrel ping", timeout=10)
            if self.replies or reply == "pong":
                self.replies.append(reply)
            time.sleep(0.1)

    def stop(self):
        self.stopping.set()
        self.thread.join(timeout=15)
        return self.replies


class Screen:
    def __init__(self, run):
        self.run = run
        self.count = 0

    def shot(self):
        self.count += 1
        path = os.path.join(self.run.dir, "shot%d.png" % self.count)
        if self.run.ecp("screenshot " + path) != "OK":
            return None
        return read_png(path)

    @staticmethod
    def red_message(image):
        """True when the red message text sits in the middle of the screen."""
        bpp, rows, mid = 3, image.rows, image.height // 2
        red = sum(1 for row in rows[mid - 12:mid + 12] for x in range(200, 824)
                  if row[x * bpp] > 150 and row[x * bpp + 1] < 60 and row[x * bpp + 2] < 60)
        return red > 200

    @staticmethod
    def strip(image):
        x, y, w, h = STRIP
        return [bytes(row[x * 3:(x + w) * 3]) for row in image.rows[y:y + h]]

    def message_shown(self):
        image = self.shot()
        return image is not None and self.red_message(image)

    def message_gone(self):
        image = self.shot()
        return image is not None and not self.red_message(image)


def changed_pixels(before, after):
    return sum(1 for a, b in zip(b"".join(before), b"".join(after)) if a != b)


class LinkTest(unittest.TestCase):
    def setUp(self):
        self.run_ = AppRun()
        self.screen = Screen(self.run_)
        self.sim = None
        self.pinger = None
        self.ports = {name: free_port() for name in ("proto", "cli", "web")}

    def tearDown(self):
        if self.pinger:
            self.pinger.stop()
        self.run_.close()
        if self.sim:
            self.sim.stop()

    def start_sim(self):
        p = self.ports
        self.sim = SimProcess("--proto-port", str(p["proto"]), "--cli-port", str(p["cli"]),
                              "--web-port", str(p["web"]))

    def start_app(self, *extra):
        p = self.ports
        return self.run_.start("127.0.0.1", "-SlimProtoPort=%d" % p["proto"], "-SlimCLIPort=%d" % p["cli"],
                               "-SlimWebPort=%d" % p["web"], *extra)

    def cli_lines(self):
        return [entry["line"] for entry in self.sim.control("cli-lines")["lines"]]

    def test_started_before_the_server(self):
        started = time.monotonic()
        first = self.start_app("-RepeatMode=2", "-ShuffleMode=0", "-PlaylistId=14")
        self.run_.wait_ecp("Quendrel ping", "pong")
        self.pinger = Pinger(self.run_)
        self.assertTrue(wait_until(self.screen.message_shown), "no start-up message without a server")
        dark_strip = Screen.strip(self.screen.shot())

        # A second start while the server is still away: it ends and brings
        # the first (hidden meanwhile) to the front.
        self.assertEqual(self.run_.ecp("Quendrel hide"), "Quendrel hidden")
        second = self.run_.start("127.0.0.1", "-SlimProtoPort=%d" % self.ports["proto"])
        out, _ = second.communicate(timeout=30)
        self.assertEqual(second.returncode, 0, out)
        self.assertIn("Quendrel already running. Restoring...", out)
        self.assertEqual(self.run_.ecp("Quendrel unhide"), "Quendrel is not hidden")
        self.assertIsNone(first.poll())

        time.sleep(max(0.0, 10.0 - (time.monotonic() - started)))  # the server comes ten seconds later
        self.start_sim()
        self.assertTrue(wait_until(self.screen.message_gone, timeout=30), "the start-up message stayed")
        self.assertTrue(wait_until(lambda: self.sim.control("players").get("players")))

        # The start-up choices went out once, in order, after the server came.
        mac = wait_until(lambda: next((l.split(" ")[0] for l in self.cli_lines() if l.endswith(" power 1")), None))
        self.assertIsNotNone(mac)
        load = mac + " playlistcontrol cmd:load playlist_id:14"
        self.assertTrue(wait_until(lambda: load in self.cli_lines()), self.cli_lines())
        lines = self.cli_lines()
        choices = [mac + " playlist repeat 2", mac + " playlist shuffle 0", load]
        self.assertEqual([lines.count(c) for c in choices], [1, 1, 1], lines)
        self.assertEqual([lines.index(c) for c in choices], sorted(lines.index(c) for c in choices))

        # The server's display now shows in the strip.
        self.assertTrue(wait_until(lambda: changed_pixels(dark_strip, Screen.strip(self.screen.shot())) > 300),
                        "the player display never appeared")

        # The screens work as if the server had been there: the saved
        # playlist plays and the song queries answer from the server.
        self.run_.wait_ecp("Quendrel currenttitle", "Coffee & Rain", timeout=30)
        self.assertEqual("The Quiet Tones", self.run_.ecp("Quendrel currentartist"))
        self.assertIsNone(first.poll())

        replies = self.pinger.stop()
        self.pinger = None
        self.assertGreater(len(replies), 20)
        self.assertEqual(set(replies), {"pong"}, "ping went unanswered %d times" % replies.count(None))

    def test_a_lost_server_is_shown_until_it_comes_back(self):
        self.start_sim()
        self.start_app()
        self.assertTrue(wait_until(lambda: self.sim.control("players").get("players")))
        self.run_.wait_ecp("Quendrel ping", "pong")
        self.assertTrue(wait_until(self.screen.message_gone))
        live_strip = wait_until(lambda: (lambda s: s if any(any(r) for r in s) else None)(
            Screen.strip(self.screen.shot())))
        self.pinger = Pinger(self.run_)

        self.sim.stop()
        self.sim = None
        self.assertTrue(wait_until(self.screen.message_shown, timeout=30), "no message for the lost server")
        self.assertGreater(changed_pixels(live_strip, Screen.strip(self.screen.shot())), 300,
                           "the server's last display frame stayed up")

        self.start_sim()
        self.assertTrue(wait_until(self.screen.message_gone, timeout=30), "the lost-link message stayed")
        self.assertTrue(wait_until(lambda: self.sim.control("players").get("players")))
        # Back as before: the server's CLI answers the screens again.
        mac = wait_until(lambda: next((l.split(" ")[0] for l in self.cli_lines() if l.endswith(" power 1")), None))
        self.sim.control("cli %s playlistcontrol cmd:load playlist_id:14" % mac)
        self.run_.wait_ecp("Quendrel currenttitle", "Coffee & Rain", timeout=30)

        replies = self.pinger.stop()
        self.pinger = None
        self.assertEqual(set(replies), {"pong"})


if __name__ == "__main__":
    library()
    unittest.main()
