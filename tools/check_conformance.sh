#!/usr/bin/env bash
# Runs korvane on every case of a conformance folder and compares what it
# leaves with what the case expects. Split outputs must match byte for byte;
# files made by the SHV writer are compared from byte 86 on, since the header
# text before it is each writer's own.
#   tools/check_conformance.sh KORVANE_EXE CONFORMANCE_DIR
set -u
exe=$(readlink -f "$1")
root=$2
pass=0
fail=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

same_from() {  # same_from OFFSET EXPECTED GOT
  cmp -s <(tail -c +$(($1 + 1)) "$2") <(tail -c +$(($1 + 1)) "$3")
}

check_case() {  # check_case NAME MODE_DIR SKIP EXPECTED_DIR RUN_DIR
  local name=$1 skip=$2 want=$3 got=$4 rc=$5 ok=1 f
  [ "$(cat "$want/exit-code")" = "$rc" ] || { echo "  exit code $rc, expected $(cat "$want/exit-code")"; ok=0; }
  for f in "$want"/*.shv; do
    [ -e "$f" ] || continue
    if [ ! -e "$got/$(basename "$f")" ]; then echo "  missing $(basename "$f")"; ok=0
    elif ! same_from "$skip" "$f" "$got/$(basename "$f")"; then echo "  $(basename "$f") differs"; ok=0; fi
  done
  for f in "$got"/*.shv; do
    [ -e "$f" ] || continue
    [ -e "$want/$(basename "$f")" ] || { echo "  unexpected $(basename "$f")"; ok=0; }
  done
  if [ $ok = 1 ]; then pass=$((pass + 1)); else fail=$((fail + 1)); echo "FAIL $name"; fi
}

for case in "$root"/containers/*/; do
  name=$(basename "$case")
  for mode in split combine; do
    [ -d "$case/$mode" ] || continue
    run="$work/$name-$mode"
    mkdir -p "$run"
    cp "$case/garden.dhv" "$run/"
    chmod u+w "$run/garden.dhv"
    if [ $mode = split ]; then
      (cd "$run" && "$exe" garden.dhv >/dev/null 2>"$work/err"); rc=$?
      skip=0
    else
      (cd "$run" && "$exe" --combine garden.dhv >/dev/null 2>"$work/err"); rc=$?
      # A one-design container is delivered as the split delivers it.
      skip=86
    fi
    rm "$run/garden.dhv"
    check_case "$name/$mode" "$skip" "$case/$mode" "$run" "$rc"
  done
done

for huc in "$root"/huc/*.huc; do
  [ -e "$huc" ] || continue
  name=$(basename "$huc" .huc)
  run="$work/huc-$name"
  mkdir -p "$run/want"
  cp "$huc" "$run/"
  cp "$root/huc/$name.shv" "$run/want/"
  echo 0 > "$run/want/exit-code"
  (cd "$run" && "$exe" --huc "$name.huc" >/dev/null 2>"$work/err"); rc=$?
  rm "$run/$name.huc"
  check_case "huc/$name" 86 "$run/want" "$run" "$rc"
done

echo "conformance: $pass passed, $fail failed"
[ $fail = 0 ]
