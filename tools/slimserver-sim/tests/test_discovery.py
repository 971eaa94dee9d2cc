"""UDP discovery: unicast on loopback, and a real broadcast between two
network namespaces that the test makes (skipped when it cannot)."""

import os
import shutil
import socket
import subprocess
import sys
import time
import unittest
import uuid

from tests import support

REQUEST = b"d\x00\x03\x11" + bytes(8) + bytes.fromhex("000420123456")


class LoopbackDiscovery(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.sims = {era: support.SimProcess("--discovery", "--era", str(era),
                                            "--server-name", "MyVeryLongServerName")
                    for era in (6, 7)}

    @classmethod
    def tearDownClass(cls):
        for sim in cls.sims.values():
            sim.stop()

    def ask(self, era, request):
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
            s.settimeout(3)
            s.sendto(request, (support.HOST, self.sims[era].ports["proto"]))
            data, sender = s.recvfrom(512)
        return data, sender

    def test_name_is_cut_to_sixteen_bytes_and_padded_to_eighteen(self):
        data, sender = self.ask(6, REQUEST)
        self.assertEqual(data, b"DMyVeryLongServer\x00")
        self.assertEqual(sender[0], support.HOST)

    def test_device_one_gets_an_empty_reply(self):
        data, _ = self.ask(6, b"d\x00\x01\x11" + bytes(14))
        self.assertEqual(data, b"D" + bytes(17))

    def test_newer_server_answers_the_tlv_request(self):
        data, _ = self.ask(7, b"eNAME\x00JSON\x00VERS\x00")
        web = str(self.sims[7].ports["web"]).encode()
        self.assertEqual(data, b"ENAME\x14MyVeryLongServerNameJSON" + bytes([len(web)]) + web
                         + b"VERS\x057.9.1")


PLAYER_SCRIPT = r"""
import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
s.settimeout(5)
s.sendto(bytes.fromhex(sys.argv[1]), ("255.255.255.255", int(sys.argv[2])))
data, sender = s.recvfrom(512)
print(sender[0], data.hex())
"""


class NamespaceBroadcast(unittest.TestCase):
    def setUp(self):
        if shutil.which("ip") is None or os.geteuid() != 0:
            self.skipTest("network namespaces need root and iproute2")
        tag = uuid.uuid4().hex[:6]
        self.server_ns, self.player_ns = f"simsrv{tag}", f"simply{tag}"
        self.veth = f"vs{tag}"
        try:
            self.sh(f"ip netns add {self.server_ns}")
            self.sh(f"ip netns add {self.player_ns}")
            self.sh(f"ip link add {self.veth}a type veth peer name {self.veth}b")
        except subprocess.CalledProcessError as error:
            self.cleanup()
            self.skipTest(f"cannot make network namespaces: {error.stderr.strip()}")
        self.addCleanup(self.cleanup)
        for ns, end, addr in ((self.server_ns, "a", "10.77.0.1"),
                              (self.player_ns, "b", "10.77.0.2")):
            self.sh(f"ip link set {self.veth}{end} netns {ns}")
            self.sh(f"ip -n {ns} addr add {addr}/24 broadcast 10.77.0.255 dev {self.veth}{end}")
            self.sh(f"ip -n {ns} link set {self.veth}{end} up")
            self.sh(f"ip -n {ns} link set lo up")
            self.sh(f"ip -n {ns} route add default dev {self.veth}{end}")

    @staticmethod
    def sh(command):
        return subprocess.run(command.split(), check=True, capture_output=True, text=True)

    def cleanup(self):
        for ns in (self.server_ns, self.player_ns):
            subprocess.run(["ip", "netns", "del", ns], capture_output=True)

    def test_broadcast_request_is_answered_from_the_server_address(self):
        ready = os.path.join(support._temp_root(), f"ready-{self.server_ns}")
        server = subprocess.Popen(
            ["ip", "netns", "exec", self.server_ns, sys.executable, support.SIM,
             "--library", support.library(), "--bind", "0.0.0.0", "--proto-port", "3483",
             "--cli-port", "9090", "--web-port", "9000", "--discovery",
             "--server-name", "nsbox", "--ready-file", ready],
            stderr=subprocess.DEVNULL)
        try:
            deadline = time.time() + 20
            while not os.path.exists(ready) and time.time() < deadline:
                time.sleep(0.05)
            result = subprocess.run(
                ["ip", "netns", "exec", self.player_ns, sys.executable, "-c", PLAYER_SCRIPT,
                 REQUEST.hex(), "3483"], capture_output=True, text=True, timeout=20)
            self.assertEqual(result.returncode, 0, result.stderr)
            sender, reply = result.stdout.split()
            self.assertEqual(sender, "10.77.0.1")
            self.assertEqual(bytes.fromhex(reply), b"Dnsbox" + bytes(12))
        finally:
            server.terminate()
            server.wait(10)


if __name__ == "__main__":
    unittest.main()
