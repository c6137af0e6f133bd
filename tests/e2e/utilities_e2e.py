#!/usr/bin/env python3
"""The Utilities dialog in the real program, on the harness of e2e_test.py:
each converter run from its "Do It" button on a typed path, checked by its
message box, its output's bytes and the output path the dialog shows."""

import os
import unittest

import e2e_test as harness

UTILITIES_CAPTION = "Corrow ASCII/ITA#2 Tanslation Programs"
UNITS = (460, 230)
INPUT, OUTPUT = (7, 41, 220, 12), (237, 41, 216, 12)
TO_ITA2, CLEAN, TO_ASCII, TO_SUBSET = (319, 104, 50, 14), (79, 104, 50, 14), (81, 173, 50, 14), (
    324, 171, 50, 14)
EXIT = (403, 198, 50, 14)


setUpModule = harness.setUpModule
tearDownModule = harness.tearDownModule


class UtilitiesDialog(harness.Session):

    def read(self, name):
        with open(os.path.join(self.tmp, name), "rb") as f:
            return f.read()

    def open_dialog(self):
        self.app.menu("Transfer")
        self.app.key("Down", "Down", "Down", "Return")  # the third item: Corrow Utilities
        self.dialog = self.window(UTILITIES_CAPTION)

    def set_input(self, text):
        self.app.fill(self.dialog, UNITS, INPUT, text)

    def do_it(self, button, caption):
        """Presses a button and answers the one message box it shows."""
        self.app.press(self.dialog, UNITS, button)
        self.answer_box(caption)
        self.app.focus(self.dialog)

    def test_each_converter_from_its_button(self):
        self.start(simulator=False)
        hello = self.put("hello.txt", b"HELLO 123\r\n")
        tape = self.put("tape.raw", bytes([0, 0, 229, 32, 65]))
        art = self.put("art.txt", b"a~b\r\n")
        itself = self.put("self.ita", b"\x1f\x03")
        self.open_dialog()

        self.set_input(hello)
        self.do_it(TO_ITA2, "ASCII to BAUDOT")
        self.assertEqual(list(self.read("hello.ita")),
                         [31, 20, 1, 18, 18, 24, 4, 27, 23, 19, 1, 8, 2])

        # The path the dialog shows, copied into the input: the codes read
        # back bit-reversed.
        self.app.press(self.dialog, UNITS, OUTPUT)
        self.app.key("ctrl+a", "ctrl+c")
        self.set_input("")
        self.app.key("ctrl+v")
        self.do_it(TO_ASCII, "Binary to ASCII")
        self.assertEqual(self.read("hello.asc"), b"STDDA /?5\r\n")

        self.set_input(tape)
        self.do_it(CLEAN, "Clean")
        self.assertEqual(list(self.read("tape.bdo")), [5, 0, 1])
        self.set_input(art)
        self.do_it(TO_SUBSET, "ASCII to ITA2")
        self.assertEqual(self.read("art.asc"), b"A-B\r\n")

        # An input that is its own output is refused and survives.
        self.set_input(itself)
        self.do_it(TO_ITA2, "Output would replace the input!")
        self.assertEqual(self.read("self.ita"), b"\x1f\x03")

        # An empty field does nothing: no box holds up Exit.
        self.set_input("")
        self.app.press(self.dialog, UNITS, TO_ITA2)
        self.app.press(self.dialog, UNITS, EXIT)
        self.assertTrue(self.app.wait_windows(UTILITIES_CAPTION, 0), "Exit did not close it")
        self.assertTrue(self.app.alive())


if __name__ == "__main__":
    unittest.main(verbosity=2)
