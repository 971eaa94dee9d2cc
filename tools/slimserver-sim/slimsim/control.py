"""The control port for tests: one command a line, one JSON reply a line.

  ping                          -> {"ok": true}
  ports                         -> {"proto": N, "cli": N, "web": N, "control": N}
  players                       -> {"players": [{mac, mode, index, ...}]}
  frames [MAC]                  -> {"frames": {mac: [{"op", "payload" (hex), "t"}]}}
  sent [MAC]                    -> the same for frames the simulator sent
  cli-lines                     -> {"lines": [{"conn", "line", "t"}]}
  http-requests                 -> {"requests": [{"peer", "request", "t"}]}
  events                        -> {"events": [log lines]}
  reset                         -> forget everything recorded so far
  cli LINE                      -> {"reply": "..."}: LINE run as a CLI request
  fault drop-after N            -> drop a SlimProto link after N more frames sent
  fault send short|oversized|truncated [MAC]
  fault http-stall BYTES [SECONDS]
  fault http-reset BYTES        -> the next audio stream is reset (TCP RST) after BYTES
  fault http-hold SECONDS       -> the next audio request gets no response for SECONDS (0: never)
  fault cli-delay MS | fault cli-split PIECES [GAP_MS]
  fault cli-drop-reply [N]      -> the next N CLI requests run, their links close unanswered
  fault close-listeners         -> close every "listen 1" connection now
  fault refuse SECONDS [proto,cli,web]
  fault restart SECONDS         -> every link closed, ports refused for SECONDS, state kept
  fault cli-garbage [N]         -> the next N CLI replies (0: all) are bytes of no meaning
  fault cli-unended [N]         -> the next N CLI replies lack their line end, their links go silent
  stream-title MAC TEXT         -> the station of MAC's current remote item
                                   announces TEXT (as an ICY StreamTitle)
  fault clear                   -> every knob back to normal
  faults                        -> the knobs' current values
"""

import asyncio
import json
import re
import struct

from .escape import render


def _frames(sim, args, sent):
    return {"frames": sim.record.frames(args[0].lower() if args else None, sent=sent)}


def _players(sim, args):
    return {"players": [p.describe() for p in sim.player_list()]}


def _cli(sim, args):
    from .cli import Request, execute
    from .escape import unescape
    tokens = [unescape(t) for t in " ".join(args).split(" ") if t]
    request = Request(sim, None, tokens)
    execute(sim, request)
    return {"reply": render(request.reply_tokens(), sim.era >= 7)}


def _send_bad_frame(sim, kind, mac):
    players = [sim.players[mac]] if mac in sim.players else sim.player_list()
    conns = [p.conn for p in players if p.conn is not None]
    if not conns:
        return {"error": "no connected player"}
    conn = conns[0]
    if kind == "short":
        conn.send_raw(struct.pack(">H", 4) + b"vers")
    elif kind == "oversized":
        conn.send_raw(struct.pack(">H", 4 + 4096) + b"grfe" + bytes(4096))
    elif kind == "truncated":
        conn.send_raw(struct.pack(">H", 10) + b"strm" + b"q0m")
        conn.close()
    else:
        return {"error": f"unknown frame kind {kind!r}"}
    sim.log(f"fault: sent a {kind} frame to {conn.player.mac}")
    return {"ok": True}


def _fault(sim, args):
    if not args:
        return {"error": "fault needs a name"}
    name, rest = args[0], args[1:]
    if name == "send":
        return _send_bad_frame(sim, rest[0] if rest else "", rest[1].lower() if len(rest) > 1 else "")
    if name == "close-listeners":
        count = len(sim.hub.listeners)
        sim.hub.close_all()
        sim.log(f"fault: closed {count} listening connections")
        return {"ok": True, "closed": count}
    if name == "restart":
        try:
            seconds = float(rest[0])
        except (IndexError, ValueError):
            return {"error": "restart needs seconds"}
        asyncio.ensure_future(sim.restart(seconds))
        return {"ok": True}
    if name == "refuse":
        kinds = rest[1].split(",") if len(rest) > 1 else ["proto", "cli", "web"]
        try:
            seconds = float(rest[0])
        except (IndexError, ValueError):
            return {"error": "refuse needs seconds"}
        asyncio.ensure_future(sim.refuse(seconds, kinds))
        return {"ok": True}
    error = sim.faults.set(name, rest)
    if error is None:
        sim.log(f"fault: {' '.join(args)}")
    return {"error": error} if error else {"ok": True}


def _stream_title(sim, args, line):
    """Takes TEXT from the raw line so its spaces survive."""
    player = sim.find_player(args[0]) if args else None
    if player is None:
        return {"error": "stream-title needs a known player"}
    item = player.playlist.current()
    if not getattr(item, "remote", 0):
        return {"error": f"{player.mac} is not on a remote item"}
    match = re.match(r"\s*\S+\s+\S+ ?(.*)$", line.rstrip("\r\n"))
    text = match.group(1) if match else ""
    item.stream_title = text
    sim.log(f"radio: {item.link} announces {text!r}")
    player.notify("playlist", "newsong", text)
    return {"ok": True, "url": item.link}


COMMANDS = {
    "ping": lambda sim, a: {"ok": True},
    "ports": lambda sim, a: dict(sim.ports),
    "players": _players,
    "frames": lambda sim, a: _frames(sim, a, False),
    "sent": lambda sim, a: _frames(sim, a, True),
    "cli-lines": lambda sim, a: {"lines": list(sim.record.cli_lines)},
    "http-requests": lambda sim, a: {"requests": list(sim.record.http_requests)},
    "events": lambda sim, a: {"events": list(sim.record.events)},
    "reset": lambda sim, a: (sim.record.clear(), {"ok": True})[1],
    "cli": _cli,
    "fault": _fault,
    "faults": lambda sim, a: sim.faults.describe(),
}


def run_command(sim, line):
    words = line.strip().split(" ")
    if words[0] == "stream-title":
        return _stream_title(sim, [w for w in words[1:] if w], line)
    handler = COMMANDS.get(words[0])
    if handler is None:
        return {"error": f"unknown command {words[0]!r}"}
    return handler(sim, [w for w in words[1:] if w])


async def start(sim, host, port):
    async def handle(reader, writer):
        try:
            while True:
                line = await reader.readline()
                if not line:
                    break
                if not line.strip():
                    continue
                reply = run_command(sim, line.decode("utf-8", "replace"))
                writer.write(json.dumps(reply, ensure_ascii=False).encode("utf-8") + b"\n")
                await writer.drain()
        except ConnectionError:
            pass
        finally:
            writer.close()
    return await asyncio.start_server(handle, host, port, reuse_address=True)
