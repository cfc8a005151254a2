"""What the program and its test bed share, read from the program's own
sources so that each fact has one home: the panel's control numbers
(app/panel.h), its texts (app/texts.h, written there as words), the block
the network worker reads a datagram into, and the network library's receive
buffer. A fact that cannot be found there fails at import, naming it."""
import os
import re

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def _source(path):
    with open(os.path.join(ROOT, path), encoding="utf-8") as source:
        return source.read()


def _found(path, pattern, what):
    found = dict(re.findall(pattern, _source(path)))
    if not found:
        raise LookupError("%s: no %s found" % (path, what))
    return found


def _number(path, name):
    match = re.search(r"constexpr\s+\w+\s+%s\s*=\s*(\d+)\s*;" % name, _source(path))
    if not match:
        raise LookupError("%s: no constant %s" % (path, name))
    return int(match.group(1))


CONTROLS = {name: int(number) for name, number in
            _found("app/panel.h", r"constexpr ObjectNumber (\w+) = (\d+);", "control numbers").items()}
TEXTS = _found("app/texts.h", r'constexpr const char\* (\w+) =\s*Cp1251Literal<u8"([^"\\]*)">',
               "texts")
TITLE = TEXTS["kProgramTitle"]
RECEIVE_BLOCK_SIZE = _number("app/network_worker.cpp", "kReceiveBlockSize")
SERVER_DATAGRAM_SIZE = _number("net/server.h", "ServerDatagramSize")
