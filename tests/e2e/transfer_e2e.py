#!/usr/bin/env python3
"""Send File and Capture in the real program, in a private X server, with the
simulated teleprinter on the line. Shares the harness of e2e_test.py."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_test as h  # noqa: E402

setUpModule = h.setUpModule
tearDownModule = h.tearDownModule

CAPTURE_CAPTION, CAPTURE_SIZE = "Capture Data to Disk", (187, 82)
SEND_EXIT = (161, 48, 50, 14)
CAPTURE_NAME = (7, 21, 172, 14)
START, STOP, CAPTURE_EXIT = (59, 38, 53, 15), (128, 38, 51, 15), (7, 38, 37, 14)
FISH = os.path.join(h.TESTDATA, "overstrike", "emoji_fish_ita2.txt")
BAUD = 1200  # both ends, to keep the picture short


class Transfers(h.Session):

    def start_fast(self):
        """The machine and the program at BAUD (the speed list is the second
        stop; 1200 is eight below 45)."""
        app = self.start(True, "--baud", str(BAUD))
        self.save_settings(lambda dialog: app.key("Tab", *["Down"] * 8))
        return app

    def test_a_picture_prints_whole_and_exit_stops_the_machine(self):
        self.start_fast()
        expected = self.sim_print(FISH)
        dialog = self.send_file(FISH)
        self.assertTrue(h.wait_for(lambda: self.app.windows("Send File"), 60, 0.5),
                        "no Task complete")
        self.assertEqual(self.sim.paper(), expected)
        with open(FISH, "rb") as f:
            text = f.read().split(b"\0")[0]
        # Every character's code went out, plus its shifts, and nothing else.
        self.assertGreaterEqual(len(self.sim.raw()), len(text))
        self.answer_box("Send File")
        self.assertTrue(self.app.windows(h.SEND_CAPTION), "the dialog closed after the send")

        # Again, stopped halfway: the paper stops within one character.
        before = self.sim.number("count")
        self.app.fill(dialog, h.SEND_UNITS, h.SEND_NAME, FISH)
        self.app.press(dialog, h.SEND_UNITS, h.SEND_BUTTON)
        self.assertTrue(h.wait_for(lambda: self.sim.number("count") > before + 300, 20, 0.05))
        self.app.press(dialog, h.SEND_UNITS, SEND_EXIT)
        self.assertTrue(self.app.windows("Send File", sync=True, timeout=10),
                        "no Task complete after Exit")
        stopped = self.sim.number("count")
        h.wait_for(lambda: False, 0.5)  # the line stays quiet
        self.assertLessEqual(self.sim.number("count") - stopped, 1)
        self.answer_box("Send File")
        self.assertTrue(self.app.wait_windows(h.SEND_CAPTION, 0), "Exit left the dialog open")

    def capture(self):
        self.app.menu("Transfer")
        self.app.key("Down", "Down", "Return")
        return self.window(CAPTURE_CAPTION)

    def test_captures_land_byte_for_byte_and_failures_are_told(self):
        self.start_fast()
        dialog = self.capture()
        self.app.fill(dialog, CAPTURE_SIZE, CAPTURE_NAME, os.path.join(self.tmp, "no/such/x.cap"))
        self.app.press(dialog, CAPTURE_SIZE, START)
        self.answer_box("Can't create file!")
        self.app.fill(dialog, CAPTURE_SIZE, CAPTURE_NAME, "/dev/full")
        self.app.press(dialog, CAPTURE_SIZE, START)
        self.assertEqual(self.sim.ask("type RYRY\\r\\n", timeout=30), "ok")
        self.answer_box("ERROR: Write to file failed! (disk full?)")
        self.app.press(dialog, CAPTURE_SIZE, CAPTURE_EXIT)
        self.assertTrue(self.app.wait_windows(CAPTURE_CAPTION, 0), "Exit left the dialog open")

        path = os.path.join(self.tmp, "traffic.cap")
        dialog = self.capture()
        self.app.fill(dialog, CAPTURE_SIZE, CAPTURE_NAME, path)
        self.app.press(dialog, CAPTURE_SIZE, START)
        self.assertEqual(self.sim.ask("type THE QUICK BROWN FOX 1234\\r\\n", timeout=30), "ok")
        want = b"THE QUICK BROWN FOX 1234\r\n"
        self.assertTrue(h.wait_for(lambda: os.path.getsize(path) >= len(want), 10, 0.1))
        self.app.press(dialog, CAPTURE_SIZE, STOP)
        self.app.press(dialog, CAPTURE_SIZE, CAPTURE_EXIT)
        self.assertTrue(self.app.wait_windows(CAPTURE_CAPTION, 0), "Exit left the dialog open")
        with open(path, "rb") as f:
            self.assertEqual(f.read(), want)

    def test_a_hang_up_mid_send_is_told_and_a_second_send_goes_out(self):
        self.start()
        self.connect()  # 45 baud
        long_file = self.put("long.txt", b"RYRY " * 40)
        dialog = self.send_file(long_file)
        self.assertTrue(h.wait_for(lambda: self.sim.number("count") >= 3, 15, 0.1))
        self.assertEqual(self.sim.ask("hangup"), "ok")
        self.answer_box("Send File")  # the send stopped: the line takes nothing more
        # The dialog still answers: a send on the dead line says so again.
        self.app.fill(dialog, h.SEND_UNITS, h.SEND_NAME, long_file)
        self.app.press(dialog, h.SEND_UNITS, h.SEND_BUTTON)
        self.answer_box("Send File")
        self.app.press(dialog, h.SEND_UNITS, SEND_EXIT)
        self.assertTrue(self.app.wait_windows(h.SEND_CAPTION, 0), "Exit left the dialog open")
        # A machine on the line again: a new connection sends.
        self.sim.stop()
        self.sim = h.Simulator(self.ports, self.tmp)
        self.app.focus()
        self.app.key("shift+Next")
        self.connect()
        self.send_file(self.put("short.txt", b"RY\r\n"))
        self.answer_box("Send File")
        self.assertIn("RY", self.sim.paper())

    def counters(self, dialog):
        """The pixels of Bytes Read and Bytes Saved."""
        img = self.app.shot(dialog)
        sx, sy = img.width / CAPTURE_SIZE[0], img.height / CAPTURE_SIZE[1]
        return b"".join(img.row(y, int(37 * sx), int(179 * sx))
                        for y in range(int(58 * sy), int(71 * sy)))

    def test_a_45_baud_capture_counts_to_the_end(self):
        self.start()
        self.connect()
        dialog = self.capture()
        path = os.path.join(self.tmp, "slow.cap")
        self.app.fill(dialog, CAPTURE_SIZE, CAPTURE_NAME, path)
        self.app.press(dialog, CAPTURE_SIZE, START)
        typed = b"RYRYRYRYRY THE QUICK BROWN FOX\r\n"
        self.assertEqual(self.sim.ask("type RYRYRYRYRY THE QUICK BROWN FOX\\r\\n", timeout=60),
                         "ok")
        self.assertTrue(h.wait_for(lambda: os.path.getsize(path) == len(typed), 5, 0.1))

        def settled():
            first = self.counters(dialog)
            h.wait_for(lambda: False, 0.5)
            return first if self.counters(dialog) == first else None
        before = h.wait_for(settled, 5, 0)
        self.assertTrue(before, "the counters never settled")
        # Stop shows the truth: the same, if the counters kept up to the end.
        self.app.press(dialog, CAPTURE_SIZE, STOP)
        self.assertTrue(h.wait_for(lambda: self.counters(dialog) == before, 3, 0.1),
                        "the counters stopped before the traffic did")


if __name__ == "__main__":
    unittest.main(verbosity=2)
