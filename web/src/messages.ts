// What the page and its worker tell each other.

import type { Chosen } from "./choose";
import type { Written } from "./memfs";

/** An image the program wrote: its bytes, one part after another. */
export interface Image {
  name: string;
  parts: Uint8Array[];
}

/** A folder the program wrote, with its images, in the order of their names. */
export interface Folder {
  name: string;
  images: Image[];
}

export type ToWorker = { kind: "run"; chosen: Chosen[] };

export type FromWorker =
  | { kind: "ready"; reads_files: boolean }
  | { kind: "batch"; messages: FromWorker[] }
  | { kind: "output"; bytes: Uint8Array }
  | { kind: "progress"; done: number; total: number }
  // A file the program wrote and closed, by its path in the program's folder.
  | { kind: "image"; path: string; parts: Uint8Array[] }
  // |status| is the program's exit status, null where it never ended, and then |failure| says why.
  | { kind: "done"; status: number | null; failure: string | null; folders: Written[] };

/** |parts| one after another, in one piece: the piece itself where there is one. */
export function joined(parts: Uint8Array[]): Uint8Array {
  if (parts.length === 1) return parts[0];
  const whole = new Uint8Array(parts.reduce((sum, part) => sum + part.length, 0));
  let at = 0;
  for (const part of parts) {
    whole.set(part, at);
    at += part.length;
  }
  return whole;
}
