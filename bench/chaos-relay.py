#!/usr/bin/python3
"""A fault-injecting FTP relay for soak tests of the transfer engine.

Listens on 127.0.0.1, relays each control connection to the target server and every data
connection too (PASV replies and PORT commands are rewritten to ports of the relay), and breaks
them on purpose:

  data-reset      a data connection is reset after a few bytes
  data-stall      a data connection stops moving for a while, then goes on
  data-halfclose  the receiving side of a data connection sees its end early
  data-refuse     the data port announced to the other side refuses the connection
  ctrl-reset      the control connection is reset just after a command went to the server
  refuse          (only with --only) a command is answered "550 Permission denied." by the relay
  hold            a reply of the server is held back for a while (rarely for 12 s)

Every decision is drawn from a generator seeded with the seed, the file the control connection
last named and how often that same thing happened before, so that a run can be replayed with
the same seed whatever the order of the connections. The first control connection (the browsing
session whose logon the queue borrows) is never broken. "--only FAULT:VERB:N" instead injects one
fault, deterministically: at the Nth command VERB (ctrl-reset, refuse), or on the data
connection that serves the Nth command VERB (data faults); the count spans all connections.

Prints "PORT <port>" once it listens; "--log FILE" records each fault injected.
Usage: chaos-relay.py --target HOST:PORT [--seed N] [--rate R] [--only FAULT:VERB:N]
"""
import argparse
import hashlib
import random
import re
import select
import socket
import struct
import sys
import threading
import time

DATA_FAULTS = ["data-reset", "data-stall", "data-halfclose"]
BLOCK = 256 * 1024


def reset(sock):
    """Closes with RST instead of FIN."""
    try:
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        sock.close()
    except OSError:
        pass


def close(sock):
    try:
        sock.close()
    except OSError:
        pass


class Chaos:
    """The fault decisions shared by all connections."""

    def __init__(self, seed, rate, only, log):
        self.seed = seed
        self.rate = rate
        self.only = only  # (fault, verb, n) or None
        self.lock = threading.Lock()
        self.seen = {}
        self.log = log

    def draw(self, topic, event):
        with self.lock:
            count = self.seen.get((topic, event), 0) + 1
            self.seen[(topic, event)] = count
        key = "%s|%s|%s|%d" % (self.seed, topic, event, count)
        return random.Random(hashlib.sha256(key.encode()).digest())

    def counted(self, verb):
        with self.lock:
            count = self.seen.get(("#", verb), 0) + 1
            self.seen[("#", verb)] = count
        return count

    def note(self, text):
        if self.log:
            with self.lock:
                self.log.write(text + "\n")
                self.log.flush()

    def data_fault(self, topic, verb, nth):
        if self.only:
            fault, only_verb, n = self.only
            hit = fault.startswith("data-") and verb == only_verb and nth == n
            return (fault, random.Random(0)) if hit else (None, None)
        rng = self.draw(topic, "data")
        if rng.random() >= self.rate:
            return None, None
        return rng.choice(DATA_FAULTS), rng

    def refuse(self, topic):
        if self.only:
            return False
        return self.draw(topic, "refuse").random() < self.rate / 4

    def control_reset(self, topic, verb, nth):
        if self.only:
            fault, only_verb, n = self.only
            return fault == "ctrl-reset" and verb == only_verb and nth == n
        return self.draw(topic, "ctrl:" + verb).random() < self.rate / 4

    def refused(self, verb, nth):
        return self.only is not None and self.only == ("refuse", verb, nth)

    def hold(self, topic, line):
        if self.only:
            return 0.0
        rng = self.draw(topic, "reply:" + line[:3])
        roll = rng.random()
        if roll < self.rate / 40:
            return 12.0  # past the client's time-out: it must give up and reconnect
        return rng.uniform(0.5, 3.0) if roll < self.rate / 4 else 0.0


class DataPipe:
    """One data connection: the relay's listener for one side, a connect to the other. Its
    fault is decided when the first bytes flow, once the transfer command it serves went by."""

    def __init__(self, control, connect_to, refuse):
        self.control = control
        self.chaos = control.chaos
        self.connect_to = connect_to
        self.fault, self.rng, self.limit = None, None, None
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(1)
        self.listener.settimeout(60)
        self.port = self.listener.getsockname()[1]
        if refuse:
            self.chaos.note("data-refuse after %s" % control.topic)
            close(self.listener)  # the announced port refuses
            return
        threading.Thread(target=self.run, daemon=True).start()

    def run(self):
        try:
            near, _ = self.listener.accept()
        except OSError:
            return
        finally:
            close(self.listener)
        try:
            far = socket.create_connection(self.connect_to, timeout=30)
        except OSError:
            reset(near)
            return
        try:
            self.pump({near: far, far: near})
        except OSError:
            pass
        close(near)
        close(far)

    def decide(self):
        if self.rng is None:
            self.fault, self.rng = self.control.data_fault()
            self.rng = self.rng or random.Random(0)
            self.limit = self.rng.randint(0, 64 * 1024) if self.fault else None

    # One thread serves both directions, so that a fault acts on both at once.
    def pump(self, peers):
        moved = 0
        draining = None  # after a half-close: the side whose bytes go nowhere
        open_sides = set(peers)
        while open_sides:
            readable, _, _ = select.select(list(open_sides), [], [], 120)
            if not readable:
                return
            for src in readable:
                dst = peers[src]
                block = src.recv(BLOCK)
                if not block:
                    open_sides.discard(src)
                    if src is not draining:
                        dst.shutdown(socket.SHUT_WR)
                    continue
                if src is draining:
                    continue
                self.decide()
                if self.limit is not None and moved + len(block) > self.limit:
                    head = block[: max(self.limit - moved, 0)]
                    self.limit = None
                    self.chaos.note("%s after %d bytes of %s" % (self.fault, len(head),
                                                                 self.control.topic))
                    dst.sendall(head)
                    block = block[len(head):]
                    if self.fault == "data-reset":
                        reset(src)
                        reset(dst)
                        return
                    if self.fault == "data-halfclose":
                        dst.shutdown(socket.SHUT_WR)
                        draining = src
                        continue
                    time.sleep(self.rng.uniform(1.0, 4.0))  # data-stall
                dst.sendall(block)
                moved += len(block)


class ControlRelay:
    """One control connection, relayed line by line."""

    PASV = re.compile(rb"^227 .*\((\d+),(\d+),(\d+),(\d+),(\d+),(\d+)\)")
    PORT = re.compile(rb"^PORT (\d+),(\d+),(\d+),(\d+),(\d+),(\d+)\s*$", re.I)

    def __init__(self, chaos, client, target):
        self.chaos = chaos
        self.client = client
        self.target = target
        self.server = None
        self.topic = ""
        self.transfer = ("LIST", 0)  # the last transfer command and its count

    def run(self):
        try:
            self.server = socket.create_connection(self.target, timeout=30)
        except OSError:
            reset(self.client)
            return
        pending = {self.client: b"", self.server: b""}
        try:
            while True:
                readable, _, _ = select.select(list(pending), [], [], 600)
                if not readable:
                    break
                for side in readable:
                    block = side.recv(65536)
                    if not block:
                        raise OSError("closed")
                    pending[side] += block
                    while b"\n" in pending[side]:
                        line, pending[side] = pending[side].split(b"\n", 1)
                        if side is self.client:
                            self.from_client(line + b"\n")
                        else:
                            self.from_server(line + b"\n")
        except OSError:
            pass
        reset(self.client)
        reset(self.server)

    def from_client(self, line):
        text = line.decode("latin-1").strip()
        verb = text.split(" ", 1)[0].upper()
        argument = text[len(verb) + 1:]
        if verb in ("EPSV", "EPRT"):  # data connections must come through the relay
            self.client.sendall(b"502 Not through this relay.\r\n")
            return
        if verb in ("SIZE", "RETR", "APPE", "STOR", "RNFR", "LIST"):
            self.topic = argument
        nth = self.chaos.counted(verb)
        if verb in ("RETR", "APPE", "STOR", "LIST"):
            self.transfer = (verb, nth)
        if self.chaos.refused(verb, nth):
            self.chaos.note("refuse %s %s" % (verb, argument))
            self.client.sendall(b"550 Permission denied.\r\n")
            return
        match = self.PORT.match(line)
        if match:
            line = self.rewrite_port(match)
        self.server.sendall(line)
        if self.chaos.control_reset(self.topic, verb, nth):
            self.chaos.note("ctrl-reset after %s %s" % (verb, argument))
            time.sleep(0.05)
            raise OSError("control reset")

    def from_server(self, line):
        wait = self.chaos.hold(self.topic, line.decode("latin-1"))
        if wait:
            self.chaos.note("hold %.1f s: %s" % (wait, line.decode("latin-1").strip()))
            time.sleep(wait)
        match = self.PASV.match(line)
        if match:
            line = self.rewrite_pasv(match)
        self.client.sendall(line)

    def data_fault(self):
        verb, nth = self.transfer
        return self.chaos.data_fault(self.topic, verb, nth)

    def rewrite_pasv(self, match):
        numbers = [int(n) for n in match.groups()]
        server = (self.target[0], numbers[4] * 256 + numbers[5])
        pipe = DataPipe(self, server, self.chaos.refuse(self.topic))
        return b"227 Entering Passive Mode (127,0,0,1,%d,%d).\r\n" % (pipe.port // 256,
                                                                      pipe.port % 256)

    def rewrite_port(self, match):
        numbers = [int(n) for n in match.groups()]
        client = ("127.0.0.1", numbers[4] * 256 + numbers[5])
        pipe = DataPipe(self, client, self.chaos.refuse(self.topic))
        return b"PORT 127,0,0,1,%d,%d\r\n" % (pipe.port // 256, pipe.port % 256)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--target", required=True)
    parser.add_argument("--seed", default="1")
    parser.add_argument("--rate", type=float, default=0.1)
    parser.add_argument("--only")
    parser.add_argument("--log")
    args = parser.parse_args()
    host, port = args.target.rsplit(":", 1)
    only = None
    if args.only:
        fault, verb, n = args.only.split(":")
        only = (fault, verb.upper(), int(n))
    log = open(args.log, "a") if args.log else None
    chaos = Chaos(args.seed, args.rate, only, log)
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(64)
    print("PORT %d" % listener.getsockname()[1], flush=True)
    spared = Chaos(args.seed, 0.0, None, None)
    while True:
        client, _ = listener.accept()
        relay = ControlRelay(spared if spared else chaos, client, (host, int(port)))
        spared = None
        threading.Thread(target=relay.run, daemon=True).start()


if __name__ == "__main__":
    main()
