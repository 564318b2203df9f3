#!/usr/bin/env bash
# Regenerates the seed corpora in fuzz/corpus/ with the example tool. Seeds
# for the container targets end with the mode byte their target reads last.
#   fuzz/make_corpus.sh [BUILD_DIR]     (default: build-examples)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-examples}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DKORVANE_TESTS=OFF >/dev/null
fi
ninja -C "$build" -j2 korvane_make_example korvane_make_pattern_seeds >/dev/null
tool=$build/tools/korvane_make_example
corpus=$root/fuzz/corpus
rm -rf "$corpus"
for f in "$root"/fuzz/*_fuzz.cpp; do
  f=${f##*/}
  mkdir -p "$corpus/${f%_fuzz.cpp}"
done

# seed FILE MODE_BYTE_HEX ARGS...: a container, then its mode byte.
seed() {
  local out=$1 mode=$2
  shift 2
  "$tool" "$@" -o "$out"
  if [ -n "$mode" ]; then printf "\\x$mode" >>"$out"; fi
}

# Splitting looks at the head and table only: small designs, many request shapes.
seed "$corpus/split/three_designs_files" 01 --reach 120 --seed 1 --designs 3 --colours 2 --words 30 --name garden
seed "$corpus/split/three_designs_list" 06 --reach 120 --seed 2 --designs 3 --colours 1 --words 20 --name g
seed "$corpus/split/three_designs_full_disk" 69 --reach 120 --seed 3 --designs 3 --colours 1 --words 20 --name g
seed "$corpus/split/one_design_memory" 0a --reach 120 --seed 4 --designs 1 --colours 1 --words 20 --name one
seed "$corpus/split/one_design_file_and_memory" 1b --reach 120 --seed 5 --designs 1 --colours 1 --words 20
seed "$corpus/split/many_designs_noise" 0e --reach 120 --seed 6 --designs 12 --colours 1 --words 10 --noise
seed "$corpus/split/long_name" 09 --reach 120 --seed 7 --designs 2 --colours 1 --words 10 \
  --name "$(printf 'n%.0s' $(seq 255))"

# Combining reads every design: colours, placements, every record kind.
seed "$corpus/combine/two_designs" 00 --reach 120 --seed 11 --designs 2 --colours 2 --words 60 --name pair
seed "$corpus/combine/four_designs_file" 05 --reach 120 --seed 12 --designs 4 --colours 3 --words 40
seed "$corpus/combine/no_placements" 02 --reach 120 --seed 13 --designs 3 --colours 1 --words 30 --no-placements
seed "$corpus/combine/plain" 00 --reach 120 --seed 14 --designs 2 --colours 2 --words 50 --plain
seed "$corpus/combine/one_design" 00 --reach 120 --seed 15 --designs 1 --colours 2 --words 40
seed "$corpus/combine/far_placements" 04 --reach 120 --seed 16 --designs 3 --colours 1 --words 30 --spread 30000
seed "$corpus/combine/big" 00 --seed 17 --designs 2 --colours 2 --words 60 --big

# lumbrel reads a HUC image; the shv_walk target an SHV image.
for s in 21 22 23 24; do
  seed "$corpus/lumbrel/huc_$s" 0$((s % 4)) --reach 120 --seed $s --designs 1 --words 80 --emit huc
  "$tool" --reach 120 --seed $s --designs 1 --words 80 --emit shv -o "$corpus/shv_walk/shv_$s"
done
seed "$corpus/lumbrel/huc_48_colours" 00 --reach 120 --seed 25 --designs 1 --colours 48 --words 120 --emit huc
seed "$corpus/lumbrel/huc_big" 01 --seed 26 --designs 1 --colours 2 --words 60 --big --emit huc
"$tool" --reach 120 --seed 25 --designs 1 --colours 48 --words 120 --emit shv -o "$corpus/shv_walk/shv_48_colours"
"$tool" --seed 26 --designs 1 --colours 2 --words 60 --big --emit shv -o "$corpus/shv_walk/shv_big"

# --info and --preview read containers and designs alike, with no mode byte.
"$tool" --reach 120 --seed 31 --designs 3 --colours 2 --words 40 --name garden -o "$corpus/survey/container"
"$tool" --reach 120 --seed 32 --designs 2 --colours 1 --words 30 --spread 30000 -o "$corpus/survey/far_placements"
"$tool" --reach 120 --seed 33 --designs 1 --colours 3 --words 60 --emit shv -o "$corpus/survey/design"
"$tool" --seed 34 --designs 1 --colours 2 --words 60 --big --emit shv -o "$corpus/survey/big_design"

# The page's C interface: a container, an SHV and a HUC design; the mode byte
# picks the format to convert to (the byte mod 9), combining (bit 3) and the
# design to draw (high four bits, minus one).
seed "$corpus/web_api/container_shv_layout" 00 --reach 120 --seed 51 --designs 3 --colours 2 --words 40 --name garden
seed "$corpus/web_api/container_dst_first" 21 --reach 120 --seed 52 --designs 2 --colours 1 --words 30
seed "$corpus/web_api/shv_design_svg" 15 --reach 120 --seed 53 --designs 1 --colours 3 --words 60 --emit shv
seed "$corpus/web_api/huc_design_shv" 00 --reach 120 --seed 54 --designs 1 --colours 2 --words 60 --emit huc
seed "$corpus/web_api/huc_design_pes" 14 --reach 120 --seed 55 --designs 1 --colours 2 --words 40 --emit huc

# The pattern readers: mode 00 an SHV design, 01 a HUC image, 02 a container's
# designs one by one, 03 combined.
seed "$corpus/shv_read/shv" 00 --reach 120 --seed 41 --designs 1 --colours 3 --words 80 --emit shv
seed "$corpus/shv_read/huc" 01 --reach 120 --seed 42 --designs 1 --colours 2 --words 60 --emit huc
seed "$corpus/shv_read/designs" 02 --reach 120 --seed 43 --designs 3 --colours 2 --words 40
seed "$corpus/shv_read/combined" 03 --reach 120 --seed 44 --designs 3 --colours 2 --words 40

# Round trips read the bytes as a small program (tests/support/shv_round_trip.cpp):
# a shape byte (bit 0: threads), the first block's jump, then ops and their bytes.
printf '\x01\x05\x00\x10\x00\x10\x00\x05\x05\x00\x7f\x80\x0d\x0b\x70\x70\x0f\x03\x00\x00\x00\x00\x00\x01' \
  >"$corpus/shv_round_trip/short_trim_colour"
printf '\x00\x00\x00\x00\x00\x09\x40\x00\xc0\x00\x1b\x7f\xff\x80\x00\x1c\x20\x00\x20\x00\x0d\x00\x81\x81' \
  >"$corpus/shv_round_trip/long_stitch_far_jumps"

# The foreign design readers: small files written from their layouts.
python3 "$root/fuzz/make_format_seeds.py" "$corpus"
# The stitch-pattern readers: generated designs as korvane writes them in
# PES, PEC, JEF, DST and EXP (DST and EXP with the mode byte of their reader).
"$build/tools/korvane_make_pattern_seeds" "$corpus"

du -sh "$corpus"/*
