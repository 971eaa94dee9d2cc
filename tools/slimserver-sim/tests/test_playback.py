"""A scripted player plays a whole album through the simulator, the way a
real SlimProto player would, in both server eras and player forms."""

import struct
import unittest

from tests import support

ALBUM = "Morning Light"


def album_id(cli):
    reply = cli.ask("albums 0 100")
    words = reply.split(" ")
    for i, word in enumerate(words):
        if word == "album%3A" + ALBUM.replace(" ", "%20"):
            return int(words[i - 1].split("%3A")[1])
    raise AssertionError("album not listed: " + reply)


class AlbumPlayback:
    era = 6
    device = 3
    helo_form = 18
    stat_form = 41

    def setUp(self):
        self.sim = support.SimProcess("--era", str(self.era))
        self.cli = support.CliClient(self.sim.ports["cli"])
        self.listener = support.CliClient(self.sim.ports["cli"])
        self.assertEqual(self.listener.ask("listen 1"), "listen 1")
        self.player = support.ScriptedPlayer(self.sim.ports["proto"], self.device,
                                             helo_form=self.helo_form,
                                             stat_form=self.stat_form)
        self.player.wait_for("audg")
        self.tracks = [t for t in support.manifest()["tracks"] if t["album"] == ALBUM]

    def tearDown(self):
        for closable in (self.player, self.cli, self.listener):
            closable.close()
        self.sim.stop()

    def notifications_until(self, wanted):
        lines = []
        while True:
            line = self.listener.read_line()
            lines.append(line)
            if line.endswith(wanted):
                return lines

    def play_track(self, expected, strm):
        """Fetches the stream `strm` asked for and reports start and end."""
        self.assertEqual(strm[0:2], b"s1")
        self.assertEqual(strm[2:3], b"m")
        headers, body = self.player.fetch_stream(strm, self.sim.ports["web"])
        self.assertIn("200", headers.split("\r\n")[0])
        self.assertEqual(len(body), expected["filesize"])
        self.player.send_stat("STMc")
        self.player.send_stat("STMh")
        self.player.send_stat("STMs")
        self.player.send_stat("STMt", elapsed=2)
        self.player.send_stat("STMd", elapsed=2)

    def test_plays_the_album_to_the_end(self):
        mac = support.MAC
        reply = self.cli.ask(f"{mac} playlistcontrol cmd:load album_id:{album_id(self.cli)}")
        self.assertTrue(reply.endswith("count%3A3"), reply)
        strm, _ = self.player.wait_for("strm", "s")
        for number, track in enumerate(self.tracks):
            self.play_track(track, strm)
            newsong = self.notifications_until("newsong" if self.era == 6 else f" {number}")
            self.assertIn("playlist newsong", newsong[-1])
            status = self.cli.ask(f"{mac} status - 1 tags:d")
            self.assertIn(f"playlist_cur_index%3A{number}", status)
            self.assertIn("time%3A2", status)
            if number + 1 < len(self.tracks):
                strm, _ = self.player.wait_for("strm", "s")
        self.player.send_stat("STMu", elapsed=3)
        self.notifications_until(" stop")
        self.assertIn("mode%3Astop", self.cli.ask(f"{mac} status 0 1"))

    def test_stats_before_the_streams_stmc_are_left_alone(self):
        mac = support.MAC
        self.cli.ask(f"{mac} playlistcontrol cmd:load album_id:{album_id(self.cli)}")
        self.player.wait_for("strm", "s")
        # The decoder of the stream before this one ends late: that must
        # not send the next track while this one has not even connected.
        self.player.send_stat("STMd", elapsed=2)
        self.player.send_stat("STMc")
        self.player.send_stat("STMs")
        self.notifications_until("newsong" if self.era == 6 else " 0")
        self.assertIn("playlist_cur_index%3A0", self.cli.ask(f"{mac} status - 1"))

    def test_pause_unpause_skip_and_stop_send_their_strm_commands(self):
        mac = support.MAC
        self.cli.ask(f"{mac} playlistcontrol cmd:load album_id:{album_id(self.cli)}")
        strm, _ = self.player.wait_for("strm", "s")
        self.player.send_stat("STMc")
        self.player.send_stat("STMs")
        self.notifications_until("newsong" if self.era == 6 else " 0")  # the start is taken before the pause
        self.cli.ask(f"{mac} pause 1")
        self.player.wait_for("strm", "p")
        self.cli.ask(f"{mac} pause 0")
        self.player.wait_for("strm", "u")
        self.cli.ask(f"{mac} playlist index +1")
        self.player.wait_for("strm", "q")
        strm, _ = self.player.wait_for("strm", "s")
        self.assertEqual(self.cli.ask(f"{mac} playlist index ?").split(" ")[-1], "1")
        self.cli.ask(f"{mac} mode stop")
        self.player.wait_for("strm", "q")
        self.assertTrue(self.cli.ask(f"{mac} mode ?").endswith("mode stop"))

    def test_seek_restarts_the_stream_and_offsets_elapsed_time(self):
        mac = support.MAC
        album = album_id(self.cli)
        wav = [t for t in support.manifest()["tracks"] if t["format"] == "wav"][0]
        self.cli.ask("albums 0 100")
        reply = self.cli.ask(f"titles 0 100 search:{wav['title'].split()[0]}")
        track_id = reply.split("id%3A")[1].split(" ")[0]
        self.cli.ask(f"{mac} playlistcontrol cmd:load track_id:{track_id}")
        strm, _ = self.player.wait_for("strm", "s")
        self.assertEqual(strm[2:7], b"p1321")      # raw PCM, 16 bit, 44.1 kHz, stereo, LE
        _, whole = self.player.fetch_stream(strm, self.sim.ports["web"])
        self.assertEqual(len(whole) % 4, 0)
        self.player.send_stat("STMc")
        self.player.send_stat("STMs")
        self.notifications_until("newsong" if self.era == 6 else " 0")  # started before the seek
        self.cli.ask(f"{mac} time 1")
        strm, _ = self.player.wait_for("strm", "s")
        _, rest = self.player.fetch_stream(strm, self.sim.ports["web"])
        self.assertEqual(len(whole) - len(rest), 44100 * 4)
        self.player.send_stat("STMc")
        self.player.send_stat("STMs")
        self.player.send_stat("STMt", elapsed=0)
        self.notifications_until("newsong" if self.era == 6 else " 0")
        self.assertTrue(self.cli.ask(f"{mac} time ?").endswith("time 1"), album)


class SoftSqueezeOn65(AlbumPlayback, unittest.TestCase):
    pass


class NewerPlayerOn7(AlbumPlayback, unittest.TestCase):
    """A squeezeplay-class player with the long HELO and 53-byte STATs."""
    era = 7
    device = 12
    helo_form = 36
    stat_form = 53


class Squeezebox2On65WithLongForms(AlbumPlayback, unittest.TestCase):
    era = 6
    device = 4
    helo_form = 20
    stat_form = 53


class HeloForms(unittest.TestCase):
    def setUp(self):
        self.sims = []

    def tearDown(self):
        for sim in self.sims:
            sim.stop()

    def start(self, era):
        sim = support.SimProcess("--era", str(era))
        self.sims.append(sim)
        return sim

    def test_every_helo_length_is_accepted(self):
        sim = self.start(6)
        for number, form in enumerate((10, 18, 20, 36)):
            mac = "00:04:20:00:00:%02x" % number
            player = support.ScriptedPlayer(sim.ports["proto"], 3, mac=mac, helo_form=form)
            _, seen = player.wait_for("audg")
            self.assertIn("vers", [op for op, _ in seen])
            player.close()

    def test_greeting_carries_version_display_and_volume(self):
        sim = self.start(6)
        player = support.ScriptedPlayer(sim.ports["proto"], 3, revision=9)
        _, seen = player.wait_for("audg")
        ops = [op for op, _ in seen]
        for op in ("vers", "grfe", "grfb", "aude", "audg", "strm"):
            self.assertIn(op, ops)
        self.assertIn((("vers", b"6.5.5")), seen)
        grfe = [p for op, p in seen if op == "grfe"][0]
        self.assertEqual(len(grfe), 4 + 1280)
        audg = [p for op, p in seen if op == "audg"][-1]
        self.assertEqual(struct.unpack(">IIBBII", audg), (46, 46, 1, 255, 0xE00, 0xE00))
        player.close()

    def test_strm_layouts_of_both_eras(self):
        mac = support.MAC
        newer = self.start(7)
        player = support.ScriptedPlayer(newer.ports["proto"], 3)
        _, seen = player.wait_for("audg")
        stop = [p for op, p in seen if op == "strm"][0]
        # as printed in the notes: strm q of the newer servers
        self.assertEqual(stop, bytes.fromhex(
            "71306d3f3f3f3f00000030" "00000000000000000000000000"))
        player.close()
        older = self.start(6)
        player = support.ScriptedPlayer(older.ports["proto"], 3)
        player.wait_for("audg")
        cli = support.CliClient(older.ports["cli"])
        cli.ask(f"{mac} playlistcontrol cmd:load album_id:1")
        strm, _ = player.wait_for("strm", "s")
        cli.close()
        port = older.ports["web"].to_bytes(2, "big")
        self.assertEqual(strm[:24], b"s1m????\xff\x00\x000\x00\x0a\x00" + bytes(4) + port + bytes(4))
        text = f"GET /stream.mp3?player={mac} HTTP/1.0\n\n".encode()
        self.assertEqual(strm[24:], text + (b"\n" if len(text) % 2 else b""))
        self.assertEqual(len(strm[24:]) % 2, 0)
        player.close()

    def test_unknown_device_is_refused_6_closes_7_sends_dsco(self):
        for era, first in ((6, None), (7, "dsco")):
            sim = self.start(era)
            player = support.ScriptedPlayer(sim.ports["proto"], device=99)
            seen = []
            with self.assertRaises(ConnectionError):
                while True:
                    seen.append(player.read_frame()[0])
            self.assertEqual(seen, [first] if first else [])
            player.close()

    def test_first_frame_other_than_helo_closes_the_link(self):
        sim = self.start(6)
        sock = support.socket.create_connection((support.HOST, sim.ports["proto"]), 5)
        sock.sendall(support.stat("STMt"))
        sock.settimeout(5)
        self.assertEqual(sock.recv(100), b"")
        sock.close()


if __name__ == "__main__":
    unittest.main()
