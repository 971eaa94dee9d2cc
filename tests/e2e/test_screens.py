"""End-to-end: the screens against the server simulator, driven by ECP
keypress and checked with ECP screenshots and the simulator's CLI. Now
Playing with its upcoming songs and moving progress bar, a song changed by
another client, a stream's cover and title, the main menu, the exit
question while playing, the screen saver (at once, after the idle ticks,
with transport keys), hiding with the mini panel and restoring. Every
screenshot is also kept in build/screens/ for review."""

import os
import sys
import time
import unittest
from urllib.parse import quote

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "slimserver-sim"))
from appharness import AppRun, free_port, red_message, wait_until  # noqa: E402
from tests.support import SimProcess  # noqa: E402

# Where the Now Playing layout puts things on a 1024 x 576 screen.
SONG_TITLE = (546, 96, 436, 35)
PROGRESS_BAR = (546, 196, 436, 33)
UPCOMING_LIST = (535, 318, 445, 218)
STATUS_LINE = (530, 537, 464, 20)
COVER = (62, 114, 400, 400)
ROW_HEIGHT = 24
# Between the cover's and the song panel's backdrops: only the background,
# which every centred dialog covers.
CENTRE = (506, 270, 12, 36)
MINI_PANEL = (1024 - 420, 576 - 150, 400, 130)


def bright(image, rect, level=160):
    x0, y0, w, h = rect
    count = 0
    for y in range(y0, y0 + h):
        row = image.rows[y]
        for x in range(x0, x0 + w):
            if row[3 * x] + row[3 * x + 1] + row[3 * x + 2] > 3 * level:
                count += 1
    return count


def black_share(image):
    black = 0
    for row in image.rows[::4]:
        black += sum(1 for x in range(0, image.width, 4) if row[3 * x] | row[3 * x + 1] | row[3 * x + 2] == 0)
    return black / float(len(image.rows[::4]) * len(range(0, image.width, 4)))


def patch(image, rect):
    return image.crop(*rect).rows


def filled_columns(image):
    """Columns of the progress bar's middle row that its fill reaches (the
    fill runs from the text colour down to grey; the bar's inside is dark)."""
    x0, y0, w, h = PROGRESS_BAR
    row = image.rows[y0 + h // 2]
    return sum(1 for x in range(x0 + 4, x0 + w - 4)
               if row[3 * x] == row[3 * x + 1] == row[3 * x + 2] and row[3 * x] >= 0x64)


class ScreensTest(unittest.TestCase):
    def setUp(self):
        self.sim = SimProcess()
        self.addCleanup(self.sim.stop)
        self.run_ = AppRun()
        self.addCleanup(self.run_.close)

    def start_app(self, *extra):
        self.mac = self.run_.start_against(self.sim, *extra)
        self.proc = self.run_.proc

    def cli(self, line):
        return self.sim.control("cli %s %s" % (self.mac, line)).get("reply", "")

    def shot(self, name=None):
        return self.run_.screenshot(name)

    def key(self, name):
        self.assertEqual("OK", self.run_.ecp("keypress " + name))

    def stat_count(self):
        return sum(1 for f in self.sim.control("frames").get("frames", {}).get(self.mac, []) if f["op"] == "STAT")

    def play_library(self):
        self.cli("playlist repeat 2")
        self.cli("playlistcontrol cmd:load playlist_id:14")
        self.assertTrue(wait_until(lambda: self.cli("mode ?").endswith("mode play")))
        self.assertTrue(wait_until(lambda: self.run_.ecp("Quendrel currenttitle") not in ("", None)))

    def play_stream(self, title="Test Station"):
        url = "http://127.0.0.1:%d/radio/x?hz=500" % self.sim.ports["web"]
        self.cli("playlist play %s %s" % (quote(url, safe=""), quote(title, safe="")))
        self.assertTrue(wait_until(lambda: self.cli("mode ?").endswith("mode play")))
        # The player has the stream and is playing it: status packets flow.
        before = self.stat_count()
        self.assertTrue(wait_until(lambda: self.stat_count() > before + 2))

    # --- Now Playing -------------------------------------------------------

    def test_now_playing_shows_the_song_up_to_nine_coming_songs_and_a_moving_bar(self):
        self.start_app()
        self.play_library()
        tracks = int(self.cli("playlist tracks ?").split()[-1])
        # The bar moves while one song plays: two looks about a second apart
        # that show the same title (the songs are only 2 to 4 s long).
        moved = False
        for _ in range(40):
            first = self.shot()
            time.sleep(0.8)
            second = self.shot()
            if patch(first, SONG_TITLE) == patch(second, SONG_TITLE) and \
                    filled_columns(second) > filled_columns(first):
                moved = True
                break
        self.assertTrue(moved, "the progress bar never moved within a song")
        # The rows against the playlist position, taken while the song stays.
        for _ in range(10):
            index = int(self.cli("playlist index ?").split()[-1])
            time.sleep(0.3)
            image = self.shot("nowplaying")
            if int(self.cli("playlist index ?").split()[-1]) == index:
                break
        self.assertGreater(bright(image, SONG_TITLE), 0)
        rows = sum(1 for i in range(9)
                   if bright(image, (UPCOMING_LIST[0], UPCOMING_LIST[1] + i * ROW_HEIGHT, UPCOMING_LIST[2],
                                     ROW_HEIGHT)) > 0)
        self.assertEqual(min(9, tracks - index - 1), rows)
        self.assertGreater(bright(image, STATUS_LINE), 0)
        # A cover is shown: the cover area is not one flat colour.
        cover = image.crop(*COVER)
        colours = {cover.pixel(x, y) for y in range(0, COVER[3], 20) for x in range(0, COVER[2], 20)}
        self.assertGreater(len(colours), 1)

    def test_a_song_changed_by_another_client_reaches_the_screen(self):
        self.start_app()
        self.cli("playlist repeat 2")
        self.cli("playlistcontrol cmd:load playlist_id:14")
        self.assertTrue(wait_until(lambda: self.cli("mode ?").endswith("mode play")))
        self.cli("pause 1")
        wait_until(lambda: self.cli("mode ?").endswith("mode pause"))
        time.sleep(1.5)
        before = patch(self.shot(), SONG_TITLE)
        self.cli("playlist index +1")
        self.assertTrue(wait_until(lambda: patch(self.shot(), SONG_TITLE) != before, 5),
                        "the new song never reached the screen")

    def test_a_stream_shows_the_radio_cover_and_its_new_title(self):
        self.start_app()
        self.play_stream("Test Station")
        first = wait_until(lambda: (lambda i: i if bright(i, SONG_TITLE) else None)(self.shot()), 10)
        self.assertIsNotNone(first)
        before = patch(first, SONG_TITLE)
        self.sim.control("stream-title %s A Much Longer Stream Title Now" % self.mac)
        # No notification for a stream title: the panel reads it again every 10 s.
        self.assertTrue(wait_until(lambda: patch(self.shot(), SONG_TITLE) != before, 25),
                        "the stream's new title never reached the screen")
        self.shot("nowplaying-stream")

    def test_the_start_up_message_hides_the_status_and_server_lines(self):
        self.run_.start("127.0.0.1", "-SlimProtoPort=%d" % free_port(), "-SlimCLIPort=%d" % free_port())
        self.run_.wait_ecp("Quendrel ping", "pong")
        image = self.shot("nowplaying-unable-to-connect")
        self.assertEqual((image.width, image.height), (1024, 576))
        self.assertEqual(0, bright(image, STATUS_LINE))
        self.assertEqual(0, bright(image, (20, 555, 484, 20), 120))
        self.assertTrue(red_message(image))
        self.assertEqual(image.pixel(512, 576 // 2 - 20), (0, 0, 0))  # the black box, above the text

    # --- Keys ----------------------------------------------------------------

    def test_menu_and_options_open_and_close_and_exit_while_stopped_ends_the_program(self):
        self.start_app()
        before = patch(self.shot(), CENTRE)
        self.key("Menu")
        self.assertNotEqual(before, patch(self.shot("menu"), CENTRE))
        self.key("Down")
        self.key("Exit")
        self.assertEqual(before, patch(self.shot(), CENTRE))
        self.assertIsNone(self.proc.poll())
        self.key("Options")
        self.assertNotEqual(before, patch(self.shot(), CENTRE))
        self.key("Exit")
        self.assertEqual(before, patch(self.shot(), CENTRE))
        self.key("Exit")
        self.assertEqual(0, self.proc.wait(timeout=20))

    def assert_still_playing(self):
        stats = self.stat_count()
        self.assertTrue(wait_until(lambda: self.stat_count() > stats + 2))
        self.assertTrue(self.cli("mode ?").endswith("mode play"))

    def test_exit_while_playing_asks_hide_shows_the_mini_panel_and_playback_goes_on(self):
        self.start_app()
        self.play_stream()
        before = patch(self.shot(), CENTRE)
        # The question's own Exit key lets playback go on.
        self.key("Exit")
        time.sleep(0.5)
        self.assertIsNone(self.proc.poll(), "the program ended while music played")
        self.assertNotEqual(before, patch(self.shot("exit-question"), CENTRE))
        self.key("Exit")
        self.assertEqual(before, patch(self.shot(), CENTRE))
        self.assert_still_playing()
        # Its Hide button shows the mini panel.
        self.key("Exit")
        self.key("Right")
        self.key("Select")
        self.assertEqual("Quendrel already hidden", self.run_.ecp("Quendrel hide"))
        self.assertGreater(bright(self.shot("mini-panel"), MINI_PANEL), 0)
        self.assert_still_playing()
        self.assertEqual("Quendrel restored", self.run_.ecp("Quendrel unhide"))
        self.assertEqual("Quendrel is not hidden", self.run_.ecp("Quendrel unhide"))
        # Hidden by ECP, two Menu presses 1.2 s apart do nothing; 0.3 s apart they restore.
        self.assertEqual("Quendrel hidden", self.run_.ecp("Quendrel hide"))
        self.assertGreater(bright(self.shot(), MINI_PANEL), 0)
        self.key("Menu")
        time.sleep(1.2)
        self.key("Menu")
        self.assertEqual("Quendrel already hidden", self.run_.ecp("Quendrel hide"))
        time.sleep(0.3)
        self.key("Menu")
        self.assertEqual("Quendrel is not hidden", self.run_.ecp("Quendrel unhide"))
        self.assertGreater(bright(self.shot(), STATUS_LINE), 0)
        self.assert_still_playing()
        # Asked again, "exit" ends it.
        self.key("Exit")
        self.key("Select")
        self.assertEqual(0, self.proc.wait(timeout=20))

    def test_no_info_on_hide_leaves_no_mini_panel(self):
        self.start_app("-NoInfoOnHide")
        self.play_stream()
        self.assertEqual("Quendrel hidden", self.run_.ecp("Quendrel hide"))
        self.assertEqual(0, bright(self.shot(), MINI_PANEL))
        self.assertEqual("Quendrel restored", self.run_.ecp("Quendrel unhide"))

    def test_select_starts_the_screen_saver_and_transport_keys_act_under_it_with_sstransport(self):
        self.start_app("-SSTransport")
        self.play_library()
        self.key("Select")
        self.assertGreater(black_share(self.shot("screensaver")), 0.6)
        frames = len(self.sim.control("frames").get("frames", {}).get(self.mac, []))
        self.key("Next")
        wanted = "7689a05f"
        self.assertTrue(wait_until(lambda: any(f["op"] == "IR  " and wanted in f["payload"].lower()
                                               for f in self.sim.control("frames")["frames"][self.mac][frames:]), 10))
        self.assertGreater(black_share(self.shot()), 0.6)
        self.key("Up")
        self.assertLess(black_share(self.shot()), 0.3)

    def test_the_screensaver_option_starts_it_after_the_sixth_idle_tick(self):
        self.start_app("-Screensaver=1")
        started = time.monotonic()
        # Five ticks (50 s) are not enough; by the seventh it is up.
        while time.monotonic() - started < 40:
            self.assertLess(black_share(self.shot()), 0.3, "up after %.0f s" % (time.monotonic() - started))
            time.sleep(5)
        self.assertTrue(wait_until(lambda: black_share(self.shot()) > 0.6, 45), "not up after 85 s")


if __name__ == "__main__":
    unittest.main()
