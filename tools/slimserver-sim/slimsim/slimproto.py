"""The SlimProto TCP server: accepts players, greets them, reads their
frames and keeps the link alive."""

import asyncio
import struct
import time

from . import frames

HELO_TIMEOUT = 5.0
MAX_FRAME = 10000
HEARTBEAT_PERIOD = 5.0
SILENCE_BEFORE_STATUS = 2.5
STAT_DEADLINE = 15.0
KNOWN_DEVICES = {6: range(2, 7), 7: range(2, 13)}
DEVICE_NAMES = {2: "squeezebox", 3: "softsqueeze", 4: "squeezebox2", 5: "transporter",
                6: "softsqueeze3", 7: "receiver", 8: "squeezeslave", 9: "controller",
                10: "boom", 11: "softboom", 12: "squeezeplay"}
GRAPHIC_320 = {3, 4, 5, 6}


class SlimProtoConnection:
    def __init__(self, sim, reader, writer):
        self.sim = sim
        self.reader, self.writer = reader, writer
        self.player = None
        self.peer = writer.get_extra_info("peername") or ("?", 0)
        self.last_heard = time.monotonic()
        self.last_stat = time.monotonic()
        self.closed = False

    # ---- sending ----

    def send(self, opcode, payload=b""):
        if self.closed:
            return
        data = frames.server_frame(opcode, payload)
        self.writer.write(data)
        mac = self.player.mac if self.player else "?"
        self.sim.record.sent(mac, opcode, payload)
        if self.sim.faults.count_sent_frame(self):
            self.sim.log(f"fault: dropping the SlimProto link of {mac}")
            self.close()

    def send_raw(self, data):
        if not self.closed:
            self.writer.write(data)

    def close(self):
        if not self.closed:
            self.closed = True
            self.writer.close()

    # ---- reading ----

    async def read_frame(self, timeout=None):
        header = await asyncio.wait_for(self.reader.readexactly(8), timeout)
        opcode = header[:4].decode("latin-1")
        length = struct.unpack(">I", header[4:])[0]
        if length > MAX_FRAME:
            raise ValueError(f"frame {opcode!r} of {length} bytes is too long")
        payload = await asyncio.wait_for(self.reader.readexactly(length), timeout)
        self.last_heard = time.monotonic()
        return opcode, payload

    async def run(self):
        try:
            await self._serve()
        except (asyncio.IncompleteReadError, ConnectionError, asyncio.TimeoutError):
            pass
        except ValueError as error:
            self.sim.log(f"slimproto: {error}")
        finally:
            self._lost()

    async def _serve(self):
        opcode, payload = await self.read_frame(HELO_TIMEOUT)
        self.sim.record.received("?" if opcode != "HELO" else _mac_of(payload), opcode, payload)
        if opcode != "HELO" or not self._hello(payload):
            self.sim.log(f"slimproto: first frame {opcode!r} from {self.peer[0]} refused")
            return
        heartbeat = asyncio.ensure_future(self._heartbeat())
        try:
            while not self.closed:
                opcode, payload = await self.read_frame()
                self.sim.record.received(self.player.mac, opcode, payload)
                self._dispatch(opcode, payload)
        finally:
            heartbeat.cancel()

    def _hello(self, payload):
        helo = frames.parse_helo(payload)
        if helo is None:
            return False
        if helo["device"] not in KNOWN_DEVICES[self.sim.era]:
            self.sim.log(f"slimproto: unknown device id {helo['device']} from {helo['mac']}")
            if self.sim.era >= 7:
                self.send("dsco", frames.dsco())
            return False
        player, new = self.sim.attach_player(helo, self)
        self.player = player
        self.sim.log(f"player {player.mac} connected: device {helo['device']} "
                     f"({DEVICE_NAMES.get(helo['device'], '?')}) rev {helo['revision']} "
                     f"helo {len(payload)} bytes")
        reconnecting = bool(helo["wlan"] & 0x4000)
        self._greet(player, new, reconnecting)
        player.resume(reconnecting)
        return True

    def _greet(self, player, new, reconnecting):
        era = self.sim.era
        if new:
            player.power = 1
            self.send("aude", frames.aude(1))
            player.redraw()
            self.send("grfb", frames.grfb(player.brightness))
        self.send("vers", self.sim.version.encode())
        if player.mode == "stop" and not reconnecting and (era >= 7 or player.revision > 8):
            self.send("strm", frames.strm("q", era, port=self.sim.web_port))
        player.redraw()
        self.send("grfb", frames.grfb(player.brightness if player.power else 0))
        self.send("visu", frames.visu_off())
        self.send("setd", frames.setd(0))
        self.send("setd", frames.setd(4))
        self.send("aude", frames.aude(player.power))
        self.send("audg", frames.audg(player.volume))
        player.notify("client", "new" if new else "reconnect")

    def _dispatch(self, opcode, payload):
        player = self.player
        if opcode == "STAT":
            stat = frames.parse_stat(payload)
            if stat is not None:
                self.last_stat = time.monotonic()
                player.on_stat(stat)
        elif opcode == "IR  ":
            ir = frames.parse_ir(payload)
            if ir is not None:
                self.sim.remote.on_ir(player, *ir)
        elif opcode == "DSCO":
            reason = payload[0] if payload else 0
            self.sim.log(f"player {player.mac} stream closed, reason {reason}")
        elif opcode == "ANIC":
            pass
        elif opcode == "BYE!":
            self.sim.log(f"player {player.mac} said goodbye")
            self.close()
        elif opcode == "SETD" and len(payload) > 1 and payload[0] == 0:
            name = payload[1:].split(b"\0")[0].decode("utf-8", "replace")
            if name:
                player.name = name

    async def _heartbeat(self):
        while not self.closed:
            await asyncio.sleep(HEARTBEAT_PERIOD)
            now = time.monotonic()
            if now - self.last_stat > STAT_DEADLINE:
                self.sim.log(f"player {self.player.mac} silent too long, dropping it")
                self.close()
                return
            if self.sim.era >= 7 or now - self.last_heard > SILENCE_BEFORE_STATUS:
                self.send("strm", frames.strm("t", self.sim.era, port=self.sim.web_port))

    def _lost(self):
        self.close()
        if self.player is not None:
            self.sim.detach_player(self.player, self)


def _mac_of(payload):
    helo = frames.parse_helo(payload)
    return helo["mac"] if helo else "?"


class ReaderToTheReset(asyncio.StreamReader):
    """A player that closes with our frames unread resets the link. The
    kernel still hands over what the player sent before the reset, and a
    server reading its socket gets it, goodbye included; asyncio's reader
    would drop those frames when it hears of the reset (on a read, or on a
    write to the link) before they were read, so here a lost link ends the
    frames after the ones that arrived."""

    def set_exception(self, exc):
        if isinstance(exc, ConnectionError):
            self.feed_eof()
        else:
            super().set_exception(exc)


async def start(sim, host, port):
    async def handle(reader, writer):
        await SlimProtoConnection(sim, reader, writer).run()
    serve = sim.serve(handle)
    return await asyncio.get_running_loop().create_server(
        lambda: asyncio.StreamReaderProtocol(ReaderToTheReset(), serve), host, port, reuse_address=True)
