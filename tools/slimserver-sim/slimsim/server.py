"""The simulator as a whole: its players, listeners, knobs and servers."""

import asyncio
import socket
import sys
import time

from . import cli, control, discovery, slimproto, web
from .faults import Faults
from .notify import NotifyHub
from .player import Player
from .radio import Radio
from .record import Recorder
from .remote import Remote
from .streams import Streams

VERSIONS = {6: "6.5.5", 7: "7.9.1"}


class Simulator:
    def __init__(self, library, era=6, server_name=None, bind="127.0.0.1"):
        self.library = library
        self.era = era
        self.version = VERSIONS[era]
        self.server_name = server_name or socket.gethostname().split(".")[0]
        self.bind = bind
        self.players = {}
        self.hub = NotifyHub(self)
        self.record = Recorder()
        self.faults = Faults()
        self.remote = Remote(self)
        self.streams = Streams(self)
        self.radio = Radio()
        self.ports = {"proto": 0, "cli": 0, "web": 0, "control": 0}
        self.servers = {}
        self.links = {}              # open connections: their handler task -> writer
        self.udp = None
        self.started = time.time()

    @property
    def web_port(self):
        return self.ports["web"]

    def log(self, text):
        self.record.event(text)
        print(f"slimserver-sim: {text}", file=sys.stderr, flush=True)

    # ---- players ----

    def attach_player(self, helo, conn):
        player = self.players.get(helo["mac"])
        new = player is None
        if new:
            player = Player(self, helo["mac"])
            self.players[player.mac] = player
        elif player.conn is not None and player.conn is not conn:
            player.conn.close()
        player.device, player.revision = helo["device"], helo["revision"]
        player.ip = "%s:%d" % tuple(conn.peer[:2])
        if not player.name:
            player.name = conn.peer[0]
        player.conn = conn
        self.remote.attach(player)
        return player, new

    def detach_player(self, player, conn):
        if player.conn is conn:
            player.conn = None
            self.log(f"player {player.mac} disconnected")
            player.notify("client", "disconnect")

    def find_player(self, text):
        """A player named by MAC text or by index, or None."""
        if text is None:
            return None
        lowered = text.lower()
        if lowered in self.players:
            return self.players[lowered]
        return None

    def player_list(self):
        return list(self.players.values())

    # ---- servers ----

    async def _open(self, kind, port):
        starters = {"proto": slimproto.start, "cli": cli.start, "web": web.start,
                    "control": control.start}
        server = await starters[kind](self, self.bind, port)
        self.servers[kind] = server
        self.ports[kind] = server.sockets[0].getsockname()[1]

    async def start(self, proto_port, cli_port, web_port, control_port=None,
                    discovery_on=False):
        await self._open("proto", proto_port)
        await self._open("web", web_port)
        await self._open("cli", cli_port)
        if control_port is not None:
            await self._open("control", control_port)
        if discovery_on:
            self.udp = await discovery.start(self, self.bind, self.ports["proto"])

    def serve(self, handler):
        """Wraps a connection handler so that a restart can find and end
        every open connection."""
        async def handle(reader, writer):
            task = asyncio.current_task()
            self.links[task] = writer
            try:
                await handler(reader, writer)
            except asyncio.CancelledError:
                pass
            finally:
                self.links.pop(task, None)
        return handle

    async def restart(self, seconds):
        """Goes down as a restarting server does: every SlimProto, CLI and
        HTTP connection ends, the ports refuse connections for `seconds`,
        then they open again. The players, their playlists, current songs,
        modes, volumes and power are kept, as the server keeps them across a
        restart; a player that was playing is resumed when it says hello
        again (Player.resume)."""
        kinds = [k for k in ("proto", "cli", "web") if k in self.servers]
        for kind in kinds:
            self.servers[kind].close()
        for player in self.player_list():
            player.cut_by_restart()
        links = list(self.links.items())
        self.links.clear()
        for task, writer in links:
            writer.transport.abort()
            task.cancel()
        self.hub.listeners.clear()
        self.log(f"fault: restarting, {len(links)} connections closed, ports refused for {seconds:g}s")
        await asyncio.sleep(seconds)
        for kind in kinds:
            await self._open(kind, self.ports[kind])
        self.log("fault: restarted, accepting connections again")

    async def refuse(self, seconds, kinds):
        """Closes listening sockets so that connections are refused, then
        opens them again on the same ports."""
        kinds = [k for k in kinds if k in self.servers and k != "control"]
        for kind in kinds:
            self.servers[kind].close()
        self.log(f"fault: refusing {','.join(kinds)} for {seconds:g}s")
        await asyncio.sleep(seconds)
        for kind in kinds:
            await self._open(kind, self.ports[kind])
        self.log(f"fault: accepting {','.join(kinds)} again")

    def listening_line(self):
        p = self.ports
        line = f"listening proto={p['proto']} cli={p['cli']} web={p['web']}"
        if "control" in self.servers:
            line += f" control={p['control']}"
        return line
