// The page: choosing archives, running veldor on them in a worker, showing
// its console, its progress and the images, and saving what it wrote.

import { from_drop, from_files, from_folder, type Chosen } from "./choose";
import { ConsoleView } from "./console";
import { show_gallery } from "./gallery";
import { in_french, words } from "./i18n";
import type { Folder, FromWorker, ToWorker } from "./messages";
import { can_pick_folder, download, save_into } from "./save";

// The worker's code: put here by build.mjs.
declare const WORKER_SOURCE: string;

const element = <T extends HTMLElement>(id: string) => document.getElementById(id) as T;
const progress = element<HTMLProgressElement>("progress");
const status = element("status");
const save_button = element<HTMLButtonElement>("save");
const zip_button = element<HTMLButtonElement>("zip");

document.documentElement.lang = in_french ? "fr" : "en";
document.title = words.title;
for (const node of document.querySelectorAll<HTMLElement>("[data-word]"))
  node.textContent = String(words[node.dataset.word as keyof typeof words]);
if (!can_pick_folder) {
  save_button.hidden = true;
  element("save-help").textContent = words.no_save;
}

const worker = new Worker(URL.createObjectURL(new Blob([WORKER_SOURCE], { type: "text/javascript" })));
const tell = (message: ToWorker) => worker.postMessage(message);
let console_view: ConsoleView | null = null;
let folders: Folder[] = [];

function run(chosen: Chosen[]): void {
  if (console_view || chosen.length === 0) return; // one run at a time
  console_view = new ConsoleView(element("console"));
  folders = [];
  status.textContent = "";
  progress.value = 0;
  save_button.disabled = zip_button.disabled = true;
  show_gallery(element("gallery"), []);
  tell({ kind: "run", chosen });
}

// Ends the run that shows: its console's last text, then |outcome|.
function end_run(outcome: string): void {
  console_view?.end();
  console_view = null;
  status.textContent = outcome;
}

worker.onmessage = (event: MessageEvent<FromWorker>) => {
  const message = event.data;
  switch (message.kind) {
    case "output":
      console_view?.write(message.bytes);
      break;
    case "progress":
      progress.max = Math.max(message.total, 1);
      progress.value = message.total ? message.done : 1;
      break;
    case "done":
      end_run(words.status(message.status));
      folders = message.folders;
      show_gallery(element("gallery"), folders);
      save_button.disabled = zip_button.disabled = folders.length === 0;
      break;
    case "crash":
      end_run(`${words.crashed} ${message.message}`);
      break;
    case "zip":
      download(message.blob, "veldor.zip");
      status.textContent = "";
      zip_button.disabled = false;
      break;
  }
};

// A worker that fails past the program (out of memory, say) ends the run.
worker.onerror = (event) => end_run(`${words.crashed} ${event.message}`);

const archives = element<HTMLInputElement>("archives");
const folder = element<HTMLInputElement>("folder");
archives.onchange = () => run(from_files(archives.files ?? []));
folder.onchange = () => run(from_folder(folder.files ?? []));
document.addEventListener("dragover", (event) => event.preventDefault());
document.addEventListener("drop", (event) => {
  event.preventDefault();
  if (event.dataTransfer) void from_drop(event.dataTransfer.items).then(run);
});

save_button.onclick = async () => {
  try {
    const target = await (window as unknown as { showDirectoryPicker(options: object): Promise<FileSystemDirectoryHandle> })
      .showDirectoryPicker({ mode: "readwrite" });
    status.textContent = words.saved(await save_into(target, folders));
  } catch (error) {
    if ((error as Error).name !== "AbortError") status.textContent = `${words.save_failed} ${String(error)}`;
  }
};

zip_button.onclick = () => {
  zip_button.disabled = true;
  status.textContent = words.zipping;
  tell({ kind: "zip", folders, when: Date.now() });
};
