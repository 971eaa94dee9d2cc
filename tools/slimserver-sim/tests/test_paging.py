"""Paging through a 20,000-entry artist list and the XML browse pages."""

import re
import unittest
import xml.etree.ElementTree as ET

from tests import support

LARGE = 20000
NS = "{http://www.slimdevices.com/slimserver/xml}"
ARTICLES = ("The ", "Los ")


def parse_items(reply):
    count = int(re.search(r" count%3A(\d+)", reply).group(1))
    items = re.findall(r" id%3A(\d+) artist%3A(\S+)", reply)
    return count, [(int(i), support_unescape(name)) for i, name in items]


def support_unescape(text):
    from urllib.parse import unquote
    return unquote(text)


def folded(name):
    for article in ARTICLES:
        if name.startswith(article):
            return name[len(article):].upper()
    return name.upper()


class LargeArtistList(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.sim = support.SimProcess(large=LARGE)
        cls.cli = support.CliClient(cls.sim.ports["cli"])

    @classmethod
    def tearDownClass(cls):
        cls.cli.close()
        cls.sim.stop()

    def test_page_after_page_gives_consistent_counts_and_ids(self):
        seen, names, counts = set(), [], set()
        page = 100
        start = 0
        while True:
            count, items = parse_items(self.cli.ask(f"artists {start} {page}"))
            counts.add(count)
            if not items:
                break
            for ident, name in items:
                self.assertNotIn(ident, seen)
                seen.add(ident)
                names.append(name)
            start += page
        self.assertEqual(len(counts), 1)
        total = counts.pop()
        self.assertGreaterEqual(total, LARGE)
        self.assertEqual(len(seen), total)
        ascii_names = [folded(n) for n in names if n.isascii()]
        self.assertEqual(ascii_names, sorted(ascii_names))

    def test_same_page_twice_is_identical_and_overlapping_pages_agree(self):
        first = self.cli.ask("artists 9950 100")
        self.assertEqual(first, self.cli.ask("artists 9950 100"))
        _, a = parse_items(first)
        _, b = parse_items(self.cli.ask("artists 10000 10"))
        self.assertEqual(a[50:60], b)

    def test_page_past_the_end_is_empty_with_the_same_count(self):
        count, _ = parse_items(self.cli.ask("artists 0 1"))
        later, items = parse_items(self.cli.ask(f"artists {count + 5} 50"))
        self.assertEqual((later, items), (count, []))
        _, last = parse_items(self.cli.ask(f"artists {count - 1} 50"))
        self.assertEqual(len(last), 1)

    def test_filtered_counts_add_up_to_the_total(self):
        genres = re.findall(r" id%3A(\d+) genre", self.cli.ask("genres 0 100"))
        total = sum(int(re.search(r"count%3A(\d+)", self.cli.ask(f"titles 0 0 genre_id:{g}"))
                        .group(1)) for g in genres)
        self.assertEqual(total, int(self.cli.ask("info total songs ?").split(" ")[-1]))


class XmlPages(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.sim = support.SimProcess()

    @classmethod
    def tearDownClass(cls):
        cls.sim.stop()

    def page(self, path):
        status, _, body = self.sim.http(path)
        self.assertEqual(status, 200)
        return ET.fromstring(body)

    def test_artwork_grid_pages_cover_every_album_with_art_once(self):
        path = "/xml/browsedb.xml?hierarchy=artwork,track&level=0&sort=album"
        ids = []
        for start in range(0, 10, 2):
            root = self.page(f"{path}&start={start}&itemsPerPage=2")
            entries = root.findall(NS + "browse_entry")
            if entries:
                self.assertEqual(root.find(f"{NS}offsets/{NS}last").text, "4")
            for entry in entries:
                self.assertEqual(entry.find(NS + "entry_type").text, "coverart")
                self.assertRegex(entry.find(NS + "coverart").text, r"^/music/\d+/cover\.jpg$")
                ids.append(entry.find(NS + "entry_id").text)
        self.assertEqual(len(ids), 5)             # "Long Play" has no cover
        self.assertEqual(len(set(ids)), 5)

    def test_single_page_has_no_offsets(self):
        root = self.page("/xml/browsedb.xml?hierarchy=artwork,track&level=0&sort=album")
        self.assertIsNone(root.find(NS + "offsets"))

    def test_folder_tree_walks_down_to_songs_with_a_breadcrumb(self):
        top = self.page("/xml/browsetree.xml?hierarchy=")
        dirs = {e.find(NS + "entry_name").text: e for e in top.findall(NS + "browse_entry")}
        hierarchy = dirs["The Quiet Tones"].find(f"{NS}dir/{NS}dir_hierarchy").text
        artist = self.page(f"/xml/browsetree.xml?hierarchy={hierarchy}")
        album = artist.findall(NS + "browse_entry")[0].find(f"{NS}dir/{NS}dir_hierarchy").text
        songs = self.page(f"/xml/browsetree.xml?hierarchy={album}")
        names = [n.text for n in songs.iter(NS + "locator_name")]
        self.assertEqual(names, ["Music Folder", "The Quiet Tones", "Evening Shade"])
        titles = [e.find(f"{NS}song/{NS}title").text for e in songs.findall(NS + "browse_entry")]
        self.assertEqual(titles, ["Dusk", "Lamplight (Reprise)"])
        replace = songs.find(f"{NS}browse_entry/{NS}replace_url").text
        self.assertIn("&p2=file%3A%2F%2F", replace)

    def test_cover_and_placeholder_are_jpeg(self):
        for path in ("/music/1/cover.jpg", "/music/9/cover.jpg"):
            status, headers, body = self.sim.http(path)
            self.assertEqual(status, 200)
            self.assertEqual(body[:2], b"\xff\xd8")
        _, _, with_art = self.sim.http("/music/1/cover.jpg")
        _, _, without = self.sim.http("/music/9/cover.jpg")     # "Long Play"
        self.assertNotEqual(with_art, without)


if __name__ == "__main__":
    unittest.main()
