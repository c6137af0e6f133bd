#!/usr/bin/env python3
"""The picture editor in the real program, in a private X server: opened from
the menu, a picture loaded through the file dialog, saved, and its paper
preview compared with the simulated teleprinter's paper. Uses the harness
of e2e_test.py and its environment.
"""

import os
import shutil
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


# What the machine prints, and the line codes "<" and "^" stand for.
PICTURE_SET = set(b" !\"#$&'(),-./0123456789:;?ABCDEFGHIJKLMNOPQRSTUVWXYZ\r\n")


# ------------------------------------------------------------------ the tests

class PictureEditor(Session):

    def press(self, window, control):
        self.app.press(window, EDITOR_UNITS, control)

    def editor_rows(self, img):
        """The inked text rows of the edit box, below a ruler of 90 digits."""
        sx, sy = img.width / EDITOR_UNITS[0], img.height / EDITOR_UNITS[1]
        ruler = clusters(img.dark_columns(int(7 * sx), int(73 * sy), int(388 * sx),
                                          int(82 * sy)), 2)
        self.assertEqual(len(ruler), 90, "the ruler's units line is not 90 digits")
        x0, x1 = int(7 * sx) + 3, int(388 * sx) - 24  # inside the frame, clear of the scroll bar
        y0, y1 = int(84 * sy) + 3, int(348 * sy) - 3
        return clusters([y for y in range(y0, y1) if img.dark_columns(x0, y, x1, y + 1)], 2)

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
        source = os.path.join(e2e.TESTDATA, "overstrike", "emoji_fish_ascii.txt")
        picture = os.path.join(self.tmp, "emoji_fish_ascii.txt")
        shutil.copy(source, picture)
        with open(picture, "rb") as f:
            data = f.read()
        # The test is worth something only if the picture has all of these.
        self.assertTrue(b"<" in data and b"+" in data and b"\r" in data and b"\n" in data)

        app = self.start(simulator=False)
        app.menu("PictureEdit")
        editor = self.window(EDITOR_CAPTION)
        self.press(editor, (7, 6, 50, 14))  # Load File
        self.window(PICKER_CAPTION)
        app.type(picture, delay=10)
        app.key("Return")
        self.assertTrue(app.wait_windows(PICKER_CAPTION, 0), "the file dialog stayed")

        # The picture fills the edit box (what its rows hold is the load's, tested alone).
        app.focus(editor)
        self.assertTrue(wait_for(lambda: len(self.editor_rows(app.shot(editor))) > 20, 5, 0.2),
                        "no picture in the editor")

        self.press(editor, (7, 23, 50, 14))  # Save File
        self.answer_box("File Saved")
        with open(picture + ".mod", "rb") as f:
            saved = f.read()
        self.assertEqual(saved.count(b"\0"), 1, "a character outside the set was kept")
        self.assertTrue(saved.endswith(b"\0") and set(saved[:-1]) <= PICTURE_SET, saved)

        self.press(editor, (338, 44, 50, 14))  # Preview
        preview = self.window(PREVIEW_CAPTION)
        paper = self.sim_print(picture + ".mod")
        while paper and not paper[-1].strip():
            paper.pop()
        expected_cells = [{c for c, ch in enumerate(row) if ch != " "} for row in paper]
        seen = [None]

        def same():
            seen[0] = self.preview_cells(app.shot(preview))
            return seen[0] == expected_cells
        wait_for(same, 5, 0.2)
        rows = max(len(seen[0]), len(expected_cells))
        pad = lambda cells: cells + [set()] * (rows - len(cells))
        differ = [(r, sorted(a ^ b)) for r, (a, b) in
                  enumerate(zip(pad(seen[0]), pad(expected_cells))) if a != b]
        self.assertEqual(differ, [], "rows and columns where the preview differs from the "
                         "simulator's paper")

        app.focus(editor)
        self.press(editor, (338, 6, 50, 14))  # Quit / Exit
        self.assertTrue(app.wait_windows(EDITOR_CAPTION, 0), "the editor stayed open")
        self.assertTrue(app.wait_windows(PREVIEW_CAPTION, 0), "the preview outlived the editor")


if __name__ == "__main__":
    unittest.main(verbosity=2)
