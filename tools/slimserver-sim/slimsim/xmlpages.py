"""Pages of the "xml" skin: browsedb.xml, browsetree.xml and status.xml."""

import urllib.parse
from xml.sax.saxutils import escape

NS = "http://www.slimdevices.com/slimserver/xml"
ITEMS_PER_PAGE = 50
LEVELS = {"genre": ("genre.id", "BROWSE_BY_GENRE", "Browse Genres"),
          "contributor": ("contributor.id", "BROWSE_BY_ARTIST", "Browse Artists"),
          "album": ("album.id", "BROWSE_BY_ALBUM", "Browse Albums"),
          "artwork": ("album.id", "BROWSE_BY_ARTWORK", "Browse Artwork"),
          "year": ("year.id", "BROWSE_BY_YEAR", "Browse Years"),
          "track": ("track.id", "BROWSE_BY_SONG", "Browse Songs")}


def el(name, text):
    return f"<{name}>{escape(str(text))}</{name}>"


def cdata(name, text):
    return f"<{name}><![CDATA[{text}]]></{name}>"


def _paging(query, total):
    try:
        start = max(0, int(query.get("start", "0") or 0))
        per_page = max(1, int(query.get("itemsPerPage", ITEMS_PER_PAGE) or ITEMS_PER_PAGE))
    except ValueError:
        start, per_page = 0, ITEMS_PER_PAGE
    offsets = ""
    if total > per_page:
        last_on_page = min(total, start + per_page) - 1
        offsets = ("<offsets>" + el("from", start) + el("to", max(start, last_on_page))
                   + el("last", total - 1) + "</offsets>")
    return start, per_page, offsets


def _document(root, parts):
    return ('<?xml version="1.0" encoding="utf-8" standalone="no"?>\n'
            f'<!DOCTYPE {root} SYSTEM "html/slimserver_xml.dtd">\n'
            f'<{root} xmlns="{NS}">\n' + "\n".join(p for p in parts if p) + f"\n</{root}>\n")


def song_xml(track):
    parts = [el("song_id", track.id), el("title", track.title),
             el("genre_id", track.genre.id), el("genre", track.genre.name),
             cdata("genre_browse_url", "/xml/browsedb.xml?hierarchy=genre%2Ccontributor%2Calbum"
                   f"%2Ctrack&level=1&genre.id={track.genre.id}"),
             el("artist_id", track.artist.id), el("artist", track.artist.name),
             cdata("artist_browse_url", "/xml/browsedb.xml?hierarchy=contributor%2Calbum"
                   f"%2Ctrack&level=1&contributor.id={track.artist.id}"),
             el("album_id", track.album.id), el("album", track.album.name),
             cdata("album_browse_url", "/xml/browsedb.xml?hierarchy=album%2Ctrack&level=1"
                   f"&album.id={track.album.id}")]
    if track.tracknum:
        parts.append(el("track", track.tracknum))
    parts += [el("type", track.content_type), el("duration", track.duration)]
    if track.year:
        parts.append(el("year", track.year))
    parts += [el("comment", track.comment), el("filelength", track.filesize),
              el("bitrate", track.bitrate), cdata("song_url", track.url),
              cdata("info_url", f"/xml/songinfo.xml?item={track.id}"),
              cdata("path", track.path or "")]
    if track.has_cover:
        parts.append(cdata("coverart", f"/music/{track.id}/cover.jpg"))
    parts.append(el("mixable", 1))
    return "<song>" + "".join(parts) + "</song>"


def _song_entry(track, attrs):
    return ("<browse_entry>" + el("entry_type", "song") + el("entry_name", track.title)
            + el("entry_id", track.id)
            + cdata("browse_url", f"xml/songinfo.xml?item={track.id}")
            + cdata("replace_url", f"status.xml?command=playlist&subcommand=loadtracks{attrs}")
            + cdata("append_url", f"status.xml?command=playlist&subcommand=addtracks{attrs}")
            + song_xml(track) + "</browse_entry>")


# ---- browsedb ----

def _filters(query):
    def number(key):
        try:
            return int(query[key])
        except (KeyError, ValueError):
            return None
    return {"genre_id": number("genre.id"), "artist_id": number("contributor.id"),
            "album_id": number("album.id"), "year": number("year.id")}


def _level_items(lib, name, filters):
    f = filters
    if name == "genre":
        return lib.genres_matching(artist_id=f["artist_id"], album_id=f["album_id"])
    if name == "contributor":
        return lib.artists_matching(genre_id=f["genre_id"], album_id=f["album_id"])
    if name == "album":
        return lib.albums_matching(genre_id=f["genre_id"], artist_id=f["artist_id"],
                                   year=f["year"])
    if name == "artwork":
        return lib.artwork_albums()
    if name == "year":
        return lib.years()
    return lib.titles_matching(sort="tracknum" if f["album_id"] else None, **f)


def _attrs(query):
    keys = ("genre.id", "contributor.id", "album.id", "year.id")
    return "".join(f"&{k}={query[k]}" for k in keys if query.get(k))


def _artwork_entry(album, base_attrs):
    attrs = base_attrs + f"&album.id={album.id}"
    art = min(album.tracks, key=lambda t: (t.tracknum, t.id))
    name = album.name + (f" BY {album.artist.name}" if album.artist else "")
    name += f" ({album.year})" if album.year else ""
    return ("<browse_entry>" + el("entry_type", "coverart") + el("entry_name", name)
            + el("entry_id", album.id)
            + cdata("browse_url", f"/xml/browsedb.xml?hierarchy=artwork%2Ctrack&level=1{attrs}")
            + cdata("replace_url", f"/xml/status.xml?command=playlist&subcommand=loadtracks{attrs}")
            + cdata("append_url", f"/xml/status.xml?command=playlist&subcommand=addtracks{attrs}")
            + cdata("coverart", f"/music/{art.id}/cover.jpg")
            + cdata("coverart_thumb", f"/music/{art.id}/cover.jpg") + "</browse_entry>")


def _dir_entry(item, level_name, hierarchy, level, base_attrs):
    key = LEVELS[level_name][0]
    value = item if level_name == "year" else item.id
    name = str(item) if level_name == "year" else item.name
    attrs = base_attrs + f"&{key}={value}"
    url = f"xml/browsedb.xml?hierarchy={hierarchy}&level={level + 1}{attrs}"
    return ("<browse_entry>" + el("entry_type", level_name) + el("entry_name", name)
            + el("entry_id", value) + cdata("browse_url", url)
            + cdata("replace_url", f"status.xml?command=playlist&subcommand=loadtracks{attrs}")
            + cdata("append_url", f"status.xml?command=playlist&subcommand=addtracks{attrs}")
            + "<dir>" + el("dir_name", name) + cdata("dir_browse_url", url)
            + el(level_name, name) + "</dir></browse_entry>")


def browsedb(sim, request):
    lib, query = sim.library, request.query
    names = [n for n in query.get("hierarchy", "track").split(",") if n in LEVELS] or ["track"]
    try:
        level = min(max(0, int(query.get("level", "0"))), len(names) - 1)
    except ValueError:
        level = 0
    name = names[level]
    items = _level_items(lib, name, _filters(query))
    start, per_page, offsets = _paging(query, len(items))
    hierarchy = urllib.parse.quote(",".join(names), safe="")
    base = _attrs(query)
    entries = []
    for item in items[start:start + per_page]:
        if name == "artwork":
            entries.append(_artwork_entry(item, base))
        elif name == "track":
            entries.append(_song_entry(item, base + f"&track.id={item.id}"))
        else:
            entries.append(_dir_entry(item, name, hierarchy, level, base))
    counts = [el("song_count", f"{len(lib.tracks)} songs"),
              el("artist_count", f"{len(lib.artists)} artists"),
              el("album_count", f"{len(lib.albums)} albums")]
    locator = ("<location><locator>" + el("locator_name", LEVELS[names[0]][2])
               + cdata("locator_url", f"xml/browsedb.xml?hierarchy={hierarchy}&level=0")
               + "</locator></location>")
    return _document("browse", counts + [el("browseby", LEVELS[names[0]][1]), locator,
                                         offsets] + entries)


# ---- browsetree ----

def _tree_entry(item):
    q = urllib.parse.quote
    if hasattr(item, "folders"):
        hierarchy = item.hierarchy()
        url = "file://" + q(item.path, safe="/")
        browse = f"xml/browsetree.xml?hierarchy={hierarchy}"
        return ("<browse_entry>" + el("entry_type", "dir") + el("entry_name", item.name)
                + el("entry_id", item.id) + cdata("browse_url", browse)
                + cdata("replace_url", f"status.xml?p0=playlist&p1=play&p2={q(url, safe='')}")
                + cdata("append_url", f"status.xml?p0=playlist&p1=add&p2={q(url, safe='')}")
                + "<dir>" + el("dir_name", item.name) + el("dir_hierarchy", hierarchy)
                + cdata("dir_url", url) + cdata("dir_browse_url", browse) + "</dir>"
                + "</browse_entry>")
    url = q(item.url, safe="")
    return ("<browse_entry>" + el("entry_type", "song") + el("entry_name", item.title)
            + el("entry_id", item.id)
            + cdata("browse_url", f"xml/songinfo.xml?item={item.id}")
            + cdata("replace_url", f"status.xml?p0=playlist&p1=play&p2={url}")
            + cdata("append_url", f"status.xml?p0=playlist&p1=add&p2={url}")
            + song_xml(item) + "</browse_entry>")


def browsetree(sim, request):
    tree = sim.library.folders
    folder = tree.find(request.query.get("hierarchy", ""))
    if folder is None:
        return _document("browse", [])
    items = folder.entries()
    start, per_page, offsets = _paging(request.query, len(items))
    locators = ["<locator>" + el("locator_name", "Music Folder")
                + cdata("locator_url", "xml/browsetree.xml?hierarchy=") + "</locator>"]
    for node in folder.chain():
        locators.append("<locator>" + el("locator_name", node.name)
                        + cdata("locator_url", f"xml/browsetree.xml?hierarchy={node.hierarchy()}")
                        + "</locator>")
    parts = [el("browseby", "BROWSE_BY_MUSIC_FOLDER"),
             "<location>" + "".join(locators) + "</location>", offsets]
    parts += [_tree_entry(item) for item in items[start:start + per_page]]
    return _document("browse", parts)


# ---- status ----

def status_xml(sim, request):
    player = request.player()
    players = sim.player_list()
    listing = "<players>" + el("playercount", len(players)) + "".join(
        "<player>" + ("<is_described/>" if p is player else "") + el("player_id", p.mac)
        + el("player_name", p.name) + "</player>" for p in players) + "</players>"
    if player is None:
        return _document("status", [listing])
    playlist = player.playlist
    mode = player.mode
    transport = ("<transport>" + el("mode", mode)
                 + el("playmode", {"play": "playing", "pause": "paused", "stop": "stopped"}[mode])
                 + {"play": "<playing/>", "pause": "<paused/>", "stop": "<stopped/>"}[mode]
                 + el("rate", player.rate) + "</transport>")
    parts = [listing, "<player_status>" + transport + _current_xml(player)
             + "<audio>" + el("volume", int(player.volume)) + "</audio></player_status>"]
    if len(playlist):
        parts.append("<playlist>" + "".join(
            "<status_entry>" + el("offset", i)
            + ("<playing_now/>" if i == playlist.index else "") + song_xml(t)
            + "</status_entry>" for i, t in enumerate(playlist.tracks())) + "</playlist>")
    return _document("status", parts)


def _current_xml(player):
    track = player.playlist.current()
    if track is None:
        return ""
    return ("<current_song>" + el("playlist_offset", player.playlist.index)
            + el("playlist_length", len(player.playlist))
            + el("seconds_elapsed", int(player.elapsed()))
            + el("seconds_total", int(track.duration)) + el("current_title", track.title)
            + song_xml(track) + "</current_song>")
