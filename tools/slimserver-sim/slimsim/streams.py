"""The audio a player fetches over HTTP: the track's file as it is, or for
PCM the raw samples behind the WAV header, from the byte offset a seek
asked for."""

import asyncio
import os
import socket
import struct

CONTENT_TYPES = {"mp3": "audio/mpeg", "flac": "audio/x-flac", "wma": "audio/x-ms-wma",
                 "wav": "audio/L16", "ogg": "application/ogg"}
CHUNK = 16384


def wav_layout(path):
    """(offset of the sample data, its length, bytes per frame) of a WAV file."""
    with open(path, "rb") as f:
        header = f.read(12)
        if header[:4] != b"RIFF" or header[8:12] != b"WAVE":
            return None
        block = 4
        while True:
            chunk = f.read(8)
            if len(chunk) < 8:
                return None
            name, size = chunk[:4], struct.unpack("<I", chunk[4:])[0]
            if name == b"fmt ":
                fmt = f.read(size)
                block = struct.unpack("<H", fmt[12:14])[0] or 4
                continue
            if name == b"data":
                return f.tell(), size, block
            f.seek(size + (size & 1), os.SEEK_CUR)


class Streams:
    def __init__(self, sim):
        self.sim = sim

    def byte_offset(self, track, seconds):
        """Where in the file the stream starts for a seek to `seconds`."""
        if track is None or track.path is None:
            return 0
        if track.fmt == "wav":
            layout = wav_layout(track.path)
            if layout is None:
                return 0
            start, length, block = layout
            rate_bytes = track.samplerate * block
            return start + min(length, int(seconds * rate_bytes) // block * block)
        if seconds <= 0 or track.duration <= 0:
            return 0
        size = os.path.getsize(track.path)
        return int(size * min(1.0, seconds / track.duration))

    def range_for(self, track, offset):
        """(first byte, end byte) of the body to send."""
        if track.fmt == "wav":
            layout = wav_layout(track.path)
            if layout is not None:
                start, length, _ = layout
                return max(offset, start), start + length
        return offset, os.path.getsize(track.path)

    async def send(self, player, writer):
        track = player.stream_track
        if getattr(track, "remote", 0):
            return await self.sim.radio.send(self.sim, track, writer)
        if track is None or track.path is None or not os.path.exists(track.path):
            return False
        if self.sim.faults.hold_seconds is not None:
            await self._hold(self.sim.faults)
        first, end = self.range_for(track, player.stream_offset)
        self.sim.log(f"http: streaming track {track.id} to {player.mac} "
                     f"bytes {first}-{end}")
        writer.write(b"HTTP/1.0 200 OK\r\n"
                     b"Server: SlimServer (" + self.sim.version.encode() + b")\r\n"
                     b"Content-Type: " + CONTENT_TYPES.get(track.fmt, "audio/mpeg").encode()
                     + b"\r\nConnection: close\r\n\r\n")
        await self._body(track.path, first, end, writer)
        return True

    async def _body(self, path, first, end, writer):
        sent = 0
        faults = self.sim.faults
        with open(path, "rb") as f:
            f.seek(first)
            position = first
            while position < end:
                data = f.read(min(CHUNK, end - position))
                if not data:
                    break
                if faults.stall_after is not None and sent + len(data) > faults.stall_after:
                    data = data[:max(0, faults.stall_after - sent)]
                if faults.reset_after is not None and sent + len(data) >= faults.reset_after:
                    writer.write(data[:max(0, faults.reset_after - sent)])
                    await writer.drain()
                    sent = faults.reset_after
                    await self._reset(writer, faults)
                    return sent
                writer.write(data)
                await writer.drain()
                sent += len(data)
                position += len(data)
                if faults.stall_after is not None and sent >= faults.stall_after:
                    await self._stall(faults)
                    # The chunk may have been cut at the stall point: go on
                    # from the first byte not sent, not from where the read ended.
                    f.seek(position)
        return sent

    async def _reset(self, writer, faults):
        """Ends the connection with a TCP reset, as a crashed server would,
        a second after the last bytes: a reset throws away what the client
        has not read yet, and it should lose the link, not the data."""
        self.sim.log(f"fault: audio stream reset after {faults.reset_after} bytes")
        faults.reset_after = None
        await asyncio.sleep(1.0)
        sock = writer.get_extra_info("socket")
        if sock is not None:
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        writer.transport.abort()

    async def _hold(self, faults):
        """Keeps the request waiting before any byte of the response, so the
        player's open of the stream hangs."""
        seconds = faults.hold_seconds
        faults.hold_seconds = None
        self.sim.log(f"fault: audio request held for {seconds or 'ever'} s")
        if seconds > 0:
            await asyncio.sleep(seconds)
        else:
            await asyncio.Event().wait()

    async def _stall(self, faults):
        self.sim.log(f"fault: audio stream stalled after {faults.stall_after} bytes")
        seconds = faults.stall_seconds
        faults.stall_after = None
        if seconds > 0:
            await asyncio.sleep(seconds)
        else:
            await asyncio.Event().wait()
