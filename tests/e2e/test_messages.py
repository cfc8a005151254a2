"""The program's three messages, and stopping and closing around them; the
device host vanishing while the program sends."""
import subprocess
import threading

import testbed
from program_facts import TEXTS, TITLE
from testbed import BOX, FIELD_IP, FIELD_MESSAGE, FIELD_PORT, SEND, START, STOP

BUSY = TEXTS["kPortBusyBefore"] + "%d" + TEXTS["kPortBusyAfter"]
CONNECT_ERROR = (TEXTS["kErrorTitle"], TEXTS["kCannotConnectText"])


class Messages(testbed.BedTestCase):
    bed_tag = "messages"

    def dismiss(self, expected):
        self.assertEqual(self.session.message_box()[:2], expected)
        self.driver.ok("msgbox-ok")
        self.driver.wait_until(lambda: self.driver.call("nomsgbox") == ["ok", "0"], 10,
                               "the message to close")

    def open_message(self, which, owned):
        """Makes the worker show one of its messages: the busy port (after
        which it ends) or the failed connection (after which it polls on),
        owned by the panel, which it then holds, when the panel is in front,
        else with no owner."""
        for _attempt in range(3):
            self.open_session()
            self.driver.ok("activate" if owned else "foreground")
            if which == "busy":
                self.driver.set_text(FIELD_PORT, "65536")  # past the last port: the bind fails
                self.session.click(START)
            else:
                self.driver.set_text(FIELD_IP, "no such host!")
                self.session.start()
                self.session.click(SEND)
            box = self.session.message_box()  # title, text, owned, panel enabled
            self.assertEqual(box[:2], (TITLE, BUSY % 65536) if which == "busy" else CONNECT_ERROR)
            if box[2] == owned:
                break
            # Under Wine the panel may come to the front a moment after a
            # press (once X gives it the focus), in time to own the box.
            self.driver.ok("msgbox-ok")
            self.session.end()
        self.assertEqual(box[2:], (owned, not owned))

    def test_port_taken_between_two_runs_busy_message_then_a_run_that_receives(self):
        self.open_session(start=True)
        testbed.device_send(self.bed, "--send", "first")
        self.session.wait_text(BOX, "first")
        self.session.stop()
        # Another program on the operator host takes the port.
        holder = self.bed.operator_popen([testbed.PATHS["peer"], "--json", "--port", "2048"],
                                         stdout=subprocess.PIPE)
        self.assertIn('"listening"', testbed.Lines(holder.stdout).get(10) or "no line in 10 s")
        idle_threads = int(self.driver.ok("threads")[0])
        self.session.click(START)
        self.dismiss((TITLE, BUSY % 2048))
        self.driver.wait_until(lambda: int(self.driver.ok("threads")[0]) <= idle_threads, 10,
                               "the worker to end")
        self.assertEqual(self.driver.state(STOP), (True, True))  # the panel stays running
        self.assertEqual(self.driver.text(BOX), "")  # every new worker clears the box first
        holder.kill()
        holder.wait()
        self.session.stop()
        self.session.start()
        testbed.device_send(self.bed, "--send", "second")
        self.session.wait_text(BOX, "second")

    def test_stop_and_the_close_box_while_a_message_of_the_worker_is_open(self):
        for which in ("busy", "connect"):
            for owned in (False, True):
                with self.subTest(message=which, owned=owned):
                    self.open_message(which, owned)
                    if owned:
                        # No press reaches a window that its box holds.
                        self.assertEqual(self.driver.call("close"), ["error", "window", "disabled"])
                        self.driver.ok("msgbox-ok")
                    else:
                        # Stop turns the panel idle while the worker still
                        # waits in its message.
                        self.session.click(STOP)
                        self.session.wait_state(START, True, True)
                        self.assertEqual(self.driver.call("nomsgbox"), ["ok", "1"],
                                         "the message went before the panel turned idle")
                    # Pressed again and again, as an impatient operator does,
                    # the close box ends the program, which does not wait for
                    # a worker blocked in its message.
                    taken = False
                    for _ in range(200):
                        if self.session.program.poll() is not None:
                            break
                        taken = self.driver.call("close") == ["ok"] or taken
                    self.assertTrue(taken, "no press of the close box was taken")
                    try:
                        self.assertEqual(self.session.program.wait(10), 0)
                    except subprocess.TimeoutExpired:
                        self.fail("the program did not end after the close box")

    def test_network_start_failure_one_message_no_window_and_exit_code_0(self):
        self.assertTrue(testbed.PATHS["netfail_program"], "no test build with a failing sockets layer")
        process = self.bed.start_program(program=testbed.PATHS["netfail_program"])
        driver = testbed.Driver(self.bed)
        self.addCleanup(driver.close)
        title, text, owned = driver.ok("msgbox-any", 30000)
        self.assertEqual((driver.decode(title), driver.decode(text), owned),
                         (TITLE, TEXTS["kNetworkStartFailedText"], "0"))
        self.assertEqual(driver.ok("count-boxes"), ["1"])
        self.assertEqual(driver.call("find", 0)[0], "error")  # no main window
        driver.ok("msgbox-ok")
        self.assertEqual(process.wait(10), 0)

    def test_sends_while_the_device_host_vanishes_return_and_stop_works(self):
        # The device host comes back for the tests after this one.
        self.addCleanup(lambda: self.bed.device_present() or self.bed.add_device())
        self.open_session(start=True)
        peer = self.start_peer("--port", 2048)
        self.driver.set_text(FIELD_MESSAGE, "before")
        self.session.click(SEND)
        self.assertIsNotNone(peer.next(timeout=10), "no frame reached the device")

        # The device host goes while the presses go on, after the fifth.
        vanish = threading.Thread(target=self.bed.remove_device)
        presses = 0
        for press in range(30):
            if press == 5:
                vanish.start()
                self.addCleanup(vanish.join)
            answer = self.driver.call("click", SEND)
            # While a box of the worker owned by the panel is open, the panel
            # takes no clicks; any other refusal is a fault.
            self.assertTrue(answer[0] == "ok" or answer == ["error", "not", "clickable"], answer)
            presses += answer[0] == "ok"
            self.assertEqual(self.driver.ok("ping", 5000), ["1"], "the panel hangs")
            if self.driver.call("nomsgbox") == ["ok", "1"]:
                # Sends that cannot leave may be refused at once: one
                # message per Send, and nothing else.
                self.dismiss(CONNECT_ERROR)
        vanish.join()
        self.assertGreater(presses, 10)
        self.assertFalse(self.bed.device_present())
        # The worker still polls: a datagram from the operator host itself,
        # over its loopback (the one way left to reach the program), shows.
        sender = [testbed.PATHS["peer"], "--to", "127.0.0.1", "--send", "ok"]
        self.assertEqual(self.bed.operator_popen(sender).wait(10), 0)
        self.session.wait_text(BOX, "ok")
        self.session.stop_timed()  # fails when the panel does not answer within 10 s
        self.session.wait_released()
        self.assertEqual(self.session.close_window()[0], 0)
