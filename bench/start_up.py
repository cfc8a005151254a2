"""Start-up figures: how long until a program's window is shown, and where
the program's own start-up goes.

Every program is started the same way, from Linux inside the operator
namespace, and timed by the X server (window_watch): until its top-level
window is mapped, drawn and settled. The program and the minimal Win32
window program under the same Wine are launched in turn, so that a
disturbance of the machine hits both, and then the peer (peer.py).

The profile launches the bench build, which notes a timing mark after each
start-up step (runtime/timing_marks.h), with Wine's loader trace on
(+loaddll with timestamps: a few lines per launch), and lays the marks, the
libraries' load times and the X server's view of the window on one line:
the marks count on Wine's performance counter and the trace on its tick
count, both CLOCK_MONOTONIC_RAW, the clock of the launch.
"""
import os
import re
import statistics
import subprocess
import time

import peer as peer_module
from window_watch import launch_clock

# The steps, each named by the mark that ends it, in the order of start-up.
# "wine:" marks come from the loader trace, "shown" from the X server.
STEPS = [
    ("wine:image", "Wine: process, loader, the program's image mapped"),
    ("wine:imports", "Wine: its system libraries mapped (its imports)"),
    ("image", "Wine: the libraries' start-up (display driver, theme)"),
    ("entry", "C runtime start up to WinMain"),
    ("heap", "application words, program heap"),
    ("memory", "memory heap"),
    ("features", "system-feature probe (msimg32, controls version, theme)"),
    ("postevent", "post-event window (the process's first window)"),
    ("windows", "windows: registry, icon, cursor"),
    ("gadgets", "gadgets: registry, font, common-control classes"),
    ("requester", "requester: common-control classes, COM"),
    ("threads", "threads"),
    ("network", "sockets layer (WSAStartup, ws2_32 resolver)"),
    ("window", "main window opened and shown"),
    ("controls", "13 controls: labels, fields, buttons"),
    ("panel", "rich-text box: library, box, flush (first paint)"),
    ("topmost", "always on top"),
    ("shown", "event loop until the window is settled"),
]

TRACE_LINE = re.compile(r'^(\d+\.\d+):[0-9a-f]+:trace:loaddll:build_module Loaded L"([^"]+)"')


def median_or_none(values):
    values = [v for v in values if v is not None]
    return statistics.median(values) if values else None


class StartUp:
    def __init__(self, bench, watch):
        self.bench = bench
        self.bed = bench.bed
        self.args = bench.args
        self.watch = watch

    def wine_argv(self, exe):
        return ["ip", "netns", "exec", self.bed.operator, self.args.loader, exe]

    def wine_env(self, debug="-all"):
        return dict(self.bed.env, LC_ALL="en_US.UTF-8", WINEDEBUG=debug)

    def launch_wine(self, exe, debug="-all", stderr=subprocess.DEVNULL):
        return self.watch.launch(self.wine_argv(exe), env=self.wine_env(debug),
                                 stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                 stderr=stderr)

    # --- launch until shown, side by side --------------------------------------

    def compare(self, peer):
        """Median launch-to-shown times of the program and the minimal window
        program, launched in turn, then of the peer; one launch of each
        first, not counted, so that all three start warm."""
        runs = self.bench.scaled(10, 3)
        times = {"program": [], "minimal": [], "peer": []}
        # The peer's launches come after all of Wine's: the first Wine process
        # started after the peer has ended pays about 180 ms more, whichever
        # program it is (seen with both in either order).
        for run in range(runs + 1):
            for name, exe in (("program", self.args.started), ("minimal", self.args.minimal)):
                process, shown = self.launch_wine(exe)
                self.stop_and_settle(process)
                if run:
                    times[name].append(shown.settled)
        for run in range(runs + 1):
            if peer.problem is not None:
                break
            process, shown = peer.launch(self.watch)
            self.stop_and_settle(process)
            if run and shown.settled is not None:
                times["peer"].append(shown.settled)
        program, minimal = median_or_none(times["program"]), median_or_none(times["minimal"])
        if program is None or minimal is None:
            raise RuntimeError("the program or the minimal window program showed no window")
        note = "launch from Linux to the top-level window mapped, drawn and settled (X server)"
        self.bench.record("start-up to window shown, median of %d" % runs,
                          "%.0f ms vs minimal %.0f ms: %.2f" % (program, minimal, program / minimal),
                          "ratio <= 1.3", program / minimal <= 1.3,
                          note + "; minimal Win32 window program under the same Wine")
        figure = "start-up vs %s, median of %d" % (peer_module.NAME, runs)
        ps = median_or_none(times["peer"])
        if ps is None:
            self.bench.record(figure, "%s %s" % (peer_module.NAME, peer.problem),
                              "<= the peer's", None, "the rest of the bench runs without it")
        else:
            self.bench.record(figure, "%.0f ms vs %.0f ms: %.2f" % (program, ps, program / ps),
                              "ratio <= 1.0", program <= ps, note)
        return program, minimal, ps

    @staticmethod
    def stop_and_settle(process):
        """Ends a launch and gives the X server and the wineserver a moment
        to tidy up after it, so that the next launch does not pay for it."""
        peer_module.stop(process)
        time.sleep(0.5)

    # --- where the start-up goes --------------------------------------------------

    def profile(self):
        """The bench build's start-up, step by step: median of each step's
        share over the launches, and the median time at its end."""
        runs = self.bench.scaled(10, 3)
        driver = self.bench.new_driver()
        launches = []
        try:
            for run in range(runs + 1):
                trace_path = os.path.join(self.args.work, "start-up-trace.txt")
                with open(trace_path, "wb") as trace:
                    process, shown = self.launch_wine(self.args.program, "+loaddll,+timestamp",
                                                      trace)
                try:
                    if shown.settled is None:
                        raise RuntimeError("the bench build showed no window")
                    driver.ok("find", 10000)
                    marks = driver.ok("marks")
                finally:
                    self.stop_and_settle(process)
                with open(trace_path, errors="replace") as trace:
                    times = self.timeline(shown, marks, trace.read().splitlines())
                if run:
                    launches.append(times)
        finally:
            driver.close()
        rows, previous = [], 0.0
        print("  start-up profile of %s, median of %d launches (ms from the launch):" % (
            os.path.basename(self.args.program), runs), flush=True)
        print("    %-62s %7s %7s" % ("step", "share", "at"), flush=True)
        for tag, what in STEPS:
            ends = [t.get(tag) for t in launches]
            shares = []
            for times in launches:
                start = max((v for k, v in times.items() if k in self.before(tag)), default=0.0)
                if tag in times:
                    shares.append(times[tag] - start)
            at, share = median_or_none(ends), median_or_none(shares)
            if at is None:
                continue
            rows.append({"step": what, "mark": tag, "share_ms": round(share, 1),
                         "at_ms": round(at, 1)})
            print("    %-62s %7.1f %7.1f" % (what, share, at), flush=True)
            previous = at
        self.bench.profile = rows
        return previous

    @staticmethod
    def before(tag):
        tags = [t for t, _ in STEPS]
        return set(tags[:tags.index(tag)])

    @staticmethod
    def timeline(shown, marks, trace):
        """ms from the launch of each mark, of the trace's two loader points
        and of the window shown."""
        frequency = int(marks[0])
        times = {}
        for word in marks[2:]:
            tag, counter = word.split("=")
            times.setdefault(tag, int(counter) * 1000.0 / frequency - shown.launched)
        loads = []
        for line in trace:
            match = TRACE_LINE.match(line)
            if match:
                loads.append((float(match.group(1)) * 1000.0 - shown.launched,
                              match.group(2).rsplit("\\", 1)[-1].lower()))
        # The program's image first, then its imports; the display driver is
        # no import: it comes with the first use of the screen, in a
        # library's start-up or later.
        image = times.get("image", float("inf"))
        if loads and loads[0][1].endswith(".exe"):
            times["wine:image"] = loads[0][0]
            driver = next((at for at, name in loads if name == "winex11.drv"), image)
            mapped = [at for at, _ in loads[1:] if at < min(image, driver)]
            if mapped:
                times["wine:imports"] = max(mapped)
        times["shown"] = shown.settled
        return times
