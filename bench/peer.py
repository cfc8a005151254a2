"""The tool an operator would otherwise pick, measured beside the program.

On Linux that is Packet Sender (Debian package packetsender), a Qt program.
Only its GUI is started, in the test bed's operator namespace and with a
home folder of its own, so its settings start the same in every run; the
bench never presses anything in it, so it sends nothing (it only listens on
its default ports, inside the namespace).
"""
import os
import shutil
import subprocess

NAME = "Packet Sender"


class PacketSender:
    def __init__(self, bed, work):
        self.bed = bed
        self.path = shutil.which("packetsender")
        self.home = os.path.join(work, "packetsender-home")
        # Why its figures are missing, or None while it can be measured.
        self.problem = None if self.path else "not installed (Debian package packetsender)"

    def argv(self):
        return ["ip", "netns", "exec", self.bed.operator, self.path]

    def env(self):
        os.makedirs(self.home, exist_ok=True)
        env = dict(os.environ, HOME=self.home, XDG_CONFIG_HOME=os.path.join(self.home, ".config"),
                   XDG_DATA_HOME=os.path.join(self.home, ".local", "share"),
                   XDG_CACHE_HOME=os.path.join(self.home, ".cache"), QT_QPA_PLATFORM="xcb")
        env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        return env

    def launch(self, watch):
        """Starts its GUI and waits until its window is shown; returns the
        process (still running) and its Shown. Notes the problem when it
        shows no window."""
        env = self.env()
        log = os.path.join(self.home, "output.log")
        with open(log, "wb") as output:
            process, shown = watch.launch(self.argv(), env=env, stdin=subprocess.DEVNULL,
                                          stdout=output, stderr=output)
        if shown.settled is None:
            stop(process)
            with open(log, errors="replace") as output:
                said = output.read().strip().splitlines()
            self.problem = "showed no window%s" % (": " + said[-1] if said else "")
        return process, shown


def stop(process):
    if process.poll() is None:
        process.kill()
    process.wait()
    for stream in (process.stdout, process.stderr, process.stdin):
        if stream:
            stream.close()
