"""Frames as the device receives them: header, message bytes, nonces."""
import testbed
from testbed import FIELD_CODE1, FIELD_CODE2, FIELD_MESSAGE, SEND, START, STOP
from testbed import Peer



def flag_of(nonce):
    return 0x10 | (nonce & 0xC0)


class Frames(testbed.BedTestCase):
    bed_tag = "frames"

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.peer = Peer(cls.bed, "--port", 2048)
        cls.addClassCleanup(cls.peer.stop)

    def setUp(self):
        self.addCleanup(self.drain_peer)
        self.open_session()
        self.session.click(START)
        self.session.wait_state(SEND, True, True)

    def drain_peer(self):
        while self.peer.next(timeout=0.2):
            pass  # nothing of this test is left for the next one

    def send(self, message=None, code1=None, code2=None):
        """Sends once from the panel; the datagram as the device saw it."""
        if message is not None:
            self.driver.set_text(FIELD_MESSAGE, message)
        if code1 is not None:
            self.driver.set_text(FIELD_CODE1, code1)
        if code2 is not None:
            self.driver.set_text(FIELD_CODE2, code2)
        self.session.click(SEND)
        datagram = self.peer.next(timeout=3)
        if datagram is None:
            # A press that falls between the worker's send and its clearing of
            # the request is lost (the request is a flag, not a count): on a
            # busy machine the next press can come that quickly. Press again.
            self.session.click(SEND)
            datagram = self.peer.next(timeout=10)
        self.assertIsNotNone(datagram, "no frame reached the device")
        return datagram, bytes.fromhex(datagram["header"]) + bytes.fromhex(datagram["hex"])

    def assert_header(self, frame, message_length):
        self.assertEqual(frame[0], 0x10)
        self.assertEqual(frame[1], message_length % 256)
        self.assertEqual(frame[2], 0)
        self.assertEqual(frame[4], flag_of(frame[3]))

    def test_message_ends_with_line_feed_then_carriage_return(self):
        datagram, frame = self.send("Hello")
        self.assertEqual(frame[5:], b"Hello\n\r")
        self.assertEqual(datagram["length"], 12)
        self.assert_header(frame, 7)
        self.assertTrue(datagram["frame"])
        self.assertEqual(datagram["from"], testbed.OPERATOR_ADDRESS)

    def test_empty_message_and_codes(self):
        _, frame = self.send("")
        self.assertEqual(len(frame), 7)
        self.assertEqual(frame[5:], b"\x0a\x0d")
        self.assert_header(frame, 2)
        _, frame = self.send("", "0", "0")
        self.assertEqual(len(frame), 5)
        self.assert_header(frame, 0)
        _, frame = self.send("x", "300", "256")  # 300 is 0x2C; 256 adds nothing
        self.assertEqual(frame[5:], b"x\x2c")

    def test_long_and_cyrillic_messages(self):
        datagram, frame = self.send("m" * 298, "10", "13")
        self.assertEqual(len(frame), 305)
        self.assertEqual(frame[1], 0x2C)
        self.assertEqual(frame[5:], b"m" * 298 + b"\n\r")
        _, frame = self.send("Привет, мир")
        self.assertEqual(frame[5:], "Привет, мир".encode("cp1251") + b"\n\r")

    def test_nonces_never_repeat_back_to_back_also_across_stop_and_start(self):
        nonces = []
        self.driver.set_text(FIELD_MESSAGE, "n")
        for round_ in range(2):
            for _ in range(250):
                _, frame = self.send()
                self.assert_header(frame, 3)
                nonces.append(frame[3])
            self.session.click(STOP)
            self.session.wait_state(START, True, True)
            self.session.click(START)
            self.session.wait_state(SEND, True, True)
        for previous, current in zip(nonces, nonces[1:]):
            self.assertNotEqual(previous, current)
        self.assertGreater(len(set(nonces)), 100)

    def test_first_nonce_of_a_run_of_the_program_is_never_0(self):
        _, frame = self.send("first")
        self.assertNotEqual(frame[3], 0)
