#!/usr/bin/env python3
"""Typing as fast as X can deliver keys, at 45 baud: does every character
reach the paper in order, how is the line paced, and does the window keep
answering while the queue drains?

Responsiveness probe: the window is widened and narrowed through the window
manager every 100 ms; a probe ends when a dump of the window shows the scroll
bar redrawn at the new right edge, which only the program's own repaint puts
there. The idle latency of the same probe is measured first, as a baseline.

Prints figures; fails only if characters are lost or the program stops.
"""

import os
import shutil
import statistics
import sys
import tempfile
import threading
import time

# The end-to-end harness drives the real program; this bench reuses it.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "tests", "e2e"))
import e2e_test as e2e  # noqa: E402

LINES = [
    "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789",
    "RYRYRYRYRYRYRYRYRYRYRYRYRYRYRYRYRYRYRYRYRYRYRYRYRYRY",
    "NOW IS THE TIME FOR ALL GOOD MEN 73 (QSL?) 12.5 / 7:30",
    "SEND MORE PAPER AND RIBBONS TO THE HILL SITE",
]


class Prober:
    """Repaint latency after a window-manager resize."""

    def __init__(self, app, step=24):
        self.app = app
        self.width, self.height = app.geometry()
        self.step = step
        img = app.shot()
        self.y = img.height // 2
        self.trough = img.rgb(img.width - 8, self.y)
        self.white = img.rgb(img.width // 2, self.y)
        if self.trough == self.white:
            raise RuntimeError("cannot tell the scroll bar from the view")
        self.wide = False

    def _redrawn(self, width):
        img = self.app.shot()
        if img.width != width:
            return False
        # The scroll bar at the new edge, the view where the old edge was.
        other = width - self.step if self.wide else width + self.step
        return (img.rgb(width - 8, self.y) == self.trough
                and (other - 8 >= width or img.rgb(other - 8, self.y) == self.white))

    def probe(self, timeout=10):
        self.wide = not self.wide
        width = self.width + (self.step if self.wide else 0)
        start = time.monotonic()
        e2e.DISPLAY.run(["xdotool", "windowsize", self.app.window, str(width), str(self.height)])
        if not e2e.wait_for(lambda: self._redrawn(width), timeout, 0.01):
            return None
        return time.monotonic() - start


def run():
    tmp = tempfile.mkdtemp(prefix="tavirel-bench-")
    xdg = os.path.join(tmp, "xdg")
    ports = os.path.join(xdg, "tavirel", "ports")
    os.makedirs(ports)
    e2e.DISPLAY.start()
    sim = app = None
    try:
        sim = e2e.Simulator(ports, tmp)
        app = e2e.Tavirel(xdg, tmp)
        app.key("shift+Prior")
        if not e2e.wait_for(lambda: sim.answer("attached") == "yes", 5, 0.1):
            raise RuntimeError("did not connect")

        prober = Prober(app)
        idle = [prober.probe() for _ in range(20)]
        if None in idle:
            raise RuntimeError("window did not repaint while idle")

        printable = sum(len(line) for line in LINES)
        busy = []
        started = time.monotonic()
        # xdotool runs beside the probes, as fast as it can send keys. The
        # Return key, not a typed "\\n": xdotool sends that as Linefeed.
        def typist_run():
            for line in LINES:
                app.type(line, delay=0)
                app.key("Return")
        typist = threading.Thread(target=typist_run)
        typist.start()
        deadline = started + 2 * (printable + 60) * e2e.CHAR_TIME + 20
        while time.monotonic() < deadline:
            latency = prober.probe()
            busy.append(latency)
            if latency is None:
                break
            if sim.paper()[:len(LINES)] == LINES:
                break
            time.sleep(0.1)
        elapsed = time.monotonic() - started
        typist.join(30)

        paper = sim.paper()
        times = [float(t) for t in sim.answer("times").split()]
        gaps = [b - a for a, b in zip(times, times[1:])]
        ok = paper[:len(LINES)] == LINES and None not in busy and app.proc.poll() is None

        print("characters typed: %d in %d lines, each ended with Return" % (
            printable, len(LINES)))
        print("all on the paper in order: %s" % (paper[:len(LINES)] == LINES))
        if paper[:len(LINES)] != LINES:
            print("paper: %r" % (paper,))
        print("printed count: %s, wall time to last line: %.1f s" % (
            sim.answer("count"), elapsed))
        if times:
            print("print times: first-to-last %.1f s over %d characters" % (
                (times[-1] - times[0]) / 1000, len(times)))
        if gaps:
            print("spacing between prints (ms): median %.1f, min %.1f, max %.1f; "
                  "one character time is %.1f" % (statistics.median(gaps), min(gaps),
                                                   max(gaps), 1000 * e2e.CHAR_TIME))
        raw = sim.answer("raw").split()
        print("bytes on the line: %d (%.1f s at one character time each)" % (
            len(raw), len(raw) * e2e.CHAR_TIME))
        busy_ok = [b for b in busy if b is not None]
        print("repaint after resize, idle: median %.0f ms, max %.0f ms (%d probes)" % (
            1000 * statistics.median(idle), 1000 * max(idle), len(idle)))
        if busy_ok:
            print("repaint after resize, while sending: median %.0f ms, max %.0f ms "
                  "(%d probes)" % (1000 * statistics.median(busy_ok), 1000 * max(busy_ok),
                                   len(busy_ok)))
        if None in busy:
            print("a probe got no repaint within 10 s")
        return ok
    finally:
        if app is not None:
            app.stop()
        if sim is not None:
            sim.stop()
        e2e.DISPLAY.stop()
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(0 if run() else 1)
