"""Fault knobs and the record of what the simulator received."""

import asyncio
import socket
import struct
import time
import unittest

from slimsim import slimproto
from tests import support

P = support.MAC


class Faults(unittest.TestCase):
    def setUp(self):
        self.sim = support.SimProcess()
        self.player = support.ScriptedPlayer(self.sim.ports["proto"])
        self.player.wait_for("audg")

    def tearDown(self):
        self.player.close()
        self.sim.stop()

    def test_received_frames_are_recorded_byte_for_byte(self):
        self.player.send_stat("STMt", elapsed=7)
        self.player.send(support.ir(0x7689E01F, 5000))
        time.sleep(0.3)
        frames = self.sim.frames()
        self.assertEqual(frames[0], ("HELO", support.helo()[8:]))
        self.assertEqual(frames[1], ("STAT", support.stat("STMt", 7)[8:]))
        self.assertEqual(frames[2][0], "IR  ")
        self.assertEqual(struct.unpack(">I", frames[2][1][6:]), (0x7689E01F,))

    def test_cli_lines_are_recorded_as_sent(self):
        cli = support.CliClient(self.sim.ports["cli"])
        cli.ask(f"{P} playlist index +1")
        cli.close()
        lines = [entry["line"] for entry in self.sim.control("cli-lines")["lines"]]
        self.assertEqual(lines, [f"{P} playlist index +1"])

    def test_link_dropped_after_n_frames(self):
        self.assertEqual(self.sim.control("fault drop-after 2"), {"ok": True})
        cli = support.CliClient(self.sim.ports["cli"])
        for volume in (10, 20, 30):
            cli.ask(f"{P} mixer volume {volume}")
        cli.close()
        ops = []
        with self.assertRaises(ConnectionError):
            while True:
                ops.append(self.player.read_frame()[0])
        self.assertEqual(ops, ["audg", "audg"])

    def test_short_oversized_and_truncated_frames(self):
        self.sim.control("fault send oversized")
        op, payload = self.player.read_frame()
        self.assertEqual((op, len(payload)), ("grfe", 4096))
        self.sim.control("fault send short")
        self.assertEqual(self.player.read_frame(), ("vers", b""))
        self.sim.control("fault send truncated")
        with self.assertRaises(ConnectionError):
            self.player.read_frame()

    def test_cli_reply_in_pieces_and_late(self):
        self.sim.control("fault cli-split 3 100")
        self.sim.control("fault cli-delay 200")
        cli = support.CliClient(self.sim.ports["cli"])
        started = time.time()
        cli.send("version ?")
        cli.sock.settimeout(5)
        pieces = []
        while not b"".join(pieces).endswith(b"\n"):
            pieces.append(cli.sock.recv(100))
        self.assertGreaterEqual(time.time() - started, 0.35)
        self.assertEqual(b"".join(pieces), b"version 6.5.5\n")
        self.assertGreater(len(pieces), 1)
        cli.close()

    def test_a_dropped_reply_closes_the_link_after_the_request_ran(self):
        self.sim.control("fault cli-drop-reply 1")
        cli = support.CliClient(self.sim.ports["cli"])
        cli.send(f"{P} mixer volume 33")
        with self.assertRaises(ConnectionError):
            cli.read_line()
        cli.close()
        cli = support.CliClient(self.sim.ports["cli"])  # the knob is spent: answered again
        self.assertIn("33", cli.ask(f"{P} mixer volume ?"))
        cli.close()

    def test_listening_connections_closed_on_demand(self):
        cli = support.CliClient(self.sim.ports["cli"])
        cli.ask("listen 1")
        self.assertEqual(self.sim.control("fault close-listeners")["closed"], 1)
        with self.assertRaises(ConnectionError):
            cli.read_line(5)
        cli.close()

    def test_refused_then_accepted_again(self):
        self.sim.control("fault refuse 0.6 cli")
        time.sleep(0.2)
        with self.assertRaises(ConnectionRefusedError):
            socket.create_connection((support.HOST, self.sim.ports["cli"]), 2)
        time.sleep(0.8)
        cli = support.CliClient(self.sim.ports["cli"])
        self.assertEqual(cli.ask("version ?"), "version 6.5.5")
        cli.close()

    def test_stream_stalls_after_the_given_bytes(self):
        self.sim.control("fault http-stall 1000 0")
        cli = support.CliClient(self.sim.ports["cli"])
        cli.ask(f"{P} playlistcontrol cmd:load album_id:1")
        cli.close()
        strm, _ = self.player.wait_for("strm", "s")
        with socket.create_connection((support.HOST, self.sim.ports["web"]), 5) as s:
            s.sendall(strm[24:])
            s.settimeout(1.0)
            data = b""
            with self.assertRaises(socket.timeout):
                while True:
                    chunk = s.recv(65536)
                    if not chunk:
                        break
                    data += chunk
        body = data.partition(b"\r\n\r\n")[2]
        self.assertEqual(len(body), 1000)

    def test_a_held_request_gets_no_response_until_the_hold_ends(self):
        cli = support.CliClient(self.sim.ports["cli"])
        cli.ask(f"{P} playlistcontrol cmd:load album_id:1")
        cli.close()
        strm, _ = self.player.wait_for("strm", "s")
        self.sim.control("fault http-hold 1.5")
        with socket.create_connection((support.HOST, self.sim.ports["web"]), 5) as s:
            s.sendall(strm[24:])
            s.settimeout(0.8)
            with self.assertRaises(socket.timeout):
                s.recv(1)           # not even the status line while held
            s.settimeout(5)
            self.assertTrue(s.recv(12).startswith(b"HTTP/1.0 200"))
        _, whole = self.player.fetch_stream(strm, self.sim.ports["web"])  # the fault is spent
        self.assertGreater(len(whole), 1000)

    def test_a_reset_stream_ends_with_a_connection_reset_after_the_given_bytes(self):
        cli = support.CliClient(self.sim.ports["cli"])
        cli.ask(f"{P} playlistcontrol cmd:load album_id:1")
        cli.close()
        strm, _ = self.player.wait_for("strm", "s")
        self.sim.control("fault http-reset 5000")
        received = b""
        with socket.create_connection((support.HOST, self.sim.ports["web"]), 5) as s:
            s.sendall(strm[24:])
            with self.assertRaises(ConnectionResetError):
                while True:
                    chunk = s.recv(65536)
                    if not chunk:
                        break
                    received += chunk
        self.assertEqual(len(received.partition(b"\r\n\r\n")[2]), 5000)

    def test_a_stalled_stream_resumes_with_the_bytes_it_held_back(self):
        cli = support.CliClient(self.sim.ports["cli"])
        cli.ask(f"{P} playlistcontrol cmd:load album_id:1")
        cli.close()
        strm, _ = self.player.wait_for("strm", "s")
        self.sim.control("fault http-stall 1000 0.2")  # inside the first chunk
        _, stalled = self.player.fetch_stream(strm, self.sim.ports["web"])
        _, whole = self.player.fetch_stream(strm, self.sim.ports["web"])  # the fault is spent
        self.assertGreater(len(whole), 1000)
        self.assertEqual(stalled, whole)

    def test_garbage_and_unended_replies(self):
        self.sim.control("fault cli-garbage 1")
        cli = support.CliClient(self.sim.ports["cli"])
        cli.send("version ?")
        cli.sock.settimeout(5)
        data = b""
        while not data.endswith(b"\n"):
            data += cli.sock.recv(4096)
        self.assertNotIn(b"version", data)
        self.assertEqual(data.count(b"\n"), 1)
        self.assertEqual(cli.ask("version ?"), "version 6.5.5")  # one reply only
        self.sim.control("fault cli-unended 1")
        cli.send("version ?")
        cli.sock.settimeout(1.0)
        data = cli.sock.recv(4096)
        self.assertEqual(data, b"version 6.5.5")
        cli.send("version ?")            # the link stays open and silent
        with self.assertRaises(socket.timeout):
            cli.sock.recv(4096)
        cli.close()
        cli = support.CliClient(self.sim.ports["cli"])  # a new link is answered
        self.assertEqual(cli.ask("version ?"), "version 6.5.5")
        cli.close()

    def test_a_restart_ends_every_link_keeps_the_state_and_resumes_the_player(self):
        listener = support.CliClient(self.sim.ports["cli"])
        listener.ask("listen 1")
        cli = support.CliClient(self.sim.ports["cli"])
        cli.ask(f"{P} playlistcontrol cmd:load album_id:1")
        strm, _ = self.player.wait_for("strm", "s")
        web = socket.create_connection((support.HOST, self.sim.ports["web"]), 5)
        web.sendall(strm[24:])
        self.assertTrue(web.recv(12).startswith(b"HTTP/1.0 200"))
        self.player.send_stat("STMc")
        self.player.send_stat("STMs", elapsed=2)
        self.assertEqual(self.sim.control("fault restart 1"), {"ok": True})
        for sock in (self.player.sock, listener.sock, cli.sock, web):
            sock.settimeout(5)
            try:
                while sock.recv(65536):
                    pass
            except ConnectionError:
                pass
        with self.assertRaises(ConnectionRefusedError):
            socket.create_connection((support.HOST, self.sim.ports["proto"]), 2)
        for sock in (listener.sock, cli.sock, web):
            sock.close()
        players = self.sim.control("players")["players"]
        self.assertEqual([(p["connected"], p["mode"], p["tracks"] > 1) for p in players], [(False, "play", True)])
        time.sleep(1.2)
        # The player says hello again, still playing from its buffer: the
        # server takes it back without a stop and asks again for the song
        # at the time it had reported.
        self.player.close()
        self.player = support.ScriptedPlayer(self.sim.ports["proto"])
        self.player.sock.sendall(support.helo(wlan=0x4000))
        strm, seen = self.player.wait_for("strm", "s")
        self.assertEqual([p[:1] for op, p in seen if op == "strm"], [b"q", b"s"])
        _, body = self.player.fetch_stream(strm, self.sim.ports["web"])
        self.assertGreater(len(body), 0)
        self.assertEqual(self.sim.control("players")["players"][0]["mode"], "play")
        cli = support.CliClient(self.sim.ports["cli"])
        self.assertTrue(cli.ask(f"{P} mode ?").endswith(" mode play"))
        cli.close()

    def test_a_player_stopped_before_the_restart_is_not_started(self):
        self.sim.control("fault restart 0.3")
        with self.assertRaises(ConnectionError):
            while True:
                self.player.read_frame(5)
        time.sleep(0.6)
        self.player.close()
        self.player = support.ScriptedPlayer(self.sim.ports["proto"])
        _, seen = self.player.wait_for("audg")
        self.assertNotIn(b"s", [p[:1] for op, p in seen if op == "strm"])


class FaultsFromCommandLine(unittest.TestCase):
    def test_knob_given_at_start(self):
        sim = support.SimProcess("--fault", "cli-split=4,10")
        try:
            self.assertEqual(sim.control("faults")["cli_pieces"], 4)
        finally:
            sim.stop()


if __name__ == "__main__":
    unittest.main()


class ResetLink(unittest.IsolatedAsyncioTestCase):
    async def test_frames_that_came_before_a_reset_are_still_read(self):
        # A player that dies resets the link; its goodbye, already here,
        # must not be lost with it.
        for reset in (ConnectionResetError(), BrokenPipeError()):  # heard reading, or writing
            reader = slimproto.ReaderToTheReset()
            reader.feed_data(support.ir(0x76898F70, 1) + b"BYE!\0\0\0\0")
            reader.set_exception(reset)
            self.assertEqual(len(await reader.readexactly(18)), 18)
            self.assertEqual(await reader.readexactly(8), b"BYE!\0\0\0\0")
            with self.assertRaises(asyncio.IncompleteReadError):
                await reader.readexactly(1)
