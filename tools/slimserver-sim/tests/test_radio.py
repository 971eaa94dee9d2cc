"""Internet-radio URLs: a URL in the playlist is a remote item, its stream
plays a tone through the simulator, and the station's stream title shows in
status, in the CLI queries and on the status page."""

import socket
import struct
import unittest
import urllib.parse

from tests import support

MAC = support.MAC
TITLE = "(Radio) Artist A - Song B"


def escaped(text, safe=""):
    """The 6.x server's escaping (it leaves ( ) alone)."""
    return urllib.parse.quote(text, safe=safe)


def zero_crossings(pcm):
    """Rising zero crossings of the left channel of 16-bit stereo PCM."""
    left = [struct.unpack_from("<h", pcm, i)[0] for i in range(0, len(pcm) - 3, 4)]
    return sum(1 for a, b in zip(left, left[1:]) if a < 0 <= b)


class RadioTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.sim = support.SimProcess()
        cls.cli = support.CliClient(cls.sim.ports["cli"])
        cls.listener = support.CliClient(cls.sim.ports["cli"])
        cls.listener.ask("listen 1")
        cls.player = support.ScriptedPlayer(cls.sim.ports["proto"])
        cls.player.wait_for("audg")
        cls.cli.ask(f"{MAC} power 1")
        cls.url = f"http://127.0.0.1:{cls.sim.ports['web']}/radio/one.mp3?hz=500&seconds=1"

    @classmethod
    def tearDownClass(cls):
        for closable in (cls.player, cls.cli, cls.listener):
            closable.close()
        cls.sim.stop()

    def play_url(self, url):
        self.cli.ask(f"{MAC} playlist play {escaped(url)}")
        strm, _ = self.player.wait_for("strm", "s")
        self.player.send_stat("STMc")
        self.player.send_stat("STMs")
        self.notifications_until(" playlist newsong")
        return strm

    def notifications_until(self, wanted):
        while True:
            line = self.listener.read_line()
            if wanted in line:
                return line

    def test_a_played_url_is_a_remote_item_titled_by_its_url(self):
        self.play_url(self.url)
        status = self.cli.ask(f"{MAC} status - 1 tags:galdtypesru")
        words = status.split(" ")
        self.assertIn("remote%3A1", words)
        self.assertIn("current_title%3A" + escaped(self.url), words)
        self.assertLess(words.index("remote%3A1"), words.index(next(w for w in words if w.startswith("time%3A"))))
        item = status.split("playlist%20index%3A0 ")[1].split(" ")
        self.assertEqual(item[1], "title%3A" + escaped(self.url))
        self.assertIn("url%3A" + escaped(self.url), item)
        self.assertFalse([w for w in item if w.startswith(("artist%3A", "album%3A", "duration%3A"))], item)
        self.assertTrue(self.cli.ask(f"{MAC} remote ?").endswith("remote 1"))

    def test_the_stream_is_a_proxied_pcm_tone_of_the_urls_frequency(self):
        strm = self.play_url(self.url)
        self.assertEqual(strm[0:7], b"s1p1321")
        self.assertIn(b"GET /stream.mp3?player=" + MAC.encode(), strm[24:])
        headers, body = self.player.fetch_stream(strm, self.sim.ports["web"])
        self.assertIn("200", headers.split("\r\n")[0])
        self.assertEqual(len(body), 44100 * 4)
        self.assertAlmostEqual(zero_crossings(body), 500, delta=2)

    def test_the_stream_title_shows_in_status_queries_and_the_status_page(self):
        self.play_url(self.url)
        reply = self.sim.control(f"stream-title {MAC} {TITLE}")
        self.assertTrue(reply.get("ok"), reply)
        self.assertEqual(self.notifications_until(" newsong "),
                         f"{escaped(MAC)} playlist newsong {escaped(TITLE, '()')}")
        status = self.cli.ask(f"{MAC} status - 1 tags:u")
        self.assertIn(" current_title%3A" + escaped(TITLE, "()") + " ", status)
        self.assertIn(" title%3A" + escaped(self.url), status)       # the item keeps its title
        self.assertTrue(self.cli.ask(f"{MAC} current_title ?").endswith(escaped(TITLE, "()")))
        _, _, page = self.sim.http(f"/en/status.html?player={escaped(MAC)}")
        text = page.decode("utf-8")
        after = text.split('#currentsong">', 1)[1]
        self.assertEqual(after.split("<", 1)[0], "(Radio) Artist A - Song B")

    def test_a_new_url_starts_without_a_stream_title(self):
        self.play_url(self.url)
        self.sim.control(f"stream-title {MAC} Old Song")
        other = f"http://127.0.0.1:{self.sim.ports['web']}/radio/two?seconds=1"
        self.play_url(other)
        self.assertIn(" current_title%3A" + escaped(other) + " ", self.cli.ask(f"{MAC} status - 1"))

    def test_an_added_url_follows_local_tracks_and_only_a_current_remote_item_says_remote(self):
        self.cli.ask(f"{MAC} playlistcontrol cmd:load track_id:1")
        self.player.wait_for("strm", "s")
        station = f"http://127.0.0.1:{self.sim.ports['web']}/radio/station"
        self.cli.ask(f"{MAC} playlist add {escaped(station)} My%20Station")
        status = self.cli.ask(f"{MAC} status 0 5")
        self.assertNotIn("remote%3A1", status)
        self.assertIn("playlist_tracks%3A2", status)
        self.assertIn("playlist%20index%3A1 id%3A", status)
        self.assertIn(" title%3AMy%20Station", status)
        self.assertTrue(self.cli.ask(f"{MAC} playlist remote 1 ?").endswith(" 1"))
        self.assertTrue(self.cli.ask(f"{MAC} playlist remote 0 ?").endswith(" 0"))
        reply = self.sim.control(f"stream-title {MAC} Not now")
        self.assertIn("error", reply)

    def test_bad_stream_title_commands_answer_an_error(self):
        self.assertIn("error", self.sim.control("stream-title"))
        self.assertIn("error", self.sim.control("stream-title 11:22:33:44:55:66 Hello"))
        self.assertTrue(self.sim.control("ping").get("ok"))

    def test_the_radio_path_serves_the_tone_directly(self):
        path = "/radio/direct?hz=1000&seconds=0.5"
        with socket.create_connection((support.HOST, self.sim.ports["web"]), 10) as s:
            s.sendall(f"GET {path} HTTP/1.0\r\nIcy-MetaData: 1\r\n\r\n".encode())
            data = b""
            while chunk := s.recv(65536):
                data += chunk
        head, _, body = data.partition(b"\r\n\r\n")
        self.assertIn(b"200 OK", head)
        self.assertIn(b"icy-name:", head)
        self.assertEqual(len(body), 22050 * 4)
        self.assertAlmostEqual(zero_crossings(body), 500, delta=2)


if __name__ == "__main__":
    unittest.main()
