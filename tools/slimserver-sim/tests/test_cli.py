"""CLI exchanges byte for byte: the protocol notes' transcripts where they
do not depend on library data, and the same reply rules on our library."""

import struct
import unittest

from tests import support

M = "00%3A04%3A20%3A12%3A34%3A56"
P = support.MAC

# (request, reply) as the notes print them in wire form.
NOTES_TRANSCRIPTS = [
    ("version ?", "version 6.5.5"),
    ("pref ignoredarticles ?", "pref ignoredarticles The%20El%20La%20Los%20Las%20Le%20Les"),
    (f"{P} playlist index +1", f"{M} playlist index %2B1"),
    (f"{P} playlist shuffle", f"{M} playlist shuffle"),
    (f"{P} playlist shuffle 1", f"{M} playlist shuffle 1"),
    (f"{P} time +30", f"{M} time %2B30"),
    (f"{P} mode stop", f"{M} mode stop"),
    (f"{P} mode ?", f"{M} mode stop"),
    (f"{P} mixer volume ?", f"{M} mixer volume 50"),
    ("frobnicate 1", "frobnicate 1"),
    ("listen 1", "listen 1"),
    (f"{P} status 0 5", f"{M} status 0 5 player_name%3ALiving%20Room player_connected%3A1 power%3A0"),
    (f"{P} power 1", f"{M} power 1"),
]

# The same rules applied to the generated library.
LIBRARY_TRANSCRIPTS = [
    ("info total genres ?", "info total genres 4"),
    ("genres 0 10", "genres 0 10 count%3A4 id%3A4 genre%3AClassical id%3A2 "
     "genre%3A%C3%89lectronique id%3A1 genre%3AJazz id%3A3 genre%3ARock%20%26%20Roll"),
    ("artists 0 10 genre_id:1", "artists 0 10 genre_id%3A1 count%3A2 id%3A5 "
     "artist%3AAnna%20Ames id%3A1 artist%3AThe%20Quiet%20Tones"),
    ("artists 0 10 genre_id%3A1", "artists 0 10 genre_id%3A1 count%3A2 id%3A5 "
     "artist%3AAnna%20Ames id%3A1 artist%3AThe%20Quiet%20Tones"),
    ("albums 0 10 artist_id:1", "albums 0 10 artist_id%3A1 count%3A2 id%3A5 "
     "album%3AEvening%20Shade id%3A1 album%3AMorning%20Light"),
    ("albums 0 2 tags:lyj", "albums 0 2 tags%3Alyj count%3A6 id%3A2 "
     "album%3A%C3%85ngstr%C3%B6m%20Nights year%3A1999 artwork_track_id%3A4 id%3A3 "
     "album%3ADesert%20Roads year%3A2005 artwork_track_id%3A7"),
    ("albums 3 1 tags:lj", "albums 3 1 tags%3Alj count%3A6 id%3A4 album%3ALong%20Play"),
    ("titles 0 10 album_id:5 sort:tracknum tags:gldt", "titles 0 10 album_id%3A5 "
     "sort%3Atracknum tags%3Agldt count%3A2 id%3A11 title%3ADusk genre%3AJazz "
     "album%3AEvening%20Shade duration%3A2.5 tracknum%3A1 id%3A12 "
     "title%3ALamplight%20(Reprise) genre%3AJazz album%3AEvening%20Shade "
     "duration%3A3.0 tracknum%3A2"),
    ("playlists 0 10", "playlists 0 10 count%3A2 id%3A14 playlist%3AParty%20Mix "
     "id%3A15 playlist%3AQuiet%20Evening"),
    ("songinfo 0 100 track_id:2 tags:alt", "songinfo 0 100 track_id%3A2 tags%3Aalt "
     "count%3A5 id%3A2 title%3ACoffee%20%26%20Rain artist%3AThe%20Quiet%20Tones "
     "album%3AMorning%20Light tracknum%3A2"),
    ("songinfo 1 2 track_id:2 tags:alt", "songinfo 1 2 track_id%3A2 tags%3Aalt "
     "count%3A5 title%3ACoffee%20%26%20Rain artist%3AThe%20Quiet%20Tones"),
    (f"{P} playlistcontrol cmd:add album_id:2", f"{M} playlistcontrol cmd%3Aadd "
     "album_id%3A2 count%3A3"),
    (f"{P} playlist tracks ?", f"{M} playlist tracks 3"),
    (f"{P} playlist title 2 ?", f"{M} playlist title 2 Fjord%2FEcho"),
    ("player count ?", "player count 1"),
    ("exit", "exit"),
]


def durations():
    return {t["title"]: t["duration"] for t in support.manifest()["tracks"]}


class Transcripts(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.sim = support.SimProcess()
        cls.player = support.ScriptedPlayer(cls.sim.ports["proto"])
        cls.player.wait_for("audg")
        cls.player.send(b"SETD" + struct.pack(">I", 13) + b"\0Living Room\0")
        cli = support.CliClient(cls.sim.ports["cli"])
        cli.ask(f"{P} power 0")
        cli.close()

    @classmethod
    def tearDownClass(cls):
        cls.player.close()
        cls.sim.stop()

    def run_transcript(self, pairs, terminator=b"\n"):
        cli = support.CliClient(self.sim.ports["cli"], terminator)
        try:
            for request, reply in pairs:
                self.assertEqual(cli.ask(request), reply, request)
        finally:
            cli.close()

    def test_notes_transcripts_answered_as_printed(self):
        self.run_transcript(NOTES_TRANSCRIPTS)

    def test_library_replies_follow_the_same_rules(self):
        expected = [(q, r.replace("duration%3A2.5", "duration%3A" + str(durations()["Dusk"]))
                     .replace("duration%3A3.0", "duration%3A"
                              + str(durations()["Lamplight (Reprise)"])))
                    for q, r in LIBRARY_TRANSCRIPTS]
        self.run_transcript(expected)

    def test_reply_uses_the_clients_line_end(self):
        for terminator in (b"\r\n", b"\r", b"\0"):
            cli = support.CliClient(self.sim.ports["cli"], terminator)
            self.assertEqual(cli.ask("version ?"), "version 6.5.5")
            cli.close()

    def test_exit_closes_the_connection(self):
        cli = support.CliClient(self.sim.ports["cli"])
        self.assertEqual(cli.ask("exit"), "exit")
        with self.assertRaises(ConnectionError):
            cli.read_line(5)
        cli.close()

    def test_two_requests_in_one_packet_get_two_replies(self):
        cli = support.CliClient(self.sim.ports["cli"])
        cli.sock.sendall(b"version ?\ninfo total songs ?\n")
        self.assertEqual(cli.read_line(), "version 6.5.5")
        self.assertEqual(cli.read_line(), "info total songs 13")
        cli.close()


class Era7(unittest.TestCase):
    def test_newer_status_header_and_stricter_escaping(self):
        sim = support.SimProcess("--era", "7")
        player = support.ScriptedPlayer(sim.ports["proto"])
        player.wait_for("audg")
        cli = support.CliClient(sim.ports["cli"])
        try:
            cli.ask(f"{P} playlistcontrol cmd:load album_id:5")
            words = [w.split("%3A")[0] for w in cli.ask(f"{P} status - 1 tags:").split(" ")]
            header = words[words.index("player_name"):words.index("playlist%20index")]
            self.assertEqual(header, [
                "player_name", "player_connected", "player_ip", "power", "mode", "time",
                "rate", "duration", "can_seek", "mixer%20volume", "playlist%20repeat",
                "playlist%20shuffle", "playlist%20mode", "seq_no", "playlist_cur_index",
                "playlist_timestamp", "playlist_tracks"])
            self.assertIn("title%3ALamplight%20%28Reprise%29",
                          cli.ask("titles 0 10 album_id:5 sort:tracknum"))
            self.assertEqual(cli.ask("version ?"), "version 7.9.1")
        finally:
            cli.close()
            player.close()
            sim.stop()


if __name__ == "__main__":
    unittest.main()
