#!/usr/bin/env python3
"""A second reader for what korvane writes: every real design is converted to
each format the open Python embroidery library also reads (HUS, VP3, PEC, PES,
XXX, SEW), and that library's reading of the written file is held against
korvane's reading of the source: the stitch positions block by block, and the
number of colour blocks; for PES also each thread's colour, name and number
against korvane's reading of the written file. Not part of the test suite: it needs a copy of the
library, fetched into a temporary folder by whoever runs it.

  bench/pyembroidery_reads_back.py KORVANE PYEMBROIDERY_DIR [SHARED_DIR]

Where the library reads a format its own way, the comparison allows for it:
  - VP3 has no jump record: the library reads every long move as a stitch, so
    its stitches whose step is longer than 25.5 mm on an axis are moves, and a
    jump that short is sewn as a stitch in VP3 (korvane counts it so too).
  - The library's VP3 reader moves to a block's start only when neither
    coordinate is 0 (`abs_x != 0 and abs_y != 0`), so a block that starts on
    an axis is read shifted from there on; such a file is listed as explained
    when korvane's reading of it has a block start on an axis.
  - Positions are compared as they stand, else from the first or the last
    stitch, so that a conversion that moves the design in its hoop still
    compares.
  - A stitch longer than the format's record comes back split, so only the
    positions korvane's source reading has are looked for, in order.
"""
import json
import os
import subprocess
import sys
import tempfile

FORMATS = {"hus": 127, "vp3": 255, "pec": 2047, "pes": 2047, "xxx": 124, "sew": 127}


def korvane_events(korvane, path, work):
    out = os.path.join(work, "source.json")
    subprocess.run([korvane, "-q", "--convert", path, "--to", "json", "-o", out], check=True)
    with open(out) as f:
        doc = json.load(f)
    blocks = [[]]
    for e in doc["events"]:
        while len(blocks) < e.get("block", 1):
            blocks.append([])
        if e["op"] == "stitch":
            blocks[-1].append((e["x"], e["y"]))
    return blocks


def library_events(pyembroidery, path, fmt):
    pattern = pyembroidery.read(path)
    if pattern is None:
        return None
    blocks = [[]]
    last = (0, 0)
    for x, y, command in pattern.stitches:
        c = command & pyembroidery.COMMAND_MASK
        here = (round(x), round(y))
        if c == pyembroidery.COLOR_CHANGE or c == pyembroidery.STOP:
            blocks[-1:] = [blocks[-1], []]
        elif c == pyembroidery.STITCH:
            long_move = fmt == "vp3" and max(abs(here[0] - last[0]), abs(here[1] - last[1])) > 255
            if not long_move:
                blocks[-1].append(here)
        last = here
    return blocks


def korvane_threads(korvane, path, work):
    out = os.path.join(work, "threads.json")
    subprocess.run([korvane, "-q", "--convert", path, "--to", "json", "-o", out], check=True)
    with open(out) as f:
        doc = json.load(f)
    threads = [(t["rgb"], t["name"], t["catalogue"]) for t in doc["threads"]]
    sewn = sorted({e.get("block", 1) - 1 for e in doc["events"] if e["op"] == "stitch"})
    # The library reads a block that sews on in the thread of the block
    # before as a stop: it lists that thread once. Empty blocks keep theirs.
    i = 0
    for block in sewn:
        if block > 0 and 0 < i < len(threads) and threads[i - 1][0] == threads[i][0]:
            del threads[i]
        else:
            i += 1
    return threads


def library_threads(pyembroidery, path):
    return [("#%06x" % (t.color & 0xFFFFFF), t.description or "", t.catalog_number or "")
            for t in pyembroidery.read(path).threadlist]


def starts_on_an_axis(korvane, path, work):
    out = os.path.join(work, "written.json")
    subprocess.run([korvane, "-q", "--convert", path, "--to", "json", "-o", out], check=True)
    with open(out) as f:
        events = json.load(f)["events"]
    seen = set()
    for e in events:
        if e.get("block", 1) not in seen:
            seen.add(e.get("block", 1))
            if e["x"] == 0 or e["y"] == 0:
                return True
    return False


def shifted(blocks, by):
    return [[(x - by[0], y - by[1]) for x, y in b] for b in blocks]


def anchors(blocks):
    """Where the design stands as written, its first stitch and its last: a
    split stitch adds points before its end, and a short jump sewn as a
    stitch adds one after the last, so one of the three holds."""
    first = next((b[0] for b in blocks if b), (0, 0))
    last = next((b[-1] for b in reversed(blocks) if b), (0, 0))
    return [(0, 0), first, last]


def contains_in_order(written, source):
    """Every source position appears in the written block, in order."""
    i = 0
    for p in written:
        if i < len(source) and p == source[i]:
            i += 1
    return i == len(source)


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    korvane = os.path.abspath(sys.argv[1])
    sys.path.insert(0, sys.argv[2])
    import pyembroidery  # noqa: E402

    shared = sys.argv[3] if len(sys.argv) > 3 else os.path.join(os.path.dirname(__file__), "..", "..", "shared")
    root = os.path.join(shared, "realdesigns")
    sources = []
    for folder in sorted(os.listdir(root)):
        if folder in ("reference", "shv", "vp4") or not os.path.isdir(os.path.join(root, folder)):
            continue
        for name in sorted(os.listdir(os.path.join(root, folder))):
            sources.append(os.path.join(root, folder, name))

    tally = {f: [0, 0] for f in FORMATS}
    failures = []
    explained = []
    with tempfile.TemporaryDirectory() as work:
        for src in sources:
            try:
                want = korvane_events(korvane, src, work)
            except subprocess.CalledProcessError:
                continue
            for fmt in FORMATS:
                out = os.path.join(work, "out." + fmt)
                subprocess.run([korvane, "-q", "--convert", src, "--to", fmt, "-o", out], check=True)
                got = library_events(pyembroidery, out, fmt)
                tally[fmt][1] += 1
                why = None
                if got is None:
                    why = "unread"
                else:
                    # A change the design ends on leaves an empty last block.
                    while len(got) > len(want) and not got[-1]:
                        got.pop()
                    if len(got) != len(want):
                        why = "%d blocks, source %d" % (len(got), len(want))
                    else:
                        why = "positions differ"
                        for a_got, a_want in zip(anchors(got), anchors(want)):
                            g_blocks, w_blocks = shifted(got, a_got), shifted(want, a_want)
                            if all(contains_in_order(g, w) for g, w in zip(g_blocks, w_blocks)):
                                why = None
                                break
                if not why and fmt == "pes":
                    theirs, ours = library_threads(pyembroidery, out), korvane_threads(korvane, out, work)
                    if theirs != ours:
                        why = "threads differ: %s, korvane %s" % (theirs, ours)
                if why and fmt == "vp3" and starts_on_an_axis(korvane, out, work):
                    explained.append("%s as VP3: %s (a block starts on an axis)" % (os.path.basename(src), why))
                    why = None
                if why:
                    failures.append("%s as %s: %s" % (os.path.basename(src), fmt.upper(), why))
                else:
                    tally[fmt][0] += 1
    print("format  matched / written")
    for fmt, (ok, n) in tally.items():
        print("%-6s  %3d / %d" % (fmt.upper(), ok, n))
    for f in explained:
        print("  explained: " + f)
    for f in failures:
        print("  " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
