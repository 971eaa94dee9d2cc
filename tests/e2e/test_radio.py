"""End-to-end: the radio browser against a local web server holding the real
directory samples (every directory pointed at it through
QUENDREL_RADIO_BASE) and the server simulator: the top menu, a Shoutcast
genre's stations, Back to the same page and row without fetching,
Favorites added from a directory row and from an outline, removed in the
Favorites list, saved and read back on the next start, and Play and Add
changing the simulator's playlist."""

import http.server
import os
import re
import sys
import threading
import time
import unittest
from urllib.parse import quote, urlsplit

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "slimserver-sim"))
from appharness import AppRun, wait_until  # noqa: E402
from tests.support import SimProcess  # noqa: E402

SAMPLES = os.path.join(HERE, "..", "radio", "data")
ROUTES = {
    "/yp.xml": "xiph/yp-2007-esperanza-first300.xml",
    "/picks/radio.opml": "lms-favorites/favorites-2024-Rouzax-nested.opml",
    "/lma/artists.opml": "opml/scripting-news-directory-2005-iso8859-1.opml",
}
GENRES = "shoutcast/genrelist-2009-05-shoutcast_api.xml"
STATIONS = "shoutcast/stationlist-2008-04-ShoutcastBrowser-first200.xml"
FIRST_STATION = ".977 The Hitz Channel"
SHOWN = re.compile(r"radio: (\w+) type (\d+), page (\d+) of (\d+), row (-?\d+), (\d+) rows")


class Directories:
    """The directories' web server on loopback; it remembers every request."""

    def __init__(self):
        owner = self
        self.requests = []
        self.lock = threading.Lock()
        self.release = threading.Event()

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                with owner.lock:
                    owner.requests.append(self.path)
                parts = urlsplit(self.path)
                if parts.path == "/sbin/rsms_feed.xml":
                    owner.release.wait(120)  # a directory that never answers
                    return
                if parts.path == "/sbin/newxml.phtml":
                    name = STATIONS if parts.query else GENRES
                else:
                    name = ROUTES.get(parts.path)
                if not name:
                    self.send_error(404)
                    return
                with open(os.path.join(SAMPLES, name), "rb") as f:
                    body = f.read()
                self.send_response(200)
                self.send_header("Content-Type", "text/xml")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.server.daemon_threads = True
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()
        self.base = "http://127.0.0.1:%d" % self.server.server_address[1]

    def count(self, prefix=""):
        with self.lock:
            return len([r for r in self.requests if r.startswith(prefix)])

    def last(self):
        with self.lock:
            return self.requests[-1] if self.requests else None

    def close(self):
        self.release.set()
        self.server.shutdown()
        self.server.server_close()


class RadioTest(unittest.TestCase):
    def setUp(self):
        self.sim = SimProcess()
        self.web = Directories()
        self.run_ = AppRun()
        self.run_.env["QUENDREL_RADIO_BASE"] = self.web.base
        self.log_path = os.path.join(self.run_.appdir, "debug.txt")
        self.favorites = os.path.join(self.run_.appdir, "Favorites.xml")

    def tearDown(self):
        self.run_.close()
        self.web.close()
        self.sim.stop()

    def start_app(self):
        self.mac = self.run_.start_against(self.sim, "-debug")

    def log_text(self):
        if not os.path.exists(self.log_path):
            return ""
        with open(self.log_path, errors="replace") as f:
            return f.read()

    def shown(self):
        """Every list the radio browser showed so far: (how, type, page, pages, row, rows)."""
        if not os.path.exists(self.log_path):
            return []
        with open(self.log_path, errors="replace") as f:
            return [(m.group(1),) + tuple(int(g) for g in m.groups()[1:]) for m in SHOWN.finditer(f.read())]

    def key(self, *names):
        for name in names:
            self.assertEqual("OK", self.run_.ecp("keypress " + name))

    def load(self, *names):
        """Sends keys whose last one starts a load, and waits for the list it shows."""
        before = len(self.shown())
        self.key(*names)
        self.assertTrue(wait_until(lambda: len(self.shown()) > before, timeout=30), "nothing shown after %s" % (names,))
        # The loader hides the please-wait window right after it logs; let
        # that message through before the next key.
        time.sleep(0.3)
        return self.shown()[-1]

    def open_radio(self):
        self.key("Menu", "Down", "Down", "Down", "Down")
        return self.load("Select")

    def playlist(self):
        reply = self.sim.control("cli %s status 0 50 tags:u" % self.mac)["reply"]
        count = re.search(r"playlist_tracks%3A(\d+)|playlist_tracks:(\d+)", reply)
        return reply, int(next(g for g in count.groups() if g)) if count else 0

    def read_favorites(self):
        with open(self.favorites, encoding="utf-8") as f:
            return f.read()

    def test_browse_play_add_and_keep_favorites_across_starts(self):
        self.start_app()
        self.assertEqual(("shown", 0, 1, 1, 0, 8), self.open_radio())
        self.assertEqual(0, self.web.count())

        # Exit while Steamcast never answers: the fetch is cancelled, the
        # window closes, and the menu opens it again at the top menu.
        self.key("Down", "Down", "Down", "Right")
        self.assertTrue(wait_until(lambda: self.web.count("/sbin/rsms_feed.xml") == 1))
        self.key("Exit")
        self.assertTrue(wait_until(lambda: "rsms_feed.xml?t=a&o=n: loading was cancelled" in self.log_text(), timeout=30),
                        self.log_text()[-3000:])
        self.assertEqual(("shown", 8, 1, 1, -1, 1), wait_until(lambda: self.shown()[-1] if self.shown()[-1][1] == 8
                                                                else None))
        time.sleep(0.3)
        self.assertEqual(("shown", 0, 1, 1, 0, 8), self.open_radio())

        # Shoutcast: the genres, page 2, third row, its stations.
        how, kind, page, pages, row, rows = self.load("Right")
        self.assertEqual((kind, page, row), (2, 1, 0))
        self.assertEqual(1, self.web.count("/sbin/newxml.phtml"))
        self.key("Zoom Out", "Down", "Down")
        self.assertEqual(("paged", 2, 2), self.shown()[-1][:3])
        shot = os.path.join(self.run_.dir, "genres.png")
        self.assertEqual("OK", self.run_.ecp("screenshot " + shot))
        _, kind, page, _, row, _ = self.load("Right")
        self.assertEqual((kind, page, row), (1, 1, 0))
        self.assertEqual(2, self.web.count("/sbin/newxml.phtml"))
        self.assertRegex(self.web.last(), r"^/sbin/newxml\.phtml\?genre=\w+")

        # Back: the genre list on page 2, row 2, nothing fetched.
        requests = self.web.count()
        self.key("Left")
        self.assertEqual(("back", 2, 2, pages, 2), self.shown()[-1][:5])
        self.assertEqual(requests, self.web.count())

        # The genre again (fetched again), its first station to the Favorites.
        self.load("Right")
        self.load("Rotate")
        self.assertIn('text="%s"' % FIRST_STATION, self.read_favorites())

        # Play replaces the simulator's playlist with the station's URL; Add appends it.
        station_url = "%s/sbin/tunein-station.pls?id=1025" % self.web.base
        self.key("Right", "Right", "Right", "Select")  # Favorites button, add, play
        self.assertTrue(wait_until(lambda: self.playlist()[1] == 1, timeout=20), self.playlist()[0])
        reply = self.playlist()[0]
        self.assertTrue(station_url in reply or quote(station_url, safe="") in reply, reply)
        time.sleep(0.3)
        self.key("Left", "Select")  # add
        self.assertTrue(wait_until(lambda: self.playlist()[1] == 2, timeout=20), self.playlist()[0])
        time.sleep(0.3)

        # An outline of the picks to the Favorites: the folder with its stations.
        self.key("Left", "Left")  # add -> Favorites button -> list
        self.key("Left")
        self.key("Left")
        self.assertEqual(("back", 0), self.shown()[-1][:2])
        self.key("Up", "Up", "Up", "Up")  # row 0 -> the last row (Favorites) -> up to Slim Devices Picks
        _, kind, _, _, _, rows = self.load("Right")
        self.assertEqual(9, kind)
        self.assertEqual(1, self.web.count("/picks/radio.opml"))
        self.load("Rotate")
        saved = self.read_favorites()
        self.assertIn(FIRST_STATION, saved)
        self.assertIn("Pure Lounge Radio (flac)", saved)

        # The Favorites list: two entries; the first removed and saved.
        self.key("Left")
        self.key("Down", "Down", "Down")
        _, kind, _, _, _, rows = self.load("Right")
        self.assertEqual((12, 2), (kind, rows))
        self.assertEqual(1, self.web.count("/picks/radio.opml"))
        self.load("Rotate")
        self.assertEqual(1, self.shown()[-1][5])
        saved = self.read_favorites()
        self.assertNotIn(FIRST_STATION, saved)
        self.assertIn("Pure Lounge Radio (flac)", saved)

        # The next start reads them back.
        self.assertEqual("Quendrel closed", self.run_.ecp("Quendrel quit"))
        self.assertTrue(wait_until(lambda: self.run_.procs[-1].poll() is not None, timeout=20))
        os.rename(self.log_path, self.log_path + ".first")
        self.start_app()
        self.open_radio()
        self.key("Up")
        _, kind, _, _, _, rows = self.load("Right")
        self.assertEqual((12, 1), (kind, rows))
        self.assertEqual(saved, self.read_favorites())


if __name__ == "__main__":
    unittest.main()
