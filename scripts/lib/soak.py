"""A long run of the program under hostile traffic (scripts/soak runs it):

    soak.py --minutes M --program EXE --driver EXE --peer BIN --prefix DIR --work DIR

For the whole run a flood (1,000 datagrams a second from 10,000 source
ports, any size up to 65,507 bytes) and a sender of 2,000-byte datagrams at
100 a second reach the program from the device host, while the operator
presses Start and, some seconds later, Stop, again and again. After each run
the box must hold nothing but fragments of datagrams that were sent, in order
(shown_text.py); at the end the close box is pressed during the traffic.

It prints the figures (datagrams sent and shown, the program's private
memory at the start, the end and its peak, the longest Stop, the close) and
ends non-zero on any failure:

- a fragment in the box that was never sent, or out of order;
- the program ends, or its panel does not answer within 2 s;
- Stop: Start not shown within 1.1 s of the press, or the panel not
  answering again within 1.5 s (it waits up to 1000 ms for the worker);
- the close box: an exit code other than 0, or more than 1.5 s;
- memory: peak > start + 1 KiB per byte of the largest box of a run + 64 MiB
  (Wine's rich-text box keeps a few hundred bytes per character it holds;
  a Stop and Start clears it, so memory must not pile up from run to run).
"""
import argparse
import os
import sys
import time

import shown_text
import testbed
import traffic
from testbed import BOX, START, STOP, MemoryWatch, Session, Traffic

RUN_SECONDS = 20
SHOWN_LIMIT_MS = 1100
ANSWER_LIMIT_MS = 1500
CLOSE_LIMIT_S = 1.5
PING_MS = 2000
BOX_ALLOWANCE = 1024
SLACK = 64 << 20
STEADY_FIRST_INDEX = 10_000_000  # the steady sender's tags never meet the flood's


class Soak:
    def __init__(self, bed, minutes):
        self.bed = bed
        self.deadline = time.monotonic() + minutes * 60
        self.run_seconds = min(RUN_SECONDS, max(5.0, minutes * 60 / 4))
        self.failures = []
        self.stops = []   # (shown ms, answered ms)
        self.shown = [0, 0]
        self.largest_box = 0
        self.runs = 0

    def fail(self, text):
        print("FAILED: " + text, flush=True)
        self.failures.append(text)

    def panel_answers(self):
        if self.session.program.poll() is not None:
            self.fail("the program ended with code %s" % self.session.program.returncode)
            return False
        if self.driver.ok("ping", PING_MS) != ["1"]:
            self.fail("the panel did not answer within %d ms" % PING_MS)
            return False
        return True

    def one_run(self):
        """Start, traffic for a while, Stop during it, and the box checked."""
        lows = [sender.sent_before() for sender in self.senders]
        self.session.start()
        started = time.monotonic()
        while time.monotonic() - started < self.run_seconds:
            time.sleep(2)  # the length of the run, not a wait for anything
            if not self.panel_answers():
                return False
        shown_ms, answered_ms = self.session.stop_timed()
        self.stops.append((shown_ms, answered_ms))
        if shown_ms > SHOWN_LIMIT_MS or answered_ms > ANSWER_LIMIT_MS:
            self.fail("Stop: Start shown after %d ms, the panel answered after %d ms" %
                      (shown_ms, answered_ms))
        self.session.wait_released()
        highs = [sender.sent_before() for sender in self.senders]
        box = self.driver.raw_text(BOX)
        streams = [shown_text.Stream(sender.plan, dict(high, first_index=low["next_index"]))
                   for sender, low, high in zip(self.senders, lows, highs)]
        match = shown_text.match(box, streams)
        self.runs += 1
        self.largest_box = max(self.largest_box, len(box))
        counts = [sum(1 for number, _ in match.fragments if number == k) for k in range(2)]
        for k in range(2):
            self.shown[k] += counts[k]
        print("run %d: %d + %d fragments, box %d bytes, Stop %d/%d ms, memory %d (peak %d)" %
              (self.runs, counts[0], counts[1], len(box), shown_ms, answered_ms,
               self.memory.last, self.memory.peak), flush=True)
        if match.error:
            self.fail("run %d: %s" % (self.runs, match.error))
            return False
        return True

    def close_during_traffic(self):
        self.session.start()
        time.sleep(2)
        code, seconds = self.session.close_window(timeout=10)
        self.close = (code, seconds)
        if code != 0 or seconds > CLOSE_LIMIT_S:
            self.fail("the close box: exit code %d after %.2f s" % (code, seconds))

    def run(self):
        self.session = Session(self.bed)
        self.driver = self.session.driver
        pid = self.session.program.pid
        self.memory = MemoryWatch(pid)
        flood = Traffic(self.bed, traffic.Plan(seed=1000), 1000, ports=10000)
        steady = Traffic(self.bed, traffic.Plan(seed=2000, sizes=2000, body=8), 100,
                         first_index=STEADY_FIRST_INDEX)
        self.senders = [flood, steady]
        self.close = None
        try:
            while time.monotonic() + self.run_seconds < self.deadline:
                if not self.one_run():
                    break
            if not self.failures:
                self.close_during_traffic()
        finally:
            summaries = [sender.summary() for sender in self.senders]
            self.memory.stop()
            self.session.end()
        self.report(summaries)

    def report(self, summaries):
        memory = self.memory
        sent = [summary["sent"] for summary in summaries]
        print()
        print("runs (Start ... Stop):      %d of %.0f s" % (self.runs, self.run_seconds))
        print("datagrams sent:             %d (flood %d, 2000-byte sender %d)" %
              (sum(sent), sent[0], sent[1]))
        print("fragments shown:            %d (flood %d, 2000-byte sender %d)" %
              (sum(self.shown), self.shown[0], self.shown[1]))
        print("memory (private), bytes:    start %d, end %d, peak %d" %
              (memory.first, memory.last, memory.peak))
        if self.stops:
            print("longest Stop:               Start shown after %d ms, panel answered after "
                  "%d ms" % (max(s for s, _ in self.stops), max(a for _, a in self.stops)))
        if self.close:
            print("close box during traffic:   exit code %d after %.2f s" % self.close)
        bound = memory.first + BOX_ALLOWANCE * self.largest_box + SLACK
        print("memory bound:               %d (largest box %d bytes)" % (bound, self.largest_box))
        if memory.peak > bound:
            self.fail("memory peak %d over the bound %d" % (memory.peak, bound))
        if self.runs == 0:
            self.fail("no run was completed")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    testbed.add_path_arguments(parser)
    parser.add_argument("--minutes", type=float, default=10)
    args = parser.parse_args()
    testbed.set_paths(args)
    if not testbed.can_make_namespaces():
        print("soak: needs root to create network namespaces", file=sys.stderr)
        return 2
    bed = testbed.TestBed("soak")
    try:
        bed.up()
        soak = Soak(bed, args.minutes)
        soak.run()
    finally:
        bed.down()
    if soak.failures:
        print("soak FAILED: %d failure(s)" % len(soak.failures))
        return 1
    print("soak passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
