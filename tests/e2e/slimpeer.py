"""A scripted SlimProto server end for end-to-end tests: it accepts one
player at a time on 127.0.0.1, records every frame the player sends and can
send raw server frames. Frames are parsed as the wire carries them: player
to server is opcode(4) + length(4, big-endian, payload only) + payload."""

import socket
import struct
import threading
import time


class SlimPeer:
    def __init__(self, port=0):
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", port))
        self.listener.listen(4)
        self.port = self.listener.getsockname()[1]
        self.frames = []          # (opcode, payload) in arrival order
        self.connections = 0
        self.conn = None
        self.lock = threading.Lock()
        self.changed = threading.Condition(self.lock)
        self.running = True
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()

    def _serve(self):
        while self.running:
            try:
                conn, _ = self.listener.accept()
            except OSError:
                return
            with self.lock:
                self.conn = conn
                self.connections += 1
                self.changed.notify_all()
            self._read(conn)

    def _read(self, conn):
        buffer = b""
        while True:
            try:
                chunk = conn.recv(65536)
            except OSError:
                chunk = b""
            if not chunk:
                with self.lock:
                    self.frames.append(("<closed>", b""))
                    self.changed.notify_all()
                return
            buffer += chunk
            while len(buffer) >= 8:
                opcode = buffer[:4].decode("latin-1")
                (length,) = struct.unpack(">I", buffer[4:8])
                if len(buffer) < 8 + length:
                    break
                with self.lock:
                    self.frames.append((opcode, buffer[8:8 + length]))
                    self.changed.notify_all()
                buffer = buffer[8 + length:]

    def send(self, opcode, payload=b""):
        data = struct.pack(">H", len(payload) + 4) + opcode.encode("latin-1") + payload
        with self.lock:
            conn = self.conn
        conn.sendall(data)

    def wait_for(self, predicate, timeout=10.0):
        """Waits until predicate(frames) is true; returns the frames."""
        deadline = time.monotonic() + timeout
        with self.lock:
            while not predicate(self.frames):
                left = deadline - time.monotonic()
                if left <= 0:
                    raise AssertionError("timed out; frames so far: %r" % (self.frames,))
                self.changed.wait(left)
            return list(self.frames)

    def opcodes(self):
        with self.lock:
            return [f[0] for f in self.frames]

    def close(self):
        self.running = False
        try:
            self.listener.close()
        except OSError:
            pass
        with self.lock:
            if self.conn:
                try:
                    self.conn.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass
                self.conn.close()


def ir_code(payload):
    """The IR code of an IR frame: after 4 bytes of time and two format bytes."""
    return struct.unpack(">I", payload[6:10])[0]
