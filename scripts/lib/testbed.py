"""Two hosts on one machine for the end-to-end tests.

The operator host (192.168.0.2) runs the program under Wine; the device host
(192.168.0.10) runs the virtual device. Both are network namespaces joined by
a veth pair and created afresh for each test class, so nothing the program
sends can leave them. Wine creates sockets inside its wineserver, so each test
bed has a Wine prefix of its own whose wineserver is started inside the
operator namespace before any Wine process of that prefix runs.
"""
import json
import os
import queue
import shutil
import signal
import subprocess
import threading
import time
import unittest

import program_facts

OPERATOR_ADDRESS = "192.168.0.2"
DEVICE_ADDRESS = "192.168.0.10"

# The panel's controls that the tests, the benchmarks and the soak press and read.
FIELD_IP, FIELD_PORT, START, STOP, FIELD_MESSAGE, SEND, BOX, FIELD_CODE1, FIELD_CODE2 = (
    program_facts.CONTROLS[name] for name in ("FieldIp", "FieldPort", "ButtonStart", "ButtonStop",
                                              "FieldMessage", "ButtonSend", "BoxReceived",
                                              "FieldCode1", "FieldCode2"))
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DISSECTOR = os.path.join(ROOT, "tools", "wireshark", "q7700.lua")

# Where the program runs under emulation (scripts/lib/emulated32), every wait
# for it is this many times as long: still bounded, never a sleep.
SLOWER = float(os.environ.get("Q_TIMEOUT_SCALE", "1"))

# Set by run_e2e.py from its command line.
PATHS = {"program": None, "netfail_program": None, "driver": None, "peer": None,
         "prefix": None, "work": None, "loader": "/usr/lib/wine/wine64"}


def add_path_arguments(parser):
    """The command-line options that fill PATHS, as run_e2e.py takes them."""
    for name in ("program", "driver", "peer", "prefix", "work"):
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--netfail-program", default=None)
    parser.add_argument("--loader", default=os.environ.get("WINELOADER", "/usr/lib/wine/wine64"))


def set_paths(args):
    for name in PATHS:
        value = getattr(args, name)
        PATHS[name] = os.path.abspath(value) if value else None
    os.makedirs(PATHS["work"], exist_ok=True)


def can_make_namespaces():
    if os.geteuid() != 0 or shutil.which("ip") is None:
        return False
    probe = "q-probe-%d" % os.getpid()
    ok = subprocess.run(["ip", "netns", "add", probe], capture_output=True).returncode == 0
    subprocess.run(["ip", "netns", "del", probe], capture_output=True)
    return ok


def run(*args):
    subprocess.run(args, check=True, capture_output=True)


def prefix_contents(prefix):
    """What the scripts put into a Wine prefix (scripts/lib/common.sh), or None."""
    try:
        with open(os.path.join(prefix, "q7700-contents")) as contents:
            return contents.read()
    except OSError:
        return None


class Lines:
    """Reads a process's output lines on a thread, so tests can wait for them."""

    def __init__(self, stream):
        self.queue = queue.Queue()
        self.thread = threading.Thread(target=self._pump, args=(stream,), daemon=True)
        self.thread.start()

    def _pump(self, stream):
        for line in iter(stream.readline, b""):
            self.queue.put(line.decode("utf-8", "replace").rstrip("\r\n"))
        self.queue.put(None)

    def get(self, timeout):
        try:
            return self.queue.get(timeout=timeout)
        except queue.Empty:
            return None


class Driver:
    """The automation driver, one long-lived Wine process."""

    def __init__(self, bed):
        self.process = bed.operator_popen([PATHS["loader"], PATHS["driver"]],
                                          stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.lines = Lines(self.process.stdout)

    def call(self, *words, timeout=30):
        self.process.stdin.write((" ".join(str(w) for w in words) + "\n").encode())
        self.process.stdin.flush()
        answer = self.lines.get(timeout * SLOWER)
        if answer is None:
            raise RuntimeError("driver gave no answer to %r" % (words,))
        return answer.split(" ")

    def ok(self, *words, timeout=30):
        answer = self.call(*words, timeout=timeout)
        if answer[0] != "ok":
            raise AssertionError("driver %r: %s" % (words, " ".join(answer)))
        return answer[1:]

    @staticmethod
    def encode(text):
        return text.encode("cp1251").hex() or "-"

    @staticmethod
    def decode(hex_text):
        return "" if hex_text == "-" else bytes.fromhex(hex_text).decode("cp1251")

    def text(self, control):
        return self.decode(self.ok("text", control)[0])

    def raw_text(self, control):
        """The control's text as Windows-1251 bytes, undecoded (0x98 has no
        character in Python's table)."""
        hex_text = self.ok("text", control)[0]
        return b"" if hex_text == "-" else bytes.fromhex(hex_text)

    def set_text(self, control, text):
        self.ok("settext", control, self.encode(text))

    def state(self, control):
        visible, enabled = self.ok("state", control)
        return visible == "1", enabled == "1"

    def wait_until(self, condition, timeout=10, what="condition"):
        deadline = time.monotonic() + timeout * SLOWER
        while time.monotonic() < deadline:
            if condition():
                return
            time.sleep(0.02)
        raise AssertionError("timed out waiting for " + what)

    def close(self):
        if self.process.poll() is None:
            try:
                self.process.stdin.write(b"quit\n")
                self.process.stdin.flush()
                self.process.wait(timeout=5)
            except (BrokenPipeError, subprocess.TimeoutExpired):
                self.process.kill()


class TestBed:
    """Namespaces, the Wine prefix and the wineserver of one test class."""

    def __init__(self, tag, with_device=True):
        suffix = "%s-%d" % (tag, os.getpid())
        self.operator = "q-op-" + suffix
        self.device = "q-dev-" + suffix
        self.with_device = with_device
        self.processes = []
        self.device_processes = []
        self.prefix = os.path.join(PATHS["work"], "prefix-" + tag)
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=", WINELOADER=PATHS["loader"])

    def __enter__(self):
        self.up()
        return self

    def __exit__(self, *exc):
        self.down()

    def up(self):
        run("ip", "netns", "add", self.operator)
        run("ip", "-n", self.operator, "link", "set", "lo", "up")
        if self.with_device:
            self.add_device()
        # A copy of the build's prefix: making a new one takes far longer. A
        # copy made before the scripts changed what a prefix holds (the list
        # in q7700-contents) is made anew.
        if (not os.path.exists(os.path.join(self.prefix, "system.reg")) or
                prefix_contents(self.prefix) != prefix_contents(PATHS["prefix"])):
            shutil.rmtree(self.prefix, ignore_errors=True)
            shutil.copytree(PATHS["prefix"], self.prefix, symlinks=True)
        subprocess.run(["ip", "netns", "exec", self.operator, "wineserver", "-p"], env=self.env,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True, timeout=60)
        # Start the prefix's services now, so that they do not hold a test's output.
        subprocess.run(["ip", "netns", "exec", self.operator, PATHS["loader"], "wineboot"],
                       env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120 * SLOWER)

    def add_device(self):
        """The device host and its link to the operator host."""
        run("ip", "netns", "add", self.device)
        veth_op, veth_dev = "qo%d" % os.getpid(), "qd%d" % os.getpid()
        run("ip", "link", "add", veth_op[:15], "type", "veth", "peer", "name", veth_dev[:15])
        run("ip", "link", "set", veth_op[:15], "netns", self.operator)
        run("ip", "link", "set", veth_dev[:15], "netns", self.device)
        run("ip", "-n", self.operator, "addr", "add", OPERATOR_ADDRESS + "/24", "dev", veth_op[:15])
        run("ip", "-n", self.device, "addr", "add", DEVICE_ADDRESS + "/24", "dev", veth_dev[:15])
        run("ip", "-n", self.device, "link", "set", "lo", "up")
        run("ip", "-n", self.operator, "link", "set", veth_op[:15], "up")
        run("ip", "-n", self.device, "link", "set", veth_dev[:15], "up")

    def remove_device(self, timeout=10):
        """The device host vanishes: its processes end and its namespace is
        deleted, which takes the link with it, so the operator host has no
        route there any more. Returns once the operator's end of the link is
        gone (the kernel removes it a moment after the namespace)."""
        for process in self.device_processes:
            if process.poll() is None:
                process.kill()
                process.wait()
        subprocess.run(["ip", "netns", "del", self.device], capture_output=True)
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            links = subprocess.run(["ip", "-n", self.operator, "-o", "link", "show", "type", "veth"],
                                   capture_output=True, text=True).stdout
            if not links.strip():
                return
            time.sleep(0.02)
        raise RuntimeError("the link to the device host outlived its namespace")

    def device_present(self):
        names = subprocess.run(["ip", "netns", "list"], capture_output=True, text=True).stdout
        return any(line.split()[0] == self.device for line in names.splitlines() if line.strip())

    def down(self):
        for process in self.processes:
            if process.poll() is None:
                process.kill()
                process.wait()
        subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True, timeout=60)
        subprocess.run(["ip", "netns", "del", self.operator], capture_output=True)
        if self.with_device:
            subprocess.run(["ip", "netns", "del", self.device], capture_output=True)

    def operator_popen(self, args, env=None, **kwargs):
        kwargs.setdefault("stdin", subprocess.DEVNULL)
        kwargs.setdefault("stdout", subprocess.DEVNULL)
        kwargs.setdefault("stderr", subprocess.DEVNULL)
        process = subprocess.Popen(["ip", "netns", "exec", self.operator] + list(args),
                                   env=env or self.env, **kwargs)
        self.processes.append(process)
        return process

    def device_popen(self, args, **kwargs):
        kwargs.setdefault("stdin", subprocess.DEVNULL)
        kwargs.setdefault("stderr", subprocess.DEVNULL)
        process = subprocess.Popen(["ip", "netns", "exec", self.device] + list(args), **kwargs)
        self.processes.append(process)
        self.device_processes.append(process)
        return process

    def start_program(self, locale="en_US.UTF-8", program=None):
        env = dict(self.env, LC_ALL=locale)
        return self.operator_popen([PATHS["loader"], program or PATHS["program"]], env=env)

    def driver(self):
        driver = Driver(self)
        return driver


class Peer:
    """The virtual device in the device namespace, printing JSON lines."""

    def __init__(self, bed, *args):
        self.process = bed.device_popen([PATHS["peer"], "--json"] + [str(a) for a in args],
                                        stdout=subprocess.PIPE)
        self.lines = Lines(self.process.stdout)
        first = self.next("listening", timeout=10)
        if first is None:
            raise RuntimeError("the virtual device did not start listening")

    def next(self, event="datagram", timeout=5):
        """The next JSON object of the given event, or None after the time-out."""
        deadline = time.monotonic() + timeout * SLOWER
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            line = self.lines.get(left)
            if line is None:
                return None
            try:
                record = json.loads(line)
            except ValueError:
                continue
            if record.get("event") == event:
                return record

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


def device_send(bed, *args):
    """Sends from the device host to the program (default port 2048)."""
    process = bed.device_popen([PATHS["peer"], "--json", "--to", OPERATOR_ADDRESS] +
                               [str(a) for a in args], stdout=subprocess.PIPE)
    out, _ = process.communicate(timeout=30)
    if process.returncode != 0:
        raise RuntimeError("the virtual device could not send: %r" % out)


class Capture:
    """tshark on the device host, writing the UDP datagrams that cross its
    link to a file until stopped. It says it captures a moment before it
    does, so it counts as ready once it has seen a datagram of the device
    host's to the discard port (9), sent until it does."""

    def __init__(self, bed, path, timeout=30):
        self.path = path
        self.process = bed.device_popen(
            ["tshark", "-i", "any", "-f", "udp", "-w", path, "-P", "-l",
             "-T", "fields", "-e", "udp.dstport"], stdout=subprocess.PIPE)
        self.lines = Lines(self.process.stdout)
        self.ports = []
        deadline = time.monotonic() + timeout
        while "9" not in self.ports:
            if time.monotonic() > deadline:
                self.stop()
                raise RuntimeError("tshark captured nothing")
            device_send(bed, "--raw", "sync", "--to-port", 9)
            self.wait(lambda ports: "9" in ports, 0.2)

    def wait(self, condition, timeout):
        """Waits until condition(destination ports so far) holds; whether it did."""
        deadline = time.monotonic() + timeout
        while not condition(self.ports):
            line = self.lines.get(max(0.0, deadline - time.monotonic()))
            if line is None:
                return condition(self.ports)
            self.ports.append(line.strip())
        return True

    def wait_for(self, count, port=2048, timeout=10):
        """Waits until `count` datagrams to the port were captured."""
        return self.wait(lambda ports: ports.count(str(port)) >= count, timeout)

    def stop(self):
        """Ends the capture; the file is complete once tshark has ended."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGINT)
            self.process.wait(30)


def dissect(path, *options):
    """tshark's reading of a capture file with the frame dissector loaded."""
    return subprocess.run(["tshark", "-r", path, "-X", "lua_script:" + DISSECTOR] + list(options),
                          capture_output=True, text=True, timeout=60, check=True).stdout


class Session:
    """One run of the program with a driver attached."""

    def __init__(self, bed, locale="en_US.UTF-8", program=None):
        self.bed = bed
        self.program = bed.start_program(locale, program)
        self.driver = Driver(bed)
        self.driver.ok("find", int(30000 * SLOWER), timeout=35)

    def click(self, control):
        self.driver.ok("click", control)

    def wait_listening(self, port=2048, timeout=10):
        """Waits until the worker has its UDP server bound on the operator host."""
        self.driver.wait_until(lambda: self.listening(port), timeout,
                               "the program to listen on port %d" % port)

    def listening(self, port=2048):
        out = subprocess.run(["ip", "netns", "exec", self.bed.operator, "ss", "-Hlun",
                              "sport = :%d" % port], capture_output=True, text=True).stdout
        return out.strip() != ""

    def stop_timed(self, timeout_ms=10000):
        """Presses Stop; the milliseconds until Start showed enabled and until
        the panel answered again, timed by the driver beside the window."""
        shown, answered = self.driver.ok("click-until-shown", STOP, START, timeout_ms)
        return int(shown), int(answered)

    def wait_released(self, port=2048, timeout=10):
        """Waits until the worker has closed its server: it has ended."""
        self.driver.wait_until(lambda: not self.listening(port), timeout,
                               "the program to close port %d" % port)

    def start(self):
        """Presses Start and waits for the worker's server."""
        self.click(START)
        self.wait_state(SEND, True, True)
        self.wait_listening()

    def stop(self):
        """Presses Stop and waits for the idle panel and the worker's end."""
        self.click(STOP)
        self.wait_state(START, True, True)
        self.wait_released()

    def wait_state(self, control, visible, enabled, timeout=10):
        self.driver.wait_until(lambda: self.driver.state(control) == (visible, enabled), timeout,
                               "control %d to be %s/%s" % (control, visible, enabled))

    def wait_text(self, control, expected, timeout=10):
        """Waits until the control reads expected: a str, or bytes for its
        Windows-1251 bytes as they are."""
        read = self.driver.raw_text if isinstance(expected, bytes) else self.driver.text
        try:
            self.driver.wait_until(lambda: read(control) == expected, timeout,
                                   "control %d to read %r" % (control, expected))
        except AssertionError as error:
            raise AssertionError("%s (reads %r)" % (error, read(control))) from None

    def message_box(self, timeout=10000):
        title, text, owned, main_enabled = self.driver.ok("msgbox", timeout)
        return Driver.decode(title), Driver.decode(text), owned == "1", main_enabled == "1"

    def close_window(self, timeout=10):
        """Presses the close box and returns the exit code and the seconds it took."""
        start = time.monotonic()
        self.driver.ok("close")
        try:
            code = self.program.wait(timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("the program did not end within %d s of the close box" %
                                 timeout) from None
        return code, time.monotonic() - start

    def end(self):
        self.driver.close()
        if self.program.poll() is None:
            try:
                self.driver = Driver(self.bed)
                self.driver.ok("find", 2000)
                self.driver.call("close")
                self.program.wait(5)
            except Exception:
                pass
            finally:
                self.driver.close()
        if self.program.poll() is None:
            self.program.kill()
            self.program.wait()


def process_memory(pid):
    """Memory of a process as Linux counts it, in bytes: "private" (the pages
    that are its alone and written, the nearest to Windows' private bytes)
    and "resident". None once the process has gone."""
    try:
        with open("/proc/%d/smaps_rollup" % pid) as rollup:
            fields = dict(line.split(":", 1) for line in rollup if ":" in line)
    except OSError:
        return None

    def kib(name):
        return int(fields.get(name, "0 kB").split()[0]) * 1024

    return {"private": kib("Private_Dirty"), "resident": kib("Rss")}


class Traffic:
    """traffic.py sending to the program from the device host. Its datagrams
    are fixed by the plan. sent_before() tells which were sent before it was
    called (from the reports the sender makes five times a second); summary()
    stops it, if it still runs, and gives its final report.
    shown_text.Stream takes either."""

    SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "traffic.py")

    def __init__(self, bed, plan, rate, seconds=0, ports=1, first_index=0):
        self.plan = plan
        self.seconds = seconds
        self.first_index = first_index
        args = ["python3", self.SCRIPT, "--to", OPERATOR_ADDRESS, "--rate", rate,
                "--seconds", seconds, "--ports", ports, "--seed", plan.seed,
                "--sizes", plan.sizes, "--body", plan.body, "--first-index", first_index,
                "--progress", 0.2]
        self.process = bed.device_popen([str(a) for a in args], stdout=subprocess.PIPE)
        self._progress = {"next_index": first_index, "failed": []}
        self._reports = 0
        self._changed = threading.Condition()
        self._summary = None
        self._records = queue.Queue()
        self._ready = threading.Event()
        self._done = threading.Event()
        threading.Thread(target=self._pump, daemon=True).start()
        if not self._ready.wait(30):
            raise RuntimeError("the traffic sender did not start")

    def _pump(self):
        for line in iter(self.process.stdout.readline, b""):
            try:
                record = json.loads(line)
            except ValueError:
                continue
            event = record.get("event")
            if event == "ready":
                self._ready.set()
            elif event == "progress":
                with self._changed:
                    self._progress = record
                    self._reports += 1
                    self._changed.notify_all()
            elif event == "done":
                self._summary = record
                self._done.set()
        self._done.set()
        with self._changed:
            self._changed.notify_all()

    def running(self):
        return self.process.poll() is None

    def sent_before(self, timeout=10):
        """What had been sent when the call was made, or later: the second
        report after the call (the first may have been made before it)."""
        with self._changed:
            wanted = self._reports + 2
            if not self._changed.wait_for(
                    lambda: self._reports >= wanted or self._done.is_set(), timeout):
                raise RuntimeError("the traffic sender stopped reporting")
            if self._summary is not None:
                return self._summary
            return {"first_index": self.first_index, "next_index": self._progress["next_index"],
                    "failed": self._progress["failed"]}

    def summary(self, timeout=60):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        self._done.wait(timeout)
        self.process.wait(timeout)
        if self._summary is None:
            raise RuntimeError("the traffic sender gave no summary")
        return self._summary

    def finish(self, slack=30):
        """Waits for a sender with a time limit to end by itself, at most
        slack seconds after its time is up."""
        try:
            self.process.wait(self.seconds + slack)
        except subprocess.TimeoutExpired:
            raise AssertionError("the traffic sender did not end %d s after its %s s" %
                                 (slack, self.seconds)) from None
        return self.summary()


class MemoryWatch:
    """Samples a process's private memory on a thread, several times a
    second, until stopped: the first, the last and the peak sample."""

    def __init__(self, pid, interval=0.2):
        self.pid = pid
        self.interval = interval
        first = process_memory(pid)
        self.first = self.last = self.peak = first["private"] if first else 0
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run, daemon=True)
        self._thread.start()

    def _run(self):
        while not self._stop.wait(self.interval):
            self.sample()

    def sample(self):
        memory = process_memory(self.pid)
        if memory:
            self.last = memory["private"]
            self.peak = max(self.peak, self.last)
        return self.last

    def stop(self):
        self._stop.set()
        self._thread.join()
        self.sample()
        return self


def screenshot(path):
    """The Xvfb screen, trimmed to what is on it (the program's window)."""
    subprocess.run(["import", "-window", "root", path], capture_output=True, timeout=30)
    subprocess.run(["convert", path, "-trim", "+repage", path], capture_output=True, timeout=30)


class BedTestCase(unittest.TestCase):
    """A test class with a test bed of its own, made before its first test and
    taken down after its last (also when making it failed half way). Where
    namespaces cannot be made the class fails: a run that could not test the
    program must not pass. Subclasses name the bed."""
    bed_tag = None      # names the namespaces and the Wine prefix copy
    with_device = True  # whether the device host is there

    @classmethod
    def setUpClass(cls):
        if not can_make_namespaces():
            raise RuntimeError("needs root to create network namespaces: the end-to-end tests "
                               "cannot run here")
        cls.bed = TestBed(cls.bed_tag or cls.__name__.lower(), with_device=cls.with_device)
        cls.addClassCleanup(cls.bed.down)
        cls.bed.up()

    def open_session(self, start=False, **kwargs):
        """Starts the program with a driver for this test, and with start its
        worker too; ended after the test."""
        self.session = Session(self.bed, **kwargs)
        self.driver = self.session.driver
        self.addCleanup(self.session.end)
        if start:
            self.session.start()
        return self.session

    def start_peer(self, *args):
        """The virtual device listening with these options; stopped after the test."""
        peer = Peer(self.bed, *args)
        self.addCleanup(peer.stop)
        return peer
