"""End-to-end: the application starts, registers over SlimProto, answers
ECP in any case, sends a remote key as its IR code, logs time-stamped
lines with -debug and on quit says goodbye and ends cleanly; on the console
without a display device it says what it needs. A second start and the
start-up message are in test_link and test_screens."""

import os
import re
import sys
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from appharness import AppRun, free_port  # noqa: E402
from slimpeer import SlimPeer, ir_code  # noqa: E402


class StartupTest(unittest.TestCase):
    def setUp(self):
        self.run_ = AppRun()
        self.addCleanup(self.run_.close)
        self.peer = SlimPeer()
        self.addCleanup(self.peer.close)

    def start_connected(self, *extra):
        proc = self.run_.start("127.0.0.1", "-SlimProtoPort=%d" % self.peer.port,
                               "-SlimCLIPort=%d" % free_port(), *extra)
        self.run_.wait_ecp("Quendrel ping", "pong")
        return proc

    def test_registers_answers_ecp_sends_keys_logs_and_says_goodbye(self):
        proc = self.start_connected("-debug")
        frames = self.peer.wait_for(lambda f: any(op == "IR  " for op, _ in f))
        helo = [p for op, p in frames if op == "HELO"][0]
        self.assertEqual(len(helo), 10)
        self.assertEqual(helo[0], 3)                 # device id
        self.assertEqual(helo[8:10], b"\x80\x00")    # not playing
        self.assertEqual(ir_code([p for op, p in frames if op == "IR  "][0]), 0xF701)
        self.assertEqual(self.run_.ecp("QUENDREL PING"), "pong")
        self.assertEqual(self.run_.ecp("Quendrel nonsense"), "")

        self.assertEqual(self.run_.ecp("Quendrel next"), "OK")
        frames = self.peer.wait_for(lambda f: sum(op == "IR  " for op, _ in f) >= 2)
        self.assertIn(0x7689A05F, [ir_code(p) for op, p in frames if op == "IR  "])

        with open(os.path.join(self.run_.appdir, "debug.txt")) as f:
            lines = [l for l in f.read().splitlines() if l]
        self.assertTrue(all(re.match(r"^\d{6,}:  ", l) for l in lines if re.match(r"^\d", l)), lines)
        self.assertTrue(any("ECP Command: Quendrel ping" in l for l in lines), lines)

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


if __name__ == "__main__":
    unittest.main()
