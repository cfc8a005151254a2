"""What the received box shows of the datagrams the device sends."""
import shown_text
import testbed
from testbed import BOX, SEND, START, STOP
from testbed import device_send



class Receiving(testbed.BedTestCase):
    bed_tag = "receive"

    def setUp(self):
        self.open_session()
        self.session.start()

    def raw(self, data):
        device_send(self.bed, "--raw-hex", data.hex() or "-")

    def test_payloads_join_in_arrival_order(self):
        device_send(self.bed, "--send", "AB")
        self.session.wait_text(BOX, "AB")
        device_send(self.bed, "--send", "CD")
        self.session.wait_text(BOX, "ABCD")

    def test_short_datagrams_and_zero_bytes_add_nothing_more(self):
        self.raw(b"\x10\x01\x00\x05\x10")          # 5 bytes: header only
        self.raw(b"\x10\x01\x00")                  # 3 bytes
        self.raw(b"\x10\x03\x00\x05\x10\x00zz")    # zero at offset 5
        self.raw(b"\x10\x05\x00\x06\x10ok\x00no")  # bytes after a zero are not shown
        self.raw(b"\x10\x03\x00\x07\x10end")       # marks that everything before arrived
        self.session.wait_text(BOX, "okend")

    def test_cyrillic_payload_shows_as_its_letters(self):
        device_send(self.bed, "--send", "Привет")
        self.session.wait_text(BOX, "Привет")

    def test_every_byte_value_reads_back_as_the_flood_check_expects(self):
        # 0x01-0xFF in one payload, 0x98 (no character in Windows-1251) and
        # a lone LF and CR (0x0B and 0x0C lie between them) among them.
        payload = bytes(range(1, 256))
        self.raw(b"\x10\xff\x00\x05\x10" + payload)
        expected = shown_text.read_back(payload)
        self.assertEqual(expected.count(b"\r\n"), 2)
        self.driver.wait_until(lambda: self.driver.raw_text(BOX) == expected, 10,
                               "the box to read %r (reads %r)" % (expected, self.driver.raw_text(BOX)))

    def test_box_is_kept_on_stop_and_cleared_by_a_new_worker(self):
        device_send(self.bed, "--send", "kept")
        self.session.wait_text(BOX, "kept")
        self.session.click(STOP)
        self.session.wait_state(START, True, True)
        self.assertEqual(self.driver.text(BOX), "kept")
        self.session.click(START)
        self.session.wait_text(BOX, "")
        self.session.wait_listening()

    def test_echo_of_a_sent_frame_comes_back_into_the_box(self):
        peer = testbed.Peer(self.bed, "--port", 2048, "--echo")
        try:
            self.driver.set_text(7, "ping")
            self.session.click(SEND)
            # The rich-text box keeps each of LF and CR as a paragraph break,
            # and reads every paragraph break back as CR LF.
            self.session.wait_text(BOX, "ping\r\n\r\n")
        finally:
            peer.stop()
