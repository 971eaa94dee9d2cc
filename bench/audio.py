#!/usr/bin/env python3
"""Audio pipeline benchmarks for build/quendrel, with a scripted SlimProto
peer and a small HTTP server on loopback standing in for SlimServer:

- start latency: from the "strm s" frame leaving the peer to the player's
  STMs, which the player sends as the first decoded buffers go to the
  output device and it starts (MP3, FLAC, PCM; local 3 s tracks);
- decoding cost: the app's CPU seconds per minute of audio for a 60 s
  44.1 kHz 16-bit FLAC and a 60 s 320 kbit/s MP3, through the whole
  pipeline (HTTP, ring, FFmpeg, PCM device, SDL's disk driver) with
  SDL_DISKAUDIODELAY=0 so the output runs faster than real time;
- peak resident memory (VmHWM) of the whole app after playing them.

usage: bench/audio.py [build-dir] [runs]"""

import functools
import http.server
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
from slimpeer import SlimPeer  # noqa: E402

TICKS = os.sysconf("SC_CLK_TCK")


class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def make_media(folder):
    def tone(name, seconds, codec):
        subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                        "sine=frequency=440:sample_rate=44100:duration=%d" % seconds, "-ac", "2", "-ar", "44100"]
                       + codec + [os.path.join(folder, name)], check=True)
    tone("short.mp3", 3, ["-c:a", "libmp3lame", "-b:a", "128k"])
    tone("short.flac", 3, ["-c:a", "flac"])
    tone("short.wav", 3, ["-c:a", "pcm_s16le", "-f", "s16le"])  # raw samples, as the server sends PCM
    tone("long.flac", 60, ["-c:a", "flac", "-sample_fmt", "s16"])
    tone("long.mp3", 60, ["-c:a", "libmp3lame", "-b:a", "320k"])


class App:
    def __init__(self, build, peer, web_port, env_extra):
        self.work = tempfile.mkdtemp(prefix="quendrel-audio-bench-")
        appdir = os.path.join(self.work, "app")
        os.makedirs(appdir)
        env = dict(os.environ, XDG_RUNTIME_DIR=os.path.join(self.work, "run"),
                   XDG_CONFIG_HOME=os.path.join(self.work, "cfg"), SDL_VIDEODRIVER="offscreen", **env_extra)
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700)
        hellos = sum(1 for op, _ in peer.wait_for(lambda f: True) if op == "HELO")
        self.proc = subprocess.Popen([os.path.join(build, "quendrel"), "127.0.0.1", "-SlimProtoPort=%d" % peer.port,
                                      "-SlimCLIPort=1", "-SlimWebPort=%d" % web_port], cwd=appdir, env=env,
                                     stdout=open(os.path.join(self.work, "out.log"), "w"), stderr=subprocess.STDOUT)
        self.peer = peer
        peer.wait_for(lambda f: sum(1 for op, _ in f if op == "HELO") > hellos, timeout=20)

    def cpu_seconds(self):
        with open("/proc/%d/stat" % self.proc.pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / TICKS

    def peak_rss_kib(self):
        with open("/proc/%d/status" % self.proc.pid) as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
        return 0

    def close(self):
        self.proc.terminate()
        self.proc.wait(timeout=10)
        shutil.rmtree(self.work, ignore_errors=True)


def strm(peer, command, fmt=b"m", path="", autostart=b"1"):
    header = command + autostart + fmt + b"????" + bytes([0]) + bytes(16)
    request = ("GET /%s HTTP/1.0\n\n" % path).encode() if path else b""
    peer.send("strm", header + request)


def stat_count(peer, code):
    return sum(1 for op, p in peer.wait_for(lambda f: True) if op == "STAT" and p[:4] == code)


def play_and_wait(peer, fmt, path, until, timeout=120):
    """Sends strm s; returns seconds until the `until` STAT arrived."""
    before = stat_count(peer, until)
    start = time.monotonic()
    strm(peer, b"s", fmt, path)
    peer.wait_for(lambda f: sum(1 for op, p in f if op == "STAT" and p[:4] == until) > before, timeout=timeout)
    return time.monotonic() - start


def stop(peer):
    before = stat_count(peer, b"STMt")
    strm(peer, b"q", autostart=b"0")
    peer.wait_for(lambda f: sum(1 for op, p in f if op == "STAT" and p[:4] == b"STMt") > before, timeout=10)


def latency(build, peer, web_port, runs):
    app = App(build, peer, web_port, {"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": "/dev/null"})
    try:
        results = {}
        for fmt, name in ((b"m", "short.mp3"), (b"f", "short.flac"), (b"p", "short.wav")):
            times = []
            for _ in range(runs):
                times.append(play_and_wait(peer, fmt, name, b"STMs", timeout=20) * 1000.0)
                stop(peer)
            results[name] = times
        return results
    finally:
        app.close()


def decoding(build, peer, web_port, runs):
    env = {"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": "/dev/null", "SDL_DISKAUDIODELAY": "0"}
    results = {"long.flac": [], "long.mp3": []}
    peak = 0
    for _ in range(runs):
        app = App(build, peer, web_port, env)
        try:
            for fmt, name in ((b"f", "long.flac"), (b"m", "long.mp3")):
                before = app.cpu_seconds()
                wall = play_and_wait(peer, fmt, name, b"STMu")
                results[name].append((app.cpu_seconds() - before, wall))
            peak = max(peak, app.peak_rss_kib())
        finally:
            app.close()
    return results, peak


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "build"))
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 9
    media = tempfile.mkdtemp(prefix="quendrel-audio-media-")
    web = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Quiet, directory=media))
    threading.Thread(target=web.serve_forever, daemon=True).start()
    peer = SlimPeer()
    try:
        make_media(media)
        for name, times in latency(build, peer, web.server_address[1], runs).items():
            q = statistics.quantiles(times, n=4)
            print("start latency %-10s median %6.1f ms  (quartiles %.1f / %.1f, %d runs)"
                  % (name, statistics.median(times), q[0], q[2], len(times)))
        results, peak = decoding(build, peer, web.server_address[1], max(3, runs // 3))
        for name, pairs in results.items():
            cpu = statistics.median(c for c, _ in pairs)
            wall = statistics.median(w for _, w in pairs)
            print("decoding %-10s median %.3f CPU s per minute of audio (%.1f s wall for 60 s, %d runs)"
                  % (name, cpu, wall, len(pairs)))
        print("peak resident memory of the app: %.1f MiB" % (peak / 1024.0))
    finally:
        peer.close()
        web.shutdown()
        shutil.rmtree(media, ignore_errors=True)


if __name__ == "__main__":
    main()
