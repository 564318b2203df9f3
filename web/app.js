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
    picture: (name, bytes, design) => run("picture", name, bytes, design),
  };
}

if (typeof module === "object" && module.exports) {
  module.exports = { crc32, makeZip, korvaneApi };
}

// ---- The page -------------------------------------------------------------

if (typeof document !== "undefined") (function page() {
  const KIND_DHV = 1, KIND_SHV = 2, KIND_HUC = 3;
  // The preview colours 1-15 the pictures use (the 16-colour palette).
  const PALETTE = ["#e8e8e0", "#800000", "#008000", "#808000", "#000080", "#800080", "#008080",
    "#c0c0c0", "#808080", "#ff0000", "#00ff00", "#ffff00", "#0000ff", "#ff00ff", "#00ffff", "#ffffff"];
  const status = document.getElementById("status");
  const cards = document.getElementById("cards");
  const timings = (window.korvaneTimings = { start: performance.now() });
  let api = null;
  const waiting = [];

  function el(tag, attrs, ...children) {
    const e = document.createElement(tag);
    for (const [k, v] of Object.entries(attrs || {})) {
      if (k === "class") e.className = v;
      else if (k.startsWith("on")) e.addEventListener(k.slice(2), v);
      else e.setAttribute(k, v);
    }
    for (const c of children) if (c != null) e.append(c);
    return e;
  }

  function download(name, bytes, type) {
    const url = URL.createObjectURL(new Blob([bytes], { type: type || "application/octet-stream" }));
    const a = el("a", { href: url, download: name });
    document.body.append(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(url), 60000);
  }

  // One file directly; several in one ZIP named after the input.
  function offer(outputs, zipName) {
    if (outputs.length === 1) download(outputs[0].name, outputs[0].bytes);
    else download(zipName, makeZip(outputs), "application/zip");
  }

  function baseName(name) {
    const dot = name.lastIndexOf(".");
    return dot > 0 ? name.slice(0, dot) : name;
  }

  // A picture on a canvas whose zoom the buttons and the keys + and - change.
  function pictureView(pic, label) {
    const canvas = el("canvas", { width: pic.width, height: pic.height, tabindex: "0",
      role: "img", "aria-label": label + " (press + or - to zoom)" });
    const rgba = new Uint8ClampedArray(pic.outputs[0].bytes.buffer, pic.outputs[0].bytes.byteOffset,
      pic.outputs[0].bytes.length);
    canvas.getContext("2d").putImageData(new ImageData(rgba, pic.width, pic.height), 0, 0);
    let zoom = Math.min(1, 640 / Math.max(pic.width, 1));
    const apply = () => {
      canvas.style.width = Math.round(pic.width * zoom) + "px";
      canvas.style.height = Math.round(pic.height * zoom) + "px";
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
    return { canvas, node: el("div", {},
      el("div", { class: "zoom" },
        el("button", { type: "button", class: "secondary", onclick: () => by(1.25), "aria-label": "Zoom in: " + label }, "Zoom in"),
        el("button", { type: "button", class: "secondary", onclick: () => by(0.8), "aria-label": "Zoom out: " + label }, "Zoom out")),
      el("div", { class: "picture" }, canvas)) };
  }

  function designTable(info) {
    const head = el("tr", {}, ...["#", "Name", "Size (mm)", "Hoop", "Placement (mm)", "Colours (swatch: preview colour)", "Stitch words"]
      .map((h) => el("th", { scope: "col" }, h)));
    const rows = info.designs.map((d) => el("tr", {},
      el("td", { class: "num" }, String(d.number)),
      el("td", {}, d.name),
      el("td", { class: "num" }, `${d.width_mm.toFixed(1)} × ${d.height_mm.toFixed(1)}`),
      el("td", {}, d.hoop),
      el("td", { class: "num" }, d.placement_mm ? `${d.placement_mm.x.toFixed(1)}, ${d.placement_mm.y.toFixed(1)}` : "–"),
      el("td", { class: "colours" }, ...d.colours.map((c) => el("span", { class: "colour" },
        el("span", { class: "swatch", style: `background:${PALETTE[c.preview_value] || "#000"}`,
          "aria-hidden": "true" }),
        `${c.code} ${c.name || "(unnamed)"}: ${c.words}`))),
      el("td", { class: "num" }, String(d.stitch_words))));
    return el("table", { class: "designs" },
      el("caption", { class: "note" }, `${info.design_count} design${info.design_count === 1 ? "" : "s"}, ${info.bytes} bytes`),
      el("thead", {}, head), el("tbody", {}, ...rows));
  }

  function addCard(file, bytes) {
    const id = "card-" + cards.children.length;
    const error = el("p", { class: "error", role: "alert" });
    const say = (r) => { error.textContent = r.ok ? "" : r.error; };
    const seen = api.recognise(bytes);
    const card = el("section", { class: "card", "aria-labelledby": id + "-title", "data-file": file.name },
      el("h2", { id: id + "-title" }, file.name),
      el("p", { class: "kind" }, seen.name), error);
    cards.append(card);
    const info = api.info(file.name, bytes);
    if (!info.ok && seen.kind !== KIND_HUC && seen.kind !== KIND_DHV && seen.kind !== KIND_SHV) {
      // Not a DHV/SHV/HUC file: say what it is; a format the readers know is
      // converted below once they are in.
    } else if (!info.ok) {
      say(info);
      return card;
    }
    const fileInfo = info.ok ? info.json.files[0] : null;

    // The picture: of a container, every design where combining puts it; of
    // a HUC design, the SHV design it becomes.
    let picBytes = bytes, picName = file.name;
    if (seen.kind === KIND_HUC) {
      const shv = api.convert(file.name, bytes, "shv");
      if (shv.ok) { picBytes = shv.outputs[0].bytes; picName = shv.outputs[0].name; }
    }
    if (fileInfo) {
      const pic = api.picture(picName, picBytes, seen.kind === KIND_DHV ? -1 : 0);
      if (pic.ok) {
        const label = seen.kind === KIND_DHV ? "Layout of all designs of " + file.name : "Stitches of " + file.name;
        const view = pictureView(pic, label);
        card.append(view.node);
        if (seen.kind === KIND_DHV)
          card.append(el("p", { class: "note" }, "Each design at its placement with its number and name, its extents outlined, " +
            "the start point marked; dashed: the smallest hoop that holds them all (red when none does)."));
      } else say(pic);
      card.append(designTable(fileInfo));
    }

    const actions = el("div", { class: "actions" });
    const note = el("p", { class: "note", "aria-live": "polite" });
    card.append(actions, note);
    if (seen.kind === KIND_DHV) {
      actions.append(
        el("button", { type: "button", "data-action": "split", onclick: () => {
          const r = api.split(file.name, bytes);
          say(r);
          if (!r.ok) return;
          note.textContent = `Split into ${r.outputs.length} SHV file${r.outputs.length === 1 ? "" : "s"} in ${r.ms.toFixed(1)} ms.`;
          offer(r.outputs, baseName(file.name) + "-shv.zip");
        } }, "Split into SHV files"),
        el("button", { type: "button", "data-action": "combine", onclick: () => {
          const r = api.combine(file.name, bytes);
          say(r);
          if (!r.ok) return;
          note.textContent = `Combined into ${r.outputs[0].name} in ${r.ms.toFixed(1)} ms.`;
          offer(r.outputs);
        } }, "Combine into one SHV"));
    }
    // Every format the library writes, tried at once: one that cannot be
    // made (a reader or writer not in yet, a design too large) is offered
    // switched off, with the library's words saying why.
    const formats = api.formats()
      .filter((f) => f.write && f.what !== "document")
      .map((f) => f.extensions[0])
      .filter((f) => !(f === "shv" && (seen.kind === KIND_SHV || seen.kind === KIND_DHV)));
    for (const to of formats) {
      const r = api.convert(file.name, bytes, to);
      const label = `Convert to ${to.toUpperCase()}`;
      const button = el("button", { type: "button", class: "secondary", "data-action": "convert-" + to, onclick: () => {
        const again = api.convert(file.name, bytes, to);
        say(again);
        if (!again.ok) return;
        note.textContent = `Converted to ${again.outputs.map((o) => o.name).join(", ")}.`;
        offer(again.outputs, `${baseName(file.name)}-${to}.zip`);
      } }, label);
      actions.append(button);
      if (!r.ok) {
        button.disabled = true;
        const why = el("p", { class: "note", id: `${id}-${to}-why` }, `${label} is not available: ${r.error}`);
        button.setAttribute("aria-describedby", why.id);
        actions.append(why);
        if (!fileInfo && seen.kind === 0 && to === "shv") say(r);
      }
    }
    return card;
  }

  async function addFiles(list) {
    if (!api) { waiting.push(...list); return; }
    for (const f of list) {
      const bytes = new Uint8Array(await f.arrayBuffer());
      try { addCard(f, bytes); }
      catch (e) {
        cards.append(el("section", { class: "card" }, el("h2", {}, f.name),
          el("p", { class: "error", role: "alert" }, "korvane stopped on this file: " + e)));
      }
    }
    status.textContent = `${cards.children.length} file${cards.children.length === 1 ? "" : "s"} open.`;
  }

  // A dropped folder arrives as entries to walk.
  async function entryFiles(entry) {
    if (entry.isFile) return [await new Promise((ok, no) => entry.file(ok, no))];
    if (!entry.isDirectory) return [];
    const reader = entry.createReader(), out = [];
    for (;;) {
      const batch = await new Promise((ok, no) => reader.readEntries(ok, no));
      if (!batch.length) break;
      for (const e of batch) out.push(...(await entryFiles(e)));
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
      // Since navigation began: what a person waits for.
      timings.ready = performance.now();
      status.textContent = "Ready. No file has been opened yet.";
      document.body.dataset.ready = "yes";
      if (waiting.length) addFiles(waiting.splice(0));
    })
    .catch((e) => {
      status.textContent = "The page could not start its converter: " + e.message;
      status.className = "error";
    });
})();
