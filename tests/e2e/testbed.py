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

OPERATOR_ADDRESS = "192.168.0.2"
DEVICE_ADDRESS = "192.168.0.10"

# Set by run_e2e.py from its command line.
PATHS = {"program": None, "driver": None, "peer": None, "prefix": None, "work": None,
         "loader": "/usr/lib/wine/wine64"}


def can_make_namespaces():
    if os.geteuid() != 0 or shutil.which("ip") is None:
        return False
    probe = "q-probe-%d" % os.getpid()
    ok = subprocess.run(["ip", "netns", "add", probe], capture_output=True).returncode == 0
    subprocess.run(["ip", "netns", "del", probe], capture_output=True)
    return ok


def skip_unless_namespaces(cls):
    if not can_make_namespaces():
        return unittest.skip("needs root to create network namespaces; the end-to-end "
                             "tests were not run")(cls)
    return cls


def run(*args):
    subprocess.run(args, check=True, capture_output=True)


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
        answer = self.lines.get(timeout)
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

    def set_text(self, control, text):
        self.ok("settext", control, self.encode(text))

    def state(self, control):
        visible, enabled = self.ok("state", control)
        return visible == "1", enabled == "1"

    def wait_until(self, condition, timeout=10, what="condition"):
        deadline = time.monotonic() + timeout
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
        # A copy of the build's prefix: making a new one takes far longer.
        if not os.path.exists(os.path.join(self.prefix, "system.reg")):
            shutil.rmtree(self.prefix, ignore_errors=True)
            shutil.copytree(PATHS["prefix"], self.prefix, symlinks=True)
        subprocess.run(["ip", "netns", "exec", self.operator, "wineserver", "-p"], env=self.env,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True)
        # Start the prefix's services now, so that they do not hold a test's output.
        subprocess.run(["ip", "netns", "exec", self.operator, PATHS["loader"], "wineboot"],
                       env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120)

    def down(self):
        for process in self.processes:
            if process.poll() is None:
                process.kill()
                process.wait()
        subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True)
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
        return process

    def start_program(self, locale="en_US.UTF-8"):
        env = dict(self.env, LC_ALL=locale)
        return self.operator_popen([PATHS["loader"], PATHS["program"]], env=env)

    def driver(self):
        driver = Driver(self)
        return driver
