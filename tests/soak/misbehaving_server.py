#!/usr/bin/env python3
"""A status server that misbehaves at random, for the poll soak test.

Every connection gets one randomly chosen behaviour: a good reply, a 500 with a JSON body,
garbage, a huge body, a reset, a truncated body, or a delay of up to 5 s. For each connection
it writes one line to the log: `full <base64 body>` when a whole reply was sent in time for the
client's 3-second limit, `fail` when the client can only have seen a failure. Delays close to
the limit (2.5 to 3.5 s) are never chosen, so every outcome is certain.

usage: misbehaving_server.py PORT_FILE LOG_FILE SEED
"""
import asyncio
import base64
import json
import os
import random
import socket
import struct
import sys

FLAG_VALUES = [True, False, 0, 1, 2, "true", None, 0.5, 1.0, [], {}]


def random_status(rng):
    body = {}
    for key in ("setup_complete", "enabled", "live_mode", "playing"):
        if rng.random() < 0.6:
            body[key] = rng.choice(FLAG_VALUES)
    if rng.random() < 0.7:
        body["now"] = rng.choice(["Morning Show", "", 42, None, "Ünïcödé ▶ title"])
    return json.dumps(body).encode()


def choose(rng):
    roll = rng.random()
    if roll < 0.55:
        return "good", 0.0
    if roll < 0.62:
        return "error500", 0.0
    if roll < 0.69:
        return "garbage", 0.0
    if roll < 0.70:
        return "huge", 0.0
    if roll < 0.77:
        return "reset", 0.0
    if roll < 0.84:
        return "truncated", 0.0
    if roll < 0.92:
        return "good", rng.uniform(0.0, 2.5)
    return "good", rng.uniform(3.5, 5.0)


def response(status, body, declared=None):
    length = len(body) if declared is None else declared
    head = (f"HTTP/1.1 {status}\r\nContent-Type: application/json\r\n"
            f"Content-Length: {length}\r\nConnection: close\r\n\r\n")
    return head.encode() + body


class Server:
    def __init__(self, log, seed):
        self.log = log
        self.rng = random.Random(seed)

    def record(self, line):
        self.log.write(line + "\n")
        self.log.flush()

    async def handle(self, reader, writer):
        try:
            await reader.readuntil(b"\r\n\r\n")
        except (asyncio.IncompleteReadError, asyncio.LimitOverrunError, ConnectionError):
            writer.close()
            return
        kind, delay = choose(self.rng)
        try:
            await self.behave(kind, delay, writer)
        except ConnectionError:
            pass
        finally:
            writer.close()

    async def behave(self, kind, delay, writer):
        if kind == "reset":
            sock = writer.get_extra_info("socket")
            self.record("fail")
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            return
        if kind == "truncated":
            body = random_status(self.rng)
            self.record("fail")
            writer.write(response("200 OK", body[: len(body) // 2], declared=len(body)))
            await writer.drain()
            return
        if kind == "garbage":
            body = bytes(self.rng.getrandbits(8) for _ in range(self.rng.randint(0, 300)))
        elif kind == "huge":
            body = json.dumps({"enabled": True, "now": "x" * (4 << 20)}).encode()
        else:
            body = random_status(self.rng)
        status = "500 Internal Server Error" if kind == "error500" else "200 OK"
        # Recorded before anything is sent: a client that gave up may make the write fail.
        self.record("fail" if delay > 3.0 else "full " + base64.b64encode(body).decode())
        if delay > 0:
            await asyncio.sleep(delay)
        writer.write(response(status, body))
        await writer.drain()


async def main():
    port_file, log_file, seed = sys.argv[1], sys.argv[2], int(sys.argv[3])
    with open(log_file, "w") as log:
        server = Server(log, seed)
        listener = await asyncio.start_server(server.handle, "127.0.0.1", 0, backlog=1024)
        port = listener.sockets[0].getsockname()[1]
        with open(port_file + ".tmp", "w") as out:
            out.write(str(port))
        os.rename(port_file + ".tmp", port_file)
        async with listener:
            await listener.serve_forever()


if __name__ == "__main__":
    asyncio.run(main())
