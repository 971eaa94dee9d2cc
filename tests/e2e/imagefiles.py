"""Readers for the two picture formats the end-to-end tests meet: the PNG
files the app writes for the ECP screenshot (8-bit RGB or RGBA, not
interlaced) and the XWD dumps of an X server's root window (32-bit
TrueColor, as Xvfb makes them). Both give an Image of RGB rows."""

import struct
import zlib


class Image:
    def __init__(self, width, height, rows):
        self.width, self.height, self.rows = width, height, rows  # rows: list of bytes, 3 per pixel

    def pixel(self, x, y):
        row = self.rows[y]
        return row[3 * x], row[3 * x + 1], row[3 * x + 2]

    def crop(self, x, y, w, h):
        return Image(w, h, [bytes(self.rows[y + r][3 * x:3 * (x + w)]) for r in range(h)])


def _unfilter(raw, width, height, bpp, max_rows):
    stride = width * bpp
    rows, prev = [], bytearray(stride)
    for y in range(min(height, max_rows)):
        filt = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        if filt == 1:
            for i in range(bpp, stride):
                line[i] = (line[i] + line[i - bpp]) & 255
        elif filt == 2:
            line = bytearray((a + b) & 255 for a, b in zip(line, prev))
        elif filt == 3:
            for i in range(stride):
                a = line[i - bpp] if i >= bpp else 0
                line[i] = (line[i] + (a + prev[i]) // 2) & 255
        elif filt == 4:
            for i in range(stride):
                a = line[i - bpp] if i >= bpp else 0
                b, c = prev[i], prev[i - bpp] if i >= bpp else 0
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(line)
        prev = line
    return rows


def read_png(path, max_rows=1 << 30):
    """The first `max_rows` rows of an 8-bit RGB or RGBA PNG (alpha dropped)."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("%s is not a PNG file" % path)
    pos, idat, width, height, bpp = 8, b"", 0, 0, 0
    while pos + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            if depth != 8 or colour not in (2, 6) or body[12] != 0:
                raise ValueError("%s: unsupported PNG (depth %d, colour type %d)" % (path, depth, colour))
            bpp = 4 if colour == 6 else 3
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    rows = _unfilter(zlib.decompress(idat), width, height, bpp, max_rows)
    if bpp == 4:
        rows = [bytes(b for i, b in enumerate(line) if i % 4 != 3) for line in rows]
    return Image(width, len(rows), [bytes(r) for r in rows])


class XwdImage:
    """Pixels of an XWD dump, decoded when asked for (a full-HD root window
    holds two million of them)."""

    def __init__(self, data, start, width, height, bytes_per_line, pixel_bytes, big, masks):
        self.width, self.height = width, height
        self._data, self._start, self._line, self._bytes = data, start, bytes_per_line, pixel_bytes
        self._order = "big" if big else "little"
        self._shifts = [((m & -m).bit_length() - 1) for m in masks]

    def pixel(self, x, y):
        at = self._start + y * self._line + self._bytes * x
        w = int.from_bytes(self._data[at:at + self._bytes], self._order)
        rs, gs, bs = self._shifts
        return (w >> rs) & 255, (w >> gs) & 255, (w >> bs) & 255


def read_xwd(path):
    """An XWD file of a 24-bit TrueColor window, as xwd writes it for Xvfb
    (three or four bytes a pixel)."""
    with open(path, "rb") as f:
        data = f.read()
    fields = struct.unpack(">20I", data[:80])
    (header_size, version, pixmap_format, _depth, width, height, _xoffset, byte_order, _unit, _bit_order, _pad,
     bits_per_pixel, bytes_per_line, _visual, red_mask, green_mask, blue_mask, _bits_rgb, _entries,
     ncolors) = fields
    pixel_bytes = bits_per_pixel // 8
    if version != 7 or pixmap_format != 2 or pixel_bytes not in (3, 4) or bytes_per_line < pixel_bytes * width:
        raise ValueError("%s: unsupported XWD (version %d, format %d, %d bits a pixel)" %
                         (path, version, pixmap_format, bits_per_pixel))
    start = header_size + 12 * ncolors
    if len(data) < start + bytes_per_line * height:
        raise ValueError("%s: XWD file cut short" % path)
    return XwdImage(data, start, width, height, bytes_per_line, pixel_bytes, byte_order != 0,
                    (red_mask, green_mask, blue_mask))
