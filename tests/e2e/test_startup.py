"""End-to-end: the application starts, registers over SlimProto, answers
ECP, refuses a second instance and ends cleanly."""

import os
import re
import sys
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from appharness import AppRun, free_port  # noqa: E402
from imagefiles import read_png  # noqa: E402
from slimpeer import SlimPeer, ir_code  # noqa: E402


class StartupTest(unittest.TestCase):
    def setUp(self):
        self.run_ = AppRun()
        self.peer = SlimPeer()

    def tearDown(self):
        self.run_.close()
        self.peer.close()

    def start_connected(self, *extra):
        proc = self.run_.start("127.0.0.1", "-SlimProtoPort=%d" % self.peer.port,
                               "-SlimCLIPort=%d" % free_port(), *extra)
        self.peer.wait_for(lambda f: any(op == "HELO" for op, _ in f))
        self.run_.wait_ecp("Quendrel ping", "pong")
        return proc

    def test_registers_and_answers_ping_in_any_case(self):
        self.start_connected()
        frames = self.peer.wait_for(lambda f: any(op == "IR  " for op, _ in f))
        helo = [p for op, p in frames if op == "HELO"][0]
        self.assertEqual(len(helo), 10)
        self.assertEqual(helo[0], 3)                 # device id
        self.assertEqual(helo[8:10], b"\x80\x00")    # not playing
        self.assertEqual(ir_code([p for op, p in frames if op == "IR  "][0]), 0xF701)
        self.assertEqual(self.run_.ecp("QUENDREL PING"), "pong")
        self.assertEqual(self.run_.ecp("Quendrel nonsense"), "")

    def test_next_reaches_the_server_as_an_ir_code(self):
        self.start_connected()
        self.assertEqual(self.run_.ecp("Quendrel next"), "OK")
        frames = self.peer.wait_for(lambda f: sum(op == "IR  " for op, _ in f) >= 2)
        codes = [ir_code(p) for op, p in frames if op == "IR  "]
        self.assertIn(0x7689A05F, codes)

    def test_quit_says_goodbye_and_ends_with_zero(self):
        proc = self.start_connected()
        self.assertEqual(self.run_.ecp("Quendrel quit"), "Quendrel closed")
        self.assertEqual(proc.wait(timeout=10), 0)
        frames = self.peer.wait_for(lambda f: any(op == "BYE!" for op, _ in f))
        ops = [op for op, _ in frames]
        last_ir = max(i for i, op in enumerate(ops) if op == "IR  ")
        self.assertEqual(ir_code(frames[last_ir][1]), 0xF700)
        self.assertLess(last_ir, ops.index("BYE!"))

    def test_kmsdrm_without_a_display_device_says_what_it_needs_and_plays_on(self):
        if os.path.exists("/dev/dri"):
            self.skipTest("a display device is there: the console's driver might take it")
        self.run_.env["SDL_VIDEODRIVER"] = "kmsdrm"
        proc = self.start_connected()
        self.assertEqual(self.run_.ecp("Quendrel quit"), "Quendrel closed")
        out, _ = proc.communicate(timeout=15)
        self.assertEqual(proc.returncode, 0)
        line = next((l for l in out.splitlines() if l.startswith("screen: no window")), "")
        self.assertIn("SDL_VIDEODRIVER=kmsdrm", line, out)
        self.assertIn("/dev/dri/card", line)

    def test_second_instance_restores_the_first_and_ends(self):
        first = self.start_connected()
        second = self.run_.start("127.0.0.1", "-SlimProtoPort=%d" % self.peer.port)
        out, _ = second.communicate(timeout=15)
        self.assertEqual(second.returncode, 0)
        self.assertIn("Quendrel already running. Restoring...", out)
        self.assertIsNone(first.poll())

    def test_debug_writes_time_stamped_lines(self):
        self.start_connected("-debug")
        log = os.path.join(self.run_.appdir, "debug.txt")
        self.run_.ecp("Quendrel ping")
        with open(log) as f:
            lines = [l for l in f.read().splitlines() if l]
        self.assertTrue(lines)
        self.assertTrue(all(re.match(r"^\d{6,}:  ", l) for l in lines if re.match(r"^\d", l)), lines)
        self.assertTrue(any("ECP Command: Quendrel ping" in l for l in lines), lines)

    def test_without_a_server_the_screen_says_so_in_a_red_box(self):
        self.run_.start("127.0.0.1", "-SlimProtoPort=%d" % free_port())
        shot = os.path.join(self.run_.dir, "shot.png")
        self.run_.wait_ecp("screenshot " + shot, "OK")
        image = read_png(shot)
        width, height, bpp, rows = image.width, image.height, 3, image.rows
        self.assertEqual((width, height), (1024, 576))
        band = rows[height // 2 - 12:height // 2 + 12]
        red = sum(1 for row in band for x in range(200, 824)
                  if row[x * bpp] > 150 and row[x * bpp + 1] < 60 and row[x * bpp + 2] < 60)
        self.assertGreater(red, 200)  # red text in the middle of the screen
        black = rows[height // 2 - 20][512 * bpp:512 * bpp + 3]
        self.assertEqual(black, b"\x00\x00\x00")  # inside the black box, above the text


if __name__ == "__main__":
    unittest.main()
