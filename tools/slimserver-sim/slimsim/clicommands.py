"""CLI commands addressed to a player (and its "?" queries)."""

import os
import urllib.parse

from .library import Playlist as SavedPlaylist, sort_key
from .radio import is_remote
from .tags import number


def _query_or(req, position, value, setter):
    """`word ?` answers `value`; any other word is handed to `setter`."""
    word = req.word(position)
    if word == "?":
        req.answer(value)
    else:
        setter(word)


def c_play(req):
    req.player.play()


def c_stop(req):
    req.player.stop()


def c_pause(req):
    word = req.word(1)
    req.player.pause(None if word is None else word == "1")


def c_mode(req):
    player = req.player
    actions = {"play": player.play, "stop": player.stop,
               "pause": lambda: player.pause(True)}
    _query_or(req, 1, player.mode, lambda w: actions.get(w, lambda: None)())


def c_time(req):
    player = req.player
    _query_or(req, 1, number(round(player.elapsed(), 7)),
              lambda w: player.seek(w) if w is not None else None)


def c_rate(req):
    player = req.player

    def set_rate(word):
        try:
            player.rate = int(float(word))
        except (TypeError, ValueError):
            pass
    _query_or(req, 1, player.rate, set_rate)


def c_power(req):
    player = req.player

    def set_power(word):
        player.set_power(not player.power if word is None else word == "1")
    _query_or(req, 1, player.power, set_power)


def c_mixer(req):
    player = req.player
    what = req.word(1)
    if what == "volume":
        _query_or(req, 2, number(player.volume),
                  lambda w: player.set_volume(w) if w is not None else None)
    elif what in ("bass", "treble", "pitch") and req.word(2) == "?":
        req.answer(100 if what == "pitch" else 50)
    elif what == "muting":
        player.set_volume("0" if player.volume else "50")


def _remote(track):
    return getattr(track, "remote", 0)


def _current_title(track):
    return getattr(track, "current_title", track.title)


def c_song_field(req):
    track = req.player.playlist.current()
    what = req.words[0]
    if req.word(1) != "?":
        return
    values = {"title": lambda t: t.title, "artist": lambda t: t.artist.name,
              "album": lambda t: t.album.name, "genre": lambda t: t.genre.name,
              "duration": lambda t: number(t.duration), "path": lambda t: t.url,
              "remote": _remote, "current_title": _current_title}
    req.answer(values[what](track) if track else (0 if what in ("remote", "duration") else ""))


def c_simple_query(req):
    player = req.player
    values = {"signalstrength": 0, "connected": 1 if player.connected else 0,
              "name": player.name, "sleep": 0, "sync": "-", "linesperscreen": 2,
              "displaynow": "", "playerpref": ""}
    word = req.words[0]
    if req.word(1) == "?":
        req.answer(values.get(word, ""))
    elif word == "name" and req.word(1) is not None:
        player.name = req.word(1)


def c_button(req):
    req.sim.remote.on_button(req.player, req.word(1, ""))


def c_ir(req):
    try:
        ticks = int(float(req.word(2, "0")) * 1000)
    except ValueError:
        ticks = 0
    req.sim.remote.on_ir(req.player, ticks, req.word(1, "").lower())


def c_display(req):
    ui = req.player.ui
    lines = ui.lines() if ui is not None else ("", "")
    if req.word(1) == "?":
        req.answer(lines[0])
        if req.word(2) == "?":
            req.answer(lines[1])


# ---- playlists ----

def tracks_for_item(sim, item):
    """Tracks a path, file URL, folder or saved playlist names."""
    lib = sim.library
    path = item
    if item.startswith("file://"):
        path = urllib.parse.unquote(item[7:])
    for playlist in lib.playlists.values():
        if item in (playlist.url, playlist.path, playlist.name):
            return list(playlist.tracks)
    path = os.path.normpath(path)
    found = [t for t in lib.tracks.values() if t.path and
             (t.path == path or t.path.startswith(path.rstrip("/") + "/"))]
    return sorted(found, key=lambda t: t.path)


def tracks_for_ids(sim, req):
    lib = sim.library
    if "playlist_id" in req.tags:
        playlist = lib.playlists.get(req.tag_int("playlist_id"))
        return list(playlist.tracks) if playlist else []
    if "track_id" in req.tags:
        ids = [int(x) for x in req.tags["track_id"].split(",") if x.strip().isdigit()]
        return [lib.tracks[i] for i in ids if i in lib.tracks]
    if "folder_id" in req.tags:
        folder = lib.folders.by_id.get(req.tag_int("folder_id"))
        return tracks_for_item(sim, folder.path) if folder else []
    year = req.tag_int("year_id") if "year_id" in req.tags else req.tag_int("year")
    found = lib.tracks_matching(genre_id=req.tag_int("genre_id"),
                                artist_id=req.tag_int("artist_id"),
                                album_id=req.tag_int("album_id"), year=year)
    return sorted(found, key=lambda t: (t.album.sortkey, t.album.id, t.tracknum, t.id))


def _apply(player, how, tracks):
    playlist = player.playlist
    was_empty = not playlist
    if how in ("load", "play"):
        player.stop()
        playlist.load(tracks)
        if tracks:
            player.start(0)
        return
    if how == "insert":
        playlist.insert(tracks)
    elif how == "delete":
        keep = [t for t in playlist.tracks() if t not in tracks]
        current = playlist.current()
        playlist.load(keep)
        if current in keep:
            playlist.index = keep.index(current)
        player.playlist_changed(current not in keep)
        return
    else:
        playlist.add(tracks)
    if was_empty:
        playlist.index = 0
    player.redraw()


def c_playlistcontrol(req):
    how = req.tags.get("cmd", "")
    if how not in ("add", "insert", "load", "delete"):
        return
    tracks = tracks_for_ids(req.sim, req)
    _apply(req.player, how, tracks)
    req.results.append(f"count:{len(tracks)}")
    internal = {"add": "addtracks", "insert": "inserttracks", "load": "loadtracks",
                "delete": "deletetracks"}[how]
    req.player.notify("playlist", internal, "listRef", "ARRAY(0x8a3c2d0)")


def c_playlist(req):
    sub = req.word(1)
    handler = PLAYLIST.get(sub)
    if handler is not None:
        handler(req, req.player, req.player.playlist)


def _pl_items(how):
    def run(req, player, playlist):
        item = req.word(2)
        if is_remote(item):
            _apply(player, how, [req.sim.radio.item(item, req.word(3))])
        elif item:
            _apply(player, how, tracks_for_item(req.sim, item))
    return run


def _pl_index(req, player, playlist):
    _query_or(req, 2, playlist.index, lambda w: player.jump(w) if w else None)


def _pl_delete(req, player, playlist):
    try:
        index = int(req.word(2, ""))
    except ValueError:
        return
    playing = index == playlist.index
    if playlist.delete(index):
        player.playlist_changed(playing)


def _pl_move(req, player, playlist):
    try:
        playlist.move(int(req.word(2, "")), int(req.word(3, "")))
    except ValueError:
        return
    player.redraw()


def _pl_clear(req, player, playlist):
    player.stop()
    playlist.clear()
    player.redraw()


def _pl_mode(attribute, toggle):
    def run(req, player, playlist):
        current = getattr(playlist, attribute)
        word = req.word(2)
        if word == "?":
            req.answer(current)
            return
        try:
            value = toggle(current) if word is None else int(word)
        except ValueError:
            return
        if attribute == "shuffle":
            playlist.set_shuffle(value)
        else:
            playlist.repeat = max(0, min(2, value))
        player.redraw()
    return run


def _pl_tracks(req, player, playlist):
    if req.word(2) == "?":
        req.answer(len(playlist))


def _pl_item_field(req, player, playlist):
    fields = {"title": lambda t: t.title, "artist": lambda t: t.artist.name,
              "album": lambda t: t.album.name, "genre": lambda t: t.genre.name,
              "duration": lambda t: number(t.duration), "path": lambda t: t.url,
              "remote": _remote}
    try:
        track = playlist.track_at(int(req.word(2, "")))
    except ValueError:
        return
    if req.word(3) == "?":
        req.answer(fields[req.word(1)](track) if track else "")


def _pl_save(req, player, playlist):
    name = req.word(2)
    if not name:
        return
    lib = req.sim.library
    new_id = max(list(lib.playlists) + list(lib.folders.by_id)) + 1
    saved = SavedPlaylist(new_id, name, sort_key(name),
                          path=os.path.join(lib.root, "Playlists", name + ".m3u"))
    saved.tracks = playlist.tracks()
    lib.playlists[new_id] = saved


PLAYLIST = {"play": _pl_items("play"), "load": _pl_items("play"),
            "add": _pl_items("add"), "append": _pl_items("add"),
            "insert": _pl_items("insert"), "index": _pl_index, "jump": _pl_index,
            "delete": _pl_delete, "move": _pl_move, "clear": _pl_clear,
            "shuffle": _pl_mode("shuffle", lambda v: 0 if v else 1),
            "repeat": _pl_mode("repeat", lambda v: (v + 1) % 3),
            "tracks": _pl_tracks, "save": _pl_save}
for _field in ("title", "artist", "album", "genre", "duration", "path", "remote"):
    PLAYLIST[_field] = _pl_item_field

COMMANDS = {"play": c_play, "stop": c_stop, "pause": c_pause, "mode": c_mode,
            "time": c_time, "gototime": c_time, "rate": c_rate, "power": c_power,
            "mixer": c_mixer, "playlist": c_playlist,
            "playlistcontrol": c_playlistcontrol, "button": c_button, "ir": c_ir,
            "display": c_display}
for _word in ("title", "artist", "album", "genre", "duration", "path", "remote",
              "current_title"):
    COMMANDS[_word] = c_song_field
for _word in ("signalstrength", "connected", "name", "sleep", "sync", "linesperscreen"):
    COMMANDS[_word] = c_simple_query


def find(req):
    if req.player is None:
        return None
    return COMMANDS.get(req.words[0])
