"""End-to-end: the folder browser and the cover-art grid against the server
simulator, driven by remote keys over ECP and checked by the web pages the
simulator served, its CLI log and ECP screenshots (kept in build/screens/).

The library is the tests' tone library plus empty folders that give the
folder tree pages (40 at the top, 25 beside The Quiet Tones' albums, a
folder of exactly one page of 20 under Anna Ames, a "Bonus Disc" inside
Evening Shade) and 1,800 metadata-only albums with covers (101 grid pages).
The simulator's grey placeholder is taken out, so an album without art
answers 404."""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
from urllib.parse import unquote

HERE = os.path.dirname(os.path.abspath(__file__))
SIM_DIR = os.path.join(HERE, "..", "..", "tools", "slimserver-sim")
sys.path.insert(0, HERE)
sys.path.insert(0, SIM_DIR)
from appharness import SCREENS, AppRun, parse_items, wait_until  # noqa: E402
from imagefiles import read_png  # noqa: E402
from tests import support  # noqa: E402
from tests.support import SimProcess  # noqa: E402

ROWS = 20          # folder rows on a page at the default font
ROW_HEIGHT = 21
LIST_TOP = 108     # the folder list's first row
FOCUS_FRAME = (64, 214, 198)

_library = None


def library():
    """The tone library with the extra folders and covered albums, made once."""
    global _library
    if _library:
        return _library
    root = os.path.join(tempfile.mkdtemp(prefix="quendrel-browsers-"), "lib")
    shutil.copytree(support.library(0), root)
    subprocess.run([sys.executable, os.path.join(SIM_DIR, "make-library"), root, "--large", "1800",
                    "--large-covers"], check=True, capture_output=True)
    music = os.path.join(root, "Music")
    for n in range(40):
        os.makedirs(os.path.join(music, "Extra %02d" % n))
    for n in range(25):
        os.makedirs(os.path.join(music, "The Quiet Tones", "Aa Extra %02d" % n))
    for n in range(ROWS):
        os.makedirs(os.path.join(music, "Anna Ames", "One Page", "Item %02d" % n))
    os.makedirs(os.path.join(music, "The Quiet Tones", "Evening Shade", "Bonus Disc"))
    path = os.path.join(root, "manifest.json")
    with open(path, encoding="utf-8") as f:
        manifest = json.load(f)
    manifest.pop("placeholder_cover", None)
    with open(path, "w", encoding="utf-8") as f:
        json.dump(manifest, f, ensure_ascii=False)
    _library = root
    return root


class BrowserTest(unittest.TestCase):
    def setUp(self):
        self.sim = SimProcess(library_dir=library())
        self.run_ = AppRun()
        os.makedirs(SCREENS, exist_ok=True)

    def tearDown(self):
        self.run_.close()
        self.sim.stop()

    def start_app(self, *options):
        return self.run_.start_against(self.sim, *options)  # as the server writes it

    def lines(self):
        return [unquote(entry["line"]) for entry in self.sim.control("cli-lines")["lines"]]

    def requests(self, part):
        return [unquote(r["request"].split(" ")[1]) for r in self.sim.control("http-requests")["requests"]
                if part in r["request"]]

    def press(self, key):
        self.assertEqual("OK", self.run_.ecp("keypress " + key))

    def press_for(self, key, part, query):
        """Presses `key` and waits for a page request for `part` carrying `query`."""
        before = len(self.requests(part))
        self.press(key)
        found = wait_until(lambda: [r for r in self.requests(part)[before:] if query in r])
        self.assertTrue(found, "%s: no %s request with %r in %s" % (key, part, query, self.requests(part)[-4:]))
        time.sleep(0.3)  # the page reaches the screen
        return found

    def screenshot(self, name):
        path = os.path.join(SCREENS, name + ".png")
        self.assertEqual("OK", self.run_.ecp("screenshot " + path))
        return read_png(path)

    def open_menu_choice(self, downs):
        self.press("Menu")
        for _ in range(downs):
            self.press("Down")
        self.press("Select")


class FoldersTest(BrowserTest):
    def folder_id(self, hierarchy, name):
        reply = self.sim.http("/xml/browsetree.xml?hierarchy=%s&itemsPerPage=100" % hierarchy)[2].decode()
        start = reply.index("<entry_name>%s</entry_name>" % name)
        return reply[reply.index("<entry_id>", start) + 10:reply.index("</entry_id>", start)]

    def selected_row(self, image):
        """The folder list's highlighted row (the focused list's navy)."""
        for row in range(ROWS):
            y = LIST_TOP + row * ROW_HEIGHT + ROW_HEIGHT // 2
            navy = sum(1 for x in range(300, 320) if image.pixel(x, y) == (0, 0, 128))
            if navy > 15:
                return row
        return None

    @staticmethod
    def artist_column_ink(image, rows):
        return sum(1 for row in range(rows) for x in range(336, 470, 2)
                   if sum(image.pixel(x, LIST_TOP + row * ROW_HEIGHT + ROW_HEIGHT // 2)) > 450)

    def page(self, key, hierarchy, start):
        return self.press_for(key, "browsetree", "hierarchy=%s&start=%d&itemsPerPage=%d" % (hierarchy, start, ROWS))

    def test_walking_down_three_folders_and_back_restores_each_parents_page_and_row(self):
        self.start_app()
        tones = self.folder_id("", "The Quiet Tones")
        shade = tones + "/" + self.folder_id(tones, "Evening Shade")
        bonus = shade + "/" + self.folder_id(shade, "Bonus Disc")
        before = len(self.requests("browsetree"))
        self.open_menu_choice(2)  # folders
        self.assertTrue(wait_until(lambda: len(self.requests("browsetree")) > before))
        time.sleep(0.3)
        self.page("Zoom In", "", 40)  # page 1 back: the last page, 3
        for _ in range(4):
            self.press("Down")       # row 4: The Quiet Tones
        self.page("Right", tones, 0)
        self.page("Zoom Out", tones, 20)
        for _ in range(5):
            self.press("Down")       # row 5: Evening Shade
        self.page("Right", shade, 0)
        songs = self.screenshot("e2e-folders-songs")
        self.assertGreater(self.artist_column_ink(songs, 3), 0, "songs show their artist")
        self.page("Right", bonus, 0)

        for hierarchy, start, row in ((shade, 0, 0), (tones, 20, 5), ("", 40, 4)):
            self.page("Left", hierarchy, start)
            image = self.screenshot("e2e-folders-back")
            self.assertEqual(row, self.selected_row(image), hierarchy)
        self.assertEqual(0, self.artist_column_ink(image, 5), "a page of folders shows no Artist column")
        before = len(self.requests("browsetree"))
        self.press("Left")  # the top, nothing behind it
        time.sleep(0.5)
        self.assertEqual(before, len(self.requests("browsetree")))

    def test_next_and_previous_page_on_to_the_next_initial_letter(self):
        self.start_app()
        self.open_menu_choice(2)
        self.assertTrue(wait_until(lambda: self.requests("browsetree")))
        time.sleep(0.3)
        # Page 1 ends with "Extra 16", page 2 with "Extra 36", page 3 with "The Quiet Tones".
        before = len(self.requests("browsetree"))
        self.page("Next", "", 40)
        self.assertEqual(["start=20", "start=40"],
                         [r.split("&")[1] for r in self.requests("browsetree")[before:]])
        # Page 3 starts with "Extra 37", page 2 with "Extra 17", page 1 with "A Very Long...".
        before = len(self.requests("browsetree"))
        self.page("Previous", "", 0)
        self.assertEqual(["start=20", "start=0"],
                         [r.split("&")[1] for r in self.requests("browsetree")[before:]])

    def test_a_folder_of_exactly_one_page_and_play_on_a_folder(self):
        mac = self.start_app()
        anna = self.folder_id("", "Anna Ames")
        one = anna + "/" + self.folder_id(anna, "One Page")
        self.open_menu_choice(2)
        self.assertTrue(wait_until(lambda: self.requests("browsetree")))
        time.sleep(0.3)
        self.press("Down")          # Anna Ames
        self.page("Right", anna, 0)
        self.press("Play")          # row 0: the folder "Mixed Bag" plays
        self.assertTrue(wait_until(lambda: [l for l in self.lines() if " playlist play " in l]), self.lines()[-5:])
        tracks = wait_until(lambda: parse_items(self.sim.control("cli %s status 0 50" % mac)["reply"], "playlist index"))
        self.assertEqual(["Plain Song"], [t.get("title") for t in tracks])
        self.press("Down")
        self.page("Right", one, 0)
        for _ in range(ROWS - 1):
            self.press("Down")
        time.sleep(0.3)
        image = self.screenshot("e2e-folders-one-page")
        self.assertEqual(ROWS - 1, self.selected_row(image), "all 20 entries on the one page")
        self.page("Down", one, 0)  # "the next page" of a one-page folder is the same page
        self.assertEqual(0, self.selected_row(self.screenshot("e2e-folders-one-page-wrapped")))


class ArtworkTest(BrowserTest):
    def tile(self, index, large=False):
        if large:
            return 22 + (index % 4) * 240, 70 + (index // 4) * 244, 230, 238
        return 22 + (index % 6) * 160, 70 + (index // 6) * 162, 145, 158

    def covers_requested(self):
        return [r for r in self.requests("/music/") if r.endswith("/cover.jpg")]

    def open_grid(self, covers):
        before = len(self.covers_requested())
        self.open_menu_choice(3)  # cover art
        got = wait_until(lambda: len(self.covers_requested()) - before >= covers)
        self.assertTrue(got, "only %d covers asked for" % (len(self.covers_requested()) - before))
        time.sleep(0.5)

    @staticmethod
    def coloured(image, rect):
        """Pixels of the tile's cover square that are a cover's own colours."""
        x, y, w, _ = rect
        side = w - 10
        # Clear of the title's underline, which reaches into the first row.
        return sum(1 for yy in range(y + 12, y + 5 + side, 4) for xx in range(x + 5, x + 5 + side, 4)
                   if max(image.pixel(xx, yy)) - min(image.pixel(xx, yy)) > 60)

    def test_the_grid_in_both_sizes_shows_every_cover(self):
        self.start_app()
        self.open_grid(18)
        self.assertTrue(self.requests("hierarchy=artwork,track&level=0&sort=album&start=0&itemsPerPage=19"))
        image = self.screenshot("e2e-artwork")
        for index in range(18):
            self.assertGreater(self.coloured(image, self.tile(index)), 100, "tile %d" % index)
        self.run_.close()

        self.run_ = AppRun()
        self.start_app("-LargeCoverArt")
        self.open_grid(8)
        self.assertTrue(self.requests("start=0&itemsPerPage=9"))
        image = self.screenshot("e2e-artwork-large")
        for index in range(8):
            self.assertGreater(self.coloured(image, self.tile(index, True)), 200, "tile %d" % index)

    def test_empty_cells_refuse_the_focus_and_next_jumps_a_tenth_of_the_pages(self):
        self.start_app()
        self.open_grid(18)
        # 1,805 albums with covers: 101 pages, the last holding 5.
        self.press_for("Zoom In", "artwork", "start=1800&itemsPerPage=19")
        for _ in range(8):
            self.press("Right")
        time.sleep(0.3)
        image = self.screenshot("e2e-artwork-last-page")
        x, y, _, _ = self.tile(4)
        self.assertEqual(FOCUS_FRAME, image.pixel(x + 1, y + 60), "the last cover keeps the focus")
        x, y, _, _ = self.tile(5)
        self.assertEqual(0, self.coloured(image, self.tile(5)), "an empty cell shows nothing")
        self.press_for("Zoom Out", "artwork", "start=0&itemsPerPage=19")
        self.press_for("Next", "artwork", "start=180&itemsPerPage=19")   # page 11
        self.press_for("Previous", "artwork", "start=0&itemsPerPage=19")

    def test_play_on_a_cover_replaces_the_playlist_with_the_album(self):
        mac = self.start_app()
        self.sim.control("cli %s playlistcontrol cmd:load album_id:1" % mac)
        self.open_grid(18)
        first = self.sim.http("/xml/browsedb.xml?hierarchy=artwork,track&level=0&sort=album&itemsPerPage=1")[2]
        first = first.decode()
        album = first[first.index("<entry_id>") + 10:first.index("</entry_id>")]
        self.press("Play")
        self.assertTrue(wait_until(lambda: "%s playlistcontrol cmd:add album_id:%s" % (unquote(mac), album) in
                                   self.lines()), self.lines()[-5:])
        want = [t["title"] for t in parse_items(self.sim.control("cli titles 0 50 album_id:%s sort:tracknum" % album)
                                                ["reply"], "id")]
        have = wait_until(lambda: [t.get("title") for t in parse_items(
            self.sim.control("cli %s status 0 50" % mac)["reply"], "playlist index")] == want and want)
        self.assertTrue(have, want)

    def test_the_filter_narrows_the_grid_and_an_album_without_a_cover_shows_the_no_cover_image(self):
        self.start_app()
        self.open_grid(18)
        genres = parse_items(self.sim.control("cli genres 0 100")["reply"], "id")
        classical = next(i for i, g in enumerate(genres) if g["genre"] == "Classical")
        self.press("Menu")  # the filter dialog, genres first with "All" on top
        time.sleep(0.5)
        for _ in range(classical + 1):
            self.press("Down")
        self.press("Left")  # genre -> the Apply button
        before = len(self.lines())
        self.press("Select")
        asked = wait_until(lambda: [l for l in self.lines()[before:] if " albums 0 18 genre_id:" in " " + l])
        self.assertTrue(asked, self.lines()[-5:])
        self.assertIn("genre_id:%s" % genres[classical]["id"], asked[0])
        # "Long Play" has no art: its first track's cover answers 404.
        albums = parse_items(self.sim.control("cli albums 0 10 genre_id:%s" % genres[classical]["id"])["reply"], "id")
        self.assertEqual(["Long Play"], [a["album"] for a in albums])
        track = parse_items(self.sim.control("cli titles 0 1 album_id:%s sort:tracknum" % albums[0]["id"])["reply"],
                            "id")[0]["id"]
        self.assertTrue(wait_until(lambda: "/music/%s/cover.jpg" % track in self.covers_requested()))
        self.assertEqual(1, len(asked), "one page of albums for the filter")
        time.sleep(0.5)
        image = self.screenshot("e2e-artwork-no-cover")
        x, y, w, _ = self.tile(0)
        side = w - 10
        blueish = sum(1 for yy in range(y + 5, y + 5 + side, 4) for xx in range(x + 5, x + 5 + side, 4)
                      if image.pixel(xx, yy)[1] > image.pixel(xx, yy)[0] + 10 and image.pixel(xx, yy)[2] > 70)
        self.assertGreater(blueish, 300, "the no-cover picture fills the tile")
        self.assertEqual(0, self.coloured(image, self.tile(1)), "one album only")


if __name__ == "__main__":
    unittest.main()
