#!/usr/bin/env python3
"""The picture editor in the real program, on the harness of e2e_test.py:
opened from the menu, a picture loaded through the file dialog, saved, its
paper preview compared with the simulated teleprinter's paper, then sent."""

import os
import unittest

import e2e_test as e2e
from e2e_test import Session, clusters, wait_for

EDITOR_CAPTION = "Tavirel  BAUDOT Picture Editor (with overstrike support)"
EDITOR_UNITS = (395, 355)
PICKER_CAPTION = "Open - Load file into editor"
PREVIEW_CAPTION = "Paper Preview"
GUIDE = (185, 195, 215)

setUpModule = e2e.setUpModule
tearDownModule = e2e.tearDownModule


# ------------------------------------------ the picture rules, written out again

PICTURE_SET = set(b" !\"#$&'(),-./0123456789:;?ABCDEFGHIJKLMNOPQRSTUVWXYZ\r\n")


def picture_char(b):
    if b >= 128:
        return 0
    b = ord(chr(b).upper()) if ord("a") <= b <= ord("z") else b
    return {ord("<"): 13, ord("^"): 10}.get(b, b if b in PICTURE_SET else 0)


def display_lines(data):
    """The editor's lines for a file's bytes."""
    f = [picture_char(b) for b in data] + [0]
    lines, line = [], ""
    for i, c in enumerate(f[:-1]):
        if c == 10:
            lines.append(line + "^")
            line = ""
        elif c == 13:
            line += "<"
            if i > 0 and f[i - 1] != 13 and f[i + 1] != 13:
                line += "<"
            if f[i + 1] not in (13, 10):
                lines.append(line)
                line = ""
        elif c:
            line += chr(c)
    return lines + ([line] if line else [])


def saved_bytes(lines):
    return bytes(picture_char(ord(c)) for c in "".join(lines)) + b"\0"


def inked(rows):
    """The struck columns of each row of printed text."""
    return [{c for c, ch in enumerate(row) if ch != " "} for row in rows]


# ------------------------------------------------------------------ the tests

class PictureEditor(Session):

    def open_editor(self):
        self.app.menu("PictureEdit")
        return self.window(EDITOR_CAPTION)

    def press(self, window, control):
        self.app.press(window, EDITOR_UNITS, control)

    def editor_lines(self, img):
        """Per text row of the edit box, its first and last inked column,
        measured against the ruler's digits above it."""
        sx, sy = img.width / EDITOR_UNITS[0], img.height / EDITOR_UNITS[1]
        ruler = clusters(img.dark_columns(int(7 * sx), int(73 * sy), int(388 * sx),
                                          int(82 * sy)), 2)
        self.assertEqual(len(ruler), 90, "the ruler's units line is not 90 digits")
        centre = lambda run: (run[0] + run[1]) / 2
        cell = (centre(ruler[-1]) - centre(ruler[0])) / 89
        left = centre(ruler[0]) - cell / 2
        x0, x1 = int(7 * sx) + 3, int(388 * sx) - 24  # inside the frame, clear of the scroll bar
        y0, y1 = int(84 * sy) + 3, int(348 * sy) - 3
        inked = [y for y in range(y0, y1) if img.dark_columns(x0, y, x1, y + 1)]
        rows = clusters(inked, 2)
        result = []
        for top, bottom in rows:
            xs = img.dark_columns(x0, top, x1, bottom + 1)
            result.append((top, int((xs[0] - left) // cell), int((xs[-1] - left) // cell)))
        return result

    def preview_cells(self, img):
        """The inked cells of the preview's paper, read off its guides: the
        platen's edges and a tick at the top of every row."""
        guide = lambda x, y: img.rgb(x, y) == GUIDE
        rules = [x for x in range(img.width)
                 if sum(guide(x, y) for y in range(0, img.height, 4)) > img.height // 16]
        self.assertGreaterEqual(len(rules), 2, "no platen edges in the preview")
        left, right = rules[0], rules[-1]
        x0 = left + 3
        cell = (right - 2 - x0) / 72
        tops = [y for y in range(img.height) if guide(left - 6, y)]
        self.assertGreater(len(tops), 2, "no row ticks in the preview")
        pitch = (tops[-1] - tops[0]) / (len(tops) - 1)
        # Rows cut off by the edge of the view are not read.
        tops = [t for t in tops if t + pitch < img.height and guide(left, int(t + pitch))]
        rows = []
        for top in tops:
            row = set()
            for c in range(72):
                a, b = int(x0 + c * cell) + 1, int(x0 + (c + 1) * cell) - 1
                if any(sum(img.rgb(x, y)) < 450 for y in range(top + 1, int(top + pitch) - 1)
                       for x in range(a, b)):
                    row.add(c)
            rows.append(row)
        while rows and not rows[-1]:
            rows.pop()
        return rows

    def test_load_save_and_preview_the_fish(self):
        with open(os.path.join(e2e.TESTDATA, "overstrike", "emoji_fish_ascii.txt"), "rb") as f:
            data = f.read()
        picture = self.put("emoji_fish_ascii.txt", data)
        lines = display_lines(data)
        # The test is worth something only if the picture has all of these.
        self.assertTrue(b"<" in data and b"+" in data and b"\r" in data and b"\n" in data)

        app = self.start()
        editor = self.open_editor()
        self.press(editor, (7, 6, 50, 14))  # Load File
        self.window(PICKER_CAPTION)
        app.type(picture, delay=10)
        app.key("Return")
        self.assertTrue(app.wait_windows(PICKER_CAPTION, 0), "the file dialog stayed")

        # What the editor shows: the first rows, column by column under the ruler.
        app.focus(editor)
        shown = wait_for(lambda: self.editor_lines(app.shot(editor)), 5, 0.2,
                         until=lambda r: len(r) > 20)
        self.assertTrue(shown, "no picture in the editor")
        shown = shown[:-1]  # the last row may be cut by the box's edge
        visible = lines[:len(shown)]
        expected = [(len(line) - len(line.lstrip(" ")), len(line) - 1) for line in visible]
        self.assertEqual([(a, b) for _, a, b in shown], expected)

        self.press(editor, (7, 23, 50, 14))  # Save File
        self.answer_box("File Saved")
        with open(picture + ".mod", "rb") as f:
            saved = f.read()
        self.assertEqual(saved, saved_bytes(lines))
        self.assertEqual(saved.count(b"\0"), 1, "a character outside the set was kept")

        self.press(editor, (338, 44, 50, 14))  # Preview
        preview = self.window(PREVIEW_CAPTION)
        paper = self.sim_print(picture + ".mod")
        while paper and not paper[-1].strip():
            paper.pop()
        cells = lambda: self.preview_cells(app.shot(preview))
        wait_for(lambda: cells() == inked(paper), 5, 0.2)
        self.assertEqual(cells(), inked(paper), "the preview is not the simulator's paper")

        app.focus(editor)
        self.press(editor, (338, 6, 50, 14))  # Quit / Exit
        self.assertTrue(app.wait_windows(EDITOR_CAPTION, 0), "the editor stayed open")
        self.assertTrue(app.wait_windows(PREVIEW_CAPTION, 0), "the preview outlived the editor")

        # Sent at the fastest rate in the settings: the simulator prints whatever arrives.
        def fastest(dialog):
            app.press(dialog, e2e.SETTINGS_UNITS, (55, 35, 55, 12))  # Baud Rate
            app.key("End", "Return")
        self.save_settings(fastest)
        self.send_file(picture + ".mod")
        self.window("Send File")  # asked about its line feeds without a CR: as it is
        app.key("n")
        timeout = 2 * len(saved) * e2e.CHAR_TIME + 30  # even at 45 baud, a shift for each
        self.assertTrue(wait_for(lambda: inked(self.sim.paper()) == inked(paper), timeout, 1.0),
                        "the machine's paper is not the preview's: %r" % (self.sim.paper(),))


if __name__ == "__main__":
    unittest.main(verbosity=2)
