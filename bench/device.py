"""The device side of the benchmarks, run inside the device's network namespace.

  device.py send HOST PORT RATE COUNT SIZE [unbroken]
                                             send COUNT datagrams at RATE per second
  device.py receive PORT                     print each datagram's arrival time

Each datagram sent is a 5-byte header and a SIZE-byte numbered line of
printable ASCII ended by CR LF, with no zero byte, so that every one adds
exactly SIZE characters to the program's received box. With unbroken the
payloads carry no line break: the box holds one growing paragraph. send prints one JSON
line at the end: how many it sent and, per datagram, when (microseconds of
the real-time clock). receive prints one line per datagram: its arrival time
and its length.
"""
import json
import socket
import sys
import time


def now_us():
    return time.time_ns() // 1000


def payload(number, size, unbroken=False):
    """A numbered line: printable bytes ended by CR LF, which the box keeps as
    one line break and reads back as the same two characters."""
    text = b"%09d:" % number + bytes(65 + (number + i) % 26 for i in range(size))
    return text[:size] if unbroken else text[:size - 2] + b"\r\n"


def send(host, port, rate, count, size, unbroken=False):
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_SNDBUF, 1 << 20)
    times = []
    start = time.monotonic()
    for number in range(count):
        due = start + number / rate
        wait = due - time.monotonic()
        if wait > 0:
            time.sleep(wait)
        frame = bytes([0x10, size % 256, 0, number % 256, 0]) + payload(number, size, unbroken)
        times.append(now_us())
        sock.sendto(frame, (host, port))
    print(json.dumps({"sent": count, "times": times, "seconds": time.monotonic() - start}),
          flush=True)


def receive(port):
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind(("", port))
    print("listening", flush=True)
    while True:
        data = sock.recv(65535)
        print(now_us(), len(data), flush=True)


def main():
    command = sys.argv[1]
    if command == "send":
        host, port, rate, count, size = sys.argv[2:7]
        send(host, int(port), float(rate), int(count), int(size), sys.argv[7:8] == ["unbroken"])
    elif command == "receive":
        receive(int(sys.argv[2]))
    else:
        sys.exit("usage: device.py send HOST PORT RATE COUNT SIZE [unbroken] | receive PORT")


if __name__ == "__main__":
    main()
