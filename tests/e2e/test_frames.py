"""Frames as the device receives them: header, message bytes, nonces."""
import testbed
from testbed import FIELD_CODE1, FIELD_CODE2, FIELD_MESSAGE, SEND

# The message and the two codes as typed (None: the fields as the panel
# starts, 10 and 13), and the frame's bytes after its header.
CASES = [
    ("Hello", None, b"Hello\n\r"),  # line feed, then carriage return
    ("", None, b"\n\r"),
    ("", ("0", "0"), b""),
    ("x", ("300", "256"), b"x\x2c"),  # 300 is 0x2C; 256 adds nothing
    ("m" * 298, ("10", "13"), b"m" * 298 + b"\n\r"),  # length byte 300 % 256
    ("Привет, мир", ("10", "13"), "Привет, мир".encode("cp1251") + b"\n\r"),
]


class Frames(testbed.BedTestCase):
    bed_tag = "frames"

    def setUp(self):
        self.peer = self.start_peer("--port", 2048)
        self.open_session(start=True)

    def send(self):
        """Presses Send once; the frame the device got. No press may be lost:
        the worker takes a press that comes while it sends as a new one."""
        self.session.click(SEND)
        datagram = self.peer.next(timeout=10)
        self.assertIsNotNone(datagram, "no frame reached the device")
        frame = bytes.fromhex(datagram["header"] + datagram["hex"])
        self.assertEqual(frame[:3], bytes([0x10, (len(frame) - 5) % 256, 0]))
        self.assertEqual(frame[4], 0x10 | frame[3] & 0xC0)  # the nonce's flag byte
        return frame

    def test_frames_of_typed_messages_and_codes_and_nonces_also_across_stop_and_start(self):
        nonces = []
        for message, codes, payload in CASES:
            with self.subTest(message=message[:12], codes=codes):
                self.driver.set_text(FIELD_MESSAGE, message)
                for field, code in zip((FIELD_CODE1, FIELD_CODE2), codes or ()):
                    self.driver.set_text(field, code)
                frame = self.send()
                self.assertEqual(frame[5:], payload)
                nonces.append(frame[3])
        self.assertNotEqual(nonces[0], 0)  # the first nonce of a program run
        # 40 frames in all, of the last case's message, 20 after a new Start.
        nonces += [self.send()[3] for _ in range(14)]
        self.session.stop()
        self.session.start()
        nonces += [self.send()[3] for _ in range(20)]
        self.assertEqual([a for a, b in zip(nonces, nonces[1:]) if a == b], [])
        # Drawn at random: 40 draws of 255 values give about 37 different ones.
        self.assertGreater(len(set(nonces)), 25)
