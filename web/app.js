// The korvane page: reads the dropped files in the browser, hands their bytes
// to the WebAssembly module and offers what comes back as downloads. A classic
// script, not an ES module: pages opened from file:// may not load modules.
"use strict";

// ---- ZIP, stored only -----------------------------------------------------
// SHV designs hardly compress and the archive only carries several downloads
// at once: storing them needs about 80 lines of our own, which beats
// vendoring and keeping up a general zip library for one feature.

const CRC_TABLE = (() => {
  const t = new Uint32Array(256);
  for (let n = 0; n < 256; n++) {
    let c = n;
    for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    t[n] = c >>> 0;
  }
  return t;
})();

function crc32(bytes) {
  let c = 0xffffffff;
  for (let i = 0; i < bytes.length; i++) c = CRC_TABLE[(c ^ bytes[i]) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

// entries: [{name, bytes: Uint8Array}] -> Uint8Array of a ZIP archive. Names
// are stored as UTF-8 (flag bit 11); the date is fixed, so one input always
// gives one archive.
function makeZip(entries) {
  const enc = new TextEncoder();
  const dosTime = 0, dosDate = (1 << 5) | 1; // 1980-01-01 00:00
  const parts = [], central = [];
  let offset = 0;
  for (const e of entries) {
    const name = enc.encode(e.name);
    const crc = crc32(e.bytes);
    if (e.bytes.length >= 0xffffffff || offset >= 0xffffffff) throw new Error("too large for a ZIP file");
    const local = new DataView(new ArrayBuffer(30));
    local.setUint32(0, 0x04034b50, true);
    local.setUint16(4, 20, true);
    local.setUint16(6, 0x0800, true);
    local.setUint16(8, 0, true); // stored
    local.setUint16(10, dosTime, true);
    local.setUint16(12, dosDate, true);
    local.setUint32(14, crc, true);
    local.setUint32(18, e.bytes.length, true);
    local.setUint32(22, e.bytes.length, true);
    local.setUint16(26, name.length, true);
    local.setUint16(28, 0, true);
    const head = new DataView(new ArrayBuffer(46));
    head.setUint32(0, 0x02014b50, true);
    head.setUint16(4, 20, true);
    head.setUint16(6, 20, true);
    head.setUint16(8, 0x0800, true);
    head.setUint16(10, 0, true);
    head.setUint16(12, dosTime, true);
    head.setUint16(14, dosDate, true);
    head.setUint32(16, crc, true);
    head.setUint32(20, e.bytes.length, true);
    head.setUint32(24, e.bytes.length, true);
    head.setUint16(28, name.length, true);
    head.setUint32(42, offset, true);
    parts.push(new Uint8Array(local.buffer), name, e.bytes);
    central.push(new Uint8Array(head.buffer), name);
    offset += 30 + name.length + e.bytes.length;
  }
  const centralSize = central.reduce((s, p) => s + p.length, 0);
  const end = new DataView(new ArrayBuffer(22));
  end.setUint32(0, 0x06054b50, true);
  end.setUint16(8, entries.length, true);
  end.setUint16(10, entries.length, true);
  end.setUint32(12, centralSize, true);
  end.setUint32(16, offset, true);
  const all = [...parts, ...central, new Uint8Array(end.buffer)];
  const out = new Uint8Array(all.reduce((s, p) => s + p.length, 0));
  let at = 0;
  for (const p of all) { out.set(p, at); at += p.length; }
  return out;
}

// ---- Embedded pictures ----------------------------------------------------
// The module has no compressor: the PNG images of a worksheet come from it
// stored, several megabytes each, and are deflated here by the browser's own
// zlib, chunk by chunk, pixels untouched.

async function viaStream(bytes, stream) {
  return new Uint8Array(await new Response(new Blob([bytes]).stream().pipeThrough(stream)).arrayBuffer());
}

function pngChunk(type, data) {
  const out = new Uint8Array(12 + data.length), v = new DataView(out.buffer);
  v.setUint32(0, data.length);
  for (let i = 0; i < 4; i++) out[4 + i] = type.charCodeAt(i);
  out.set(data, 8);
  v.setUint32(8 + data.length, crc32(out.subarray(4, 8 + data.length)));
  return out;
}

// A PNG file with its image data deflated again; any other bytes unchanged.
async function squeezePng(png) {
  const v = new DataView(png.buffer, png.byteOffset, png.byteLength);
  const kept = [], idat = [];
  let at = 8, idatAt = -1;
  while (at + 12 <= png.length) {
    const len = v.getUint32(at), type = String.fromCharCode(...png.subarray(at + 4, at + 8));
    if (at + 12 + len > png.length) return png;
    if (type === "IDAT") {
      if (idatAt < 0) idatAt = kept.length;
      idat.push(png.subarray(at + 8, at + 8 + len));
    } else kept.push(png.subarray(at, at + 12 + len));
    at += 12 + len;
  }
  if (idatAt < 0) return png;
  const raw = await viaStream(new Blob(idat), new DecompressionStream("deflate"));
  const packed = await viaStream(raw, new CompressionStream("deflate"));
  if (packed.length >= idat.reduce((s, d) => s + d.length, 0)) return png;
  kept.splice(idatAt, 0, pngChunk("IDAT", packed));
  const out = new Uint8Array(8 + kept.reduce((s, c) => s + c.length, 0));
  out.set(png.subarray(0, 8));
  let o = 8;
  for (const c of kept) { out.set(c, o); o += c.length; }
  return out;
}

function fromBase64(text) {
  const b = atob(text), a = new Uint8Array(b.length);
  for (let i = 0; i < b.length; i++) a[i] = b.charCodeAt(i);
  return a;
}
function toBase64(bytes) {
  let s = "";
  for (let i = 0; i < bytes.length; i += 0x8000) s += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
  return btoa(s);
}

// An HTML page (UTF-8 bytes) with every embedded PNG image squeezed.
async function squeezeImages(html) {
  const text = new TextDecoder().decode(html), parts = [];
  const re = /data:image\/png;base64,([A-Za-z0-9+/=]+)/g;
  let last = 0;
  for (let m; (m = re.exec(text));) {
    parts.push(text.slice(last, m.index + m[0].length - m[1].length), toBase64(await squeezePng(fromBase64(m[1]))));
    last = m.index + m[0].length;
  }
  parts.push(text.slice(last));
  return new TextEncoder().encode(parts.join(""));
}

// ---- The module ---------------------------------------------------------

// Wraps the C interface of src/web/web_api.cpp: bytes in, outputs out.
function korvaneApi(m) {
  const text = (s) => {
    const b = new TextEncoder().encode(s);
    const p = m._malloc(b.length + 1);
    m.HEAPU8.set(b, p);
    m.HEAPU8[p + b.length] = 0;
    return p;
  };
  // Runs one entry; returns {ok, error, outputs: [{name, bytes}], width, height, ms}.
  function run(fn, name, bytes, ...rest) {
    const n = text(name);
    const p = m._malloc(Math.max(bytes.length, 1));
    m.HEAPU8.set(bytes, p);
    const extra = rest.map((a) => (typeof a === "string" ? text(a) : a));
    const t0 = performance.now();
    const r = m["_kvw_" + fn](n, p, bytes.length, ...extra);
    const ms = performance.now() - t0;
    const outputs = [];
    for (let i = 0; i < m._kvw_result_count(); i++) {
      const d = m._kvw_result_data(i);
      outputs.push({
        name: m.UTF8ToString(m._kvw_result_name(i)),
        bytes: m.HEAPU8.slice(d, d + m._kvw_result_size(i)),
      });
    }
    const res = {
      ok: r === 0, error: m.UTF8ToString(m._kvw_error()), code: m._kvw_error_code(), outputs, ms,
      width: m._kvw_picture_width(), height: m._kvw_picture_height(),
      reports: JSON.parse(m.UTF8ToString(m._kvw_report())),
    };
    m._kvw_clear();
    rest.forEach((a, i) => { if (typeof a === "string") m._free(extra[i]); });
    m._free(p);
    m._free(n);
    return res;
  }
  function recognise(bytes) {
    const p = m._malloc(Math.max(bytes.length, 1));
    m.HEAPU8.set(bytes, p);
    const k = m._kvw_recognise(p, bytes.length);
    m._free(p);
    return { kind: k, name: m.UTF8ToString(m._kvw_kind_name(k)) };
  }
  // Draws picture `design` straight from the module's memory: the pixels are
  // viewed where the module left them and copied once, by the canvas, which
  // for a large container is many megabytes not copied in script.
  // `lines`: the line drawing, not the threads on fabric.
  function paint(name, bytes, design, draw, lines) {
    const n = text(name);
    const p = m._malloc(Math.max(bytes.length, 1));
    m.HEAPU8.set(bytes, p);
    const t0 = performance.now();
    const ok = m[lines ? "_kvw_picture" : "_kvw_realistic"](n, p, bytes.length, design) === 0;
    const res = { ok, error: m.UTF8ToString(m._kvw_error()), code: m._kvw_error_code() };
    if (ok) {
      const w = m._kvw_picture_width(), h = m._kvw_picture_height();
      const rgba = new Uint8ClampedArray(m.HEAPU8.buffer, m._kvw_result_data(0), w * h * 4);
      draw(new ImageData(rgba, w, h));
    }
    res.ms = performance.now() - t0;
    m._kvw_clear();
    m._free(p);
    m._free(n);
    return res;
  }
  let threads = null;
  return {
    recognise,
    formats: () => JSON.parse(m.UTF8ToString(m._kvw_formats())).formats,
    info: (name, bytes) => {
      const r = run("info", name, bytes);
      r.json = JSON.parse(new TextDecoder().decode(r.outputs[0].bytes));
      return r;
    },
    split: (name, bytes) => run("split", name, bytes),
    combine: (name, bytes) => run("combine", name, bytes),
    convert: (name, bytes, to, combine) => run("convert", name, bytes, to, combine ? 1 : 0),
    // turn: "90", "180", "270" (clockwise) or "fit".
    convertTurned: (name, bytes, to, combine, turn) =>
      run("convert_turned", name, bytes, to, combine ? 1 : 0, turn),
    picture: (name, bytes, design) => run("picture", name, bytes, design),
    realistic: (name, bytes, design) => run("realistic", name, bytes, design),
    worksheet: async (name, bytes) => {
      const r = run("worksheet", name, bytes);
      if (r.ok) r.outputs[0].bytes = await squeezeImages(r.outputs[0].bytes);
      return r;
    },
    paint,
    // The SHV thread chart by code: {name, rgb}.
    shvThreads: () => threads || (threads = new Map(JSON.parse(m.UTF8ToString(m._kvw_shv_threads()))
      .map((t) => [t.code, t]))),
  };
}

if (typeof module === "object" && module.exports) {
  module.exports = { crc32, makeZip, korvaneApi, squeezeImages };
}

// ---- The page -------------------------------------------------------------

if (typeof document !== "undefined") (function page() {
  const status = document.getElementById("status");
  const cards = document.getElementById("cards");
  const timings = (window.korvaneTimings = { start: performance.now() });
  const ERR_WOULD_OVERWRITE_INPUT = 10;
  const ERR_LARGER_THAN_HOOPS = 31;
  let api = null;
  const waiting = [];
  // Every file open, in the order opened: {name, bytes, card, format}.
  const open = [];
  let cardCount = 0;

  function el(tag, attrs, ...children) {
    const e = document.createElement(tag);
    for (const [k, v] of Object.entries(attrs || {})) {
      if (v == null) continue;
      if (k === "class") e.className = v;
      else if (k.startsWith("on")) e.addEventListener(k.slice(2), v);
      else e.setAttribute(k, v);
    }
    for (const c of children) if (c != null) e.append(c);
    return e;
  }
  const plural = (n, word, many) => `${n} ${n === 1 ? word : many || word + "s"}`;

  function download(name, bytes, type) {
    const url = URL.createObjectURL(new Blob([bytes], { type: type || "application/octet-stream" }));
    const a = el("a", { href: url, download: name });
    document.body.append(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(url), 60000);
  }

  // One file directly; several in one ZIP.
  function offer(outputs, zipName) {
    if (outputs.length === 1) download(outputs[0].name, outputs[0].bytes);
    else download(zipName, makeZip(outputs), "application/zip");
  }

  function baseName(name) {
    const dot = name.lastIndexOf(".");
    return dot > 0 ? name.slice(0, dot) : name;
  }

  // The program's words, less what only makes sense with files on a disk: an
  // empty file is just empty, and a design whose name ends as another
  // format's, which the program refuses to convert over itself, is told what
  // to rename it to.
  function message(name, size, r, to, format) {
    if (size === 0) return `${name}: the file is empty.`;
    if (r.code === ERR_WOULD_OVERWRITE_INPUT)
      return `${name}: this is ${format ? "a " + format + " design" : "a design"} under a name that ends ` +
        `in .${to}, so its ${to.toUpperCase()} file would have the same name; rename it` +
        `${format ? " to end in ." + format.toLowerCase() : ""} and open it again.`;
    // The card offers the turn itself, and a browser has no options to name.
    if (r.code === ERR_LARGER_THAN_HOOPS)
      return r.error.replace(/: use --rotate \d+/, "").replace(/ \(--allow-oversize[^)]*\)/, "");
    return r.error;
  }

  function updateStatus() {
    status.textContent = open.length ? `${plural(open.length, "file")} open.` : "Ready. No file is open.";
    batch.hidden = open.length === 0;
  }

  // A picture on a canvas whose zoom the buttons and the keys + and - change;
  // it starts as wide as the card allows, so a phone sees all of it. The
  // threads on fabric as the design will sew, or on request the line drawing,
  // which shows every stitch however dense.
  function pictureView(file, design, label) {
    const canvas = el("canvas", { tabindex: "0", role: "img", "aria-label": label + " (press + or - to zoom)" });
    const paint = (lines) => api.paint(file.name, file.bytes, design, (image) => {
      canvas.width = image.width;
      canvas.height = image.height;
      canvas.getContext("2d").putImageData(image, 0, 0);
    }, lines);
    const r = paint(false);
    if (!r.ok) return { r };
    // Whole at first: as wide as the card and as tall as a screen allow.
    const room = Math.max(160, cards.clientWidth - 48);
    const tall = Math.max(200, Math.min(500, window.innerHeight * 0.7));
    let zoom = Math.min(3, room / Math.max(canvas.width, 1), tall / Math.max(canvas.height, 1));
    const apply = () => {
      canvas.style.width = Math.round(canvas.width * zoom) + "px";
      canvas.style.height = Math.round(canvas.height * zoom) + "px";
      // Enlarged, each pixel stays sharp; reduced, the threads are averaged, not dropped.
      canvas.style.imageRendering = zoom >= 1 ? "pixelated" : "auto";
    };
    const by = (f) => { zoom = Math.min(16, Math.max(0.05, zoom * f)); apply(); };
    canvas.addEventListener("keydown", (e) => {
      if (e.key === "+" || e.key === "=") { by(1.25); e.preventDefault(); }
      if (e.key === "-") { by(0.8); e.preventDefault(); }
    });
    canvas.addEventListener("wheel", (e) => {
      if (!e.ctrlKey) return;
      by(e.deltaY < 0 ? 1.25 : 0.8);
      e.preventDefault();
    }, { passive: false });
    apply();
    // Each drawing fitted to the same room on screen: the threads are drawn
    // at ten pixels a millimetre, the lines at far fewer.
    const lines = el("input", { type: "checkbox", "data-action": "lines" });
    lines.addEventListener("change", () => {
      const before = canvas.width;
      if (!paint(lines.checked).ok) return;
      zoom *= before / Math.max(canvas.width, 1);
      apply();
      canvas.dataset.style = lines.checked ? "lines" : "threads";
    });
    canvas.dataset.style = "threads";
    return { r, node: el("figure", { class: "view", "data-design": String(design) },
      el("div", { class: "zoom" },
        el("button", { type: "button", class: "secondary", onclick: () => by(1.25), "aria-label": "Zoom in: " + label }, "Zoom in"),
        el("button", { type: "button", class: "secondary", onclick: () => by(0.8), "aria-label": "Zoom out: " + label }, "Zoom out"),
        el("label", { class: "lines" }, lines, " Line drawing")),
      el("div", { class: "picture" }, canvas),
      el("figcaption", { class: "note" }, label)) };
  }

  // The colours of a design as the library reports them: threads with their
  // own colours and names, or SHV colour codes and their names as --info
  // gives them, drawn in the machines' chart colours the pictures use.
  function threadsOf(d) {
    if (d.threads) return d.threads.map((t) => ({ name: t.name || t.catalogue || t.rgb, rgb: t.rgb,
      count: plural(t.stitches, "stitch", "stitches") }));
    const chart = api.shvThreads();
    return (d.colours || []).map((c) => {
      const t = chart.get(c.code);
      return { name: `${c.code} ${c.name || "(unnamed)"}`, rgb: t ? t.rgb : "#000000",
        count: plural(c.words, "word") };
    });
  }

  // What the needle does, in the counts --info gives for this kind of design.
  function stitchCounts(d) {
    if (d.stitch_words !== undefined) return plural(d.stitch_words, "stitch word");
    return [plural(d.stitches, "stitch", "stitches"), plural(d.jumps, "jump"), plural(d.trims, "trim"), plural(d.stops, "stop")].join(", ");
  }

  function designTable(info) {
    const cols = ["#", "Name", "Size (mm)", "Hoop", "Colours", "Stitches"];
    const rows = info.designs.map((d) => {
      const threads = threadsOf(d);
      const cells = [
        String(d.number), d.name, `${d.width_mm.toFixed(1)} × ${d.height_mm.toFixed(1)}`, d.hoop,
        threads.length === 0 ? "none stored" : el("ul", { class: "colours" }, ...threads.map((t) => el("li", { class: "colour" },
          el("span", { class: "swatch", style: `background:${t.rgb}`, "aria-hidden": "true" }),
          `${t.name}: ${t.count}`))),
        stitchCounts(d)];
      return el("tr", {}, ...cells.map((c, i) =>
        el("td", { "data-label": cols[i], class: ["num", "", "num", "", "", ""][i] || null }, c)));
    });
    return el("table", { class: "designs" },
      el("caption", { class: "note" }, `${plural(info.design_count, "design")}, ${info.bytes} bytes`),
      el("thead", {}, el("tr", {}, ...cols.map((h) => el("th", { scope: "col" }, h)))),
      el("tbody", {}, ...rows));
  }

  // What converting to SHV changes, as the conversion reports it.
  function reportList(r) {
    const items = (r.reports || []).flatMap((rep, i) => rep.adjustments.map((a) =>
      el("li", { "data-code": a.code }, (r.reports.length > 1 ? r.outputs[i].name + ": " : "") + a.sentence)));
    if (!items.length) return null;
    return el("div", { class: "report" }, el("h3", {}, "What converting to SHV changes"), el("ul", {}, ...items));
  }

  // The label of a button that makes `f` of a file.
  function makeLabel(f) {
    return f.what === "document" ? `Export ${f.format}` : `Convert to ${f.format}`;
  }

  // One code path for every kind of file: what the library says of it
  // decides what the card shows and offers, so a new format needs nothing here.
  function addCard(name, bytes) {
    const id = "card-" + cardCount++;
    const file = { name, bytes, format: null, container: false };
    const error = el("p", { class: "error", role: "alert" });
    const say = (r, to) => { error.textContent = r.ok ? "" : message(name, bytes.length, r, to || "", file.format); };
    const seen = api.recognise(bytes);
    const remove = el("button", { type: "button", class: "secondary close", "aria-label": "Close " + name,
      onclick: () => { card.remove(); open.splice(open.indexOf(file), 1); updateStatus(); } }, "Close");
    const card = el("section", { class: "card", "aria-labelledby": id + "-title", "data-file": name },
      el("div", { class: "head" }, el("h2", { id: id + "-title" }, name), remove),
      el("p", { class: "kind" }, bytes.length ? seen.name : "empty file"), error);
    file.card = card;
    open.push(file);
    cards.append(card);

    const info = api.info(name, bytes);
    if (!info.ok) { say(info); return; }
    const fileInfo = info.json.files[0];
    file.container = fileInfo.kind === "container";
    // A design read by the stitch pattern readers names its format; the
    // others are the kinds of the SHV family.
    file.format = fileInfo.format || { container: "DHV", design: "SHV", huc: "HUC" }[fileInfo.kind] || null;

    // The picture: of a container, the layout of every design where combining
    // puts it, then each design on request; of a design, its stitches.
    const first = pictureView(file, file.container ? -1 : 0,
      file.container ? "Layout of all designs of " + name : "Stitches of " + name);
    if (first.node) card.append(first.node); else say(first.r);
    if (file.container) {
      card.append(el("p", { class: "note" }, "Each design at its placement with its number and name, its extents outlined, " +
        "the start point marked; dashed: the smallest hoop that holds them all (red when none does)."));
      const each = el("details", { class: "each" }, el("summary", {}, `The picture of each design (${fileInfo.design_count})`));
      each.addEventListener("toggle", () => {
        if (!each.open || each.dataset.drawn) return;
        each.dataset.drawn = "yes";
        fileInfo.designs.forEach((d, i) => {
          const v = pictureView(file, i, `Design ${d.number}: ${d.name}`);
          each.append(v.node || el("p", { class: "error" }, v.r.error));
        });
      });
      card.append(each);
      // Drawn at once for a handful of designs; a large container's waits to be asked.
      each.open = fileInfo.design_count <= 12;
    }
    card.append(designTable(fileInfo));

    const actions = el("div", { class: "actions" });
    const note = el("p", { class: "note", "aria-live": "polite" });
    const run = (what, f) => {
      const r = f();
      say(r, what);
      if (!r.ok) { note.textContent = ""; return null; }
      // What the conversion changed so that the machine sews it, file by file.
      const changed = (r.reports || []).flatMap((rep, i) => rep.adjustments.map((a) =>
        (r.outputs.length > 1 ? r.outputs[i].name + ": " : "") + a.sentence));
      note.textContent = `Made ${r.outputs.map((o) => o.name).join(", ")} in ${r.ms.toFixed(1)} ms.` +
        (changed.length ? " Changed: " + changed.join(" ") : "");
      return r;
    };
    // A design no hoop holds as it lies, but one does turned a quarter: the
    // refusal stays on the card, and beside it the turn that makes it fit.
    const turnBox = el("div", { class: "turn" });
    const offerTurn = (to, one, r) => {
      turnBox.replaceChildren();
      if (r.ok || r.code !== ERR_LARGER_THAN_HOOPS) return;
      if (!api.convertTurned(name, bytes, to, one, "fit").ok) return;
      const turnAndOffer = (turn) => {
        const made = run(to, () => api.convertTurned(name, bytes, to, one, turn));
        if (!made) return;
        turnBox.replaceChildren();
        offer(made.outputs, `${baseName(name)}-${to}.zip`);
      };
      turnBox.append(el("p", {}, `Turned a quarter, it fits. Convert to ${to.toUpperCase()}:`),
        el("button", { type: "button", "data-action": "turn-" + to, onclick: () => turnAndOffer("fit") },
          "Turn it to fit (clockwise)"),
        el("button", { type: "button", class: "secondary", "data-action": "turn-270-" + to,
          onclick: () => turnAndOffer("270") }, "Turn it the other way"));
    };
    let combined = null;
    if (file.container) {
      combined = el("input", { type: "checkbox", id: id + "-combined" });
      actions.append(
        el("button", { type: "button", "data-action": "split", onclick: () => {
          const r = run("shv", () => api.split(name, bytes));
          if (r) offer(r.outputs, baseName(name) + "-shv.zip");
        } }, "Split into SHV files"),
        el("button", { type: "button", "data-action": "combine", onclick: () => {
          const r = run("shv", () => api.combine(name, bytes));
          if (r) offer(r.outputs, baseName(name) + "-combined.zip");
        } }, "Combine into one SHV"));
    } else if (file.format !== "SHV") {
      // What converting to SHV changes, before anyone asks for it.
      const shv = api.convert(name, bytes, "shv");
      const list = shv.ok ? reportList(shv) : null;
      if (list) card.append(list);
      if (shv.code === ERR_LARGER_THAN_HOOPS) { say(shv, "shv"); offerTurn("shv", false, shv); }
    }
    // Every format the library writes but the file's own.
    for (const f of api.formats().filter((f) => f.write && f.format !== file.format)) {
      const to = f.extensions[0];
      if (file.container && to === "shv") continue;
      actions.append(el("button", { type: "button", class: to === "shv" ? null : "secondary",
        "data-action": "convert-" + to, onclick: () => {
          const one = combined && combined.checked;
          let answer = null;
          const r = run(to, () => (answer = api.convert(name, bytes, to, one)));
          offerTurn(to, one, answer);
          if (r) offer(r.outputs, `${baseName(name)}-${to}.zip`);
        } }, makeLabel(f)));
    }
    // The printable sheet `korvane --worksheet` writes, saved and opened.
    let sheetUrl = null;
    const sheet = el("button", { type: "button", class: "secondary", "data-action": "worksheet", onclick: async () => {
      sheet.disabled = true;
      try {
        const r = await api.worksheet(name, bytes);
        say(r);
        if (!r.ok) return;
        const page = r.outputs[0];
        download(page.name, page.bytes, "text/html");
        // One sheet a card is kept for its link: the one before is let go.
        if (sheetUrl) URL.revokeObjectURL(sheetUrl);
        sheetUrl = URL.createObjectURL(new Blob([page.bytes], { type: "text/html" }));
        note.replaceChildren(`Made ${page.name}. `,
          el("a", { href: sheetUrl, target: "_blank", rel: "noopener" }, "Open it to print"));
      } finally { sheet.disabled = false; }
    } }, "Worksheet");
    actions.append(sheet);
    if (combined)
      card.append(el("p", { class: "combined" }, combined,
        el("label", { for: combined.id }, " Convert and export the combined design, not each design")));
    card.append(actions, note, turnBox);
  }

  async function addFiles(list) {
    if (!api) { waiting.push(...list); return; }
    for (const f of list) {
      const bytes = new Uint8Array(await f.arrayBuffer());
      try { addCard(f.name, bytes); }
      catch (e) {
        // A fault of this page, not of the file: said once, on the file's card.
        const card = cards.lastElementChild;
        if (card && card.dataset.file === f.name)
          card.querySelector(".error").textContent = "The page failed on this file: " + e;
        console.error(e);
      }
    }
    updateStatus();
  }

  // ---- Batches ----------------------------------------------------------------
  const batch = document.getElementById("batch");
  const batchTo = document.getElementById("batch-to");
  const batchNote = document.getElementById("batch-note");
  // Every open file in one format, in one ZIP: a file already in that format
  // is left out, a failure named, and two outputs of one name kept apart.
  function convertAll(to) {
    const entries = [], taken = new Set(), left = [], failed = [];
    for (const file of open) {
      if (file.format === null) { failed.push(file.name); continue; }
      if (file.format.toLowerCase() === to) { left.push(file.name); continue; }
      const r = file.container && to === "shv" ? api.split(file.name, file.bytes) : api.convert(file.name, file.bytes, to);
      if (!r.ok) { failed.push(file.name); continue; }
      for (const o of r.outputs) {
        let n = o.name;
        for (let i = 2; taken.has(n.toLowerCase()); i++) n = `${baseName(o.name)} (${i})${o.name.slice(baseName(o.name).length)}`;
        taken.add(n.toLowerCase());
        entries.push({ name: n, bytes: o.bytes });
      }
    }
    const said = [`${plural(entries.length, "file")} made.`];
    if (left.length) said.push(`Already ${to.toUpperCase()}, left out: ${left.join(", ")}.`);
    if (failed.length) said.push(`Not converted (its card says why): ${failed.join(", ")}.`);
    batchNote.textContent = said.join(" ");
    if (entries.length) download(`korvane-${to}.zip`, makeZip(entries), "application/zip");
  }
  document.getElementById("batch-shv").addEventListener("click", () => convertAll("shv"));
  document.getElementById("batch-go").addEventListener("click", () => convertAll(batchTo.value));
  document.getElementById("clear").addEventListener("click", () => {
    open.length = 0;
    cards.replaceChildren();
    batchNote.textContent = "";
    updateStatus();
  });

  // A dropped folder arrives as entries to walk.
  async function entryFiles(entry) {
    if (entry.isFile) return [await new Promise((ok, no) => entry.file(ok, no))];
    if (!entry.isDirectory) return [];
    const reader = entry.createReader(), out = [];
    for (;;) {
      const got = await new Promise((ok, no) => reader.readEntries(ok, no));
      if (!got.length) break;
      for (const e of got) out.push(...(await entryFiles(e)));
    }
    return out;
  }

  const drop = document.getElementById("drop");
  for (const t of ["dragenter", "dragover"]) document.addEventListener(t, (e) => {
    e.preventDefault();
    drop.classList.add("over");
  });
  document.addEventListener("dragleave", () => drop.classList.remove("over"));
  document.addEventListener("drop", async (e) => {
    e.preventDefault();
    drop.classList.remove("over");
    const items = [...(e.dataTransfer.items || [])].map((i) => i.webkitGetAsEntry && i.webkitGetAsEntry()).filter(Boolean);
    if (items.length) {
      const files = [];
      for (const it of items) files.push(...(await entryFiles(it)));
      await addFiles(files.sort((a, b) => (a.name < b.name ? -1 : 1)));
    } else await addFiles([...e.dataTransfer.files]);
  });
  for (const id of ["pick-files", "pick-folder"]) {
    const input = document.getElementById(id);
    input.addEventListener("change", async () => { await addFiles([...input.files]); input.value = ""; });
  }

  // From file:// the .wasm cannot be fetched: its bytes come as a script.
  function wasmBytes() {
    if (location.protocol !== "file:") return Promise.resolve(null);
    return new Promise((ok, no) => {
      const s = el("script", { src: "korvane-wasm.js" });
      s.onload = () => {
        const b = atob(window.KORVANE_WASM_BASE64), a = new Uint8Array(b.length);
        for (let i = 0; i < b.length; i++) a[i] = b.charCodeAt(i);
        ok(a);
      };
      s.onerror = () => no(new Error("korvane-wasm.js is missing beside the page"));
      document.head.append(s);
    });
  }

  wasmBytes()
    .then((binary) => KorvaneModule(binary ? { wasmBinary: binary } : {}))
    .then((m) => {
      api = korvaneApi(m);
      for (const f of api.formats().filter((f) => f.write))
        batchTo.append(el("option", { value: f.extensions[0] }, f.format));
      // Since navigation began: what a person waits for.
      timings.ready = performance.now();
      updateStatus();
      status.textContent = "Ready. No file has been opened yet.";
      document.body.dataset.ready = "yes";
      if (waiting.length) addFiles(waiting.splice(0));
    })
    .catch((e) => {
      status.textContent = "The page could not start its converter: " + e.message;
      status.className = "error";
    });
})();
