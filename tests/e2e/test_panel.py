"""The panel as the operator sees it: layout, texts and fonts on an English
and a Russian system, idle and running states, digit fields, closing."""
import os

import testbed
from program_facts import CONTROLS, TEXTS
from testbed import FIELD_IP, FIELD_MESSAGE, FIELD_PORT, SEND, START, STOP

# Control: (x, y, width, height, text) as the panel is laid out; the texts
# are the program's own (app/texts.h), which tests/app/texts_test.cpp holds
# to the words they are to show.
LAYOUT = {
    "LabelIp": (10, 10, 100, 20, "kLabelIpText"),
    "FieldIp": (110, 10, 100, 20, "kDefaultPeerAddress"),
    "LabelPort": (10, 40, 50, 20, "kLabelPortText"),
    "FieldPort": (60, 40, 50, 20, "kDefaultPort"),
    "ButtonStop": (220, 20, 50, 20, "kStopText"),
    "ButtonStart": (220, 20, 70, 20, "kStartText"),
    "LabelMessage": (10, 65, 150, 15, "kLabelMessageText"),
    "FieldMessage": (10, 80, 150, 20, None),
    "LabelCodes": (165, 65, 60, 15, "kLabelCodesText"),
    "FieldCode1": (170, 80, 20, 20, "kDefaultCode1"),
    "FieldCode2": (190, 80, 20, 20, "kDefaultCode2"),
    "ButtonSend": (220, 80, 70, 20, "kSendText"),
    "LabelReceived": (10, 120, 280, 15, "kLabelReceivedText"),
    "BoxReceived": (10, 135, 280, 100, None),
}
# The labels, and whether their text fits on one line in Tahoma 8: "IP
# Q7700-Ethernet: " is 101 px wide in its 100 px label and takes two lines.
LABELS = {"LabelIp": False, "LabelPort": True, "LabelMessage": True, "LabelCodes": True,
          "LabelReceived": True}
# (visible, enabled) of Start, Stop, the address and port fields and Send.
STATES = (START, STOP, FIELD_IP, FIELD_PORT, SEND)
IDLE = [(True, True), (False, True), (True, True), (True, True), (True, False)]
RUNNING = [(False, True), (True, True), (True, False), (True, False), (True, True)]


class Panel(testbed.BedTestCase):
    bed_tag = "panel"
    with_device = False

    def test_layout_texts_and_fonts_under_two_locales_and_closing_while_idle(self):
        for locale in ("en_US.UTF-8", "ru_RU.UTF-8"):
            self.open_session(locale=locale)
            self.assertEqual(self.driver.ok("client"), ["300", "250"])
            for name, (x, y, width, height, text) in LAYOUT.items():
                with self.subTest(locale=locale, control=name):
                    number = CONTROLS[name]
                    rect = [int(v) for v in self.driver.ok("rect", number)]
                    self.assertEqual(rect, [x, y, width, height])
                    self.assertEqual(self.driver.text(number), TEXTS[text] if text else "")
                    if name in LABELS and locale.startswith("en"):
                        text_width, text_height, face = self.driver.ok("extent", number)
                        # Wine's substitute for the default GUI font, from the prefix.
                        self.assertEqual(testbed.Driver.decode(face), "Tahoma")
                        fits = int(text_width) <= width and int(text_height) <= height
                        self.assertEqual(fits, LABELS[name], (text_width, text_height))
            # Closing while idle ends the program, with code 0.
            self.assertEqual(self.session.close_window()[0], 0)

    def test_idle_and_running_states_and_digit_fields_that_refuse_letters(self):
        self.open_session()
        self.driver.set_text(FIELD_PORT, "")
        self.driver.ok("type", FIELD_PORT, self.driver.encode("2a0b4x9"))
        self.assertEqual(self.driver.text(FIELD_PORT), "2049")
        self.driver.ok("type", FIELD_MESSAGE, self.driver.encode("ab1"))
        self.assertEqual(self.driver.text(FIELD_MESSAGE), "ab1")
        steps = [(None, IDLE, None), (START, RUNNING, None), (STOP, IDLE, None),
                 (START, RUNNING, "panel-running.png"), (STOP, IDLE, "panel-idle.png")]
        now = lambda: [self.driver.state(n) for n in STATES]
        for pressed, states, picture in steps:
            if pressed:  # the panel changes its controls one after another
                self.session.click(pressed)
                self.driver.wait_until(lambda: now() == states, 10, "states %s" % states)
            self.assertEqual(now(), states)
            if picture:  # for the docs, beside the test's output
                testbed.screenshot(os.path.join(testbed.PATHS["work"], picture))
