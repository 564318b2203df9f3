// The WebAssembly side of the page's speed figure: the module the page loads,
// timed with performance.now() around the same entry the page calls.
//   node web_bench.cjs WEB_DIR FILE split|combine SAMPLES  ->  "median_us N"
// The file's bytes are copied into the module once, before timing: the page
// pays that copy once per dropped file, not per split, and the native side
// reads from memory too. A tiny job takes a few microseconds, near the
// resolution performance.now() has in a browser, so each sample repeats the
// job (with the kvw_clear that frees its outputs, as the native side does)
// until it spans about 2 ms, and reports the time of one job.
const fs = require("fs");
const path = require("path");
const [webDir, file, mode, samples] = process.argv.slice(2);
const KorvaneModule = require(path.resolve(webDir, "korvane.js"));
const kSampleMs = 2;
const kWarmMs = 300;
KorvaneModule({ wasmBinary: fs.readFileSync(path.resolve(webDir, "korvane.wasm")) }).then((m) => {
  const bytes = new Uint8Array(fs.readFileSync(file));
  const name = new TextEncoder().encode(file + "\0");
  const n = m._malloc(name.length);
  m.HEAPU8.set(name, n);
  const p = m._malloc(Math.max(bytes.length, 1));
  m.HEAPU8.set(bytes, p);
  const entry = m["_kvw_" + mode];
  const batch = (reps) => {
    const t0 = performance.now();
    for (let i = 0; i < reps; i++) {
      if (entry(n, p, bytes.length) !== 0) {
        console.error("web_bench: " + m.UTF8ToString(m._kvw_error()));
        process.exit(1);
      }
      m._kvw_clear();
    }
    return performance.now() - t0;
  };
  // The page's first run is compiled quickly and then again for speed once
  // hot; what a person repeating the job sees is the second.
  let reps = 1;
  for (const until = performance.now() + kWarmMs; performance.now() < until;) {
    const ms = batch(reps);
    if (ms < kSampleMs) reps = Math.max(reps + 1, Math.ceil((reps * kSampleMs) / Math.max(ms, 0.001)));
  }
  const us = [];
  for (let i = 0; i < Math.max(1, Number(samples)); i++) us.push((batch(reps) * 1000) / reps);
  us.sort((a, b) => a - b);
  console.log(`median_us ${us[us.length >> 1].toFixed(2)} reps ${reps}`);
});
