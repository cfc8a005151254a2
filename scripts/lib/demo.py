"""The run command's two-host set-up: the virtual device at 192.168.0.10 in a
network namespace of its own, the program beside it with its defaults.

  demo.py interactive   the operator uses the program; ends when it is closed
  demo.py scripted      Start, Send "Привет", the device's echo, Stop, close;
                        prints the wire and the box, saves screenshots of the
                        idle and the running panel and, where tshark is there,
                        the capture and its reading by the frame dissector
"""
import argparse
import os
import shutil
import subprocess
import sys

import testbed


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


def show_capture(capture, image):
    """Prints the capture as the dissector reads it and saves its detailed
    view as a picture of text."""
    frames = ["-Y", "udp.dstport == 2048"]
    print("tshark with tools/wireshark/q7700.lua reads the capture %s as:" % capture.path)
    print(testbed.dissect(capture.path, *frames), end="")
    details = testbed.dissect(capture.path, "-V", "-O", "q7700", *frames)
    text = details.replace("\\", "\\\\").replace("%", "%%")  # taken as escapes otherwise
    subprocess.run(["convert", "-background", "white", "-fill", "black", "-font", "DejaVu-Sans-Mono",
                    "-pointsize", "13", "label:" + text, "-trim", "+repage", "-bordercolor",
                    "white", "-border", "12", image], capture_output=True, timeout=60)
    print("the dissector's detailed view: " + image)


def scripted(bed, shots):
    peer = testbed.Peer(bed, "--port", 2048, "--echo")
    capture = None
    if shutil.which("tshark"):
        capture = testbed.Capture(bed, os.path.join(shots, "run-capture.pcapng"))
    session = testbed.Session(bed)
    try:
        session.driver.ok("ping", 5000)
        testbed.screenshot(os.path.join(shots, "run-idle.png"))
        print("screenshot of the idle panel: " + os.path.join(shots, "run-idle.png"))
        session.start()
        print("Start pressed: the program listens on port 2048")
        session.driver.set_text(testbed.FIELD_MESSAGE, "Привет")
        session.click(testbed.SEND)
        print("Send pressed with the message \"Привет\"")
        datagram = peer.next(timeout=10)
        if datagram is None:
            print("the device received nothing")
            return 1
        print("device received: " + describe(datagram))
        print("device answered with the same message to %s:2048" % testbed.OPERATOR_ADDRESS)
        session.driver.wait_until(lambda: "Привет" in session.driver.text(testbed.BOX), 10,
                                  "the echo in the received box")
        print("received box now reads: %r" % session.driver.text(testbed.BOX))
        testbed.screenshot(os.path.join(shots, "run-running.png"))
        print("screenshot of the running panel: " + os.path.join(shots, "run-running.png"))
        session.stop()
        print("Stop pressed: the panel is idle again")
        code, seconds = session.close_window()
        print("window closed: the program ended with exit code %d after %.2f s" % (code, seconds))
        if capture and capture.wait_for(2):
            capture.stop()
            show_capture(capture, os.path.join(shots, "run-capture.png"))
        return 0 if code == 0 else 1
    finally:
        if capture:
            capture.stop()
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
    parser.add_argument("--shots", default=None, help="folder for the screenshots and capture")
    args = parser.parse_args()
    for name in ("program", "driver", "peer", "prefix", "work", "loader"):
        testbed.PATHS[name] = os.path.abspath(getattr(args, name))
    os.makedirs(args.work, exist_ok=True)
    try:
        with testbed.TestBed("run") as bed:
            if args.mode == "interactive":
                sys.exit(interactive(bed))
            sys.exit(scripted(bed, os.path.abspath(args.shots or args.work)))
    except KeyboardInterrupt:
        print("interrupted: the program and the virtual device were stopped")
        sys.exit(130)


if __name__ == "__main__":
    main()
