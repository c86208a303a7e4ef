// The program's current folder, in the worker's memory, as the WASI shim
// serves it: the files the user chose, read beforehand or as the program
// reads them, and the folders and images the program writes.  A file the
// program has written leaves this folder when the program closes it: its
// bytes go to the page, whole, and are held there once.

import { Directory, Fd, Inode, OpenDirectory, WASI, wasi } from "@bjorn3/browser_wasi_shim";
import { is_archive, type Chosen } from "./choose";

// Reads Blobs synchronously; dedicated workers have it.
declare const FileReaderSync: { new (): { readAsArrayBuffer(blob: Blob): ArrayBuffer } };

// Archives at most this large are read before the run, all at once, and
// larger ones this much at a time as the program reads them: a browser
// reads a file faster in fewer, larger reads (Chromium took 1.3 times as
// long for 300 MB read 16 MiB at a time).
const chunk_size = 64 << 20;

/** What the worker hears of the program's folder. */
export interface Watcher {
  /** |count| bytes of a chosen file were read. */
  read(count: number): void;
  /**
   * The program closed file |path| (from the folder's top) after writing
   * it: its bytes, one part after another, now the watcher's own.
   */
  written(path: string, parts: Uint8Array[]): void;
}

/**
 * A regular file: a chosen one, whole (Uint8Array) or read a chunk at a
 * time (Blob), until the program writes to it.  Then its bytes are pieces
 * kept one after another: a file written from its start, as images are,
 * keeps each write's copy, joined once when the file is handed over.
 */
export class MemFile extends Inode {
  private pieces: Uint8Array[];
  private chunk = { at: 0, bytes: new Uint8Array(0) }; // of a Blob, read last
  size: number;
  written = false; // by the program, ever
  private changed = false; // since it was last handed over
  private handed = false; // its bytes are the watcher's
  opened = 0;
  constructor(
    readonly path: string,
    private source: Blob | Uint8Array | null,
    readonly watcher: Watcher,
  ) {
    super();
    this.pieces = source instanceof Uint8Array ? [source] : [];
    this.size = source ? (source instanceof Blob ? source.size : source.length) : 0;
  }

  /** The file's bytes from |at|, at most |count| of them; throws where they cannot be read. */
  read(at: number, count: number): Uint8Array {
    const end = Math.min(this.size, at + count);
    if (at >= end) return new Uint8Array(0);
    let part: Uint8Array;
    if (this.source instanceof Blob) {
      const { at: from, bytes } = this.chunk;
      if (at < from || end > from + bytes.length) {
        const last = Math.min(this.size, Math.max(end, at + chunk_size));
        this.chunk = { at, bytes: new Uint8Array(new FileReaderSync().readAsArrayBuffer(this.source.slice(at, last))) };
      }
      part = this.chunk.bytes.subarray(at - this.chunk.at, end - this.chunk.at);
    } else {
      part = this.whole().subarray(at, end);
    }
    if (this.source) this.watcher.read(part.length);
    return part;
  }

  /** Writes |data| (which may change after) at |at|; throws where memory runs out. */
  write(at: number, data: Uint8Array): void {
    if (at === this.size && !(this.source instanceof Blob) && !this.handed) {
      this.pieces.push(data.slice());
      this.size += data.length;
    } else {
      this.whole(Math.max(this.size, at + data.length)).set(data, at);
    }
    this.source = null;
    this.written = this.changed = true;
  }

  /** Makes the file |size| bytes long, zeros filling what it gains. */
  resize(size: number): void {
    if (size === 0) this.pieces = [];
    this.handed &&= size > 0;
    this.whole(size);
    this.source = null;
    this.written = this.changed = true;
  }

  /**
   * Gives the watcher what the program wrote since it last did, in the
   * pieces it was written in: joining them would cost another copy of
   * every image, in fresh memory, which is most of a run's time.
   */
  hand_over(): void {
    if (!this.changed) return;
    const parts = this.pieces;
    this.pieces = [];
    this.changed = false;
    this.handed = true;
    this.watcher.written(this.path, parts);
  }

  // The file as one piece, made |size| bytes long.  Bytes handed over are
  // no longer here: the program never reads an image back.
  private whole(size = this.size): Uint8Array {
    if (this.handed && this.size > 0) throw new Error(`${this.path} is with the page`);
    const blob = this.source instanceof Blob;
    if (this.pieces.length === 1 && this.pieces[0].length === size && !blob) return this.pieces[0];
    const one = new Uint8Array(size);
    if (blob) one.set(this.read(0, Math.min(size, this.size)));
    let at = 0;
    for (const piece of this.pieces) {
      if (at >= size) break;
      one.set(piece.subarray(0, size - at), at);
      at += piece.length;
    }
    this.pieces = [one];
    this.size = size;
    return one;
  }

  path_open(oflags: number) {
    try {
      if (oflags & wasi.OFLAGS_TRUNC) this.resize(0);
    } catch {
      return { ret: wasi.ERRNO_NOSPC, fd_obj: null };
    }
    this.opened++;
    return { ret: wasi.ERRNO_SUCCESS, fd_obj: new OpenMemFile(this) };
  }

  stat(): wasi.Filestat {
    return stat_of(this.ino, wasi.FILETYPE_REGULAR_FILE, this.size);
  }
}

/** A folder: what the user chose in it, and what the program makes. */
export class MemDirectory extends Directory {
  made = false; // by the program
  constructor(
    readonly path: string, // from the top, "" or ending in "/"
    readonly watcher: Watcher,
  ) {
    super([]);
  }

  // The shim checks the path and makes its own entry there, which is
  // replaced by one of these.
  create_entry_for_path(path: string, is_dir: boolean) {
    const made = super.create_entry_for_path(path, is_dir);
    if (made.entry) {
      const parts = path.split("/").filter((part) => part !== "" && part !== ".");
      let parent: MemDirectory = this;
      for (const part of parts.slice(0, -1)) parent = parent.contents.get(part) as MemDirectory;
      const name = parts[parts.length - 1];
      const entry = is_dir ? new MemDirectory(`${parent.path}${name}/`, this.watcher) : new MemFile(parent.path + name, null, this.watcher);
      if (entry instanceof MemDirectory) entry.made = true;
      parent.contents.set(name, entry);
      made.entry = entry;
    }
    return made;
  }

  path_open() {
    return { ret: wasi.ERRNO_SUCCESS, fd_obj: new OpenMemDirectory(this) };
  }

  stat(): wasi.Filestat {
    return stat_of(this.ino, wasi.FILETYPE_DIRECTORY, 0);
  }
}

/**
 * The program's current folder, holding what was chosen where it was
 * chosen; |watcher| hears of what it reads and writes there.
 */
export async function program_folder(chosen: Chosen[], watcher: Watcher): Promise<MemDirectory> {
  const root = new MemDirectory("", watcher);
  // A file that cannot be read beforehand is left for the program to meet.
  const beforehand = async ({ path, file, bytes }: Chosen) =>
    bytes ?? (is_archive(path) && file.size <= chunk_size ? file.arrayBuffer().then((read) => new Uint8Array(read), () => null) : null);
  const whole = await Promise.all(chosen.map(beforehand));
  for (const [i, { path, file }] of chosen.entries()) {
    const parts = path.split("/");
    let dir = root;
    for (const part of parts.slice(0, -1)) {
      let next = dir.contents.get(part);
      if (!(next instanceof MemDirectory)) dir.contents.set(part, (next = new MemDirectory(`${dir.path}${part}/`, watcher)));
      dir = next as MemDirectory;
    }
    dir.contents.set(parts[parts.length - 1], new MemFile(path, whole[i] ?? file, watcher));
  }
  return root;
}

/** A folder the program made or wrote into, with the names of the files it wrote there, sorted. */
export interface Written {
  name: string;
  images: string[];
}

/**
 * Hands over what the program left open, and lists the folders at the top
 * that it made or wrote into, in the order it did.
 */
export function finish(root: MemDirectory): Written[] {
  const folders: Written[] = [];
  for (const [name, entry] of root.contents) {
    if (!(entry instanceof MemDirectory)) continue;
    const images: string[] = [];
    for (const [image, file] of entry.contents) {
      if (!(file instanceof MemFile) || !file.written) continue;
      file.hand_over();
      images.push(image);
    }
    images.sort((a, b) => (a < b ? -1 : 1));
    if (entry.made || images.length > 0) folders.push({ name, images });
  }
  return folders;
}

/**
 * Makes |wasi| hand each write straight from the program's memory to the
 * file written: the shim copies it out first, and the files here copy
 * what they keep, once.
 */
export function write_without_copy(wasi_: WASI): void {
  wasi_.wasiImport.fd_write = (fd: number, vectors: number, count: number, written_at: number) => {
    const memory = wasi_.inst.exports.memory.buffer;
    const view = new DataView(memory);
    const file = wasi_.fds[fd];
    if (!file) return wasi.ERRNO_BADF;
    let written = 0;
    for (let i = 0; i < count; i++) {
      const at = view.getUint32(vectors + 8 * i, true);
      const { ret, nwritten } = file.fd_write(new Uint8Array(memory, at, view.getUint32(vectors + 8 * i + 4, true)));
      if (ret !== wasi.ERRNO_SUCCESS) return ret;
      written += nwritten;
    }
    view.setUint32(written_at, written, true);
    return wasi.ERRNO_SUCCESS;
  };
}

// A folder open to be read: its entries listed once, when the reading
// starts, not again for each entry.
class OpenMemDirectory extends OpenDirectory {
  private listing: [string, Inode][] = [];
  fd_readdir_single(cookie: bigint) {
    if (cookie < 2n) {
      this.listing = [...this.dir.contents];
      return super.fd_readdir_single(cookie);
    }
    const entry = this.listing[Number(cookie - 2n)];
    if (!entry) return { ret: wasi.ERRNO_SUCCESS, dirent: null };
    const [name, inode] = entry;
    return { ret: wasi.ERRNO_SUCCESS, dirent: new wasi.Dirent(cookie + 1n, inode.ino, name, inode.stat().filetype) };
  }
}

// The shim's own Filestat counts no links; a file here has one name.
function stat_of(ino: bigint, type: number, size: number): wasi.Filestat {
  const st = new wasi.Filestat(ino, type, BigInt(size));
  st.nlink = 1n;
  return st;
}

// A chosen file that cannot be read (changed or moved on the disk since it
// was chosen) is an input/output error for the program, and memory that
// runs out while it writes a full disk.
class OpenMemFile extends Fd {
  private at = 0;
  constructor(private file: MemFile) {
    super();
  }
  fd_fdstat_get() {
    return { ret: 0, fdstat: new wasi.Fdstat(wasi.FILETYPE_REGULAR_FILE, 0) };
  }
  fd_filestat_get() {
    return { ret: 0, filestat: this.file.stat() };
  }
  fd_filestat_set_size(size: bigint) {
    return attempt(wasi.ERRNO_NOSPC, () => this.file.resize(Number(size)));
  }
  fd_read(count: number) {
    const { ret, data } = this.fd_pread(count, BigInt(this.at));
    this.at += data.length;
    return { ret, data };
  }
  fd_pread(count: number, offset: bigint) {
    let data: Uint8Array = new Uint8Array(0);
    const ret = attempt(wasi.ERRNO_IO, () => (data = this.file.read(Number(offset), count)));
    return { ret, data };
  }
  fd_write(data: Uint8Array) {
    const result = this.fd_pwrite(data, BigInt(this.at));
    this.at += result.nwritten;
    return result;
  }
  fd_pwrite(data: Uint8Array, offset: bigint) {
    const ret = attempt(wasi.ERRNO_NOSPC, () => this.file.write(Number(offset), data));
    return { ret, nwritten: ret === 0 ? data.length : 0 };
  }
  fd_seek(offset: bigint, whence: number) {
    const base = whence === wasi.WHENCE_CUR ? this.at : whence === wasi.WHENCE_END ? this.file.size : 0;
    const to = base + Number(offset);
    if (whence > wasi.WHENCE_END || to < 0) return { ret: wasi.ERRNO_INVAL, offset: 0n };
    this.at = to;
    return { ret: 0, offset: BigInt(to) };
  }
  fd_tell() {
    return { ret: 0, offset: BigInt(this.at) };
  }
  fd_close() {
    if (--this.file.opened === 0) return attempt(wasi.ERRNO_NOSPC, () => this.file.hand_over());
    return wasi.ERRNO_SUCCESS;
  }
}

// 0 when |action| succeeds, |error| when it throws.
function attempt(error: number, action: () => void): number {
  try {
    action();
    return wasi.ERRNO_SUCCESS;
  } catch {
    return error;
  }
}

/**
 * A standard stream shown as a terminal: the program takes it for one (a
 * character device that cannot seek) and writes to it what a UTF-8
 * terminal is to show, its own text in UTF-8 and names padded by columns.
 * What it is given may change after: it takes a copy.
 */
export class Terminal extends Fd {
  constructor(private receive: (bytes: Uint8Array) => void) {
    super();
  }
  fd_fdstat_get() {
    return { ret: 0, fdstat: new wasi.Fdstat(wasi.FILETYPE_CHARACTER_DEVICE, 0) };
  }
  fd_write(data: Uint8Array) {
    this.receive(data.slice());
    return { ret: 0, nwritten: data.length };
  }
}
