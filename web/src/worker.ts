// The worker: runs veldor.wasm on the chosen files as its current folder,
// sends its console output as it comes, then the folders it wrote.  The
// page stays responsive meanwhile.

import { PreopenDirectory, WASI, wasi as defs, type Inode } from "@bjorn3/browser_wasi_shim";
import { unzlibSync, Zip, ZipDeflate, ZipPassThrough } from "fflate";
import { MemDirectory, MemFile, Sink } from "./memfs";
import type { Chosen } from "./choose";
import type { Folder, FromWorker, ToWorker } from "./messages";

// veldor.wasm, zlib-compressed, in base64: put here by build.mjs.
declare const VELDOR_WASM: string;

const post = (message: FromWorker, transfer: Transferable[] = []) =>
  (self as unknown as Worker).postMessage(message, transfer);

const program = WebAssembly.compile(unzlibSync(Uint8Array.from(atob(VELDOR_WASM), (c) => c.charCodeAt(0))));

// Archives at most this large are read before the run, all at once: that
// costs less than reading each when the program does.
const read_beforehand = 64 << 20;

/** True for what the program takes for an archive: an .IXF name at the top. */
const is_archive = (path: string) => /^[^/]*\.ixf$/i.test(path);

/** The program's current folder, holding what was chosen where it was chosen. */
async function folder_of(chosen: Chosen[], read: (count: number) => void): Promise<MemDirectory> {
  const root = new MemDirectory();
  const beforehand = ({ path, file }: Chosen) => is_archive(path) && file.size <= read_beforehand;
  const whole = await Promise.all(
    chosen.map(async (it) => (beforehand(it) ? new Uint8Array(await it.file.arrayBuffer()) : null)),
  );
  for (const [i, { path, file }] of chosen.entries()) {
    const parts = path.split("/");
    let dir: MemDirectory = root;
    for (const part of parts.slice(0, -1)) {
      let next = dir.contents.get(part);
      if (!(next instanceof MemDirectory)) dir.contents.set(part, (next = new MemDirectory()));
      dir = next as MemDirectory;
    }
    dir.contents.set(parts[parts.length - 1], new MemFile(whole[i] ?? file, read));
  }
  return root;
}

/**
 * The folders the program made or wrote into, in the order it did, with
 * the images it wrote, in the order of their names.
 */
function written(root: MemDirectory): Folder[] {
  const folders: Folder[] = [];
  for (const [name, entry] of root.contents) {
    if (!(entry instanceof MemDirectory)) continue;
    const images = [...entry.contents]
      .filter((pair): pair is [string, MemFile] => pair[1] instanceof MemFile && pair[1].written)
      .map(([name, file]) => ({ name, bytes: file.take() }))
      .sort((a, b) => (a.name < b.name ? -1 : 1));
    if (entry.made || images.length > 0) folders.push({ name, images });
  }
  return folders;
}

async function run(chosen: Chosen[]): Promise<void> {
  // Progress: the bytes of the archives read, of all there are.
  const total = chosen.reduce((sum, { path, file }) => sum + (is_archive(path) ? file.size : 0), 0);
  let done = 0;
  let shown = 0;
  const root = await folder_of(chosen, (count) => {
    done += count;
    if (done - shown >= total / 200) post({ kind: "progress", done: (shown = done), total });
  });
  const preopen = new PreopenDirectory("/", new Map<string, Inode>());
  preopen.dir = root;
  const streams = [1, 2].map((stream) => new Sink((bytes) => post({ kind: "output", stream, bytes })));
  const wasi = new WASI(["veldor"], [], [new Sink(() => {}), ...streams, preopen], { debug: false });
  // The shim copies each write out of the program's memory before handing
  // it on; the files here copy what they keep, once.
  wasi.wasiImport.fd_write = (fd: number, vectors: number, count: number, written_at: number) => {
    const memory = wasi.inst.exports.memory.buffer;
    const view = new DataView(memory);
    const file = wasi.fds[fd];
    if (!file) return defs.ERRNO_BADF;
    let written = 0;
    for (let i = 0; i < count; i++) {
      const at = view.getUint32(vectors + 8 * i, true);
      const { ret, nwritten } = file.fd_write(new Uint8Array(memory, at, view.getUint32(vectors + 8 * i + 4, true)));
      if (ret !== defs.ERRNO_SUCCESS) return ret;
      written += nwritten;
    }
    view.setUint32(written_at, written, true);
    return defs.ERRNO_SUCCESS;
  };
  let status: number;
  try {
    const instance = await WebAssembly.instantiate(await program, { wasi_snapshot_preview1: wasi.wasiImport });
    status = wasi.start(instance as never);
  } catch (error) {
    post({ kind: "crash", message: String(error) });
    return;
  }
  post({ kind: "progress", done: total, total });
  const folders = written(root);
  post({ kind: "done", status, folders }, folders.flatMap(({ images }) => images.map(({ bytes }) => bytes.buffer)));
}

/** veldor.zip: each folder at the top, with its images. */
function zip(folders: Folder[], when: Date): void {
  const parts: Uint8Array[] = [];
  const archive = new Zip((error, chunk, final) => {
    if (error) throw error;
    parts.push(chunk);
    if (final) post({ kind: "zip", blob: new Blob(parts as BlobPart[], { type: "application/zip" }) });
  });
  for (const { name, images } of folders) {
    const entry = images.length === 0 ? new ZipPassThrough(`${name}/`) : null;
    if (entry) {
      entry.mtime = when;
      archive.add(entry);
      entry.push(new Uint8Array(0), true);
    }
    for (const image of images) {
      const file = new ZipDeflate(`${name}/${image.name}`, { level: 1 });
      file.mtime = when;
      archive.add(file);
      file.push(image.bytes, true);
    }
  }
  archive.end();
}

self.onmessage = (event: MessageEvent<ToWorker>) => {
  const message = event.data;
  if (message.kind === "run") void run(message.chosen);
  else zip(message.folders, new Date(message.when));
};
