"""End-to-end under a real X server (Xvfb): what the display shows is the
composed screen, every plane of it, scaled to fill the display in full
screen and shown 1:1 in a window. The X root window (captured with xwd) is
compared with the app's own ECP screenshot scaled to where the picture
should be; the logo, the player display strip with the server's text and
the message box must be there."""

import os
import shutil
import subprocess
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "slimserver-sim"))
from appharness import AppRun, free_port, wait_until  # noqa: E402
from imagefiles import read_png, read_xwd  # noqa: E402
from tests.support import SimProcess  # noqa: E402

LOGICAL = (1024, 576)
LOGO = (28, 12, 300, 50)           # where the Now Playing screen draws the logo
STRIP = (352, 21, 320, 33)         # the player display window
MESSAGE_BAND = (200, 258, 624, 60)  # around the start-up message box
FOREGROUND = (232, 241, 255)       # the Default skin's display colour
TOLERANCE = 24                     # per channel, for scaling and colour conversion


def bright(p):
    return min(p) > 200


def display_text(p):
    return all(abs(a - b) <= TOLERANCE for a, b in zip(p, FOREGROUND))


def red(p):
    return p[0] > 150 and p[1] < 70 and p[2] < 70


class XServer:
    """Xvfb on a display number it picks itself, 24-bit colour."""

    def __init__(self, width, height):
        read_end, write_end = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % (width, height),
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as f:
            number = f.readline().strip()
        if not number:
            self.proc.kill()
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number
        self.size = (width, height)

    def capture(self, path):
        subprocess.run(["xwd", "-root", "-silent", "-display", self.display, "-out", path], check=True, timeout=20)
        return read_xwd(path)

    def close(self):
        self.proc.terminate()
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()


def fit(output):
    """Where the logical screen should appear on a full-screen output."""
    (lw, lh), (ow, oh) = LOGICAL, output
    if ow * lh == oh * lw:
        return 0, 0, ow, oh
    if ow * lh > oh * lw:
        w = (lw * oh + lh // 2) // lh
        return (ow - w) // 2, 0, w, oh
    h = (lh * ow + lw // 2) // lw
    return 0, (oh - h) // 2, ow, h


def mismatches(root, shot, area, step):
    """Sampled root pixels inside `area` that match none of the 3x3
    neighbourhood of the screenshot pixel they were scaled from."""
    ax, ay, aw, ah = area
    bad = total = 0
    for y in range(ay, ay + ah, step):
        ly = (y - ay) * shot.height // ah
        for x in range(ax, ax + aw, step):
            lx = (x - ax) * shot.width // aw
            p = root.pixel(x, y)
            total += 1
            if not any(all(abs(a - b) <= TOLERANCE for a, b in zip(p, shot.pixel(nx, ny)))
                       for ny in (ly - 1, ly, ly + 1) if 0 <= ny < shot.height
                       for nx in (lx - 1, lx, lx + 1) if 0 <= nx < shot.width):
                bad += 1
    return bad, total


def count(image, rect, predicate):
    x0, y0, w, h = rect
    return sum(1 for y in range(y0, y0 + h) for x in range(x0, x0 + w) if predicate(image.pixel(x, y)))


def scaled(rect, area):
    ax, ay, aw, ah = area
    x, y, w, h = rect
    sx, sy = aw / LOGICAL[0], ah / LOGICAL[1]
    return ax + int(x * sx), ay + int(y * sy), max(1, int(w * sx)), max(1, int(h * sy))


@unittest.skipUnless(shutil.which("Xvfb") and shutil.which("xwd"), "needs Xvfb and xwd (scripts/setup installs them)")
class XDisplayTest(unittest.TestCase):
    def run_app(self, xserver, windowed, *args):
        run = AppRun()
        self.addCleanup(run.close)
        run.env["SDL_VIDEODRIVER"] = "x11"
        run.env["DISPLAY"] = xserver.display
        run.env.pop("QUENDREL_WINDOWED", None)
        if windowed:
            run.env["QUENDREL_WINDOWED"] = "1"
        run.start(*args)
        wait_until(lambda: run.ecp("screenshot " + os.path.join(run.dir, "first.png")) == "OK")
        return run

    def area(self, xserver, windowed):
        if not windowed:
            return fit(xserver.size)
        # No window manager runs: the window sits where it asked to, centred.
        (w, h), (lw, lh) = xserver.size, LOGICAL
        return (w - lw) // 2, (h - lh) // 2, lw, lh

    def stable_capture(self, run, xserver):
        """A screenshot and a root capture taken while the screen did not change."""
        for attempt in range(15):
            first, second = (os.path.join(run.dir, name) for name in ("a.png", "b.png"))
            self.assertEqual("OK", run.ecp("screenshot " + first))
            root = xserver.capture(os.path.join(run.dir, "root.xwd"))
            self.assertEqual("OK", run.ecp("screenshot " + second))
            with open(first, "rb") as a, open(second, "rb") as b:
                if a.read() == b.read():
                    return read_png(first), root
            time.sleep(0.2)
        self.fail("the screen never held still")

    def assert_shown(self, run, xserver, windowed, features):
        area = self.area(xserver, windowed)
        for attempt in range(5):
            shot, root = self.stable_capture(run, xserver)
            bad, total = mismatches(root, shot, area, step=3)
            if bad <= total // 200:
                break
            time.sleep(0.3)  # the last frame may still be on its way to the X server
        self.assertEqual((shot.width, shot.height), LOGICAL)
        self.assertLessEqual(bad, total // 200, "%d of %d sampled pixels differ from the screenshot" % (bad, total))
        scale = (area[2] / LOGICAL[0]) * (area[3] / LOGICAL[1])
        for name, rect, predicate, least in features:
            in_shot = count(shot, rect, predicate)
            self.assertGreater(in_shot, least, "%s missing from the screenshot" % name)
            on_display = count(root, scaled(rect, area), predicate)
            self.assertGreater(on_display, 0.7 * scale * in_shot,
                               "%s: %d pixels on the display, %d in the screenshot" % (name, on_display, in_shot))
        if not windowed:
            # Full screen fills a display of the same aspect ratio to its corners.
            self.assertEqual(area, (0, 0) + xserver.size)

    def with_server(self, xserver, windowed):
        sim = SimProcess()
        self.addCleanup(sim.stop)
        ports = sim.ports
        run = self.run_app(xserver, windowed, "127.0.0.1", "-SlimProtoPort=%d" % ports["proto"],
                           "-SlimCLIPort=%d" % ports["cli"], "-SlimWebPort=%d" % ports["web"])
        self.assertTrue(wait_until(lambda: len([f for f in sim.control("sent")["frames"].values()
                                                for f in f if f["op"] == "grfe"]) >= 2),
                        "the server drew nothing")
        self.assert_shown(run, xserver, windowed, [
            ("the logo", LOGO, bright, 500),
            ("the server's text in the player display", STRIP, display_text, 100),
        ])
        run.close()

    def without_server(self, xserver, windowed):
        run = self.run_app(xserver, windowed, "127.0.0.1", "-SlimProtoPort=%d" % free_port())
        self.assert_shown(run, xserver, windowed, [
            ("the logo", LOGO, bright, 500),
            ("the message box", MESSAGE_BAND, red, 200),
        ])
        run.close()

    def test_full_screen_and_windowed_at_720p_and_1080p(self):
        for size in ((1280, 720), (1920, 1080)):
            xserver = XServer(*size)
            try:
                for windowed in (False, True):
                    with self.subTest(size=size, windowed=windowed):
                        self.with_server(xserver, windowed)
                        self.without_server(xserver, windowed)
            finally:
                xserver.close()


if __name__ == "__main__":
    unittest.main()
