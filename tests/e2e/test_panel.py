"""The panel as the operator sees it: layout, texts, idle and running states."""
import os

import testbed
from testbed import (BOX, FIELD_CODE1, FIELD_CODE2, FIELD_IP, FIELD_MESSAGE, FIELD_PORT, SEND,
                     START, STOP)

# Number: (x, y, width, height, text) as the panel is laid out.
LAYOUT = {
    1: (10, 10, 100, 20, "IP Q7700-Ethernet: "),
    2: (110, 10, 100, 20, "192.168.0.10"),
    3: (10, 40, 50, 20, "Порт: "),
    4: (60, 40, 50, 20, "2048"),
    6: (220, 20, 50, 20, "Стоп"),
    5: (220, 20, 70, 20, "Пуск"),
    10: (10, 65, 150, 15, "Сообщение"),
    7: (10, 80, 150, 20, ""),
    12: (165, 65, 60, 15, "ASCII-коды"),
    13: (170, 80, 20, 20, "10"),
    14: (190, 80, 20, 20, "13"),
    8: (220, 80, 70, 20, "Передать"),
    9: (10, 120, 280, 15, "Принято:"),
    11: (10, 135, 280, 100, ""),
}

LABELS = (1, 3, 10, 12, 9)
# "IP Q7700-Ethernet: " is 101 px wide in Tahoma 8 and its label 100: it
# takes two lines, as the panel is laid out.
TWO_LINES = {1}


def panel_state(driver):
    return {n: driver.state(n) for n in (START, STOP, FIELD_IP, FIELD_PORT, SEND)}


IDLE = {START: (True, True), STOP: (False, True), FIELD_IP: (True, True),
        FIELD_PORT: (True, True), SEND: (True, False)}
RUNNING = {START: (False, True), STOP: (True, True), FIELD_IP: (True, False),
           FIELD_PORT: (True, False), SEND: (True, True)}


class Panel(testbed.BedTestCase):
    bed_tag = "panel"

    def setUp(self):
        self.open_session()

    def test_layout_and_russian_texts_show_on_an_english_system(self):
        self.assertEqual(self.driver.ok("client"), ["300", "250"])
        for number, (x, y, width, height, text) in LAYOUT.items():
            with self.subTest(control=number):
                rect = [int(v) for v in self.driver.ok("rect", number)]
                self.assertEqual(rect, [x, y, width, height])
                self.assertEqual(self.driver.text(number), text)

    def test_labels_fit_on_one_line_in_tahoma_but_the_address_label(self):
        for number in LABELS:
            _, _, width, height, text = LAYOUT[number]
            with self.subTest(control=number, text=text):
                text_width, text_height, face = self.driver.ok("extent", number)
                # Wine's substitute for the default GUI font, from the prefix.
                self.assertEqual(testbed.Driver.decode(face), "Tahoma")
                fits = int(text_width) <= width and int(text_height) <= height
                self.assertEqual(fits, number not in TWO_LINES,
                                 "%r is %s x %s px in its %d x %d label" % (
                                     text, text_width, text_height, width, height))

    def test_idle_running_idle_running(self):
        self.assertEqual(panel_state(self.driver), IDLE)
        self.session.click(START)
        self.session.wait_state(STOP, True, True)
        self.assertEqual(panel_state(self.driver), RUNNING)
        self.session.click(STOP)
        self.session.wait_state(START, True, True)
        self.assertEqual(panel_state(self.driver), IDLE)
        self.session.click(START)
        self.session.wait_state(STOP, True, True)
        self.assertEqual(panel_state(self.driver), RUNNING)
        work = testbed.PATHS["work"]
        testbed.screenshot(os.path.join(work, "panel-running.png"))
        self.session.click(STOP)
        self.session.wait_state(START, True, True)
        testbed.screenshot(os.path.join(work, "panel-idle.png"))

    def test_digit_fields_refuse_typed_letters(self):
        self.driver.set_text(FIELD_PORT, "")
        self.driver.ok("type", FIELD_PORT, self.driver.encode("2a0b4x9"))
        self.assertEqual(self.driver.text(FIELD_PORT), "2049")
        self.driver.ok("type", FIELD_MESSAGE, self.driver.encode("ab1"))
        self.assertEqual(self.driver.text(FIELD_MESSAGE), "ab1")

    def test_closing_while_idle_exits_at_once_with_code_0(self):
        code, seconds = self.session.close_window()
        self.assertEqual(code, 0)
        self.assertLess(seconds, 5)


class RussianSystem(testbed.BedTestCase):
    bed_tag = "russian"
    with_device = False

    def test_texts_are_the_same_under_a_russian_locale(self):
        self.open_session(locale="ru_RU.UTF-8")
        for number, (_, _, _, _, text) in LAYOUT.items():
            self.assertEqual(self.driver.text(number), text)
