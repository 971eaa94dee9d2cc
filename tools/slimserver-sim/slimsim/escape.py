"""CLI token escaping as the server does it: every reply token is
%-escaped as a whole, UTF-8 bytes outside the safe set as %XX."""

import re

SAFE_6 = frozenset(b"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_.!~*'()")
# Newer servers escape ! * ' ( ) as well.
SAFE_7 = SAFE_6 - frozenset(b"!*'()")

_LINE_END = re.compile(rb"[\r\n\0]+")


def escape(text, strict=False):
    safe = SAFE_7 if strict else SAFE_6
    out = []
    for byte in str(text).encode("utf-8"):
        out.append(chr(byte) if byte in safe else "%%%02X" % byte)
    return "".join(out)


def unescape(token):
    """%XX decoding only ("+" stays a plus); UTF-8, Latin-1 when invalid."""
    raw = bytearray()
    data = token.encode("latin-1", "replace") if isinstance(token, str) else token
    i = 0
    while i < len(data):
        if data[i] == 0x25 and _is_hex(data[i + 1:i + 3]):
            raw.append(int(data[i + 1:i + 3], 16))
            i += 3
        else:
            raw.append(data[i])
            i += 1
    try:
        return raw.decode("utf-8")
    except UnicodeDecodeError:
        return raw.decode("latin-1")


def _is_hex(pair):
    return len(pair) == 2 and all(c in b"0123456789abcdefABCDEF" for c in pair)


def split_lines(buffer):
    """Cuts complete lines out of a byte buffer.

    Returns (lines, rest); each line is (bytes, terminator) and a line
    ends at any run of CR, LF or NUL."""
    lines = []
    pos = 0
    for match in _LINE_END.finditer(buffer):
        lines.append((bytes(buffer[pos:match.start()]), match.group()))
        pos = match.end()
    return lines, bytes(buffer[pos:])


def render(tokens, strict=False):
    return " ".join(escape(t, strict) for t in tokens)
