// The worker: runs veldor.wasm on the chosen files as its current folder,
// sends its console output as it comes, then the folders it wrote.  The
// page stays responsive meanwhile.

import { PreopenDirectory, WASI, type Inode } from "@bjorn3/browser_wasi_shim";
import { unzlibSync, Zip, ZipDeflate, ZipPassThrough } from "fflate";
import { MemDirectory, MemFile, Sink } from "./memfs";
import type { Chosen } from "./choose";
import type { Folder, FromWorker, ToWorker } from "./messages";

// veldor.wasm, gzipped, in base64: put here by build.mjs.
declare const VELDOR_WASM: string;
declare const FileReaderSync: { new (): { readAsArrayBuffer(blob: Blob): ArrayBuffer } };

const post = (message: FromWorker, transfer: Transferable[] = []) =>
  (self as unknown as Worker).postMessage(message, transfer);

const program = WebAssembly.compile(unzlibSync(Uint8Array.from(atob(VELDOR_WASM), (c) => c.charCodeAt(0))));

/** The program's current folder, holding what was chosen where it was chosen. */
function folder_of(chosen: Chosen[], read: (count: number) => void): MemDirectory {
  const root = new MemDirectory();
  for (const { path, file } of chosen) {
    const parts = path.split("/");
    let dir: MemDirectory = root;
    for (const part of parts.slice(0, -1)) {
      let next = dir.contents.get(part);
      if (!(next instanceof MemDirectory)) dir.contents.set(part, (next = new MemDirectory()));
      dir = next as MemDirectory;
    }
    dir.contents.set(parts[parts.length - 1], new MemFile(file, read));
  }
  return root;
}

/** The folders the program made or wrote into, with the images it wrote. */
function written(root: MemDirectory): Folder[] {
  const folders: Folder[] = [];
  for (const [name, entry] of root.contents) {
    if (!(entry instanceof MemDirectory)) continue;
    const images = [...entry.contents]
      .filter((pair): pair is [string, MemFile] => pair[1] instanceof MemFile && pair[1].written)
      .map(([name, file]) => ({ name, bytes: new Blob([file.contents() as BlobPart]) }))
      .sort((a, b) => (a.name < b.name ? -1 : 1));
    if (entry.made || images.length > 0) folders.push({ name, images });
  }
  return folders.sort((a, b) => (a.name < b.name ? -1 : 1));
}

async function run(chosen: Chosen[]): Promise<void> {
  // Progress: the bytes of the archives read, of all there are.
  const total = chosen.reduce((sum, { path, file }) => sum + (/^[^/]*\.ixf$/i.test(path) ? file.size : 0), 0);
  let done = 0;
  let shown = 0;
  const root = folder_of(chosen, (count) => {
    done += count;
    if (done - shown >= total / 200) post({ kind: "progress", done: (shown = done), total });
  });
  const preopen = new PreopenDirectory("/", new Map<string, Inode>());
  preopen.dir = root;
  const streams = [1, 2].map((stream) => new Sink((bytes) => post({ kind: "output", stream, bytes })));
  const wasi = new WASI(["veldor"], [], [new Sink(() => {}), ...streams, preopen], { debug: false });
  let status: number;
  try {
    const instance = await WebAssembly.instantiate(await program, { wasi_snapshot_preview1: wasi.wasiImport });
    status = wasi.start(instance as never);
  } catch (error) {
    post({ kind: "crash", message: String(error) });
    return;
  }
  post({ kind: "progress", done: total, total });
  post({ kind: "done", status, folders: written(root) });
}

/** veldor.zip: each folder at the top, with its images. */
function zip(folders: Folder[], when: Date): void {
  const parts: Uint8Array[] = [];
  const archive = new Zip((error, chunk, final) => {
    if (error) throw error;
    parts.push(chunk);
    if (final) post({ kind: "zip", blob: new Blob(parts as BlobPart[], { type: "application/zip" }) });
  });
  const reader = new FileReaderSync();
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
      file.push(new Uint8Array(reader.readAsArrayBuffer(image.bytes)), true);
    }
  }
  archive.end();
}

self.onmessage = (event: MessageEvent<ToWorker>) => {
  const message = event.data;
  if (message.kind === "run") void run(message.chosen);
  else zip(message.folders, new Date(message.when));
};
