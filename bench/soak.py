#!/usr/bin/env python3
"""Soak: the app runs for a long time against the server simulator while
scripted ECP keys change songs, page through the library, browse the radio
directories and let the screen saver come and go. Every 10 s the app's
resident memory, open descriptors and threads are sampled into a CSV; at the
end the figures at the start, after warm-up, after 10 minutes and at the end
are printed with a verdict on whether they stay flat after warm-up.

    python3 bench/soak.py [--build DIR] [--minutes N] [--warmup MIN] [--out DIR]

Playback: the library's 13 real tracks (2 to 4 s each) on repeat, so the
song changes every few seconds; Next and Previous on Now Playing change it
as well. The screen saver's delay is one minute (-Screensaver=1); each round
starts it at once with Select and later lets it come on by itself during an
idle spell. The library is the generated one with extra metadata-only
artists, so there are many pages to turn. The radio directories are the
real samples served by a local web server (QUENDREL_RADIO_BASE).

Flatness: least-squares slopes over the second half of the run (or over the
time after warm-up if that is shorter). Thresholds: resident memory under
2 MiB per hour, descriptors and threads under 6 per hour, and no sample after
warm-up may exceed the warm-up's highest descriptor or thread count by more
than 4 (a stream or fetch may be open at the moment of a sample).

Exits 1 with a loud message if the app ends, stops answering ECP, or a check
of the run's own driving fails (nothing plays, the saver never shows);
exits 2 if the figures are not flat. Everything talks to 127.0.0.1 only.
"""

import argparse
import csv
import http.server
import os
import re
import shutil
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
sys.path.insert(0, os.path.join(HERE, "..", "tools", "slimserver-sim"))

LARGE = 2000          # extra metadata-only artists for paging
SAMPLE_SECONDS = 10
RSS_LIMIT_KIB_PER_HOUR = 2048
COUNT_LIMIT_PER_HOUR = 6.0
COUNT_HEADROOM = 4


class Dead(Exception):
    """The app died or stopped answering."""


def proc_figures(pid):
    """(VmRSS KiB, VmHWM KiB, threads, open descriptors) of a live process."""
    rss = hwm = threads = None
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                rss = int(line.split()[1])
            elif line.startswith("VmHWM:"):
                hwm = int(line.split()[1])
            elif line.startswith("Threads:"):
                threads = int(line.split()[1])
    fds = len(os.listdir("/proc/%d/fd" % pid))
    return rss, hwm, threads, fds


def slope_per_hour(points):
    """Least-squares slope of (seconds, value) points, per hour."""
    n = len(points)
    if n < 2:
        return 0.0
    mx = sum(p[0] for p in points) / n
    my = sum(p[1] for p in points) / n
    sxx = sum((p[0] - mx) ** 2 for p in points)
    if sxx == 0:
        return 0.0
    sxy = sum((p[0] - mx) * (p[1] - my) for p in points)
    return sxy / sxx * 3600.0


def black_share(image):
    black = total = 0
    for row in image.rows[::8]:
        for x in range(0, image.width, 8):
            total += 1
            if row[4 * x] | row[4 * x + 1] | row[4 * x + 2] == 0:  # RGBA
                black += 1
    return black / float(total or 1)


class Soak:
    def __init__(self, args):
        from harness import App as AppRun
        from tests.support import SimProcess
        from test_browse import Directories

        self.args = args
        self.out = os.path.abspath(args.out)
        os.makedirs(os.path.join(self.out, "shots"), exist_ok=True)
        self.sim = SimProcess(large=LARGE, library_dir=args.library)
        self.web = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Directories)
        threading.Thread(target=self.web.serve_forever, daemon=True).start()
        self.web.base = "http://127.0.0.1:%d" % self.web.server_address[1]
        self.run = AppRun()
        self.run.env["QUENDREL_RADIO_BASE"] = self.web.base
        self.log_path = os.path.join(self.run.appdir, "debug.txt")
        self.proc = None
        self.samples = []        # (seconds, rss, hwm, threads, fds, phase)
        self.phase = "start"
        self.lock = threading.Lock()
        self.failure = None
        self.stop = threading.Event()
        self.counts = {"keys": 0, "song changes": 0, "library pages": 0, "radio lists": 0,
                       "saver by Select": 0, "saver by idle": 0, "saver missed": 0, "shots": 0}
        self.shot_names = []

    # --- the app ---------------------------------------------------------

    def start_app(self):
        ports = self.sim.ports
        from harness import APP
        self.app_out = open(os.path.join(self.out, "app-stdout.txt"), "w")
        wrap = self.args.wrap.split() if self.args.wrap else []
        self.proc = subprocess.Popen(
            wrap + [APP, "127.0.0.1", "-SlimProtoPort=%d" % ports["proto"], "-SlimCLIPort=%d" % ports["cli"],
             "-SlimWebPort=%d" % ports["web"], "-Screensaver=1", "-debug"],
            cwd=self.run.appdir, env=self.run.env, stdout=self.app_out, stderr=subprocess.STDOUT)
        self.run.procs.append(self.proc)
        from harness import wait_until
        if not wait_until(lambda: self.sim.control("players").get("players"), 90 if wrap else 30):
            raise Dead("the app never said hello to the simulator")
        self.run.wait_ecp("Quendrel ping", "pong", 60 if wrap else 20)
        self.mac = wait_until(lambda: next((e["line"].split(" ")[0] for e in self.sim.control("cli-lines")["lines"]
                                            if e["line"].endswith(" power 1")), None), 20)
        if not self.mac:
            raise Dead("the app never powered its player on")

    def alive(self):
        if self.proc.poll() is not None:
            raise Dead("the app ended with status %s" % self.proc.returncode)

    def ecp(self, command):
        """One ECP command; the app must answer within 10 s."""
        # Two tries: quendrel-ecp gives up on a busy socket at once.
        for attempt in range(2):
            self.alive()
            if attempt:
                time.sleep(1)
            try:
                reply = self.run.ecp(command, timeout=10)
            except subprocess.TimeoutExpired:
                reply = None
            if reply is not None:
                return reply
        self.alive()
        raise Dead("the app stopped answering ECP (%r)" % command)

    def key(self, *names, gap=0.25):
        for name in names:
            if self.stop.is_set():
                return
            if self.ecp("keypress " + name) != "OK":
                raise Dead("keypress %s was not taken" % name)
            self.counts["keys"] += 1
            time.sleep(gap)

    def cli(self, line):
        return self.sim.control("cli %s %s" % (self.mac, line)).get("reply", "")

    def shot(self, name, keep):
        """A screenshot; kept in the output's shots/ when asked."""
        from harness import read_png
        path = os.path.join(self.run.dir, "shot.png")
        if self.ecp("screenshot " + path) != "OK":
            raise Dead("screenshot refused")
        self.counts["shots"] += 1
        if keep:
            kept = os.path.join(self.out, "shots", "%03d-%s.png" % (len(self.shot_names), name))
            shutil.copyfile(path, kept)
            self.shot_names.append(kept)
        return read_png(path)

    def log_count(self, pattern):
        try:
            with open(self.log_path, errors="replace") as f:
                return len(re.findall(pattern, f.read()))
        except FileNotFoundError:
            return 0

    # --- sampling --------------------------------------------------------

    def sampler(self):
        started = self.started
        next_at = started
        while not self.stop.is_set():
            if self.proc.poll() is not None:
                self.failure = "the app ended with status %s" % self.proc.returncode
                self.stop.set()
                return
            try:
                rss, hwm, threads, fds = proc_figures(self.proc.pid)
            except (OSError, TypeError):
                self.failure = "the app's /proc entry is gone"
                self.stop.set()
                return
            t = time.monotonic() - started
            with self.lock:
                self.samples.append((round(t, 1), rss, hwm, threads, fds, self.phase))
                self.writer.writerow(self.samples[-1])
                self.csv_file.flush()
            next_at += SAMPLE_SECONDS
            self.stop.wait(max(0.0, next_at - time.monotonic()))

    # --- what the keys do ------------------------------------------------

    def set_phase(self, name):
        with self.lock:
            self.phase = name

    def play_library(self):
        """The library's tracks with audio on repeat, from the first."""
        reply = self.sim.control("cli titles 0 %d tags:u" % (LARGE + 100))["reply"]
        tracks = [entry.split(" ", 1)[0] for entry in reply.split(" id%3A")[1:] if "metadata-only" not in entry]
        if not tracks:
            raise Dead("no playable tracks in the library: %s" % reply[:300])
        self.cli("playlist clear")
        self.cli("playlist repeat 2")
        for track in tracks:
            self.cli("playlistcontrol cmd:add track_id:%s" % track)
        self.cli("playlist index 0")
        from harness import wait_until
        if not wait_until(lambda: self.cli("mode ?").endswith("mode play"), 20):
            raise Dead("the library does not play")

    def now_playing(self, keep):
        """Song changes by the Next and Previous keys on Now Playing."""
        self.set_phase("songs")
        self.key("Next", gap=2.0)
        self.key("Next", gap=2.0)
        self.key("Previous", gap=2.0)
        self.shot("now-playing", keep)

    def count_songs(self):
        """Songs the player started since the simulator's last reset (STAT STMs)."""
        frames = self.sim.control("frames %s" % self.mac).get("frames", {}).get(self.mac, [])
        started = sum(1 for f in frames if f["op"] == "STAT" and f["payload"].lower().startswith("53544d73"))
        self.counts["song changes"] += started
        return started

    def library(self, keep, pages):
        self.set_phase("library")
        self.key("Menu")
        self.key("Select", gap=1.5)        # the library loads every level
        self.key("Right", gap=0.5)         # the artists
        for i in range(pages):
            self.key("Zoom Out" if i % 6 != 5 else "Next", gap=0.6)
            self.counts["library pages"] += 1
        self.shot("library", keep)
        self.key("Zoom In", gap=0.6)
        self.key("Down", gap=1.0)          # an artist: its albums and tracks narrow
        self.shot("library-artist", keep)
        self.key("Exit", gap=1.0)

    def radio(self, keep):
        self.set_phase("radio")
        shown = r"radio: \w+ type \d+, page"
        before = self.log_count(shown)
        self.key("Menu", "Down", "Down", "Down", "Down")
        self.key("Select", gap=1.5)        # the directories' top menu
        self.key("Right", gap=2.5)         # Shoutcast's genres
        self.key("Zoom Out", "Down", "Down", gap=0.5)
        self.key("Right", gap=2.5)         # a genre's stations
        self.key("Zoom Out", "Down", gap=0.5)
        self.shot("radio-stations", keep)
        self.key("Left", gap=1.0)          # back to the genres
        self.key("Left", gap=1.0)          # the top menu
        self.key("Down", gap=0.3)
        self.key("Right", gap=2.5)         # the next directory
        self.shot("radio-directory", keep)
        self.key("Left", gap=0.5)
        self.key("Exit", gap=1.0)
        self.counts["radio lists"] += self.log_count(shown) - before

    def saver_by_select(self, keep):
        self.set_phase("saver")
        self.key("Select", gap=1.5)
        if black_share(self.shot("saver-select", keep)) > 0.6:
            self.counts["saver by Select"] += 1
        else:
            self.counts["saver missed"] += 1
        self.stop.wait(5)
        self.key("Up", gap=1.0)

    def saver_by_idle(self, keep, seconds):
        """No keys for `seconds`; the saver comes on after a minute."""
        self.set_phase("idle")
        end = time.monotonic() + seconds
        while not self.stop.is_set() and time.monotonic() < end:
            self.stop.wait(min(10, end - time.monotonic()))
            self.alive()
        if seconds >= 75:
            if black_share(self.shot("saver-idle", keep)) > 0.6:
                self.counts["saver by idle"] += 1
            else:
                self.counts["saver missed"] += 1
        self.key("Up", gap=1.0)

    def rounds(self, minutes):
        end = self.started + minutes * 60
        number = 0
        while not self.stop.is_set() and time.monotonic() < end:
            keep = number < 2 or number % 10 == 0
            left = end - time.monotonic()
            self.now_playing(keep)
            self.library(keep, pages=12)
            self.radio(keep)
            self.saver_by_select(keep)
            if self.counts["library pages"] and self.log_count(r"radio: \w+ type") == 0:
                raise Dead("the radio browser never showed a list")
            # The idle spell: long enough for the saver once there is time.
            idle = 80 if left > 150 else 5
            self.saver_by_idle(keep, idle)
            if self.count_songs() == 0:
                raise Dead("no song started during round %d" % (number + 1))
            self.sim.control("reset")  # the simulator's records would grow for the whole run
            number += 1
            print("round %d done at %.0f s: %s" % (number, time.monotonic() - self.started, self.counts), flush=True)

    # --- the run ---------------------------------------------------------

    def execute(self):
        self.csv_file = open(os.path.join(self.out, "soak.csv"), "w", newline="")
        self.writer = csv.writer(self.csv_file)
        self.writer.writerow(["seconds", "vmrss_kib", "vmhwm_kib", "threads", "fds", "phase"])
        self.start_app()
        self.started = time.monotonic()
        sampler = threading.Thread(target=self.sampler, daemon=True)
        sampler.start()
        try:
            self.play_library()
            self.rounds(self.args.minutes)
            # The playlist must still be going at the end.
            if not self.cli("mode ?").endswith("mode play"):
                raise Dead("playback stopped during the run: %s" % self.cli("mode ?"))
        except Dead as e:
            self.failure = self.failure or str(e)
        except (OSError, ValueError) as e:
            self.failure = self.failure or "the run broke: %r" % e
        finally:
            self.stop.set()
            sampler.join(15)
            # One last sample with the run's state as it ended.
            if self.proc.poll() is None:
                rss, hwm, threads, fds = proc_figures(self.proc.pid)
                self.samples.append((round(time.monotonic() - self.started, 1), rss, hwm, threads, fds, "end"))
                self.writer.writerow(self.samples[-1])
            self.csv_file.close()

    def close(self):
        for proc in self.run.procs:
            if proc.poll() is None:
                self.run.ecp("Quendrel quit", timeout=10)
                try:
                    proc.wait(10)
                except subprocess.TimeoutExpired:
                    pass
        self.run.close()
        self.web.RequestHandlerClass.release.set()
        self.web.shutdown()
        self.web.server_close()
        self.sim.stop()
        if getattr(self, "app_out", None):
            self.app_out.close()


def at(samples, seconds):
    """The first sample at or after `seconds`."""
    for sample in samples:
        if sample[0] >= seconds:
            return sample
    return samples[-1]


def verdict(samples, warmup_seconds):
    """Returns (lines, flat)."""
    lines = []
    if len(samples) < 4:
        return ["too few samples (%d) for a verdict" % len(samples)], False
    end_t = samples[-1][0]
    warmup_seconds = min(warmup_seconds, end_t / 2)
    rows = [("start", samples[0]), ("after warm-up (%.0f s)" % warmup_seconds, at(samples, warmup_seconds))]
    if end_t >= 600:
        rows.append(("10 min", at(samples, 600)))
    rows.append(("end (%.0f s)" % end_t, samples[-1]))
    lines.append("%-24s %10s %10s %8s %6s" % ("", "VmRSS MiB", "VmHWM MiB", "threads", "fds"))
    for name, s in rows:
        lines.append("%-24s %10.1f %10.1f %8d %6d" % (name, s[1] / 1024.0, s[2] / 1024.0, s[3], s[4]))
    after = [s for s in samples if s[0] >= warmup_seconds]
    half = [s for s in samples if s[0] >= max(warmup_seconds, end_t / 2)]
    warm = [s for s in samples if s[0] < warmup_seconds] or samples[:1]
    rss_slope = slope_per_hour([(s[0], s[1]) for s in half])
    thread_slope = slope_per_hour([(s[0], s[3]) for s in half])
    fd_slope = slope_per_hour([(s[0], s[4]) for s in half])
    flat = True
    checks = [
        ("VmRSS slope %+.0f KiB/h (limit %d)" % (rss_slope, RSS_LIMIT_KIB_PER_HOUR), rss_slope < RSS_LIMIT_KIB_PER_HOUR),
        ("threads slope %+.2f /h (limit %.0f)" % (thread_slope, COUNT_LIMIT_PER_HOUR),
         thread_slope < COUNT_LIMIT_PER_HOUR),
        ("descriptors slope %+.2f /h (limit %.0f)" % (fd_slope, COUNT_LIMIT_PER_HOUR), fd_slope < COUNT_LIMIT_PER_HOUR),
        ("threads after warm-up at most %d (warm-up's highest %d + %d)" %
         (max(s[3] for s in after), max(s[3] for s in warm), COUNT_HEADROOM),
         max(s[3] for s in after) <= max(s[3] for s in warm) + COUNT_HEADROOM),
        ("descriptors after warm-up at most %d (warm-up's highest %d + %d)" %
         (max(s[4] for s in after), max(s[4] for s in warm), COUNT_HEADROOM),
         max(s[4] for s in after) <= max(s[4] for s in warm) + COUNT_HEADROOM),
    ]
    lines.append("slopes over the last %.0f s (%d samples):" % (end_t - half[0][0], len(half)))
    for text, ok in checks:
        lines.append("  %s %s" % ("ok  " if ok else "FAIL", text))
        flat = flat and ok
    lines.append("verdict: %s" % ("FLAT after warm-up" if flat else "GROWING after warm-up"))
    return lines, flat


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default=os.path.join(HERE, "..", "build"))
    parser.add_argument("--minutes", type=float, default=60)
    parser.add_argument("--warmup", type=float, default=10, help="warm-up minutes (at most half the run)")
    parser.add_argument("--library", default=None,
                        help="a library made by make-library DIR --large %d (made in a temporary directory if not given)" % LARGE)
    parser.add_argument("--wrap", default=None,
                        help="a command the app runs under, e.g. \"heaptrack -o FILE\" (the figures are then the wrapper's)")
    parser.add_argument("--out", default=None, help="directory for soak.csv, the app's output and screenshots")
    args = parser.parse_args()
    os.environ["QUENDREL_BUILD_DIR"] = os.path.abspath(args.build)
    args.out = args.out or os.path.join(os.path.abspath(args.build), "soak")

    soak = Soak(args)
    try:
        soak.execute()
    finally:
        soak.close()
    lines, flat = verdict(soak.samples, args.warmup * 60)
    print("\n".join(lines))
    print("driven: %s" % soak.counts)
    print("csv: %s; screenshots: %s" % (os.path.join(soak.out, "soak.csv"), os.path.join(soak.out, "shots")))
    if soak.failure:
        print("\n*** SOAK FAILED: %s ***\n" % soak.failure, file=sys.stderr)
        return 1
    if soak.counts["saver by Select"] == 0 or (args.minutes >= 3 and soak.counts["saver by idle"] == 0):
        print("\n*** SOAK FAILED: the screen saver never came on as driven ***\n", file=sys.stderr)
        return 1
    return 0 if flat else 2


if __name__ == "__main__":
    sys.exit(main())
