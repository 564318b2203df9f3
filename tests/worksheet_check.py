#!/usr/bin/env python3
"""Writes the worksheet of each design file given and checks it: well-formed
HTML (every element closed in order, attributes quoted, a doctype, one title),
each embedded picture a PNG, and its totals equal to what --info counts of
the same file's needle events.
  worksheet_check.py KORVANE FILE...
Files that are not there are skipped; exits 77 when none is."""
import base64
import json
import os
import subprocess
import sys
import tempfile
from html.parser import HTMLParser

VOID = {"meta", "img", "br", "hr", "link", "input", "col", "source", "wbr"}


class Strict(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.stack, self.problems, self.totals, self.pictures = [], [], [], []
        self.doctype = False
        self.titles = 0
        self.cell = None

    def handle_decl(self, decl):
        self.doctype = decl.lower() == "doctype html"

    def handle_starttag(self, tag, attrs):
        for name, value in attrs:
            if value is None:
                self.problems.append(f"<{tag}> attribute {name} has no value")
        if tag == "title":
            self.titles += 1
        a = dict(attrs)
        if tag == "img":
            src = a.get("src") or ""
            if not src.startswith("data:image/png;base64,"):
                self.problems.append("a picture that is not an embedded PNG")
            else:
                self.pictures.append(base64.b64decode(src.split(",", 1)[1], validate=True))
        if "data-total" in a:
            self.cell = [a["data-total"], ""]
        if tag not in VOID:
            self.stack.append(tag)

    def handle_startendtag(self, tag, attrs):
        self.handle_starttag(tag, attrs)
        if tag not in VOID:
            self.stack.pop()

    def handle_endtag(self, tag):
        if tag in VOID:
            self.problems.append(f"</{tag}> closes a void element")
            return
        if not self.stack or self.stack[-1] != tag:
            self.problems.append(f"</{tag}> where <{self.stack[-1] if self.stack else '-'}> is open")
            self.cell = None
            return
        self.stack.pop()
        if self.cell and tag == "td":
            if self.cell[1].isdigit():
                self.totals.append((self.cell[0], int(self.cell[1])))
            else:
                self.problems.append(f"total {self.cell[0]} is no number")
            self.cell = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell[1] += data.strip()
        if "<" in data:
            self.problems.append("a stray '<' in text")


def expected_totals(korvane, path):
    info = json.loads(subprocess.run([korvane, "--info", "--json", "--stitches", path],
                                     check=True, capture_output=True, text=True).stdout)
    designs = []
    for d in info["files"][0]["designs"]:
        ops = [e["op"] for e in d["events"]]
        designs.append({"stitches": ops.count("stitch"), "jumps": ops.count("jump"),
                        "trims": ops.count("trim"), "colour-changes": ops.count("colour_change"),
                        "stops": ops.count("stop")})
    return designs


def check(korvane, path, out):
    subprocess.run([korvane, "--quiet", "--worksheet", path, "-O", out], check=True)
    name = os.path.splitext(os.path.basename(path))[0] + "-worksheet.html"
    with open(os.path.join(out, name), encoding="utf-8") as f:
        page = f.read()
    p = Strict()
    p.feed(page)
    p.close()
    problems = list(p.problems)
    if not p.doctype:
        problems.append("no <!DOCTYPE html>")
    if p.stack:
        problems.append(f"left open: {p.stack}")
    if p.titles != 1:
        problems.append(f"{p.titles} titles")
    if not p.pictures or any(not png.startswith(b"\x89PNG\r\n\x1a\n") for png in p.pictures):
        problems.append("no picture, or one that is not a PNG")
    want = expected_totals(korvane, path)
    got = [dict(p.totals[i:i + 5]) for i in range(0, len(p.totals), 5)]
    if got != want:
        problems.append(f"totals {got}, --info counts {want}")
    for line in problems:
        print(f"{path}: {line}")
    return not problems


def main():
    korvane, files = sys.argv[1], [f for f in sys.argv[2:] if os.path.exists(f)]
    if not files:
        print("SKIP: none of the design files is here")
        return 77
    with tempfile.TemporaryDirectory() as out:
        ok = all([check(korvane, f, out) for f in files])
    print("worksheets: " + ("all well-formed, totals agree" if ok else "FAILED"))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
