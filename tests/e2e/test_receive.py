"""What the received box shows of the datagrams the device sends."""
import shown_text
import testbed
from testbed import BOX, FIELD_MESSAGE, SEND, START, STOP

# What the device sends in turn (a framed text, or raw bytes), and what the
# box then reads: payloads join in arrival order.
SENDS = [
    ("--send", "AB", "AB"),
    ("--send", "CD", "ABCD"),
    ("--raw-hex", "1001000510", None),  # header only: nothing to show
    ("--raw-hex", "100100", None),  # shorter than a header
    ("--raw-hex", "100300051000" + b"zz".hex(), None),  # a zero ends the payload
    ("--raw-hex", "1005000610" + b"ok\0no".hex(), None),
    ("--raw-hex", "1003000710" + b"end".hex(), "ABCDokend"),  # all before it came
    ("--send", "Привет", "ABCDokendПривет"),
]


class Receiving(testbed.BedTestCase):
    bed_tag = "receive"

    def setUp(self):
        self.open_session()
        self.session.start()

    def test_payloads_join_in_order_are_kept_on_stop_and_cleared_by_a_new_worker(self):
        for option, data, box in SENDS:
            testbed.device_send(self.bed, option, data)
            if box:
                self.session.wait_text(BOX, box)
        self.session.click(STOP)
        self.session.wait_state(START, True, True)
        self.assertEqual(self.driver.text(BOX), "ABCDokendПривет")
        self.session.click(START)
        self.session.wait_text(BOX, "")

    def test_every_byte_value_and_an_echoed_frame_read_back_as_the_flood_check_expects(self):
        # 0x01-0xFF in one payload, 0x98 (no character in Windows-1251) and
        # a lone LF and CR (0x0B and 0x0C lie between them) among them.
        payload = bytes(range(1, 256))
        testbed.device_send(self.bed, "--raw-hex", (b"\x10\xff\x00\x05\x10" + payload).hex())
        expected = shown_text.read_back(payload)
        self.assertEqual(expected.count(b"\r\n"), 2)
        self.driver.wait_until(lambda: self.driver.raw_text(BOX) == expected, 10,
                               "the box to read %r" % expected)
        peer = testbed.Peer(self.bed, "--port", 2048, "--echo")
        self.addCleanup(peer.stop)
        self.driver.set_text(FIELD_MESSAGE, "ping")
        self.session.click(SEND)
        # The box keeps each of the frame's LF and CR as a paragraph break,
        # and reads every paragraph break back as CR LF.
        self.driver.wait_until(lambda: self.driver.raw_text(BOX) == expected + b"ping\r\n\r\n",
                               10, "the echo")
