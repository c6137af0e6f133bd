#!/usr/bin/env python3
"""The real program under Xvfb and openbox (xdotool, xwd) with the simulated
teleprinter on a pseudo-terminal: only what a user sees is checked. Name a
class to run one group of stories."""

import os
import queue
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TAVIREL_BIN = os.environ.get("TAVIREL_BIN") or os.path.join(REPO, "build/terminal/tavirel")
SIM_BIN = os.environ.get("TELEPRINTER_SIM_BIN") or os.path.join(
    REPO, "build/tools/teleprinter-sim/teleprinter-sim")
TESTDATA = os.environ.get("TAVIREL_TESTDATA") or os.path.join(
    os.path.dirname(REPO), "shared", "testdata")

MAIN, CLOSE = "Tavirel by Quennick / Zeltor", "Tavirel"
MENUS = ["Action", "Settings...", "Transfer", "PictureEdit", "View", "About"]
# A dialog is its caption and its size in dialog units; a control is (x, y, width, height).
SETTINGS = ("TTY Settings...", (200, 169))
SETTINGS_BAUD, SETTINGS_SAVE = (55, 35, 55, 12), (125, 103, 37, 14)
SETTINGS_DONE = (133, 119, 56, 14)
SEND = ("Send File (RAW)", (268, 71))
SEND_NAME, SEND_GO, SEND_EXIT = (7, 28, 254, 12), (91, 48, 50, 14), (161, 48, 50, 14)
CAPTURE = ("Capture Data to Disk", (187, 82))
CAPTURE_NAME, CAPTURE_START, CAPTURE_STOP = (7, 21, 172, 14), (59, 38, 53, 15), (128, 38, 51, 15)
CAPTURE_COUNTERS = (37, 58, 142, 13)
EDITOR = ("Tavirel  BAUDOT Picture Editor (with overstrike support)", (395, 355))
EDITOR_LOAD, EDITOR_SAVE = (7, 6, 50, 14), (7, 23, 50, 14)
EDITOR_PREVIEW, EDITOR_QUIT = (338, 44, 50, 14), (338, 6, 50, 14)
PICKER, PREVIEW, GUIDE = "Open - Load file into editor", "Paper Preview", (185, 195, 215)
UTILITIES = ("Corrow ASCII/ITA#2 Tanslation Programs", (460, 230))
UTILITIES_INPUT, TO_ITA2, UTILITIES_EXIT = (7, 41, 220, 12), (319, 104, 50, 14), (
    403, 198, 50, 14)

CHAR_TIME = 7.5 / 45  # one character at 45 baud, 5 data bits, 1.5 stop bits


def wait_for(get, timeout, interval=0.1, until=bool):
    """Polls get() until until(value) holds; returns that value, or None."""
    deadline = time.monotonic() + timeout
    while True:
        value = get()
        if until(value):
            return value
        if time.monotonic() >= deadline:
            return None
        time.sleep(interval)


def settled(look, timeout, interval):
    """look()'s value once two looks interval apart agree, or None."""
    seen = [None]

    def same():
        now, before = look(), seen[0]
        seen[0] = now
        return now if now is not None and now == before else None
    return wait_for(same, timeout, interval)


def clusters(values, gap):
    """Runs of values closer than gap: the words of a row of text."""
    runs = []
    for v in values:
        if runs and v - runs[-1][1] < gap:
            runs[-1][1] = v
        else:
            runs.append([v, v])
    return runs


def inked(rows):
    return [{c for c, ch in enumerate(row) if ch != " "} for row in rows]


def stop_process(proc):
    if proc is not None and proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(3)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait(3)


class Display:
    """Xvfb with openbox: without a window manager dialogs go unpainted and focus wanders."""

    def start(self):
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-nolisten", "tcp", "-screen", "0",
             "1280x1024x24"], pass_fds=(write_fd,), stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as numbers:  # ends early if Xvfb dies
            self.name = ":" + numbers.readline().strip()
        if self.name == ":":
            raise RuntimeError("Xvfb gave no display number")
        self.wm = subprocess.Popen(["openbox"], env=self.env(), stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        if not wait_for(lambda: self.run(["xdotool", "get_num_desktops"], check=False)
                        .returncode == 0, 15):
            raise RuntimeError("openbox did not start")

    def env(self, **extra):
        env = dict(os.environ, DISPLAY=self.name, **extra)
        for name in ("WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
            env.pop(name, None)
        return env

    def run(self, args, timeout=15, check=True):
        for _ in range(3):
            result = subprocess.run(args, env=self.env(), stdout=subprocess.PIPE,
                                    stderr=subprocess.PIPE, timeout=timeout)
            # A refused connection is the harness's trouble, not the program's:
            # seen under a burst of short-lived clients.
            if b"Can't open display" not in result.stderr:
                break
            time.sleep(0.1)
        if check and result.returncode != 0:
            raise RuntimeError("%s failed: %s" % (" ".join(args), result.stderr.decode()))
        return result

    def stop(self):
        stop_process(self.wm)
        stop_process(self.xvfb)


DISPLAY = Display()


def setUpModule():
    for tool in ("Xvfb", "openbox", "xdotool", "xwd"):
        if shutil.which(tool) is None:
            raise unittest.SkipTest(tool + " is not installed")
    for path in (TAVIREL_BIN, SIM_BIN):
        if not os.access(path, os.X_OK):
            raise RuntimeError("not found: " + path)
    DISPLAY.start()


def tearDownModule():
    DISPLAY.stop()


class Image:
    """An X window dump: 24-bit TrueColor pixels at 32 bits each."""

    def __init__(self, data):
        h = struct.unpack(">25I", data[:100])
        self.width, self.height, self._stride, self._bytes = h[4], h[5], h[12], h[11] // 8
        self._pixels = data[h[0] + 12 * h[19]:]  # past the header and the colour map
        self._order = "little" if h[7] == 0 else "big"
        self._shifts = [(m, (m & -m).bit_length() - 1) for m in h[14:17]]  # red, green, blue

    def rgb(self, x, y):
        at = y * self._stride + self._bytes * x
        v = int.from_bytes(self._pixels[at:at + self._bytes], self._order)
        return tuple((v & m) >> s for m, s in self._shifts)

    def row(self, y, x0, x1):
        return self._pixels[y * self._stride + self._bytes * x0:y * self._stride + self._bytes * x1]

    def dark_columns(self, x0, y0, x1, y1):
        return [x for x in range(max(0, x0), min(self.width, x1))
                if any(sum(self.rgb(x, y)) < 300 for y in range(max(0, y0), min(self.height, y1)))]

    def area(self, units, box):
        """The pixels of a box given in dialog units."""
        sx, sy = self.width / units[0], self.height / units[1]
        x, y, w, h = box
        return b"".join(self.row(r, int(x * sx), int((x + w) * sx))
                        for r in range(int(y * sy), int((y + h) * sy)))


class Simulator:
    def __init__(self, port_folder, logdir, *args):
        self.log = open(os.path.join(logdir, "sim.stderr"), "w")
        self.proc = subprocess.Popen([SIM_BIN, "--port-folder", port_folder, *args],
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=self.log, text=True, bufsize=1)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()
        if not self._line(15).startswith("ready "):
            raise RuntimeError("the simulator is not ready")

    def _read(self):
        try:
            for line in self.proc.stdout:
                self.lines.put(line.rstrip("\n"))
        except (OSError, ValueError):
            pass  # closed while stopping
        self.lines.put(None)

    def _line(self, timeout):
        try:
            line = self.lines.get(timeout=timeout)
        except queue.Empty:
            raise RuntimeError("simulator silent for %.0f s" % timeout)
        if line is None:
            raise RuntimeError("simulator ended (exit %s)" % self.proc.poll())
        return line

    def ask(self, command, timeout=10):
        self.proc.stdin.write(command + "\n")
        self.proc.stdin.flush()
        return self._line(timeout)

    def answer(self, command):
        """The answer without the echoed keyword."""
        line, keyword = self.ask(command), command.split(" ", 1)[0]
        if line != keyword and not line.startswith(keyword + " "):
            raise RuntimeError("%s answered %r" % (command, line))
        return line[len(keyword) + 1:]

    def paper(self):
        return self.answer("paper").split("|")

    def number(self, command):
        return int(self.answer(command))

    def stop(self):
        stop_process(self.proc)
        for stream in (self.proc.stdin, self.proc.stdout, self.log):
            try:
                stream.close()
            except OSError:
                pass


class Tavirel:
    def __init__(self, xdg, logdir):
        self.log = open(os.path.join(logdir, "tavirel.log"), "w")
        runtime = os.path.join(xdg, "runtime")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        self.proc = subprocess.Popen([TAVIREL_BIN], stdout=self.log, stderr=subprocess.STDOUT,
                                     env=DISPLAY.env(XDG_CONFIG_HOME=xdg, XDG_RUNTIME_DIR=runtime))
        found = wait_for(lambda: self.windows(MAIN), 15)
        if not found:
            raise RuntimeError("no main window appeared")
        self.window = found[0]
        self.focus()

    def windows(self, caption):
        """This process's visible windows with exactly that caption."""
        pattern = "^" + "".join("\\" + c if c in "\\.^$|?*+()[]{}" else c for c in caption) + "$"
        result = DISPLAY.run(["xdotool", "search", "--all", "--onlyvisible", "--pid",
                              str(self.proc.pid), "--name", pattern], check=False)
        # The pattern can match a window by more than its caption: compare exactly.
        return [w for w in result.stdout.decode().split() if DISPLAY.run(
            ["xdotool", "getwindowname", w], check=False).stdout.decode().rstrip("\n") == caption]

    def wait_windows(self, caption, count, timeout=10):
        return wait_for(lambda: len(self.windows(caption)) == count, timeout)

    def focus(self, window=None):
        """Activates the window; the window manager may give a modal dialog
        the focus instead, as a user would get too."""
        window = window or self.window
        DISPLAY.run(["xdotool", "windowactivate", window], check=False)
        wait_for(lambda: DISPLAY.run(["xdotool", "getactivewindow"], check=False)
                 .stdout.decode().strip() == window, 3)

    def key(self, *keys):
        DISPLAY.run(["xdotool", "key", "--delay", "60", *keys])

    def type(self, text, delay=30):
        DISPLAY.run(["xdotool", "type", "--delay", str(delay), text], timeout=60 + len(text))

    def click(self, x, y, window=None, button="1", repeat=1):
        DISPLAY.run(["xdotool", "mousemove", "--window", window or self.window, str(int(x)),
                     str(int(y)), "click", "--repeat", str(repeat), "--delay", "40", button])

    def press(self, window, units, control):
        """Clicks the middle of a dialog control once the dialog is painted."""
        if not wait_for(lambda: self.shot(window).dark_columns(0, 0, 80, 80), 5):
            raise AssertionError("dialog never painted")
        width, height = self.geometry(window)
        x, y, w, h = control
        self.click((x + w / 2) * width / units[0], (y + h / 2) * height / units[1], window)

    def fill(self, window, units, field, text):
        self.focus(window)
        self.press(window, units, field)
        self.key("ctrl+a", "BackSpace")
        self.type(text, delay=5)

    def geometry(self, window=None):
        out = DISPLAY.run(["xdotool", "getwindowgeometry", "--shell", window or self.window])
        values = dict(line.split("=", 1) for line in out.stdout.decode().split())
        return int(values["WIDTH"]), int(values["HEIGHT"])

    def shot(self, window=None):
        return Image(DISPLAY.run(["xwd", "-id", window or self.window, "-silent"]).stdout)

    def menu(self, name):
        """Clicks a menu bar label, found by its ink so the test follows the font."""
        def labels():
            img = self.shot()
            return clusters(img.dark_columns(0, 2, img.width, 18), gap=7)
        runs = wait_for(labels, 5, until=lambda r: len(r) == len(MENUS))
        if not runs:
            raise AssertionError("menu bar labels not found: %r" % (labels(),))
        a, b = runs[MENUS.index(name)]
        self.click((a + b) // 2, 10)

    def stop(self):
        stop_process(self.proc)
        self.log.close()


class Session(unittest.TestCase):
    """A fresh configuration folder per test, and every process ended after."""

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="tavirel-e2e-")
        self.xdg = os.path.join(self.tmp, "xdg")
        self.ports = os.path.join(self.xdg, "tavirel", "ports")
        os.makedirs(self.ports)
        self.sim = self.app = None
        self.addCleanup(shutil.rmtree, self.tmp, True)

    def tearDown(self):
        if self.app is not None:
            if not self._outcome.success:
                for name in ("sim.stderr", "tavirel.log"):
                    if os.path.exists(os.path.join(self.tmp, name)):
                        with open(os.path.join(self.tmp, name), errors="replace") as f:
                            sys.stderr.write("\n%s:\n%s" % (name, f.read()))
            self.app.stop()
        if self.sim is not None:
            self.sim.stop()

    def start(self, simulator=True):
        if simulator:
            self.sim = Simulator(self.ports, self.tmp)
        self.app = Tavirel(self.xdg, self.tmp)
        return self.app

    def attached(self, what, answer="yes"):
        self.assertTrue(wait_for(lambda: self.sim.answer("attached") == answer, 5), what)

    def connect(self):
        self.app.key("shift+Prior")
        self.attached("Shift+PgUp did not take the line")

    def expect(self, get, want, timeout, what):
        """Polls get() until it gives want; fails showing the last value."""
        last = [None]

        def look():
            last[0] = get()
            return last[0] == want
        wait_for(look, timeout, 0.2)
        self.assertEqual(last[0], want, what)

    def window(self, caption):
        """The window with that caption once it is up, focused."""
        found = wait_for(lambda: self.app.windows(caption), 10)
        self.assertTrue(found, "no window " + caption)
        self.app.focus(found[0])
        return found[0]

    def answer_box(self, caption):
        """Presses the default button of the message box with that caption."""
        self.window(caption)
        self.app.key("Return")
        self.assertTrue(self.app.wait_windows(caption, 0), caption + " stayed")

    def transfer_menu(self, downs, dialog):
        self.app.focus()
        self.app.menu("Transfer")
        self.app.key(*["Down"] * downs, "Return")
        return self.window(dialog[0])

    def save_settings(self, choose):
        """Lets choose(dialog) set Settings, saves, which connects, then Done & Exit."""
        self.app.focus()
        self.app.menu("Settings...")
        dialog = self.window(SETTINGS[0])
        choose(dialog)
        self.app.press(dialog, SETTINGS[1], SETTINGS_SAVE)
        self.attached("Save did not connect")
        self.app.press(dialog, SETTINGS[1], SETTINGS_DONE)
        self.assertTrue(self.app.wait_windows(SETTINGS[0], 0), "Settings stayed open")

    def send_file(self, path):
        """Sends a file with Send File; returns the dialog, left open."""
        self.app.focus()
        self.app.key("shift+F1")
        dialog = self.window(SEND[0])
        self.app.fill(dialog, SEND[1], SEND_NAME, path)
        self.app.press(dialog, SEND[1], SEND_GO)
        return dialog

    def put(self, name, data):
        path = os.path.join(self.tmp, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def read(self, path):
        with open(os.path.join(self.tmp, path), "rb") as f:
            return f.read()

    def view_top(self, img):
        """The view is white and the menu bar above it is not."""
        return next((y for y in range(img.height)
                     if all(c >= 250 for c in img.rgb(img.width // 2, y))), img.height)


class Terminal(Session):

    def test_typed_lines_print_and_the_machines_text_shows(self):
        app = self.start()
        self.connect()
        lines = ["RYRY THE QUICK BROWN FOX 1234, (OK)?", "73 DE K"]
        for line in lines:
            app.type(line)
            app.key("Return")  # CR LF: the next line starts at the left
        # Each character and each shift takes one character time on the line.
        self.expect(self.sim.paper, lines, 2 * (len("".join(lines)) + 20) * CHAR_TIME + 5,
                    "the paper is not what was typed")

        # The machine's answer: two words on the first row from the left
        # margin, five letters wider than two figures.
        self.assertEqual(self.sim.ask("type HELLO 73\\r\\n", timeout=30), "ok")

        def words():
            img = app.shot()
            top = self.view_top(img)
            return clusters(img.dark_columns(0, top, img.width - 24, top + 14), 6)
        shown = wait_for(words, 5, 0.2, until=lambda w: len(w) == 2)
        self.assertTrue(shown, "not two words on the first row: %r" % (words(),))
        (a0, a1), (b0, b1) = shown
        self.assertLess(a0, 8, "the text does not start at the left margin")
        self.assertGreater(a1 - a0, 2 * (b1 - b0), repr(shown))

    def picture(self, img):
        """The view's tallest block of ink (rows 40 pixels apart are apart):
        its place and its pixels."""
        top, right = self.view_top(img), img.width - 24
        # The view's left edge is white down to the bars below it.
        bottom = next((y + 1 for y in range(img.height - 1, -1, -1)
                       if all(c >= 250 for c in img.rgb(1, y))), img.height)
        if top >= bottom:
            return None
        white = img.row(top, img.width // 2, img.width // 2 + 1)
        ink = [y for y in range(top, bottom) if img.row(y, 0, right) != white * right]
        if not ink:
            return None
        y0, y1 = max(clusters(ink, 40), key=lambda run: run[1] - run[0])
        xs = [x for x in range(right) if any(img.row(y, x, x + 1) != white
                                             for y in range(y0, y1 + 1))]
        return (xs[0], y0), b"".join(img.row(y, xs[0], xs[-1] + 1) for y in range(y0, y1 + 1))

    def test_overstruck_art_survives_scrolling_resizing_and_the_bottom_shift(self):
        app = self.start()
        self.connect()
        fish = self.read(os.path.join(TESTDATA, "overstrike", "emoji_fish_ita2.txt"))
        shown = lambda: self.picture(app.shot())
        self.assertEqual(self.sim.ask("burst " + self.put("fish.txt", fish)), "ok")  # one write
        first = settled(shown, 10, 0.2)
        self.assertTrue(first, "no picture settled on the screen")

        # Ten turns of the wheel move thirty lines, past the picture and the caret.
        width, height = app.geometry()
        app.click(width // 2, height // 2, button="5", repeat=10)
        self.assertTrue(wait_for(lambda: shown() is None, 10), "the view did not scroll away")
        app.click(width // 2, height // 2, button="4", repeat=10)
        self.expect(shown, first, 10, "the picture changed when scrolled away and back")

        for size in ((width * 2 // 3, height * 2 // 3), (width, height)):
            DISPLAY.run(["xdotool", "windowsize", app.window, *map(str, size)])
            self.assertTrue(wait_for(lambda: app.geometry() == size, 5), "not resized")
        self.expect(shown, first, 10, "the picture changed after a resize and back")

        # Past the buffer's last row, every line feed moves all the strikes up.
        lines = b"".join(b"LINE %d\r\n" % n for n in range(1, 321))
        self.assertEqual(self.sim.ask("burst " + self.put("more.txt", lines + fish)), "ok")
        self.expect(lambda: (shown() or (0, 0))[1], first[1], 10, "changed after 320 lines")

    def test_a_failed_connect_is_told_and_close_asks_and_releases_the_line(self):
        # A dangling link names the port; nothing answers behind it.
        os.symlink(os.path.join(self.tmp, "no-such-device"), os.path.join(self.ports, "COM3"))
        app = self.start(simulator=False)
        app.key("shift+Prior")
        # Its message box shares the main window's caption.
        self.assertTrue(app.wait_windows(MAIN, 2), "no message box")
        app.focus([w for w in app.windows(MAIN) if w != app.window][0])
        app.key("Return")
        self.assertTrue(app.wait_windows(MAIN, 1), "the message box stayed")

        self.sim = Simulator(self.ports, self.tmp)  # a machine on the link now
        app.focus()
        self.connect()
        app.key("alt+F4")  # the close box's route, through the window manager
        self.window(CLOSE)
        app.key("Escape")
        self.assertTrue(app.wait_windows(CLOSE, 0), "the question stayed after Cancel")
        self.assertEqual(self.sim.answer("attached"), "yes", "Cancel dropped the line")
        app.focus()  # the menu's route
        app.menu("Action")
        app.key("x")  # E&xit
        self.window(CLOSE)
        app.key("Return")
        self.assertEqual(app.proc.wait(10), 0, "Tavirel did not end cleanly after OK")
        self.attached("the line is still held", "no")
        self.assertEqual(self.sim.number("hangups"), 1)


class Transfers(Session):

    def test_a_send_stops_at_exit_and_at_a_hang_up_and_a_new_connection_sends(self):
        app = self.start()
        self.connect()  # 45 baud: a long file outlasts what follows
        long_file = self.put("long.txt", b"RYRY " * 40)
        count = lambda: self.sim.number("count")
        dialog = self.send_file(long_file)
        self.assertTrue(wait_for(lambda: count() >= 3, 15), "printing did not start")
        app.press(dialog, SEND[1], SEND_EXIT)
        self.answer_box("Send File")  # Task complete
        stopped = count()
        self.assertFalse(wait_for(lambda: count() > stopped + 1, 1), "the line went on after Exit")
        self.assertTrue(app.wait_windows(SEND[0], 0), "Exit left the dialog open")

        dialog = self.send_file(long_file)
        self.assertTrue(wait_for(lambda: count() >= stopped + 3, 15), "the second send stalled")
        self.assertEqual(self.sim.ask("hangup"), "ok")
        self.answer_box("Send File")  # the send stopped: the line takes nothing more
        app.press(dialog, SEND[1], SEND_EXIT)
        self.assertTrue(app.wait_windows(SEND[0], 0), "Exit left the dialog open")

        self.sim.stop()  # a machine on the line again: a new connection sends
        self.sim = Simulator(self.ports, self.tmp)
        app.focus()
        app.key("shift+Next")
        self.connect()
        self.send_file(self.put("short.txt", b"RY\r\n"))
        self.answer_box("Send File")
        self.assertIn("RY", self.sim.paper())

    def test_a_45_baud_capture_lands_whole_and_counts_to_the_end(self):
        app = self.start()
        self.connect()
        dialog = self.transfer_menu(2, CAPTURE)
        app.fill(dialog, CAPTURE[1], CAPTURE_NAME, os.path.join(self.tmp, "slow.cap"))
        app.press(dialog, CAPTURE[1], CAPTURE_START)
        text = "RYRYRYRYRY THE QUICK BROWN FOX\r\n"
        self.assertEqual(self.sim.ask("type " + text.replace("\r\n", "\\r\\n"), 60), "ok")
        self.expect(lambda: self.read("slow.cap"), text.encode(), 5, "not what was sent")
        counters = lambda: app.shot(dialog).area(CAPTURE[1], CAPTURE_COUNTERS)
        before = settled(counters, 5, 0.5)
        self.assertTrue(before, "the counters never settled")
        # Stop shows the truth: the same, if the counters kept up to the end.
        app.press(dialog, CAPTURE[1], CAPTURE_STOP)
        self.expect(counters, before, 3, "the counters stopped before the traffic did")


class Picture(Session):

    def preview_cells(self, img):
        """The inked cells of the preview's paper, read off its guides: the
        platen's edges and a tick at the top of every row; None before them."""
        guide = lambda x, y: img.rgb(x, y) == GUIDE
        rules = [x for x in range(img.width)
                 if sum(guide(x, y) for y in range(0, img.height, 4)) > img.height // 16]
        tops = [y for y in range(img.height) if rules and guide(rules[0] - 6, y)]
        if len(rules) < 2 or len(tops) < 3:
            return None
        x0, cell = rules[0] + 3, (rules[-1] - 2 - rules[0] - 3) / 72
        pitch = (tops[-1] - tops[0]) / (len(tops) - 1)
        rows = [{c for c in range(72) if any(
            sum(img.rgb(x, y)) < 450 for y in range(top + 1, int(top + pitch) - 1)
            for x in range(int(x0 + c * cell) + 1, int(x0 + (c + 1) * cell) - 1))}
            # Rows cut off by the edge of the view are not read.
            for top in tops if top + pitch < img.height and guide(rules[0], int(top + pitch))]
        while rows and not rows[-1]:
            rows.pop()
        return rows

    def test_a_picture_is_loaded_saved_previewed_and_sent(self):
        picture = self.put("fish.txt", self.read(
            os.path.join(TESTDATA, "overstrike", "emoji_fish_ascii.txt")))
        app = self.start()
        app.menu("PictureEdit")
        editor = self.window(EDITOR[0])
        app.press(editor, EDITOR[1], EDITOR_LOAD)
        self.window(PICKER)
        app.type(picture, delay=10)
        app.key("Return")
        self.assertTrue(app.wait_windows(PICKER, 0), "the file dialog stayed")
        app.focus(editor)
        app.press(editor, EDITOR[1], EDITOR_SAVE)
        self.answer_box("File Saved")
        # The simulated machine's own print of the saved file, without a line.
        subprocess.run([SIM_BIN, "--print", picture + ".mod", "--paper-text", picture + ".paper"],
                       check=True, env=dict(os.environ, QT_QPA_PLATFORM="offscreen"), timeout=30)
        paper = self.read(picture + ".paper").decode("latin-1").rstrip().split("\n")
        self.assertGreater(len(paper), 20, "the saved picture is not the fish")

        app.focus(editor)
        app.press(editor, EDITOR[1], EDITOR_PREVIEW)
        preview = self.window(PREVIEW)
        self.expect(lambda: self.preview_cells(app.shot(preview)), inked(paper), 5,
                    "the preview is not the simulator's paper")
        app.focus(editor)
        app.press(editor, EDITOR[1], EDITOR_QUIT)
        self.assertTrue(app.wait_windows(EDITOR[0], 0), "the editor stayed open")
        self.assertTrue(app.wait_windows(PREVIEW, 0), "the preview outlived the editor")

        # Sent at the fastest rate in the settings: the simulator prints whatever arrives.
        def fastest(dialog):
            app.press(dialog, SETTINGS[1], SETTINGS_BAUD)
            app.key("End", "Return")
        self.save_settings(fastest)
        self.send_file(picture + ".mod")
        self.window("Send File")  # asked about its line feeds without a CR: as it is
        app.key("n")
        timeout = 2 * os.path.getsize(picture + ".mod") * CHAR_TIME + 30  # even at 45 baud
        self.expect(lambda: inked(self.sim.paper()), inked(paper), timeout,
                    "the machine's paper is not the preview's")


class Utilities(Session):

    def test_a_converter_runs_from_its_button(self):
        app = self.start(simulator=False)
        hello = self.put("hello.txt", b"HELLO 123\r\n")
        dialog = self.transfer_menu(3, UTILITIES)
        app.fill(dialog, UTILITIES[1], UTILITIES_INPUT, hello)
        app.press(dialog, UTILITIES[1], TO_ITA2)
        self.answer_box("ASCII to BAUDOT")
        codes = [31, 20, 1, 18, 18, 24, 4, 27, 23, 19, 1, 8, 2]  # LTRS HELLO FIGS 123 CR LF
        self.assertEqual(list(self.read("hello.ita")), codes)
        app.focus(dialog)
        app.press(dialog, UTILITIES[1], UTILITIES_EXIT)
        self.assertTrue(app.wait_windows(UTILITIES[0], 0), "Exit did not close it")


if __name__ == "__main__":
    unittest.main(verbosity=2)
