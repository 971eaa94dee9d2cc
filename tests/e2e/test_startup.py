# End-to-end: the way in and the way out against the simulator. The app
# says hello as an idle player and switches it on, answers ECP in any case,
# shows the server's display frames in the skin's colours, answers a
# transition with ANIC, sends keys as IR codes (volume keys too in the player
# window; over the CLI while the menu is up), logs to its debug file with
# -debug, and quits promptly with a goodbye while a stream open is stalled. A
# fault on the audio thread ends with the signal's number as the exit status
# after a goodbye, without aborting or hanging.

import os
import pathlib
import signal
import time
import unittest

from harness import DISPLAY_BACKGROUND, DISPLAY_TEXT, STRIP, App, Sim, expect

# Far below the stalled open's 30 s time-out, far above the second a quit
# takes (bench/shutdown.py measures it).
PROMPTLY = 5.0


def lit_pixels(frame):
    # (x, y) of every lit pixel of a 1,280-byte display frame: four bytes a
    # column, the top pixel in the first byte's high bit.
    return {(x, byte * 8 + bit) for x in range(320) for byte in range(4) for bit in range(8)
            if frame[x * 4 + byte] & (0x80 >> bit)}


class StartupTest(unittest.TestCase):
    def setUp(self):
        self.sim = Sim()
        self.addCleanup(self.sim.stop)

    def grfe(self):
        return [p for op, p in self.sim.frames(self.mac, sent=True) if op == "grfe"]

    def strip_shows_the_last_frame(self):
        # Once the strip's pixels in the text colour are exactly the last
        # frame's lit pixels: those and the count of the strip's pixels in the
        # background colour (None while not, or when the server drew a new
        # frame meanwhile).
        last = self.grfe()[-1]
        image = self.app.screenshot()
        if image is None or self.grfe()[-1] != last:
            return None
        pixels = [((x, y), image.pixel(STRIP[0] + x, STRIP[1] + y)) for y in range(32) for x in range(320)]
        lit = lit_pixels(last[4:4 + 1280])
        if lit and lit == {xy for xy, p in pixels if p == DISPLAY_TEXT}:
            return lit, sum(p == DISPLAY_BACKGROUND for _, p in pixels)
        return None

    def volume_is(self, volume):
        expect(lambda: self.sim.player()["volume"] == volume, lambda: "volume %s" % self.sim.player()["volume"])

    def test_in_shown_keys_and_out_and_a_fault_on_the_audio_thread(self):
        sim = self.sim
        self.app = App()
        self.addCleanup(self.app.close)
        self.mac = mac = self.app.start_against(sim, "-debug").lower()
        # The CLI's power call can reach the server before the HELO has been read.
        helo = expect(lambda: next((p for op, p in sim.frames(mac) if op == "HELO"), None), "no HELO")
        self.assertEqual(helo[8:10], b"\x80\x00")  # idle
        expect(lambda: 0xF701 in sim.irs(mac), "no power-on IR")
        self.assertEqual(self.app.ecp_client("QUENDREL PING"), "pong")
        self.assertEqual(self.app.ecp("Quendrel nonsense"), "")

        expect(lambda: len(self.grfe()) >= 2, "no grfe frames sent")
        lit, background = expect(self.strip_shows_the_last_frame, "the strip never showed the server's frame")
        self.assertEqual(320 * 32 - len(lit), background)

        sim.control("reset")
        self.app.key("Left")  # Now Playing -> Home, with a push
        expect(lambda: [p for p in self.grfe() if len(p) > 2 and p[2:3] != b"c"], "the server drew no transition")
        expect(lambda: "ANIC" in sim.ops(mac), "no ANIC after the transition")

        start = sim.player()["volume"]
        for key, code in (("Next", 0x7689A05F), ("Volume Up", 0x7689807F)):
            self.app.key(key)
            expect(lambda: code in sim.irs(mac), "%s never arrived as %08x" % (key, code))
            time.sleep(0.2)  # the server ignores a repeat within 140 ms
        self.assertEqual(self.app.ecp("Quendrel next"), "OK")
        expect(lambda: sim.irs(mac).count(0x7689A05F) == 2, "Quendrel next sent no IR")
        self.volume_is(start + 2.5)
        # With the menu up, volume keys go over the CLI and leave the menu be.
        self.app.key("Menu", "Volume Down", "Volume Down", "Volume Down")
        self.volume_is(start - 5)
        self.app.key("Mute")
        self.volume_is(0)
        self.assertFalse({0x768900FF, 0x7689C43B} & set(sim.irs(mac)))

        # -debug logs to debug.txt (the start-up's first pings may come before the file is open).
        self.assertIn("ECP Command: QUENDREL PING", pathlib.Path(self.app.appdir, "debug.txt").read_text())

        # Quit while the stream's open is held by the server: the power-off IR, then BYE!.
        sim.hold_stream_open(mac)
        begun = time.monotonic()
        self.assertEqual(self.app.ecp_client("Quendrel quit"), "Quendrel closed")
        self.assertEqual(self.app.proc.wait(timeout=PROMPTLY + 30), 0)
        self.assertLess(time.monotonic() - begun, PROMPTLY)
        ops = expect(lambda: "BYE!" in sim.ops(mac) and sim.ops(mac), "no BYE!", 5)
        self.assertEqual(sim.irs(mac)[-1], 0xF700)
        self.assertLess(max(i for i, op in enumerate(ops) if op == "IR  "), ops.index("BYE!"))

        sim.control("fault clear")
        sim.control("reset")
        # Without a display device the console's driver says what it needs and
        # the app plays on without a screen.
        console = {} if os.path.exists("/dev/dri") else {"SDL_VIDEODRIVER": "kmsdrm"}
        crash = App(QUENDREL_TEST_FAULT="audio-thread", **console)
        self.addCleanup(crash.close)
        mac = crash.start_against(sim).lower()
        sim.cli("%s playlistcontrol cmd:load album_id:1" % mac)
        self.assertEqual(crash.proc.wait(timeout=PROMPTLY + 30), signal.SIGSEGV)  # exit(11), not killed by it
        output = crash.output()
        self.assertIn("Got Signal: 11", output)
        if console:
            line = next((line for line in output.splitlines() if line.startswith("screen: no window")), output)
            self.assertTrue("SDL_VIDEODRIVER=kmsdrm" in line and "/dev/dri/card" in line, line)
        # The goodbye is the last frame, and may still be on its way.
        self.assertEqual(expect(lambda: "BYE!" in sim.ops(mac) and sim.ops(mac), "no BYE!", 5)[-1], "BYE!")
