#!/usr/bin/env python3
"""Draws a trace file of Tattlebox's as a picture: one row per thread, each
call a bar from its start to its end, calls made inside a call one lane
below it. The whole session on top; below, the calls before the first block,
a stretch of ZOOM_MS around the middle block, and that block alone.

    trace_picture.py TRACE OUT.png [--zoom-ms 60] [--width 1400]

Python's standard library and ImageMagick's convert (MVG); a trace cut by a
session without Close is drawn after the fix-up README.md gives.
"""
import argparse
import collections
import json
import os
import subprocess
import sys
import tempfile

FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
LABEL_WIDTH = 190
LANE = 14
COLOURS = (("eff", "#3465a4"), ("audioMaster", "#f57900"), ("process", "#4e9a06"), ("", "#75507b"))


def colour(name):
    return next(c for prefix, c in COLOURS if name.startswith(prefix))


def duration(microseconds, decimals=None):
    for unit, size in (("s", 1e6), ("ms", 1e3), ("us", 1.0)):
        if microseconds >= size or unit == "us":
            value = microseconds / size
            return ("%.*f %s" % (decimals, value, unit)) if decimals is not None else "%g %s" % (round(value, 6), unit)


def load(path):
    with open(path, encoding="utf-8") as f:
        text = f.read().rstrip()
    if not text.endswith("]"):
        text = text.rstrip(",") + "]"
    return json.loads(text)


def with_depths(calls):
    """Each call's nesting depth on its thread."""
    stack, placed = [], []
    for e in sorted(calls, key=lambda e: (e["ts"], -e["dur"])):
        while stack and stack[-1] <= e["ts"]:
            stack.pop()
        placed.append((len(stack), e))
        stack.append(e["ts"] + e["dur"])
    return placed


class Picture:
    def __init__(self, width):
        self.width, self.y, self.commands = width, 0, []

    def text(self, x, y, words, size=12, fill="black"):
        words = str(words).replace("\\", "\\\\").replace("'", "\\'")
        self.commands += ["fill '%s'" % fill, "font-size %d" % size, "text %d,%d '%s'" % (x, y, words)]

    def bar(self, x0, y0, x1, y1, fill):
        self.commands += ["fill '%s'" % fill, "rectangle %.1f,%d %.1f,%d" % (x0, y0, max(x1, x0 + 1), y1)]

    def panel(self, title, threads, names, start, end):
        """One band per thread over [start, end] (microseconds)."""
        plot = self.width - LABEL_WIDTH - 20
        scale = plot / max(end - start, 1e-3)
        self.y += 22
        self.text(10, self.y, "%s: %s" % (title, duration(end - start, 1)), 14)
        self.axis(start, end, scale)
        for tid, placed in threads:
            shown = [(d, e) for d, e in placed if e["ts"] + e["dur"] >= start and e["ts"] <= end]
            lanes = 1 + max([d for d, _ in placed] or [0])
            top = self.y + 6
            self.bar(LABEL_WIDTH, top, LABEL_WIDTH + plot, top + lanes * LANE + 4, "#eeeeec")
            self.text(10, top + 14, "%s: %d calls" % (names.get(tid, "thread %X" % tid), len(shown)))
            for depth, e in shown:
                x0 = LABEL_WIDTH + (max(e["ts"], start) - start) * scale
                x1 = LABEL_WIDTH + (min(e["ts"] + e["dur"], end) - start) * scale
                y0 = top + 2 + depth * LANE
                self.bar(x0, y0, x1, y0 + LANE - 2, colour(e["name"]))
                if x1 - x0 > 7 * len(e["name"]):
                    self.text(x0 + 3, y0 + 10, e["name"], 9, "white")
            self.y = top + lanes * LANE + 6

    def axis(self, start, end, scale):
        self.y += 18
        span = end - start
        step = next(s for s in (10 ** k * m for k in range(0, 9) for m in (1, 2, 5)) if span / s <= 10)
        tick = 0.0
        while start + tick < end:
            x = LABEL_WIDTH + tick * scale
            self.bar(x, self.y - 12, x, self.y - 2, "#888a85")
            self.text(x + 2, self.y - 3, duration(tick), 9, "#555753")
            tick += step

    def legend(self):
        self.y += 24
        x = LABEL_WIDTH
        for words, fill in (("dispatcher (host to plug-in)", "#3465a4"), ("audioMaster (plug-in to host)", "#f57900"),
                            ("process blocks", "#4e9a06"), ("setParameter, getParameter", "#75507b")):
            self.bar(x, self.y - 10, x + 14, self.y, fill)
            self.text(x + 20, self.y, words, 11)
            x += 250

    def write(self, out):
        height = self.y + 16
        head = ["viewbox 0 0 %d %d" % (self.width, height), "fill white",
                "rectangle 0,0 %d,%d" % (self.width, height), "font '%s'" % FONT]
        with tempfile.NamedTemporaryFile("w", suffix=".mvg", delete=False) as f:
            f.write("\n".join(head + self.commands) + "\n")
        try:
            subprocess.run(["convert", "-size", "%dx%d" % (self.width, height), "mvg:" + f.name, out], check=True)
        finally:
            os.unlink(f.name)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("trace")
    parser.add_argument("out")
    parser.add_argument("--zoom-ms", type=float, default=60.0)
    parser.add_argument("--width", type=int, default=1400)
    args = parser.parse_args()

    document = load(args.trace)
    events = [e for e in document if e.get("ph") == "X"]
    if not events:
        sys.exit("no events in " + args.trace)
    names = {e["tid"]: e["args"]["name"] for e in document if e.get("ph") == "M" and e.get("name") == "thread_name"}
    by_thread = collections.defaultdict(list)
    for e in events:
        by_thread[e["tid"]].append(e)
    threads = sorted(((tid, with_depths(calls)) for tid, calls in by_thread.items()), key=lambda t: min(e["ts"] for _, e in t[1]))

    start = min(e["ts"] for e in events)
    end = max(e["ts"] + e["dur"] for e in events)
    picture = Picture(args.width)
    picture.text(10, 18, "%s: %d calls on %d threads" % (os.path.basename(args.trace), len(events), len(threads)), 15)
    picture.y = 20
    picture.panel("The whole session", threads, names, start, end)

    blocks = sorted((e for e in events if e["name"].startswith("process")), key=lambda e: e["ts"])
    if blocks:
        # Start-up: the calls before the first block, where hosts ask and set the most.
        opened = min((e["ts"] for e in events if e["name"] == "effOpen"), default=start)
        before = [e for e in events if opened <= e["ts"] and e["ts"] + e["dur"] <= blocks[0]["ts"]]
        if before:
            first, last = min(e["ts"] for e in before), max(e["ts"] + e["dur"] for e in before)
            picture.panel("From effOpen to the first block", threads, names, first, last + (last - first) * 0.02)
        block = blocks[len(blocks) // 2]
        zoom = args.zoom_ms * 1000
        picture.panel("Around the middle block", threads, names, block["ts"] - zoom / 2, block["ts"] + zoom / 2)
        margin = max(block["dur"] * 0.25, 1.0)
        picture.panel("The middle block itself", threads, names, block["ts"] - margin, block["ts"] + block["dur"] + margin)
    else:
        middle = (start + end) / 2
        picture.panel("Around the middle", threads, names, middle - args.zoom_ms * 500, middle + args.zoom_ms * 500)
    picture.legend()
    picture.write(args.out)
    print("picture %s: %d calls, %d threads" % (args.out, len(events), len(threads)))


if __name__ == "__main__":
    main()
