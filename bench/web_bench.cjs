// The WebAssembly side of the page's speed figure: the module the page loads,
// timed with performance.now() around the same entries the page calls.
//   node web_bench.cjs WEB_DIR FILE split|combine RUNS  ->  "median_us N"
const fs = require("fs");
const path = require("path");
const [webDir, file, mode, runs] = process.argv.slice(2);
const { korvaneApi } = require(path.resolve(webDir, "app.js"));
const KorvaneModule = require(path.resolve(webDir, "korvane.js"));
KorvaneModule({ wasmBinary: fs.readFileSync(path.resolve(webDir, "korvane.wasm")) }).then((m) => {
  const api = korvaneApi(m);
  const bytes = new Uint8Array(fs.readFileSync(file));
  const ms = [];
  for (let i = 0; i < Math.max(1, Number(runs)); i++) {
    const r = api[mode](file, bytes);
    if (!r.ok) {
      console.error("web_bench: " + r.error);
      process.exit(1);
    }
    ms.push(r.ms);
  }
  ms.sort((a, b) => a - b);
  console.log(`median_us ${(ms[ms.length >> 1] * 1000).toFixed(1)}`);
});
