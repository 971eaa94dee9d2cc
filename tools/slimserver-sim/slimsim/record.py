"""What the simulator received and sent, kept for tests to read back."""

import time
from collections import deque

LIMIT = 20000


class Recorder:
    def __init__(self):
        self.clear()

    def clear(self):
        self.frames_in = {}
        self.frames_out = {}
        self.cli_lines = deque(maxlen=LIMIT)
        self.http_requests = deque(maxlen=LIMIT)
        self.events = deque(maxlen=LIMIT)

    @staticmethod
    def _add(table, mac, opcode, payload):
        table.setdefault(mac, deque(maxlen=LIMIT)).append(
            {"op": opcode, "payload": payload.hex(), "t": round(time.time(), 3)})

    def received(self, mac, opcode, payload):
        self._add(self.frames_in, mac, opcode, payload)

    def sent(self, mac, opcode, payload):
        self._add(self.frames_out, mac, opcode, payload)

    def cli(self, conn_id, line):
        self.cli_lines.append({"conn": conn_id, "line": line, "t": round(time.time(), 3)})

    def http(self, peer, request_line):
        self.http_requests.append({"peer": peer, "request": request_line,
                                   "t": round(time.time(), 3)})

    def event(self, text):
        self.events.append(text)

    @staticmethod
    def _select(table, mac):
        if mac:
            return {mac: list(table.get(mac, []))}
        return {k: list(v) for k, v in table.items()}

    def frames(self, mac=None, sent=False):
        return self._select(self.frames_out if sent else self.frames_in, mac)
