// What the user chose, as the program's current folder is to hold it: each
// file with its path in that folder.

export interface Chosen {
  path: string;
  file: File;
  bytes?: Uint8Array; // read by the page, for a worker that cannot read files
}

/** True for what the program takes for an archive: an .IXF name at the top. */
export const is_archive = (path: string) => /^[^/]*\.ixf$/i.test(path);

/** Files chosen one by one: each at the top of the folder. */
export function from_files(files: Iterable<File>): Chosen[] {
  return Array.from(files, (file) => ({ path: file.name, file }));
}

/** A whole folder: each of its files where it is in it. */
export function from_folder(files: Iterable<File>): Chosen[] {
  return Array.from(files, (file) => ({ path: file.webkitRelativePath.replace(/^[^/]*\//, ""), file }));
}

/**
 * What was dropped: a folder alone is the folder itself, as if chosen
 * whole; anything else is placed at the top as it is, folders with what
 * they hold.  Read while the drop is handled, as browsers require.
 */
export function from_drop(items: DataTransferItemList): Promise<Chosen[]> {
  const entries = Array.from(items, (item) => item.webkitGetAsEntry()).filter((entry) => entry !== null);
  const alone = entries.length === 1 && entries[0].isDirectory;
  return (async () => {
    const chosen: Chosen[] = [];
    for (const entry of entries) await walk(entry, alone ? "" : entry.name, chosen);
    return chosen;
  })();
}

async function walk(entry: FileSystemEntry, path: string, out: Chosen[]): Promise<void> {
  if (entry.isFile) {
    const file = await new Promise<File>((done, fail) => (entry as FileSystemFileEntry).file(done, fail));
    out.push({ path, file });
    return;
  }
  const reader = (entry as FileSystemDirectoryEntry).createReader();
  for (;;) {
    const batch = await new Promise<FileSystemEntry[]>((done, fail) => reader.readEntries(done, fail));
    if (batch.length === 0) return;
    for (const child of batch) await walk(child, path ? `${path}/${child.name}` : child.name, out);
  }
}
