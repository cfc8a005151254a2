"""The program under floods of hostile datagrams: it keeps running and
answering, Stop, Start and the close box work during a flood, its memory
stays within bounds, and its received box shows nothing but what was sent
(shown_text.py has the model and the check). How quickly Stop and the close
box answer under a flood scripts/soak holds to its figures; here a hang fails.

Memory is the private (written) memory of the program's Wine process. Wine's
rich-text box keeps a few hundred bytes per character it holds (about 650 for
the flood's mixed bytes), so the bound allows for what the box shows:

    peak - before <= BOX_ALLOWANCE x bytes in the box + SLACK

and a second run after Stop and Start, which clears the box, must not need
more than the first one did (plus SLACK): nothing piles up from run to run.
"""
import time

import shown_text
import testbed
import traffic
from testbed import BOX, MemoryWatch, Traffic

SECONDS = 5  # of the flood
BOX_ALLOWANCE = 1024  # bytes of memory per byte in the box
SLACK = 16 << 20


class Flood(testbed.BedTestCase):
    bed_tag = "flood"

    def setUp(self):
        self.open_session(start=True)

    def box_after(self, what):
        """The box once it holds something, after the panel has answered."""
        self.driver.wait_until(lambda: self.driver.raw_text(BOX), 10, what)
        self.assertEqual(self.driver.ok("ping", 10000), ["1"], "the panel hangs")
        return self.driver.raw_text(BOX)

    def check_box(self, box, plan, summary, peak=0, before=0):
        """The box made only of fragments of what was sent, in order, and the
        memory's peak within the bound for it; the fragments' match."""
        match = shown_text.match(box, [shown_text.Stream(plan, summary)])
        self.assertIsNone(match.error)
        self.assertLessEqual(peak - before, BOX_ALLOWANCE * len(box) + SLACK)
        return match

    def test_flood_from_ten_thousand_ports_with_stop_start_and_the_close_box_during_it(self):
        plan = traffic.Plan(seed=101)
        memory = MemoryWatch(self.session.program.pid)
        flood = Traffic(self.bed, plan, 1000, ports=10000)
        try:
            self.box_after("the first fragment")
            time.sleep(SECONDS)  # the length of the flood, not a wait for anything
            self.box_after("the panel to answer")
            self.session.stop_timed()
            first_run = self.driver.raw_text(BOX)
            memory.stop()
            self.session.start()
            second_run = self.box_after("a fragment after Start")
            self.assertEqual(self.session.close_window(timeout=10)[0], 0)
        finally:
            summary = flood.summary()
        first = self.check_box(first_run, plan, summary, memory.peak, memory.first)
        # The check saw every byte value that a fragment can hold (0x01-0xFF),
        # which takes dozens of fragments.
        self.assertEqual(len(first.shown_bytes), 255)
        # The new worker cleared the box: it holds only datagrams that came
        # after those of the first run.
        second = self.check_box(second_run, plan, summary)
        self.assertGreater(second.fragments[0][1], first.fragments[-1][1])

    def test_sender_of_2000_byte_datagrams_keeps_memory_bounded_run_after_run(self):
        """Half of each datagram lies past the 1000 bytes that the worker
        reads: it must be dropped, neither shown nor kept."""
        peaks, before = [], None
        for run in range(2):
            if run:
                # A new worker clears the box (a case of test_receive); the
                # second run's check fails on any fragment of the first.
                self.session.start()
            plan = traffic.Plan(seed=202 + run, sizes=2000, body=8)
            memory = MemoryWatch(self.session.program.pid)
            summary = Traffic(self.bed, plan, 100, seconds=3).finish()
            box = self.box_after("the datagrams")
            self.session.stop()
            memory.stop()
            before = memory.first if before is None else before
            match = self.check_box(box, plan, summary, memory.peak, before)
            # They show: the check had fragments to check. How many a second
            # the worker keeps up with is a figure of scripts/bench.
            self.assertGreaterEqual(len(match.fragments), 20)
            peaks.append(memory.peak)
        self.assertLessEqual(peaks[1], peaks[0] + SLACK)
