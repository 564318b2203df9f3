#!/usr/bin/env bash
# The Windows installer and portable ZIP, tried under wine as a user would meet them:
#   1. makes both with the build's "package" target;
#   2. the ZIP holds the program, the README and the licence; the program is at most 3 MB;
#   3. installs silently (/S) into a fresh wine prefix, as a user with no administrator;
#   4. every format korvane reads is offered in "Open with", DHV and SHV open with korvane,
#      and another program's claim on DST stays as it was;
#   5. a DST opened through its association's command is converted beside it;
#   6. the uninstaller (/S) leaves no file, shortcut or registry key behind, and gives
#      SHV back to the program that had it.
#
#   bash tests/wine/installer_test.sh [BUILD_ROOT]   (default: build-wine)
#
# It uses BUILD_ROOT/win64 and, when run_wine_tests.sh made it, BUILD_ROOT/linux/src/frontend/korvane
# for the format table; everything else it makes stays under BUILD_ROOT/installer.
set -euo pipefail
cd "$(dirname "$0")/../.."
src=$(pwd)
for tool in wine makensis; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: the installer test needs $tool (tools/setup.sh installs it)"
    exit 0
  fi
done
root=$(mkdir -p "${1:-build-wine}" && cd "${1:-build-wine}" && pwd)
work=$root/installer
failures=0
fail() { echo "FAIL: installer: $*"; failures=$((failures + 1)); }

mkdir -p "$root/win64"
win64=$(cd "$root/win64" && pwd -P)  # CMake knows a build folder by its real path
host=$root/linux/src/frontend/korvane
[ -x "$host" ] || host=""
# An empty KORVANE_HOST_KORVANE builds a Linux korvane inside the Windows build folder.
cmake -S "$src" -B "$win64" -G Ninja --toolchain "$src/cmake/mingw-w64-x86_64.cmake" \
  -DKORVANE_WERROR=ON -DKORVANE_HOST_KORVANE="$host" >/dev/null
cmake --build "$win64" -j2 --target package
version=$(sed -n 's/^project(korvane VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
installer=$win64/korvane-$version-win64-installer.exe
zip=$win64/korvane-$version-win64-portable.zip
[ -n "$host" ] || host=$win64/packaging/windows/host/src/frontend/korvane

# --- the portable ZIP ------------------------------------------------------------------------
rm -rf "$work" && mkdir -p "$work/zip"
(cd "$work/zip" && cmake -E tar xf "$zip")
for f in korvane.exe README.txt LICENSE.txt; do
  [ -s "$work/zip/korvane-$version-win64/$f" ] || fail "the ZIP has no korvane-$version-win64/$f"
done
size=$(stat -c %s "$work/zip/korvane-$version-win64/korvane.exe")
echo "installer: korvane.exe is $size bytes, the installer $(stat -c %s "$installer"), the ZIP $(stat -c %s "$zip")"
[ "$size" -le 3000000 ] || fail "korvane.exe is $size bytes, more than 3 MB"
x86_64-w64-mingw32-objdump -h "$work/zip/korvane-$version-win64/korvane.exe" | grep -q '\.debug_' &&
  fail "korvane.exe still carries debugging information"

# Every extension korvane reads, with its format: what the installer must have associated.
mapfile -t readable < <("$host" --formats --json |
  jq -r '.formats[] | select(.read) | .format as $f | .extensions[] | "\($f) \(.)"')
[ "${#readable[@]}" -gt 2 ] || fail "the format table names only ${#readable[@]} readable extensions"

# --- install ------------------------------------------------------------------------------
export WINEDEBUG=-all WINEPREFIX=$work/prefix WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
unset DISPLAY
# No persistent wineserver: "wineserver -w" is how the test waits for the
# installer's and the uninstaller's own child processes to end.
wineboot --init >/dev/null 2>&1
wineserver -w
trap 'wineserver -k 2>/dev/null || true' EXIT
# reg (a wine program) prints the whole key; one line per value as KEY|NAME|TYPE|DATA.
registry() {  # registry KEY: every key and value below KEY
  wine reg query "$1" /s 2>/dev/null </dev/null | tr -d '\r' | awk '
    /^HKEY_/ { key = $0; next }
    /^    / { sub(/^    /, ""); n = split($0, f, /    /); printf "%s|%s|%s|%s\n", key, f[1], f[2], (n > 2 ? f[3] : "") }'
}
value() {  # value KEY NAME: its data, empty when absent
  # awk -v would take the key's backslashes for escapes.
  registry "$1" | KEY=${1/#HKCU\\/HKEY_CURRENT_USER\\} NAME=$2 awk -F'|' '$1 == ENVIRON["KEY"] && $2 == ENVIRON["NAME"] { print $4 }'
}
# Another program already opens DST and SHV for this user.
wine reg add 'HKCU\Software\Classes\.dst' /ve /d OtherApp.dst /f >/dev/null 2>&1 </dev/null
wine reg add 'HKCU\Software\Classes\.shv' /ve /d OtherApp.shv /f >/dev/null 2>&1 </dev/null
wineserver -w
files_before=$(cd "$WINEPREFIX" && find drive_c -path '*/Temp' -prune -o -print | sort)
classes_before=$(registry 'HKCU\Software\Classes')
windows_before=$(registry 'HKCU\Software\Microsoft\Windows\CurrentVersion')

timeout 120 wine "$installer" /S </dev/null >/dev/null 2>&1 || fail "the silent install: exit code $?"
wineserver -w
local_appdata=$(wine cmd /c echo %LOCALAPPDATA% </dev/null 2>/dev/null | tr -d '\r')
instdir_win="$local_appdata\\Programs\\korvane"
instdir=$(winepath -u "$instdir_win" 2>/dev/null)
for f in korvane.exe uninstall.exe README.txt LICENSE.txt; do
  [ -f "$instdir/$f" ] || fail "no $f in $instdir_win"
done
[ -n "$(cd "$WINEPREFIX" && find drive_c/users -name korvane.lnk -path '*Start Menu/Programs/*')" ] ||
  fail "no Start menu entry"

# --- associations -------------------------------------------------------------------------
classes=$(registry 'HKCU\Software\Classes')
K='HKEY_CURRENT_USER\Software\Classes'
expected_command="\"$instdir_win\\korvane.exe\" --dialogs \"%1\""
for r in "${readable[@]}"; do
  read -r format extension <<<"$r"
  grep -qxF "$K\\.$extension\\OpenWithProgids|korvane.$format|REG_NONE|" <<<"$classes" ||
    fail ".$extension does not offer korvane in Open with"
  grep -qxF "$K\\korvane.$format\\shell\\open\\command|(Default)|REG_SZ|$expected_command" <<<"$classes" ||
    fail "korvane.$format does not open with $expected_command"
  grep -qF "$K\\Applications\\korvane.exe\\SupportedTypes|.$extension|" <<<"$classes" ||
    fail "korvane.exe does not list .$extension among its types"
done
for extension in dhv shv; do
  grep -qxF "$K\\.$extension|(Default)|REG_SZ|korvane.${extension^^}" <<<"$classes" ||
    fail ".$extension does not open with korvane"
done
grep -qxF "$K\\.dst|(Default)|REG_SZ|OtherApp.dst" <<<"$classes" || fail "the installer took DST from the program that had it"
[ -n "$(value 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\korvane' QuietUninstallString)" ] ||
  fail "no entry in Apps and Features"

# --- a DST opened with korvane ------------------------------------------------------------
# The registered command, run as the shell runs it, with the boxes answered on the
# terminal (a test cannot click Windows' boxes without a display).
design=$work/designs/rosé
mkdir -p "$design" "$work/elsewhere"
(cd "$work" && "$host" --convert --to dst -O "$design" "$src/examples/garden.dhv" >/dev/null) ||
  fail "the Linux build could not make a DST"
dst=$design/garden001.dst
command=$(value "$K\\korvane.DST\\shell\\open\\command" '(Default)')
if [[ $command =~ ^\"([^\"]+)\"\ (.*)$ ]]; then
  program=${BASH_REMATCH[1]}
  mapfile -t args < <(xargs -n1 printf '%s\n' <<<"${BASH_REMATCH[2]}")
  dst_win=$(winepath -w "$dst")
  run=()
  for a in "${args[@]}"; do
    case $a in
      --dialogs) run+=(--dialogs=terminal) ;;
      %1) run+=("$dst_win") ;;
      *) run+=("$a") ;;
    esac
  done
  rc=0
  (cd "$work/elsewhere" && printf 'no\n%.0s' {1..20} | timeout 120 wine "$program" "${run[@]}" >"$work/open.out" 2>&1) || rc=$?
  [ "$rc" = 0 ] || fail "opening the DST: exit code $rc: $(head -c 400 "$work/open.out")"
  [ -s "$design/garden001.shv" ] || fail "opening the DST wrote no garden001.shv beside it: $(head -c 400 "$work/open.out")"
  [ -z "$(ls -A "$work/elsewhere")" ] || fail "opening the DST wrote into the current folder"
else
  fail "the DST's open command is '$command'"
fi

# --- uninstall ----------------------------------------------------------------------------
timeout 120 wine "$instdir/uninstall.exe" /S </dev/null >/dev/null 2>&1 || fail "the silent uninstall: exit code $?"
# The uninstaller runs from a copy of itself: wait for that copy too.
wineserver -w
files_after=$(cd "$WINEPREFIX" && find drive_c -path '*/Temp' -prune -o -print | sort)
[ "$files_before" = "$files_after" ] ||
  fail "left behind: $(comm -13 <(echo "$files_before") <(echo "$files_after") | head -n 5 | tr '\n' ' ')"
classes_after=$(registry 'HKCU\Software\Classes')
[ "$classes_before" = "$classes_after" ] ||
  fail "file types differ from before: $(diff <(echo "$classes_before") <(echo "$classes_after") | head -n 6 | tr '\n' ' ')"
windows_after=$(registry 'HKCU\Software\Microsoft\Windows\CurrentVersion')
if grep -qi korvane <<<"$windows_after"; then
  fail "left in the registry: $(grep -i korvane <<<"$windows_after" | head -n 3 | tr '\n' ' ')"
fi
[ "$(grep -ci korvane <<<"$windows_before" || true)" = 0 ] || fail "the fresh prefix already named korvane"

echo "installer: ${#readable[@]} extensions associated; $failures failures"
[ "$failures" = 0 ]
