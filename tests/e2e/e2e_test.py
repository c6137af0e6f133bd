#!/usr/bin/env python3
"""The real program in a private X server (Xvfb, openbox, xdotool, xwd), driven
by real X input, talking to the simulated teleprinter over a pseudo-terminal.
Only what a user sees is checked: the machine's paper and line, the program's
pixels, window titles and exit code. Paths: TAVIREL_BIN, TELEPRINTER_SIM_BIN,
TAVIREL_TESTDATA, else beside the sources."""

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

MAIN_CAPTION = "Tavirel by Quennick / Zeltor"
CLOSE_CAPTION = "Tavirel"
SETTINGS_CAPTION = "TTY Settings..."
ABOUT_CAPTION = "About Tavirel"
# Dialog sizes and controls in dialog units: (x, y, width, height).
SETTINGS_UNITS, SETTINGS_SAVE, SETTINGS_DONE = (200, 169), (125, 103, 37, 14), (133, 119, 56, 14)
SEND_CAPTION, SEND_UNITS = "Send File (RAW)", (268, 71)
SEND_NAME, SEND_BUTTON = (7, 28, 254, 12), (91, 48, 50, 14)

# One character on the line at 45 baud, 5 data bits, 1.5 stop bits: 7.5 bits.
CHAR_TIME = 7.5 / 45


def exact(title):
    """xdotool matches names as regular expressions."""
    return "^" + "".join("\\" + c if c in "\\.^$|?*+()[]{}" else c for c in title) + "$"


def wait_for(get, timeout, interval=0.05, until=bool):
    """Polls get() until until(value) holds; returns that value, or None."""
    deadline = time.monotonic() + timeout
    while True:
        value = get()
        if until(value):
            return value
        if time.monotonic() >= deadline:
            return None
        time.sleep(interval)


def stop_process(proc, grace=3.0):
    if proc is not None and proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(grace)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait(grace)


# ---------------------------------------------------------------- the display

class Display:
    """A private Xvfb with openbox in it: without a window manager Qt's xcb
    backend leaves dialogs unpainted and keyboard focus wanders."""

    def __init__(self):
        self.xvfb = self.wm = self.name = None
        self.logdir = tempfile.mkdtemp(prefix="tavirel-e2e-x-")

    def start(self):
        read_fd, write_fd = os.pipe()
        with open(os.path.join(self.logdir, "xvfb.log"), "w") as log:
            self.xvfb = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_fd), "-nolisten", "tcp",
                 "-screen", "0", "1280x1024x24"],
                pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=log)
        os.close(write_fd)
        with os.fdopen(read_fd) as numbers:  # ends early if Xvfb dies
            number = numbers.readline().strip()
        if not number:
            raise RuntimeError("Xvfb gave no display number")
        self.name = ":" + number
        with open(os.path.join(self.logdir, "openbox.log"), "w") as log:
            self.wm = subprocess.Popen(["openbox"], env=self.env(),
                                       stdout=subprocess.DEVNULL, stderr=log)
        # The window manager is up once it answers for the desktops.
        if not wait_for(lambda: self.run(["xdotool", "get_num_desktops"], check=False)
                        .returncode == 0, 15, 0.1):
            raise RuntimeError("openbox did not start")

    def env(self, **extra):
        env = {k: v for k, v in os.environ.items()
               if k not in ("WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        return dict(env, DISPLAY=self.name, **extra)

    def run(self, args, timeout=15, check=True):
        for attempt in range(3):
            result = subprocess.run(args, env=self.env(), stdout=subprocess.PIPE,
                                    stderr=subprocess.PIPE, timeout=timeout)
            # A refused connection to the server is the harness's trouble, not
            # the program's: seen once under a burst of short-lived clients.
            if b"Can't open display" not in result.stderr:
                break
            time.sleep(0.1)
        if check and result.returncode != 0:
            raise RuntimeError("%s failed (%d): %s" % (
                " ".join(args), result.returncode, result.stderr.decode(errors="replace")))
        return result

    def stop(self):
        stop_process(self.wm)
        stop_process(self.xvfb)
        shutil.rmtree(self.logdir, ignore_errors=True)


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


# ------------------------------------------------------------------- pictures

class Image:
    """An X window dump: 24-bit TrueColor pixels at 32 bits each."""

    def __init__(self, data):
        h = struct.unpack(">25I", data[:100])
        if h[11] not in (24, 32):
            raise ValueError("unexpected xwd pixel size %d" % h[11])
        self.width, self.height, self._stride, self._bytes = h[4], h[5], h[12], h[11] // 8
        self._pixels = data[h[0] + 12 * h[19]:]  # past the header and the colour map
        self._order = "little" if h[7] == 0 else "big"
        self._shifts = [(m, (m & -m).bit_length() - 1) for m in h[14:17]]  # red, green, blue

    def rgb(self, x, y):
        at = y * self._stride + self._bytes * x
        v = int.from_bytes(self._pixels[at:at + self._bytes], self._order)
        return tuple((v & m) >> s for m, s in self._shifts)

    def dark_columns(self, x0, y0, x1, y1):
        return [x for x in range(max(0, x0), min(self.width, x1))
                if any(sum(self.rgb(x, y)) < 300 for y in range(max(0, y0), min(self.height, y1)))]

    def row(self, y, x0, x1):
        at = y * self._stride
        return self._pixels[at + self._bytes * x0:at + self._bytes * x1]

    def ink(self, box):
        """How much darker than white a box is, summed over its pixels."""
        x0, y0, x1, y1 = box
        return sum(765 - sum(self.rgb(x, y)) for y in range(y0, y1) for x in range(x0, x1))


def clusters(columns, gap):
    """Runs of columns closer than gap: the words of a line of text."""
    runs = []
    for x in columns:
        if runs and x - runs[-1][1] < gap:
            runs[-1][1] = x
        else:
            runs.append([x, x])
    return runs


# ------------------------------------------------------ the simulated machine

class Simulator:
    def __init__(self, port_folder, logdir, *args):
        self.log = open(os.path.join(logdir, "sim.stderr"), "w")
        self.proc = subprocess.Popen(
            [SIM_BIN, "--port-folder", port_folder, *args],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=self.log,
            text=True, bufsize=1)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()
        ready = self._line(15)
        if not ready.startswith("ready "):
            raise RuntimeError("simulator said %r" % ready)

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

    def answer(self, command, timeout=10):
        """The answer's payload, without the echoed keyword."""
        line = self.ask(command, timeout)
        keyword = command.split(" ", 1)[0]
        if line != keyword and not line.startswith(keyword + " "):
            raise RuntimeError("%s answered %r" % (command, line))
        return line[len(keyword) + 1:]

    def paper(self):
        return self.answer("paper").split("|")

    def raw(self):
        return self.answer("raw").split()

    def number(self, command):
        return int(self.answer(command))

    def stop(self):
        stop_process(self.proc)  # a terminated simulator ends as "quit" ends it
        for stream in (self.proc.stdin, self.proc.stdout):
            try:
                stream.close()
            except OSError:
                pass
        self.log.close()


# ------------------------------------------------------------ the program

class Tavirel:
    def __init__(self, xdg, logdir):
        self.log = open(os.path.join(logdir, "tavirel.log"), "w")
        runtime = os.path.join(xdg, "runtime")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        self.proc = subprocess.Popen(
            [TAVIREL_BIN], stdout=self.log, stderr=subprocess.STDOUT,
            env=DISPLAY.env(XDG_CONFIG_HOME=xdg, XDG_RUNTIME_DIR=runtime))
        found = self.windows(MAIN_CAPTION, sync=True)
        if not found:
            raise RuntimeError("no main window appeared")
        self.window = found[0]
        self.focus()

    def windows(self, caption, sync=False, timeout=15):
        """Visible windows of this process with exactly that caption; with
        sync, asks again until there is one, for at most timeout seconds
        (xdotool's own --sync can come back empty at once)."""
        if sync:
            return wait_for(lambda: self.windows(caption), timeout, 0.1) or []
        # --all: without it a window of the process with any caption would do.
        result = DISPLAY.run(["xdotool", "search", "--all", "--onlyvisible", "--pid",
                              str(self.proc.pid), "--name", exact(caption)], check=False)
        # The pattern can match a window by more than its caption: compare exactly.
        return [w for w in result.stdout.decode().split() if DISPLAY.run(
            ["xdotool", "getwindowname", w], check=False).stdout.decode().rstrip("\n") == caption]

    def wait_windows(self, caption, count, timeout=10):
        return wait_for(lambda: len(self.windows(caption)) == count, timeout, 0.1)

    def alive(self):
        return self.proc.poll() is None

    def focus(self, window=None):
        """Activates the window; the window manager may hand a modal dialog
        the focus instead, which is what a user would get too."""
        window = window or self.window
        DISPLAY.run(["xdotool", "windowactivate", window], check=False)
        wait_for(lambda: DISPLAY.run(["xdotool", "getactivewindow"], check=False)
                 .stdout.decode().strip() == window, 3)

    def key(self, *keys):
        DISPLAY.run(["xdotool", "key", "--delay", "60", *keys])

    def type(self, text, delay=30):
        DISPLAY.run(["xdotool", "type", "--delay", str(delay), text], timeout=60 + len(text))

    def click(self, x, y, window=None):
        DISPLAY.run(["xdotool", "mousemove", "--window", window or self.window, str(int(x)),
                     str(int(y)), "click", "1"])

    def press(self, dialog, units, control):
        """Clicks the middle of a dialog control given in dialog units;
        the dialog's size in pixels against its size in units gives the scale."""
        # Clicks on a dialog not yet painted go nowhere.
        if not wait_for(lambda: self.shot(dialog).dark_columns(0, 0, 80, 80), 5, 0.1):
            raise AssertionError("dialog never painted")
        width, height = self.geometry(dialog)
        x, y, w, h = control
        self.click((x + w / 2) * width / units[0], (y + h / 2) * height / units[1], dialog)

    def fill(self, dialog, units, field, text):
        """Replaces what a dialog's edit field holds."""
        self.focus(dialog)
        self.press(dialog, units, field)
        self.key("ctrl+a", "BackSpace")
        if text:
            self.type(text, delay=5)

    def geometry(self, window=None):
        out = DISPLAY.run(["xdotool", "getwindowgeometry", "--shell",
                           window or self.window]).stdout.decode()
        values = dict(line.split("=", 1) for line in out.split())
        return int(values["WIDTH"]), int(values["HEIGHT"])

    def shot(self, window=None):
        return Image(DISPLAY.run(["xwd", "-id", window or self.window, "-silent"]).stdout)

    def menu(self, name):
        """Clicks a menu bar label, found from the ink of the top rows so the
        test follows the font; before the first paint there is none."""
        def labels():
            img = self.shot()
            return clusters(img.dark_columns(0, 2, img.width, 18), gap=7)
        names = ["Action", "Settings...", "Transfer", "PictureEdit", "View", "About"]
        runs = wait_for(labels, 5, 0.1, until=lambda r: len(r) == len(names))
        if not runs:
            raise AssertionError("menu bar labels not found: %r" % (labels(),))
        a, b = runs[names.index(name)]
        self.click((a + b) // 2, 10)

    def stop(self):
        stop_process(self.proc)
        self.log.close()


# ---------------------------------------------------------------- the tests

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
                self.diagnose()
            self.app.stop()
        if self.sim is not None:
            self.sim.stop()

    def diagnose(self):
        """On failure: what the machine printed and what the program said."""
        try:
            if self.sim is not None and self.sim.proc.poll() is None:
                sys.stderr.write("\n  paper: %r\n  raw: %s\n" % (
                    self.sim.paper(), " ".join(self.sim.raw())))
        except Exception as e:  # the simulator may be the fault
            sys.stderr.write("\n  simulator: %s\n" % e)
        for name, what in (("sim.stderr", "simulator"), ("tavirel.log", "tavirel")):
            if os.path.exists(os.path.join(self.tmp, name)):
                with open(os.path.join(self.tmp, name), errors="replace") as f:
                    sys.stderr.write("  %s output:\n%s\n" % (what, f.read()))
        sys.stderr.write("  tavirel alive: %s\n" % self.app.alive())

    def start(self, simulator=True, *sim_args):
        if simulator:
            self.sim = Simulator(self.ports, self.tmp, *sim_args)
        self.app = Tavirel(self.xdg, self.tmp)
        return self.app

    def attached(self, what, answer="yes"):
        self.assertTrue(wait_for(lambda: self.sim.answer("attached") == answer, 5, 0.1), what)

    def connect(self):
        self.app.key("shift+Prior")
        self.attached("Shift+PgUp did not take the line")

    def window(self, caption, timeout=10):
        """The window with that caption once it is up, focused."""
        found = self.app.windows(caption, sync=True, timeout=timeout)
        self.assertTrue(found, "no window " + caption)
        self.app.focus(found[0])
        return found[0]

    def answer_box(self, caption):
        """Presses the default button of the message box with that caption."""
        self.window(caption)
        self.app.key("Return")
        self.assertTrue(self.app.wait_windows(caption, 0), caption + " stayed")

    def answer_main_box(self):
        """Presses OK on the message box that shares the main window's caption."""
        self.assertTrue(self.app.wait_windows(MAIN_CAPTION, 2), "no message box")
        self.app.focus([w for w in self.app.windows(MAIN_CAPTION) if w != self.app.window][0])
        self.app.key("Return")
        self.assertTrue(self.app.wait_windows(MAIN_CAPTION, 1), "message box did not go away")

    def save_settings(self, choose):
        """Opens Settings, lets choose(dialog) set it, and saves, which
        connects; then Done & Exit."""
        self.app.focus()
        self.app.menu("Settings...")
        dialog = self.window(SETTINGS_CAPTION)
        choose(dialog)
        self.app.press(dialog, SETTINGS_UNITS, SETTINGS_SAVE)
        self.attached("Save did not connect")
        self.app.press(dialog, SETTINGS_UNITS, SETTINGS_DONE)
        self.assertTrue(self.app.wait_windows(SETTINGS_CAPTION, 0), "Settings stayed open")
        self.app.focus()

    def send_file(self, path):
        """Sends a file with Send File; returns the dialog, left open."""
        self.app.key("shift+F1")
        dialog = self.window(SEND_CAPTION)
        self.app.fill(dialog, SEND_UNITS, SEND_NAME, path)
        self.app.press(dialog, SEND_UNITS, SEND_BUTTON)
        return dialog

    def put(self, name, data):
        """A file of the test's own; returns its path."""
        path = os.path.join(self.tmp, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def sim_print(self, path):
        """The simulated machine's own print of a file, without a line."""
        out = os.path.join(self.tmp, "printed.txt")
        subprocess.run([SIM_BIN, "--print", path, "--paper-text", out], check=True,
                       env=dict(os.environ, QT_QPA_PLATFORM="offscreen"), timeout=30)
        with open(out, encoding="latin-1") as f:
            return f.read().rstrip("\n").split("\n")

    def view_top(self, img):
        """The view is white and the menu bar above it is not."""
        return next((y for y in range(img.height)
                     if all(c >= 250 for c in img.rgb(img.width // 2, y))), img.height)

    def view_bottom(self, img):
        """The view's left edge is white down to the bars below it (a
        horizontal scroll bar, the status bar)."""
        return next((y + 1 for y in range(img.height - 1, -1, -1)
                     if all(c >= 250 for c in img.rgb(1, y))), img.height)

    def first_row(self, img):
        """Dark columns of the terminal's first text row, left of the scroll bar."""
        top = self.view_top(img)
        return img.dark_columns(0, top, img.width - 24, top + 14)

    def quit_with_ok(self):
        self.app.focus()
        self.app.menu("Action")
        self.app.key("x")  # E&xit
        self.window(CLOSE_CAPTION)
        self.app.key("Return")
        self.assertEqual(self.app.proc.wait(10), 0, "Tavirel did not end cleanly after OK")


class TypingAndReceiving(Session):

    def test_typed_lines_print_and_the_machines_text_shows(self):
        app = self.start()
        self.connect()
        first, second = "RYRY THE QUICK BROWN FOX 1234, (OK)?", "73 DE K"
        app.type(first)
        app.key("Return")
        app.type(second)
        app.key("Return")
        # Return is CR LF: the second line starts at the left of the next row.
        # Each character and each shift takes one character time on the line.
        keys = len(first) + len(second) + 4
        paper = wait_for(self.sim.paper, 2 * (keys + 16) * CHAR_TIME + 5, 0.25,
                         until=lambda p: p[:2] == [first, second])
        self.assertTrue(paper, "paper is %r" % (self.sim.paper(),))
        self.assertEqual(paper, [first, second], "more printed than typed")

        # The machine's answer: two words on the first row from the left
        # margin, five letters wider than two figures.
        self.assertEqual(self.sim.ask("type HELLO 73\\r\\n", timeout=30), "ok")
        words = lambda: clusters(self.first_row(app.shot()), 6)
        shown = wait_for(words, 5, 0.2, until=lambda w: len(w) == 2)
        self.assertTrue(shown, "not two words on the first row: %r" % (words(),))
        hello, seventy_three = shown
        self.assertLess(hello[0], 8, "the text does not start at the left margin")
        width = lambda word: word[1] - word[0] + 1
        self.assertGreater(width(hello), 2 * width(seventy_three), repr(shown))


class OverstruckArt(Session):
    """A picture whose every line is struck twice (CR without LF between),
    received in one write at the pseudo-terminal's full speed."""

    def picture(self, img):
        """The view's largest block of ink, several lines clear of the caret
        and of other text: its box, and its size and pixels."""
        top, bottom, right = self.view_top(img), self.view_bottom(img), img.width - 24
        if top >= bottom:
            return None
        white = img.row(top, img.width // 2, img.width // 2 + 1)
        inked = [y for y in range(top, bottom) if img.row(y, 0, right) != white * right]
        if not inked:
            return None
        y0, y1 = max(clusters(inked, gap=40), key=lambda run: run[1] - run[0])
        xs = [x for x in range(right)
              if any(img.row(y, x, x + 1) != white for y in range(y0, y1 + 1))]
        x0, x1 = xs[0], xs[-1] + 1
        pixels = b"".join(img.row(y, x0, x1) for y in range(y0, y1 + 1))
        return (x0, y0, x1, y1 + 1), (x1 - x0, y1 + 1 - y0, pixels)

    def burst(self, art):
        """Has the machine send art in one write."""
        self.assertEqual(self.sim.ask("burst " + self.put("art.txt", art)), "ok")

    def receive(self, art, unlike=None):
        """The window's dump and its picture once art has arrived and two
        looks in a row agree."""
        self.burst(art)
        seen = [None]

        def settled():
            img = self.app.shot()
            now = self.picture(img)
            same = now is not None and now == seen[0] and now[1] != unlike
            seen[0] = now
            return (img, now) if same else None
        shown = wait_for(settled, 10, 0.2)
        self.assertTrue(shown, "no picture settled on the screen%s" % (
            " other than the last strikes alone" if unlike else ""))
        return shown

    def wait_picture(self, expected, same_place, what):
        look = lambda: (lambda p: p and (p if same_place else p[1]))(self.picture(self.app.shot()))
        self.assertTrue(wait_for(lambda: look() == expected, 10, 0.2),
                        "the picture changed %s" % what)

    def test_every_strike_survives_scrolling_resizing_and_the_bottom_shift(self):
        with open(os.path.join(TESTDATA, "overstrike", "emoji_fish_ita2.txt"), "rb") as f:
            fish = f.read()

        def last_strikes(line):
            cells = bytearray()
            for strike in line.split(b"\r"):
                cells.extend(b" " * (len(strike) - len(cells)))
                for i, c in enumerate(strike):
                    if c != ord(" "):
                        cells[i] = c
            return bytes(cells).rstrip() + b"\r\n"
        app = self.start()
        self.connect()
        # What a screen that keeps only the last strike of each cell shows.
        lone_img, (lone_box, lone) = self.receive(
            b"".join(last_strikes(line) for line in fish.split(b"\r\n")[:-1]))
        img, first = self.receive(fish, unlike=lone)
        self.assertGreater(img.ink(first[0]), 1.2 * lone_img.ink(lone_box),
                           "the overstrikes did not add their ink")

        # Ten turns of the wheel move thirty lines, past the picture and the caret.
        width, height = app.geometry()
        wheel = lambda button: DISPLAY.run(
            ["xdotool", "mousemove", "--window", app.window, str(width // 2), str(height // 2),
             "click", "--repeat", "10", "--delay", "40", button])
        wheel("5")
        self.assertTrue(wait_for(lambda: self.picture(app.shot()) is None, 10, 0.2),
                        "the view did not scroll away")
        wheel("4")
        self.wait_picture(first, True, "when scrolled away and back")

        for size in ((width * 2 // 3, height * 2 // 3), (width, height)):
            DISPLAY.run(["xdotool", "windowsize", app.window, *map(str, size)])
            self.assertTrue(wait_for(lambda: app.geometry() == size, 5, 0.1),
                            "the window was not resized to %r" % (size,))
        self.wait_picture(first, True, "after a resize and back")

        # Past the buffer's last row, every line feed moves all the strikes up.
        lines = b"".join(b"LINE %d\r\n" % n for n in range(1, 321))
        self.burst(lines + fish)
        self.wait_picture(first[1], False, "after 320 lines")


class ConnectionLife(Session):

    def test_missing_port_reports_and_keeps_running(self):
        # A dangling link names the port; nothing answers behind it.
        os.symlink(os.path.join(self.tmp, "no-such-device"), os.path.join(self.ports, "COM3"))
        app = self.start(simulator=False)
        app.key("shift+Prior")
        self.answer_main_box()
        self.assertTrue(app.alive())
        # The menu still works: About opens and closes.
        app.focus()
        app.menu("About")
        app.press(self.window(ABOUT_CAPTION), (220, 142), (177, 5, 40, 14))  # OK
        self.assertTrue(app.wait_windows(ABOUT_CAPTION, 0))
        self.assertTrue(app.alive())

    def test_close_asks_and_releases_the_port(self):
        app = self.start()
        self.connect()
        # The close box's route, through the window manager: Cancel keeps it.
        app.key("alt+F4")
        self.window(CLOSE_CAPTION)
        app.key("Escape")
        self.assertTrue(app.wait_windows(CLOSE_CAPTION, 0), "question stayed after Cancel")
        self.assertTrue(app.alive(), "Cancel closed the program")
        self.assertEqual(self.sim.answer("attached"), "yes", "Cancel dropped the line")
        # The menu's route: OK ends it and lets go of the line.
        self.quit_with_ok()
        self.attached("the line is still held", "no")
        self.assertEqual(self.sim.number("hangups"), 1)

    def test_machine_hangs_up_while_sending(self):
        app = self.start()
        self.connect()
        text = "NOW IS THE TIME FOR ALL GOOD MEN TO COME TO THE AID OF THE PARTY"
        app.type(text, delay=10)
        # Cut the line partway through the line-paced output.
        self.assertTrue(wait_for(lambda: self.sim.number("count") >= 10, 15, 0.1),
                        "printing did not start")
        self.assertEqual(self.sim.ask("hangup"), "ok")
        printed = self.sim.number("count")
        self.assertLess(printed, len(text), "the hangup came too late to test anything")
        # The loss of the device is reported on the screen as an error mark,
        # wider than the one-cell caret that stands there before.
        self.assertTrue(wait_for(lambda: max(self.first_row(app.shot()), default=0) > 24, 5, 0.2),
                        "no error mark on the screen after the hangup")
        self.assertTrue(app.alive(), "Tavirel died when the line went")
        # The window still answers: disconnect, then a reconnect either fails
        # with a message box or succeeds; both leave the program working.
        app.focus()
        app.key("shift+Next")
        app.key("shift+Prior")
        if app.wait_windows(MAIN_CAPTION, 2, timeout=3):
            self.answer_main_box()
        self.assertTrue(app.alive())
        self.quit_with_ok()


class Settings(Session):

    def test_ascii_mode_sends_unencoded(self):
        app = self.start()
        self.save_settings(lambda dialog: app.press(dialog, SETTINGS_UNITS, (134, 75, 34, 10)))
        app.type("AB")
        raw = wait_for(self.sim.raw, 5, 0.1, until=lambda r: r[-2:] == ["41", "42"])
        self.assertTrue(raw, "ASCII mode did not send 41 42: %s" % " ".join(self.sim.raw()))
        self.assertEqual(raw, ["41", "42"], "more than the two characters went out")


if __name__ == "__main__":
    unittest.main(verbosity=2)
