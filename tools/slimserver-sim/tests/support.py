"""Shared test helpers: the generated library (made once per run), a
simulator process on loopback, a scripted SlimProto player and a CLI client."""

import atexit
import json
import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
TOOL = os.path.dirname(HERE)
SIM = os.path.join(TOOL, "slimserver-sim")
MAKE_LIBRARY = os.path.join(TOOL, "make-library")
HOST = "127.0.0.1"
MAC = "00:04:20:12:34:56"

_libraries = {}
_tempdir = None


def _temp_root():
    global _tempdir
    if _tempdir is None:
        _tempdir = tempfile.mkdtemp(prefix="slimsim-test-")
        atexit.register(shutil.rmtree, _tempdir, True)
    return _tempdir


def library(large=0):
    """Path of a generated library; made once per test run and size."""
    if large not in _libraries:
        path = os.path.join(_temp_root(), f"lib-{large}")
        if large and 0 in _libraries:
            shutil.copytree(_libraries[0], path)
        subprocess.run([sys.executable, MAKE_LIBRARY, path] +
                       (["--large", str(large)] if large else []),
                       check=True, capture_output=True)
        _libraries[large] = path
    return _libraries[large]


def manifest(large=0):
    with open(os.path.join(library(large), "manifest.json"), encoding="utf-8") as f:
        return json.load(f)


class SimProcess:
    """slimserver-sim on loopback with ports chosen by the system."""

    def __init__(self, *extra, large=0, library_dir=None):
        self.dir = tempfile.mkdtemp(dir=_temp_root())
        ready = os.path.join(self.dir, "ready")
        self.log_path = os.path.join(self.dir, "stderr.log")
        self.log = open(self.log_path, "w")
        self.proc = subprocess.Popen(
            [sys.executable, SIM, "--library", library_dir or library(large), "--bind", HOST,
             "--proto-port", "0", "--cli-port", "0", "--web-port", "0",
             "--control-port", "0", "--ready-file", ready] + list(extra),
            stderr=self.log, stdout=subprocess.DEVNULL)
        self.ports = self._wait_ready(ready)
        self._control = None

    def _wait_ready(self, path):
        deadline = time.time() + 30
        while time.time() < deadline:
            if os.path.exists(path):
                with open(path) as f:
                    return {k: int(v) for k, v in
                            (line.strip().split("=") for line in f if "=" in line)}
            if self.proc.poll() is not None:
                raise RuntimeError("simulator ended: " + open(self.log_path).read())
            time.sleep(0.02)
        raise RuntimeError("simulator did not start")

    def control(self, line):
        if self._control is None:
            self._control = socket.create_connection((HOST, self.ports["control"]), 5)
            self._control_file = self._control.makefile("rb")
        self._control.sendall(line.encode("utf-8") + b"\n")
        return json.loads(self._control_file.readline())

    def frames(self, mac=MAC, sent=False):
        result = self.control(("sent " if sent else "frames ") + mac)["frames"]
        return [(f["op"], bytes.fromhex(f["payload"])) for f in result.get(mac, [])]

    def http(self, path, timeout=10):
        url = f"http://{HOST}:{self.ports['web']}{path}"
        with urllib.request.urlopen(url, timeout=timeout) as response:
            return response.status, response.headers, response.read()

    def stderr(self):
        self.log.flush()
        with open(self.log_path) as f:
            return f.read()

    def stop(self):
        if self._control is not None:
            self._control.close()
        self.proc.terminate()
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        self.log.close()


class CliClient:
    def __init__(self, port, terminator=b"\n"):
        self.sock = socket.create_connection((HOST, port), 10)
        self.terminator = terminator
        self.buffer = b""

    def send(self, line):
        self.sock.sendall(line.encode("utf-8") + self.terminator)

    def read_line(self, timeout=10):
        self.sock.settimeout(timeout)
        while self.terminator not in self.buffer:
            data = self.sock.recv(65536)
            if not data:
                raise ConnectionError("closed")
            self.buffer += data
        line, _, self.buffer = self.buffer.partition(self.terminator)
        return line.decode("ascii")

    def ask(self, line):
        self.send(line)
        return self.read_line()

    def close(self):
        self.sock.close()


def helo(device=3, revision=1, mac=MAC, form=18, wlan=0):
    mac_bytes = bytes(int(x, 16) for x in mac.split(":"))
    if form >= 36:
        payload = (bytes([device, revision]) + mac_bytes + bytes(range(16))
                   + struct.pack(">HII", wlan, 0, 0) + b"EN"
                   + b"Model=squeezelite,MaxSampleRate=48000,mp3,flac,pcm")
    else:
        payload = bytes([device, revision]) + mac_bytes + struct.pack(">H", wlan)
        payload += (bytes(8) + b"EN")[:form - 10]
    return b"HELO" + struct.pack(">I", len(payload)) + payload


def stat(event, elapsed=0, elapsed_ms=None, form=41):
    body = (event.encode() + bytes(3) + struct.pack(">II", 262144, 0) + struct.pack(">II", 0, 0)
            + struct.pack(">H", 255) + struct.pack(">I", 1000) + struct.pack(">II", 0, 0)
            + struct.pack(">I", elapsed))
    if form >= 53:
        body += struct.pack(">HIIH", 0, elapsed * 1000 if elapsed_ms is None else elapsed_ms, 0, 0)
    return b"STAT" + struct.pack(">I", len(body)) + body


def ir(code, ticks=1000):
    return b"IR  " + struct.pack(">I", 10) + struct.pack(">IBBI", ticks, 0, 32, code)


class ScriptedPlayer:
    """A SlimProto player following the protocol notes, driven by a test."""

    def __init__(self, port, device=3, mac=MAC, helo_form=18, stat_form=41, revision=1):
        self.sock = socket.create_connection((HOST, port), 10)
        self.buffer = b""
        self.stat_form = stat_form
        self.sock.sendall(helo(device, revision, mac, helo_form))

    def read_frame(self, timeout=10):
        self.sock.settimeout(timeout)
        while True:
            if len(self.buffer) >= 2:
                length = struct.unpack(">H", self.buffer[:2])[0]
                if len(self.buffer) >= 2 + length:
                    frame = self.buffer[2:2 + length]
                    self.buffer = self.buffer[2 + length:]
                    return frame[:4].decode("latin-1"), frame[4:]
            data = self.sock.recv(65536)
            if not data:
                raise ConnectionError("server closed the link")
            self.buffer += data

    def wait_for(self, opcode, command=None, timeout=10):
        """Frames up to and including the first `opcode` (with strm command)."""
        seen = []
        deadline = time.time() + timeout
        while True:
            op, payload = self.read_frame(max(0.1, deadline - time.time()))
            seen.append((op, payload))
            if op == opcode and (command is None or payload[:1] == command.encode()):
                return payload, seen

    def send_stat(self, event, elapsed=0):
        self.sock.sendall(stat(event, elapsed, form=self.stat_form))

    def send(self, data):
        self.sock.sendall(data)

    def fetch_stream(self, strm_payload, web_port):
        """Connects as the strm command says and returns (headers, body)."""
        port = struct.unpack(">H", strm_payload[18:20])[0] or web_port
        request = strm_payload[24:]
        with socket.create_connection((HOST, port), 10) as s:
            s.sendall(request)
            data = b""
            while True:
                chunk = s.recv(65536)
                if not chunk:
                    break
                data += chunk
        head, _, body = data.partition(b"\r\n\r\n")
        return head.decode("latin-1"), body

    def close(self):
        self.sock.close()
