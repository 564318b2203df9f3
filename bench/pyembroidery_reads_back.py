#!/usr/bin/env python3
"""A second reader for what korvane writes: every real design is converted to
each format the open Python embroidery library also reads (HUS, VP3, PEC, XXX,
SEW), and that library's reading of the written file is held against
korvane's reading of the source: the stitch positions block by block, and the
number of colour blocks. Not part of the test suite: it needs a copy of the
library, fetched into a temporary folder by whoever runs it.

  bench/pyembroidery_reads_back.py KORVANE PYEMBROIDERY_DIR [SHARED_DIR]

Where the library reads a format its own way, the comparison allows for it:
  - VP3 has no jump record: the library reads every long move as a stitch, so
    its stitches whose step is longer than 25.5 mm on an axis are moves, and a
    jump that short is sewn as a stitch in VP3 (korvane counts it so too).
  - Positions are compared from the last stitch, so that a conversion
    that moves the design in its hoop still compares.
  - A stitch longer than the format's record comes back split, so only the
    positions korvane's source reading has are looked for, in order.
"""
import json
import os
import subprocess
import sys
import tempfile

FORMATS = {"hus": 127, "vp3": 255, "pec": 2047, "xxx": 124, "sew": 127}


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


def relative(blocks):
    # The last stitch: a split stitch adds points before it, never after.
    last = next((b[-1] for b in reversed(blocks) if b), (0, 0))
    return [[(x - last[0], y - last[1]) for x, y in b] for b in blocks]


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
    with tempfile.TemporaryDirectory() as work:
        for src in sources:
            try:
                want = relative(korvane_events(korvane, src, work))
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
                    got = relative(got)
                    # A change the design ends on leaves an empty last block.
                    while len(got) > len(want) and not got[-1]:
                        got.pop()
                    if len(got) != len(want):
                        why = "%d blocks, source %d" % (len(got), len(want))
                    else:
                        for k, (g, w) in enumerate(zip(got, want)):
                            if not contains_in_order(g, w):
                                why = "block %d: positions differ" % (k + 1)
                                break
                if why:
                    failures.append("%s as %s: %s" % (os.path.basename(src), fmt.upper(), why))
                else:
                    tally[fmt][0] += 1
    print("format  matched / written")
    for fmt, (ok, n) in tally.items():
        print("%-6s  %3d / %d" % (fmt.upper(), ok, n))
    for f in failures:
        print("  " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
