"""End-to-end: the playlist dialogs against the server simulator, driven by
remote keys over ECP: a playlist saved under a name typed on the on-screen
keyboard and listed back, the options dialog's repeat, shuffle and skin."""

import os
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "slimserver-sim"))
from appharness import SCREENS, AppRun, cli_lines, parse_items  # noqa: E402
from appharness import wait_until  # noqa: E402
from imagefiles import read_png  # noqa: E402
from tests.support import SimProcess  # noqa: E402

# The keyboard's rows; "Shift" and "Done" follow "z" on the fourth.
ROWS = ["0123456789", "abcdefghij", "klmnopqrst", "uvwxyz", "-_.,:%&'!?"]
SHIFT = (3, 6)
DONE = (3, 7)


class Keyboard:
    """Types on the on-screen keyboard with the arrow keys, as a user would:
    to the left edge, up or down along it, then right to the key."""

    def __init__(self, press):
        self.press = press
        self.at = (0, 0)  # "0" has the focus
        self.shifted = False

    def go(self, target):
        row, col = self.at
        for _ in range(col):
            self.press("Left")
        step = "Down" if target[0] > row else "Up"
        for _ in range(abs(target[0] - row)):
            self.press(step)
        for _ in range(target[1]):
            self.press("Right")
        self.at = target

    def tap(self, target):
        self.go(target)
        self.press("Select")

    def type(self, text):
        for c in text:
            if c == " ":
                self.press("Next")
                continue
            if c.isalpha() and c.isupper() != self.shifted:
                self.tap(SHIFT)
                self.shifted = not self.shifted
            row = next(i for i, keys in enumerate(ROWS) if c.lower() in keys)
            self.tap((row, ROWS[row].index(c.lower())))

    def done(self):
        self.tap(DONE)


class DialogsTest(unittest.TestCase):
    def setUp(self):
        self.sim = SimProcess()
        self.run_ = AppRun()
        os.makedirs(SCREENS, exist_ok=True)

    def tearDown(self):
        self.run_.close()
        self.sim.stop()

    def lines(self):
        return cli_lines(self.sim)

    def press(self, key):
        self.assertEqual("OK", self.run_.ecp("keypress " + key))

    def start_app(self):
        return self.run_.start_against(self.sim)

    def playlists(self):
        return parse_items(self.sim.control("cli playlists 0 100")["reply"], "id")

    def screenshot(self, name):
        path = os.path.join(SCREENS, name + ".png")
        self.assertEqual("OK", self.run_.ecp("screenshot " + path))
        return path

    def test_a_playlist_saved_under_a_typed_name_lists_back_exactly_and_plays(self):
        mac = self.start_app()
        self.sim.control("cli %s playlistcontrol cmd:load playlist_id:14" % mac)
        name = "Road Trip: 100% Fun, vol. 2!"
        before = {p["id"] for p in self.playlists()}

        self.press("Options")
        self.press("Down")    # shuffle
        self.press("Down")    # "Save Playlist"
        self.press("Select")  # the keyboard
        keyboard = Keyboard(self.press)
        keyboard.type(name)
        self.screenshot("e2e-keyboard")
        keyboard.done()
        self.screenshot("e2e-after-done")

        saved = wait_until(lambda: [p for p in self.playlists() if p["id"] not in before])
        self.assertEqual([name], [p["playlist"] for p in saved], self.lines())
        self.assertFalse([l for l in self.lines() if " playlist repeat" in l or " playlist shuffle" in l],
                         "saving sends nothing else")

        # The saved playlists window lists it; play it from there.
        names = [p["playlist"] for p in self.playlists()]
        self.press("Menu")
        self.press("Down")    # "Playlists"
        self.press("Select")
        for _ in range(names.index(name)):
            self.press("Down")
        self.screenshot("e2e-playlists")
        self.press("Right")   # the play button
        self.press("Select")
        load = "%s playlistcontrol cmd:load playlist_id:%s" % (mac, saved[0]["id"])
        self.assertTrue(wait_until(lambda: load in self.lines()), self.lines()[-10:])

    def test_options_send_repeat_always_shuffle_when_changed_and_switch_the_skin(self):
        mac = self.start_app()
        repeat_lines = lambda: [l for l in self.lines() if l.startswith(mac + " playlist repeat ")]
        shuffle_lines = lambda: [l for l in self.lines() if l.startswith(mac + " playlist shuffle ")]

        self.press("Options")
        self.screenshot("e2e-options")
        self.press("Right")   # repeat: None -> Current Song
        self.press("Select")
        self.assertTrue(wait_until(lambda: mac + " playlist repeat 1" in repeat_lines()), self.lines()[-10:])
        self.assertEqual([], shuffle_lines(), "shuffle unchanged: not sent")

        self.press("Options")
        self.press("Down")    # shuffle
        self.press("Right")   # None -> Song
        self.press("Up")
        self.press("Select")
        self.assertTrue(wait_until(lambda: mac + " playlist shuffle 1" in shuffle_lines()), self.lines()[-10:])
        self.assertEqual(2, len(repeat_lines()), "repeat is sent every time")

        # The skin: Night repaints the Now Playing screen at once.
        before = read_png(self.screenshot("e2e-skin-default"))
        self.press("Options")
        for _ in range(4):
            self.press("Down")  # shuffle, save, clear, skin
        self.press("Right")     # Default -> Night
        self.press("Select")
        after = wait_until(lambda: self._changed(before), timeout=10)
        self.assertTrue(after, "the screen did not change with the skin")
        config = self.run_.env["XDG_CONFIG_HOME"]
        stored = wait_until(lambda: any("Night" in self._read(os.path.join(d, f))
                                        for d, _, files in os.walk(config) for f in files))
        self.assertTrue(stored, "the chosen skin is stored")

    @staticmethod
    def _read(path):
        with open(path, errors="replace") as f:
            return f.read()

    def _changed(self, before):
        # A pixel of the Now Playing background alone, left of every panel.
        after = read_png(self.screenshot("e2e-skin-night"))
        return after if after.rows[300][9:12] != before.rows[300][9:12] else None


if __name__ == "__main__":
    unittest.main()
