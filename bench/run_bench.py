"""Benchmarks of the program under Wine in the two-host test bed.

run_bench.py --program EXE --shipped EXE --started EXE --driver EXE --minimal EXE --reference EXE
             --pause-bench EXE
             --prefix WINEPREFIX --work DIR --json FILE [--loader WINE] [--quick]
             [--only=send|long|unbroken|startup]

Prints one table, each figure beside its goal, and writes the same as JSON.
The program runs at 192.168.0.2 in a namespace of its own, the device side
(bench/device.py) at 192.168.0.10; the automation driver
(tools/driver) watches and presses the program's controls from
beside it. Memory and CPU time are
read from Linux: under Wine each Windows process is one Linux process.
Start-up, memory and idle CPU are set beside those of the tool an operator
would otherwise pick (peer.py), measured the same way in the same run.
"""
import argparse
import json
import os
import platform
import random
import statistics
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
import peer as peer_module
import testbed  # from scripts/lib, which scripts/bench puts on PYTHONPATH
from testbed import BOX, SEND, START, STOP
from start_up import StartUp
from window_watch import WindowWatch

PAYLOAD = 100  # bytes per datagram: each adds exactly this many characters to the box
TICK = os.sysconf("SC_CLK_TCK")


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(fraction * len(ordered)))]


def find_pid(marker, prefix=None):
    """The Linux process whose command line holds marker (and, when given,
    whose environment names this Wine prefix)."""
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                command = f.read().replace(b"\0", b" ")
            if marker.encode() not in command:
                continue
            if prefix:
                with open("/proc/%s/environ" % entry, "rb") as f:
                    if ("WINEPREFIX=" + prefix).encode() not in f.read().split(b"\0"):
                        continue
            return int(entry)
        except OSError:
            continue
    return None


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK  # utime + stime


def status_megabytes(pid, field):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1]) / 1024.0
    return 0.0


def private_megabytes(pid):
    """Resident anonymous memory: what the process has written for itself
    (Linux's nearest figure to the private bytes of Windows)."""
    return status_megabytes(pid, "RssAnon")


def resident_megabytes(pid):
    """All resident memory, shared libraries' pages included."""
    return status_megabytes(pid, "VmRSS")


class Report:
    """The JSON line that a device sender prints when it has sent everything."""

    def __init__(self, process):
        self.process = process
        self.output = {}
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        self.output["text"] = self.process.communicate()[0]

    def running(self):
        return self.thread.is_alive()

    def result(self, timeout):
        self.thread.join(timeout)
        if self.thread.is_alive():
            raise RuntimeError("the device sender did not finish")
        return json.loads(self.output["text"])


class Bench:
    def __init__(self, args):
        self.args = args
        self.scale = 0.1 if args.quick else 1.0
        self.figures = []
        self.profile = None
        self.bed = testbed.TestBed("bench")
        self.peer = peer_module.PacketSender(self.bed, args.work)
        self.watch, self.watch_problem = None, None
        try:
            self.watch = WindowWatch()
        except (OSError, RuntimeError) as error:
            self.watch_problem = str(error)

    def scaled(self, value, least=1):
        return max(least, int(value * self.scale))

    def record(self, name, value, goal, met, note=""):
        self.figures.append({"figure": name, "value": value, "goal": goal,
                             "met": met, "note": note})
        mark = "" if met is None else ("yes" if met else "NO")
        print("  %-44s %-26s %-30s %s" % (name, value, goal, mark), flush=True)

    # --- processes -----------------------------------------------------------

    def new_driver(self):
        return testbed.Driver(self.bed)

    def start_program(self):
        self.program = self.bed.start_program()
        self.driver = self.new_driver()
        self.driver.ok("find", 30000, timeout=40)
        self.pid = None
        deadline = time.monotonic() + 10
        while self.pid is None and time.monotonic() < deadline:
            self.pid = find_pid(os.path.abspath(self.args.program), self.bed.prefix)
            time.sleep(0.05)
        if self.pid is None:
            raise RuntimeError("the program's process was not found")

    def end_program(self):
        try:
            self.driver.ok("close")
            self.program.wait(5)
        finally:
            self.driver.close()
            if self.program.poll() is None:
                self.program.kill()
                self.program.wait()

    def device(self, *words):
        return self.bed.device_popen(["python3", os.path.join(HERE, "device.py")] +
                                     [str(w) for w in words], stdout=subprocess.PIPE)

    def send_from_device(self, rate, count):
        """Starts the device sending; the returned thread's result() waits for
        the sender's report (read as it comes, so the pipe never fills)."""
        sender = self.device("send", testbed.OPERATOR_ADDRESS, 2048, rate, count, PAYLOAD)
        return Report(sender)

    def press_start(self):
        self.driver.ok("click", START)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            out = subprocess.run(["ip", "netns", "exec", self.bed.operator, "ss", "-Hlun",
                                  "sport = :2048"], capture_output=True, text=True).stdout
            if out.strip():
                return
            time.sleep(0.02)
        raise RuntimeError("the program did not start listening")

    def worker_costs(self):
        """The worker's own time per datagram (ms) in the cycles since the
        last call: count, p50, p99, longest, mean."""
        count, p50, p99, most, mean = (int(w) for w in self.driver.ok("worker"))
        return count, p50 / 1000.0, p99 / 1000.0, most / 1000.0, mean / 1000.0

    def box_length(self):
        return int(self.driver.ok("length")[0])

    def wait_box(self, expected, quiet_seconds=1.0, limit=120):
        """Waits until the box holds expected characters, or stops growing."""
        last, since = -1, time.monotonic()
        deadline = time.monotonic() + limit
        while time.monotonic() < deadline:
            length = self.box_length()
            if length >= expected:
                return length
            if length != last:
                last, since = length, time.monotonic()
            elif time.monotonic() - since > quiet_seconds:
                return length
            time.sleep(0.1)
        return self.box_length()

    # --- figures ---------------------------------------------------------------

    def footprint_and_idle(self):
        size = os.path.getsize(self.args.shipped)
        self.record("exe size (32-bit q7700-demo.exe)", "%d KB" % (size // 1024),
                    "<= 300 KB", size <= 300 * 1024)
        # The peer idles beside the program, started the same way.
        peer = None
        if self.peer.problem is None and self.watch:
            peer, _ = self.peer.launch(self.watch)
            if self.peer.problem:
                peer = None
        try:
            self.idle_beside(peer)
        finally:
            if peer:
                peer_module.stop(peer)

    def idle_beside(self, peer):
        time.sleep(2)
        self.private_at_start = private_megabytes(self.pid)
        resident = resident_megabytes(self.pid)
        name = peer_module.NAME
        if peer:
            peer_private, peer_resident = private_megabytes(peer.pid), resident_megabytes(peer.pid)
            self.record("private memory after start-up", "%.1f MB vs %s %.1f MB: %.2f" % (
                self.private_at_start, name, peer_private, self.private_at_start / peer_private),
                "ratio <= 0.5", self.private_at_start <= 0.5 * peer_private,
                "Linux RssAnon, 2 s after the window was shown")
            self.record("resident memory after start-up", "%.1f MB vs %s %.1f MB: %.2f" % (
                resident, name, peer_resident, resident / peer_resident), "(reported)", None,
                "Linux VmRSS, shared libraries' pages included")
        else:
            why = self.peer.problem or "not measured: " + str(self.watch_problem)
            self.record("private memory after start-up", "%.1f MB (%s %s)" % (
                self.private_at_start, name, why), "(reported)", None,
                "Linux RssAnon of the Wine process")
            self.record("resident memory after start-up", "%.1f MB" % resident, "(reported)",
                        None, "Linux VmRSS, shared libraries' pages included")

        server = find_pid("wineserver", self.bed.prefix)
        seconds = self.scaled(30, 3)
        for state in ("idle",) if self.args.only == "startup" else ("idle", "running"):
            if state == "running":
                self.press_start()
                time.sleep(1)
            cpu0, server0, t0 = cpu_seconds(self.pid), server and cpu_seconds(server), time.monotonic()
            peer0 = cpu_seconds(peer.pid) if peer and state == "idle" else None
            time.sleep(seconds)
            elapsed = time.monotonic() - t0
            share = 100 * (cpu_seconds(self.pid) - cpu0) / elapsed
            server_share = 100 * (cpu_seconds(server) - server0) / elapsed if server else 0
            if state == "running":
                self.idle_running_cpu = share / 100
            self.record("CPU, panel %s, no traffic, %d s" % (state, seconds),
                        "%.2f %% (wineserver %.2f %%)" % (share, server_share),
                        "<= 1 % of one core", share <= 1.0)
            if peer0 is not None:
                peer_share = 100 * (cpu_seconds(peer.pid) - peer0) / elapsed
                self.record("CPU idle, %d s, vs %s" % (seconds, name),
                            "%.2f %% vs %.2f %%" % (share, peer_share), "<= the peer's",
                            share <= peer_share,
                            "side by side, each process's own time; the prefix's wineserver "
                            "(all its Wine processes) used %.2f %%" % server_share)

    def receive_latency(self):
        count = self.scaled(2000, 100)
        before = self.box_length()
        answer = {}
        watcher = threading.Thread(target=lambda: answer.update(
            seen=self.driver.ok("watch", PAYLOAD, count + before // PAYLOAD,
                                int(count / 20 * 1000 + 10000), timeout=count / 20 + 60)))
        watcher.start()
        sent = self.send_from_device(20, count).result(count / 20 + 60)
        watcher.join()
        polls, poll_us = int(answer["seen"][0]), int(answer["seen"][1])
        seen = [int(t) for t in answer["seen"][2:]][before // PAYLOAD:]
        latencies = [(s - t) / 1000.0 for s, t in zip(seen, sent["times"])]
        p50, p99 = percentile(latencies, 0.5), percentile(latencies, 0.99)
        self.record("receive latency p50 / p99 (%d at 20/s)" % count,
                    "%.1f / %.1f ms" % (p50, p99), "p50 <= 8 ms, p99 <= 15 ms",
                    p50 <= 8 and p99 <= 15 and len(seen) == count,
                    "%d of %d seen; box length polled every ~1 ms from another process "
                    "with WM_GETTEXTLENGTH, %d polls, median poll %d us" %
                    (len(seen), count, polls, poll_us))

    def send_latency(self):
        presses = self.scaled(500, 50)
        receiver = self.device("receive", 2048)
        lines = testbed.Lines(receiver.stdout)
        if lines.get(10) != "listening":
            raise RuntimeError("the device receiver did not start")
        latencies, lost = [], 0
        for _ in range(presses):
            # At a random moment, as an operator presses: a press made as soon
            # as the last frame arrived would always find the worker at the
            # same point of its 10 ms cycle.
            time.sleep(random.uniform(0.015, 0.04))
            pressed = int(self.driver.ok("click", SEND)[0])
            line = lines.get(2)
            if line is None:
                lost += 1
                continue
            latencies.append((int(line.split()[0]) - pressed) / 1000.0)
        receiver.kill()
        receiver.wait()
        p50, p99 = percentile(latencies, 0.5), percentile(latencies, 0.99)
        self.record("send latency p50 / p99 (%d presses)" % presses,
                    "%.1f / %.1f ms" % (p50, p99), "p50 <= 8 ms, p99 <= 15 ms",
                    p50 <= 8 and p99 <= 15 and lost == 0,
                    "from the button's click posted to the frame at the device; %d lost" % lost)

    def sustained(self):
        seconds = self.scaled(60, 6)
        for rate in (50, 90, 100, 200):
            count = int(rate * seconds)
            before = self.box_length()
            if rate == 90:
                self.worker_costs()  # from here on
            sender = self.send_from_device(rate, count)
            if rate == 200:
                # Stop while the datagrams still pour in.
                time.sleep(seconds * 0.9)
                taken = float(self.driver.ok("click-until-shown", STOP, START, 5000)[1])
                sender.result(seconds + 30)
                self.record("Stop at 200/s", "%.0f ms" % taken, "<= 1100 ms", taken <= 1100)
                continue
            sender.result(seconds + 30)
            after = self.wait_box(before + count * PAYLOAD)
            shown = (after - before) // PAYLOAD
            goal = "none lost" if rate in (50, 90) else "(reported)"
            self.record("sustained receive %d/s, %d s" % (rate, seconds),
                        "%d of %d shown" % (shown, count), goal,
                        shown == count if rate in (50, 90) else None)
            if rate == 90:
                handled, p50, p99, most, mean = self.worker_costs()
                # The worker hands each payload over without waiting for the box.
                self.record("worker's own time per datagram, p50 / p99", "%.2f / %.2f ms" % (
                    p50, p99), "p99 <= 0.5 ms", p99 <= 0.5,
                    "cycle with a datagram less its pause, %d cycles at 90/s, mean %.2f ms, "
                    "longest %.1f ms" % (handled, mean, most))

    def long_run(self):
        target = 4 * 1024 * 1024 if not self.args.quick else 400 * 1024
        count = -(-target // PAYLOAD)
        if self.args.only == "long":  # what the other figures would have measured first
            time.sleep(2)
            self.private_at_start = private_megabytes(self.pid)
        self.press_start()
        if self.args.only == "long":
            time.sleep(1)
            cpu0, t0 = cpu_seconds(self.pid), time.monotonic()
            time.sleep(self.scaled(10, 3))
            self.idle_running_cpu = (cpu_seconds(self.pid) - cpu0) / (time.monotonic() - t0)
        window = self.scaled(30, 5)
        sender = self.send_from_device(90, count)
        samples = []  # (seconds, program CPU seconds, box length)

        def sample():
            samples.append((time.monotonic(), cpu_seconds(self.pid), self.box_length()))

        started = time.monotonic()
        self.worker_costs()
        worker = {}
        answers = AnswerTimes(self, target // 4)
        while sender.running():
            sample()
            answers.poll(samples[-1][2])
            elapsed = time.monotonic() - started
            if "empty" not in worker and elapsed >= window:
                worker["empty"] = self.worker_costs()
            if "skipped" not in worker and elapsed >= count / 90 - window:
                worker["skipped"] = self.worker_costs()
            time.sleep(1)
        sent = sender.result(10)
        final = self.wait_box(count * PAYLOAD, quiet_seconds=2)
        sample()

        def cost(first, last):
            (t0, c0, b0), (t1, c1, b1) = first, last
            handled = (b1 - b0) / PAYLOAD
            busy = (c1 - c0) - self.idle_running_cpu * (t1 - t0)
            return 1000 * busy / handled if handled else float("nan")

        head = [s for s in samples if s[0] - started <= window]
        tail = [s for s in samples if s[2] >= final - 90 * window * PAYLOAD]
        empty, full = cost(head[0], head[-1]), cost(tail[0], tail[-1])
        self.record("long run: CPU per datagram, box empty / %.1f MB" % (final / 2**20),
                    "%.2f / %.2f ms: %.2f" % (empty, full, full / empty), "ratio <= 1.3",
                    full <= 1.3 * empty,
                    "program CPU time less its idle polling, over the first and last %d s" % window)
        if "empty" in worker:
            full_worker = self.worker_costs()
            self.record("long run: worker per datagram, empty / full",
                        "%.2f / %.2f ms" % (worker["empty"][1], full_worker[1]), "(reported)",
                        None, "p50 of the worker's own time per datagram, first and last %d s" %
                        window)
        answers.report()
        shown = final // PAYLOAD
        self.record("long run: datagrams shown", "%d of %d" % (shown, sent["sent"]),
                    "none lost", shown == sent["sent"],
                    "%d s at 90/s" % (time.monotonic() - started))
        private = private_megabytes(self.pid)
        own_text = self.box_own_megabytes(final // PAYLOAD)
        above = private - self.private_at_start - own_text
        self.record("private bytes after the long run", "%.1f MB (+%.1f MB)" %
                    (private, private - self.private_at_start),
                    "<= 4 MB above the box's text", above <= 4,
                    "growth since start-up less the %.1f MB that a bare rich-text box takes for "
                    "the same text: %.1f MB" % (own_text, above))

    def unbroken_run(self):
        """Payloads without a line break: the box is one growing paragraph.
        Every payload's time from its sending to its insertion, and the
        worker's time per datagram while the box holds its first 16 KB against
        the 16 KB before it holds 256 KB."""
        target = 256 * 1024 if not self.args.quick else 64 * 1024
        count = -(-target // PAYLOAD)
        self.press_start()
        before = self.box_length()
        self.worker_costs()
        answer = {}
        watcher_driver = self.new_driver()
        watcher_driver.ok("find", 30000, timeout=40)
        watcher = threading.Thread(target=lambda: answer.update(
            seen=watcher_driver.ok("watch", PAYLOAD, count + before // PAYLOAD,
                                   int(count / 20 * 1000 + 60000), timeout=count / 20 + 120)))
        watcher.start()
        sender = self.device("send", testbed.OPERATOR_ADDRESS, 2048, 20, count, PAYLOAD,
                             "unbroken")
        report = Report(sender)
        marks = [16 * 1024, target - 16 * 1024, target]
        costs = []
        while marks and watcher.is_alive():
            if self.box_length() >= marks[0]:
                costs.append(self.worker_costs())
                marks.pop(0)
                continue
            time.sleep(0.2)
        watcher.join()
        watcher_driver.close()
        if marks:
            costs.append(self.worker_costs())  # it stopped short of the target
        sent = report.result(60)
        seen = [int(t) for t in answer["seen"][2:]][before // PAYLOAD:]
        delays = [(s - t) / 1000.0 for s, t in zip(seen, sent["times"])]
        p50, most = percentile(delays, 0.5), max(delays) if delays else float("nan")
        self.record("one paragraph to %d KB at 20/s: arrival to shown, p50 / max" %
                    (target // 1024), "%.1f / %.1f ms" % (p50, most), "none lost, max <= 1 s",
                    len(seen) == count and most <= 1000,
                    "%d of %d shown; from the device's send to the box's length seen by "
                    "another process" % (len(seen), count))
        empty, full = costs[0], costs[-1]
        final = self.box_length()
        self.record("one paragraph: worker per datagram, 16 KB / %d KB" % (final // 1024),
                    "%.2f / %.2f ms" % (empty[1], full[1]), "(reported)", None,
                    "p50 of the worker's own time per datagram; payloads without line breaks "
                    "at 20/s; ratio %.1f" % (full[1] / empty[1] if empty[1] else float("nan")))

    def box_own_megabytes(self, lines):
        """The memory a bare rich-text box takes for the given lines."""
        reference = self.bed.operator_popen([testbed.PATHS["loader"], self.args.reference],
                                            stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        out = testbed.Lines(reference.stdout)
        try:
            if out.get(30) != "ready":
                raise RuntimeError("the reference box did not start")
            pid = find_pid(os.path.abspath(self.args.reference), self.bed.prefix)
            if pid is None:
                raise RuntimeError("the reference box's process was not found")
            before = private_megabytes(pid)
            reference.stdin.write(b"fill %d %d\n" % (lines, PAYLOAD))
            reference.stdin.flush()
            if out.get(600) != "filled":
                raise RuntimeError("the reference box was not filled")
            return private_megabytes(pid) - before
        finally:
            reference.kill()
            reference.wait()

    def start_up(self):
        if not self.watch:
            self.record("start-up to window shown", "not measured", "ratio <= 1.3", None,
                        "no X window watch: %s" % self.watch_problem)
            return
        start_up = StartUp(self, self.watch)
        start_up.compare(self.peer)
        start_up.profile()

    def pause(self):
        out = subprocess.run(["ip", "netns", "exec", self.bed.operator, testbed.PATHS["loader"],
                              self.args.pause_bench, "1000"], env=self.bed.env,
                             capture_output=True, text=True, timeout=120).stdout
        line = next(l for l in out.splitlines() if l.startswith("PauseMs(10)"))
        words = line.split()
        median = float(words[words.index("median") + 1])
        p99 = float(words[words.index("p99") + 1])
        self.record("PauseMs(10), 1000 calls: median / p99", "%.2f / %.2f ms" % (median, p99),
                    "10.0-10.5 ms, p99 <= 11 ms", 10.0 <= median <= 10.5 and p99 <= 11)

    def run(self):
        print("Benchmarks of %s on %s (%s, %d cores), under %s%s" % (
            os.path.basename(self.args.program), platform.node(), cpu_model(), os.cpu_count(),
            wine_version(), ", quick" if self.args.quick else ""))
        print("  %-44s %-26s %-30s %s" % ("figure", "value", "goal", "met"))
        self.bed.up()
        try:
            if self.args.only == "send":
                self.start_program()
                try:
                    self.press_start()
                    self.send_latency()
                finally:
                    self.end_program()
            elif self.args.only == "startup":
                self.start_up()
                self.start_program()
                try:
                    self.footprint_and_idle()
                finally:
                    self.end_program()
            elif self.args.only is None:
                self.pause()
                self.start_up()
                self.start_program()
                try:
                    self.footprint_and_idle()
                    self.receive_latency()
                    self.send_latency()
                    self.sustained()
                finally:
                    self.end_program()
            if self.args.only in (None, "long"):
                self.start_program()
                try:
                    self.long_run()
                finally:
                    self.end_program()
            if self.args.only in (None, "unbroken"):
                self.start_program()
                try:
                    self.unbroken_run()
                finally:
                    self.end_program()
        finally:
            self.bed.down()
        with open(self.args.json, "w") as f:
            json.dump({"machine": {"host": platform.node(), "cpu": cpu_model(),
                                   "cores": os.cpu_count(), "wine": wine_version(),
                                   "program": self.args.program, "quick": self.args.quick},
                       "figures": self.figures, "start_up_profile": self.profile}, f, indent=2)
        missed = [f["figure"] for f in self.figures if f["met"] is False]
        print("written: %s; %s" % (self.args.json, "every goal met" if not missed else
                                   "missed: " + "; ".join(missed)))
        return 0 if not missed else 1


class AnswerTimes:
    """The panel's answer time while the long run streams in: once the box
    holds `at` characters, a second driver sends the main window messages one
    after another and times each until it is answered."""

    COUNT, GAP_MS = 1000, 10

    def __init__(self, bench, at):
        self.bench, self.at = bench, at
        self.thread, self.answer = None, {}

    def poll(self, box_length):
        if self.thread or box_length < self.at:
            return
        self.start_length = box_length

        def measure():
            driver = self.bench.new_driver()
            try:
                driver.ok("find", 30000, timeout=40)
                self.answer["times"] = driver.ok("answers", self.COUNT, self.GAP_MS, timeout=300)
            finally:
                driver.close()

        self.thread = threading.Thread(target=measure, daemon=True)
        self.thread.start()

    def report(self):
        if not self.thread:
            self.bench.record("panel answer time at 90/s", "not measured", "p99 <= 100 ms",
                              False, "the box never held %d characters" % self.at)
            return
        self.thread.join(300)
        count, p50, p99, most = (int(w) for w in self.answer.get("times", (0, 0, 0, 0)))
        self.bench.record("panel answer time at 90/s, box %.1f MB: p50 / p99" % (
            self.start_length / 2**20), "%.1f / %.1f ms" % (p50 / 1000, p99 / 1000),
            "p99 <= 100 ms", count == self.COUNT and p99 <= 100000,
            "%d messages sent to the main window %d ms apart, each timed until answered; "
            "longest %.1f ms" % (count, self.GAP_MS, most / 1000))


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def cpu_model():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.machine()


def wine_version():
    out = subprocess.run([testbed.PATHS["loader"], "--version"], capture_output=True, text=True)
    return "Wine " + out.stdout.strip().replace("wine-", "")


def main():
    parser = argparse.ArgumentParser()
    for name in ("program", "shipped", "started", "driver", "minimal", "reference", "pause-bench",
                 "prefix", "work", "json"):
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--loader", default="/usr/lib/wine/wine")
    parser.add_argument("--quick", action="store_true", help="a tenth of every count and time")
    parser.add_argument("--only", choices=("send", "long", "unbroken", "startup"),
                        help="the send latency, the long run, the one-paragraph run, or the "
                        "start-up figures, profile, memory and idle CPU beside the peer alone")
    args = parser.parse_args()
    testbed.PATHS.update(program=os.path.abspath(args.program), prefix=os.path.abspath(args.prefix),
                         work=os.path.abspath(args.work), loader=args.loader,
                         driver=os.path.abspath(args.driver))
    os.makedirs(testbed.PATHS["work"], exist_ok=True)
    if not testbed.can_make_namespaces():
        sys.exit("the benchmarks need root to make network namespaces")
    sys.exit(Bench(args).run())


if __name__ == "__main__":
    main()
