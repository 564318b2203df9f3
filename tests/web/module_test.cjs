// The WebAssembly module under node, against the native program: the same
// inputs must give the same bytes, the same --info document and the same
// error lines; and the page's ZIP writer against an independent reader.
//   node module_test.cjs WEB_DIR KORVANE EXAMPLE MAKE_TEST_CONTAINER
const { execFileSync } = require("child_process");
const fs = require("fs");
const os = require("os");
const path = require("path");
const zlib = require("zlib");

const [webDir, korvane, example, makeContainer] = process.argv.slice(2).map((p) => path.resolve(p));
const { crc32, makeZip, korvaneApi, squeezeImages } = require(path.join(webDir, "app.js"));
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

// The pixels of an 8-bit RGB or RGBA PNG file, as RGBA: what the program's
// libpng wrote, read back without it.
function pngPixels(png) {
  let at = 8, width = 0, height = 0, type = 0;
  const idat = [];
  while (at < png.length) {
    const len = png.readUInt32BE(at), kind = png.toString("latin1", at + 4, at + 8);
    const data = png.subarray(at + 8, at + 8 + len);
    if (kind === "IHDR") [width, height, type] = [data.readUInt32BE(0), data.readUInt32BE(4), data[9]];
    if (kind === "IDAT") idat.push(data);
    at += 12 + len;
  }
  const ch = type === 6 ? 4 : 3, stride = width * ch, raw = zlib.inflateSync(Buffer.concat(idat));
  const rows = Buffer.alloc(stride * height), out = Buffer.alloc(width * height * 4);
  for (let y = 0; y < height; y++) {
    const f = raw[y * (stride + 1)], line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let i = 0; i < stride; i++) {
      const a = i >= ch ? rows[y * stride + i - ch] : 0, b = y ? rows[(y - 1) * stride + i] : 0;
      const c = i >= ch && y ? rows[(y - 1) * stride + i - ch] : 0;
      const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
      const pred = [0, a, b, (a + b) >> 1, pa <= pb && pa <= pc ? a : pb <= pc ? b : c][f];
      rows[y * stride + i] = (line[i] + pred) & 0xff;
    }
  }
  for (let i = 0; i < width * height; i++) {
    rows.copy(out, i * 4, i * ch, i * ch + ch);
    if (ch === 3) out[i * 4 + 3] = 0xff;
  }
  return { width, height, rgba: out };
}

// A worksheet with each embedded picture replaced by its size and pixels'
// CRC, so that two encoders of the same pixels give the same text.
function sheetByPixels(html) {
  return html.replace(/data:image\/png;base64,([A-Za-z0-9+/=]+)/g, (_, b64) => {
    const p = pngPixels(Buffer.from(b64, "base64"));
    return `pixels:${p.width}x${p.height}:${crc32(p.rgba)}`;
  });
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

KorvaneModule({ wasmBinary: fs.readFileSync(path.join(webDir, "korvane.wasm")) }).then(async (m) => {
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

  // The threads on fabric: the program's --preview, pixel for pixel (no
  // tolerance), for a container's design and layout and a DST design.
  const dst = api.convert(name, dhv, "dst", 1).outputs[0];
  const logo = (() => {
    const f = path.join(process.env.KORVANE_REALDESIGNS || path.join(__dirname, "../../../shared/realdesigns"),
      "dst/em__Embroidermodder.dst");
    return fs.existsSync(f) ? fs.readFileSync(f) : null;
  })();
  if (!logo) console.log("info ../shared/realdesigns is absent: the wide design's turns are not tried");
  const pictures = [[name, dhv, 0, "garden-stitches-001.png"], [name, dhv, -1, "garden-layout.png"],
    [dst.name, Buffer.from(dst.bytes), 0, "garden-stitches.png"]];
  for (const [n, bytes, design, file] of pictures) {
    const page = api.realistic(n, bytes, design);
    const prog = native(n, bytes, ["--preview"]).files.find((f) => f.name === file);
    const want = prog ? pngPixels(prog.bytes) : null;
    check(page.ok && want && page.width === want.width && page.height === want.height &&
      Buffer.compare(Buffer.from(page.outputs[0].bytes), want.rgba) === 0,
      `${n} design ${design}: the page's thread picture is the program's ${file} pixel for pixel`);
  }

  // Turned as --rotate turns it; the worksheet as --worksheet writes it.
  const turns = [[name, dhv, "dst", "90"], [name, dhv, "shv", "fit"]];
  if (logo) turns.push(["logo.dst", logo, "shv", "fit"], ["logo.dst", logo, "shv", "270"], ["logo.dst", logo, "shv", ""]);
  for (const [n, bytes, to, turn] of turns) {
    const page = api.convertTurned(n, bytes, to, 1, turn);
    const prog = native(n, bytes, ["--convert", "--to", to, "--combine", ...(turn ? ["--rotate", turn] : [])]);
    check(page.ok === (prog.error === "") && (page.ok ? same(page, prog) : page.error === prog.error),
      `${n} to ${to} turned "${turn}": page "${page.error}" program "${prog.error}"`);
  }
  const sheets = [[name, dhv], [dst.name, Buffer.from(dst.bytes)]];
  for (const [n, bytes] of sheets) {
    const page = await api.worksheet(n, bytes);
    const prog = native(n, bytes, ["--worksheet"]).files;
    const html = page.ok ? new TextDecoder().decode(page.outputs[0].bytes) : "";
    check(page.ok && prog.length === 1 && page.outputs[0].name === prog[0].name &&
      sheetByPixels(html) === sheetByPixels(prog[0].bytes.toString()) && html.length < 3 * prog[0].bytes.length,
      `${n}: the page's worksheet is the program's, picture for picture (${html.length} and ${prog[0] && prog[0].bytes.length} bytes)`);
  }

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
  console.log(`${damaged.length * 2 + inputs.length * 3 + 12 + pictures.length + turns.length + sheets.length} module checks, ${failures.length} failed`);
  process.exit(failures.length ? 1 : 0);
});
