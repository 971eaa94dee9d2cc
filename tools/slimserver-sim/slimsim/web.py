"""The web server (HTTP 9000): audio streams, covers, the status page and
the XML browse pages."""

import asyncio
import html
import os
import re
import urllib.parse

from . import xmlpages

COVER = re.compile(r"^/music/(\d+|current)/(cover|thumb)\.jpg$")


def _response(status, body, content_type="text/html; charset=utf-8"):
    if isinstance(body, str):
        body = body.encode("utf-8")
    head = (f"HTTP/1.0 {status}\r\nServer: SlimServer\r\nContent-Type: {content_type}\r\n"
            f"Content-Length: {len(body)}\r\nConnection: close\r\n\r\n")
    return head.encode("ascii") + body


class WebRequest:
    def __init__(self, sim, line, peer):
        self.sim = sim
        self.method, target = (line.split(" ") + ["", ""])[:2]
        self.target = target
        parsed = urllib.parse.urlsplit(target)
        self.path = urllib.parse.unquote(parsed.path)
        self.query = {k: v[0] for k, v in urllib.parse.parse_qs(
            parsed.query, keep_blank_values=True).items()}
        self.peer = peer

    def player(self):
        player = self.sim.find_player(self.query.get("player"))
        if player is None and "player" not in self.query:
            for candidate in self.sim.player_list():
                if candidate.ip.split(":")[0] == self.peer:
                    return candidate
        return player


async def handle(sim, reader, writer):
    try:
        line = (await asyncio.wait_for(reader.readline(), 30)).decode("latin-1").strip()
        while (await asyncio.wait_for(reader.readline(), 30)).strip():
            pass
        peer = (writer.get_extra_info("peername") or ("?",))[0]
        sim.record.http(peer, line)
        sim.log(f"http: {line}")
        request = WebRequest(sim, line, peer)
        await route(sim, request, writer)
        await writer.drain()
    except (asyncio.TimeoutError, ConnectionError, asyncio.IncompleteReadError):
        pass
    finally:
        writer.close()


async def route(sim, request, writer):
    path = request.path
    if path.startswith("/stream."):
        player = request.player()
        if player is None or not await sim.streams.send(player, writer):
            writer.write(_response("404 Not Found", "no stream"))
        return
    if path.startswith("/radio/"):
        url = f"http://{sim.bind}:{sim.web_port}{request.target}"
        await sim.radio.send(sim, sim.radio.item(url), writer, b"icy-name: Sim Radio\r\n")
        return
    match = COVER.match(path)
    if match:
        writer.write(cover(sim, request, match.group(1)))
        return
    pages = {"/en/status.html": status_page, "/status.html": status_page,
             "/xml/status.xml": xmlpages.status_xml, "/xml/browsedb.xml": xmlpages.browsedb,
             "/xml/browsetree.xml": xmlpages.browsetree}
    page = pages.get(path.lower())
    if page is None:
        writer.write(_response("404 Not Found", "not found"))
        return
    run_page_command(sim, request)
    body = page(sim, request)
    kind = "text/xml; charset=utf-8" if path.endswith(".xml") else "text/html; charset=utf-8"
    writer.write(_response("200 OK", body, kind))


def cover(sim, request, which):
    lib = sim.library
    if which == "current":
        player = request.player()
        track = player.playlist.current() if player else None
    else:
        track = lib.tracks.get(int(which))
    path = track.album.cover if track is not None else None
    if path is None:
        placeholder = lib.manifest.get("placeholder_cover")
        path = os.path.join(lib.root, placeholder) if placeholder else None
    if path is None or not os.path.exists(path):
        return _response("404 Not Found", "no cover")
    with open(path, "rb") as f:
        return _response("200 OK", f.read(), "image/jpeg")


def run_page_command(sim, request):
    """Pages carry commands as p0, p1, ... (or command/subcommand)."""
    words = []
    for n in range(10):
        if f"p{n}" not in request.query:
            break
        words.append(request.query[f"p{n}"])
    if not words and request.query.get("command") == "playlist":
        words = _tracks_command(request.query)
    player = request.player()
    if not words or player is None:
        return
    from .cli import Request, execute
    tokens = [player.mac] + [w for w in words if w]
    execute(sim, Request(sim, None, tokens))


def _tracks_command(query):
    """The loadtracks/addtracks links of the browse pages, as a CLI command."""
    how = {"loadtracks": "load", "addtracks": "add"}.get(query.get("subcommand"))
    if how is None:
        return []
    names = {"genre.id": "genre_id", "contributor.id": "artist_id",
             "album.id": "album_id", "track.id": "track_id", "year.id": "year_id"}
    return ["playlistcontrol", f"cmd:{how}"] + [
        f"{names[k]}:{v}" for k, v in query.items() if k in names]


def status_page(sim, request):
    player = request.player()
    if player is None:
        return "<html><body><p>No player.</p></body></html>"
    mac = urllib.parse.quote(player.mac, safe="")
    current = player.playlist.current()
    # A stream shows what the station announces, as the server's page does.
    title = html.escape(getattr(current, "current_title", current.title)) if current else ""
    rows = []
    for index, track in enumerate(player.playlist.tracks()):
        anchor = '<a name="currentsong"></a>' if index == player.playlist.index else ""
        ident = ' id="currentListItem"' if index == player.playlist.index else ""
        by = f" - {html.escape(track.artist.name)}" if track.artist.name else ""
        rows.append(f'{anchor}<div class="listItem"{ident}>{index + 1}. '
                    f'{html.escape(track.title)}{by}</div>')
    return ("<html><head><title>SlimServer</title></head><body>\n"
            f'<div id="nowPlaying"><a href="status.html?player={mac}#currentsong">'
            f"{title}</a></div>\n<div id=\"playlist\">\n" + "\n".join(rows)
            + "\n</div></body></html>\n")


async def start(sim, host, port):
    async def handler(reader, writer):
        await handle(sim, reader, writer)
    return await asyncio.start_server(sim.serve(handler), host, port, reuse_address=True)
