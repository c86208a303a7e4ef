// The page: choosing archives, running veldor on them in a worker, showing
// its console, its progress, how the run ended and the images, and saving
// them.

import { from_drop, from_files, from_folder, is_archive, type Chosen } from "./choose";
import { ConsoleView } from "./console";
import { show_gallery } from "./gallery";
import { in_french, trouble_of, words } from "./i18n";
import type { Folder, FromWorker } from "./messages";
import { can_pick_folder, download, make_zip, save_into, size_of, zip_most } from "./save";

// The worker's code: put here by build.mjs.
declare const WORKER_SOURCE: string;

const element = <T extends HTMLElement>(id: string) => document.getElementById(id) as T;
const progress = element<HTMLProgressElement>("progress");
const outcome = element("status");
const save_status = element("save-status");
const save_button = element<HTMLButtonElement>("save");
const zip_button = element<HTMLButtonElement>("zip");
const archives = element<HTMLInputElement>("archives");
const folder = element<HTMLInputElement>("folder");

document.documentElement.lang = in_french ? "fr" : "en";
document.title = words.title;
for (const node of document.querySelectorAll<HTMLElement>("[data-word]"))
  node.textContent = String(words[node.dataset.word as keyof typeof words]);
if (!can_pick_folder) {
  save_button.hidden = true;
  element("save-help").textContent = words.no_save;
}
if (!("webkitdirectory" in HTMLInputElement.prototype)) {
  element("folder-choice").hidden = true;
  element("no-folder").textContent = words.no_folder;
}

// A worker runs one run, and is started before it is needed, when no run
// goes: it has the program to make ready.
const worker_url = URL.createObjectURL(new Blob([WORKER_SOURCE], { type: "text/javascript" }));
function start_worker() {
  const worker = new Worker(worker_url);
  const reads_files = new Promise<boolean>((done) => {
    worker.onmessage = (event: MessageEvent<FromWorker>) => event.data.kind === "ready" && done(event.data.reads_files);
  });
  return { worker, reads_files };
}
let spare: ReturnType<typeof start_worker> | null = start_worker();

interface Run {
  worker: Worker;
  view: ConsoleView;
  images: Map<string, Uint8Array[]>; // by path in the program's folder, in parts
}
let current: Run | null = null; // the run under way
let folders: Folder[] = []; // what the last run wrote
let saving = false;

function enable_saving(): void {
  save_button.disabled = zip_button.disabled = current !== null || saving || folders.length === 0;
}

// Runs veldor on |chosen|, in place of any run under way: what shows is
// always what was chosen last.
async function run(chosen: Chosen[]): Promise<void> {
  if (chosen.length === 0) return;
  current?.worker.terminate();
  const { worker, reads_files } = spare ?? start_worker();
  spare = null;
  const it: Run = { worker, view: new ConsoleView(element("console")), images: new Map() };
  current = it;
  folders = [];
  outcome.textContent = save_status.textContent = "";
  progress.value = 0;
  enable_saving();
  show_gallery(element("gallery"), []);
  const sent = (await reads_files) ? chosen : await read_archives(chosen);
  if (current !== it) return; // chosen again meanwhile
  worker.onmessage = (event: MessageEvent<FromWorker>) => current === it && heard(it, event.data);
  const failed = (why: string) => current === it && heard(it, { kind: "done", status: null, failure: why, folders: [] });
  worker.onerror = (event) => failed(event.message);
  worker.onmessageerror = () => failed("messageerror");
  worker.postMessage({ kind: "run", chosen: sent }, sent.flatMap(({ bytes }) => (bytes ? [bytes.buffer] : [])));
}

// The archives' bytes, for a worker that cannot read files; one that
// cannot be read here either is left for the program to meet.
function read_archives(chosen: Chosen[]): Promise<Chosen[]> {
  return Promise.all(
    chosen.map(async (it) => {
      if (!is_archive(it.path)) return it;
      try {
        return { ...it, bytes: new Uint8Array(await it.file.arrayBuffer()) };
      } catch {
        return it;
      }
    }),
  );
}

function heard(it: Run, message: FromWorker): void {
  switch (message.kind) {
    case "batch":
      for (const each of message.messages) heard(it, each);
      break;
    case "output":
      it.view.write(message.bytes);
      break;
    case "progress":
      progress.max = Math.max(message.total, 1);
      progress.value = message.total ? message.done : 1;
      break;
    case "image":
      it.images.set(message.path, message.parts);
      break;
    case "done": {
      it.view.end();
      it.worker.terminate();
      current = null;
      spare = start_worker(); // after the run: it makes its program ready at full speed
      folders = message.folders.map(({ name, images }) => ({
        name,
        images: images.flatMap((image) => {
          const parts = it.images.get(`${name}/${image}`);
          return parts ? [{ name: image, parts }] : [];
        }),
      }));
      outcome.textContent = told(it.view.text(), message.status, message.failure);
      show_gallery(element("gallery"), folders);
      enable_saving();
      break;
    }
  }
}

// How a run ended, in words: its console's text |text|, its exit status
// |status| (null where it never ended, |failure| saying why).
function told(text: string, status: number | null, failure: string | null): string {
  const images = folders.reduce((sum, { images }) => sum + images.length, 0);
  const exit = status === null ? "" : ` (${words.exit_status(status)})`;
  if (status === 0) return words.done(images, folders.length, text.split("Format de fichier incorrect.").length - 1) + exit;
  const report = /Error \(VELDOR\.EXE\): (.*)$/m.exec(text)?.[1] ?? "";
  const trouble = status === null ? "crash" : trouble_of(report, text.includes("Traitement de "));
  return `${words.stopped} ${words.troubles[trouble]}${images ? words.can_save(images) : ""}${exit}` +
    (failure ? ` [${failure}]` : "");
}

archives.onchange = () => void run(from_files(archives.files ?? []));
folder.onchange = () => void run(from_folder(folder.files ?? []));
document.addEventListener("dragover", (event) => event.preventDefault());
document.addEventListener("drop", (event) => {
  event.preventDefault();
  if (event.dataTransfer) void from_drop(event.dataTransfer.items).then(run);
});

// Saves |folders| one way or another, one save at a time, telling how it goes.
async function save(how: (folders: Folder[]) => Promise<string>, failed: string): Promise<void> {
  saving = true;
  enable_saving();
  try {
    save_status.textContent = await how(folders);
  } catch (error) {
    if ((error as Error).name !== "AbortError") save_status.textContent = `${failed} ${String(error)}`;
  } finally {
    saving = false;
    enable_saving();
  }
}

save_button.onclick = () =>
  save(async (folders) => {
    const target = await (window as unknown as { showDirectoryPicker(options: object): Promise<FileSystemDirectoryHandle> })
      .showDirectoryPicker({ mode: "readwrite" });
    let total = 0;
    await save_into(target, folders, (done, all) => (save_status.textContent = words.saving(done, (total = all))));
    return words.saved(total);
  }, words.save_failed);

zip_button.onclick = () =>
  save(async (folders) => {
    if (size_of(folders) > zip_most) return words.zip_too_big(bytes_in_words(size_of(folders)));
    const zip = await make_zip(folders, new Date(), (done, total) => (save_status.textContent = words.zipping(done, total)));
    download(zip, "veldor.zip");
    return words.zipped(bytes_in_words(zip.size));
  }, words.zip_failed);

// |size| as a person reads it: "2.6 GB".
function bytes_in_words(size: number): string {
  const [unit, scale] = size >= 1e9 ? ["gigabyte", 1e9] : size >= 1e6 ? ["megabyte", 1e6] : ["kilobyte", 1e3];
  return new Intl.NumberFormat(document.documentElement.lang, { style: "unit", unit, maximumFractionDigits: 1 }).format(size / scale);
}
