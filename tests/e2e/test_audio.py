"""End-to-end: the application plays what the simulator streams. The app
runs headless with SDL's disk audio driver, so what it would have played
lands in a file; the tests check the STAT reports the simulator received
and the tones (frequency and length) in that file. Loading paused without
autostart is the player's unit test's."""

import os
import struct
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "slimserver-sim"))
from appharness import AppRun  # noqa: E402
import audiocheck  # noqa: E402
from tests import support  # noqa: E402
from tests.support import SimProcess  # noqa: E402


def manifest():
    return support.manifest(1)["tracks"]


class Sim(SimProcess):
    """The simulator with the one-extra-album library, its frames read for every player."""

    def __init__(self):
        super().__init__(large=1)

    def mac(self):
        players = self.control("players")["players"]
        return players[0]["mac"] if players else None

    def cli(self, line):
        return self.control("cli " + line)["reply"]

    def frames(self):
        result = self.control("frames")["frames"]
        return [(f["op"], bytes.fromhex(f["payload"])) for frames in result.values() for f in frames]

    def wait(self, predicate, timeout=20.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            frames = self.frames()
            if predicate(frames):
                return frames
            time.sleep(0.05)
        raise AssertionError("timed out; STATs: %r" % stat_codes(self.frames()))


def stat_codes(frames):
    return [p[:4].decode() for op, p in frames if op == "STAT"]


def count(frames, code):
    return stat_codes(frames).count(code)


def without_ticks(codes):
    return [c for c in codes if c != "STMt"]


class AudioTest(unittest.TestCase):
    def setUp(self):
        self.run_ = AppRun()
        self.audio = os.path.join(self.run_.dir, "audio.raw")
        self.run_.env.update({"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": self.audio})
        self.sim = None

    def tearDown(self):
        self.run_.close()
        if self.sim:
            self.sim.stop()

    def start_with_sim(self):
        self.sim = Sim()
        p = self.sim.ports
        self.proc = self.run_.start("127.0.0.1", "-SlimProtoPort=%d" % p["proto"], "-SlimCLIPort=%d" % p["cli"],
                                    "-SlimWebPort=%d" % p["web"])
        deadline = time.monotonic() + 15
        while not self.sim.mac():
            self.assertLess(time.monotonic(), deadline, "the app did not register")
            time.sleep(0.05)
        self.mac = self.sim.mac()
        self.sim.wait(lambda f: any(op == "HELO" for op, _ in f))

    def output(self):
        """The app's standard output, after ending it."""
        self.proc.terminate()
        out, _ = self.proc.communicate(timeout=10)
        return out

    def load(self, track_ids):
        reply = self.sim.cli("%s playlistcontrol cmd:load track_id:%s" % (self.mac, ",".join(map(str, track_ids))))
        self.assertIn("count%3A" + str(len(track_ids)), reply)

    def assertTones(self, expected):
        heard = audiocheck.tones(self.audio)
        self.assertEqual(len(heard), len(expected), heard)
        for (f, seconds), (want_f, want_seconds) in zip(heard, expected):
            self.assertAlmostEqual(f, want_f, delta=0.03 * want_f)
            self.assertAlmostEqual(seconds, want_seconds, delta=0.25)

    # ---- playing through ----

    def test_a_mixed_playlist_plays_through_with_its_status_reports(self):
        self.start_with_sim()
        tracks = manifest()
        chosen = [0, 5, 7, 9]  # MP3, FLAC, WMA, PCM
        self.load([i + 1 for i in chosen])
        frames = self.sim.wait(lambda f: "STMu" in stat_codes(f), timeout=30)
        codes = stat_codes(frames)
        start = codes.index("STMc")
        self.assertEqual(without_ticks(codes[start:]), ["STMc", "STMh", "STMs", "STMd"] * 4 + ["STMu"])
        # About one a second, less those that fall within 750 ms of another report.
        self.assertGreaterEqual(codes[start:].count("STMt"), 3)
        self.assertTones([(tracks[i]["frequency"], tracks[i]["duration"]) for i in chosen])
        stmu = [p for op, p in frames if op == "STAT" and p[:4] == b"STMu"][0]
        self.assertEqual(struct.unpack(">I", stmu[11:15])[0], 0)   # fullness
        self.assertEqual(struct.unpack(">I", stmu[33:37])[0], 0)   # output fullness
        self.assertEqual(stmu[5:6], b"p")                          # format of the last strm

    def test_pause_unpause_skip_and_stop(self):
        self.start_with_sim()
        tracks = manifest()
        self.load([3, 12])  # two MP3 tracks: 660 Hz (4 s), 1650 Hz
        self.sim.wait(lambda f: count(f, "STMs") == 1)
        time.sleep(1.0)
        self.sim.cli("%s pause 1" % self.mac)
        self.sim.wait(lambda f: count(f, "STMp") == 1)
        paused_at = len(self.sim.frames())
        time.sleep(1.0)
        # No periodic report while paused.
        self.assertNotIn("STMt", stat_codes(self.sim.frames()[paused_at:]))
        self.sim.cli("%s pause 0" % self.mac)
        self.sim.wait(lambda f: "STMt" in stat_codes(f[paused_at:]))
        self.sim.cli("%s playlist index +1" % self.mac)
        self.sim.wait(lambda f: count(f, "STMs") == 2)
        time.sleep(0.8)
        self.sim.cli("%s stop" % self.mac)
        self.sim.wait(lambda f: count(f, "STMt") > 0 and stat_codes(f)[-1] == "STMt")
        time.sleep(0.5)
        stopped = len(self.sim.frames())
        time.sleep(1.5)
        self.assertNotIn("STMt", stat_codes(self.sim.frames()[stopped:]))
        heard = audiocheck.tones(self.audio)
        # The first track around its pause, then the next one, cut by the stop.
        self.assertEqual(len(heard), 3, heard)
        for (f, _), want in zip(heard, (tracks[2]["frequency"], tracks[2]["frequency"], tracks[11]["frequency"])):
            self.assertAlmostEqual(f, want, delta=0.03 * want)
        self.assertLess(heard[0][1] + heard[1][1], tracks[2]["duration"] - 0.3)  # skipped before its end
        self.assertLess(heard[2][1], tracks[11]["duration"] - 0.5)

    # ---- failures ----

    def test_a_stream_the_server_refuses_sends_dsco_3(self):
        self.start_with_sim()
        self.load([14])  # a metadata-only track: its stream answers 404
        frames = self.sim.wait(lambda f: any(op == "DSCO" and p == b"\x03" for op, p in f))
        reports = without_ticks(stat_codes(frames))
        self.assertEqual(reports[-1], "STMc")  # no STMh: the connection failed
        self.assertIn("Failed to connect to stream.", self.output())

    def test_a_stalled_stream_reports_underruns_and_recovers(self):
        self.start_with_sim()
        tracks = manifest()
        # A stall on one of the simulator's 16 KiB chunk boundaries (inside a
        # chunk it would drop the chunk's rest), two seconds into the track.
        self.sim.control("fault http-stall 32768 2")
        self.load([4])  # FLAC, 770 Hz, 3 s
        self.sim.wait(lambda f: "STMu" in stat_codes(f), timeout=30)
        out = self.output()
        self.assertIn("..Buffer underrun: 4", out)  # while playing
        heard = audiocheck.tones(self.audio)
        self.assertGreaterEqual(len(heard), 2, heard)  # a gap where the stream stalled
        self.assertAlmostEqual(sum(s for f, s in heard), tracks[3]["duration"], delta=0.35)

    def test_a_stream_reset_mid_track_shows_error_reading_stream_for_five_seconds(self):
        from imagefiles import read_png
        self.start_with_sim()
        self.sim.control("fault http-reset 100000")  # about half a second into the PCM track
        self.load([9])  # WAV, 3 s
        self.sim.wait(lambda f: "STMu" in stat_codes(f), timeout=30)

        def red_in_display():
            shot = os.path.join(self.run_.dir, "display.png")
            self.assertEqual(self.run_.ecp("screenshot " + shot), "OK")
            bpp, rows = 3, read_png(shot).rows
            return sum(1 for y in range(21, 54) for x in range(352, 672)
                       if rows[y][x * bpp] > 150 and rows[y][x * bpp + 1] < 60 and rows[y][x * bpp + 2] < 60)

        self.assertGreater(red_in_display(), 50)   # the message replaces the display
        self.run_.ecp("keypress Down")             # the server answers with a new frame: dropped
        time.sleep(0.5)
        self.assertGreater(red_in_display(), 50)
        time.sleep(5.0)
        self.run_.ecp("keypress Up")               # after 5 s the next frame is drawn again
        deadline = time.monotonic() + 5
        while red_in_display() and time.monotonic() < deadline:
            time.sleep(0.2)
        self.assertEqual(red_in_display(), 0)
        self.assertIn("Error Reading Stream", self.output())

    def test_a_dropped_link_reconnects_with_playing_hello_while_audio_goes_on(self):
        self.start_with_sim()
        tracks = manifest()
        self.load([3])  # MP3, 660 Hz, 4 s
        self.sim.wait(lambda f: count(f, "STMs") == 1)
        self.sim.control("fault drop-after 1")
        self.sim.cli("%s mixer volume 50" % self.mac)  # a frame to count
        frames = self.sim.wait(lambda f: sum(op == "HELO" for op, _ in f) >= 2, timeout=20)
        helo = [p for op, p in frames if op == "HELO"][-1]
        self.assertEqual(helo[8:10], b"\xc0\x00")
        self.sim.wait(lambda f: "STMu" in stat_codes(f), timeout=20)
        heard = audiocheck.tones(self.audio)
        self.assertEqual(len(heard), 1, heard)
        self.assertAlmostEqual(heard[0][1], tracks[2]["duration"], delta=0.25)


if __name__ == "__main__":
    unittest.main()
