"""CLI queries: server facts, library lists, songinfo and player status."""

from .library import IGNORED_ARTICLES
from .tags import DEFAULT_SONGINFO_TAGS, DEFAULT_TITLES_TAGS, number, pairs, track_fields

PREFS = {"ignoredarticles": IGNORED_ARTICLES, "language": "EN", "audiodir": "",
         "playlistdir": "", "titleFormat": "TITLE"}
DISPLAY_TYPES = {3: "graphic-320x32", 4: "graphic-320x32", 5: "graphic-320x32",
                 6: "graphic-320x32", 2: "graphic-280x16"}
MODELS = {2: "squeezebox", 3: "softsqueeze", 4: "squeezebox2", 5: "transporter",
          6: "softsqueeze3", 7: "receiver", 8: "squeezeslave", 9: "controller",
          10: "boom", 11: "softboom", 12: "squeezeplay"}


def _ints(req, first=1):
    try:
        start = int(req.word(first, "0"))
        quantity = int(req.word(first + 1, "0"))
    except ValueError:
        return 0, 0
    return max(0, start), max(0, quantity)


def _page(req, items, render, first=1):
    req.query = True
    start, quantity = _ints(req, first)
    req.results.append(f"count:{len(items)}")
    for item in items[start:start + quantity]:
        req.results.extend(render(item))


# ---- server ----

def q_version(req):
    req.answer(req.sim.version)


def q_info(req):
    lib = req.sim.library
    counts = {"genres": len(lib.genres), "artists": len(lib.artists),
              "albums": len(lib.albums), "songs": len(lib.tracks)}
    if req.word(1) == "total" and req.word(2) in counts:
        req.answer(counts[req.word(2)])


def q_pref(req):
    name = req.word(1)
    if name is None:
        return
    if req.word(2) == "?":
        prefs = req.sim.__dict__.setdefault("prefs", dict(PREFS))
        if name == "audiodir" and not prefs["audiodir"]:
            prefs["audiodir"] = req.sim.library.root + "/Music"
        req.answer(prefs.get(name, ""))
    elif req.word(2) is not None:
        req.sim.__dict__.setdefault("prefs", dict(PREFS))[name] = req.word(2)


def q_player(req):
    what, players = req.word(1), req.sim.player_list()
    if what == "count" and req.word(2) == "?":
        req.answer(len(players))
        return
    try:
        player = players[int(req.word(2, "-1"))]
    except (ValueError, IndexError):
        player = req.sim.find_player(req.word(2))
    if player is None or req.word(3) != "?":
        return
    values = {"id": player.mac, "uuid": "", "name": player.name, "ip": player.ip,
              "model": MODELS.get(player.device, ""),
              "displaytype": DISPLAY_TYPES.get(player.device, "none")}
    if what in values:
        req.answer(values[what])


def q_players(req):
    players = req.sim.player_list()
    start, _ = _ints(req)

    def render(player):
        index = players.index(player)
        return [f"playerindex:{index}", f"playerid:{player.mac}", f"ip:{player.ip}",
                f"name:{player.name}", f"model:{MODELS.get(player.device, '')}",
                f"displaytype:{DISPLAY_TYPES.get(player.device, 'none')}",
                f"connected:{1 if player.connected else 0}"]
    _page(req, players, render)


def q_rescan(req):
    req.answer(0)


def q_can(req):
    probe = type(req)(req.sim, req.conn, [w for w in req.words[1:] if w != "?"])
    from . import clicommands
    known = bool(probe.words) and (find(probe) or clicommands.find(probe)) is not None
    req.answer(1 if known else 0)


# ---- library ----

def q_genres(req):
    items = req.sim.library.genres_matching(
        artist_id=req.tag_int("artist_id"), album_id=req.tag_int("album_id"),
        search=req.tags.get("search"))
    _page(req, items, lambda g: [f"id:{g.id}", f"genre:{g.name}"])


def q_artists(req):
    items = req.sim.library.artists_matching(
        genre_id=req.tag_int("genre_id"), album_id=req.tag_int("album_id"),
        search=req.tags.get("search"))
    _page(req, items, lambda a: [f"id:{a.id}", f"artist:{a.name}"])


ALBUM_TAGS = {"l": lambda a: ("album", a.name), "y": lambda a: ("year", a.year or ""),
              "j": lambda a: ("artwork_track_id", _art_track(a)),
              "t": lambda a: ("title", a.name), "a": lambda a: ("artist", a.artist.name)}


def _art_track(album):
    if album.cover is None or not album.tracks:
        return ""
    return min(album.tracks, key=lambda t: (t.tracknum, t.id)).id


def q_albums(req):
    items = req.sim.library.albums_matching(
        genre_id=req.tag_int("genre_id"), artist_id=req.tag_int("artist_id"),
        year=req.tag_int("year"), search=req.tags.get("search"))
    letters = req.tags.get("tags", "l")
    if req.sim.era < 7:
        letters = letters.replace("a", "")

    def render(album):
        fields = [f"id:{album.id}"]
        for letter in letters:
            if letter in ALBUM_TAGS:
                key, value = ALBUM_TAGS[letter](album)
                if value != "":
                    fields.append(f"{key}:{number(value)}")
        return fields
    _page(req, items, render)


def q_titles(req):
    sort = req.tags.get("sort")
    items = req.sim.library.titles_matching(
        sort=sort, genre_id=req.tag_int("genre_id"), artist_id=req.tag_int("artist_id"),
        album_id=req.tag_int("album_id"), year=req.tag_int("year"),
        search=req.tags.get("search"))
    letters = req.tags.get("tags", DEFAULT_TITLES_TAGS)
    if sort == "tracknum" and "t" not in letters:
        letters += "t"
    _page(req, items, lambda t: pairs(track_fields(t, letters)))


def q_playlists(req):
    lib = req.sim.library
    if req.word(1) == "tracks":
        playlist = lib.playlists.get(req.tag_int("playlist_id"))
        tracks = playlist.tracks if playlist else []
        letters = req.tags.get("tags", DEFAULT_TITLES_TAGS)
        indexed = list(enumerate(tracks))
        _page(req, indexed, lambda it: [f"playlist index:{it[0]}"]
              + pairs(track_fields(it[1], letters)), first=2)
        return
    items = lib.playlists_matching(search=req.tags.get("search"))
    with_url = "u" in req.tags.get("tags", "")
    _page(req, items, lambda p: [f"id:{p.id}", f"playlist:{p.name}"]
          + ([f"url:{p.url}"] if with_url else []))


def q_years(req):
    _page(req, req.sim.library.years(), lambda y: [f"year:{y}"])


def q_songinfo(req):
    req.query = True
    track = req.sim.library.tracks.get(req.tag_int("track_id"))
    if track is None:
        return
    start, quantity = _ints(req)
    fields = track_fields(track, req.tags.get("tags", DEFAULT_SONGINFO_TAGS))
    req.results.append(f"count:{len(fields)}")
    req.results.extend(pairs(fields[start:start + quantity]))


# ---- player ----

def q_status(req):
    req.query = True
    player = req.player
    req.results.extend(_status_header(req.sim, player))
    if not player.power:
        return
    playlist = player.playlist
    letters = req.tags.get("tags", DEFAULT_TITLES_TAGS)
    first = req.word(1, "0")
    try:
        start = playlist.index if first == "-" else max(0, int(first))
        quantity = max(0, int(req.word(2, "0")))
    except ValueError:
        return
    for index in range(start, min(len(playlist), start + quantity)):
        req.results.append(f"playlist index:{index}")
        req.results.extend(pairs(track_fields(playlist.track_at(index), letters)))


def _status_header(sim, player):
    era7 = sim.era >= 7
    fields = [f"player_name:{player.name}",
              f"player_connected:{1 if player.connected else 0}"]
    if era7:
        fields.append(f"player_ip:{player.ip}")
    fields.append(f"power:{player.power}")
    if not player.power:
        return fields
    fields.append(f"mode:{player.mode}")
    current = player.playlist.current()
    if current is not None:
        if getattr(current, "remote", 0):
            fields += ["remote:1", f"current_title:{current.current_title}"]
        fields += [f"time:{number(round(player.elapsed(), 7))}", f"rate:{player.rate}"]
        if current.duration:
            fields.append(f"duration:{number(current.duration)}")
        if era7:
            fields.append("can_seek:1")
    fields.append(f"mixer volume:{number(player.volume)}")
    fields += [f"playlist repeat:{player.playlist.repeat}",
               f"playlist shuffle:{player.playlist.shuffle}"]
    if era7:
        fields += ["playlist mode:off", "seq_no:0"]
    if len(player.playlist):
        fields.append(f"playlist_cur_index:{player.playlist.index}")
    if era7:
        fields.append(f"playlist_timestamp:{number(round(sim.started, 3))}")
    fields.append(f"playlist_tracks:{len(player.playlist)}")
    return fields


SERVER = {"version": q_version, "info": q_info, "pref": q_pref, "player": q_player,
          "players": q_players, "rescan": q_rescan, "can": q_can, "genres": q_genres,
          "artists": q_artists, "albums": q_albums, "titles": q_titles,
          "songs": q_titles, "tracks": q_titles, "playlists": q_playlists,
          "years": q_years, "songinfo": q_songinfo}
PLAYER = {"status": q_status}


def find(req):
    word = req.words[0]
    if req.player is not None and word in PLAYER:
        return PLAYER[word]
    return SERVER.get(word)
