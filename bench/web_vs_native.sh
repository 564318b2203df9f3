#!/usr/bin/env bash
# The page's figures: split, combine, conversions and pictures in WebAssembly (node, performance.now())
# against the same C interface built natively, in-process; the page's size;
# and its first render in Chromium, from the browser test's own measurement.
#   bench/web_vs_native.sh BUILD_DIR   (exits 2 when the page is not built)
set -u
build=$1
src=$(cd "$(dirname "$0")/.." && pwd)
web=$build/web
[ -f "$web/korvane.wasm" ] || { echo "page not built (emscripten missing?)"; exit 2; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp "$src/examples/garden.dhv" "$tmp/"
"$build/bench/make_bench_container" split1000 "$tmp/split1000.dhv"
"$build/bench/make_bench_container" twelve "$tmp/twelve.dhv"
"$build/bench/make_bench_container" largest "$tmp/largest.dhv"
"$build/bench/make_bench_pattern" 20000 "$tmp/pattern.dst" "$tmp/pattern.pes" "$tmp/pattern.shv"
"$build/bench/make_bench_pattern" 50000 "$tmp/pattern50k.dst"

rc=0
median() { sed -n 's/^median_us \([0-9.]*\).*/\1/p'; }
best() { sed -n 's/.* min_us \([0-9.]*\).*/\1/p'; }
# A name with an extension is a design of 20,000 stitches (50,000 for pattern50k);
# the others containers.
for job in "garden split 21" "garden combine 21" "split1000 split 9" "twelve combine 9" "largest combine 7" \
  "largest picture 7" "pattern.pes convert-shv 9" "pattern.dst convert-shv 9" "pattern.shv convert-dst 9" \
  "pattern.dst picture 9" "pattern50k.dst realistic 7" "pattern50k.dst convert-shv 9"; do
  set -- $job
  file=$tmp/$1
  case $1 in *.*) ;; *) file=$file.dhv ;; esac
  wl=$(node "$src/bench/web_bench.cjs" "$web" "$file" "$2" "$3")
  nl=$("$build/bench/web_native_bench" "$file" "$2" "$3")
  w=$(echo "$wl" | median) n=$(echo "$nl" | median)
  wm=$(echo "$wl" | best) nm=$(echo "$nl" | best)
  ratio=$(awk -v w="${w:-0}" -v n="${n:-0}" 'BEGIN { if (n > 0) printf "%.2f", w / n; else print "?" }')
  echo "$1 $2: wasm ${w:-?} us native ${n:-?} us ratio $ratio"
  echo "$1 $2 best samples: wasm ${wm:-?} native ${nm:-?}" \
    "($(awk -v w="${wm:-0}" -v n="${nm:-0}" 'BEGIN { if (n > 0) printf "%.2f", w / n; else print "?" }') times)"
  awk -v r="$ratio" 'BEGIN { exit !(r != "?" && r <= 2.0) }' || rc=1
done

bytes=$(cat "$web"/index.html "$web"/app.js "$web"/style.css "$web"/korvane.js "$web"/korvane.wasm | wc -c)
echo "page bytes: $bytes"
[ "$bytes" -lt 1048576 ] || rc=1
if node "$src/tests/web/page_e2e.mjs" "$web" "$build/src/frontend/korvane" "$src/examples/garden.dhv" \
  "$tmp/page" >"$tmp/page.log" 2>&1; then
  echo "first render ms: $(sed -n 's/.*"ready_ms_in_page": \([0-9.]*\).*/\1/p' "$tmp/page/figures.json" | cut -d. -f1)"
else
  echo "first render ms: ? ($(tail -1 "$tmp/page.log"))"
fi
exit $rc
