// The WebAssembly side of the page's speed figure: the module the page loads,
// timed with performance.now() around the same entry the page calls.
//   node web_bench.cjs WEB_DIR FILE split|combine|picture|realistic|convert-FORMAT SAMPLES  ->  "median_us N"
// A picture is timed as the page takes it: the entry, then a view of the
// pixels in the module's memory, ready for an ImageData, with no copy.
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
const kWarmJobs = 40;
KorvaneModule({ wasmBinary: fs.readFileSync(path.resolve(webDir, "korvane.wasm")) }).then((m) => {
  const bytes = new Uint8Array(fs.readFileSync(file));
  const name = new TextEncoder().encode(file + "\0");
  const n = m._malloc(name.length);
  m.HEAPU8.set(name, n);
  const p = m._malloc(Math.max(bytes.length, 1));
  m.HEAPU8.set(bytes, p);
  let entry = m["_kvw_" + mode];
  if (mode.startsWith("convert-")) {
    const to = new TextEncoder().encode(mode.slice(8) + "\0");
    const t = m._malloc(to.length);
    m.HEAPU8.set(to, t);
    entry = (a, b, c) => m._kvw_convert(a, b, c, t, 0);
  } else if (mode === "picture" || mode === "realistic") {
    const design = m._kvw_recognise(p, bytes.length) === 1 ? -1 : 0;
    const draw = m["_kvw_" + mode];
    entry = (a, b, c) => {
      const r = draw(a, b, c, design);
      const view = new Uint8ClampedArray(m.HEAPU8.buffer, m._kvw_result_data(0),
        m._kvw_picture_width() * m._kvw_picture_height() * 4);
      return r === 0 && view.length > 0 ? 0 : -1;
    };
  }
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
  // hot; what a person repeating the job sees is the second. The faster code
  // replaces a function only from its next call on, and a job is few calls:
  // the warm-up runs enough jobs for that, and sizes the samples afterwards.
  let reps = 1, jobs = 0;
  const size = () => {
    const ms = batch(reps);
    jobs += reps;
    if (ms < kSampleMs) reps = Math.max(reps + 1, Math.ceil((reps * kSampleMs) / Math.max(ms, 0.001)));
  };
  for (const until = performance.now() + kWarmMs; performance.now() < until || jobs < kWarmJobs;) size();
  reps = 1;
  for (let i = 0; i < 3; i++) size();
  const us = [];
  for (let i = 0; i < Math.max(1, Number(samples)); i++) us.push((batch(reps) * 1000) / reps);
  us.sort((a, b) => a - b);
  // The least too: on a loaded machine the other processes' share is in the
  // median, and hardly ever in the best sample.
  console.log(`median_us ${us[us.length >> 1].toFixed(2)} reps ${reps} min_us ${us[0].toFixed(2)}`);
});
