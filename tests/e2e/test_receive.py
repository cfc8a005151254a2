"""What the received box shows of the datagrams the device sends."""
import shown_text
import testbed
from testbed import BOX, FIELD_MESSAGE, SEND

# What the device sends in turn (a framed text, or raw bytes), and what the
# box then reads: payloads join in arrival order. What a payload is of any
# datagram (none of one up to its header, up to a zero byte) is
# tests/fuzz/fuzz_frame.cpp's model; here the worker's block of 1000 bytes
# must hold nothing of the datagram before.
SENDS = [
    ("--send", "AB", "AB"),
    ("--send", "CD", "ABCD"),
    ("--raw-hex", "1001000510", None),  # header only: nothing to show
    ("--raw-hex", "1005000610" + b"ok\0no".hex(), None),  # a zero ends the payload
    ("--raw-hex", "1003000710" + b"end".hex(), "ABCDokend"),  # all before it came
    ("--send", "Привет", "ABCDokendПривет"),
]


class Receiving(testbed.BedTestCase):
    bed_tag = "receive"

    def test_payloads_join_in_order_stay_on_stop_and_every_byte_and_an_echo_read_back(self):
        self.open_session(start=True)
        for option, data, box in SENDS:
            testbed.device_send(self.bed, option, data)
            if box:
                self.session.wait_text(BOX, box)
        self.session.stop()
        self.assertEqual(self.driver.text(BOX), "ABCDokendПривет")
        self.session.start()
        self.session.wait_text(BOX, "")  # a new worker clears the box

        # 0x01-0xFF in one payload, 0x98 (no character in Windows-1251) and
        # a lone LF and CR (0x0B and 0x0C lie between them) among them, read
        # back as the flood check expects.
        payload = bytes(range(1, 256))
        testbed.device_send(self.bed, "--raw-hex", (b"\x10\xff\x00\x05\x10" + payload).hex())
        expected = shown_text.read_back(payload)
        self.assertEqual(expected.count(b"\r\n"), 2)
        self.session.wait_text(BOX, expected)
        self.start_peer("--port", 2048, "--echo")
        self.driver.set_text(FIELD_MESSAGE, "ping")
        self.session.click(SEND)
        # The box keeps each of the frame's LF and CR as a paragraph break,
        # and reads every paragraph break back as CR LF.
        self.session.wait_text(BOX, expected + b"ping\r\n\r\n")
