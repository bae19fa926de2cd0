#!/usr/bin/env python3
"""Checks a trace file of Tattlebox's with Python's strict JSON parser.

    trace_check.py TRACE [--cut] [--summary LOG] [--nested OUTER:INNER]...

Prints "events N" and, per name, "count NAME N". Exits 1 on the first fault:
the file does not parse (with --cut: not even after the fix-up README.md
gives), an event lacks a field, two calls of one thread overlap without one
lying within the other, the counts differ from the summary lines in LOG,
or no INNER call lies within an OUTER one on its thread.
"""
import argparse
import collections
import json
import re
import sys

FIELDS = ("ph", "ts", "dur", "pid", "tid", "name", "args")


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def load(path, cut):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    if cut:
        if text.rstrip().endswith("]"):
            fail("the file is whole: a Close wrote its ']'")
        text = text.rstrip().rstrip(",") + "]"  # the fix-up for strict readers
    try:
        return json.loads(text)
    except ValueError as e:
        fail("%s does not parse: %s" % (path, e))


def check_nesting(events):
    """Per thread, sorted by start: each call ends before the next starts or
    holds it whole; the viewers draw it as a stack."""
    by_thread = collections.defaultdict(list)
    for e in events:
        by_thread[e["tid"]].append(e)
    for tid, calls in by_thread.items():
        calls.sort(key=lambda e: (e["ts"], -e["dur"]))
        open_calls = []
        for e in calls:
            while open_calls and open_calls[-1]["ts"] + open_calls[-1]["dur"] <= e["ts"]:
                open_calls.pop()
            if open_calls and e["ts"] + e["dur"] > open_calls[-1]["ts"] + open_calls[-1]["dur"]:
                fail("thread %d: %s at %.3f overlaps %s at %.3f" % (
                    tid, e["name"], e["ts"], open_calls[-1]["name"], open_calls[-1]["ts"]))
            open_calls.append(e)


def inner_within_outer(events, outer, inner):
    spans = [e for e in events if e["name"] == outer]
    return sum(1 for e in events if e["name"] == inner and any(
        o["tid"] == e["tid"] and o["ts"] <= e["ts"] and e["ts"] + e["dur"] <= o["ts"] + o["dur"] for o in spans))


SUMMARY = re.compile(r"Summary: (\S+) (\d+) calls?(?:, (\d+) timed)?(, total)?")


def timed_in_summary(log):
    """Timed calls per entry, from the summary lines; the group totals left out."""
    timed = {}
    with open(log, encoding="utf-8", errors="replace") as f:
        for line in f:
            m = SUMMARY.search(line)
            if m and m.group(1) not in ("dispatcher", "audioMaster") and m.group(4):
                timed[m.group(1)] = int(m.group(3) or m.group(2))
    return timed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("trace")
    parser.add_argument("--cut", action="store_true", help="the session ended without Close")
    parser.add_argument("--summary", help="a log with the summary lines of the same session")
    parser.add_argument("--nested", action="append", default=[], help="OUTER:INNER")
    args = parser.parse_args()

    document = load(args.trace, args.cut)
    if not isinstance(document, list):
        fail("not an array")
    events = [e for e in document if e.get("ph") == "X"]
    for e in events:
        missing = [f for f in FIELDS if f not in e]
        if missing or e["dur"] < 0:
            fail("event without %s: %s" % (missing or "a duration", e))
    check_nesting(events)

    counts = collections.Counter(e["name"] for e in events)
    print("events %d" % len(events))
    print("threads %d" % len(set(e["tid"] for e in events)))
    for name, n in sorted(counts.items()):
        print("count %s %d" % (name, n))

    if args.summary:
        timed = timed_in_summary(args.summary)
        if not timed:
            fail("no summary lines with timings in " + args.summary)
        if timed != dict(counts):
            fail("summary %s, trace %s" % (timed, dict(counts)))
        print("the summary's %d timed calls are the trace's events" % sum(timed.values()))

    for pair in args.nested:
        outer, inner = pair.split(":")
        n = inner_within_outer(events, outer, inner)
        if n == 0:
            fail("no %s within a %s" % (inner, outer))
        print("nested %s in %s: %d" % (inner, outer, n))


if __name__ == "__main__":
    main()
