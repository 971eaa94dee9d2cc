"""The player's display, the remote's IR codes and what listeners hear."""

import struct
import urllib.parse
import unittest

from tests import support

P = support.MAC
M = "00%3A04%3A20%3A12%3A34%3A56"


def pixel(frame, x, y):
    bitmap = frame[4:]
    return bool(bitmap[x * 4 + y // 8] & (0x80 >> (y % 8)))


class RemoteAndDisplay(unittest.TestCase):
    def setUp(self):
        self.sim = support.SimProcess()
        self.player = support.ScriptedPlayer(self.sim.ports["proto"])
        _, self.greeting = self.player.wait_for("audg")
        self.cli = support.CliClient(self.sim.ports["cli"])
        self.listener = support.CliClient(self.sim.ports["cli"])
        self.listener.ask("listen 1")
        self.ticks = 1000

    def tearDown(self):
        for closable in (self.player, self.cli, self.listener):
            closable.close()
        self.sim.stop()

    def press(self, code):
        self.ticks += 1000
        self.player.send(support.ir(code, self.ticks))

    def display(self):
        words = self.cli.ask(f"{P} display ? ?").split(" ")[2:]
        return [urllib.parse.unquote(w) for w in words]

    def test_frame_is_column_major_with_the_top_pixel_in_the_high_bit(self):
        frame = [p for op, p in self.greeting if op == "grfe"][-1]
        self.assertEqual(frame[:4], b"\x00\x00c\x00")
        # "N" of "Now Playing": its first column lights rows 0-6 of line one.
        self.assertEqual(frame[4], 0xFE)
        self.assertTrue(pixel(frame, 0, 0))
        self.assertFalse(pixel(frame, 0, 7))
        self.assertFalse(any(pixel(frame, 319, y) for y in range(32)))

    def test_arrows_walk_the_menu_and_play_starts_the_selection(self):
        self.press(0x7689906F)                              # left: home menu
        payload, _ = self.player.wait_for("grfe")
        self.assertEqual(payload[2:3], b"r")
        self.assertEqual(self.display(), ["SlimServer", "Now Playing"])
        self.press(0x7689B04F)                              # down
        self.player.wait_for("grfe")
        self.assertEqual(self.display(), ["SlimServer", "Browse Artists"])
        self.press(0x7689D02F)                              # right: into the artists
        payload, _ = self.player.wait_for("grfe")
        self.assertEqual(payload[2:3], b"l")
        self.assertEqual(self.display()[0], "Artists")
        self.press(0x7689E01F)                              # up at the top: bump
        payload, _ = self.player.wait_for("grfe")
        self.assertEqual(payload[2:3], b"U")
        self.press(0x768910EF)                              # play the first artist
        strm, _ = self.player.wait_for("strm", "s")
        self.assertIn(b"GET /stream.mp3?player=" + P.encode(), strm)
        self.assertTrue(self.cli.ask(f"{P} mode ?").endswith("play"))

    def test_volume_keys_send_gain_and_notify(self):
        self.press(0x7689807F)
        payload, _ = self.player.wait_for("audg")
        # 52.5 is -23.75 dB: round(10^(-23.75/20) * 256) * 256
        self.assertEqual(struct.unpack(">I", payload[10:14])[0], 17 * 256)
        self.assertEqual(self.listener.read_line(), f"{M} mixer volume %2B2.5")
        self.assertTrue(self.cli.ask(f"{P} mixer volume ?").endswith("52.5"))

    def test_unknown_code_is_notified(self):
        self.press(0x7689FFFF)
        self.assertEqual(self.listener.read_line(), f"{M} unknownir 7689ffff 2.000")

    def test_power_codes_of_the_second_remote_switch_the_player(self):
        self.press(0xF700)
        payload, _ = self.player.wait_for("aude")
        self.assertEqual(payload, b"\x00\x00")
        self.assertTrue(self.cli.ask(f"{P} power ?").endswith("power 0"))
        self.press(0xF701)
        payload, _ = self.player.wait_for("aude")
        self.assertEqual(payload, b"\x01\x01")

    def test_repeated_code_within_the_hold_window_acts_once(self):
        self.player.send(support.ir(0x7689807F, 5000))
        self.player.send(support.ir(0x7689807F, 5100))
        self.assertEqual(self.listener.read_line(), f"{M} mixer volume %2B2.5")
        self.assertTrue(self.cli.ask(f"{P} mixer volume ?").endswith("52.5"))

    def test_listener_hears_others_but_not_itself(self):
        self.listener.ask(f"{P} playlist shuffle 1")
        self.cli.ask(f"{P} playlist repeat 2")
        self.assertEqual(self.listener.read_line(), f"{M} playlist repeat 2")
        self.listener.send("listen 0")
        self.assertEqual(self.listener.read_line(), "listen 0")
        self.cli.ask(f"{P} playlist repeat 0")
        self.assertEqual(self.listener.ask("version ?"), "version 6.5.5")

    def test_playlist_changes_reach_listeners(self):
        self.cli.ask(f"{P} playlistcontrol cmd:add album_id:1")
        lines = [self.listener.read_line() for _ in range(2)]
        self.assertIn(f"{M} playlist addtracks listRef ARRAY(0x8a3c2d0)", lines)
        self.assertIn(f"{M} playlistcontrol cmd%3Aadd album_id%3A1 count%3A3", lines)
        self.cli.ask(f"{P} playlist delete 1")
        self.assertEqual(self.listener.read_line(), f"{M} playlist delete 1")


class StatusPage(unittest.TestCase):
    def test_current_song_follows_the_currentsong_marker(self):
        sim = support.SimProcess()
        player = support.ScriptedPlayer(sim.ports["proto"])
        player.wait_for("audg")
        cli = support.CliClient(sim.ports["cli"])
        try:
            cli.ask(f"{P} playlistcontrol cmd:load album_id:1")
            cli.ask(f"{P} playlist index 1")
            _, _, body = sim.http(f"/en/status.html?player={P}")
            page = body.decode("utf-8")
            marker = page.index('#currentsong">') + len('#currentsong">')
            self.assertEqual(page[marker:page.index("<", marker)], "Coffee &amp; Rain")
            self.assertIn('<a name="currentsong"></a>', page)
            sim.http(f"/en/status.html?p0=pause&player={P}")
            self.assertTrue(cli.ask(f"{P} mode ?").endswith("pause"))
        finally:
            cli.close()
            player.close()
            sim.stop()


if __name__ == "__main__":
    unittest.main()
