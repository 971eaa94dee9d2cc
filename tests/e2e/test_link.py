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
from appharness import AppRun, cli_lines, free_port, player_on, red_message, wait_until  # noqa: E402
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


def shot(run):
    try:
        return run.screenshot()
    except AssertionError:
        return None


def message_shown(run):
    image = shot(run)
    return image is not None and red_message(image)


def message_gone(run):
    image = shot(run)
    return image is not None and not red_message(image)


def strip(image):
    x, y, w, h = STRIP
    return [bytes(row[x * 3:(x + w) * 3]) for row in image.rows[y:y + h]]


def changed_pixels(before, after):
    return sum(1 for a, b in zip(b"".join(before), b"".join(after)) if a != b)


class LinkTest(unittest.TestCase):
    def setUp(self):
        self.run_ = AppRun()
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

    def test_started_before_the_server(self):
        started = time.monotonic()
        first = self.start_app("-RepeatMode=2", "-ShuffleMode=0", "-PlaylistId=14")
        self.run_.wait_ecp("Quendrel ping", "pong")
        self.pinger = Pinger(self.run_)
        self.assertTrue(wait_until(lambda: message_shown(self.run_)), "no start-up message without a server")
        dark_strip = strip(shot(self.run_))

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
        self.assertTrue(wait_until(lambda: message_gone(self.run_), timeout=30), "the start-up message stayed")
        self.assertTrue(wait_until(lambda: self.sim.control("players").get("players")))

        # The start-up choices went out once, in order, after the server came.
        mac = player_on(self.sim)
        self.assertIsNotNone(mac)
        load = mac + " playlistcontrol cmd:load playlist_id:14"
        self.assertTrue(wait_until(lambda: load in cli_lines(self.sim)), cli_lines(self.sim))
        lines = cli_lines(self.sim)
        choices = [mac + " playlist repeat 2", mac + " playlist shuffle 0", load]
        self.assertEqual([lines.count(c) for c in choices + [mac + " power 1"]], [1, 1, 1, 1], lines)
        self.assertEqual([lines.index(c) for c in choices], sorted(lines.index(c) for c in choices))

        # The server's display now shows in the strip.
        self.assertTrue(wait_until(lambda: changed_pixels(dark_strip, strip(shot(self.run_))) > 300),
                        "the player display never appeared")

        # The screens work as if the server had been there: the saved
        # playlist plays and the song queries answer from the server.
        # The tracks last seconds, so title and artist are read as a pair
        # until both belong to the same song.
        song = lambda: (self.run_.ecp("Quendrel currenttitle"), self.run_.ecp("Quendrel currentartist"))
        self.assertTrue(wait_until(lambda: song() == ("Coffee & Rain", "The Quiet Tones"), timeout=30), song())
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
        self.assertTrue(wait_until(lambda: message_gone(self.run_)))
        live_strip = wait_until(lambda: (lambda s: s if any(any(r) for r in s) else None)(
            strip(shot(self.run_))))
        self.pinger = Pinger(self.run_)

        self.sim.stop()
        self.sim = None
        self.assertTrue(wait_until(lambda: message_shown(self.run_), timeout=30), "no message for the lost server")
        self.assertGreater(changed_pixels(live_strip, strip(shot(self.run_))), 300,
                           "the server's last display frame stayed up")

        self.start_sim()
        self.assertTrue(wait_until(lambda: message_gone(self.run_), timeout=30), "the lost-link message stayed")
        self.assertTrue(wait_until(lambda: self.sim.control("players").get("players")))
        # Back as before: the listener switches notifications on again and
        # the server's CLI answers the screens again.
        self.assertTrue(wait_until(lambda: "listen 1" in cli_lines(self.sim), timeout=30))
        mac = player_on(self.sim)
        self.sim.control("cli %s playlistcontrol cmd:load playlist_id:14" % mac)
        self.run_.wait_ecp("Quendrel currenttitle", "Coffee & Rain", timeout=30)

        replies = self.pinger.stop()
        self.pinger = None
        self.assertEqual(set(replies), {"pong"})


if __name__ == "__main__":
    library()
    unittest.main()
