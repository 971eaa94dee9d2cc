"""Server-to-player SlimProto frames and the player's frames as read.

Server to player: length (2 bytes, counts the opcode) + opcode + payload.
Player to server: opcode + length (4 bytes, payload only) + payload.
"""

import math
import struct

FORMATS = {"mp3": "m", "flac": "f", "wma": "w", "wav": "p", "ogg": "o"}
PCM_RATES = {11025: "0", 22050: "1", 32000: "2", 44100: "3", 48000: "4",
             8000: "5", 12000: "6", 16000: "7", 24000: "8", 96000: "9", 88200: ":"}
PCM_SIZES = {8: "0", 16: "1", 24: "2", 32: "3"}
BRIGHTNESS = {0: 0xFFFF, 1: 0, 2: 1, 3: 3, 4: 4}


def server_frame(opcode, payload=b""):
    return struct.pack(">H", len(payload) + 4) + opcode.encode("ascii") + payload


def strm(command, era=6, autostart="1", fmt="m", pcm="????", threshold=255,
         output_threshold=10, gain=0, port=9000, request=b"", flags=0):
    """The 24-byte strm header, plus the HTTP request text for "s"."""
    if command != "s":
        # Newer servers send neutral fields for everything but "s"; 6.x used
        # the start path for every command and so still carried the port.
        autostart, fmt, pcm, threshold, output_threshold = "0", "m", "????", 0, 0
        port = port if era == 6 else 0
    header = struct.pack(
        ">cc c4s BBBcBBB I HI",
        command.encode(), autostart.encode(), fmt.encode(), pcm.encode(),
        threshold, 0, 0, b"0", flags, output_threshold, 0,
        gain, port, 0)
    return header + request


def stream_request(mac, era, path="/stream.mp3"):
    """The HTTP request the player sends verbatim to fetch the audio."""
    if era == 6:
        text = f"GET {path}?player={mac} HTTP/1.0\n\n"
        if len(text) % 2:
            text += "\n"
        return text.encode()
    return f"GET {path}?player={mac} HTTP/1.0\r\n\r\n".encode()


def pcm_fields(track):
    if track.fmt != "wav":
        return "????"
    return (PCM_SIZES.get(track.samplesize, "1") + PCM_RATES.get(track.samplerate, "3")
            + str(track.channels) + "1")


def new_gain(volume):
    """16.16 fixed point gain of the newer volume curve."""
    if volume <= 0:
        return 0
    db = (volume - 100) / 2.0
    if db >= -30.0:
        return int(round(10 ** (db / 20.0) * 256)) * 256
    return int(round(10 ** (db / 20.0) * 65536))


def audg(volume):
    old = old_gain(volume)
    new = new_gain(volume)
    return struct.pack(">IIBBII", old, old, 1, 255, new, new)


def old_gain(volume):
    # Linear in dB between the two points the server's table fixes
    # (50 -> 46, 100 -> 128), clamped to 0..128.
    if volume <= 0:
        return 0
    value = 128 * math.pow(46 / 128, (100 - volume) / 50.0)
    return max(0, min(128, int(round(value))))


def aude(power):
    return struct.pack(">BB", 1 if power else 0, 1 if power else 0)


def grfe(bitmap, transition="c", param=0):
    return struct.pack(">Hcb", 0, transition.encode(), param) + bytes(bitmap)


def grfb(level):
    return struct.pack(">H", BRIGHTNESS.get(level, 4))


def setd(ident, value=None):
    payload = bytes([ident])
    if value is not None:
        payload += value.encode("utf-8") + b"\0"
    return payload


def visu_off():
    return b"\0\0"


def dsco():
    return b"\0"


# ---- player to server ----

def parse_helo(payload):
    """Reads the 10, 18, 20 and 36+ byte HELO forms; None when too short."""
    n = len(payload)
    if n < 10:
        return None
    helo = {"device": payload[0], "revision": payload[1],
            "mac": ":".join("%02x" % b for b in payload[2:8]),
            "uuid": "", "language": "", "capabilities": "", "bytes": 0}
    if n >= 36:
        helo["uuid"] = payload[8:24].hex()
        helo["wlan"], hi, lo = struct.unpack(">HII", payload[24:34])
        helo["bytes"] = (hi << 32) | lo
        helo["language"] = payload[34:36].decode("latin-1")
        helo["capabilities"] = payload[36:].decode("latin-1", "replace")
        return helo
    helo["wlan"] = struct.unpack(">H", payload[8:10])[0]
    if n >= 18:
        hi, lo = struct.unpack(">II", payload[10:18])
        helo["bytes"] = (hi << 32) | lo
    if n >= 20:
        helo["language"] = payload[18:20].decode("latin-1")
    return helo


STAT_FIELDS = [("crlf", "B", 4), ("mas_init", "B", 5), ("mas_mode", "B", 6),
               ("buffer_size", "I", 7), ("fullness", "I", 11),
               ("bytes_hi", "I", 15), ("bytes_lo", "I", 19), ("signal", "H", 23),
               ("jiffies", "I", 25), ("output_size", "I", 29),
               ("output_fullness", "I", 33), ("elapsed", "I", 37),
               ("voltage", "H", 41), ("elapsed_ms", "I", 43),
               ("timestamp", "I", 47), ("error", "H", 51)]


def parse_stat(payload):
    """The STAT fields present in the payload (at least the event code)."""
    if len(payload) < 4:
        return None
    stat = {"event": payload[:4].decode("latin-1"), "length": len(payload)}
    for name, kind, offset in STAT_FIELDS:
        size = struct.calcsize(">" + kind)
        if len(payload) >= offset + size:
            stat[name] = struct.unpack_from(">" + kind, payload, offset)[0]
    return stat


def parse_ir(payload):
    if len(payload) != 10:
        return None
    ticks, _fmt, _bits, code = struct.unpack(">IBBI", payload)
    return ticks, "%08x" % code
