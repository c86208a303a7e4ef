// The worker: the bridge between the page and veldor.wasm.  It runs the
// program on the chosen files as its current folder and tells the page
// what it writes: the console's bytes, the progress, each image as the
// program closes it, and how the run ended.  The page stays responsive
// meanwhile.

import { PreopenDirectory, WASI, type Inode } from "@bjorn3/browser_wasi_shim";
import { unzlibSync } from "fflate";
import { is_archive, type Chosen } from "./choose";
import { finish, program_folder, Terminal, write_without_copy } from "./memfs";
import type { FromWorker, ToWorker } from "./messages";

// veldor.wasm, zlib-compressed, in base64: put here by build.mjs.
declare const VELDOR_WASM: string;
declare const FileReaderSync: { new (): { readAsArrayBuffer(blob: Blob): ArrayBuffer } };

const post = (message: FromWorker, transfer: Transferable[] = []) =>
  (self as unknown as Worker).postMessage(message, transfer);

// What a run tells the page goes out together, at most every 30 ms while
// the program runs: a message costs more than the console's few bytes or
// a small image that it carries.
const outbox = { said: [] as FromWorker[], moved: [] as Transferable[], at: 0 };
function tell(message: FromWorker, moved: Transferable[] = []): void {
  outbox.said.push(message);
  outbox.moved.push(...moved);
  if (performance.now() - outbox.at >= 30) send();
}
function send(): void {
  if (outbox.said.length) post({ kind: "batch", messages: outbox.said }, outbox.moved);
  Object.assign(outbox, { said: [], moved: [], at: performance.now() });
}

const program = WebAssembly.compile(unzlibSync(Uint8Array.from(atob(VELDOR_WASM), (c) => c.charCodeAt(0))));

// WebKit's workers read no Blob at all in a page opened from the disk, not
// even one of their own: the page then reads the archives and sends their
// bytes.
const reads_files = (() => {
  try {
    new FileReaderSync().readAsArrayBuffer(new Blob([new Uint8Array(1)]));
    return true;
  } catch {
    return false;
  }
})();
post({ kind: "ready", reads_files });

async function run(chosen: Chosen[]): Promise<void> {
  // Progress: the bytes of the archives read, of all there are.
  const total = chosen.reduce((sum, { path, file }) => sum + (is_archive(path) ? file.size : 0), 0);
  let done = 0;
  let shown = 0;
  const root = await program_folder(chosen, {
    read(count) {
      done += count;
      if (done - shown >= total / 200) tell({ kind: "progress", done: (shown = done), total });
    },
    written(path, parts) {
      tell({ kind: "image", path, parts }, parts.map((part) => part.buffer));
    },
  });
  const preopen = new PreopenDirectory("/", new Map<string, Inode>());
  preopen.dir = root;
  const streams = [1, 2].map(() => new Terminal((bytes) => tell({ kind: "output", bytes }, [bytes.buffer])));
  const wasi = new WASI(["veldor"], [], [new Terminal(() => {}), ...streams, preopen], { debug: false });
  write_without_copy(wasi);
  let status: number | null = null;
  let failure: string | null = null;
  try {
    const instance = await WebAssembly.instantiate(await program, { wasi_snapshot_preview1: wasi.wasiImport });
    status = wasi.start(instance as never);
  } catch (error) {
    failure = String(error);
  }
  // What was written before a failure is the player's still.
  tell({ kind: "progress", done: total, total });
  tell({ kind: "done", status, failure, folders: finish(root) });
  send();
}

self.onmessage = (event: MessageEvent<ToWorker>) => {
  run(event.data.chosen).catch((error) =>
    post({ kind: "done", status: null, failure: String(error), folders: [] }),
  );
};
