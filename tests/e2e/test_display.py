"""End-to-end: the player display against the server simulator. The frames
the simulator draws appear in the player window in the skin's display
colours, a frame with a transition is answered with ANIC, and remote keys
sent over ECP reach the server as the right IR codes."""

import os
import struct
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "slimserver-sim"))
from appharness import AppRun, wait_until  # noqa: E402
from imagefiles import read_png  # noqa: E402
from tests.support import SimProcess  # noqa: E402

# Where start-up puts the player window, and the Default skin's colours.
DISPLAY_X, DISPLAY_Y = 352, 21
FOREGROUND = (232, 241, 255)
BACKGROUND = (8, 12, 20)


def read_png_rows(path, rows):
    """The first `rows` rows of the screenshot as lists of pixel tuples."""
    image = read_png(path, max_rows=rows)
    return [[image.pixel(x, y) for x in range(image.width)] for y in range(image.height)]


def lit_pixels(frame):
    """(x, y) of every lit pixel of a 1,280-byte display frame."""
    lit = set()
    for x in range(320):
        for byte in range(4):
            value = frame[x * 4 + byte]
            for bit in range(8):
                if value & (0x80 >> bit):
                    lit.add((x, byte * 8 + bit))
    return lit


class DisplayTest(unittest.TestCase):
    def setUp(self):
        self.sim = SimProcess()
        self.addCleanup(self.sim.stop)
        self.run_ = AppRun()
        self.addCleanup(self.run_.close)

    def sent_grfe(self):
        return [p for op, p in self.sim.frames(self.mac, sent=True) if op == "grfe"]

    def received(self, opcode):
        return [p for op, p in self.sim.frames(self.mac) if op == opcode]

    def screenshot_rows(self):
        path = os.path.join(self.run_.dir, "shot.png")
        self.assertEqual("OK", self.run_.ecp("screenshot " + path))
        return read_png_rows(path, DISPLAY_Y + 33)

    def test_frames_in_the_skin_colours_anic_after_a_transition_and_keys_as_ir_codes_or_cli_volume(self):
        self.mac = self.run_.start_against(self.sim).lower()
        self.assertTrue(wait_until(lambda: len(self.sent_grfe()) >= 2), "no grfe frames sent")
        for _ in range(20):
            before = self.sent_grfe()[-1]
            rows = self.screenshot_rows()
            if self.sent_grfe()[-1] != before:
                continue  # the server drew a new frame meanwhile
            expected = lit_pixels(before[4:4 + 1280])
            shown = {(x, y) for y in range(32) for x in range(320)
                     if rows[DISPLAY_Y + y][DISPLAY_X + x] == FOREGROUND}
            if shown == expected:
                break
            time.sleep(0.1)
        self.assertTrue(expected, "the server's frame is blank")
        self.assertEqual(expected, shown)
        dark = sum(1 for y in range(32) for x in range(320) if rows[DISPLAY_Y + y][DISPLAY_X + x] == BACKGROUND)
        self.assertEqual(320 * 32 - len(expected), dark)

        self.sim.control("reset")
        self.assertEqual("OK", self.run_.ecp("keypress Left"))  # Now Playing -> Home, with a push
        moving = wait_until(lambda: [p for p in self.sent_grfe() if len(p) > 2 and p[2:3] != b"c"], 10)
        self.assertTrue(moving, "the server drew no transition")
        self.assertTrue(wait_until(lambda: self.received("ANIC"), 10), "no ANIC after the transition")

        keys = {"Next": 0x7689A05F, "5": 0x7689C837, "Down": 0x7689B04F, "Zoom In": 0x7689F807}
        for name, code in keys.items():
            self.assertEqual("OK", self.run_.ecp("keypress " + name))
            wanted = struct.pack(">I", code)
            self.assertTrue(wait_until(lambda: any(wanted in p for p in self.received("IR  ")), 10),
                            "%s never arrived as %08x" % (name, code))
            time.sleep(0.2)  # the server ignores a repeat within 140 ms

        # Volume keys: IR codes in the player window; with the menu up they
        # still reach the server, over the CLI, and leave the menu where it is.
        start = self.volume()
        up = struct.pack(">I", 0x7689807F)
        self.assertEqual("OK", self.run_.ecp("keypress Volume Up"))
        self.assertTrue(wait_until(lambda: any(up in p for p in self.received("IR  ")), 10), "no volume-up IR")
        self.assertTrue(wait_until(lambda: self.volume() == start + 2.5, 10), self.volume())
        self.assertEqual("OK", self.run_.ecp("keypress Menu"))
        for _ in range(3):
            self.assertEqual("OK", self.run_.ecp("keypress Volume Down"))
        self.assertTrue(wait_until(lambda: self.volume() == start - 5, 10), self.volume())
        self.assertEqual("OK", self.run_.ecp("keypress Mute"))
        self.assertTrue(wait_until(lambda: self.volume() == 0, 10), self.volume())
        codes = [struct.pack(">I", c) for c in (0x768900FF, 0x7689C43B)]
        self.assertFalse([p for p in self.received("IR  ") if any(c in p for c in codes)])

    def volume(self):
        players = self.sim.control("players")["players"]
        return next(p["volume"] for p in players if p["mac"] == self.mac)


if __name__ == "__main__":
    unittest.main()
