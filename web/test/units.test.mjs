// The page's modules on their own, under Node: the console, the program's
// folder in memory, the previews and the .zip.  Each module is bundled by
// esbuild as the page's build does, and imported.
import { test } from "node:test";
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdtempSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { build } from "esbuild";

const load = async (module) => {
  const entryPoints = [new URL(`../src/${module}.ts`, import.meta.url).pathname];
  const { outputFiles } = await build({ entryPoints, bundle: true, format: "esm", platform: "node", write: false });
  return import(`data:text/javascript;base64,${Buffer.from(outputFiles[0].text).toString("base64")}`);
};
const { ConsoleView } = await load("console");
const { MemFile, MemDirectory, finish } = await load("memfs");
const { picture_of } = await load("preview");
const { make_zip } = await load("save");
const bytes = (text) => new TextEncoder().encode(text);

test("the console shows what a terminal shows, however the writes cut the text", () => {
  globalThis.requestAnimationFrame = () => {};
  const view = { textContent: "", scrollTop: 0, scrollHeight: 500 };
  const cases = [
    [["abcdef\rXY", "\r\n", "\u00c9t\u00e9\r\u00ce"], "XYcdef\n\u00cet\u00e9"],
    // É (C3 89) and 😀 (F0 9F 98 80) cut between writes; a character that
    // never ends.
    [[Uint8Array.of(0xc3), Uint8Array.of(0x89, 0x74, 0xf0, 0x9f), Uint8Array.of(0x98, 0x80, 0x0d, 0x41)], "At😀"],
    [[Uint8Array.of(0x61, 0xc3)], "a\ufffd"],
  ];
  for (const [writes, shown] of cases) {
    const console = new ConsoleView(view);
    for (const write of writes) console.write(typeof write === "string" ? bytes(write) : write);
    console.end();
    assert.deepEqual([view.textContent, view.scrollTop], [shown, 500], JSON.stringify(writes));
  }
});

// A stand-in for a chosen file on the disk, read synchronously as workers
// read; |fail| makes the reads fail, as for a file changed since.
class DiskFile extends Blob {
  constructor(data, fail = false) {
    super();
    Object.assign(this, { data, fail });
  }
  get size() { return this.data.length; } // prettier-ignore
  slice(start, end) { return new DiskFile(this.data.subarray(start, end), this.fail); } // prettier-ignore
}
globalThis.FileReaderSync = class {
  readAsArrayBuffer({ data, fail }) {
    if (fail) throw new DOMException("changed since chosen", "NotReadableError");
    return data.slice().buffer;
  }
};

test("the program's folder reads chosen files across their chunks and hands each image over when closed", () => {
  const written = [];
  const watcher = { read() {}, written: (path, parts) => written.push([path, Buffer.concat(parts).toString()]) };
  // Past 64 MiB, read a chunk at a time: a read across the edge.
  const big = new Uint8Array((64 << 20) + 8).map((_, i) => i % 251);
  const read = new MemFile("BIG.IXF", new DiskFile(big), watcher).path_open(0).fd_obj;
  const { ret, data } = read.fd_pread(8, BigInt((64 << 20) - 4));
  assert.deepEqual([ret, [...data]], [0, [...big.subarray((64 << 20) - 4, (64 << 20) + 4)]]);
  assert.equal(new MemFile("GONE.IXF", new DiskFile(big, true), watcher).path_open(0).fd_obj.fd_read(4).ret, 29); // EIO

  const root = new MemDirectory("", watcher);
  root.create_entry_for_path("A", true);
  const image = root.create_entry_for_path("A/1.BMP", false).entry.path_open(0).fd_obj;
  for (const piece of ["BM", "abc", "def"]) image.fd_write(bytes(piece));
  image.fd_seek(3n, 0);
  image.fd_write(bytes("XYZ")); // across two pieces
  assert.deepEqual(written, []);
  image.fd_close();
  assert.deepEqual(written, [["A/1.BMP", "BMaXYZef"]]);
  // Left open at the end, as by a run stopped on it.
  const open = root.create_entry_for_path("A/0.BMP", false).entry.path_open(0).fd_obj;
  open.fd_write(bytes("BMcut"));
  open.fd_filestat_set_size(7n);
  root.create_entry_for_path("B", true);
  assert.deepEqual(finish(root), [{ name: "A", images: ["0.BMP", "1.BMP"] }, { name: "B", images: [] }]);
  assert.deepEqual(written[1], ["A/0.BMP", "BMcut\0\0"]);
  // Memory that runs out makes a full disk of the program's.
  const full = root.create_entry_for_path("A/2.BMP", false).entry.path_open(0).fd_obj;
  assert.equal(full.fd_write({ length: 1, slice() { throw new RangeError("Array buffer allocation failed"); } }).ret, 51); // ENOSPC
});

test("previews show the rows as the archive stores them", () => {
  // An entry of |width| x |height|: its header, then pixel bytes 1, 2 ...
  const entry = (width, height, extra = 2) => {
    const out = new Uint8Array(54 + width * Math.abs(height) * 3 + extra).map((_, i) => i - 53);
    out.set(bytes("BM"));
    new DataView(out.buffer).setInt32(18, width, true);
    new DataView(out.buffer).setInt32(22, height, true);
    return out;
  };
  const rgb = ({ rgba }) => [...rgba].filter((_, i) => i % 4 !== 3);
  // Bottom-up, blue-green-red, each row 3 x 3 bytes with no padding.
  const three = picture_of(entry(3, 2), 256);
  assert.deepEqual(rgb(three), [12, 11, 10, 15, 14, 13, 18, 17, 16, 3, 2, 1, 6, 5, 4, 9, 8, 7]);
  assert.equal(three.sheared_elsewhere, true);
  assert.deepEqual(rgb(picture_of(entry(3, -2), 256)).slice(0, 3), [3, 2, 1]); // top-down
  assert.equal(picture_of(entry(4, 1), 256).sheared_elsewhere, false);
  // Made smaller: every other pixel of every other row, from the top.
  const small = picture_of(entry(4, 4), 2);
  assert.deepEqual([small.width, small.height, rgb(small).slice(0, 6)], [2, 2, [39, 38, 37, 45, 44, 43]]);
  for (const none of [entry(0, 5), entry(2, 0), entry(2, 2, -1), bytes("MB" + "\0".repeat(60))])
    assert.equal(picture_of(none, 256), null);
});

test("the .zip, stored without compression, holds 70,000 images: Zip64's end records", async () => {
  const scratch = mkdtempSync(join(tmpdir(), "veldor-zip-"));
  const image = (name, text) => ({ name, parts: [bytes(text.slice(0, 3)), bytes(text.slice(3))] });
  // Stored, as where the browser has no compression, and past 65,535
  // entries: Debian's unzip checks every entry's CRC.
  const compression = globalThis.CompressionStream;
  delete globalThis.CompressionStream;
  try {
    const many = [{ name: "MANY", images: Array.from({ length: 70000 }, (_, i) => image(`${String(i).padStart(8, "0")}.BMP`, `BM ${i}`)) }];
    const path = join(scratch, "many.zip");
    writeFileSync(path, new Uint8Array(await (await make_zip(many, new Date(), () => {})).arrayBuffer()));
    assert.match(`${execFileSync("unzip", ["-tq", path])}${execFileSync("unzip", ["-Zt", path])}`, /^No errors detected.*\n70000 files,/m);
  } finally {
    globalThis.CompressionStream = compression;
    rmSync(scratch, { recursive: true, force: true });
  }
});
