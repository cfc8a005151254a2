"""The run command's two-host set-up: the virtual device at 192.168.0.10 in a
network namespace of its own, the program beside it with its defaults.

  demo.py interactive   the operator uses the program; ends when it is closed
  demo.py scripted      Start, Send "Привет", the device's echo, Stop, close;
                        prints the wire and the box and saves a screenshot
"""
import argparse
import os
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import testbed  # noqa: E402


def describe(datagram):
    header = bytes.fromhex(datagram["header"])
    return "%d bytes from %s:%d, header %s, message %r, %s" % (
        datagram["length"], datagram["from"], datagram["port"], header.hex(" "),
        datagram.get("text", ""), "well-formed frame" if datagram["frame"] else "not a frame")


def interactive(bed):
    peer = testbed.Peer(bed, "--port", 2048, "--echo")
    print("virtual device listening at %s:2048 and echoing every frame" % testbed.DEVICE_ADDRESS)
    program = bed.start_program(locale=os.environ.get("LC_ALL", "en_US.UTF-8"))
    print("program started (operator host %s); close its window to end" %
          testbed.OPERATOR_ADDRESS)
    while program.poll() is None:
        datagram = peer.next(timeout=0.5)
        if datagram:
            print("device received: " + describe(datagram))
    peer.stop()
    return program.returncode


def scripted(bed, screenshot):
    peer = testbed.Peer(bed, "--port", 2048, "--echo")
    session = testbed.Session(bed)
    try:
        session.start()
        print("Start pressed: the program listens on port 2048")
        session.driver.set_text(7, "Привет")
        session.click(8)
        print("Send pressed with the message \"Привет\"")
        datagram = peer.next(timeout=10)
        if datagram is None:
            print("the device received nothing")
            return 1
        print("device received: " + describe(datagram))
        print("device answered with the same message to %s:2048" % testbed.OPERATOR_ADDRESS)
        session.driver.wait_until(lambda: "Привет" in session.driver.text(11), 10,
                                  "the echo in the received box")
        print("received box now reads: %r" % session.driver.text(11))
        testbed.screenshot(screenshot)
        print("screenshot of the running panel: " + screenshot)
        session.click(6)
        session.wait_state(5, True, True)
        print("Stop pressed: the panel is idle again")
        code, seconds = session.close_window()
        print("window closed: the program ended with exit code %d after %.2f s" % (code, seconds))
        return 0 if code == 0 else 1
    finally:
        session.end()
        peer.stop()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("mode", choices=("interactive", "scripted"))
    parser.add_argument("--program", required=True)
    parser.add_argument("--driver", required=True)
    parser.add_argument("--peer", required=True)
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--loader", required=True)
    parser.add_argument("--screenshot", default=None)
    args = parser.parse_args()
    for name in ("program", "driver", "peer", "prefix", "work", "loader"):
        testbed.PATHS[name] = os.path.abspath(getattr(args, name))
    os.makedirs(args.work, exist_ok=True)
    try:
        with testbed.TestBed("run") as bed:
            if args.mode == "interactive":
                sys.exit(interactive(bed))
            sys.exit(scripted(bed, args.screenshot or os.path.join(args.work, "run-screenshot.png")))
    except KeyboardInterrupt:
        print("interrupted: the program and the virtual device were stopped")
        sys.exit(130)


if __name__ == "__main__":
    main()
