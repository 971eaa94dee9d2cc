"""End-to-end: the application starts, registers over SlimProto, answers
ECP, refuses a second instance and ends cleanly."""

import os
import re
import struct
import sys
import unittest
import zlib

sys.path.insert(0, os.path.dirname(__file__))
from appharness import AppRun, free_port  # noqa: E402
from slimpeer import SlimPeer, ir_code  # noqa: E402


def read_png_rgba(path):
    """A minimal PNG reader for the app's own screenshots (8-bit RGB/RGBA, no interlace)."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    pos, idat, width, height, ctype = 8, b"", 0, 0, 0
    while pos < len(data):
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        kind = data[pos + 4:pos + 8]
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, ctype = struct.unpack(">IIBB", body[:10])
            assert depth == 8 and ctype in (2, 6)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    bpp = 4 if ctype == 6 else 3
    raw = zlib.decompress(idat)
    stride = width * bpp
    rows, prev = [], bytearray(stride)
    for y in range(height):
        filt = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if filt == 1:
                line[i] = (line[i] + a) & 255
            elif filt == 2:
                line[i] = (line[i] + b) & 255
            elif filt == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif filt == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        prev = line
    return width, height, bpp, rows


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
        width, height, bpp, rows = read_png_rgba(shot)
        self.assertEqual((width, height), (1024, 576))
        band = rows[height // 2 - 12:height // 2 + 12]
        red = sum(1 for row in band for x in range(200, 824)
                  if row[x * bpp] > 150 and row[x * bpp + 1] < 60 and row[x * bpp + 2] < 60)
        self.assertGreater(red, 200)  # red text in the middle of the screen
        black = rows[height // 2 - 20][512 * bpp:512 * bpp + 3]
        self.assertEqual(black, b"\x00\x00\x00")  # inside the black box, above the text


if __name__ == "__main__":
    unittest.main()
