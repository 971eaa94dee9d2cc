"""UDP discovery on the SlimProto port: "d" requests get an 18-byte "D"
reply carrying the server name; newer servers also answer "e" TLV requests."""

import asyncio


def discovery_reply(request, sim):
    if not request:
        return None
    if request[:1] == b"d" and len(request) >= 18:
        if request[2] == 1:
            return b"D" + bytes(17)
        name = sim.server_name.encode("latin-1", "replace")[:16]
        return b"D" + name.ljust(17, b"\0")
    if request[:1] == b"e" and sim.era >= 7:
        return b"E" + _tlv_reply(request[1:], sim)
    return None


def _tlv_reply(data, sim):
    values = {b"NAME": sim.server_name, b"IPAD": sim.bind, b"JSON": str(sim.web_port),
              b"VERS": sim.version, b"UUID": "slimserver-sim"}
    out, pos = b"", 0
    while pos + 5 <= len(data):
        tag, length = data[pos:pos + 4], data[pos + 4]
        pos += 5 + length
        if tag in values:
            value = values[tag].encode("latin-1", "replace")[:255]
            out += tag + bytes([len(value)]) + value
    return out


class DiscoveryProtocol(asyncio.DatagramProtocol):
    def __init__(self, sim):
        self.sim = sim
        self.transport = None

    def connection_made(self, transport):
        self.transport = transport

    def datagram_received(self, data, addr):
        reply = discovery_reply(data, self.sim)
        if reply is not None:
            self.sim.log(f"discovery: {data[:1].decode('latin-1')} from {addr[0]}:{addr[1]}")
            self.transport.sendto(reply, addr)


async def start(sim, host, port):
    loop = asyncio.get_running_loop()
    transport, _ = await loop.create_datagram_endpoint(
        lambda: DiscoveryProtocol(sim), local_addr=(host, port), reuse_port=True)
    return transport
