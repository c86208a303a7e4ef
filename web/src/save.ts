// Saving what the program wrote, exactly its bytes: into a folder the user
// picks, where the browser lets a page write files, or as one .zip
// download anywhere.

import { joined, type Folder, type Image } from "./messages";

/** True where the browser can ask for a folder to write into. */
export const can_pick_folder = "showDirectoryPicker" in globalThis;

/** Called as saving goes: |done| files of |total|. */
export type Progress = (done: number, total: number) => void;

const count_of = (folders: Folder[]) => folders.reduce((sum, { images }) => sum + images.length, 0);

/**
 * Writes |folders| into |target|: each folder by its name, made where
 * missing, each image written whole.  A few files are written at a time,
 * as each costs a round trip to the browser more than its bytes.
 */
export async function save_into(target: FileSystemDirectoryHandle, folders: Folder[], progress: Progress): Promise<void> {
  const dirs = await Promise.all(folders.map(({ name }) => target.getDirectoryHandle(name, { create: true })));
  const queue = folders.flatMap(({ images }, i) => images.map((image) => ({ dir: dirs[i], image })));
  let next = 0;
  let done = 0;
  const writer = async () => {
    while (next < queue.length) {
      const { dir, image } = queue[next++];
      const out = await (await dir.getFileHandle(image.name, { create: true })).createWritable();
      for (const part of image.parts) await out.write(part as Uint8Array<ArrayBuffer>);
      await out.close();
      progress(++done, queue.length);
    }
  };
  await Promise.all([writer(), writer(), writer(), writer()]);
}

/** The bytes of the images of |folders|. */
export const size_of = (folders: Folder[]) =>
  folders.reduce((sum, { images }) => images.reduce((s, { parts }) => parts.reduce((t, part) => t + part.length, s), sum), 0);

/**
 * The most that make_zip takes, in the bytes of the images: a browser
 * holds the whole .zip in memory to offer it, and deflates some 100 MB a
 * second.  Below it, no size or offset needs Zip64's fields.
 */
export const zip_most = 2 ** 31;

/**
 * veldor.zip: each folder at the top, with its images, made on Unix with
 * UTF-8 names, so that every unzip names them right; deflated where the
 * browser can, stored elsewhere; Zip64's end records where the count of
 * entries needs them.  Every entry is dated |when|.
 */
export async function make_zip(folders: Folder[], when: Date, progress: Progress): Promise<Blob> {
  const parts: Uint8Array[] = [];
  const directory: Uint8Array[] = [];
  let offset = 0;
  let count = 0;
  const [time, date] = dos_time(when);
  const add = (name: string, image: Image | null, { method, crc, data }: Packed) => {
    const encoded = new TextEncoder().encode(name);
    const size = image ? image.parts.reduce((sum, part) => sum + part.length, 0) : 0;
    const length = data.reduce((sum, part) => sum + part.length, 0);
    // Version 2.0 and UTF-8 names: below zip_most, no size or offset
    // reaches 4 GiB.
    const common: [number, number][] = [[20, 2], [0x0800, 2], [method, 2], [time, 2], [date, 2], [crc, 4], [length, 4], [size, 4],
      [encoded.length, 2], [0, 2]];
    const head = fields([0x04034b50, 4], ...common);
    parts.push(head, encoded, ...data);
    // Made on Unix: rw-r--r-- for a file, rwxr-xr-x for a folder, which
    // MS-DOS's attribute marks as one too.
    const mode = image ? (0o100644 << 16) >>> 0 : ((0o40755 << 16) | 0x10) >>> 0;
    directory.push(fields([0x02014b50, 4], [(3 << 8) | 20, 2], ...common, [0, 2], [0, 2], [0, 2], [mode, 4], [offset, 4]), encoded);
    offset += head.length + encoded.length + length;
    count++;
  };
  const total = count_of(folders);
  let done = 0;
  for (const { name, images } of folders) {
    if (images.length === 0) add(`${name}/`, null, { method: 0, crc: 0, data: [] });
    for (const image of images) {
      add(`${name}/${image.name}`, image, await pack(image.parts));
      progress(++done, total);
    }
  }
  const size = directory.reduce((sum, part) => sum + part.length, 0);
  for (const part of directory) parts.push(part); // more than a call's arguments
  if (count >= 0xffff) {
    parts.push(fields([0x06064b50, 4], [44, 8], [(3 << 8) | 45, 2], [45, 2], [0, 4], [0, 4], [count, 8], [count, 8], [size, 8], [offset, 8]),
      fields([0x07064b50, 4], [0, 4], [offset + size, 8], [1, 4]));
  }
  const entries = Math.min(count, 0xffff);
  parts.push(fields([0x06054b50, 4], [0, 2], [0, 2], [entries, 2], [entries, 2], [size, 4], [offset, 4], [0, 2]));
  return new Blob(parts as Uint8Array<ArrayBuffer>[], { type: "application/zip" });
}

// An entry's data as the .zip holds it.
interface Packed {
  method: number; // 8 deflated, 0 stored
  crc: number;
  data: Uint8Array[];
}

// An image's |parts| deflated by the browser, whose gzip's trailer gives
// the CRC-32 too; stored where the browser has no compression.
async function pack(parts: Uint8Array[]): Promise<Packed> {
  if (typeof CompressionStream === "undefined") return { method: 0, crc: crc32(parts), data: parts };
  const stream = new CompressionStream("gzip");
  const writer = stream.writable.getWriter();
  for (const part of parts) void writer.write(part as Uint8Array<ArrayBuffer>);
  void writer.close();
  const chunks: Uint8Array[] = [];
  const reader = stream.readable.getReader();
  for (let read; !(read = await reader.read()).done; ) chunks.push(read.value);
  const gzip = joined(chunks);
  const crc = new DataView(gzip.buffer, gzip.byteOffset + gzip.length - 8, 4).getUint32(0, true);
  return { method: 8, crc, data: [gzip.subarray(gzip_data_start(gzip), gzip.length - 8)] };
}

// Where the deflated data of |gzip| begins, past its header and the
// optional fields its flags announce.
function gzip_data_start(gzip: Uint8Array): number {
  const flags = gzip[3];
  let at = 10;
  if (flags & 4) at += 2 + (gzip[at] | (gzip[at + 1] << 8));
  for (const bit of [8, 16]) if (flags & bit) at = gzip.indexOf(0, at) + 1;
  if (flags & 2) at += 2;
  return at;
}

let crc_table: Int32Array | undefined;

/** The CRC-32 of |parts| one after another, as .zip and gzip have it. */
export function crc32(parts: Uint8Array[]): number {
  const table = (crc_table ??= Int32Array.from({ length: 256 }, (_, n) => {
    for (let k = 0; k < 8; k++) n = n & 1 ? 0xedb88320 ^ (n >>> 1) : n >>> 1;
    return n;
  }));
  let crc = -1;
  for (const part of parts) for (const byte of part) crc = table[(crc ^ byte) & 0xff] ^ (crc >>> 8);
  return (crc ^ -1) >>> 0;
}

// |values|, each [value, bytes] little-endian; an 8-byte value up to 2^53.
function fields(...values: [number, number][]): Uint8Array {
  const out = new Uint8Array(values.reduce((sum, [, size]) => sum + size, 0));
  const view = new DataView(out.buffer);
  let at = 0;
  for (const [value, size] of values) {
    if (size === 2) view.setUint16(at, value, true);
    else if (size === 4) view.setUint32(at, value, true);
    else view.setBigUint64(at, BigInt(value), true);
    at += size;
  }
  return out;
}

// |when| as MS-DOS dates it, in local time: [time, date].
function dos_time(when: Date): [number, number] {
  return [
    (when.getHours() << 11) | (when.getMinutes() << 5) | (when.getSeconds() >> 1),
    ((when.getFullYear() - 1980) << 9) | ((when.getMonth() + 1) << 5) | when.getDate(),
  ];
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
