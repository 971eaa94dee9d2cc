"""End-to-end: the application against the server simulator over the CLI:
out-of-range start-up choices send nothing, the ECP song queries answer from
the server's status, a radio stream's title splits into artist and title.
The start-up choices in order and a server restart are in test_link."""

import os
import sys
import unittest
from urllib.parse import quote

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "slimserver-sim"))
from appharness import AppRun, cli_lines, wait_until  # noqa: E402
from tests.support import SimProcess, library  # noqa: E402


class CliTest(unittest.TestCase):
    def setUp(self):
        self.sim = SimProcess()
        self.addCleanup(self.sim.stop)
        self.run_ = AppRun()
        self.addCleanup(self.run_.close)

    def test_song_queries_and_stream_titles_come_from_the_server_status(self):
        mac = self.run_.start_against(self.sim, "-RepeatMode=7")
        self.assertTrue(wait_until(lambda: "listen 1" in cli_lines(self.sim)))
        self.assertFalse([l for l in cli_lines(self.sim) if " playlist repeat" in l or "cmd:load" in l])

        self.sim.control("cli %s playlistcontrol cmd:load playlist_id:14" % mac)
        self.run_.wait_ecp("Quendrel currenttitle", "Coffee & Rain")
        self.assertEqual("The Quiet Tones", self.run_.ecp("Quendrel currentartist"))
        self.assertEqual("Morning Light", self.run_.ecp("Quendrel currentalbum"))
        self.assertEqual("2001", self.run_.ecp("Quendrel currentyear"))
        self.assertRegex(self.run_.ecp("Quendrel playbackposition"), r"^\d+$")
        self.assertEqual("OK", self.run_.ecp("Quendrel stop"))
        self.assertTrue(wait_until(lambda: mac + " mode stop" in cli_lines(self.sim)))

        url = "http://127.0.0.1:%d/radio/e2e.mp3?hz=700" % self.sim.ports["web"]
        self.sim.control("cli %s playlist play %s" % (mac, quote(url, safe="")))
        self.assertTrue(self.sim.control("stream-title %s (Radio) Artist A - Song B" % mac).get("ok"))
        self.run_.wait_ecp("Quendrel currenttitle", "Song B")
        self.assertEqual("Artist A", self.run_.ecp("Quendrel currentartist"))
        # The album shows what the item was called before: its url.
        self.assertEqual(url, self.run_.ecp("Quendrel currentalbum"))
        self.assertTrue(self.sim.control("stream-title %s Song only" % mac).get("ok"))
        self.run_.wait_ecp("Quendrel currenttitle", "Song only")
        self.assertEqual("N/A", self.run_.ecp("Quendrel currentartist"))


if __name__ == "__main__":
    library()
    unittest.main()
