"""End-to-end: the library browser in the application against the server
simulator with a large generated library (20,000 extra artists): opened
from the main menu, pages and letter jumps asked of the server, a pause
narrowing the levels below, Play loading the selection, the playlist list
following through the listener, Exit back to Now Playing."""

import os
import re
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "slimserver-sim"))
from appharness import AppRun, cli_lines, wait_until  # noqa: E402
from tests.support import SimProcess  # noqa: E402

LARGE = 20000
PAGE = 6  # artist rows a page below "All" at the normal font size


class LibraryTest(unittest.TestCase):
    def setUp(self):
        self.sim = SimProcess(large=LARGE)
        self.run_ = AppRun()

    def tearDown(self):
        self.run_.close()
        self.sim.stop()

    def lines(self):
        return cli_lines(self.sim)

    def cli(self, line):
        return self.sim.control("cli " + line)["reply"]

    def wait_line(self, predicate, what):
        found = wait_until(lambda: [l for l in self.lines() if predicate(l)], timeout=30)
        self.assertTrue(found, "no %s among %r" % (what, [l for l in self.lines() if " status " not in l][-20:]))
        return found

    def after_reload(self):
        # The please-wait window the reload put up takes the keys until the
        # application has closed it, a moment after the reload's last request.
        time.sleep(1.0)

    def key(self, name):
        self.assertEqual("OK", self.run_.ecp("keypress " + name))

    def test_menu_opens_the_library_and_its_keys_reach_the_server(self):
        mac = self.run_.start_against(self.sim)
        self.assertTrue(wait_until(lambda: "listen 1" in self.lines()))
        artists = int(re.search(r"count%3A(\d+)", self.cli("artists 0 1")).group(1))
        self.assertGreater(artists, LARGE)

        # Menu, then Select on its first button: the library loads every level.
        self.sim.control("reset")
        self.key("Menu")
        self.key("Select")
        for line in ("genres 0 6", "artists 0 6", "albums 0 6", "info total songs ?"):
            self.wait_line(lambda l, line=line: l == line, line)
        # The playlist is empty: its size is asked, no page.
        self.wait_line(lambda l: l.startswith(mac + " status - 1"), "playlist size")
        self.after_reload()
        self.run_.screenshot("library")

        # Right to the artists; Zoom In on page 1 shows the last page.
        self.key("Right")
        self.sim.control("reset")
        self.key("Zoom In")
        last = (artists - 1) // PAGE * PAGE
        self.wait_line(lambda l: l == "artists %d %d" % (last, PAGE), "the last artist page")
        # Back to page 1, then a letter jump forward asks from page 2 on.
        self.key("Zoom Out")
        self.wait_line(lambda l: l == "artists 0 6", "page 1 again")
        self.sim.control("reset")
        self.key("Next")
        self.wait_line(lambda l: l == "artists 6 6", "the jump's first search page")

        # Closed and opened again, the library starts over from page 1; on
        # the first artist, after the pause, the albums and tracks narrow.
        self.key("Exit")
        self.sim.control("reset")
        self.key("Menu")
        self.key("Select")
        first = re.search(r"id%3A(\d+) artist%3A", self.cli("artists 0 1")).group(1)
        self.wait_line(lambda l: l == "info total songs ?", "the reload")
        self.after_reload()
        self.key("Right")
        self.sim.control("reset")
        self.key("Down")
        self.wait_line(lambda l: l == "albums 0 6 artist_id:%s" % first, "the artist's albums")
        self.wait_line(lambda l: l.startswith("titles 0 11 artist_id:%s" % first), "the artist's tracks")
        self.after_reload()

        # Play loads the artist on the command queue; the listener's news
        # reloads the playlist list.
        self.sim.control("reset")
        self.key("Play")
        # The selection replaces the playlist: cleared, added, played from the top.
        self.wait_line(lambda l: l == mac + " playlist index 0", "the artist played")
        sent = [l for l in self.lines() if "playlist" in l and " status " not in l]
        self.assertEqual(sent[:3], [mac + " playlist clear", mac + " playlistcontrol cmd:add artist_id:" + first,
                                    mac + " playlist index 0"])
        self.wait_line(lambda l: l.startswith(mac + " status 0 "), "the playlist reloaded")
        tracks = wait_until(lambda: self.cli(mac + " playlist tracks ?").split(" ")[-1] not in ("", "0")
                            and self.cli(mac + " playlist tracks ?"))
        self.assertTrue(tracks, "the server's playlist stayed empty")
        self.run_.screenshot("library-playing")

        # Exit: back to Now Playing, the library's lists stay still.
        self.key("Exit")
        self.sim.control("reset")
        self.key("Down")
        self.key("Zoom Out")
        self.run_.wait_ecp("Quendrel ping", "pong")
        self.assertFalse([l for l in self.lines() if l.startswith(("artists", "albums", "genres"))])


if __name__ == "__main__":
    unittest.main()
