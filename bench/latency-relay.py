#!/usr/bin/python3
"""An FTP relay on 127.0.0.1 that makes a loopback server look far away.

Relays each control connection to the target server and every data connection too: PASV and
EPSV replies and PORT and EPRT commands are rewritten to ports of the relay, so data goes through
it as well. Every chunk that crosses the relay, in either direction and on every connection, is
held back by the same one-way delay before it is passed on; chunks keep their order and are not
throttled, so the relay adds latency, not a bandwidth limit. Opening a connection costs one
round trip, as a TCP handshake does over a real link.

With --delay-ms 10 a command and its reply take about 20 ms (one round trip).
Prints "PORT <port>" once it listens and runs until killed.
Usage: latency-relay.py --target HOST:PORT [--delay-ms MS] [--port PORT]
"""
import argparse
import asyncio
import re
import sys

BLOCK = 256 * 1024
# Chunks in flight per direction before the reader waits: enough for a full round trip of data
# at several GB/s, bounded so a slow reader cannot fill the memory.
QUEUED_CHUNKS = 256

PASV = re.compile(rb"^227 .*?\((\d+),(\d+),(\d+),(\d+),(\d+),(\d+)\)")
EPSV = re.compile(rb"^229 .*?\(\|\|\|(\d+)\|\)")
PORT = re.compile(rb"^PORT (\d+),(\d+),(\d+),(\d+),(\d+),(\d+)\s*$", re.IGNORECASE)
EPRT = re.compile(rb"^EPRT \|(\d)\|([^|]+)\|(\d+)\|\s*$", re.IGNORECASE)


class Pipe:
    """One direction of one connection: chunks are written out delay seconds after they came
    in. rewrite, when given, turns each complete line into the line to send (control only)."""

    def __init__(self, delay, reader, writer, rewrite=None):
        self.delay = delay
        self.reader = reader
        self.writer = writer
        self.rewrite = rewrite
        self.queue = asyncio.Queue(QUEUED_CHUNKS)
        self.pending = b""

    async def run(self):
        await asyncio.gather(self.read(), self.write())

    async def read(self):
        loop = asyncio.get_running_loop()
        try:
            while True:
                chunk = await self.reader.read(BLOCK)
                if not chunk:
                    break
                if self.rewrite:
                    chunk = await self.lines(chunk)
                if chunk:
                    await self.queue.put((loop.time() + self.delay, chunk))
        except (ConnectionError, OSError):
            pass
        if self.pending:
            await self.queue.put((loop.time() + self.delay, self.pending))
        await self.queue.put((loop.time() + self.delay, None))

    async def lines(self, chunk):
        self.pending += chunk
        out = []
        while b"\n" in self.pending:
            line, self.pending = self.pending.split(b"\n", 1)
            out.append(await self.rewrite(line + b"\n"))
        return b"".join(out)

    async def write(self):
        loop = asyncio.get_running_loop()
        try:
            while True:
                due, chunk = await self.queue.get()
                wait = due - loop.time()
                if wait > 0:
                    await asyncio.sleep(wait)
                if chunk is None:
                    break
                self.writer.write(chunk)
                await self.writer.drain()
            if self.writer.can_write_eof():
                self.writer.write_eof()
        except (ConnectionError, OSError):
            pass


async def close(writer):
    try:
        writer.close()
        await writer.wait_closed()
    except (ConnectionError, OSError):
        pass


async def join(delay, client_reader, client_writer, server_reader, server_writer,
               to_server=None, to_client=None):
    """Runs both directions until both have ended, then closes both sides."""
    await asyncio.gather(
        Pipe(delay, client_reader, server_writer, to_server).run(),
        Pipe(delay, server_reader, client_writer, to_client).run())
    await close(client_writer)
    await close(server_writer)


class Relay:
    def __init__(self, target_host, target_port, delay):
        self.target_host = target_host
        self.target_port = target_port
        self.delay = delay

    async def open(self, host, port):
        """A connection that costs one round trip to set up, as over a real link."""
        await asyncio.sleep(self.delay)
        connection = await asyncio.open_connection(host, port)
        await asyncio.sleep(self.delay)
        return connection

    async def data_listener(self, connect_to):
        """A one-shot listener on the relay: the side that connects to it is joined with a
        connection to connect_to (host, port). Returns the listener's port."""
        done = asyncio.get_running_loop().create_future()

        async def accepted(reader, writer):
            if done.done():
                await close(writer)
                return
            done.set_result(None)
            server.close()
            try:
                far_reader, far_writer = await self.open(*connect_to)
            except OSError:
                await close(writer)
                return
            await join(self.delay, reader, writer, far_reader, far_writer)

        server = await asyncio.start_server(accepted, "127.0.0.1", 0)
        # A listener nobody connects to does not stay open for ever.
        asyncio.get_running_loop().call_later(120, server.close)
        return server.sockets[0].getsockname()[1]

    async def reply_from_server(self, line):
        match = PASV.match(line)
        if match:
            numbers = [int(part) for part in match.groups()]
            host = ".".join(str(part) for part in numbers[:4])
            port = await self.data_listener((host, numbers[4] * 256 + numbers[5]))
            return b"227 Entering Passive Mode (127,0,0,1,%d,%d).\r\n" % (port // 256, port % 256)
        match = EPSV.match(line)
        if match:
            port = await self.data_listener((self.target_host, int(match.group(1))))
            return b"229 Entering Extended Passive Mode (|||%d|)\r\n" % port
        return line

    async def command_from_client(self, line):
        match = PORT.match(line)
        if match:
            numbers = [int(part) for part in match.groups()]
            host = ".".join(str(part) for part in numbers[:4])
            port = await self.data_listener((host, numbers[4] * 256 + numbers[5]))
            return b"PORT 127,0,0,1,%d,%d\r\n" % (port // 256, port % 256)
        match = EPRT.match(line)
        if match:
            host = match.group(2).decode("ascii", "replace")
            port = await self.data_listener((host, int(match.group(3))))
            return b"EPRT |1|127.0.0.1|%d|\r\n" % port
        return line

    async def control(self, reader, writer):
        try:
            server_reader, server_writer = await self.open(self.target_host, self.target_port)
        except OSError:
            await close(writer)
            return
        await join(self.delay, reader, writer, server_reader, server_writer,
                   self.command_from_client, self.reply_from_server)


async def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--target", required=True, help="HOST:PORT of the FTP server")
    parser.add_argument("--delay-ms", type=float, default=10.0, help="one-way delay")
    parser.add_argument("--port", type=int, default=0, help="port to listen on (0: any)")
    options = parser.parse_args()
    host, _, port = options.target.rpartition(":")
    relay = Relay(host, int(port), options.delay_ms / 1000.0)
    server = await asyncio.start_server(relay.control, "127.0.0.1", options.port)
    print("PORT %d" % server.sockets[0].getsockname()[1], flush=True)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    try:
        asyncio.run(main())
    except KeyboardInterrupt:
        sys.exit(0)
