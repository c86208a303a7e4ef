// Saving what the program wrote: into a folder the user picks, where the
// browser lets a page write files, or as one .zip download anywhere.

import type { Folder } from "./messages";

/** True where the browser can ask for a folder to write into. */
export const can_pick_folder = "showDirectoryPicker" in window;

/**
 * Writes |folders| into |target|: each folder by its name, made where
 * missing, each image written whole, exactly the program's bytes.
 * Returns the count of files written.
 */
export async function save_into(target: FileSystemDirectoryHandle, folders: Folder[]): Promise<number> {
  let count = 0;
  for (const folder of folders) {
    const dir = await target.getDirectoryHandle(folder.name, { create: true });
    for (const image of folder.images) {
      const file = await dir.getFileHandle(image.name, { create: true });
      const out = await file.createWritable();
      await out.write(image.bytes as Uint8Array<ArrayBuffer>);
      await out.close();
      count++;
    }
  }
  return count;
}

/** Offers |blob| as a download named |name|. */
export function download(blob: Blob, name: string): void {
  const link = document.createElement("a");
  link.href = URL.createObjectURL(blob);
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60_000);
}
