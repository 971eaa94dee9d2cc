"""The 320x32 player display: a two-line screen drawn with a bitmap font
and sent as grfe frames, with the Now Playing screen and a small menu."""

import unicodedata

from . import frames
from .font import GLYPHS, HEIGHT, WIDTH

COLUMNS, ROWS = 320, 32


class Bitmap:
    """Pixels of the display; the frame is column-major, 4 bytes a column,
    the top pixel in the most significant bit."""

    def __init__(self):
        self.data = bytearray(COLUMNS * ROWS // 8)

    def set(self, x, y):
        if 0 <= x < COLUMNS and 0 <= y < ROWS:
            self.data[x * 4 + y // 8] |= 0x80 >> (y % 8)

    def get(self, x, y):
        return bool(self.data[x * 4 + y // 8] & (0x80 >> (y % 8)))

    def text(self, x, y, text, scale=1):
        """Draws text from (x, y); returns the x after the last glyph."""
        for char in to_ascii(text):
            glyph = GLYPHS.get(ord(char), GLYPHS[ord("?")])
            for column in range(WIDTH):
                bits = glyph[column]
                for row in range(HEIGHT):
                    if bits & (1 << row):
                        self._block(x + column * scale, y + row * scale, scale)
            x += (WIDTH + 1) * scale
            if x >= COLUMNS:
                break
        return x

    def _block(self, x, y, scale):
        for dx in range(scale):
            for dy in range(scale):
                self.set(x + dx, y + dy)


def to_ascii(text):
    plain = unicodedata.normalize("NFKD", str(text))
    return "".join(c if 32 <= ord(c) < 127 else ("" if unicodedata.combining(c) else "?")
                   for c in plain)


def text_width(text, scale=1):
    return len(to_ascii(text)) * (WIDTH + 1) * scale


def render(line1, line2, overlay=""):
    bitmap = Bitmap()
    bitmap.text(0, 0, line1)
    if overlay:
        bitmap.text(COLUMNS - text_width(overlay) + 1, 0, overlay)
    bitmap.text(0, 14, line2, scale=2)
    return bitmap


def clock(seconds):
    seconds = int(seconds)
    return "%d:%02d" % (seconds // 60, seconds % 60)


class PlayerUI:
    """What the player's screen shows, and how the arrows move through it."""

    def __init__(self, player):
        self.player = player
        self.menus = []             # stack of Menu; empty = Now Playing
        self.shown_second = None

    # ---- screens ----

    def lines(self):
        if self.menus:
            return self.menus[-1].lines()
        return self._now_playing()

    def _now_playing(self):
        player = self.player
        playlist = player.playlist
        track = playlist.current()
        if track is None:
            return "Now Playing", "Nothing playing", ""
        label = {"play": "Now Playing", "pause": "Paused", "stop": "Stopped"}[player.mode]
        position = f"{label} ({playlist.index + 1} of {len(playlist)})"
        overlay = clock(player.elapsed()) if player.mode != "stop" else ""
        return position, track.title, overlay

    def redraw(self, transition="c"):
        player = self.player
        if player.power:
            bitmap = render(*self.lines())
        else:
            bitmap = Bitmap()
        self.shown_second = int(player.elapsed())
        player.send("grfe", frames.grfe(bitmap.data, transition))

    def tick(self):
        """Redraws Now Playing when the elapsed second shown changed."""
        if not self.menus and self.player.mode == "play" and self.player.power:
            if int(self.player.elapsed()) != self.shown_second:
                self.redraw()

    # ---- keys ----

    def handle(self, function):
        from .menus import home_menu
        if not self.menus:
            if function in ("left", "home", "browse", "playdisp_toggle"):
                self.menus.append(home_menu(self.player))
                self.redraw("r")
                return True
            if function in ("right", "up", "down"):
                self.redraw({"right": "R", "up": "U", "down": "D"}[function])
                return True
            return False
        return self._in_menu(function)

    def _in_menu(self, function):
        menu = self.menus[-1]
        if function in ("home", "playdisp_toggle"):
            self.menus = []
            self.redraw("l")
        elif function in ("up", "down"):
            moved = menu.move(-1 if function == "up" else 1)
            self.redraw("c" if moved else {"up": "U", "down": "D"}[function])
        elif function == "left":
            self.menus.pop()
            self.redraw("r")
        elif function == "right":
            self._enter(menu)
        elif function in ("play", "add"):
            return self._play(menu, function)
        else:
            return False
        return True

    def _enter(self, menu):
        child = menu.open()
        if child is None:
            self.redraw("R")
        elif child == "nowplaying":
            self.menus = []
            self.redraw("l")
        else:
            self.menus.append(child)
            self.redraw("l")

    def _play(self, menu, function):
        tracks = menu.tracks()
        if not tracks:
            return False
        from .clicommands import _apply
        _apply(self.player, "play" if function == "play" else "add", tracks)
        self.player.notify("playlist", "loadtracks" if function == "play" else "addtracks",
                           "listRef", "ARRAY(0x8a3c2d0)")
        if function == "play":
            self.menus = []
            self.redraw("l")
        return True
