"""End-to-end: the way out. Quit and SIGTERM end the app promptly even while
the player is stuck opening a stream the server never answers (it used to
wait out the 30 s time-out of that open), and a fault on the audio thread
ends with the signal's number as the exit status after a goodbye to the
server, without aborting or hanging."""

import os
import signal
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "slimserver-sim"))
from appharness import AppRun, wait_until  # noqa: E402
from tests.support import SimProcess  # noqa: E402

# Far below the stalled open's 30 s time-out, far above the second a quit
# takes (bench/shutdown.py measures it).
PROMPTLY = 5.0


class ShutdownTest(unittest.TestCase):
    def setUp(self):
        self.sim = SimProcess()
        self.addCleanup(self.sim.stop)
        self.run_ = AppRun()
        self.addCleanup(self.run_.close)

    def start(self):
        self.mac = self.run_.start_against(self.sim).lower()
        return self.run_.proc

    def ops(self):
        return [op for op, _ in self.sim.frames(self.mac)]

    def play_album(self):
        self.sim.control("cli %s playlistcontrol cmd:load album_id:1" % self.mac)

    def start_with_a_stalled_open(self):
        proc = self.start()
        self.sim.control("fault http-hold 0")
        self.play_album()
        self.assertTrue(wait_until(lambda: [r for r in self.sim.control("http-requests")["requests"]
                                            if "stream.mp3" in r["request"]]),
                        "the player never asked for the stream")
        time.sleep(0.3)  # the open is under way and held
        return proc

    def assert_ends_promptly_with_goodbye(self, proc, status):
        begun = time.monotonic()
        self.assertEqual(proc.wait(timeout=PROMPTLY + 30), status)
        self.assertLess(time.monotonic() - begun, PROMPTLY)
        self.assertTrue(wait_until(lambda: "BYE!" in self.ops(), 5), "no BYE! before the end")

    def test_quit_during_a_stalled_stream_open(self):
        proc = self.start_with_a_stalled_open()
        self.assertEqual(self.run_.ecp("Quendrel quit"), "Quendrel closed")
        self.assert_ends_promptly_with_goodbye(proc, 0)

    def test_sigterm_during_a_stalled_stream_open(self):
        proc = self.start_with_a_stalled_open()
        proc.send_signal(signal.SIGTERM)
        self.assert_ends_promptly_with_goodbye(proc, 0)

    def test_a_fault_on_the_audio_thread_ends_with_the_signal_status_and_a_goodbye(self):
        self.run_.env["QUENDREL_TEST_FAULT"] = "audio-thread"
        proc = self.start()
        self.assertTrue(wait_until(lambda: "IR  " in self.ops()), "no power-on IR")
        self.play_album()
        self.assertEqual(proc.wait(timeout=PROMPTLY + 30), signal.SIGSEGV)  # exit(11), not killed by it
        output = proc.stdout.read()
        self.assertIn("Got Signal: 11", output)
        ops = self.ops()
        self.assertIn("BYE!", ops)
        self.assertEqual(ops[-1], "BYE!")


if __name__ == "__main__":
    unittest.main()
