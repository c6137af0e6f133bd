#!/usr/bin/env python3
"""The real program under Xvfb and openbox (xdotool, xwd) with the simulated
teleprinter on a pseudo-terminal: only what a real window or the machine's paper
shows; the bytes are the core tests' business. Name a class to run one group."""

import array
import os
import pathlib
import select
import shutil
import struct
import subprocess
import tempfile
import threading
import time
import unittest
from unittest import mock
import wave

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TAVIREL_BIN = os.environ.get("TAVIREL_BIN", REPO + "/build/terminal/tavirel")
SIM_BIN = os.environ.get("TELEPRINTER_SIM_BIN", REPO + "/build/tools/teleprinter-sim/"
                         "teleprinter-sim")
TESTDATA = os.environ.get("TAVIREL_TESTDATA", os.path.dirname(REPO) + "/shared/testdata")

MAIN, CLOSE, PICKER, PREVIEW = ("Tavirel by Quennick / Zeltor", "Tavirel",
                                "Open - Load file into editor", "Paper Preview")
MENUS = ["Action", "Settings...", "Transfer", "PictureEdit", "View", "About"]
# A dialog: its caption, its size in dialog units and its controls' (x, y, width, height).
SEND = ("Send File (RAW)", (268, 71),
        {"name": (7, 28, 254, 12), "send": (91, 48, 50, 14), "exit": (161, 48, 50, 14)})
CAPTURE = ("Capture Data to Disk", (187, 82),
           {"name": (7, 21, 172, 14), "start": (59, 38, 53, 15), "stop": (128, 38, 51, 15),
            "counters": (37, 58, 142, 13)})
EDITOR = ("Tavirel  BAUDOT Picture Editor (with overstrike support)", (395, 355),
          {"load": (7, 6, 50, 14), "save": (7, 23, 50, 14), "preview": (338, 44, 50, 14),
           "quit": (338, 6, 50, 14)})
UTILITIES = ("Corrow ASCII/ITA#2 Tanslation Programs", (460, 230),
             {"input": (7, 41, 220, 12), "to ita2": (319, 104, 50, 14),
              "exit": (403, 198, 50, 14)})
GUIDE = (185, 195, 215)  # the preview's platen edges and row ticks

CHAR_TIME = 7.5 / 45  # one character at 45 baud, 5 data bits, 1.5 stop bits


def wait_for(get, timeout, interval=0.1, until=bool):
    """Polls get() until until(value) holds or the time is up; returns the last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = get()
        if until(value) or time.monotonic() >= deadline:
            return value
        time.sleep(interval)


def settled(look, timeout, interval):
    """look()'s value once two looks interval apart agree, or None."""
    seen = [None]
    same = lambda: seen.append(look()) or (seen[-1] if seen[-1] == seen[-2] else None)
    return wait_for(same, timeout, interval)


def clusters(values, gap):
    """Runs of values closer than gap, as (first, last): the words of a row of text."""
    cuts = [i for i in range(1, len(values)) if values[i] - values[i - 1] >= gap]
    return [(values[a], values[b - 1]) for a, b in zip([0] + cuts, cuts + [len(values)]) if b > a]


def stop_process(proc):
    if proc is not None and proc.poll() is None:
        proc.terminate()
        proc.wait(10)  # one that ignores the request is a fault


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
        # Until openbox manages the screen this fails, with a 0 on its output.
        if not wait_for(lambda: self.run(["xdotool", "get_num_desktops"], check=False)
                        .returncode == 0, 15):
            raise RuntimeError("openbox did not start")

    def env(self, **extra):
        env = {k: v for k, v in os.environ.items()
               if k not in ("WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        return dict(env, DISPLAY=self.name, **extra)

    def run(self, args, timeout=15, check=True):
        for _ in range(3):
            result = subprocess.run(args, env=self.env(), stdout=subprocess.PIPE,
                                    stderr=subprocess.PIPE, timeout=timeout)
            # A refused connection, seen under a burst of short-lived clients, is not the program's.
            if b"Can't open display" not in result.stderr:
                break
            time.sleep(0.1)
        if check and result.returncode != 0:
            raise RuntimeError("%s failed: %s" % (" ".join(args), result.stderr.decode()))
        return result

    def xdo(self, *args):
        return self.run(["xdotool", *args], check=False).stdout.decode().strip()


DISPLAY = Display()


def setUpModule():
    for tool in ("Xvfb", "openbox", "xdotool", "xwd"):
        if shutil.which(tool) is None:
            raise unittest.SkipTest(tool + " is not installed")
    DISPLAY.start()


def tearDownModule():
    stop_process(DISPLAY.wm)
    stop_process(DISPLAY.xvfb)


class Image:
    """An X window dump: 24-bit TrueColor pixels at 32 bits each."""

    def __init__(self, data):
        h = struct.unpack(">25I", data[:100])
        self.width, self.height, self._stride, self._bytes = h[4], h[5], h[12], h[11] // 8
        self.size = h[4], h[5]
        self._pixels = data[h[0] + 12 * h[19]:]  # past the header and the colour map
        self._order = "little" if h[7] == 0 else "big"
        self._shifts = [(m, (m & -m).bit_length() - 1) for m in h[14:17]]  # red, green, blue

    def __eq__(self, other):
        return getattr(other, "_pixels", None) == self._pixels

    def rgb(self, x, y):
        at = y * self._stride + self._bytes * x
        v = int.from_bytes(self._pixels[at:at + self._bytes], self._order)
        return tuple((v & m) >> s for m, s in self._shifts)

    def dark_columns(self, x0, y0, x1, y1):
        return [x for x in range(max(0, x0), min(self.width, x1))
                if any(sum(self.rgb(x, y)) < 300 for y in range(max(0, y0), min(self.height, y1)))]

    def preview_cells(self):
        """The inked cells of the preview's paper, read off its guides: the
        platen's edges and a tick at the top of every row; None before them."""
        guide = lambda x, y: self.rgb(x, y) == GUIDE
        rules = [x for x in range(self.width)
                 if sum(guide(x, y) for y in range(0, self.height, 4)) > self.height // 16]
        tops = [y for y in range(self.height) if rules and guide(rules[0] - 6, y)]
        if len(rules) < 2 or len(tops) < 3:
            return None
        x0, cell = rules[0] + 3, (rules[-1] - 2 - rules[0] - 3) / 72
        pitch = (tops[-1] - tops[0]) / (len(tops) - 1)
        rows = [{c for c in range(72) if any(
            sum(self.rgb(x, y)) < 450 for y in range(top + 1, int(top + pitch) - 1)
            for x in range(int(x0 + c * cell) + 1, int(x0 + (c + 1) * cell) - 1))}
            # Rows cut off by the edge of the view are not read.
            for top in tops if top + pitch < self.height and guide(rules[0], int(top + pitch))]
        while rows and not rows[-1]:
            rows.pop()
        return rows


class Simulator:
    """The simulated teleprinter: a line of answer to each line of command, none left unread."""

    def __init__(self, session):
        self.proc = subprocess.Popen([SIM_BIN, "--port-folder", session.ports], text=True,
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, bufsize=1)
        session.addCleanup(self.stop)
        if not self.line(15).startswith("ready "):
            raise RuntimeError("the simulator is not ready")

    def line(self, timeout):
        if not select.select([self.proc.stdout], [], [], timeout)[0]:
            raise RuntimeError("simulator silent for %.0f s" % timeout)
        return self.proc.stdout.readline().rstrip("\n")

    def ask(self, command, timeout=10):
        """The answer, without the command's word that answers repeat."""
        self.proc.stdin.write(command + "\n")
        line, word = self.line(timeout), command.split(" ", 1)[0]
        return line[len(word) + 1:] if line.split(" ", 1)[0] == word else line

    def stop(self):
        stop_process(self.proc)
        self.proc.stdin.close()
        self.proc.stdout.close()


class Session(unittest.TestCase):
    """A story's steps on a fresh configuration folder; every process ended after."""

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="tavirel-e2e-")
        self.xdg = os.path.join(self.tmp, "xdg")
        self.ports = os.path.join(self.xdg, "tavirel", "ports")
        os.makedirs(self.ports)
        self.main = None
        self.addCleanup(shutil.rmtree, self.tmp, True)

    def start(self, simulator=True, args=()):
        if simulator:
            self.sim = Simulator(self)
        # mkdtemp's 0700 is what a runtime folder needs.
        self.proc = subprocess.Popen([TAVIREL_BIN, *args], env=DISPLAY.env(
            XDG_CONFIG_HOME=self.xdg, XDG_RUNTIME_DIR=self.tmp))
        self.addCleanup(stop_process, self.proc)
        self.main = self.open(MAIN)

    def windows(self, what):
        """The program's visible windows, the main one aside, with that caption or the dialog's."""
        caption = what if isinstance(what, str) else what[0]
        found = DISPLAY.xdo("search", "--onlyvisible", "--pid", str(self.proc.pid))
        return [w for w in found.split()
                if w != self.main and DISPLAY.xdo("getwindowname", w) == caption]

    def gone(self, what, message):
        self.assertTrue(wait_for(lambda: not self.windows(what), 10), message)

    def open(self, what):
        found = wait_for(lambda: self.windows(what), 15)
        self.assertTrue(found, "no window %s" % (what,))
        self.focus(found[0])
        return found[0]

    def focus(self, window=None):
        """Activates the window, or its modal dialog if the window manager says so."""
        window = window or self.main
        DISPLAY.xdo("windowactivate", window)
        wait_for(lambda: DISPLAY.xdo("getactivewindow") == window, 3)

    def key(self, *keys):
        DISPLAY.run(["xdotool", "key", "--delay", "60", *keys])

    def type(self, text, delay=30):
        DISPLAY.run(["xdotool", "type", "--delay", str(delay), text], timeout=60 + len(text))

    def click(self, x, y, window=None, button="1", repeat=1):
        DISPLAY.run(["xdotool", "mousemove", "--window", window or self.main, str(int(x)),
                     str(int(y)), "click", "--repeat", str(repeat), "--delay", "40", button])

    def spot(self, dialog, control):
        """The middle of a dialog's control and its window, once the dialog is painted."""
        window = self.open(dialog)
        img = wait_for(lambda: self.shot(window), 5, until=lambda i: i.dark_columns(0, 0, 80, 80))
        (x, y, w, h), units = dialog[2][control], dialog[1]
        return (x + w / 2) * img.width / units[0], (y + h / 2) * img.height / units[1], window

    def press(self, dialog, control):
        self.click(*self.spot(dialog, control))

    def fill(self, dialog, field, text):
        self.press(dialog, field)
        self.key("ctrl+a", "BackSpace")
        self.type(text, delay=5)

    def area(self, dialog, control):
        img, (x, y, w, h) = self.shot(self.windows(dialog)[0]), dialog[2][control]
        sx, sy = img.width / dialog[1][0], img.height / dialog[1][1]
        return [img.rgb(c, r) for r in range(int(y * sy), int((y + h) * sy))
                for c in range(int(x * sx), int((x + w) * sx))]

    def shot(self, window=None):
        return Image(DISPLAY.run(["xwd", "-id", window or self.main, "-silent"]).stdout)

    def menu(self, name, *keys):
        """Clicks a menu bar label, found by its ink so the test follows the font; then keys."""
        self.focus()
        labels = lambda: clusters(self.shot().dark_columns(0, 2, 9999, 18), gap=7)
        runs = wait_for(labels, 5, until=lambda r: len(r) == len(MENUS))
        self.assertEqual(len(runs), len(MENUS), "menu bar labels not found: %r" % runs)
        a, b = runs[MENUS.index(name)]
        self.click((a + b) // 2, 10)
        if keys:
            self.key(*keys)

    def answer(self, caption, key="Return"):
        """Answers the message box with that caption, by default with its default button."""
        self.open(caption)
        self.key(key)
        self.gone(caption, caption + " stayed")

    def connect(self):
        self.key("shift+Prior")
        self.expect(lambda: self.sim.ask("attached"), "yes", 5, "Shift+PgUp did not take the line")

    def send_file(self, path):
        """Starts a send; its dialog stays open."""
        self.focus()
        self.key("shift+F1")
        self.fill(SEND, "name", path)
        self.press(SEND, "send")

    def capture(self):
        """Starts a capture into a new file; its dialog stays open."""
        self.menu("Transfer", "Down", "Down", "Return")
        path = self.put("received.cap", b"")
        self.fill(CAPTURE, "name", path)
        self.press(CAPTURE, "start")
        return path

    def expect(self, get, want, timeout, what):
        self.assertEqual(wait_for(get, timeout, 0.2, lambda value: value == want), want, what)

    def put(self, name, data):
        pathlib.Path(self.tmp, name).write_bytes(data)
        return os.path.join(self.tmp, name)


class Terminal(Session):

    def test_typed_lines_print_on_the_machine(self):
        self.start()
        self.connect()
        lines = ["RYRY THE QUICK BROWN FOX 1234, (OK)?", "73 DE K"]
        for line in lines:
            self.type(line)
            self.key("Return")  # CR LF: the next line starts at the left
        # Each character and each shift takes one character time on the line.
        self.expect(lambda: self.sim.ask("paper").split("|"), lines,
                    2 * (len("".join(lines)) + 20) * CHAR_TIME + 5, "the paper is not as typed")

    def test_overstruck_art_survives_scrolling_and_resizing(self):
        self.start()
        self.connect()
        fish = pathlib.Path(TESTDATA, "overstrike", "emoji_fish_ita2.txt").read_bytes()
        self.assertEqual(self.sim.ask("burst " + self.put("fish.txt", fish)), "ok")  # one write
        width, height = self.shot().size
        ink = lambda: self.shot().dark_columns(0, height // 3, width - 24, height * 2 // 3)
        self.assertTrue(wait_for(ink, 10), "no picture in the middle of the view")
        self.key("shift+Next")  # the caret goes with the line: nothing blinks
        first = settled(self.shot, 10, 0.3)
        self.assertTrue(first, "the window never settled")

        # Ten turns of the wheel move thirty lines, past the picture.
        self.click(width // 2, height // 2, button="5", repeat=10)
        self.assertTrue(wait_for(lambda: not ink(), 10), "the view did not scroll away")
        self.click(width // 2, height // 2, button="4", repeat=10)
        self.expect(self.shot, first, 10, "the picture changed when scrolled away and back")
        for size in ((width * 2 // 3, height * 2 // 3), (width, height)):
            DISPLAY.run(["xdotool", "windowsize", self.main, *map(str, size)])
            self.expect(lambda: self.shot().size, size, 5, "not resized")
        self.expect(self.shot, first, 10, "the picture changed after a resize and back")

    def test_a_failed_connect_is_told_and_close_asks_and_releases_the_line(self):
        # A dangling link names the port; nothing answers behind it.
        os.symlink(os.path.join(self.tmp, "no-such-device"), os.path.join(self.ports, "COM3"))
        self.start(simulator=False)
        self.key("shift+Prior")
        self.answer(MAIN)  # the failure's box has the main window's caption

        self.sim = Simulator(self)  # a machine on the link now
        self.focus()
        self.connect()
        self.key("alt+F4")  # the close box's route, through the window manager
        self.answer(CLOSE, "Escape")
        self.menu("Action", "x")  # E&xit
        self.answer(CLOSE)
        self.assertEqual(self.proc.wait(10), 0, "Tavirel did not end cleanly after OK")
        self.expect(lambda: self.sim.ask("attached"), "no", 5, "the line is still held")


class Transfers(Session):

    def test_exit_mid_send_tells_and_closes(self):
        self.start()
        self.connect()  # 45 baud: a long file outlasts what follows
        self.send_file(self.put("long.txt", b"RYRY " * 40))
        self.assertTrue(wait_for(lambda: int(self.sim.ask("count")) >= 3, 15), "nothing printed")
        self.press(SEND, "exit")
        self.answer("Send File")  # Task complete
        self.gone(SEND, "Exit left the dialog open")

    def test_capture_counters_are_painted_to_the_end(self):
        self.start()
        self.connect()
        capture = self.capture()
        counters = lambda: self.area(CAPTURE, "counters")
        zero = settled(counters, 5, 0.5)
        text = "RYRYRYRYRY THE QUICK BROWN FOX\r\n"
        self.assertEqual(self.sim.ask("type " + text.replace("\r\n", "\\r\\n"), 60), "ok")
        # Once all is in the file the counters have had their last change.
        self.assertTrue(wait_for(lambda: os.path.getsize(capture) == len(text), 5), "not all in")
        before = settled(counters, 5, 0.5)
        self.assertNotEqual(before, zero, "the counters did not move")
        # Stop shows the truth: the same, if the counters kept up to the end.
        self.press(CAPTURE, "stop")
        self.expect(counters, before, 3, "the counters stopped before the traffic did")


class Picture(Session):

    def test_the_preview_of_a_saved_picture_is_the_machines_paper(self):
        picture = self.put("fish.txt", pathlib.Path(
            TESTDATA, "overstrike", "emoji_fish_ascii.txt").read_bytes())
        self.start(simulator=False)
        self.menu("PictureEdit")
        self.press(EDITOR, "load")
        self.open(PICKER)
        self.type(picture, delay=10)
        self.key("Return")
        self.gone(PICKER, "the file dialog stayed")
        self.press(EDITOR, "save")
        self.answer("File Saved")
        # The simulated machine's own print of the saved file, without a line.
        subprocess.run([SIM_BIN, "--print", picture + ".mod", "--paper-text", picture + ".paper"],
                       check=True, env=dict(os.environ, QT_QPA_PLATFORM="offscreen"), timeout=30)
        paper = [{c for c, ch in enumerate(row) if ch != " "} for row in
                 pathlib.Path(picture + ".paper").read_text("latin-1").rstrip().split("\n")]
        self.assertGreater(len(paper), 20, "the saved picture is not the fish")

        self.press(EDITOR, "preview")
        preview = self.open(PREVIEW)
        self.expect(lambda: self.shot(preview).preview_cells(), paper, 5,
                    "the preview is not the machine's paper")
        self.press(EDITOR, "quit")
        self.gone(EDITOR, "the editor stayed open")
        self.gone(PREVIEW, "the preview outlived the editor")


class Utilities(Session):

    def test_a_converter_runs_from_its_button(self):
        self.start(simulator=False)
        self.menu("Transfer", "Down", "Down", "Down", "Return")
        self.fill(UTILITIES, "input", self.put("hello.txt", b"HELLO 123\r\n"))
        self.press(UTILITIES, "to ita2")
        self.answer("ASCII to BAUDOT")  # a refusal's box has another caption
        self.press(UTILITIES, "exit")
        self.gone(UTILITIES, "Exit did not close it")

SOUND_SERVER = os.path.join(REPO, "scripts", "sound-server")
# The far end, on our tones.
MODEM = ["minimodem", "-q", "rtty", "-M", "2125", "-S", "2295"]
ITA2 = set("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 \r\n!\"#$&'(),-./:;?")


class Air:
    """The sink Tavirel plays into, as its monitor hears it, kept whole: the
    server holds what a busy machine is late to read, so nothing is lost, and a
    moment is a count of samples."""

    RATE = 8000

    def __init__(self):
        self.proc = subprocess.Popen(
            ["parec", "-d", "air.monitor", "--raw", "--format=s16le", "--channels=1",
             "--rate=%d" % self.RATE, "--latency-msec=10"], stdout=subprocess.PIPE)
        self.heard, self.loud = array.array("h"), None
        threading.Thread(target=self._listen, daemon=True).start()

    def _listen(self):
        while chunk := self.proc.stdout.read1(4096):
            start = len(self.heard)
            self.heard.frombytes(chunk[:len(chunk) // 2 * 2])
            loud = [i for i in range(start, len(self.heard)) if abs(self.heard[i]) > 1000]
            self.loud = loud[-1] if loud else self.loud

    def gaps(self):
        """Where the sound broke off for over 5 ms between its first and last loud sample:
        what a transmitter that ran dry leaves on the air."""
        quiet = [i for i, v in enumerate(self.heard[:self.loud]) if abs(v) < 200]
        runs = clusters(quiet, 2)
        return ["%.0f ms at %.2f s" % ((b - a) * 1000 / self.RATE, a / self.RATE)
                for a, b in runs[1:] if b - a > self.RATE // 200]


class Radio(Session):
    """The sound card as the line: Tavirel plays into the null sink "air" and
    hears "back"; minimodem is the far end of each."""

    def setUp(self):
        super().setUp()
        for tool in ("pulseaudio", "pactl", "parec", "minimodem"):
            if shutil.which(tool) is None:
                self.skipTest(tool + " is not installed")
        subprocess.run([SOUND_SERVER, "start", self.tmp, "air", "back"], check=True, timeout=60)
        self.addCleanup(self.pull_server)
        # For Tavirel and for the tools alike.
        self.enterContext(mock.patch.dict(os.environ, PULSE_SERVER=self.tmp + "/pulse/native"))

    def pull_server(self):
        subprocess.run([SOUND_SERVER, "kill", self.tmp], check=True, timeout=30)

    def listeners(self):
        """The programs' streams from the server's sources (not its own remapping ones)."""
        return subprocess.run(["pactl", "list", "short", "source-outputs"], stdout=subprocess.PIPE,
                              text=True, timeout=15).stdout.count("protocol-native")

    def start_radio(self):
        self.start(simulator=False, args=["--sound-output", "air", "--sound-input", "back_in"])
        others = self.listeners()
        self.key("shift+Prior")
        self.assertTrue(wait_for(lambda: self.listeners() > others, 10), "Tavirel is not listening")

    def on_air(self, data=b"RYRY " * 40):
        """A Send File under way, heard on the air."""
        self.start_radio()
        air = Air()
        self.addCleanup(air.proc.stdout.close)
        self.addCleanup(stop_process, air.proc)
        self.send_file(self.put("sent.txt", data))
        self.assertTrue(wait_for(lambda: air.loud, 15), "nothing on the air")
        return air

    def test_a_picture_sent_is_what_minimodem_prints(self):
        lines = pathlib.Path(TESTDATA, "plain", "art-01-003.txt").read_text().split("\n")
        text = "\r\n".join(lines[42:48])  # the picture's foot, its caption and credit
        air = self.on_air(text.encode())
        # Played out: a second of silence after the tail.
        wait_for(lambda: len(air.heard) - air.loud > Air.RATE, 2 * len(text) * CHAR_TIME + 10)
        heard = os.path.join(self.tmp, "air.wav")
        with wave.open(heard, "wb") as out:
            out.setparams((1, 2, Air.RATE, 0, "NONE", None))
            out.writeframes(air.heard.tobytes())
        decoded = subprocess.run([*MODEM, "--rx", "-f", heard], stdout=subprocess.PIPE, check=True,
                                 timeout=60).stdout.decode("latin-1")
        self.assertEqual(decoded, "".join(c for c in text.upper() if c in ITA2),
                         "minimodem heard otherwise; gaps on the air: %s" % air.gaps())

    def test_what_minimodem_sends_is_captured(self):
        self.start_radio()
        capture = self.capture()
        text = "RYRY CQ DE K7WTA 0123456789 (OK?) "
        # A deep buffer at the server rides out a busy machine.
        subprocess.run([*MODEM, "--tx"], input=text.encode(), check=True, timeout=60, env=dict(
            os.environ, PULSE_SINK="back", PULSE_LATENCY_MSEC="500"))
        self.expect(lambda: pathlib.Path(capture).read_text("latin-1"), text, 10,
                    "the capture is not what minimodem sent")

    def test_exit_silences_the_air_within_a_character(self):
        air = self.on_air()
        begun = len(air.heard)
        wait_for(lambda: len(air.heard) > begun + 2 * Air.RATE, 10)  # past the lead-in
        exit_button = self.spot(SEND, "exit")
        at = len(air.heard)  # a little early, if anything: the server holds some
        self.click(*exit_button)
        self.answer("Send File")
        after = (settled(lambda: air.loud, 5, 0.5) - at) / Air.RATE
        print("sound after Exit: %.0f ms" % (after * 1000))  # a figure to report
        self.assertLessEqual(after, CHAR_TIME, "the air went on after Exit")

    def test_a_sound_server_gone_mid_send_is_told(self):
        self.on_air()
        self.pull_server()
        # Told with the error's red icon, not "Task complete"; and the window still answers.
        box = self.shot(self.open("Send File"))
        self.assertTrue(any(r > 180 and g < 90 and b < 90 for r, g, b in (
            box.rgb(x, y) for y in range(box.height) for x in range(box.width))),
            "the lost line was not told")
        self.answer("Send File")
        self.press(SEND, "exit")
        self.gone(SEND, "the Send File dialog hangs")


if __name__ == "__main__":
    unittest.main(verbosity=2)
