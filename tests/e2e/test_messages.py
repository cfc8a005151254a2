"""The program's three messages, and closing and stopping around them."""
import subprocess
import time

import testbed
from testbed import BOX, FIELD_IP, FIELD_PORT, SEND, START, STOP

TITLE = "Virtual Q7700-Ethernet demo"
BUSY = "Порт %d занят. Вероятно, его использует другая программа."


class Messages(testbed.BedTestCase):
    bed_tag = "messages"

    def setUp(self):
        self.open_session()

    def tearDown(self):
        # A box the test left open is closed; one that is just going away
        # may be gone by the time it is pressed, which is fine too.
        if self.session.program.poll() is None and self.driver.call("nomsgbox") == ["ok", "1"]:
            self.driver.call("msgbox-ok")

    def hold_port(self, port):
        """Another program on the operator host that has the port bound."""
        holder = self.bed.operator_popen(
            ["python3", "-c", "import socket,sys,time\n"
             "s=socket.socket(socket.AF_INET,socket.SOCK_DGRAM)\n"
             "s.bind(('', %d)); print('bound', flush=True); time.sleep(600)" % port],
            env=None, stdout=subprocess.PIPE)
        self.assertEqual(holder.stdout.readline().strip(), b"bound")
        return holder

    def test_busy_port_message_then_stop_and_start_work(self):
        holder = self.hold_port(2048)
        self.session.click(START)
        title, text, _, _ = self.session.message_box()
        self.assertEqual((title, text), (TITLE, BUSY % 2048))
        with_worker = int(self.driver.ok("threads")[0])
        self.driver.ok("msgbox-ok")
        # The worker ends once the box has returned, which under Wine can
        # take a moment after the box has gone.
        self.driver.wait_until(lambda: int(self.driver.ok("threads")[0]) < with_worker, 10,
                               "the worker to end")
        self.assertEqual(self.driver.state(STOP), (True, True))  # the panel stays running
        holder.kill()
        holder.wait()
        self.session.click(STOP)
        self.session.wait_state(START, True, True)
        self.session.start()
        testbed.device_send(self.bed, "--send", "works")
        self.session.wait_text(BOX, "works")

    def test_port_above_65535_gets_the_busy_message_with_that_number(self):
        self.driver.set_text(FIELD_PORT, "65536")
        self.session.click(START)
        title, text, _, _ = self.session.message_box()
        self.assertEqual((title, text), (TITLE, BUSY % 65536))

    def test_unresolvable_peer_gives_one_error_per_send_and_nothing_on_the_wire(self):
        peer = testbed.Peer(self.bed, "--port", 2048)
        try:
            self.driver.set_text(FIELD_IP, "no such host!")
            self.session.click(START)
            self.session.wait_state(SEND, True, True)
            for _ in range(2):
                # A press that falls between the worker's send and its clearing
                # of the request is lost (the request is a flag, not a count),
                # and after a box the worker clears it only once MessageBox has
                # returned, which Wine may take a moment to do: press again.
                for _attempt in range(5):
                    self.session.click(SEND)
                    if self.driver.call("msgbox", 3000)[0] == "ok":
                        break
                title, text, _, _ = self.session.message_box()
                self.assertEqual((title, text), ("Ошибка!", "Невозможно подключиться!"))
                self.driver.ok("msgbox-ok")
                self.driver.wait_until(lambda: self.driver.call("nomsgbox") == ["ok", "0"], 10,
                                       "box closed")
            self.assertIsNone(peer.next(timeout=1))
        finally:
            peer.stop()

    def test_box_of_the_worker_owned_by_the_panel_holds_the_panel(self):
        self.driver.ok("activate")
        self.driver.set_text(FIELD_PORT, "65536")
        self.session.click(START)
        _, _, owned, main_enabled = self.session.message_box()
        self.assertTrue(owned)
        self.assertFalse(main_enabled)
        self.assertEqual(self.driver.call("close"), ["error", "window", "disabled"])

    def test_stop_while_the_workers_message_is_open_turns_idle_within_about_a_second(self):
        self.driver.ok("foreground")  # another program in front: the box has no owner
        self.driver.set_text(FIELD_PORT, "65536")
        self.session.click(START)
        _, _, owned, main_enabled = self.session.message_box()
        self.assertFalse(owned)
        self.assertTrue(main_enabled)
        start = time.monotonic()
        self.session.click(STOP)
        self.session.wait_state(START, True, True)
        self.assertLess(time.monotonic() - start, 2.0)
        self.driver.ok("msgbox-ok")

    def test_port_taken_between_two_runs_busy_message_then_a_run_that_receives(self):
        self.session.start()
        testbed.device_send(self.bed, "--send", "first")
        self.session.wait_text(BOX, "first")
        self.session.click(STOP)
        self.session.wait_state(START, True, True)
        self.session.wait_released()
        holder = self.hold_port(2048)
        self.session.click(START)
        title, text, _, _ = self.session.message_box()
        self.assertEqual((title, text), (TITLE, BUSY % 2048))
        self.driver.ok("msgbox-ok")
        self.driver.wait_until(lambda: self.driver.call("nomsgbox") == ["ok", "0"], 10,
                               "the message to close")
        holder.kill()
        holder.wait()
        self.session.click(STOP)
        self.session.wait_state(START, True, True)
        self.session.start()
        testbed.device_send(self.bed, "--send", "second")
        # Each new worker clears the box first, the one that found the port
        # taken too.
        self.session.wait_text(BOX, "second")

    def open_worker_message(self, which, owned):
        """Makes the worker show one of its messages: the busy port (after
        which it ends) or the failed connection (after which it polls on);
        owned by the panel when the panel is in front, else with no owner."""
        self.driver.ok("activate" if owned else "foreground")
        if which == "busy":
            self.driver.set_text(FIELD_PORT, "65536")
            self.session.click(START)
        else:
            self.driver.set_text(FIELD_IP, "no such host!")
            self.session.start()
            for _attempt in range(5):  # a press can be lost (see above)
                self.session.click(SEND)
                if self.driver.call("msgbox", 3000)[0] == "ok":
                    break
        _, text, box_owned, _ = self.session.message_box()
        self.assertEqual(text, BUSY % 65536 if which == "busy" else "Невозможно подключиться!")
        self.assertEqual(box_owned, owned)

    def press_close_box_until_the_program_ends(self, presses=10):
        """Presses the close box again and again; the exit code and seconds
        from the first accepted press, or None while every press is refused."""
        first = None
        for _ in range(presses):
            answer = self.driver.call("close")
            if answer == ["ok"] and first is None:
                first = time.monotonic()
            elif answer != ["ok"]:
                # Refused while the window is disabled, or gone once it ended.
                self.assertIn(answer, (["error", "window", "disabled"], ["error", "no", "window"]))
                if answer == ["error", "no", "window"]:
                    break
            if self.session.program.poll() is not None:
                break
            time.sleep(0.05)
        if first is None:
            return None
        code = self.session.program.wait(10)
        return code, time.monotonic() - first

    def test_close_box_while_a_message_of_the_worker_is_open_always_ends_with_code_0(self):
        for round_ in range(2):
            for which in ("busy", "connect"):
                for owned in (False, True):
                    with self.subTest(round=round_, message=which, owned=owned):
                        if self.session.program.poll() is not None:
                            self.open_session()
                        self.open_worker_message(which, owned)
                        ended = self.press_close_box_until_the_program_ends()
                        if owned:
                            # No press reaches a window that its box holds;
                            # once the box is dismissed, the close box works.
                            self.assertIsNone(ended)
                            self.assertIsNone(self.session.program.poll())
                            self.driver.ok("msgbox-ok")
                            self.driver.wait_until(
                                lambda: self.driver.call("nomsgbox") == ["ok", "0"], 10,
                                "the message to close")
                            ended = self.press_close_box_until_the_program_ends()
                        self.assertIsNotNone(ended, "no press of the close box was taken")
                        code, seconds = ended
                        print("\nclose box, %s message %s: exit code %d after %.2f s" % (
                            which, "owned" if owned else "without owner", code, seconds))
                        self.assertEqual(code, 0)
                        # The close waits at most 1000 ms for a worker that is
                        # blocked in its message, then ends the process anyway.
                        self.assertLess(seconds, 3.0)


class NetworkStartFailure(testbed.BedTestCase):
    bed_tag = "netfail"
    with_device = False

    def test_one_message_no_window_and_exit_code_0(self):
        program = testbed.PATHS["netfail_program"]
        if not program:
            self.skipTest("no test build with a failing sockets layer")
        process = self.bed.start_program(program=program)
        driver = testbed.Driver(self.bed)
        self.addCleanup(driver.close)
        answer = driver.call("msgbox-any", 30000)
        self.assertEqual(answer[0], "ok", answer)
        title, text = driver.decode(answer[1]), driver.decode(answer[2])
        self.assertEqual(title, TITLE)
        self.assertEqual(text, "Проблемы инициализации сетевого адаптера. "
                               "Программа будет закрыта.")
        self.assertEqual(answer[3], "0")  # no owner
        self.assertEqual(driver.call("count-boxes"), ["ok", "1"])
        self.assertEqual(driver.call("find", 0)[0], "error")  # no main window
        driver.ok("msgbox-ok")
        self.assertEqual(process.wait(10), 0)
