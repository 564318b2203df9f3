#!/usr/bin/env bash
# The thumbnailer as a file manager runs it: installed into a fresh prefix,
# its Exec line called with a size, a design and a picture name, on a design
# of every format korvane writes and on one real design of every format in
# the shared folder. Each picture must be a PNG whose longer side is the size
# asked for, with thread on it. The MIME types of the thumbnailer, the desktop
# entry and the MIME XML must be exactly the formats korvane reads.
#   thumbnailer_test.sh CMAKE BUILD_DIR WORK_DIR SOURCE_DIR
set -euo pipefail
cmake=$1 build=$2 work=$3 src=$4
fail() { echo "FAIL: $*" >&2; exit 1; }
command -v python3 >/dev/null || { echo "SKIP: python3 is not installed"; exit 77; }

rm -rf "$work" && mkdir -p "$work/designs"
prefix=$work/prefix
"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log"
entry=$prefix/share/thumbnailers/korvane.thumbnailer
[ -f "$entry" ] || fail "no thumbnailer installed at $entry"
[ -f "$prefix/share/mime/packages/korvane.xml" ] || fail "no MIME types installed"
export PATH="$prefix/bin:$PATH"

python3 - "$entry" "$prefix/share/mime/packages/korvane.xml" \
  "$prefix/share/applications/korvane.desktop" <<'PY' || fail "the MIME types disagree"
import json, subprocess, sys, xml.etree.ElementTree as ET
entry, mime_xml, desktop = sys.argv[1:]
formats = json.loads(subprocess.check_output(["korvane", "--formats", "--json"]))["formats"]
want = {f["mime"]: {"*." + e for e in f["extensions"]} for f in formats if f["read"]}
ns = "{http://www.freedesktop.org/standards/shared-mime-info}"
got = {t.get("type"): {g.get("pattern") for g in t.iter(ns + "glob")}
       for t in ET.parse(mime_xml).getroot().iter(ns + "mime-type")}
ok = True
if got != want:
    print("MIME XML:", got, "format table:", want); ok = False
def listed(path):
    for line in open(path):
        if line.startswith("MimeType="):
            return {m for m in line.strip()[len("MimeType="):].split(";") if m}
for path in (entry, desktop):
    if listed(path) != set(want):
        print(path, "lists", listed(path), "the format table", set(want)); ok = False
sys.exit(0 if ok else 1)
PY

exec_line=$(sed -n 's/^Exec=//p' "$entry")
[ -n "$exec_line" ] || fail "the thumbnailer has no Exec line"
# Runs the Exec line as a file manager does, with its %s, %i and %o filled in.
thumbnail() {
  local size=$1 in=$2 out=$3 words=() w
  read -r -a words <<<"$exec_line"
  for w in "${words[@]}"; do
    case $w in %s) w=$size ;; %i) w=$in ;; %o) w=$out ;; esac
    printf '%s\n' "$w"
  done >"$work/argv"
  mapfile -t words <"$work/argv"
  "${words[@]}"
}

# Designs of every format korvane writes, made from the example.
cp "$src/examples/garden.dhv" "$work/designs/garden.dhv"
for to in $(korvane --formats --json | python3 -c '
import json, sys
for f in json.load(sys.stdin)["formats"]:
    if f["read"] and f["write"]: print(f["extensions"][0])'); do
  korvane --convert "$work/designs/garden.dhv" --combine --to "$to" -q \
    -o "$work/designs/made.$to" || fail "cannot make a $to design"
done
designs=("$work"/designs/*)
shared=${KORVANE_SHARED_DIR:-$src/../shared}
if [ -d "$shared/realdesigns" ]; then
  for dir in "$shared"/realdesigns/*/; do
    case $(basename "$dir") in reference | vp4) continue ;; esac
    first=$(find "$dir" -maxdepth 1 -type f | sort | head -n 1)
    [ -n "$first" ] && designs+=("$first")
  done
else
  echo "note: $shared/realdesigns is absent; only generated designs are drawn"
fi

n=0
for design in "${designs[@]}"; do
  for size in 128 256; do
    out="$work/thumb-$n-$size.png"
    thumbnail "$size" "$design" "$out" 2>"$work/err" || fail "$design at $size: $(cat "$work/err")"
    python3 - "$out" "$size" <<'PY' || fail "$design at $size px"
import struct, sys, zlib
path, size = sys.argv[1], int(sys.argv[2])
data = open(path, "rb").read()
assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
pos, idat, head = 8, b"", None
while pos < len(data):
    n, kind = struct.unpack(">I4s", data[pos:pos + 8])
    body = data[pos + 8:pos + 8 + n]
    if kind == b"IHDR": head = struct.unpack(">IIBB", body[:10])
    if kind == b"IDAT": idat += body
    pos += 12 + n
w, h, depth, colour = head
assert depth == 8 and colour in (2, 6), f"bit depth {depth}, colour type {colour}"
if max(w, h) != size: sys.exit(f"{w} x {h}, the longer side should be {size}")
bpp = 3 if colour == 2 else 4
raw, rows, prev, at = zlib.decompress(idat), [], bytearray(w * bpp), 0
for _ in range(h):
    f, line = raw[at], bytearray(raw[at + 1:at + 1 + w * bpp]); at += 1 + w * bpp
    for i in range(len(line)):
        a = line[i - bpp] if i >= bpp else 0
        b, c = prev[i], prev[i - bpp] if i >= bpp else 0
        p = a + b - c
        pred = [0, a, b, (a + b) // 2,
                a if abs(p - a) <= abs(p - b) and abs(p - a) <= abs(p - c) else b if abs(p - b) <= abs(p - c) else c][f]
        line[i] = (line[i] + pred) & 0xFF
    rows.append(line); prev = line
thread = sum(1 for r in rows for x in range(w) if min(r[x * bpp:x * bpp + 3]) < 200)
if thread < w * h // 200: sys.exit(f"{w} x {h} with only {thread} pixels of thread")
PY
  done
  n=$((n + 1))
done
echo "thumbnailer: ${#designs[@]} designs drawn at 128 and 256 px"
