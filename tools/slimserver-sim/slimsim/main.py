"""Command line of slimserver-sim."""

import argparse
import asyncio
import os
import signal
import sys

from .library import Library
from .server import Simulator


def parse_args(argv):
    parser = argparse.ArgumentParser(
        prog="slimserver-sim",
        description="Imitates SlimServer's SlimProto, CLI and web interfaces.")
    parser.add_argument("--library", required=True, metavar="DIR",
                        help="library made by make-library")
    parser.add_argument("--bind", default="127.0.0.1", metavar="ADDR",
                        help="address to listen on (default 127.0.0.1)")
    parser.add_argument("--proto-port", type=int, default=3483, metavar="N")
    parser.add_argument("--cli-port", type=int, default=9090, metavar="N")
    parser.add_argument("--web-port", type=int, default=9000, metavar="N")
    parser.add_argument("--control-port", type=int, default=None, metavar="N",
                        help="open the test control port (0 = any free port)")
    parser.add_argument("--discovery", action="store_true",
                        help="answer UDP discovery on the SlimProto port")
    parser.add_argument("--era", type=int, choices=(6, 7), default=6,
                        help="imitate the 6.5 server (default) or the 7.x forms")
    parser.add_argument("--server-name", default=None,
                        help="name sent in discovery replies (default: host name)")
    parser.add_argument("--ready-file", metavar="PATH",
                        help="write the bound ports here once serving")
    parser.add_argument("--fault", action="append", default=[], metavar="NAME=ARGS",
                        help="set a fault knob at start, e.g. drop-after=5 or cli-split=3,50")
    return parser.parse_args(argv)


def write_ready_file(path, sim):
    tmp = path + ".tmp"
    with open(tmp, "w") as f:
        for kind, port in sim.ports.items():
            f.write(f"{kind}={port}\n")
    os.replace(tmp, path)


async def serve(args):
    library = Library(args.library)
    sim = Simulator(library, era=args.era, server_name=args.server_name, bind=args.bind)
    for knob in args.fault:
        name, _, values = knob.partition("=")
        error = sim.faults.set(name, [v for v in values.split(",") if v])
        if error:
            raise SystemExit(f"slimserver-sim: {error}")
    await sim.start(args.proto_port, args.cli_port, args.web_port, args.control_port,
                    args.discovery)
    sim.log(f"library {library.root}: {len(library.tracks)} tracks, "
            f"{len(library.artists)} artists, {len(library.albums)} albums, era {args.era}")
    sim.log(sim.listening_line())
    if args.ready_file:
        write_ready_file(args.ready_file, sim)
    stop = asyncio.Event()
    loop = asyncio.get_running_loop()
    for signum in (signal.SIGINT, signal.SIGTERM):
        loop.add_signal_handler(signum, stop.set)
    await stop.wait()
    sim.log("stopping")


def main(argv=None):
    args = parse_args(sys.argv[1:] if argv is None else argv)
    try:
        asyncio.run(serve(args))
    except OSError as error:
        print(f"slimserver-sim: {error}", file=sys.stderr)
        return 1
    return 0
