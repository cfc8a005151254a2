"""Faults around the program: the device host vanishing while it sends."""
import threading
import time

import testbed
from testbed import Peer

SEND, BOX, FIELD_MESSAGE = 8, 11, 7
CONNECT_ERROR = ("Ошибка!", "Невозможно подключиться!")
SENDING_SECONDS = 3
ANSWER_LIMIT_MS = 2500  # tells an answer from a hang, on a loaded machine


class DeviceVanishes(testbed.BedTestCase):
    bed_tag = "vanish"

    def setUp(self):
        self.open_session()
        self.session.start()

    def send_to_the_program_locally(self, payload):
        """A datagram from the operator host itself, over its loopback: the
        one way left to reach the program once the device host is gone."""
        script = ("import socket\n"
                  "s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)\n"
                  "s.sendto(bytes.fromhex(%r), ('127.0.0.1', 2048))\n" % payload.hex())
        sender = self.bed.operator_popen(["python3", "-c", script], env=None)
        self.assertEqual(sender.wait(10), 0)

    def test_sends_while_the_device_host_vanishes_return_and_stop_works(self):
        peer = Peer(self.bed, "--port", 2048)
        self.driver.set_text(FIELD_MESSAGE, "before")
        self.session.click(SEND)
        self.assertIsNotNone(peer.next(timeout=10), "no frame reached the device")

        vanish = threading.Timer(0.5, self.bed.remove_device)
        vanish.start()
        presses, boxes = 0, []
        deadline = time.monotonic() + SENDING_SECONDS
        try:
            while time.monotonic() < deadline:
                answer = self.driver.call("click", SEND)
                # While a box of the worker owned by the panel is open, the
                # panel takes no clicks; any other refusal is a fault.
                self.assertTrue(answer[0] == "ok" or answer == ["error", "not", "clickable"],
                                answer)
                presses += answer[0] == "ok"
                self.assertEqual(self.driver.ok("ping", ANSWER_LIMIT_MS), ["1"], "the panel hangs")
                self.assertIsNone(self.session.program.poll(), "the program ended")
                if self.driver.call("nomsgbox") == ["ok", "1"]:
                    # Sends that cannot leave may be refused at once: one
                    # message per Send, and nothing else.
                    title, text, _, _ = self.session.message_box()
                    boxes.append((title, text))
                    self.driver.ok("msgbox-ok")
                    self.driver.wait_until(lambda: self.driver.call("nomsgbox") == ["ok", "0"],
                                           10, "the message to close")
                time.sleep(0.05)
        finally:
            vanish.join()
        self.assertGreater(presses, 10)
        self.assertTrue(all(box == CONNECT_ERROR for box in boxes), boxes)
        self.assertFalse(self.bed.device_present())

        # The worker still polls: a datagram from the operator host shows.
        self.send_to_the_program_locally(b"\x10\x02\x00\x01\x10ok")
        self.session.wait_text(BOX, "ok")
        _, answered_ms = self.session.stop_timed()
        self.assertLess(answered_ms, ANSWER_LIMIT_MS)
        self.session.wait_released()
        code, _ = self.session.close_window()
        self.assertEqual(code, 0)
