# End-to-end: one app plays what the simulator streams, through SDL's disk
# audio driver, so what it would have played lands in a file; each step
# checks the STAT reports the simulator received and the tones (frequency and
# length) written meanwhile. A stream reset mid-track shows "Error Reading
# Stream" for 5 s, dropping frames; a mixed playlist plays through; pause,
# unpause, skip and stop; a refused stream; a dropped link (a stalled one is
# the fault walk's).
# Started with -Screensaver=1, the app also shows the screen saver after the
# sixth idle tick.

import os
import time
import unittest

from harness import STRIP, App, Sim, black_share, count, expect, library, manifest, red, tones

ONE_EXTRA = library("one-extra", "--large", "1")  # track 14: metadata only, its stream answers 404
TRACKS = manifest(ONE_EXTRA)["tracks"]


def without_ticks(codes):
    return [c for c in codes if c != "STMt"]


class AudioWalk(unittest.TestCase):
    def setUp(self):
        self.sim = Sim(library_dir=ONE_EXTRA)
        self.addCleanup(self.sim.stop)
        self.app = App(SDL_AUDIODRIVER="disk")
        self.audio = self.app.env["SDL_DISKAUDIOFILE"] = os.path.join(self.app.dir, "audio.raw")
        self.addCleanup(self.app.close)

    def stats(self):
        return self.sim.stats(self.mac)

    def wait_stats(self, predicate, timeout=30):
        # The STAT codes since the step began, once predicate holds for them.
        return expect(lambda: (lambda s: s if predicate(s) else None)(self.stats()[self.mark:]),
                      lambda: "timed out; STATs: %r" % self.stats()[self.mark:], timeout)

    def step(self, *track_ids, fault=None):
        # Marks where the STATs and the audio file stand, then loads the tracks.
        self.sim.control("fault clear")
        if fault:
            self.sim.control("fault " + fault)
        self.mark, self.audio_mark = len(self.stats()), os.path.getsize(self.audio)
        reply = self.sim.cli("%s playlistcontrol cmd:load track_id:%s" % (self.mac, ",".join(map(str, track_ids))))
        self.assertIn("count%3A" + str(len(track_ids)), reply)

    def assert_heard(self, tracks, whole=True):
        # The tones written since the step began: one per track, at its
        # frequency and (when `whole`) as long as the track; returns them.
        heard = tones(self.audio, self.audio_mark)
        self.assertEqual(len(heard), len(tracks), heard)
        for (frequency, seconds), track in zip(heard, tracks):
            want = TRACKS[track - 1]
            self.assertAlmostEqual(frequency, want["frequency"], delta=0.03 * want["frequency"])
            if whole:
                self.assertAlmostEqual(seconds, want["duration"], delta=0.25)
        return heard

    def red_in_display(self):
        return count(self.app.screenshot(), STRIP, red)

    def test_playing_through_faults_and_the_idle_screen_saver(self):
        self.mac = self.app.start_against(self.sim, "-Screensaver=1").lower()

        # A stream reset half a second into a PCM track: the message replaces
        # the display for 5 s, frames the server draws meanwhile are dropped.
        loaded = time.monotonic()  # the reset comes later, so the message lasts at least until loaded + 5
        self.step(9, fault="http-reset 100000")
        self.wait_stats(lambda s: "STMu" in s)
        expect(lambda: self.red_in_display() > 50, "no Error Reading Stream", 5)
        shown = time.monotonic()
        self.app.key("Down")  # the server answers with a new frame
        time.sleep(0.5)
        still = self.red_in_display()
        if time.monotonic() < loaded + 5:  # on a loaded machine the screenshots may come too late to tell
            self.assertGreater(still, 50)
        time.sleep(max(0.0, shown + 5.5 - time.monotonic()))
        self.app.key("Up")
        self.last_key = time.monotonic()
        expect(lambda: self.red_in_display() == 0, "the message outlived its 5 s", 5)
        self.assertIn("Error Reading Stream", self.app.output())

        # MP3, FLAC, WMA and PCM play through with their reports.
        mixed = [1, 6, 8, 10]
        self.step(*mixed)
        codes = self.wait_stats(lambda s: "STMu" in s)
        codes = codes[codes.index("STMc"):]
        self.assertEqual(without_ticks(codes), ["STMc", "STMh", "STMs", "STMd"] * 4 + ["STMu"])
        self.assertGreaterEqual(codes.count("STMt"), 3)  # each second, less those near another report
        self.assert_heard(mixed)

        # Pause, unpause, skip, stop: no reports while paused or stopped.
        self.step(3, 12)  # MP3 660 Hz (4 s), then 1650 Hz
        self.wait_stats(lambda s: "STMs" in s)
        time.sleep(1.0)
        self.sim.cli(self.mac + " pause 1")
        paused = len(self.wait_stats(lambda s: "STMp" in s))
        time.sleep(1.0)
        self.assertNotIn("STMt", self.stats()[self.mark + paused:])
        self.sim.cli(self.mac + " pause 0")
        self.wait_stats(lambda s: "STMt" in s[paused:])
        time.sleep(0.6)  # the track plays on a while before the skip
        self.sim.cli(self.mac + " playlist index +1")
        self.wait_stats(lambda s: s.count("STMs") == 2)
        time.sleep(0.8)
        self.sim.cli(self.mac + " stop")
        self.wait_stats(lambda s: s[-1] == "STMt")
        time.sleep(0.5)
        stopped = len(self.stats())
        time.sleep(1.5)
        self.assertNotIn("STMt", self.stats()[stopped:])
        # The first track around its pause, then the next, cut by the stop.
        heard = self.assert_heard((3, 3, 12), whole=False)
        self.assertLess(heard[0][1] + heard[1][1], TRACKS[2]["duration"] - 0.3)
        self.assertLess(heard[2][1], TRACKS[11]["duration"] - 0.5)

        # A stream the server refuses (a metadata-only track answers 404).
        self.step(14)
        expect(lambda: ("DSCO", b"\x03") in self.sim.frames(self.mac), "no DSCO 3")
        self.assertEqual(without_ticks(self.stats()[self.mark:])[-1], "STMc")  # no STMh: the connection failed
        expect(lambda: "Failed to connect to stream." in self.app.output(), "the failure was not logged")

        # The server drops the link mid-track: a new hello says "playing"
        # while the audio goes on to the end.
        self.step(3)
        self.wait_stats(lambda s: "STMs" in s)
        helos = self.sim.ops(self.mac).count("HELO")
        self.sim.control("fault drop-after 1")
        self.sim.cli(self.mac + " mixer volume 50")  # a frame to count
        expect(lambda: self.sim.ops(self.mac).count("HELO") > helos, "no new hello")
        self.assertEqual([p for op, p in self.sim.frames(self.mac) if op == "HELO"][-1][8:10], b"\xc0\x00")
        self.wait_stats(lambda s: "STMu" in s)
        self.assert_heard([3])

        # No key since the Up above: the screen saver shows after six idle
        # ticks of 10 s, not before five.
        black = lambda: black_share(self.app.screenshot()) > 0.6  # noqa: E731
        time.sleep(max(0.0, self.last_key + 48 - time.monotonic()))
        if time.monotonic() < self.last_key + 49:  # a slow walk leaves no moment to look before
            self.assertFalse(black(), "up before the sixth tick")
        expect(black, "not up 80 s after the last key", self.last_key + 80 - time.monotonic())
