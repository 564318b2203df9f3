// The WebAssembly module under node, against the native program: the same
// inputs must give the same bytes, the same --info document and the same
// error lines; and the page's ZIP writer against an independent reader.
//   node module_test.cjs WEB_DIR KORVANE EXAMPLE MAKE_TEST_CONTAINER
const { execFileSync } = require("child_process");
const fs = require("fs");
const os = require("os");
const path = require("path");

const [webDir, korvane, example, makeContainer] = process.argv.slice(2).map((p) => path.resolve(p));
const { crc32, makeZip, korvaneApi } = require(path.join(webDir, "app.js"));
const KorvaneModule = require(path.join(webDir, "korvane.js"));

const failures = [];
const check = (ok, what) => {
  if (!ok) {
    failures.push(what);
    console.log("FAIL " + what);
  }
};
const work = fs.mkdtempSync(path.join(os.tmpdir(), "korvane-wasm-"));

// Runs the program in a folder of its own holding `name`; its files and stderr.
function native(name, bytes, args) {
  const dir = fs.mkdtempSync(path.join(work, "n-"));
  fs.writeFileSync(path.join(dir, name), bytes);
  let error = "", stdout = "";
  try {
    stdout = execFileSync(korvane, [...args, name], { cwd: dir, stdio: ["ignore", "pipe", "pipe"] }).toString();
  } catch (e) {
    // A usage error (exit 2) ends with a pointer to --help, which the page has no use for.
    error = e.stderr.toString().trim().replace(/\nTry 'korvane --help'\.$/, "").replace(/^korvane: /, "");
    stdout = e.stdout.toString();
  }
  const files = fs.readdirSync(dir).filter((f) => f !== name).sort()
    .map((f) => ({ name: f, bytes: fs.readFileSync(path.join(dir, f)) }));
  return { error, files, stdout };
}

function same(page, prog) {
  return page.outputs.length === prog.files.length && page.outputs.every((o, i) =>
    o.name === prog.files[i].name && Buffer.compare(Buffer.from(o.bytes), prog.files[i].bytes) === 0);
}

function zipChecks() {
  // Known CRC-32 values (ISO-HDLC, as ZIP uses).
  const enc = new TextEncoder();
  for (const [s, want] of [["", 0], ["a", 0xe8b7be43], ["123456789", 0xcbf43926],
    ["The quick brown fox jumps over the lazy dog", 0x414fa339]])
    check(crc32(enc.encode(s)) === want, `crc32("${s}")`);
  // Archives an independent reader must accept, with every byte back.
  let seed = 7;
  const random = (n) => Uint8Array.from({ length: n }, () => (seed = (seed * 1103515245 + 12345) >>> 0) >>> 24);
  const cases = [
    [],
    [{ name: "empty.shv", bytes: new Uint8Array(0) }],
    [{ name: "garden001.shv", bytes: random(1977) }, { name: "gärten 002.shv", bytes: random(70000) },
      { name: "dir/x.shv", bytes: random(1) }],
  ];
  cases.forEach((entries, i) => {
    const file = path.join(work, `t${i}.zip`);
    fs.writeFileSync(file, makeZip(entries));
    const dir = path.join(work, `z${i}`);
    let out = "";
    try {
      out = execFileSync("python3", ["-c",
        "import sys,zipfile\nz=zipfile.ZipFile(sys.argv[1])\nassert z.testzip() is None\nz.extractall(sys.argv[2])\nprint('\\n'.join(z.namelist()))",
        file, dir]).toString();
    } catch (e) {
      check(false, `zip case ${i} is read by python's zipfile: ${e.stderr}`);
      return;
    }
    const names = out.split("\n").filter(Boolean);
    check(JSON.stringify(names) === JSON.stringify(entries.map((e) => e.name)), `zip case ${i} names`);
    for (const e of entries)
      check(Buffer.compare(fs.readFileSync(path.join(dir, e.name)), Buffer.from(e.bytes)) === 0, `zip case ${i}: ${e.name}`);
  });
}

KorvaneModule({ wasmBinary: fs.readFileSync(path.join(webDir, "korvane.wasm")) }).then((m) => {
  const api = korvaneApi(m);
  const dhv = fs.readFileSync(example);
  const name = path.basename(example);
  zipChecks();

  // The example and containers the program's own tools make, whole.
  const inputs = [[name, dhv]];
  for (const [n, designs, bytes] of [["opaque.dhv", 5, 300], ["one.dhv", 1, 100]]) {
    const file = path.join(work, n);
    execFileSync(makeContainer, [file, String(designs), String(bytes)]);
    inputs.push([n, fs.readFileSync(file)]);
  }
  for (const [n, bytes] of inputs) {
    check(same(api.split(n, bytes), native(n, bytes, ["--split"])), `split ${n} gives the program's files`);
    const c = api.combine(n, bytes), nc = native(n, bytes, ["--combine"]);
    check(c.ok ? same(c, nc) : c.error === nc.error, `combine ${n}: the program's file or its words (${c.error})`);
    check(new TextDecoder().decode(api.info(n, bytes).outputs[0].bytes) === native(n, bytes, ["--info", "--json"]).stdout,
      `info of ${n} is the program's --info --json`);
  }

  // Every way of cutting the example short, and flipped bytes through it:
  // the page fails exactly when the program does, with the program's words.
  const damaged = [];
  for (let len = 0; len < dhv.length; len += len < 200 ? 7 : 331) damaged.push(dhv.subarray(0, len));
  for (let at = 0; at < dhv.length; at += 389) {
    const b = Buffer.from(dhv);
    b[at] ^= 0x5a;
    damaged.push(b);
  }
  for (const [i, bytes] of damaged.entries()) {
    for (const mode of ["split", "combine"]) {
      const page = api[mode](name, bytes), prog = native(name, bytes, ["--" + mode]);
      check(page.ok === (prog.error === "") && (page.ok ? same(page, prog) : page.error === prog.error),
        `damaged case ${i} (${bytes.length} bytes), ${mode}: page "${page.error}" program "${prog.error}"`);
    }
  }

  // Pictures: the layout spans every design; a design's picture is not blank.
  const layout = api.picture(name, dhv, -1);
  check(layout.ok && layout.outputs[0].bytes.length === layout.width * layout.height * 4, "layout picture is RGBA of its size");
  const one = api.picture(name, dhv, 0);
  const px = one.outputs[0].bytes;
  let inked = 0;
  for (let i = 0; i < px.length; i += 4)
    if (!(px[i] === px[i + 1] && px[i] === px[i + 2] && (px[i] === 0x80 || px[i] === 0x94))) inked++;
  check(one.ok && inked > 100, `design 1 picture has stitches (${inked} pixels)`);
  check(!api.picture(name, dhv, 3).ok, "there is no design 4");

  // Conversions: what `korvane --convert FILE --to FORMAT` makes, or its refusal.
  let converted = 0;
  for (const to of ["shv", "dst", "exp", "jef", "pes", "svg", "csv", "json", "xyz"]) {
    for (const combine of [0, 1]) {
      const page = api.convert(name, dhv, to, combine);
      const prog = native(name, dhv, ["--convert", "--to", to, ...(combine ? ["--combine"] : [])]);
      check(page.ok === (prog.error === "") && (page.ok ? same(page, prog) : page.error === prog.error),
        `convert to ${to}${combine ? " combined" : ""}: page "${page.error}" program "${prog.error}"`);
      // What each file's conversion changed, and none left over from the call before.
      check(page.reports.length === (page.ok ? page.outputs.length : 0) &&
        page.reports.every((r) => Array.isArray(r.adjustments) && r.adjustments.every((a) => a.code && a.sentence)),
        `convert to ${to}${combine ? " combined" : ""}: a report for each of its ${page.outputs.length} files (${page.reports.length})`);
      converted += page.ok ? 1 : 0;
    }
  }
  check(converted >= 2, `some conversions succeed (${converted})`);

  fs.rmSync(work, { recursive: true, force: true });
  console.log(`${damaged.length * 2 + inputs.length * 3 + 12} module checks, ${failures.length} failed`);
  process.exit(failures.length ? 1 : 0);
});
