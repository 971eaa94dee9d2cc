"""The player's browse menus: Home, then artists, albums, genres and saved
playlists down to the tracks."""


class Menu:
    def __init__(self, title, items):
        self.title = title
        self.items = items          # list of (label, open function, tracks function)
        self.position = 0

    def lines(self):
        if not self.items:
            return self.title, "(Empty)", ""
        label = self.items[self.position][0]
        return self.title, label, f"{self.position + 1} of {len(self.items)}"

    def move(self, step):
        target = self.position + step
        if not 0 <= target < len(self.items):
            return False
        self.position = target
        return True

    def open(self):
        if not self.items or self.items[self.position][1] is None:
            return None
        return self.items[self.position][1]()

    def tracks(self):
        if not self.items or self.items[self.position][2] is None:
            return []
        return self.items[self.position][2]()


def _tracks_menu(title, tracks):
    return Menu(title, [(t.title, None, lambda t=t: [t]) for t in tracks])


def _album_items(lib, albums):
    return [(a.name, lambda a=a: _tracks_menu(a.name, lib.album_tracks(a)),
             lambda a=a: lib.album_tracks(a)) for a in albums]


def _artists_menu(lib, genre_id=None):
    def albums(artist):
        return Menu(artist.name, _album_items(
            lib, lib.albums_matching(artist_id=artist.id, genre_id=genre_id)))

    def tracks(artist):
        return lib.titles_matching(sort="tracknum", artist_id=artist.id, genre_id=genre_id)
    return Menu("Artists", [(a.name, lambda a=a: albums(a), lambda a=a: tracks(a))
                            for a in lib.artists_matching(genre_id=genre_id)])


def home_menu(player):
    lib = player.sim.library
    genres = [(g.name, lambda g=g: _artists_menu(lib, g.id),
               lambda g=g: lib.titles_matching(sort="tracknum", genre_id=g.id))
              for g in lib.genres_matching()]
    playlists = [(p.name, lambda p=p: _tracks_menu(p.name, p.tracks), lambda p=p: list(p.tracks))
                 for p in lib.playlists_matching()]
    return Menu("SlimServer", [
        ("Now Playing", lambda: "nowplaying", None),
        ("Browse Artists", lambda: _artists_menu(lib), None),
        ("Browse Albums", lambda: Menu("Albums", _album_items(lib, lib.albums_matching())), None),
        ("Browse Genres", lambda: Menu("Genres", genres), None),
        ("Saved Playlists", lambda: Menu("Saved Playlists", playlists), None),
    ])
