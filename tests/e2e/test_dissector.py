"""The Wireshark dissector (tools/wireshark/q7700.lua) reading what tshark
captured on the device host: the program's frame and datagrams of the device."""
import json
import os

import testbed
from testbed import FIELD_MESSAGE, SEND

MESSAGE = "Привет, мир"
HEADER = ("q7700.marker", "q7700.length", "q7700.reserved", "q7700.nonce", "q7700.flag")
EXPERTS = ("q7700.not_frame", "q7700.length.wrong", "q7700.reserved.nonzero",
           "q7700.flag.wrong", "q7700.nonce.repeated")
FIELDS = ("udp.payload", "data.data", "q7700.well_formed", "q7700.text",
          "q7700.terminator") + HEADER + EXPERTS

# Sent from the device host in this order: the payload, the header as read
# (None: not a frame, shown as data), well-formed or not, the expert notes.
# Each header byte differs from its neighbours, so a field read from the
# wrong offset shows.
FROM_DEVICE = [
    ("1103004750414243", None, False, {"q7700.not_frame"}),
    ("100300", None, False, {"q7700.not_frame"}),
    ("1005004750414243", (0x10, 5, 0, 0x47, 0x50), False, {"q7700.length.wrong"}),
    ("1003018890414243", (0x10, 3, 1, 0x88, 0x90), False, {"q7700.reserved.nonzero"}),
    ("100300c990414243", (0x10, 3, 0, 0xC9, 0x90), False, {"q7700.flag.wrong"}),
    ("1003002110414243", (0x10, 3, 0, 0x21, 0x10), True, set()),
    ("1003002110414243", (0x10, 3, 0, 0x21, 0x10), False, {"q7700.nonce.repeated"}),
]


def header(shown):
    return tuple(int(shown[name][0], 0) for name in HEADER) if HEADER[0] in shown else None


def experts(shown):
    return {name for name in EXPERTS if name in shown}


class Dissector(testbed.BedTestCase):
    bed_tag = "dissector"

    def test_program_frame_and_device_datagrams_are_read_as_sent(self):
        self.open_session(start=True)
        path = os.path.join(testbed.PATHS["work"], "dissector.pcapng")
        capture = testbed.Capture(self.bed, path)
        self.addCleanup(capture.stop)
        for payload, _, _, _ in FROM_DEVICE:
            testbed.device_send(self.bed, "--raw-hex", payload)
        self.driver.set_text(FIELD_MESSAGE, MESSAGE)
        self.session.click(SEND)
        self.assertTrue(capture.wait_for(len(FROM_DEVICE) + 1), "not every datagram was captured")
        capture.stop()
        options = ["-Y", "udp.dstport == 2048", "-T", "json"]
        options += [word for name in FIELDS for word in ("-e", name)]
        records = [record["_source"]["layers"] for record in
                   json.loads(testbed.dissect(path, *options))]
        self.assertEqual(len(records), len(FROM_DEVICE) + 1)
        for (payload, fields, well_formed, notes), shown in zip(FROM_DEVICE, records):
            with self.subTest(payload=payload):
                self.assertEqual(shown["udp.payload"], [payload])
                self.assertEqual(header(shown), fields)
                self.assertEqual(experts(shown), notes)
                if fields is None:
                    self.assertEqual(shown.get("data.data"), [payload])
                else:
                    self.assertEqual(shown["q7700.well_formed"], ["1" if well_formed else "0"])
                    self.assertEqual(shown["q7700.text"], ["ABC"])

        shown = records[-1]
        # The frame's own bytes are test_frames' case; here, their reading.
        self.assertEqual(header(shown), tuple(bytes.fromhex(shown["udp.payload"][0])[:5]))
        self.assertEqual(shown["q7700.text"], [MESSAGE])
        self.assertEqual(shown["q7700.terminator"], ["10", "13"])
        self.assertEqual(shown["q7700.well_formed"], ["1"])
        self.assertEqual(experts(shown), set())
