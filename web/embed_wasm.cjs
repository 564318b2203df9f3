// Writes the WebAssembly module as a script that hands its bytes to the page:
// a page opened from file:// may run scripts beside it but not fetch files.
const fs = require("fs");
const [from, to] = process.argv.slice(2);
const b64 = fs.readFileSync(from).toString("base64");
fs.writeFileSync(to, `window.KORVANE_WASM_BASE64 = "${b64}";\n`);
