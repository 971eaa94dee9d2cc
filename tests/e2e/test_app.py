# End-to-end: one app started before the server, walked through its
# screens. Without a server it shows the start-up message (no status or
# server lines) and a second start brings it to the front; the server comes
# ten seconds later: the message goes, the start-up choices go out once and
# in order, the display shows. Then Now Playing (the song, the coming songs,
# the cover, a song changed by another client, the moving bar, the song
# queries), a stream's title rule, the menu, the exit question, hiding and
# restoring, the screen saver with transport keys; the server lost (its
# picture goes, a message says so; a server coming back is the fault walk's),
# "Quendrel ping" having answered all along; and Exit while stopped. Named
# screenshots are kept in build/screens/.

import time
import unittest
from urllib.parse import quote

from harness import (STRIP, App, Repeater, Sim, black_share, bright, count, expect, free_port, parse_items,
                     port_args, red_message)

# Where the Now Playing layout puts things on a 1024 x 576 screen.
SONG_TITLE = (546, 96, 436, 35)
PROGRESS_BAR = (546, 196, 436, 33)
UPCOMING_LIST = (535, 318, 445, 9 * 24)
STATUS_LINE = (530, 537, 464, 20)
SERVER_LINE = (20, 555, 484, 20)
COVER = (62, 114, 400, 400)
CENTRE = (506, 270, 12, 36)   # background only, which every centred dialog covers
MINI_PANEL = (1024 - 420, 576 - 150, 400, 130)


def changed(a, b):
    return sum(x != y for x, y in zip(b"".join(a), b"".join(b)))


def filled_columns(image):
    # Columns of the progress bar's middle row its fill reaches (text colour
    # down to grey; the bar's inside is dark).
    x0, y0, w, h = PROGRESS_BAR
    return count(image, (x0 + 4, y0 + h // 2, w - 8, 1), lambda p: p[0] == p[1] == p[2] >= 0x64)


class AppWalk(unittest.TestCase):
    def setUp(self):
        self.ports = {name: free_port() for name in ("proto", "cli", "web")}
        self.app = App()
        self.sim = None
        self.addCleanup(lambda: self.sim and self.sim.stop())
        self.addCleanup(self.app.close)

    def cli(self, line):
        return self.sim.cli("%s %s" % (self.mac, line))

    def shows(self, predicate, message, timeout=20, name=None):
        # The first screenshot for which predicate holds; fails with `message` when none comes.
        return expect(lambda: (lambda s: s and predicate(s) and s)(self.app.screenshot(name)), message, timeout)

    def assert_playing(self):
        stats = len(self.sim.stats(self.mac))
        expect(lambda: len(self.sim.stats(self.mac)) > stats + 2, "no status reports")
        self.assertTrue(self.cli("mode ?").endswith("mode play"))

    def test_started_before_the_server_then_its_screens(self):
        self.before_the_server()
        self.now_playing()
        self.a_stream()
        self.keys_hiding_and_the_way_out()

    def before_the_server(self):
        app = self.app
        started = time.monotonic()
        first = app.start("127.0.0.1", *port_args(self.ports), "-RepeatMode=2", "-ShuffleMode=1", "-PlaylistId=14",
                          "-SSTransport")
        app.wait_ecp("Quendrel ping", "pong")
        self.pinger = Repeater(lambda: app.ecp("Quendrel ping"))
        image = self.shows(red_message, "no start-up message without a server", name="unable-to-connect")
        self.assertEqual((0, 0), (count(image, STATUS_LINE, bright()), count(image, SERVER_LINE, bright(120))))
        self.assertEqual(image.pixel(512, 576 // 2 - 20), (0, 0, 0))  # the black box, above the text
        self.dark_strip = image.crop(*STRIP)

        self.assertEqual(app.ecp("Quendrel hide"), "Quendrel hidden")
        second = app.start("127.0.0.1", "-SlimProtoPort=%d" % self.ports["proto"])
        self.assertEqual(second.wait(timeout=30), 0)
        self.assertIn("Quendrel already running. Restoring...", app.output(second))
        self.assertEqual(app.ecp("Quendrel unhide"), "Quendrel is not hidden")
        app.proc = first
        self.assertIsNone(first.poll())

        time.sleep(max(0.0, 10.0 - (time.monotonic() - started)))  # the server comes ten seconds later
        self.sim = Sim(ports=self.ports)
        self.shows(lambda s: not red_message(s), "the start-up message stayed", 30)
        mac = self.mac = self.sim.power_on()
        load = mac + " playlistcontrol cmd:load playlist_id:14"
        expect(lambda: load in self.sim.lines(), lambda: "no playlist load among %r" % self.sim.lines())
        lines = self.sim.lines()
        choices = [mac + " playlist repeat 2", mac + " playlist shuffle 1", load]
        self.assertEqual([lines.count(c) for c in choices + [mac + " power 1"]], [1, 1, 1, 1], lines)
        self.assertEqual([lines.index(c) for c in choices], sorted(lines.index(c) for c in choices))

    def a_lost_server(self):
        live = self.shows(lambda s: changed(self.dark_strip, s.crop(*STRIP)) > 300, "the player display never appeared")
        self.sim.stop()
        lost = self.shows(red_message, "no message for the lost server", 30)
        self.assertGreater(changed(live.crop(*STRIP), lost.crop(*STRIP)), 300, "the server's last frame stayed up")
        replies = [reply for _, reply in self.pinger.stop()]
        self.assertGreater(len(replies), 20)
        self.assertEqual(set(replies), {"pong"}, "ping went unanswered %d times" % replies.count(None))

    def now_playing(self):
        self.cli("playlist repeat 2")
        self.cli("playlistcontrol cmd:load playlist_id:14")
        # Paused, so the song stays; asked again until the player has started
        # (a pause before the stream's start does not hold).
        expect(lambda: self.cli("pause 1") is not None and self.cli("mode ?").endswith("mode pause"), "never paused")
        song = parse_items(self.cli("songinfo 0 100 track_id:%s tags:tayl" % self.sim.player()["current"]), "id")[0]
        for tag in ("title", "artist", "album", "year"):
            self.app.wait_ecp("Quendrel current" + tag, song[tag])
        self.assertRegex(self.app.ecp("Quendrel playbackposition"), r"^\d+$")

        index, tracks = self.sim.player()["index"], self.sim.player()["tracks"]
        image = self.shows(lambda s: count(s, SONG_TITLE, bright()), "no song title", name="nowplaying")
        rows = sum(1 for i in range(9) if count(image, (UPCOMING_LIST[0], UPCOMING_LIST[1] + i * 24, UPCOMING_LIST[2],
                                                        24), bright()))
        self.assertEqual(min(9, tracks - index - 1), rows)
        self.assertGreater(count(image, STATUS_LINE, bright()), 0)
        self.assertGreater(len({image.pixel(x, y) for y in range(COVER[1], COVER[1] + 400, 20)
                                for x in range(COVER[0], COVER[0] + 400, 20)}), 1, "no cover shown")

        before = image.crop(*SONG_TITLE)
        self.cli("playlist index +1")  # another client changes the song
        self.shows(lambda s: s.crop(*SONG_TITLE) != before, "the new song never reached the screen", 5)

        # The bar moves while one song plays: two looks about a second apart
        # with the same title (the songs last 2 to 4 s).
        self.cli("pause 0")
        for _ in range(40):
            first = self.app.screenshot()
            time.sleep(0.8)
            second = self.app.screenshot()
            if first.crop(*SONG_TITLE) == second.crop(*SONG_TITLE) and filled_columns(second) > filled_columns(first):
                break
        else:
            self.fail("the progress bar never moved within a song")

    def a_stream(self):
        url = "http://127.0.0.1:%d/radio/e2e.mp3?hz=700" % self.ports["web"]
        self.cli("playlist play " + quote(url, safe=""))
        self.assert_playing()
        self.assertTrue(self.sim.control("stream-title %s (Radio) Artist A - Song B" % self.mac).get("ok"))
        self.app.wait_ecp("Quendrel currenttitle", "Song B")
        self.assertEqual(url, self.app.ecp("Quendrel currentalbum"))  # what the item was called before
        before = self.shows(lambda s: count(s, SONG_TITLE, bright()), "no stream title").crop(*SONG_TITLE)
        self.assertTrue(self.sim.control("stream-title %s Song only" % self.mac).get("ok"))
        self.app.wait_ecp("Quendrel currenttitle", "Song only")
        # No notification for a stream's title: the panel reads it again every 10 s.
        self.shows(lambda s: s.crop(*SONG_TITLE) != before, "the stream's new title never reached the screen", 25,
                   "nowplaying-stream")

    def keys_hiding_and_the_way_out(self):
        app, centre = self.app, lambda name=None: app.screenshot(name).crop(*CENTRE)
        before = centre()
        # Exit while playing asks; the question's own Exit key lets playback go on.
        app.key("Exit")
        self.assertNotEqual(before, centre("exit-question"))
        app.key("Exit")
        self.assertEqual(before, centre())
        self.assert_playing()
        # Its Hide button hides, with the mini panel.
        app.key("Exit", "Right", "Select")
        self.assertEqual("Quendrel already hidden", app.ecp("Quendrel hide"))
        self.assertGreater(count(app.screenshot("mini-panel"), MINI_PANEL, bright()), 0)
        self.assert_playing()
        self.assertEqual("Quendrel restored", app.ecp("Quendrel unhide"))
        self.assertEqual("Quendrel is not hidden", app.ecp("Quendrel unhide"))
        # Hidden, two Menu presses 1.2 s apart do nothing; 0.3 s apart they restore.
        self.assertEqual("Quendrel hidden", app.ecp("Quendrel hide"))
        app.key("Menu")
        time.sleep(1.2)
        app.key("Menu")
        self.assertEqual("Quendrel already hidden", app.ecp("Quendrel hide"))
        time.sleep(0.3)
        app.key("Menu")
        self.assertEqual("Quendrel is not hidden", app.ecp("Quendrel unhide"))
        self.assertGreater(count(app.screenshot(), STATUS_LINE, bright()), 0)

        # Select starts the screen saver; with -SSTransport, Next acts under it.
        app.key("Select")
        self.assertGreater(black_share(app.screenshot("screensaver")), 0.6)
        nexts = self.sim.irs(self.mac).count(0x7689A05F)
        app.key("Next")
        expect(lambda: self.sim.irs(self.mac).count(0x7689A05F) > nexts, "Next did not act")
        self.assertGreater(black_share(app.screenshot()), 0.6)
        app.key("Up")
        self.assertLess(black_share(app.screenshot()), 0.3)

        self.assertEqual("OK", app.ecp("Quendrel stop"))
        expect(lambda: self.cli("mode ?").endswith("mode stop"), "never stopped")
        self.a_lost_server()
        app.key("Exit")
        self.assertEqual(0, app.proc.wait(timeout=20))
