"""End-to-end: the application against the server simulator over the CLI:
start-up choices in order, ECP song queries answered from the server's
status, and a server restart survived by both CLI connections."""

import os
import sys
import unittest
from urllib.parse import quote

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "slimserver-sim"))
from appharness import AppRun, wait_until  # noqa: E402
from tests.support import CliClient, SimProcess, library  # noqa: E402


class CliTest(unittest.TestCase):
    def setUp(self):
        self.sim = SimProcess()
        self.run_ = AppRun()

    def tearDown(self):
        self.run_.close()
        self.sim.stop()

    def lines(self):
        return [entry["line"] for entry in self.sim.control("cli-lines")["lines"]]

    def start_app(self, *extra):
        ports = self.sim.ports
        self.run_.start("127.0.0.1", "-SlimProtoPort=%d" % ports["proto"], "-SlimCLIPort=%d" % ports["cli"],
                        "-SlimWebPort=%d" % ports["web"], *extra)
        players = wait_until(lambda: self.sim.control("players").get("players"))
        self.assertTrue(players, "the app never said hello")
        self.run_.wait_ecp("Quendrel ping", "pong")

    def player(self):
        return wait_until(lambda: next((l.split(" ")[0] for l in self.lines() if l.endswith(" power 1")), None))

    def test_startup_sends_repeat_shuffle_then_the_playlist_and_power_once(self):
        self.start_app("-RepeatMode=2", "-ShuffleMode=1", "-PlaylistId=7")
        mac = self.player()
        self.assertIsNotNone(mac, self.lines())
        self.assertTrue(wait_until(lambda: "listen 1" in self.lines()))
        # The options go out from the command queue, possibly after the listener.
        self.assertTrue(wait_until(lambda: mac + " playlistcontrol cmd:load playlist_id:7" in self.lines()))
        lines = self.lines()
        repeat = lines.index(mac + " playlist repeat 2")
        shuffle = lines.index(mac + " playlist shuffle 1")
        load = lines.index(mac + " playlistcontrol cmd:load playlist_id:7")
        self.assertLess(repeat, shuffle)
        self.assertLess(shuffle, load)
        self.assertEqual(1, lines.count(mac + " power 1"))

    def test_out_of_range_modes_and_no_playlist_send_nothing(self):
        self.start_app("-RepeatMode=7")
        self.assertIsNotNone(self.player())
        self.assertFalse([l for l in self.lines() if " playlist repeat" in l or "cmd:load" in l])

    def test_song_queries_come_from_the_server_status(self):
        self.start_app()
        mac = self.player()
        self.sim.control("cli %s playlistcontrol cmd:load playlist_id:14" % mac)
        self.run_.wait_ecp("Quendrel currenttitle", "Coffee & Rain")
        self.assertEqual("The Quiet Tones", self.run_.ecp("Quendrel currentartist"))
        self.assertEqual("Morning Light", self.run_.ecp("Quendrel currentalbum"))
        self.assertEqual("2001", self.run_.ecp("Quendrel currentyear"))
        self.assertRegex(self.run_.ecp("Quendrel playbackposition"), r"^\d+$")
        self.assertEqual("OK", self.run_.ecp("Quendrel stop"))
        self.assertTrue(wait_until(lambda: mac + " mode stop" in self.lines()))

    def test_a_server_restart_is_survived_by_both_cli_connections(self):
        self.start_app()
        mac = self.player()
        self.assertTrue(wait_until(lambda: "listen 1" in self.lines()))
        ports = self.sim.ports
        self.sim.stop()
        self.sim = SimProcess("--proto-port", str(ports["proto"]), "--cli-port", str(ports["cli"]),
                              "--web-port", str(ports["web"]))
        # Both links come back by themselves: the listener switches
        # notifications on again and queries are answered again.
        self.assertTrue(wait_until(lambda: "listen 1" in self.lines(), timeout=30))
        self.assertTrue(wait_until(lambda: self.sim.control("players").get("players"), timeout=30))
        self.sim.control("cli %s playlistcontrol cmd:load playlist_id:14" % mac)
        self.run_.wait_ecp("Quendrel currenttitle", "Coffee & Rain", timeout=30)

    def test_a_radio_stream_title_splits_into_artist_and_title(self):
        self.start_app()
        mac = self.player()
        url = "http://127.0.0.1:%d/radio/e2e.mp3?hz=700" % self.sim.ports["web"]
        cli = CliClient(self.sim.ports["cli"])
        try:
            cli.ask("%s playlist play %s" % (mac, quote(url, safe="")))
        finally:
            cli.close()
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
