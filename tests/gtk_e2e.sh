#!/usr/bin/env bash
# The GTK dialogs end to end: korvane runs under an X server of the test's own
# and is driven with xdotool the way a user would drive it; a screenshot after
# every step lets a person look at the dialogs afterwards.
#   gtk_e2e.sh KORVANE MAKE_TEST_CONTAINER OUT_DIR [SOURCE_DIR [BUILD_DIR CMAKE]]
# With BUILD_DIR and CMAKE it also installs the build under OUT_DIR and runs
# the installed program. Exits 77 (skipped) only when no X server can start.
set -euo pipefail

korvane=$(realpath "$1")
maker=$(realpath "$2")
out=$3
src=${4:-}
build=${5:-}
cmake=${6:-}
here=$(cd "$(dirname "$0")" && pwd)

readonly kChooserTitle="Select designs to convert"
readonly kCreatedCaption="KORVANE created design(s) from:"
readonly kFailedCaption="KORVANE did NOT create all designs from:"
readonly kCombinedCaption="KORVANE combined the designs of:"
readonly kNotCombinedCaption="KORVANE did NOT combine the designs of:"
readonly kErrorLine="korvane aborted with error #-1"
readonly kConvertedCaption="KORVANE converted the design:"
readonly kShvCaption="KORVANE opened an SHV design:"
readonly kSaveTitle="Convert the design to"
readonly kTimeout=60  # seconds for any one window or exit; a shared machine can be slow

rm -rf "$out"
mkdir -p "$out/shots" "$out/home"
out=$(realpath "$out")

xvfb_pid=""
korvane_pid=""
cleanup() {
  [ -n "$korvane_pid" ] && kill "$korvane_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

die() {
  echo "FAIL: $*" >&2
  if [ -n "${run:-}" ]; then
    echo "--- korvane stdout ($run)" >&2; cat "$out/$run.out" >&2 || true
    echo "--- korvane stderr ($run)" >&2; grep -v '^$' "$out/$run.err" >&2 || true
  fi
  exit 1
}

shot_count=0
shot() {
  shot_count=$((shot_count + 1))
  import -window root "$out/shots/$(printf %02d "$shot_count")-$1.png"
}

# Files in a folder, one name a line, sorted.
listing() { (cd "$1" && find . -mindepth 1 -printf '%P\n' | LC_ALL=C sort); }

# A three-design container: the bundled example (real designs, so combining
# can succeed) when the tree has one, otherwise opaque designs.
make_garden() {
  if [ -n "$src" ] && [ -f "$src/examples/garden.dhv" ]; then
    cp "$src/examples/garden.dhv" "$1"
  else
    "$maker" "$1" 3 4096
  fi
}

# --- Without an X server: the console never touches GTK -----------------

ldd "$korvane" | grep -qi gtk && die "korvane links GTK: $(ldd "$korvane" | grep -i gtk)"

# No display: the terminal dialogs, silently (end of input cancels).
run=no-display
(cd "$out" && env -u DISPLAY -u WAYLAND_DISPLAY "$korvane" </dev/null >"$run.out" 2>"$run.err") ||
  die "exit $? without a display"
grep -q "$kChooserTitle" "$out/$run.err" || die "no terminal dialog without a display"
grep -q "no GTK dialogs" "$out/$run.err" && die "a fallback line where no display was expected"

# Asked for GTK where it cannot be had: the terminal, after one line saying why.
expect_fallback() {  # expect_fallback NAME WHY-PATTERN KORVANE [ENV...]
  run=$1
  local why=$2 exe=$3
  shift 3
  (cd "$out" && env -u WAYLAND_DISPLAY "$@" "$exe" --dialogs=gtk </dev/null >"$run.out" 2>"$run.err") ||
    die "exit $? for $run"
  [ "$(grep -c '^korvane: no GTK dialogs (' "$out/$run.err")" = 1 ] || die "not one fallback line for $run"
  grep -q "^korvane: no GTK dialogs (.*$why.*); using the terminal$" "$out/$run.err" ||
    die "the fallback line for $run does not say '$why'"
  grep -q "$kChooserTitle" "$out/$run.err" || die "no terminal dialog after the fallback for $run"
  run=""
}
expect_fallback gtk-no-display "cannot open the display" "$korvane" -u DISPLAY
# The module is found beside the program first: a copy of the program alone
# has none there, and one with a broken module beside it must say so.
mkdir -p "$out/lonely" "$out/broken"
cp "$korvane" "$out/lonely/korvane"
cp "$korvane" "$out/broken/korvane"
echo "not a shared object" >"$out/broken/korvane-gtk.so"
expect_fallback broken-module "korvane-gtk.so" "$out/broken/korvane" -u DISPLAY

# --- An X server of our own ---------------------------------------------

command -v Xvfb >/dev/null || { echo "SKIP: Xvfb is not installed (Debian package xvfb)"; exit 77; }
for tool in xdotool import; do
  command -v "$tool" >/dev/null || die "$tool is missing (Debian packages xdotool, imagemagick)"
done
# -displayfd: the server picks a free display itself and names it, so parallel
# runs never collide. -noreset: otherwise the server resets whenever its last
# client leaves, and the next korvane could meet it mid-reset.
exec 3>"$out/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset >"$out/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 1 150); do
  [ -s "$out/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
if ! [ -s "$out/display" ]; then
  echo "SKIP: Xvfb could not start: $(tail -n 3 "$out/xvfb.log" | tr '\n' ' ')"
  exit 77
fi
export DISPLAY=":$(head -n 1 "$out/display")"
unset WAYLAND_DISPLAY
# Keep korvane's GTK away from the user's settings, recent files and session bus.
export HOME="$out/home" XDG_CONFIG_HOME="$out/home/config" XDG_DATA_HOME="$out/home/data"
export XDG_CACHE_HOME="$out/home/cache" GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 LC_ALL=C.UTF-8
# GTK keeps caches for the life of the process, which LeakSanitizer would
# report in a sanitizer build; korvane's own allocations are still checked.
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$here/gtk_lsan.supp:print_suppressions=0"

expect_fallback module-missing "korvane-gtk.so is in none of $out/lonely, " "$out/lonely/korvane"

# Started from a desktop menu without the module: no terminal to fall back
# on, so the reason goes to a box of zenity's (a stand-in here that records
# what it was asked to show) and the exit code is 1.
mkdir -p "$out/fakebin"
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >"%s/zenity.args"\n' "$out" >"$out/fakebin/zenity"
chmod +x "$out/fakebin/zenity"
run=desktop-no-dialogs
rc=0
(cd "$out" && PATH="$out/fakebin:$PATH" "$out/lonely/korvane" </dev/null >"$run.out" 2>"$run.err") || rc=$?
[ "$rc" = 1 ] || die "exit code $rc without any dialogs, expected 1"
grep -q -- "--error" "$out/zenity.args" || die "zenity was not asked for an error box"
grep -q "^--text=korvane cannot show its dialogs: no GTK dialogs (korvane-gtk.so is in none of" "$out/zenity.args" ||
  die "zenity was not told why: $(cat "$out/zenity.args")"
run=""

start_korvane() {  # start_korvane NAME DIR [ARGS...]
  run=$1
  local dir=$2
  shift 2
  (cd "$dir" && exec "$korvane" "$@" </dev/null >"$out/$run.out" 2>"$out/$run.err") &
  korvane_pid=$!
}

# Prints the id of the visible window titled exactly TITLE once it is there.
wait_window() {
  local title re id
  title=$1
  re="^$(printf '%s' "$title" | sed 's/[][\.*^$(){}+?|]/\\&/g')\$"
  for _ in $(seq 1 $((kTimeout * 10))); do
    id=$(xdotool search --onlyvisible --name "$re" 2>/dev/null | head -n 1 || true)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    kill -0 "$korvane_pid" 2>/dev/null || die "korvane ended without showing '$title'"
    sleep 0.1
  done
  die "no window '$title' within ${kTimeout}s"
}

# Waits for korvane to end and checks its exit code.
expect_exit() {
  local want=$1 rc=0
  for _ in $(seq 1 $((kTimeout * 10))); do
    kill -0 "$korvane_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$korvane_pid" 2>/dev/null && die "korvane still running after ${kTimeout}s"
  wait "$korvane_pid" || rc=$?
  korvane_pid=""
  [ "$rc" = "$want" ] || die "exit code $rc, expected $want"
}

keys() {  # keys WINDOW KEY...
  local w=$1
  shift
  xdotool windowfocus --sync "$w"
  xdotool key --clearmodifiers "$@"
}

# Types a path into the chooser's location field and confirms it.
choose() {  # choose WINDOW PATH
  xdotool windowfocus --sync "$1"
  xdotool key --clearmodifiers ctrl+l ctrl+a
  xdotool type --clearmodifiers --delay 15 "$2"
  # Anything GTK's completion appended to the name is still selected: drop it.
  xdotool key --clearmodifiers Delete
  shot "${run}-path-typed"
  xdotool key --clearmodifiers Return
}

no_error_line() { ! grep -q "aborted with error" "$out/$run.out" || die "an error line on a good run"; }

# The expected outcome of combining comes from the command line: the dialogs
# must do exactly what `korvane --combine` does with the same container.
mkdir -p "$out/reference"
make_garden "$out/reference/garden.DHV"
(cd "$out/reference" && "$korvane" garden.DHV >/dev/null 2>&1) || die "the command line cannot split the container"
combine_rc=0
(cd "$out/reference" && "$korvane" --combine garden.DHV >/dev/null 2>&1) || combine_rc=$?

# Cancel: nothing written, nothing reported, exit 0.
mkdir -p "$out/cancel"
make_garden "$out/cancel/garden.DHV"
before=$(listing "$out/cancel")
start_korvane cancel "$out/cancel"
w=$(wait_window "$kChooserTitle")
shot cancel-chooser
keys "$w" alt+c
expect_exit 0
[ "$(listing "$out/cancel")" = "$before" ] || die "Cancel wrote files: $(listing "$out/cancel")"
no_error_line

# Split, then Yes: the numbered files, then what combining gives.
mkdir -p "$out/yes"
make_garden "$out/yes/garden.DHV"
# Files the filter must show in every letter case, and one it must hide.
touch "$out/yes/other.dhv" "$out/yes/Mixed.Dhv" "$out/yes/notes.txt"
start_korvane yes "$out/yes"
w=$(wait_window "$kChooserTitle")
shot yes-chooser-filtered
choose "$w" "$out/yes/garden.DHV"
w=$(wait_window "$kCreatedCaption")
shot yes-question
for n in 001 002 003; do
  cmp -s "$out/reference/garden$n.shv" "$out/yes/garden$n.shv" || die "garden$n.shv differs from the command line's"
done
[ -e "$out/yes/garden.shv" ] && die "garden.shv written before Yes"
# Enter answers Yes, the question's default button as on Windows.
keys "$w" Return
if [ "$combine_rc" = 0 ]; then
  # After Yes a box names the combined design.
  w=$(wait_window "$kCombinedCaption")
  shot yes-combined
  keys "$w" Return
  expect_exit 0
  cmp -s "$out/reference/garden.shv" "$out/yes/garden.shv" || die "garden.shv differs from korvane --combine's"
  grep -qx "$out/yes/garden.DHV: wrote $out/yes/garden.shv" "$out/$run.out" || die "the combined file is not listed"
  no_error_line
else
  w=$(wait_window "$kNotCombinedCaption")
  shot yes-combine-failed
  keys "$w" Return
  expect_exit 1
  grep -qx "$kErrorLine" "$out/$run.out" || die "no error line after a failed combine"
fi
grep -qx "$out/yes/garden.DHV: wrote $out/yes/garden001.shv, $out/yes/garden002.shv, $out/yes/garden003.shv" \
  "$out/$run.out" || die "the split files are not listed"

# Files given on the command line skip the chooser; each gets its boxes. A
# folder where the combined design belongs makes combining fail after Yes,
# and the box says so while the split stands.
mkdir -p "$out/given/garden.shv"
make_garden "$out/given/garden.DHV"
head -c 100 "$out/given/garden.DHV" >"$out/given/broken.dhv"
start_korvane given "$out/given" --dialogs=gtk garden.DHV broken.dhv
w=$(wait_window "$kCreatedCaption")
shot given-question
keys "$w" Return
w=$(wait_window "$kNotCombinedCaption")
shot given-combine-failed
keys "$w" Return
w=$(wait_window "$kFailedCaption")
shot given-split-failed
keys "$w" Return
expect_exit 1
[ "$(grep -c "aborted with error" "$out/$run.out")" = 2 ] || die "not one error line per failure"
[ -f "$out/given/garden003.shv" ] || die "the split of the given file is missing"

# Closing the question is No: the split stays, nothing is combined.
mkdir -p "$out/close"
make_garden "$out/close/garden.DHV"
start_korvane close "$out/close" --dialogs=gtk
w=$(wait_window "$kChooserTitle")
choose "$w" "$out/close/garden.DHV"
w=$(wait_window "$kCreatedCaption")
shot close-question
keys "$w" Escape
expect_exit 0
[ "$(listing "$out/close")" = "$(printf 'garden.DHV\ngarden001.shv\ngarden002.shv\ngarden003.shv')" ] ||
  die "closing the question left $(listing "$out/close" | tr '\n' ' ')"
no_error_line

# A missing file is no answer; a container that cannot be split shows the
# failure box and the error line, and writes nothing.
mkdir -p "$out/bad"
make_garden "$out/bad/whole.dhv"
head -c 100 "$out/bad/whole.dhv" >"$out/bad/broken.dhv"
rm "$out/bad/whole.dhv"
start_korvane bad "$out/bad" --dialogs=gtk
w=$(wait_window "$kChooserTitle")
choose "$w" "$out/bad/missing.dhv"
# Proving that nothing happens needs a moment's wait: had the name been taken,
# the chooser would be gone and the split under way by then.
sleep 2
shot bad-missing-typed
kill -0 "$korvane_pid" 2>/dev/null || die "korvane ended after a missing file was typed"
[ "$(xdotool search --onlyvisible --name "^$kChooserTitle\$" | wc -l)" -ge 1 ] ||
  die "the chooser closed on a missing file"
xdotool search --onlyvisible --name "^KORVANE" >/dev/null && die "a box appeared for a missing file"
choose "$w" "$out/bad/broken.dhv"
w=$(wait_window "$kFailedCaption")
shot bad-failure-box
[ "$(listing "$out/bad")" = "broken.dhv" ] || die "a failed split wrote $(listing "$out/bad" | tr '\n' ' ')"
keys "$w" Return
expect_exit 1
grep -qx "$kErrorLine" "$out/$run.out" || die "no error line after a failed split"
run=""

# Any other design converts to SHV beside it, and the box lists what was
# written. The DST comes from the command line, from the container's first design.
mkdir -p "$out/design"
make_garden "$out/design/garden.DHV"
(cd "$out/design" && "$korvane" garden.DHV >/dev/null 2>&1 &&
  "$korvane" --convert garden001.shv --to dst -o rose.dst >/dev/null 2>&1 &&
  rm garden.DHV garden00?.shv) || die "the command line cannot make a DST"
start_korvane design "$out/design" --dialogs=gtk
w=$(wait_window "$kChooserTitle")
shot design-chooser
choose "$w" "$out/design/rose.dst"
w=$(wait_window "$kConvertedCaption")
shot design-converted
keys "$w" Return
expect_exit 0
grep -qx "$out/design/rose.dst: wrote $out/design/rose.shv" "$out/$run.out" || die "the SHV written is not listed"
"$korvane" --info "$out/design/rose.shv" >/dev/null || die "rose.shv does not read back"
no_error_line

# An SHV design tells what it holds and, on Yes, goes through the save dialog
# to the type chosen there (DST, offered first).
mkdir -p "$out/shv"
make_garden "$out/shv/garden.DHV"
(cd "$out/shv" && "$korvane" garden.DHV >/dev/null 2>&1) || die "the command line cannot split"
start_korvane shv "$out/shv" --dialogs=gtk garden001.shv
w=$(wait_window "$kShvCaption")
shot shv-question
keys "$w" Return
w=$(wait_window "$kSaveTitle")
sleep 0.5
shot shv-save-dialog
keys "$w" Return
w=$(wait_window "$kConvertedCaption")
shot shv-converted
keys "$w" Return
expect_exit 0
"$korvane" --info "$out/shv/garden001.dst" 2>/dev/null | grep -q DST || die "garden001.dst is no DST design"
no_error_line
run=""

# Installed under another prefix than the configured one, korvane still finds
# its module, and the desktop entry starts the program that was installed.
if [ -n "$build" ] && [ -n "$cmake" ]; then
  "$cmake" --install "$build" --prefix "$out/prefix" >"$out/install.log" || die "cmake --install failed"
  entry="$out/prefix/share/applications/korvane.desktop"
  [ -f "$entry" ] || die "no desktop entry installed"
  exec_line=$(grep '^Exec=' "$entry")
  exec_program=${exec_line#Exec=}
  exec_program=${exec_program%% *}
  [ -x "$out/prefix/bin/$exec_program" ] || die "the desktop entry's $exec_line is not what was installed"
  mkdir -p "$out/installed"
  korvane="$out/prefix/bin/korvane"
  start_korvane installed "$out/installed"
  w=$(wait_window "$kChooserTitle")
  shot installed-chooser
  keys "$w" Escape
  expect_exit 0
  run=""
fi

echo "GTK dialogs end to end: all steps passed; screenshots in $out/shots"
