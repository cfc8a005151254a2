"""Hostile UDP traffic for the program's port, reproducible from a seed.

Run it on the device host, e.g.

    ip netns exec DEVICE python3 traffic.py --to 192.168.0.2 --seconds 10 \\
        --rate 1000 --ports 10000 --sizes flood --seed 7

Every datagram is fixed by its plan (seed, sizes, body lengths) and its
index: its size, its bytes, and so the text that the program's received box
shows of it, which shown_text.py works out again without sending anything.
The sender prints one JSON line when its sockets are ready and one when it is
done (after --seconds or --count, or on SIGTERM or SIGINT): how many it sent,
the index range and the indices whose send failed.

Layout of datagram i (all of it cut at the datagram's size):

    5 header bytes    any values, zeros among them
    0x01              the fragment mark, which nothing else that shows holds
    4 tag bytes       i in base 62 (0-9, A-Z, a-z)
    body              bytes 0x02-0xFF; a CR or LF is never next to another
    0x00              where the shown text ends
    filler            any values, from a pool that holds each byte value

so the text shown of i is the mark, the tag and the body, cut at the block
that the program reads (program_facts.py). The mark starts every fragment and the tag
names it, which keeps the fragments in the box apart; across a run the shown
text still holds every byte value from 0x01 to 0xFF, and the rest every value
at all. Only the pairing of CR and LF is left out of what shows, because the
rich-text box reads a pair back unlike two lone ones.
"""
import argparse
import json
import random
import re
import resource
import signal
import socket
import sys
import time

import program_facts

MARK = 0x01
HEADER_SIZE = 5
TAG_DIGITS = b"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
TAG_LENGTH = 4
MAX_DATAGRAM = 65507  # the largest UDP payload over IPv4
POOL_SIZE = 65536

# Body bytes: anything but the zero that ends the text and the mark.
_BODY_BYTES = bytes(b for b in range(256) if b not in (0, MARK))
_TO_BODY = bytes(_BODY_BYTES[b % len(_BODY_BYTES)] for b in range(256))
_LINE_BREAK_RUN = re.compile(rb"[\r\n]{2,}")

BLOCK = program_facts.RECEIVE_BLOCK_SIZE  # what the program reads of a datagram
BUFFER = program_facts.SERVER_DATAGRAM_SIZE  # longer datagrams are dropped unseen

# Sizes where the program's handling changes: nothing to show, header only,
# the first shown byte, the read block's end, the library's receive buffer.
EDGE_SIZES = (0, 1, 4, 5, 6, 7, 10, BLOCK - 1, BLOCK, BLOCK + 1, BUFFER - 1, BUFFER, BUFFER + 1,
              MAX_DATAGRAM)


def flood_size(rng):
    """Any size up to the largest, weighted so that most datagrams are ones
    the program takes in (it drops those over BUFFER bytes unseen)."""
    pick = rng.random()
    if pick < 0.10:
        return rng.choice(EDGE_SIZES)
    if pick < 0.60:
        return rng.randint(0, BLOCK + 100)
    if pick < 0.80:
        return rng.randint(BLOCK + 1, BUFFER)
    return rng.randint(BUFFER + 1, MAX_DATAGRAM)


def flood_body_length(rng):
    """Mostly short texts, some long, and some that run past the block the
    program reads, which it must cut there."""
    pick = rng.random()
    if pick < 0.60:
        return rng.randint(0, 40)
    if pick < 0.85:
        return rng.randint(41, 300)
    if pick < 0.95:
        return rng.randint(301, BLOCK - 6)
    return rng.randint(BLOCK - 5, BLOCK + 100)


def _alternate(match):
    # CR and LF stay apart: every second one of a run becomes a dot.
    run = bytearray(match.group(0))
    run[1::2] = b"." * len(run[1::2])
    return bytes(run)


def tag(index):
    digits = bytearray()
    for _ in range(TAG_LENGTH):
        index, digit = divmod(index, len(TAG_DIGITS))
        digits.append(TAG_DIGITS[digit])
    return bytes(reversed(digits))


class Plan:
    """What datagram i is. sizes: "flood" or a fixed size in bytes;
    body: "flood" or the longest body (lengths from 0 to it)."""

    def __init__(self, seed, sizes="flood", body="flood"):
        self.seed = int(seed)
        self.sizes = sizes if sizes == "flood" else int(sizes)
        self.body = body if body == "flood" else int(body)
        self._pool = None

    def describe(self):
        return {"seed": self.seed, "sizes": self.sizes, "body": self.body}

    def _rng(self, index):
        return random.Random((self.seed << 40) ^ index)

    def _size_and_text(self, rng, index):
        size = flood_size(rng) if self.sizes == "flood" else self.sizes
        length = flood_body_length(rng) if self.body == "flood" else rng.randint(0, self.body)
        body = rng.randbytes(length).translate(_TO_BODY)
        body = _LINE_BREAK_RUN.sub(_alternate, body)
        return size, bytes([MARK]) + tag(index) + body

    def size_and_text(self, index):
        """The datagram's size and the text behind its header up to the zero
        (before any cut)."""
        return self._size_and_text(self._rng(index), index)

    def datagram(self, index):
        rng = self._rng(index)
        size, text = self._size_and_text(rng, index)
        header = rng.randbytes(HEADER_SIZE)
        start = rng.randrange(POOL_SIZE)
        head = header + text + b"\0"
        filler = max(0, size - len(head))
        return (head + self.pool()[start:start + filler])[:size]

    def pool(self):
        """Twice one random block, so any slice of up to its size fits."""
        if self._pool is None:
            block = random.Random(self.seed).randbytes(POOL_SIZE)
            self._pool = block + block
        return self._pool


def open_sockets(count, first_port):
    need = count + 64
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    if soft < need:
        resource.setrlimit(resource.RLIMIT_NOFILE, (max(need, soft), max(need, hard)))
    sockets = []
    for k in range(count):
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_SNDBUF, 1 << 20)
        s.bind(("", first_port + k if first_port else 0))
        sockets.append(s)
    return sockets


class Stop:
    requested = False

    @classmethod
    def on_signal(cls, *_):
        cls.requested = True


def send(plan, to, port, rate, seconds, count, sockets, first_index, progress=0):
    """Sends at the rate until the time or count is reached or a signal
    asks it to stop; returns the summary. With progress, prints the index
    reached that often (in seconds), so that a watcher knows which datagrams
    were sent before a moment of its own."""
    stride = 7919  # a prime: successive datagrams come from ports far apart
    failed = []
    sent_bytes = 0
    index = first_index
    start = time.monotonic()
    next_report = start + progress
    while not Stop.requested:
        now = time.monotonic()
        if progress and now >= next_report:
            print(json.dumps({"event": "progress", "next_index": index, "failed": failed}),
                  flush=True)
            next_report = now + progress
        elapsed = now - start
        if seconds and elapsed >= seconds:
            break
        if count and index - first_index >= count:
            break
        due = first_index + int(elapsed * rate) + 1
        if count:
            due = min(due, first_index + count)
        while index < due and not Stop.requested:
            data = plan.datagram(index)
            sender = sockets[(index * stride) % len(sockets)]
            try:
                sender.sendto(data, (to, port))
                sent_bytes += len(data)
            except OSError:
                failed.append(index)
            index += 1
        next_due = start + (index - first_index) / rate
        pause = next_due - time.monotonic()
        if pause > 0:
            time.sleep(min(pause, 0.05))
    return {"event": "done", "first_index": first_index, "next_index": index,
            "sent": index - first_index - len(failed), "failed": failed,
            "bytes": sent_bytes, "seconds": round(time.monotonic() - start, 3),
            "plan": plan.describe()}


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--to", required=True, help="the program's address")
    parser.add_argument("--port", type=int, default=2048)
    parser.add_argument("--rate", type=float, default=1000, help="datagrams per second")
    parser.add_argument("--seconds", type=float, default=0, help="0: until stopped")
    parser.add_argument("--count", type=int, default=0, help="0: no limit")
    parser.add_argument("--ports", type=int, default=1, help="distinct source ports")
    parser.add_argument("--first-port", type=int, default=0,
                        help="lowest source port (0: the system chooses)")
    parser.add_argument("--sizes", default="flood", help='"flood" or a size in bytes')
    parser.add_argument("--body", default="flood", help='"flood" or the longest body')
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--first-index", type=int, default=0)
    parser.add_argument("--progress", type=float, default=0,
                        help="print the index reached every so many seconds (0: never)")
    args = parser.parse_args(argv)

    signal.signal(signal.SIGTERM, Stop.on_signal)
    signal.signal(signal.SIGINT, Stop.on_signal)
    plan = Plan(args.seed, args.sizes, args.body)
    plan.pool()
    sockets = open_sockets(args.ports, args.first_port)
    print(json.dumps({"event": "ready", "ports": len(sockets)}), flush=True)
    summary = send(plan, args.to, args.port, args.rate, args.seconds, args.count, sockets,
                   args.first_index, args.progress)
    print(json.dumps(summary), flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
