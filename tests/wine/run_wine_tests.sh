#!/usr/bin/env bash
# The Windows build's tests, run here under wine:
#   1. builds korvane.exe and korvane_tests.exe for x86_64 and for i686, and a Linux korvane;
#   2. runs the unit tests that need no POSIX as Windows programs, 64-bit and 32-bit;
#   3. checks the console: banner, error line and exit code for a missing file, and
#      both '\' and '/' as directory separators;
#   4. sameness: splits and combines a corpus of containers with the Linux build and
#      with both korvane.exe builds, and requires the same exit codes and identical files;
#   4b. names outside every ANSI code page, wildcards cmd leaves unexpanded, and
#      --preview pictures (decoded with libpng on this side), against the Linux build;
#   5. dialog mode on a virtual X display: picks a container with a CJK name in the
#      file-open dialog, answers Yes to the question and sees the box naming the
#      combined design; a container given with --dialogs that cannot be split shows
#      the failure box and exits 1; a file opened as Explorer opens it (start, with a
#      console of its own) gets the question box; the open, save and folder dialogs
#      each on their own (korvane_dialog_probe.exe); a DST picked in the open dialog
#      converts to SHV, that SHV goes to DST through the save dialog, and a design in
#      a read-only folder is written in the folder picked instead; screenshots of
#      every box are saved;
#   6. the installer and the portable ZIP (installer_test.sh).
#
#   bash tests/wine/run_wine_tests.sh [BUILD_ROOT]     (default: build-wine)
#
# Everything it makes stays under BUILD_ROOT, the wine prefix included.
set -euo pipefail
cd "$(dirname "$0")/../.."
src=$(pwd)
root=$(mkdir -p "${1:-build-wine}" && cd "${1:-build-wine}" && pwd)
started=$SECONDS

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
section() { echo "== wine: $* ($((SECONDS - started)) s)"; }

# --- 1. Builds ---------------------------------------------------------------------------
build() {  # build DIR [CMAKE_ARGS...]
  local dir=$1
  shift
  # Every option the steps below rely on is named: a folder kept from an earlier
  # run keeps its old ones otherwise.
  cmake -S "$src" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_WERROR=ON \
    -DKORVANE_TESTS=ON -DKORVANE_SANITIZE=OFF -DKORVANE_FUZZ=OFF "$@" >/dev/null
  cmake --build "$dir" -j2
}
section "x86_64 build"
build "$root/win64" --toolchain "$src/cmake/mingw-w64-x86_64.cmake"
section "i686 build"
build "$root/win32" --toolchain "$src/cmake/mingw-w64-i686.cmake"
section "Linux build to compare with"
build "$root/linux" -DKORVANE_TESTS=OFF

exe=$root/win64/src/frontend/korvane.exe
exe32=$root/win32/src/frontend/korvane.exe
linux_exe=$root/linux/src/frontend/korvane
# Statically linked: nothing beyond what every Windows installation has.
dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr '[:upper:]' '[:lower:]' | sort | tr '\n' ' ')
for dll in $dlls; do
  case $dll in
    kernel32.dll | user32.dll | gdi32.dll | comdlg32.dll | msvcrt.dll | ole32.dll | shell32.dll) ;;
    *) fail "korvane.exe needs $dll" ;;
  esac
done
# The icon, the version from project() and the manifest are in the program.
version=$(sed -n 's/^project(korvane VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
for e in "$exe" "$exe32"; do
  resources=$(x86_64-w64-mingw32-windres -i "$e" -O rc 2>/dev/null || true)
  grep -q 'RT_GROUP_ICON' <<<"$resources" || fail "$e has no icon"
  grep -q "VALUE \"FileVersion\", \"$version\"" <<<"$resources" || fail "$e has no version $version"
  for m in Microsoft.Windows.Common-Controls PerMonitorV2; do
    grep -aq "$m" "$e" || fail "$e: the manifest lacks $m"
  done
done

# --- wine ----------------------------------------------------------------------------------
export WINEDEBUG=-all
export WINEPREFIX=$root/wineprefix
# No Mono or Gecko: their installers would ask on the display.
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine reads the arguments and file names it is given in the locale's encoding.
export LC_ALL=C.UTF-8
unset DISPLAY
rm -rf "$WINEPREFIX"
section "fresh wine prefix"
wineboot --init >/dev/null 2>&1
# One server for the whole run, so each program starts in a fraction of a second;
# first let the one that set up the prefix save it and end.
wineserver -w
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
# The first program starts wine's background services, which outlive it and keep
# its standard streams open: start them on /dev/null, or ctest would wait for them.
wine "$exe" --version </dev/null >/dev/null 2>&1

wine_run() {  # wine_run DIR PROGRAM ARGS... ; stdout/stderr to DIR/.out and DIR/.err
  local dir=$1 rc
  shift
  (cd "$dir" && timeout 120 wine "$@" >.out 2>.err) && return 0 || rc=$?
  # korvane explains every failure, on standard output or as "korvane: ..." on
  # standard error. Silence on both means wine never got as far as starting it:
  # say so, and give it one more go.
  if [ ! -s "$dir/.out" ] && ! grep -q korvane "$dir/.err"; then
    echo "wine: exit code $rc without a word from korvane in $dir; running it again. Wine said: $(head -c 400 "$dir/.err")"
    (cd "$dir" && timeout 120 wine "$@" >.out 2>.err) && return 0 || rc=$?
  fi
  return "$rc"
}
# What a run said, for a failure's report.
said() { head -c 600 "$1/.err" | sed 's/^/    /'; }

# --- 2. Unit tests ------------------------------------------------------------------------
section "unit tests as korvane_tests.exe"
ctest --test-dir "$root/win64" --output-on-failure --no-tests=error --timeout 600 || fail "unit tests under wine"
section "unit tests as the 32-bit korvane_tests.exe"
ctest --test-dir "$root/win32" --output-on-failure --no-tests=error --timeout 600 || fail "32-bit unit tests under wine"

# --- 3. Console ---------------------------------------------------------------------------
section "console"
con=$root/console
rm -rf "$con" && mkdir -p "$con/linux" "$con/wine"
set +e
(cd "$con/linux" && "$linux_exe" missing.dhv >.out 2>.err); linux_rc=$?
wine_run "$con/wine" "$exe" missing.dhv; wine_rc=$?
mkdir -p "$con/batch-linux" "$con/batch-wine"
(cd "$con/batch-linux" && "$linux_exe" missing.dhv "" >.out 2>.err); batch_linux_rc=$?
wine_run "$con/batch-wine" "$exe" missing.dhv ""; batch_wine_rc=$?
set -e
# The Windows C library writes text mode: each line ends in CR LF there.
tr -d '\r' <"$con/wine/.out" >"$con/wine/out.txt"
[ "$wine_rc" = 1 ] || fail "a missing file: exit code $wine_rc, expected 1"
[ "$wine_rc" = "$linux_rc" ] || fail "a missing file: exit code $wine_rc, the Linux build's $linux_rc"
cmp -s "$con/linux/.out" "$con/wine/out.txt" || fail "a missing file: standard output differs from the Linux build's"
head -n 1 "$con/wine/out.txt" | grep -q "^KORVANE conversion utility version $(sed -n 's/^project(korvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt) " ||
  fail "no banner with the build's version"
[ "$(tail -n 1 "$con/wine/out.txt")" = "korvane aborted with error #-1" ] || fail "no error line"
grep -q '^korvane: missing.dhv: cannot open the file' "$con/wine/.err" || fail "no reason on standard error"
[ -z "$(find "$con/wine" -name '*.shv')" ] || fail "a missing file left output behind"
# A batch names each failed file and ends with a count, alike on both systems.
tr -d '\r' <"$con/batch-wine/.out" >"$con/batch-wine/out.txt"
[ "$batch_wine_rc" = 1 ] && [ "$batch_linux_rc" = 1 ] || fail "a failed batch: exit codes $batch_wine_rc and $batch_linux_rc"
cmp -s "$con/batch-linux/.out" "$con/batch-wine/out.txt" || fail "a failed batch: standard output differs from the Linux build's"
grep -qx 'missing.dhv: korvane aborted with error #-1' "$con/batch-wine/out.txt" || fail "the error line does not name the file"
[ "$(tail -n 1 "$con/batch-wine/out.txt")" = "0 files converted, 2 failed" ] || fail "no summary after a batch"
grep -q '^korvane: the file name is empty' "$con/batch-wine/.err" || fail "an empty name is not called empty"

# --- corpus -------------------------------------------------------------------------------
corpus=$root/corpus
rm -rf "$corpus" && mkdir -p "$corpus"
if [ -d "$src/../shared/conformance-next/containers" ]; then
  for c in "$src"/../shared/conformance-next/containers/*/; do
    [ -f "$c/garden.dhv" ] && mkdir -p "$corpus/conf-$(basename "$c")" && cp "$c/garden.dhv" "$corpus/conf-$(basename "$c")/"
  done
fi
# ---- EXAMPLE TOOL: containers from the example generator (tools/make_example.cpp) ----
# One case per line: a name, then the generator's options. Together they cover one and
# several designs, placements, long-form previews and every colour code.
examples=(
  "one-design --seed 101 --designs 1"
  "several --seed 102 --designs 5"
  "placed-far --seed 103 --designs 3 --spread 20000"
  "unplaced --seed 104 --designs 2 --no-placements"
  "big --seed 105 --designs 2 --big"
  "big-one --seed 106 --designs 1 --big --colours 48"
  "all-colours --seed 107 --designs 3 --colours 48"
  "all-colours-big --seed 108 --designs 2 --colours 48 --big --words 20000"
  "plain --seed 109 --designs 3 --plain"
  "noise --seed 110 --designs 4 --noise"
  "long --seed 111 --designs 2 --words 60000"
)
for s in $(seq 120 129); do examples+=("seed-$s --seed $s --designs $((s % 4 + 1))"); done
make_example=$root/linux/tools/korvane_make_example
for e in "${examples[@]}"; do
  read -r -a words <<<"$e"
  mkdir -p "$corpus/example-${words[0]}"
  "$make_example" "${words[@]:1}" -o "$corpus/example-${words[0]}/garden.dhv" >/dev/null ||
    fail "korvane_make_example ${words[*]:1} failed"
done
# ---- end EXAMPLE TOOL ----
mkdir -p "$corpus/bundled" && cp "$src/examples/garden.dhv" "$corpus/bundled/"
chmod -R u+w "$corpus"
echo "wine: corpus of $(find "$corpus" -name garden.dhv | wc -l) containers"

# --- 3b. Directory separators -------------------------------------------------------------
first=$(find "$corpus" -name garden.dhv | sort | head -n 1)
if [ -n "$first" ]; then
  for sep in '\' '/'; do
    d=$con/sep-$([ "$sep" = / ] && echo slash || echo backslash)
    mkdir -p "$d/sub"
    cp "$first" "$d/sub/garden.dhv"
    wine_run "$d" "$exe" "sub${sep}garden.dhv" || fail "'sub${sep}garden.dhv': exit code $?"
    [ -n "$(find "$d/sub" -name 'garden*.shv')" ] || fail "'sub${sep}garden.dhv': no output beside the container"
    [ -z "$(find "$d" -maxdepth 1 -name '*.shv')" ] || fail "'sub${sep}garden.dhv': output outside sub"
  done
fi

# --- 4. Sameness --------------------------------------------------------------------------
section "sameness"
same=$root/sameness
rm -rf "$same"
# Runs one side of a case; a side that disagrees with Linux on the exit code is
# run once more from a fresh copy, with what it said printed. Agreeing then
# points at the emulator rather than at korvane, which is deterministic: it is
# reported, and only a second disagreement fails.
same_run() {  # same_run SIDE PROGRAM ; uses name, mode, case, args, lrc
  local d=$same/$1/$name-$mode rc=0
  wine_run "$d" "$2" "${args[@]}" || rc=$?
  [ "$rc" = "$lrc" ] && return "$rc"
  echo "wine: $name $mode on $1: exit code $rc, $lrc on Linux; running it again. It said:"
  said "$d"
  rm -rf "$d" && mkdir -p "$d" && cp "$case/garden.dhv" "$d/"
  rc=0
  wine_run "$d" "$2" "${args[@]}" || rc=$?
  [ "$rc" = "$lrc" ] && unstable=$((unstable + 1))
  return "$rc"
}
unstable=0
compared=0
refused=0
files=0
for case in "$corpus"/*/; do
  name=$(basename "$case")
  for mode in split combine; do
    args=(garden.dhv)
    [ $mode = combine ] && args=(--combine garden.dhv)
    for side in linux wine wine32; do
      mkdir -p "$same/$side/$name-$mode"
      cp "$case/garden.dhv" "$same/$side/$name-$mode/"
    done
    set +e
    (cd "$same/linux/$name-$mode" && "$linux_exe" "${args[@]}" >.out 2>.err); lrc=$?
    same_run wine "$exe"; wrc=$?
    same_run wine32 "$exe32"; w32rc=$?
    set -e
    [ "$lrc" = 0 ] || refused=$((refused + 1))
    [ "$lrc" = "$wrc" ] || { fail "$name $mode: exit code $wrc under wine, $lrc on Linux"; said "$same/wine/$name-$mode"; }
    [ "$lrc" = "$w32rc" ] || { fail "$name $mode: exit code $w32rc with the 32-bit build, $lrc on Linux"; said "$same/wine32/$name-$mode"; }
    lfiles=$(cd "$same/linux/$name-$mode" && ls -1 | sort)
    for side in wine wine32; do
      wfiles=$(cd "$same/$side/$name-$mode" && ls -1 | sort)
      [ "$lfiles" = "$wfiles" ] || fail "$name $mode: files differ: Linux [$(tr '\n' ' ' <<<"$lfiles")], $side [$(tr '\n' ' ' <<<"$wfiles")]"
      for f in $lfiles; do
        files=$((files + 1))
        if [ -f "$same/$side/$name-$mode/$f" ] && ! cmp -s "$same/linux/$name-$mode/$f" "$same/$side/$name-$mode/$f"; then
          fail "$name $mode: $f differs under $side"
        fi
      done
    done
    compared=$((compared + 1))
  done
done
echo "wine: sameness compared $compared runs ($files files), $refused of them refused alike"
[ "$unstable" = 0 ] || echo "wine: UNSTABLE: $unstable runs agreed only when run again (see above)"
[ "$compared" -gt 0 ] || fail "sameness: the corpus is empty"

# --- 4b. Names, wildcards and pictures ---------------------------------------------------
section "Unicode names, wildcards and pictures"
names=$root/names
rm -rf "$names"
# One case a line: a name; the files to make (copies of the bundled example; a
# .txt name is an empty file); the arguments, as typed in cmd; what is typed
# on standard input (printf's escapes), if anything. The Linux build gets the
# arguments expanded by bash, which keeps a pattern that matches nothing as
# typed: what korvane.exe must do itself. A folder's containers are named with
# the system's separator ("花\a.dhv" there): such a case runs --quiet.
name_cases=(
  "split-cjk|花.dhv|花.dhv"
  "combine-accent|rosé.dhv|--combine rosé.dhv"
  "info-both|花.dhv rosé.dhv|--info rosé.dhv 花.dhv"
  "info-wildcard|b.dhv a.dhv 花.dhv notes.txt|--info *.dhv"
  "split-wildcard-folder|sub/x.dhv sub/y.dhv|sub/*.dhv"
  "wildcard-no-match|a.dhv|--info *.xyz"
  "preview-cjk|花.dhv|--preview 花.dhv"
  "preview-wildcard|rosé.dhv a.dhv pics/keep.txt|--preview -o pics r*.dhv a?dhv"
  "output-dir-cjk|花.dhv rosé.dhv|-O 花 花.dhv rosé.dhv"
  "output-dir-nested|rosé.dhv|--combine --output-dir rosé/花 rosé.dhv"
  "folder-cjk|花/a.dhv 花/rosé/花.dhv notes.txt|--quiet --recursive 花"
  "terminal-dialog-cjk|花.dhv|--dialogs=terminal|花.dhv\\nno\\n"
  "terminal-dialog-quoted|花/rosé.dhv|--dialogs=terminal|\"花/rosé.dhv\"\\nmaybe\\nyes\\n"
)
pictures=0
for c in "${name_cases[@]}"; do
  IFS='|' read -r label files args input <<<"$c"
  read -r -a made <<<"$files"
  read -r -a typed <<<"$args"
  for side in linux wine wine32; do
    d=$names/$side/$label
    mkdir -p "$d"
    printf '%b' "$input" >"$d/.in"
    for f in "${made[@]}"; do
      mkdir -p "$d/$(dirname "$f")"
      case $f in *.txt) : >"$d/$f" ;; *) cp "$src/examples/garden.dhv" "$d/$f" ;; esac
    done
  done
  expanded=()
  for t in "${typed[@]}"; do
    # shellcheck disable=SC2206 # the glob is the point
    g=($(cd "$names/linux/$label" && echo $t))
    expanded+=("${g[@]}")
  done
  set +e
  (cd "$names/linux/$label" && "$linux_exe" "${expanded[@]}" <.in >.out 2>.err); lrc=$?
  wine_run "$names/wine/$label" "$exe" "${typed[@]}" <"$names/wine/$label/.in"; wrc=$?
  wine_run "$names/wine32/$label" "$exe32" "${typed[@]}" <"$names/wine32/$label/.in"; w32rc=$?
  set -e
  lfiles=$(cd "$names/linux/$label" && find . -type f ! -name '.*' | sort)
  for side in wine wine32; do
    d=$names/$side/$label
    rc=$([ $side = wine ] && echo "$wrc" || echo "$w32rc")
    [ "$rc" = "$lrc" ] || fail "$label ($side): exit code $rc, the Linux build's $lrc"
    for stream in out err; do
      tr -d '\r' <"$d/.$stream" >"$d/.$stream-lf"
      cmp -s "$names/linux/$label/.$stream" "$d/.$stream-lf" ||
        fail "$label ($side): standard $stream differs: $(diff "$names/linux/$label/.$stream" "$d/.$stream-lf" | head -n 3 | tr '\n' ' ')"
    done
    wfiles=$(cd "$d" && find . -type f ! -name '.*' | sort)
    [ "$lfiles" = "$wfiles" ] || fail "$label ($side): files differ: Linux [$(tr '\n' ' ' <<<"$lfiles")], $side [$(tr '\n' ' ' <<<"$wfiles")]"
    for f in $lfiles; do
      [ -f "$d/$f" ] || continue
      case $f in
        *.png)
          # Encoded by another library, so compared as pixels: libpng decodes both.
          if ! cmp -s <(convert "$names/linux/$label/$f" -depth 8 rgb:-) <(convert "$d/$f" -depth 8 rgb:-) ||
            [ "$(identify -format '%wx%h' "$names/linux/$label/$f")" != "$(identify -format '%wx%h' "$d/$f")" ]; then
            fail "$label ($side): $f shows other pixels"
          fi
          pictures=$((pictures + 1))
          ;;
        *) cmp -s "$names/linux/$label/$f" "$d/$f" || fail "$label ($side): $f differs" ;;
      esac
    done
  done
done
echo "wine: ${#name_cases[@]} name cases, $pictures pictures compared as pixels"
[ "$pictures" -gt 0 ] || fail "no --preview picture was compared"

# --- 5. Dialog mode -----------------------------------------------------------------------
section "dialog mode"
shots=$root/screenshots
xvfb_pid=""
start_display() {  # a virtual X display for wine's windows; false when Xvfb cannot start
  local display_file=$root/xvfb-display _
  rm -f "$display_file"
  # Xvfb picks a free display and writes its number to the descriptor.
  Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp 9>"$display_file" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [ -s "$display_file" ] && break; sleep 0.1; done
  if [ ! -s "$display_file" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    return 1
  fi
  DISPLAY=:$(cat "$display_file")
  export DISPLAY
  # Wine's desktop process reads DISPLAY when it starts: start over with the display set.
  wineserver -k 2>/dev/null || true
  wineserver -w
  # Root writes in any folder. Wine's server opens the files: started without
  # these capabilities it keeps to a folder's permissions, as for any user,
  # and a read-only folder is one.
  if [ "$(id -u)" = 0 ] && command -v capsh >/dev/null; then
    capsh --drop=cap_dac_override,cap_dac_read_search -- -c 'wineserver -p'
  fi
}
stop_display() {
  # Wine's desktop process holds the display: let it go before the display does.
  wineserver -k 2>/dev/null || true
  wineserver -w
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  unset DISPLAY
}
# Polled rather than --sync: a window that closes while xdotool looks at it
# ends a synced search with an X error instead of going on looking. Only a
# window on the screen counts: wine names a window before it maps it, and
# focusing it then fails.
find_window() {  # find_window TITLE_REGEX: the first window so named, within 60 s
  local found="" _
  for _ in $(seq 120); do
    found=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) || true
    [ -n "$found" ] && break
    sleep 0.5
  done
  echo "$found"
}
wine_path() { echo "Z:$(echo "$1" | tr / '\\')"; }
dialog_test() {
  # A container with several designs, so Yes adds the combined design beside the split's.
  local pick="" c n
  for c in "$corpus"/*/; do
    n=$(find "$same/linux/$(basename "$c")-split" -name 'garden[0-9]*.shv' | wc -l)
    if [ "$n" -ge 2 ] && [ -f "$same/linux/$(basename "$c")-combine/garden.shv" ]; then
      pick=$c
      break
    fi
  done
  if [ -z "$pick" ]; then
    for c in "$corpus"/*/; do
      if [ -n "$(find "$same/linux/$(basename "$c")-split" -name '*.shv')" ]; then
        pick=$c
        break
      fi
    done
  fi
  if [ -z "$pick" ]; then
    fail "dialog mode: no container in the corpus splits"
    return
  fi
  local dir=$root/dialog
  rm -rf "$dir" && mkdir -p "$dir"
  # Picked by a name outside every ANSI code page, typed into the dialog.
  local picked=花
  cp "$pick/garden.dhv" "$dir/$picked.dhv"
  # Opened from Explorer, by another such name.
  cp "$pick/garden.dhv" "$dir/rosé.dhv"

  # set -e would end the subshell at a failing exit code, before it is recorded.
  (set +e; cd "$dir" && timeout 120 wine "$exe" >.out 2>.err; echo $? >.rc) &
  local run_pid=$! w ok=1
  w=$(find_window '^Select .* to convert$')
  if [ -z "$w" ]; then
    fail "dialog mode: the file-open dialog did not appear"
    ok=0
  else
    sleep 1  # let the dialog list the folder before typing
    xdotool windowfocus --sync "$w"
    # xdotool types a character the keyboard lacks by mapping a spare keycode
    # to it for the moment, which wine, reading the keyboard once at its start,
    # drops: "花" cannot be typed. A pattern can: the dialog then lists only
    # the one-letter name, which is picked as a user would, by double-clicking
    # the list's first row.
    xdotool type --delay 20 "Z:$(echo "$dir/?.dhv" | tr / '\\')"
    xdotool key Return
    sleep 1
    import -window root "$shots/open-dialog.png"
    xdotool mousemove --window "$w" 150 45 click --repeat 2 --delay 100 1
    w=$(find_window '^KORVANE created design\(s\) from:$')
    if [ -z "$w" ]; then
      fail "dialog mode: the question box did not appear"
      import -window root "$shots/after-open.png"
      ok=0
    else
      sleep 0.5
      import -window root "$shots/question.png"
      xdotool windowfocus --sync "$w"
      xdotool key y  # the Yes button's accelerator
      # After Yes a box names the combined design.
      w=$(find_window '^KORVANE combined the designs of:$')
      if [ -z "$w" ]; then
        fail "dialog mode: no box confirmed the combined design"
        import -window root "$shots/after-yes.png"
        ok=0
      else
        sleep 0.5
        import -window root "$shots/combined.png"
        xdotool windowfocus --sync "$w"
        xdotool key Return
      fi
    fi
  fi
  # A container given with --dialogs skips the file-open dialog; one that
  # cannot be split shows the failure box with the reason.
  if [ $ok = 1 ]; then
    wait "$run_pid" || true
    head -c 100 "$dir/$picked.dhv" >"$dir/broken.dhv"
    (set +e; cd "$dir" && timeout 120 wine "$exe" --dialogs broken.dhv >.out-broken 2>.err-broken; echo $? >.rc-broken) &
    run_pid=$!
    w=$(find_window '^KORVANE did NOT create all designs from:$')
    if [ -z "$w" ]; then
      fail "dialog mode: no failure box for a broken container"
      ok=0
    else
      sleep 0.5
      import -window root "$shots/failure.png"
      xdotool windowfocus --sync "$w"
      xdotool key Return
    fi
  fi
  # Explorer starts a program with the file as its argument and a console of
  # its own, as start does: korvane lets the console go and shows the boxes.
  if [ $ok = 1 ]; then
    wait "$run_pid" || true
    (set +e; cd "$dir" && timeout 120 wine start /wait /d "Z:$(echo "$dir" | tr / '\\')" "Z:$(echo "$exe" | tr / '\\')" rosé.dhv \
      >.out-explorer 2>.err-explorer; echo $? >.rc-explorer) &
    run_pid=$!
    w=$(find_window '^KORVANE created design\(s\) from:$')
    if [ -z "$w" ]; then
      fail "dialog mode: a file opened from Explorer showed no question box"
      import -window root "$shots/after-explorer.png"
      ok=0
    else
      sleep 0.5
      import -window root "$shots/explorer-question.png"
      xdotool windowfocus --sync "$w"
      xdotool key n  # the No button's accelerator
    fi
  fi
  # A dialog left open would hold the run: end every process of this prefix (all ours).
  [ $ok = 1 ] || wineserver -k 2>/dev/null || true
  wait "$run_pid" || true
  [ $ok = 1 ] || return

  [ "$(cat "$dir/.rc" 2>/dev/null)" = 0 ] || fail "dialog mode: exit code $(cat "$dir/.rc" 2>/dev/null)"
  [ "$(cat "$dir/.rc-broken" 2>/dev/null)" = 1 ] ||
    fail "dialog mode: exit code '$(cat "$dir/.rc-broken" 2>/dev/null)' for a broken container, expected 1"
  [ "$(cat "$dir/.rc-explorer" 2>/dev/null)" = 0 ] ||
    fail "dialog mode: exit code '$(cat "$dir/.rc-explorer" 2>/dev/null)' for a file opened from Explorer"
  tr -d '\r' <"$dir/.out" | grep -q "^.*$picked.dhv: wrote .*$picked.shv\$" || fail "dialog mode: the combined file is not listed"
  rm -f "$dir/broken.dhv"
  # The same files as the Linux build writes for the same names: the combined
  # design carries its name, so the reference is made under these names too.
  local name ref=$root/dialog-linux f
  name=$(basename "$pick")
  rm -rf "$ref" && mkdir -p "$ref"
  cp "$pick/garden.dhv" "$ref/$picked.dhv"
  cp "$pick/garden.dhv" "$ref/rosé.dhv"
  (cd "$ref" && "$linux_exe" "$picked.dhv" rosé.dhv && "$linux_exe" --combine "$picked.dhv") >/dev/null 2>&1 ||
    fail "dialog mode: the Linux build could not make the reference"
  # From Explorer, No was the answer: rosé's split files only.
  [ "$(cd "$ref" && ls -1 -- *.shv)" = "$(cd "$dir" && ls -1 -- *.shv)" ] ||
    fail "dialog mode: wrote [$(cd "$dir" && ls -- *.shv | tr '\n' ' ')], the Linux build [$(cd "$ref" && ls -- *.shv | tr '\n' ' ')]"
  for f in "$ref"/*.shv; do
    cmp -s "$f" "$dir/$(basename "$f")" || fail "dialog mode: $(basename "$f") differs from the Linux build's"
  done
  echo "wine: dialog mode drove $name"
}

# Each dialog on its own, through korvane_dialog_probe.exe, which shows it as
# korvane does and prints the answer.
dialogs_one_by_one() {
  local probe=$root/win64/tests/korvane_dialog_probe.exe dir=$root/dialog-probe w run_pid
  rm -rf "$dir" && mkdir -p "$dir/designs" "$dir/out" "$dir/locked"
  (cd "$dir/designs" && cp "$src/examples/garden.dhv" . && "$linux_exe" --quiet --convert garden.dhv --to dst &&
    rm garden.dhv && : >0-notes.txt) || { fail "dialogs: no DST to pick"; return; }
  probe_start() {  # probe_start NAME ARGS...: the probe in the background, its answer in DIR/NAME
    local name=$1
    shift
    (set +e; cd "$dir" && timeout 120 wine "$probe" "$@" >"$name" 2>"$name.err"; echo $? >"$name.rc") &
    run_pid=$!
  }
  answer() { tr -d '\r' <"$dir/$1"; }

  # The open dialog lists designs of every format at first: opening the
  # folder and double-clicking the first row picks the DST, not the notes.
  probe_start open.txt open
  w=$(find_window '^Select .* to convert$')
  if [ -z "$w" ]; then
    fail "dialogs: the open dialog did not appear"
  else
    sleep 1
    xdotool windowfocus --sync "$w"
    xdotool type --delay 20 "$(wine_path "$dir/designs")\\"
    xdotool key Return
    sleep 2  # wine redraws the list a while after it has changed folder
    import -window root "$shots/open-any-format.png"
    xdotool mousemove --window "$w" 150 45 click --repeat 2 --delay 100 1
  fi
  wait "$run_pid" || true
  [ "$(answer open.txt)" = "$(wine_path "$dir/designs/garden001.dst")" ] ||
    fail "dialogs: the open dialog answered [$(answer open.txt)], expected garden001.dst; it said: $(head -c 300 "$dir/open.txt.err")"

  # The save dialog offers the type asked for: a name typed without an
  # extension gets it, one typed with another type's gets that type.
  local typed expected format
  for typed in "rose|rose.dst|dst" "tulip.PES|tulip.PES|pes"; do
    IFS='|' read -r typed expected format <<<"$typed"
    probe_start "save-$format.txt" save "Convert to" "$(wine_path "$dir/out")" garden dst
    w=$(find_window '^Convert to$')
    if [ -z "$w" ]; then
      fail "dialogs: the save dialog did not appear"
      break
    fi
    sleep 1
    [ "$format" = dst ] && import -window root "$shots/save-dialog.png"
    xdotool windowfocus --sync "$w"
    xdotool key End shift+Home
    xdotool type --delay 20 "$typed"
    xdotool key Return
    wait "$run_pid" || true
    [ "$(answer "save-$format.txt")" = "$(wine_path "$dir/out/$expected")|$format" ] ||
      fail "dialogs: typed '$typed' in the save dialog, answered [$(answer "save-$format.txt")]"
  done

  # The folder picker opens where it is told, here a folder that cannot be
  # written, and gives the folder the user names.
  chmod a-w "$dir/locked"
  probe_start folder.txt folder "Save in which folder?" "$(wine_path "$dir/locked")"
  w=$(find_window '^Save in which folder\?$')
  if [ -z "$w" ]; then
    fail "dialogs: the folder dialog did not appear"
  else
    sleep 1
    import -window root "$shots/folder-dialog.png"
    xdotool windowfocus --sync "$w"
    xdotool type --delay 20 "$(wine_path "$dir/out")"
    xdotool key Return
  fi
  wait "$run_pid" || true
  chmod u+w "$dir/locked"
  [ "$(answer folder.txt)" = "$(wine_path "$dir/out")" ] ||
    fail "dialogs: the folder dialog answered [$(answer folder.txt)]; it said: $(head -c 300 "$dir/folder.txt.err")"
  # Cancelled, it answers nothing and says nothing.
  probe_start folder-cancel.txt folder "Save in which folder?" "$(wine_path "$dir")"
  w=$(find_window '^Save in which folder\?$')
  [ -n "$w" ] && xdotool windowfocus --sync "$w" && xdotool key Escape
  wait "$run_pid" || true
  # Wine's own notes start with "wine:"; korvane's would not.
  [ -z "$(answer folder-cancel.txt)" ] && ! grep -qv '^wine:' "$dir/folder-cancel.txt.err" ||
    fail "dialogs: a cancelled folder dialog answered [$(answer folder-cancel.txt)] $(head -c 300 "$dir/folder-cancel.txt.err")"
  echo "wine: drove the open, save and folder dialogs one by one"
}
# The desktop flow for designs that are not containers: a DST picked in the
# open dialog converts to SHV; that SHV goes back to DST through the save
# dialog; a design in a folder that cannot be written leads to the folder
# dialog. The boxes' captions are matched, the files and console lines checked.
dialog_flows() {
  local dir=$root/dialog-flows w run_pid
  rm -rf "$dir" && mkdir -p "$dir/locked" "$dir/elsewhere"
  (cd "$dir" && cp "$src/examples/garden.dhv" . && "$linux_exe" --quiet --convert garden.dhv --to dst &&
    mv garden001.dst rose.dst && cp garden002.dst locked/tulip.dst && rm garden*) ||
    { fail "dialog flows: no DST to convert"; return; }
  flow_start() {  # flow_start NAME ARGS...: korvane.exe in the background; NAME.out/.err/.rc
    local name=$1
    shift
    (set +e; cd "$dir" && timeout 120 wine "$exe" "$@" >"$name.out" 2>"$name.err"; echo $? >"$name.rc") &
    run_pid=$!
  }
  press() {  # press TITLE_REGEX SCREENSHOT KEYS...: answers the window so named; false if none came
    local w
    w=$(find_window "$1")
    [ -n "$w" ] || return 1
    sleep 0.5
    [ -z "$2" ] || import -window root "$shots/$2"
    xdotool windowfocus --sync "$w"
    shift 2
    local k
    for k in "$@"; do
      case $k in
        type:*) xdotool type --delay 20 "${k#type:}" ;;
        *) xdotool key "$k" ;;
      esac
    done
  }
  flow_end() {  # flow_end NAME OK: a flow that went astray leaves no window behind
    [ "$2" = 1 ] || { import -window root "$shots/$1-astray.png"; wineserver -k 2>/dev/null || true; }
    wait "$run_pid" || true
    [ "$2" = 1 ] && [ "$(cat "$dir/$1.rc" 2>/dev/null)" = 0 ] ||
      fail "dialog flows: $1 ended with exit code '$(cat "$dir/$1.rc" 2>/dev/null)': $(head -c 300 "$dir/$1.err")"
  }
  local ok

  ok=1
  flow_start dst
  press '^Select .* to convert$' "" "type:$(wine_path "$dir/rose.dst")" Return || ok=0
  [ $ok = 1 ] && { press '^KORVANE converted the design:$' converted-dst.png Return || ok=0; }
  flow_end dst $ok
  [ -s "$dir/rose.shv" ] || fail "dialog flows: a DST picked in the open dialog gave no SHV"
  tr -d '\r' <"$dir/dst.out" | grep -q 'rose.dst: wrote .*rose.shv$' || fail "dialog flows: the DST's output is not listed"

  ok=1
  flow_start shv --dialogs rose.shv
  press '^KORVANE opened an SHV design:$' shv-question.png y || ok=0
  [ $ok = 1 ] && { press '^Convert the design to$' save-as-dst.png End shift+Home type:rose-back Return || ok=0; }
  [ $ok = 1 ] && { press '^KORVANE converted the design:$' "" Return || ok=0; }
  flow_end shv $ok
  [ -s "$dir/rose-back.dst" ] || fail "dialog flows: the SHV was not converted to DST through the save dialog"

  ok=1
  chmod a-w "$dir/locked"
  flow_start locked --dialogs "locked\\tulip.dst"
  press '^KORVANE cannot write in the folder:$' unwritable-folder.png y || ok=0
  [ $ok = 1 ] && { press '^Choose a folder to write the designs in$' "" "type:$(wine_path "$dir/elsewhere")" Return || ok=0; }
  [ $ok = 1 ] && { press '^KORVANE converted the design:$' "" Return || ok=0; }
  flow_end locked $ok
  chmod u+w "$dir/locked"
  [ -s "$dir/elsewhere/tulip.shv" ] || fail "dialog flows: the design of a read-only folder was not written in the folder chosen"
  [ "$(ls "$dir/locked")" = tulip.dst ] || fail "dialog flows: the read-only folder was written in"
  echo "wine: dialog flows drove a DST, an SHV and a read-only folder"
}
if command -v Xvfb >/dev/null && command -v xdotool >/dev/null && command -v import >/dev/null; then
  rm -rf "$shots" && mkdir -p "$shots"
  if start_display; then
    dialog_test
    dialogs_one_by_one
    dialog_flows
    stop_display
    echo "wine: screenshots in $shots"
  else
    fail "dialog mode: Xvfb did not start"
  fi
else
  echo "SKIP: dialog mode under wine needs Xvfb, xdotool and ImageMagick's import; not all are installed"
fi

section "installer"
bash "$src/tests/wine/installer_test.sh" "$root" || fail "the installer (see above)"

section "done"
echo "wine: $failures failures in $((SECONDS - started)) s"
[ "$failures" = 0 ]
