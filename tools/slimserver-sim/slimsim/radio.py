"""Internet-radio items: a URL put in a playlist becomes a remote item.

Its title is the URL (or the title given with it) until a station name is
known; the stream title the station announces is the item's "current
title", which `status` reports as `current_title` next to `remote:1`.

Playback goes through the simulator itself (proxied, as the server does for
streams it transcodes): the player is told to fetch `/stream.mp3?player=MAC`
from the web port, and gets an endless 16-bit stereo 44.1 kHz PCM sine
tone. The tone's frequency is the URL's `hz` query value (default 1000),
and a `seconds` query value ends the stream after that many seconds. The
URL itself is never fetched, so any address is safe to name. The same tone
is also served at `/radio/<anything>` on the web port.
"""

import array
import math
import sys
import urllib.parse
from dataclasses import dataclass

from .library import Album, Named, Track

SCHEMES = ("http://", "https://", "mms://", "radioio://")
RATE = 44100
CHANNELS = 2
DEFAULT_HZ = 1000.0
FIRST_ID = 10_000_000


def is_remote(item):
    return isinstance(item, str) and item.lower().startswith(SCHEMES)


def _query_number(query, name, default, low, high):
    try:
        value = float(query.get(name, [default])[0])
    except (TypeError, ValueError):
        return default
    return value if low <= value <= high else default


@dataclass(eq=False)
class RadioItem(Track):
    link: str = ""
    stream_title: str = ""     # the station's announced title; "" until known
    hz: float = DEFAULT_HZ
    seconds: float = 0.0       # 0 = endless

    remote = 1

    @property
    def url(self):
        return self.link

    @property
    def current_title(self):
        return self.stream_title or self.title


class Radio:
    """The remote items the server knows, one per URL (like its database,
    where the current title is kept per URL)."""

    def __init__(self):
        self.items = {}
        self._tones = {}

    def item(self, url, title=None):
        found = self.items.get(url)
        if found is None:
            query = urllib.parse.parse_qs(urllib.parse.urlsplit(url).query)
            empty = Named("", "")
            found = RadioItem(
                id=FIRST_ID + len(self.items), title=title or url, artist=empty,
                album=Album("", ""), genre=empty, year=0, tracknum=0, duration=0.0,
                fmt="wav", link=url, hz=_query_number(query, "hz", DEFAULT_HZ, 20, 20000),
                seconds=_query_number(query, "seconds", 0.0, 0, 86400))
            self.items[url] = found
        elif title:
            found.title = title
        return found

    def tone(self, hz):
        """One second of the tone as little-endian PCM (loops seamlessly for
        whole frequencies)."""
        key = round(hz, 3)
        if key not in self._tones:
            samples = array.array("h")
            for n in range(RATE):
                value = int(12000 * math.sin(2 * math.pi * hz * n / RATE))
                samples.extend((value,) * CHANNELS)
            if sys.byteorder != "little":
                samples.byteswap()
            self._tones[key] = samples.tobytes()
        return self._tones[key]

    async def send(self, sim, item, writer, headers=b""):
        """Writes the response head and the tone until the listener goes
        away or the item's length has been sent."""
        writer.write(b"HTTP/1.0 200 OK\r\nServer: SlimServer (" + sim.version.encode()
                     + b")\r\nContent-Type: audio/L16;rate=44100;channels=2\r\n"
                     + headers + b"Connection: close\r\n\r\n")
        second = self.tone(item.hz)
        left = int(item.seconds * len(second)) // 4 * 4 if item.seconds else None
        sim.log(f"http: radio tone {item.hz:g} Hz for {item.link}")
        try:
            while left is None or left > 0:
                chunk = second if left is None else second[:left]
                writer.write(chunk)
                await writer.drain()
                if left is not None:
                    left -= len(chunk)
        except ConnectionError:
            pass
        return True
