"""The music database: what the manifest describes, with the ids, sort
order and filters the server's queries use."""

import json
import os
import unicodedata
import urllib.parse
from dataclasses import dataclass, field

from .folders import FolderTree

IGNORED_ARTICLES = "The El La Los Las Le Les"
CONTENT_TYPES = {"mp3": "mp3", "flac": "flc", "wma": "wma", "wav": "wav"}


def sort_key(text, articles=IGNORED_ARTICLES.split()):
    """Upper case, accents dropped, one leading article removed."""
    plain = "".join(c for c in unicodedata.normalize("NFKD", text)
                    if not unicodedata.combining(c)).upper().strip()
    for article in articles:
        prefix = article.upper() + " "
        if plain.startswith(prefix):
            plain = plain[len(prefix):]
            break
    return plain


@dataclass(eq=False)
class Named:
    id: int
    name: str
    sortkey: str = ""
    tracks: list = field(default_factory=list)


@dataclass(eq=False)
class Album(Named):
    year: int = 0
    artist: object = None
    cover: str = None        # absolute path of the cover image, or None


@dataclass(eq=False)
class Track:
    id: int
    title: str
    artist: Named
    album: Album
    genre: Named
    year: int
    tracknum: int
    duration: float
    fmt: str
    path: str = None         # absolute path, None for metadata-only tracks
    filesize: int = 0
    bitrate: str = ""
    comment: str = ""
    frequency: float = 0.0
    samplerate: int = 44100
    samplesize: int = 16
    channels: int = 2
    sortkey: str = ""
    folder: int = 0

    @property
    def content_type(self):
        return CONTENT_TYPES.get(self.fmt, self.fmt)

    @property
    def url(self):
        if self.path is None:
            return "file:///metadata-only/%d.%s" % (self.id, self.fmt)
        return "file://" + urllib.parse.quote(self.path, safe="/")

    @property
    def has_cover(self):
        return self.album.cover is not None


@dataclass(eq=False)
class Playlist(Named):
    path: str = ""

    @property
    def url(self):
        return "file://" + urllib.parse.quote(self.path, safe="/")


class Library:
    def __init__(self, root):
        self.root = os.path.abspath(root)
        with open(os.path.join(self.root, "manifest.json"), encoding="utf-8") as f:
            self.manifest = json.load(f)
        self.tracks, self.genres, self.artists, self.albums = {}, {}, {}, {}
        self.playlists = {}
        self._by_name = {"genre": {}, "artist": {}, "album": {}}
        self._cache = {}
        self._load_tracks()
        self._load_playlists()
        self.folders = FolderTree(os.path.join(self.root, "Music"),
                                  self._next_id(), self._track_by_path())

    # ---- loading ----

    def _next_id(self):
        return max([0] + list(self.tracks) + list(self.playlists)) + 1

    def _named(self, kind, table, name, factory):
        key = name if kind != "album" else name
        found = self._by_name[kind].get(key)
        if found is None:
            found = factory(len(table) + 1, name, sort_key(name))
            table[found.id] = found
            self._by_name[kind][key] = found
        return found

    def _album(self, title, artist, year, cover):
        key = (title, artist.name)
        found = self._by_name["album"].get(key)
        if found is None:
            found = Album(len(self.albums) + 1, title, sort_key(title),
                          year=year, artist=artist, cover=cover)
            self.albums[found.id] = found
            self._by_name["album"][key] = found
        return found

    def _load_tracks(self):
        covers = {(a["title"], a["artist"]): a.get("cover")
                  for a in self.manifest.get("albums", []) + self.manifest.get("metadata_covers", [])}
        entries = self.manifest.get("tracks", []) + self.manifest.get("metadata_tracks", [])
        for entry in entries:
            self._add_track(entry, covers)

    def _add_track(self, entry, covers):
        genre = self._named("genre", self.genres, entry["genre"], Named)
        artist = self._named("artist", self.artists, entry["artist"], Named)
        cover = covers.get((entry["album"], entry["artist"]))
        album = self._album(entry["album"], artist, entry.get("year", 0),
                            os.path.join(self.root, cover) if cover else None)
        path = os.path.join(self.root, entry["file"]) if entry.get("file") else None
        track = Track(
            id=len(self.tracks) + 1, title=entry["title"], artist=artist,
            album=album, genre=genre, year=entry.get("year", 0),
            tracknum=entry.get("tracknum", 0), duration=entry.get("duration", 0.0),
            fmt=entry.get("format", "mp3"), path=path,
            filesize=entry.get("filesize", 0), bitrate=entry.get("bitrate", ""),
            comment=entry.get("comment", ""), frequency=entry.get("frequency", 0.0),
            samplerate=entry.get("samplerate", 44100),
            samplesize=entry.get("samplesize", 16), channels=entry.get("channels", 2),
            sortkey=sort_key(entry["title"]))
        self.tracks[track.id] = track
        for owner in (genre, artist, album):
            owner.tracks.append(track)

    def _track_by_path(self):
        return {t.path: t for t in self.tracks.values() if t.path}

    def _load_playlists(self):
        by_file = {os.path.normpath(os.path.join(self.root, t["file"])): t
                   for t in self.manifest.get("tracks", [])}
        by_path = self._track_by_path()
        next_id = self._next_id()
        for number, entry in enumerate(self.manifest.get("playlists", [])):
            playlist = Playlist(next_id + number, entry["name"], sort_key(entry["name"]),
                                path=os.path.join(self.root, entry["file"]))
            for rel in entry["tracks"]:
                full = os.path.normpath(os.path.join(self.root, rel))
                if full in by_file and full in by_path:
                    playlist.tracks.append(by_path[full])
            self.playlists[playlist.id] = playlist

    # ---- queries ----

    def _cached(self, key, compute):
        if key not in self._cache:
            self._cache[key] = compute()
        return self._cache[key]

    def tracks_matching(self, genre_id=None, artist_id=None, album_id=None,
                        year=None, search=None):
        key = ("tracks", genre_id, artist_id, album_id, year, search)

        def compute():
            found = []
            for t in self.tracks.values():
                if genre_id is not None and t.genre.id != genre_id:
                    continue
                if artist_id is not None and t.artist.id != artist_id:
                    continue
                if album_id is not None and t.album.id != album_id:
                    continue
                if year is not None and t.year != year:
                    continue
                if search and search.lower() not in t.title.lower():
                    continue
                found.append(t)
            return found
        return self._cached(key, compute)

    def _distinct(self, kind, tracks, search):
        seen = {}
        for t in tracks:
            item = getattr(t, kind)
            seen[item.id] = item
        items = [i for i in seen.values()
                 if not search or search.lower() in i.name.lower()]
        return sorted(items, key=lambda i: (i.sortkey, i.id))

    def genres_matching(self, artist_id=None, album_id=None, search=None):
        key = ("genres", artist_id, album_id, search)
        return self._cached(key, lambda: self._distinct(
            "genre", self.tracks_matching(artist_id=artist_id, album_id=album_id), search))

    def artists_matching(self, genre_id=None, album_id=None, search=None):
        key = ("artists", genre_id, album_id, search)
        return self._cached(key, lambda: self._distinct(
            "artist", self.tracks_matching(genre_id=genre_id, album_id=album_id), search))

    def albums_matching(self, genre_id=None, artist_id=None, year=None, search=None):
        key = ("albums", genre_id, artist_id, year, search)
        return self._cached(key, lambda: self._distinct(
            "album", self.tracks_matching(genre_id=genre_id, artist_id=artist_id,
                                          year=year), search))

    def titles_matching(self, sort=None, **filters):
        key = ("titles", sort, tuple(sorted(filters.items())))

        def compute():
            found = self.tracks_matching(**filters)
            if sort == "tracknum":
                return sorted(found, key=lambda t: (t.album.sortkey, t.album.id,
                                                    t.tracknum, t.sortkey, t.id))
            return sorted(found, key=lambda t: (t.sortkey, t.id))
        return self._cached(key, compute)

    def playlists_matching(self, search=None):
        items = [p for p in self.playlists.values()
                 if not search or search.lower() in p.name.lower()]
        return sorted(items, key=lambda p: (p.sortkey, p.id))

    def album_tracks(self, album):
        return sorted(album.tracks, key=lambda t: (t.tracknum, t.sortkey, t.id))

    def artwork_albums(self):
        return self._cached(("artwork",), lambda: sorted(
            [a for a in self.albums.values() if a.cover],
            key=lambda a: (a.sortkey, a.id)))

    def years(self):
        return sorted({t.year for t in self.tracks.values() if t.year})
