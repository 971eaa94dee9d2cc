# End-to-end: the browsers against the simulator, driven by remote keys over
# ECP and checked by the requests the simulator and the radio directories
# served, the simulator's CLI log and screenshots (kept in build/screens/).
#
# The library is the tests' tone library plus empty folders that give the
# folder tree pages (40 at the top, 25 beside The Quiet Tones' albums, a
# "Bonus Disc" inside Evening Shade, 20 in "One Page" under Anna Ames) and
# 1,800 metadata-only albums with
# covers (101 grid pages, 1,800 artists); the simulator's grey placeholder is
# taken out, so an album without art answers 404. The radio directories are
# a local web server holding the real samples (QUENDREL_RADIO_BASE). Then a
# playlist saved under a name typed on the keyboard; a second start reads the
# Favorites back and shows the large cover grid.

import http.server
import json
import os
import pathlib
import re
import threading
import unittest
from urllib.parse import unquote, urlsplit

from harness import HERE, App, Sim, count, expect, library, manifest, parse_items

SAMPLES = os.path.join(HERE, "..", "radio", "data")
ROUTES = {
    "/yp.xml": "xiph/yp-2007-esperanza-first300.xml",
    "/picks/radio.opml": "lms-favorites/favorites-2024-Rouzax-nested.opml",
    "/sbin/newxml.phtml": "shoutcast/genrelist-2009-05-shoutcast_api.xml",
    "/sbin/newxml.phtml?": "shoutcast/stationlist-2008-04-ShoutcastBrowser-first200.xml",
}
FIRST_STATION = ".977 The Hitz Channel"
SHOWN = re.compile(r"radio: (\w+) type (\d+), page (\d+) of (\d+), row (-?\d+), (\d+) rows")
ROWS, ROW_HEIGHT, LIST_TOP = 20, 21, 108  # the folder list at the default font
FOCUS_FRAME = (64, 214, 198)
FOLDERS = ("Menu", "Down", "Down", "Select")  # the folder browser from Now Playing


def add_folders(root):
    for folder in (["Extra %02d" % n for n in range(40)] + ["The Quiet Tones/Aa Extra %02d" % n for n in range(25)] +
                   ["The Quiet Tones/Evening Shade/Bonus Disc"] +
                   ["Anna Ames/One Page/Item %02d" % n for n in range(ROWS)]):
        os.makedirs(os.path.join(root, "Music", folder))
    described = manifest(root)
    described.pop("placeholder_cover")
    pathlib.Path(root, "manifest.json").write_text(json.dumps(described, ensure_ascii=False), encoding="utf-8")


def type_on_keyboard(press, text):
    # Types on the on-screen keyboard with the arrow keys, as a user would: to
    # the left edge, up or down along it, then right to the key; Next types a
    # blank; Shift and Done follow "z".
    rows, at, shifted = ["0123456789", "abcdefghij", "klmnopqrst", "uvwxyz", "-_.,:%&'!?"], [0, 0], False

    def tap(row, column):
        vertical = ["Down" if row > at[0] else "Up"] * abs(row - at[0])
        press(*["Left"] * at[1], *vertical, *["Right"] * column, "Select")
        at[:] = row, column

    for c in text:
        if c == " ":
            press("Next")
            continue
        if c.isalpha() and c.isupper() != shifted:
            tap(3, 6)
            shifted = not shifted
        row = next(i for i, keys in enumerate(rows) if c.lower() in keys)
        tap(row, rows[row].index(c.lower()))
    tap(3, 7)


class Directories(http.server.BaseHTTPRequestHandler):
    requests, release = [], threading.Event()

    def do_GET(self):
        self.requests.append(self.path)
        parts = urlsplit(self.path)
        if parts.path == "/sbin/rsms_feed.xml":  # a directory that never answers
            return self.release.wait(120)
        name = ROUTES.get(parts.path + ("?" if parts.query and parts.path == "/sbin/newxml.phtml" else ""))
        if not name:
            return self.send_error(404)
        body = pathlib.Path(SAMPLES, name).read_bytes()
        self.send_response(200)
        self.send_header("Content-Type", "text/xml")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


class BrowseWalk(unittest.TestCase):
    def setUp(self):
        self.sim = Sim(library_dir=library("browse", "--large", "1800", "--large-covers", then=add_folders))
        self.addCleanup(self.sim.stop)
        web = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Directories)
        threading.Thread(target=web.serve_forever, daemon=True).start()
        self.addCleanup(web.server_close)
        self.addCleanup(web.shutdown)
        self.addCleanup(Directories.release.set)
        self.app = App(QUENDREL_RADIO_BASE="http://127.0.0.1:%d" % web.server_address[1])
        self.addCleanup(self.app.close)
        self.debug = os.path.join(self.app.appdir, "debug.txt")

    def wait_lines(self, *starts):
        # Waits for a CLI line the simulator received that starts with each of
        # `starts`, then for the screen to settle.
        for start in starts:
            expect(lambda: [l for l in self.sim.lines() if l.startswith(start)],
                   lambda: "no %r among %r" % (start, [l for l in self.sim.lines() if " status " not in l][-20:]), 30)
        self.app.settle()

    def requests(self, part):
        return [unquote(r["request"].split(" ")[1]) for r in self.sim.control("http-requests")["requests"]
                if part in r["request"]]

    def press_for(self, part, query, *keys):
        # Presses `keys`, waits for a request for `part` carrying `query` and
        # for the screen to settle; returns the requests since the keys.
        before = len(self.requests(part))
        self.app.key(*keys)
        expect(lambda: [r for r in self.requests(part)[before:] if query in r],
               lambda: "%s: no %s request with %r in %s" % (keys, part, query, self.requests(part)[-4:]))
        self.app.settle()
        return self.requests(part)[before:]

    def open_menu_choice(self, downs):
        self.app.key("Menu", *["Down"] * downs, "Select")

    def directory_requests(self, prefix=""):
        return len([r for r in Directories.requests if r.startswith(prefix)])

    def shown(self):
        # Every list the radio browser showed: (how, type, page, pages, row, rows).
        text = pathlib.Path(self.debug).read_text(errors="replace")
        return [(m.group(1),) + tuple(int(g) for g in m.groups()[1:]) for m in SHOWN.finditer(text)]

    def load(self, *keys):
        # Presses keys whose last one starts a radio load; the list it shows.
        before = len(self.shown())
        self.app.key(*keys)
        expect(lambda: len(self.shown()) > before, "nothing shown after %s" % (keys,), 30)
        self.app.settle()
        return self.shown()[-1]

    def favorites(self):
        return pathlib.Path(self.app.appdir, "Favorites.xml").read_text(encoding="utf-8")

    def playlist(self, tag):
        return [t.get(tag) for t in parse_items(self.sim.cli("%s status 0 50 tags:u" % self.mac), "playlist index")]

    def exit(self):
        self.app.key("Exit")
        self.app.settle()

    def test_library_folders_cover_art_and_radio(self):
        self.mac = self.app.start_against(self.sim, "-debug")
        self.music_library()
        self.folders()
        self.cover_art()
        self.radio()
        self.saved_playlist()

        self.assertEqual("Quendrel closed", self.app.ecp("Quendrel quit"))
        self.assertEqual(0, self.app.proc.wait(timeout=20))
        os.rename(self.debug, self.debug + ".first")
        self.app.start_against(self.sim, "-debug", "-LargeCoverArt")
        saved = self.favorites()
        self.open_radio()
        self.app.key("Up")
        self.assertEqual((12, 1), self.load("Right")[1:6:4])  # the Favorites list, read back
        self.assertEqual(saved, self.favorites())
        self.exit()
        self.open_grid(8, "artwork-large", 9, lambda index: (22 + index % 4 * 240, 70 + index // 4 * 244, 230))

    def music_library(self):
        artists = int(re.search(r"count%3A(\d+)", self.sim.cli("artists 0 1")).group(1))
        self.sim.control("reset")
        self.open_menu_choice(0)  # every level loads; of the empty playlist only its size
        self.wait_lines("genres 0 6", "artists 0 6", "albums 0 6", "info total songs ?", self.mac + " status - 1")
        self.app.screenshot("library")
        # On the artists, Zoom In on page 1 shows the last page; a letter jump
        # forward searches from page 2 on.
        self.app.key("Right")
        self.sim.control("reset")
        for key, line in (("Zoom In", "artists %d 6" % ((artists - 1) // 6 * 6)), ("Zoom Out", "artists 0 6"),
                          ("Next", "artists 6 6")):
            self.app.key(key)
            self.wait_lines(line)
        # Opened again it starts over; on the first artist, after the pause,
        # the albums and tracks narrow; Play replaces the playlist with it.
        self.app.key("Exit")
        self.sim.control("reset")
        self.open_menu_choice(0)
        first = re.search(r"id%3A(\d+) artist%3A", self.sim.cli("artists 0 1")).group(1)
        self.wait_lines("info total songs ?")
        self.app.key("Right", "Down")
        self.wait_lines("albums 0 6 artist_id:" + first, "titles 0 11 artist_id:" + first)
        self.sim.control("reset")
        self.app.key("Play")
        self.wait_lines(self.mac + " playlist index 0")
        sent = [l.split(" ", 1)[1] for l in self.sim.lines() if l.startswith(self.mac + " playlist")]
        self.assertEqual(sent[:3], ["playlist clear", "playlistcontrol cmd:add artist_id:" + first, "playlist index 0"])
        expect(lambda: self.playlist("title"), "the server's playlist stayed empty")
        self.exit()

    # ---- folders ----

    def folder_path(self, *names):
        # The hierarchy of each folder on the path of `names` from the top.
        hierarchies = [""]
        for name in names:
            reply = self.sim.http("/xml/browsetree.xml?hierarchy=%s&itemsPerPage=100" % hierarchies[-1])[2].decode()
            found = re.search("<entry_name>%s</entry_name>.*?<entry_id>(.*?)</" % re.escape(name), reply, re.S)
            hierarchies.append("/".join(filter(None, (hierarchies[-1], found.group(1)))))
        return hierarchies[1:]

    def selected_row(self, image):
        # The folder list's highlighted row (the focused list's navy).
        return next((row for row in range(ROWS) if count(
            image, (300, LIST_TOP + row * ROW_HEIGHT + ROW_HEIGHT // 2, 20, 1), lambda p: p == (0, 0, 128)) > 15), None)

    @staticmethod
    def artist_column_ink(image, rows):
        return count(image, (336, LIST_TOP + ROW_HEIGHT // 2, 134, rows * ROW_HEIGHT), lambda p: sum(p) > 450, 2)

    def page(self, hierarchy, start, *keys):
        # Presses `keys` for the folder page of `hierarchy` from `start`; the starts asked for.
        query = "hierarchy=%s&start=%d&itemsPerPage=%d" % (hierarchy, start, ROWS)
        return [r.split("&")[1] for r in self.press_for("browsetree", query, *keys)]

    def folders(self):
        tones, shade, bonus = self.folder_path("The Quiet Tones", "Evening Shade", "Bonus Disc")
        # Page 1 ends with "Extra 16", page 2 with "Extra 36", page 3 with
        # "The Quiet Tones": Next and Previous go on to the next initial letter.
        self.page("", 0, *FOLDERS)
        self.assertEqual(["start=20", "start=40"], self.page("", 40, "Next"))
        self.assertEqual(["start=20", "start=0"], self.page("", 0, "Previous"))
        self.exit()

        # A folder of exactly one page: all 20 entries on it; "the next page"
        # from its last row is the same page again.
        anna, one = self.folder_path("Anna Ames", "One Page")
        self.page("", 0, *FOLDERS)
        self.page(anna, 0, "Down", "Right")  # Anna Ames
        self.page(one, 0, "Down", "Right")  # One Page, after the album folder
        self.app.key(*["Down"] * (ROWS - 1))
        self.app.settle()
        self.assertEqual(ROWS - 1, self.selected_row(self.app.screenshot("folders-one-page")))
        self.page(one, 0, "Down")
        self.assertEqual(0, self.selected_row(self.app.screenshot()))
        self.exit()

        # Three folders down and back: each parent's page and row come back.
        self.page("", 0, *FOLDERS)
        self.page("", 40, "Zoom In")  # page 1 back: the last page, 3
        self.page(tones, 0, *["Down"] * 4, "Right")  # row 4: The Quiet Tones
        self.page(tones, 20, "Zoom Out")
        self.page(shade, 0, *["Down"] * 5, "Right")  # row 5: Evening Shade
        self.assertTrue(self.artist_column_ink(self.app.screenshot("folders-songs"), 3), "songs show their artist")
        self.page(bonus, 0, "Right")
        for hierarchy, start, row in ((shade, 0, 0), (tones, 20, 5), ("", 40, 4)):
            self.page(hierarchy, start, "Left")
            image = self.app.screenshot("folders-back")
            self.assertEqual(row, self.selected_row(image), hierarchy)
        self.assertEqual(0, self.artist_column_ink(image, 5), "a page of folders shows no Artist column")
        self.exit()

    # ---- cover art ----

    def covers_requested(self):
        return [r for r in self.requests("/music/") if r.endswith("/cover.jpg")]

    @staticmethod
    def coloured(image, tile):
        # Pixels of a tile's cover square in a cover's own colours (clear of
        # the title's underline, which reaches into the first row).
        x, y, w = tile
        return count(image, (x + 5, y + 12, w - 10, w - 17), lambda p: max(p) - min(p) > 60, 4)

    def open_grid(self, covers, name, per_page, tile):
        before = len(self.covers_requested())
        self.open_menu_choice(3)
        expect(lambda: len(self.covers_requested()) - before >= covers, "covers not asked for")
        self.assertTrue(self.requests("hierarchy=artwork,track&level=0&sort=album&start=0&itemsPerPage=%d" % per_page))
        self.app.settle()
        image = self.app.screenshot(name)
        for index in range(covers):
            self.assertGreater(self.coloured(image, tile(index)), 100, "tile %d" % index)

    def cover_art(self):
        tile = lambda index: (22 + index % 6 * 160, 70 + index // 6 * 162, 145)  # noqa: E731
        self.open_grid(18, "artwork", 19, tile)
        # 1,805 albums with covers: 101 pages, the last holding 5.
        self.press_for("artwork", "start=1800&itemsPerPage=19", "Zoom In")
        self.app.key(*["Right"] * 8)
        self.app.settle()
        image = self.app.screenshot("artwork-last-page")
        self.assertEqual(FOCUS_FRAME, image.pixel(tile(4)[0] + 1, tile(4)[1] + 60), "the last cover keeps the focus")
        self.assertEqual(0, self.coloured(image, tile(5)), "an empty cell shows nothing")
        for key, start in (("Zoom Out", 0), ("Next", 180), ("Previous", 0)):  # Next: page 11
            self.press_for("artwork", "start=%d&itemsPerPage=19" % start, key)
        self.exit()

        # Play on the first cover replaces the playlist with the album.
        self.sim.cli("%s playlistcontrol cmd:load album_id:1" % self.mac)
        self.open_menu_choice(3)
        self.app.settle()
        first = self.sim.http("/xml/browsedb.xml?hierarchy=artwork,track&level=0&sort=album&itemsPerPage=1")[2].decode()
        album = re.search("<entry_id>(.*?)</", first).group(1)
        self.app.key("Play")
        self.wait_lines("%s playlistcontrol cmd:add album_id:%s" % (self.mac, album))
        want = [t["title"] for t in parse_items(self.sim.cli("titles 0 50 album_id:%s sort:tracknum" % album), "id")]
        expect(lambda: self.playlist("title") == want, lambda: "%r, not %r" % (self.playlist("title"), want))

        # The filter (Menu; genres first, "All" on top) narrows the grid to
        # Classical: "Long Play", whose cover answers 404, shows the no-cover image.
        genres = parse_items(self.sim.cli("genres 0 100"), "id")
        classical = next(g for g in genres if g["genre"] == "Classical")
        self.sim.control("reset")
        self.app.key("Menu")
        self.wait_lines("genres 0 5", "artists 0 5")
        self.app.key(*["Down"] * (genres.index(classical) + 1), "Left", "Select")  # the genre, then Apply
        self.wait_lines("albums 0 18 genre_id:" + classical["id"])
        self.assertEqual(1, len([l for l in self.sim.lines() if l.startswith("albums 0 18 ")]), "one page asked for")
        image = self.app.screenshot("artwork-no-cover")
        x, y, w = tile(0)
        self.assertGreater(count(image, (x + 5, y + 5, w - 10, w - 10),
                                 lambda p: p[1] > p[0] + 10 and p[2] > 70, 4), 300, "no no-cover picture in the tile")
        self.assertEqual(0, self.coloured(image, tile(1)), "one album only")
        self.exit()

    # ---- radio ----

    def open_radio(self):
        self.app.key("Menu", *["Down"] * 4)
        return self.load("Select")

    def radio(self):
        self.assertEqual(("shown", 0, 1, 1, 0, 8), self.open_radio())
        self.assertEqual(0, self.directory_requests())
        # Exit while Steamcast never answers: the fetch is cancelled, the
        # window closes, and the menu opens it again at the top menu.
        self.app.key("Down", "Down", "Down", "Right")
        expect(lambda: self.directory_requests("/sbin/rsms_feed.xml") == 1, "Steamcast was not asked")
        self.app.key("Exit")
        expect(lambda: self.shown()[-1][1] == 8, "the load was not cancelled", 30)
        self.assertIn("rsms_feed.xml?t=a&o=n: loading was cancelled", pathlib.Path(self.debug).read_text())
        self.app.settle()
        self.assertEqual(("shown", 0, 1, 1, 0, 8), self.open_radio())

        # Shoutcast: the genres, page 2, third row, its stations.
        _, kind, page, _, row, _ = self.load("Right")
        self.assertEqual((2, 1, 0, 1), (kind, page, row, self.directory_requests("/sbin/newxml.phtml")))
        self.app.key("Zoom Out", "Down", "Down")
        self.assertEqual(("paged", 2, 2), self.shown()[-1][:3])
        self.app.screenshot("radio-genres")
        pages = self.shown()[-1][3]
        _, kind, page, _, row, _ = self.load("Right")
        self.assertEqual((1, 1, 0, 2), (kind, page, row, self.directory_requests("/sbin/newxml.phtml")))
        self.assertRegex(Directories.requests[-1], r"^/sbin/newxml\.phtml\?genre=\w+")
        # Back: the genre list on page 2, row 2, nothing fetched.
        requests = self.directory_requests()
        self.assertEqual(("back", 2, 2, pages, 2), self.load("Left")[:5])
        self.assertEqual(requests, self.directory_requests())

        # The genre again, its first station to the Favorites; Play replaces
        # the simulator's playlist with the station's URL, Add appends it.
        self.load("Right")
        self.load("Rotate")
        self.assertIn('text="%s"' % FIRST_STATION, self.favorites())
        self.app.key("Right", "Right", "Right", "Select")  # the Favorites button, Add, Play
        station = "%s/sbin/tunein-station.pls?id=1025" % self.app.env["QUENDREL_RADIO_BASE"]
        expect(lambda: self.playlist("url") == [station], lambda: self.playlist("url"))
        self.app.settle()  # the new playlist's news has reached the screens
        self.app.key("Left", "Select")
        expect(lambda: self.playlist("url") == [station] * 2, lambda: self.playlist("url"))
        self.app.settle()

        # An outline of the picks to the Favorites: the folder with its stations.
        self.app.key("Left", "Left")  # Add -> the Favorites button -> the list
        self.load("Left")
        self.assertEqual(("back", 0), self.load("Left")[:2])
        self.app.key("Up", "Up", "Up", "Up")  # up past the last row (Favorites) to the picks
        self.assertEqual(9, self.load("Right")[1])
        self.assertEqual(1, self.directory_requests("/picks/radio.opml"))
        self.load("Rotate")
        self.assertIn("Pure Lounge Radio (flac)", self.favorites())

        # The Favorites list: two entries, the first removed and saved.
        self.load("Left")
        self.app.key("Down", "Down", "Down")
        _, kind, _, _, _, rows = self.load("Right")
        self.assertEqual((12, 2), (kind, rows))
        self.assertEqual(1, self.load("Rotate")[5])
        saved = self.favorites()
        self.assertNotIn(FIRST_STATION, saved)
        self.assertIn("Pure Lounge Radio (flac)", saved)
        self.exit()

    def saved_playlist(self):
        # A playlist saved under a name typed on the keyboard lists back
        # exactly, saving sends nothing else, and it plays from the playlists window.
        playlists = lambda: parse_items(self.sim.cli("playlists 0 100"), "id")  # noqa: E731
        name, before = "Road Trip: 100% Fun, vol. 2!", {p["id"] for p in playlists()}
        self.sim.control("reset")
        self.app.key("Options", "Down", "Down", "Select")  # shuffle, "Save Playlist": the keyboard
        type_on_keyboard(self.app.key, name)
        saved = expect(lambda: [p for p in playlists() if p["id"] not in before], "nothing saved")
        self.assertEqual([name], [p["playlist"] for p in saved], self.sim.lines())
        self.assertFalse([l for l in self.sim.lines() if " playlist repeat" in l or " playlist shuffle" in l])
        names = [p["playlist"] for p in playlists()]
        self.app.key("Menu", "Down", "Select")  # the playlists window
        self.app.settle()
        self.app.key(*["Down"] * names.index(name))
        self.app.screenshot("playlists")
        self.app.key("Right", "Select")  # its play button
        self.wait_lines("%s playlistcontrol cmd:load playlist_id:%s" % (self.mac, saved[0]["id"]))
