"""The CLI (line protocol on TCP 9090): reading lines, turning them into
requests, and writing replies and notifications in the server's form."""

import asyncio
import itertools
import random
import re

from . import clicommands, cliqueries
from .escape import render, split_lines, unescape

TAG_NAMES = {"genre_id", "artist_id", "album_id", "track_id", "playlist_id", "year_id",
             "year", "tags", "sort", "search", "cmd", "subscribe", "folder_id",
             "charset", "url", "playlist_name", "contributor_id", "item_id"}
MAC = re.compile(r"^[0-9a-fA-F]{2}(:[0-9a-fA-F]{2}){5}$")
_ids = itertools.count(1)


class Request:
    def __init__(self, sim, conn, tokens):
        self.sim, self.conn = sim, conn
        self.tokens = tokens
        self.player = None
        self.unknown_player = False
        words = tokens
        if tokens and MAC.match(tokens[0]):
            self.player = sim.find_player(tokens[0])
            self.unknown_player = self.player is None
            words = tokens[1:]
        self.tags, self.words = {}, []
        for word in words:
            key, sep, value = word.partition(":")
            if sep and key in TAG_NAMES:
                self.tags[key] = value
            else:
                self.words.append(word)
        self.answers, self.results = [], []
        self.query = False
        self.after = None           # action once the reply is written

    def tag_int(self, name):
        try:
            return int(self.tags[name])
        except (KeyError, ValueError):
            return None

    def word(self, index, default=None):
        return self.words[index] if index < len(self.words) else default

    def answer(self, value):
        self.query = True
        self.answers.append(str(value))

    def reply_tokens(self):
        out, answers = [], list(self.answers)
        for token in self.tokens:
            if token == "?":
                if answers:
                    out.append(answers.pop(0))
                continue
            out.append(token)
        return out + answers + [str(r) for r in self.results]


class CliConnection:
    def __init__(self, sim, reader, writer):
        self.sim, self.reader, self.writer = sim, reader, writer
        self.id = next(_ids)
        self.terminator = b"\n"
        self.closed = False
        self.silent = False          # an unended reply went out: nothing more is written
        self.garbage = random.Random(self.id)

    @property
    def strict(self):
        return self.sim.era >= 7

    def write_line(self, tokens):
        if not self.closed and not self.silent:
            self.writer.write(render(tokens, self.strict).encode("ascii") + self.terminator)

    async def write_reply(self, tokens):
        faults = self.sim.faults
        if faults.cli_drop_replies > 0:
            # As a server going down right after it ran the request.
            faults.cli_drop_replies -= 1
            self.sim.log(f"fault: cli connection {self.id} closed without the reply to {render(tokens, False)!r}")
            self.close()
            return
        if faults.cli_delay:
            await asyncio.sleep(faults.cli_delay)
        if self.silent:
            return
        data = render(tokens, self.strict).encode("ascii") + self.terminator
        if faults.take_garbage():
            data = self.garbage_line()
            self.sim.log(f"fault: cli connection {self.id} answers {render(tokens, False)!r} with garbage")
        elif faults.cli_unended > 0:
            # The reply without its line end, and then nothing more.
            faults.cli_unended -= 1
            data = data[:-len(self.terminator)]
            self.silent = True
            self.sim.log(f"fault: cli connection {self.id} leaves {render(tokens, False)!r} unended")
        pieces = max(1, min(faults.cli_pieces, len(data)))
        size = -(-len(data) // pieces)
        for start in range(0, len(data), size):
            if self.closed:
                return
            self.writer.write(data[start:start + size])
            await self.writer.drain()
            if start + size < len(data):
                await asyncio.sleep(faults.cli_gap)

    def garbage_line(self):
        """A line of bytes that mean nothing: control characters, NULs,
        bytes above 127, broken %-escapes and colons, then the line end."""
        pieces = [b"\x00", b"\xff\xfe", b"%", b"%zz", b"%4", b":", b"::", b" ", b"\r", b"\x1b[2J",
                  b"?", b"count:-1", b"loop_id:", b"%0A", b"\xc3", b"9" * 30]
        size = self.garbage.randrange(1, 400)
        data = b"".join(self.garbage.choice(pieces) for _ in range(size // 3 + 1))
        return data.replace(b"\n", b"") + self.terminator

    def close(self):
        if not self.closed:
            self.closed = True
            self.sim.hub.listeners.discard(self)
            self.writer.close()

    async def run(self):
        buffer = b""
        try:
            while not self.closed:
                data = await self.reader.read(65536)
                if not data:
                    break
                lines, buffer = split_lines(buffer + data)
                for raw, terminator in lines:
                    await self.handle_line(raw, terminator)
        except ConnectionError:
            pass
        finally:
            self.close()

    def _connection_command(self, request):
        """listen and exit concern this connection only."""
        word = request.word(0)
        if request.player is not None or word not in ("listen", "exit"):
            return False
        listeners = self.sim.hub.listeners
        if word == "exit":
            request.after = self.close
        elif request.word(1) == "?":
            request.answer(1 if self in listeners else 0)
        else:
            value = request.word(1)
            on = (self not in listeners) if value is None else value == "1"
            (listeners.add if on else listeners.discard)(self)
        return True

    async def handle_line(self, raw, terminator):
        if not raw.strip(b" ") or self.closed:
            return
        self.terminator = terminator
        line = raw.decode("utf-8", "replace")
        self.sim.record.cli(self.id, line)
        tokens = [unescape(t) for t in raw.split(b" ") if t]
        request = Request(self.sim, self, tokens)
        if not self._connection_command(request):
            execute(self.sim, request, self)
        await self.write_reply(request.reply_tokens())
        if request.after is not None:
            request.after()

def execute(sim, request, source=None):
    """Runs one request; a player command is then told to every listener
    but the connection it came from."""
    if request.unknown_player or not request.words:
        return
    handler = cliqueries.find(request) or clicommands.find(request)
    if handler is None:
        return
    hub = sim.hub
    hub.source = source
    try:
        handler(request)
        if not request.query and request.player is not None:
            hub.notify([request.player.mac] + request.reply_tokens()[1:])
    finally:
        hub.source = None


async def start(sim, host, port):
    async def handle(reader, writer):
        await CliConnection(sim, reader, writer).run()
    return await asyncio.start_server(sim.serve(handle), host, port, reuse_address=True)
