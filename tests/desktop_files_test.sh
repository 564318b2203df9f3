#!/usr/bin/env bash
# The desktop files as a desktop reads them: the entry passes
# desktop-file-validate, the MIME XML is well formed and its magic tells
# containers from designs by their content alone (the files are renamed so
# that no extension helps), and the icon is a valid SVG.
#   desktop_files_test.sh SOURCE_DIR KORVANE WORK_DIR
# Exits 77 (skipped) when a tool is missing (Debian packages
# desktop-file-utils, libxml2-utils, shared-mime-info, libglib2.0-bin).
set -euo pipefail
src=$1
korvane=$(realpath "$2")
work=$3

for tool in desktop-file-validate xmllint update-mime-database gio; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work" && mkdir -p "$work/data/mime/packages" "$work/files"
desktop-file-validate "$src/data/korvane.desktop" || fail "the desktop entry is not valid"
grep -q '^Exec=korvane %F$' "$src/data/korvane.desktop" || fail "the entry does not take files (%F)"
for f in "$src/data/korvane-mime.xml" "$src/data/icons/korvane.svg"; do
  xmllint --noout "$f" || fail "$f is not well-formed XML"
done

# Every MIME type the entry declares is one the XML defines.
declared=$(sed -n 's/^MimeType=//p' "$src/data/korvane.desktop" | tr ';' '\n' | sed '/^$/d' | sort)
defined=$(xmllint --xpath '//*[local-name()="mime-type"]/@type' "$src/data/korvane-mime.xml" |
  sed 's/ type="\([^"]*\)"/\1\n/g' | sed '/^$/d' | sort)
[ "$declared" = "$defined" ] || fail "the entry declares [$declared], the XML defines [$defined]"

cp "$src/data/korvane-mime.xml" "$work/data/mime/packages/korvane.xml"
update-mime-database "$work/data/mime" >/dev/null 2>&1 || fail "update-mime-database refused the XML"

# Content only: korvane's own outputs, and real designs when the shared folder has them.
cp "$src/examples/garden.dhv" "$work/files/container"
(cd "$work/files" && "$korvane" --split -O split container >/dev/null) || fail "cannot split the example"
declare -A want=([container]=application/x-korvane-dhv [split/container001.shv]=application/x-korvane-shv)
shared=${KORVANE_SHARED_DIR:-$src/../shared}
for real in "$shared"/realdesigns/shv/*.shv; do
  [ -f "$real" ] || continue
  head -c 86 "$real" | grep -q "Embroidery disk" || continue
  cp "$real" "$work/files/real-design"
  want[real-design]=application/x-korvane-shv
  break
done
for f in "${!want[@]}"; do
  mv "$work/files/$f" "$work/files/$f.bin" 2>/dev/null || true
  got=$(cd "$work/files" && XDG_DATA_HOME="$work/data" XDG_DATA_DIRS="$work/data" \
    gio info -a standard::content-type "$f.bin" | sed -n 's/^ *standard::content-type: //p')
  [ "$got" = "${want[$f]}" ] || fail "$f is seen as '$got', expected ${want[$f]}"
done
echo "desktop files: entry, MIME types and icon pass"
