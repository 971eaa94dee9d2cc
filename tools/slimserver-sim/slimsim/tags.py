"""Track fields as the CLI reports them for each tag letter."""

import time

DEFAULT_TITLES_TAGS = "gald"
DEFAULT_SONGINFO_TAGS = "adefgklnoprstvyuj"


def _number(value):
    """Floats as the server prints them: no trailing ".0"."""
    if isinstance(value, float):
        text = repr(value)
        return text[:-2] if text.endswith(".0") else text
    return str(value)


def _mtime(track):
    if not track.path:
        return ""
    stamp = time.localtime(1167685318 + track.id)   # fixed, so replies stay stable
    return time.strftime("%A, %B %-d, %Y, %-I:%M:%S %p", stamp)


def _tagversion(track):
    return {"mp3": "ID3v2.3.0", "flac": "VC", "wma": "ASF"}.get(track.fmt, "")


FIELDS = {
    "a": ("artist", lambda t: t.artist.name),
    "b": ("band", lambda t: ""),
    "c": ("composer", lambda t: ""),
    "d": ("duration", lambda t: _number(t.duration) if t.duration else ""),
    "e": ("album_id", lambda t: t.album.id),
    "f": ("filesize", lambda t: t.filesize or ""),
    "g": ("genre", lambda t: t.genre.name),
    "h": ("conductor", lambda t: ""),
    "i": ("disc", lambda t: ""),
    "j": ("coverart", lambda t: 1 if t.has_cover else ""),
    "k": ("comment", lambda t: t.comment),
    "l": ("album", lambda t: t.album.name),
    "m": ("bpm", lambda t: ""),
    "n": ("modificationTime", _mtime),
    "o": ("type", lambda t: t.content_type),
    "p": ("genre_id", lambda t: t.genre.id),
    "q": ("disccount", lambda t: ""),
    "r": ("bitrate", lambda t: t.bitrate),
    "s": ("artist_id", lambda t: t.artist.id),
    "t": ("tracknum", lambda t: t.tracknum or ""),
    "u": ("url", lambda t: t.url),
    "v": ("tagversion", _tagversion),
    "y": ("year", lambda t: t.year or ""),
    "z": ("drm", lambda t: ""),
}


def track_fields(track, tags):
    """id, title, then one field per tag letter in the order given;
    empty values are left out."""
    fields = [("id", track.id), ("title", track.title)]
    for letter in tags:
        spec = FIELDS.get(letter)
        if spec is None:
            continue
        value = spec[1](track)
        if value != "" and value is not None:
            fields.append((spec[0], value))
    return fields


def pairs(fields):
    return [f"{k}:{_number(v)}" for k, v in fields]


def number(value):
    return _number(value)
