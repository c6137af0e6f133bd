#!/usr/bin/env python3
"""The Utilities dialog in the real program, in a private X server, driven by
real X input events: the harness of e2e_test.py.

Each converter is run from its "Do It" button on a file typed into the input
field; what is checked is what a user sees and gets: the message boxes by
their captions, the output files' bytes, and the output path the dialog shows
(copied from its field and converted onward). With TAVIREL_E2E_KEEP=<folder>
the dialog is left there as utilities.png.
"""

import os
import unittest

import e2e_test as harness
from e2e_test import wait_for

UTILITIES_CAPTION = "Corrow ASCII/ITA#2 Tanslation Programs"
UNITS = (460, 230)
INPUT, OUTPUT = (7, 41, 220, 12), (237, 41, 216, 12)
TO_ITA2, CLEAN, TO_ASCII, TO_SUBSET = (319, 104, 50, 14), (79, 104, 50, 14), (81, 173, 50, 14), (
    324, 171, 50, 14)
EXIT = (403, 198, 50, 14)


def setUpModule():
    harness.setUpModule()


def tearDownModule():
    harness.tearDownModule()


class UtilitiesDialog(harness.Session):

    def put(self, name, data):
        path = os.path.join(self.tmp, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def read(self, name):
        with open(os.path.join(self.tmp, name), "rb") as f:
            return f.read()

    def open_dialog(self):
        app = self.app
        app.menu("Transfer")
        app.key("Down", "Down", "Down", "Return")  # the third item: Corrow Utilities
        found = app.windows(UTILITIES_CAPTION, sync=True, timeout=10)
        self.assertTrue(found, "the Utilities dialog did not open")
        self.dialog = found[0]
        app.focus(self.dialog)

    def set_input(self, text):
        self.app.press(self.dialog, UNITS, INPUT)
        self.app.key("ctrl+a", "BackSpace")
        if text:
            self.app.type(text)

    def do_it(self, button, caption):
        """Presses a button and answers the one message box it shows."""
        self.app.press(self.dialog, UNITS, button)
        box = self.app.windows(caption, sync=True, timeout=10)
        self.assertTrue(box, "no %r message box" % caption)
        self.app.focus(box[0])
        self.app.key("Return")
        self.assertTrue(self.app.wait_windows(caption, 0), "the %r box stayed" % caption)
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
        keep = os.environ.get("TAVIREL_E2E_KEEP")
        if keep:
            self.app.shot(self.dialog).save_png(os.path.join(keep, "utilities.png"))

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
