# End-to-end under a real X server (Xvfb): what the display shows is the
# composed screen, every plane of it, scaled to fill a 16:9 display in full
# screen and shown 1:1 in a window. The X root window (grabbed with ffmpeg)
# is compared with the app's own ECP screenshot scaled to where the picture
# should be; the logo and the server's text in the player display must be
# there, and in full screen the logo and the message box once the server has
# gone.

import os
import pathlib
import shutil
import subprocess
import unittest

from harness import DISPLAY_TEXT, STRIP, App, Image, Sim, count, expect, read_png, red, red_message

LOGICAL = (1024, 576)
LOGO = (28, 12, 300, 50)            # where the Now Playing screen draws the logo
MESSAGE_BAND = (200, 258, 624, 60)  # around the start-up message box
TOLERANCE = 24                      # per channel, for scaling and colour conversion


def near(p, q):
    return all(abs(a - b) <= TOLERANCE for a, b in zip(p, q))


def mismatches(root, shot, area, step=4):
    # Sampled root pixels inside `area` that match none of the 3x3
    # neighbourhood of the screenshot pixel they were scaled from.
    ax, ay, aw, ah = area
    bad = total = 0
    for y in range(ay, ay + ah, step):
        ly = (y - ay) * shot.height // ah
        for x in range(ax, ax + aw, step):
            lx = (x - ax) * shot.width // aw
            p = root.pixel(x, y)
            total += 1
            bad += not near(p, shot.pixel(lx, ly)) and not any(
                near(p, shot.pixel(nx, ny)) for ny in (ly - 1, ly, ly + 1) if 0 <= ny < shot.height
                for nx in (lx - 1, lx, lx + 1) if 0 <= nx < shot.width)
    return bad, total


class XServer:
    # Xvfb on a display number it picks itself, 24-bit colour.

    def __init__(self, width, height):
        read_end, write_end = os.pipe()
        screen = "%dx%dx24" % (width, height)
        self.proc = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", screen, "-nolisten", "tcp",
                                      "-noreset"], pass_fds=(write_end,), stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as f:
            self.display = ":" + f.readline().strip()
        self.size = (width, height)

    def capture(self):
        # The root window grabbed by ffmpeg (without the pointer), as RGB rows.
        (width, height), stride = self.size, 3 * self.size[0]
        raw = subprocess.run(["ffmpeg", "-v", "error", "-f", "x11grab", "-draw_mouse", "0", "-video_size",
                              "%dx%d" % self.size, "-i", self.display, "-frames:v", "1", "-f", "rawvideo", "-pix_fmt",
                              "rgb24", "-"],
                             check=True, capture_output=True, timeout=30).stdout
        return Image(width, height, [raw[y * stride:(y + 1) * stride] for y in range(height)], bpp=3)

    def close(self):
        self.proc.terminate()
        self.proc.wait(10)


@unittest.skipUnless(shutil.which("Xvfb") and shutil.which("ffmpeg"), "needs Xvfb and ffmpeg (scripts/setup has them)")
class XDisplayTest(unittest.TestCase):
    def assert_shown(self, app, xserver, area, features):
        # The root window against a screenshot taken before and after it with
        # the screen still; a few tries, as the last frame may still be on its
        # way to the X server.
        path, bad, total = os.path.join(app.dir, "shot.png"), 1, 0
        for _ in range(15):
            before = app.ecp("screenshot " + path) and pathlib.Path(path).read_bytes()
            root = xserver.capture()
            if app.ecp("screenshot " + path) == "OK" and pathlib.Path(path).read_bytes() == before:
                shot = read_png(path)
                bad, total = mismatches(root, shot, area)
                if bad <= total // 200:
                    break
        self.assertLessEqual(bad, total // 200, "%d of %d sampled pixels differ from the screenshot" % (bad, total))
        self.assertEqual((shot.width, shot.height), LOGICAL)
        ax, ay, aw, ah = area
        sx, sy = aw / LOGICAL[0], ah / LOGICAL[1]
        for name, (x, y, w, h), predicate, least in features:
            in_shot = count(shot, (x, y, w, h), predicate)
            self.assertGreater(in_shot, least, "%s missing from the screenshot" % name)
            on_display = count(root, (ax + int(x * sx), ay + int(y * sy), int(w * sx), int(h * sy)), predicate)
            self.assertGreater(on_display, 0.7 * sx * sy * in_shot,
                               "%s: %d pixels on the display, %d in the screenshot" % (name, on_display, in_shot))

    def show(self, xserver, windowed):
        (w, h), (lw, lh) = xserver.size, LOGICAL
        # No window manager runs: a window sits where it asked to, centred.
        area = ((w - lw) // 2, (h - lh) // 2, lw, lh) if windowed else (0, 0, w, h)
        app = App(SDL_VIDEODRIVER="x11", DISPLAY=xserver.display, QUENDREL_WINDOWED="1" if windowed else "0")
        self.addCleanup(app.close)
        sim = Sim()
        self.addCleanup(sim.stop)
        mac = app.start_against(sim)
        expect(lambda: [op for op, _ in sim.frames(mac, sent=True) if op == "grfe"][1:], "the server drew nothing")
        logo = ("the logo", LOGO, lambda p: min(p) > 200, 500)
        self.assert_shown(app, xserver, area, [logo, ("the server's text in the player display", STRIP,
                                                      lambda p: near(p, DISPLAY_TEXT), 100)])
        if not windowed:  # the server lost: where the message box once came without the logo
            sim.stop()
            expect(lambda: red_message(app.screenshot()), "no message for the lost server")
            self.assert_shown(app, xserver, area, [logo, ("the message box", MESSAGE_BAND, red, 200)])
        app.close()
        sim.stop()

    def test_full_screen_and_windowed_at_720p_and_1080p(self):
        for size in ((1280, 720), (1920, 1080)):
            xserver = XServer(*size)
            self.addCleanup(xserver.close)
            for windowed in (False, True):
                with self.subTest(size=size, windowed=windowed):
                    self.show(xserver, windowed)
            xserver.close()
