"""What the received box shows of the datagrams that traffic.py sends, and the
check that a box's text is made of them and of nothing else.

The program reads up to 1000 bytes of a datagram into a zero-filled block and
appends the bytes from offset 5 up to the first zero (within the block); the
rest of a longer datagram is dropped, and the network library drops datagrams
longer than its 2048-byte buffer, and empty ones, unseen. The rich-text box
makes each lone CR and each lone LF a paragraph break, which reads back as
CR LF; every other byte from 0x01 to 0xFF reads back as itself through the
driver, 0x98 (undefined in Windows-1251) included: the program and the driver
both carry it as U+0098.
"""
import bisect
import re

import program_facts
import traffic

BLOCK_SIZE = program_facts.RECEIVE_BLOCK_SIZE
LIBRARY_LIMIT = program_facts.SERVER_DATAGRAM_SIZE
_LINE_BREAK = re.compile(rb"[\r\n]")
_LINE_BREAK_PAIR = re.compile(rb"[\r\n][\r\n]")


def shown(size, text):
    """The bytes the program appends for a datagram of this size whose bytes
    behind the header, up to its first zero, are text."""
    if size <= traffic.HEADER_SIZE or size > LIBRARY_LIMIT:
        return b""
    return text[:min(size, BLOCK_SIZE) - traffic.HEADER_SIZE]


def read_back(raw):
    """The bytes appended, as the box reads them back. Only for texts in
    which no CR or LF is next to another: a CR LF pair is one break."""
    assert not _LINE_BREAK_PAIR.search(raw), "CR and LF side by side: not modelled"
    return _LINE_BREAK.sub(b"\r\n", raw)


class Stream:
    """The datagrams of one sender: its plan and the indices it sent."""

    def __init__(self, plan, summary):
        self.plan = plan
        failed = set(summary["failed"])
        self.indices = [i for i in range(summary["first_index"], summary["next_index"])
                        if i not in failed]

    def forms(self):
        """(index, raw shown bytes) of every sent datagram that shows text."""
        for index in self.indices:
            raw = shown(*self.plan.size_and_text(index))
            if raw:
                yield index, raw


class Match:
    def __init__(self):
        self.fragments = []   # (stream number, index) in the box's order
        self.shown_bytes = set()
        self.error = None


def match(box, streams):
    """Reads the box as fragments of the streams' datagrams. Each fragment
    must be the shown text of a datagram that was sent, and one stream's
    fragments must come in the order it sent them; datagrams may be missing
    (dropped under a flood), but not one byte may be invented or changed.
    Fragments start with the mark, which no fragment holds elsewhere, so the
    box splits into them in exactly one way."""
    result = Match()
    forms = {}  # read-back form -> {stream number: [indices, ascending]}
    raw_of = {}
    for number, stream in enumerate(streams):
        for index, raw in stream.forms():
            forms.setdefault(read_back(raw), {}).setdefault(number, []).append(index)
            raw_of[(number, index)] = raw
    mark = bytes([traffic.MARK])
    pieces = box.split(mark)
    if pieces[0]:
        result.error = "text before the first fragment: %r" % pieces[0][:80]
        return result
    last = [-1] * len(streams)
    position = 0
    for piece in pieces[1:]:
        form = mark + piece
        best = None
        for number, indices in forms.get(form, {}).items():
            k = bisect.bisect_right(indices, last[number])
            if k < len(indices) and (best is None or indices[k] < best[1]):
                best = (number, indices[k])
        if best is None:
            result.error = describe_mismatch(form, position, forms)
            return result
        last[best[0]] = best[1]
        result.fragments.append(best)
        result.shown_bytes.update(raw_of[best])
        position += len(form)
    return result


def describe_mismatch(form, position, forms):
    known = form in forms
    return ("fragment at byte %d %s: %r" %
            (position, "out of order" if known else "was never sent (invented or corrupted)",
             form[:120]))
