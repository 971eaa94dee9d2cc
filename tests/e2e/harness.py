# What every end-to-end walk shares: build/quendrel run headless in a
# private directory (its own XDG runtime and config directories) and driven
# over ECP, the server simulator with a few readers, screenshots read back
# from PNG (and X root windows from XWD), and the tones SDL's disk audio
# driver wrote.
#
# When the program is built with the address or undefined-behaviour sanitizer,
# its reports (leaks at exit included) go to files in the run's directory, and
# closing the run fails the test that made it if there are any.

import array
import ctypes
import ctypes.util
import fcntl
import glob
import hashlib
import inspect
import json
import os
import pathlib
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
from urllib.parse import unquote

HERE = os.path.dirname(os.path.abspath(__file__))
SIM_DIR = os.path.join(HERE, "..", "..", "tools", "slimserver-sim")
sys.path.insert(0, SIM_DIR)
from tests.support import MAKE_LIBRARY, SimProcess  # noqa: E402

BUILD = os.path.abspath(os.environ.get("QUENDREL_BUILD_DIR") or os.path.join(HERE, "..", "..", "build"))
APP, ECP, SCREENS = (os.path.join(BUILD, name) for name in ("quendrel", "quendrel-ecp", "screens"))
STRIP = (352, 21, 320, 33)           # the player display on the 1024x576 screen
DISPLAY_TEXT = (232, 241, 255)       # the Default skin's display colours
DISPLAY_BACKGROUND = (8, 12, 20)


def wait_until(predicate, timeout=20.0):
    # Calls predicate until it gives something true; returns its last value.
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.05)
    return predicate()


def expect(predicate, message="timed out", timeout=20.0):
    # wait_until, failing the test with `message` (or what it returns, when
    # it is a function) when predicate never holds; returns its value.
    value = wait_until(predicate, timeout)
    if not value:
        raise AssertionError(message() if callable(message) else message)
    return value


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def port_args(ports):
    return ["-SlimProtoPort=%d" % ports["proto"], "-SlimCLIPort=%d" % ports["cli"], "-SlimWebPort=%d" % ports["web"]]


def parse_items(reply, first_key):
    # The items of a CLI reply: dicts of unescaped tags, one per `first_key`.
    items = []
    for token in reply.split(" "):
        key, _, value = unquote(token).partition(":")
        if key == first_key:
            items.append({})
        if items:
            items[-1][key] = value
    return items


def library(name="tones", *args, then=None):
    # The simulator's library: the tone library, or a copy of it made with
    # make-library's `args` and handed to `then`; made once per build
    # directory and version of the simulator (a lock keeps two tests from
    # making it at the same time), as encoding the tones takes half a minute.
    sources = sorted(glob.glob(os.path.join(SIM_DIR, "slimsim", "*.py"))) + [MAKE_LIBRARY]
    made = b"".join(pathlib.Path(f).read_bytes() for f in sources) + repr(args).encode()
    key = hashlib.sha1(made + (inspect.getsource(then).encode() if then else b"")).hexdigest()[:10]
    path = os.path.join(BUILD, "e2e-library-%s-%s" % (name, key))
    base = library() if args else None
    with open(path + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not os.path.exists(os.path.join(path, "ready")):
            shutil.rmtree(path, ignore_errors=True)
            if base:
                shutil.copytree(base, path, ignore=shutil.ignore_patterns("ready"))
            subprocess.run([sys.executable, MAKE_LIBRARY, path, *args], check=True, capture_output=True)
            if then:
                then(path)
            open(os.path.join(path, "ready"), "w").close()
    return path


def manifest(path):
    with open(os.path.join(path, "manifest.json"), encoding="utf-8") as f:
        return json.load(f)


class Sim(SimProcess):
    # The simulator (on the given ports, or ports the system picks) with the
    # readers the walks use.
    def __init__(self, library_dir=None, ports=None):
        super().__init__(*(arg for name in ports or () for arg in ("--%s-port" % name, str(ports[name]))),
                         library_dir=library_dir or library())

    def power_on(self):
        # The player id of the first "power 1" the simulator's CLI received.
        return expect(lambda: next((l.split(" ")[0] for l in self.lines() if l.endswith(" power 1")), None),
                      "the app never switched its player on")

    def cli(self, line):
        return self.control("cli " + line).get("reply", "")

    def lines(self):
        return [unquote(entry["line"]) for entry in self.control("cli-lines")["lines"]]

    def player(self):
        players = self.control("players")["players"]
        return players[0] if players else None

    def connected(self):
        return any(p["connected"] for p in self.control("players")["players"])

    def ops(self, mac):
        return [op for op, _ in self.frames(mac)]

    def stats(self, mac):
        return [p[:4].decode() for op, p in self.frames(mac) if op == "STAT"]

    def irs(self, mac):
        # IR codes: after 4 bytes of time and two format bytes.
        return [int.from_bytes(p[6:10], "big") for op, p in self.frames(mac) if op == "IR  "]

    def hold_stream_open(self, mac):
        # Loads an album whose stream the server accepts and never answers.
        self.control("fault http-hold 0")
        self.cli("%s playlistcontrol cmd:load album_id:1" % mac)
        expect(lambda: [r for r in self.control("http-requests")["requests"] if "stream.mp3" in r["request"]],
               "the player never asked for the stream")

    def title(self, mac):
        # The current song's title as the server has it.
        reply = self.cli("%s songinfo 0 100 track_id:%s tags:t" % (mac, self.player()["current"]))
        return next((item.get("title") for item in parse_items(reply, "id")), None)


class App:
    # build/quendrel in a directory of its own, its output in a file (a pipe
    # nobody reads would fill up over a long run and hold it).

    def __init__(self, **env):
        self.dir = tempfile.mkdtemp(prefix="quendrel-e2e-")
        self.appdir = os.path.join(self.dir, "app")
        os.makedirs(self.appdir)
        images = os.path.join(BUILD, "app", "images")
        if os.path.isdir(images):
            os.symlink(images, os.path.join(self.appdir, "images"))
        self.env = {**os.environ, "XDG_RUNTIME_DIR": os.path.join(self.dir, "run"), "SDL_VIDEODRIVER": "offscreen",
                    "XDG_CONFIG_HOME": os.path.join(self.dir, "config"), "SDL_AUDIODRIVER": "dummy", **env}
        self.sanitizer_log = os.path.join(self.dir, "sanitizer")
        for name in ("ASAN_OPTIONS", "UBSAN_OPTIONS"):
            self.env[name] = ":".join(filter(None, [self.env.get(name), "log_path=" + self.sanitizer_log]))
        os.makedirs(self.env["XDG_RUNTIME_DIR"], mode=0o700)
        self.procs, self.proc = [], None

    def start(self, *args):
        path = os.path.join(self.dir, "out%d.log" % len(self.procs))
        with open(path, "w") as log:
            self.proc = subprocess.Popen([APP, *args], cwd=self.appdir, env=self.env, stdout=log,
                                         stderr=subprocess.STDOUT)
        self.proc.log = path
        self.procs.append(self.proc)
        return self.proc

    def start_against(self, sim, *extra):
        # Starts against the simulator and waits until the app answers ECP and
        # has switched its player on; returns the player's id.
        self.start("127.0.0.1", *port_args(sim.ports), *extra)
        self.wait_ecp("Quendrel ping", "pong", 30)
        return sim.power_on()

    def output(self, proc=None):
        return pathlib.Path((proc or self.proc).log).read_text(errors="replace")

    def ecp(self, line, timeout=15):
        # One request straight over the ECP socket (no client process to
        # start, so a round trip times the app alone); the reply, or None when
        # none came (in time).
        try:
            with socket.socket(socket.AF_UNIX) as s:
                s.settimeout(timeout)
                s.connect(os.path.join(self.env["XDG_RUNTIME_DIR"], "quendrel", "ecp.sock"))
                s.sendall(line.encode() + b"\n")
                reply = s.makefile("rb").readline()
        except OSError:
            return None
        return reply[:-1].decode("utf-8", "replace") if reply.endswith(b"\n") else None

    def ecp_client(self, command):
        # The reply through quendrel-ecp, or None when it failed.
        result = subprocess.run([ECP, command], env=self.env, capture_output=True, text=True, timeout=30)
        return result.stdout.rstrip("\n") if result.returncode == 0 else None

    def wait_ecp(self, command, expected, timeout=20.0):
        expect(lambda: self.ecp(command) == expected,
               lambda: "ECP %r: wanted %r, last reply %r" % (command, expected, self.ecp(command)), timeout)

    def key(self, *names):
        for name in names:
            if self.ecp("keypress " + name) != "OK":
                raise AssertionError("keypress %s unanswered" % name)

    def screenshot(self, name=None):
        # The screen read back (None when ECP gave none); with a name also
        # kept in build/screens/ for review.
        path = os.path.join(self.dir, "shot.png")
        if self.ecp("screenshot " + path) != "OK":
            return None
        if name:
            os.makedirs(SCREENS, exist_ok=True)
            shutil.copyfile(path, os.path.join(SCREENS, "e2e-%s.png" % name))
        return read_png(path)

    def settle(self, timeout=20):
        # Waits until three screenshots in a row are the same file: what the
        # last key or load started has reached the screen (a load's please-wait
        # window has gone, the covers have come).
        path, seen = os.path.join(self.dir, "settle.png"), []

        def still():
            seen.append(self.ecp("screenshot " + path) == "OK" and pathlib.Path(path).read_bytes())
            return seen[-1] and seen[-3:] == [seen[-1]] * 3

        expect(still, "the screen never settled", timeout)

    def close(self):
        for proc in self.procs:
            if proc.poll() is None:
                proc.send_signal(signal.SIGTERM)
                try:
                    proc.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()
        reports = [pathlib.Path(p).read_text(errors="replace") for p in sorted(glob.glob(self.sanitizer_log + ".*"))]
        shutil.rmtree(self.dir, ignore_errors=True)
        if reports:
            raise AssertionError("sanitizer reports from the application:\n" + "\n".join(reports))


class Repeater(threading.Thread):
    # Calls `ask` over and over on its own thread, keeping (ms, reply) of each call.
    def __init__(self, ask, pause=0.1):
        super().__init__(daemon=True)
        self.ask, self.pause, self.samples, self.stopping = ask, pause, [], threading.Event()
        self.start()

    def run(self):
        while not self.stopping.wait(self.pause):
            started = time.monotonic()
            reply = self.ask()
            self.samples.append(((time.monotonic() - started) * 1000, reply))

    def stop(self):
        self.stopping.set()
        self.join(60)
        return self.samples


class Image:
    # Rows of pixels, `bpp` bytes each, red first.

    def __init__(self, width, height, rows, bpp=4):
        self.width, self.height, self.rows, self.bpp = width, height, rows, bpp

    def pixel(self, x, y):
        row, at = self.rows[y], self.bpp * x
        return row[at], row[at + 1], row[at + 2]

    def crop(self, x, y, w, h):
        return [bytes(self.rows[y + r][self.bpp * x:self.bpp * (x + w)]) for r in range(h)]


class _PngImage(ctypes.Structure):
    _fields_ = [("opaque", ctypes.c_void_p)] + [(name, ctypes.c_uint32) for name in (
        "version", "width", "height", "format", "flags", "colormap_entries", "warning_or_error")] + [
        ("message", ctypes.c_char * 64)]


_libpng = ctypes.CDLL(ctypes.util.find_library("png16") or "libpng16.so.16")


def read_png(path):
    # A PNG as RGBA rows, through libpng's simplified API (a Python decoder
    # takes seconds a screenshot on a loaded machine).
    image = _PngImage(version=1)  # PNG_IMAGE_VERSION
    if _libpng.png_image_begin_read_from_file(ctypes.byref(image), os.fsencode(path)):
        image.format = 3  # PNG_FORMAT_RGBA
        data = ctypes.create_string_buffer(image.width * image.height * 4)
        if _libpng.png_image_finish_read(ctypes.byref(image), None, data, 0, None):
            raw, stride = data.raw, image.width * 4
            return Image(image.width, image.height, [raw[y * stride:(y + 1) * stride] for y in range(image.height)])
    raise ValueError("%s: %s" % (path, image.message.decode(errors="replace")))


def count(image, rect, predicate, step=1):
    # Pixels of `rect` (every `step`th each way) for which predicate(rgb) holds.
    x0, y0, w, h = rect
    return sum(1 for y in range(y0, y0 + h, step) for x in range(x0, x0 + w, step) if predicate(image.pixel(x, y)))


def red(p):
    return p[0] > 150 and p[1] < 70 and p[2] < 70


def bright(level=160):
    return lambda p: sum(p) > 3 * level


def black_share(image):
    black = count(image, (0, 0, image.width, image.height), lambda p: p == (0, 0, 0), 8)
    return black / (image.width * image.height / 64)


def red_message(image):
    # True when red message text sits in the middle band of the screen.
    return image is not None and count(image, (200, image.height // 2 - 12, 624, 24), red) > 200


# ---- sound ----

RATE = 44100
WINDOW = RATE // 20          # 50 ms


def tones(path, offset=0):
    # [(frequency, seconds)] heard in the raw 16-bit stereo 44.1 kHz file from
    # byte `offset` on, silence left out: the tone of each 50 ms window from
    # the zero crossings of the left channel (every 4th sample still sees the
    # library's tones, up to 1.8 kHz); runs under 150 ms (a track's edges)
    # dropped, runs of one tone less than 200 ms apart joined.
    samples, data = array.array("h"), pathlib.Path(path).read_bytes()[offset:]
    samples.frombytes(data[:len(data) // 4 * 4])
    left, runs = samples[0::2], []  # [frequency, windows]
    same = lambda a, b: abs(a - b) <= max(15.0, 0.03 * a)  # noqa: E731
    for start in range(0, len(left) - WINDOW, WINDOW):
        part = left[start:start + WINDOW:4]
        loud = max(map(abs, part)) >= 300
        f = sum((a < 0) != (b < 0) for a, b in zip(part, part[1:])) * RATE / (8.0 * len(part)) if loud else 0.0
        if runs and same(f, runs[-1][0]):
            runs[-1][1] += 1
        else:
            runs.append([f, 1])
    heard, gap = [], 0.0
    for f, windows in runs:
        seconds = windows * WINDOW / RATE
        if f <= 0 or seconds < 0.15:
            gap += seconds
            continue
        if heard and gap < 0.2 and same(f, heard[-1][0]):
            heard[-1] = (heard[-1][0], heard[-1][1] + seconds)
        else:
            heard.append((f, seconds))
        gap = 0.0
    return heard
