// What the page and its worker tell each other.

import type { Chosen } from "./choose";

/** A folder the program wrote, with its images, in the order of their names. */
export interface Folder {
  name: string;
  images: { name: string; bytes: Uint8Array }[];
}

export type ToWorker = { kind: "run"; chosen: Chosen[] } | { kind: "zip"; folders: Folder[]; when: number };

export type FromWorker =
  | { kind: "output"; stream: number; bytes: Uint8Array }
  | { kind: "progress"; done: number; total: number }
  | { kind: "done"; status: number; folders: Folder[] }
  | { kind: "crash"; message: string }
  | { kind: "zip"; blob: Blob };
