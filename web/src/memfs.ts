// The program's current folder, in the worker's memory, as the WASI shim
// serves it: the files the user chose, read beforehand or as the program
// reads them, and the folders and images the program writes, whose
// storage grows in doubling steps, so that writing a file costs time in
// proportion to its size.

import { Directory, Fd, Inode, OpenDirectory, wasi } from "@bjorn3/browser_wasi_shim";

// Reads Blobs synchronously; dedicated workers have it.
declare const FileReaderSync: { new (): { readAsArrayBuffer(blob: Blob): ArrayBuffer } };

// What a chosen file too large to be read beforehand is read in: each
// synchronous read costs about a millisecond whatever its size.
const chunk_size = 16 << 20;

/**
 * A regular file: a chosen one, whole (Uint8Array) or read a chunk at a
 * time (Blob), until the program writes to it.  Then its bytes are pieces
 * kept one after another: a file written from its start, as images are,
 * keeps each write's copy, and becomes one piece when it is taken.
 */
export class MemFile extends Inode {
  private pieces: Uint8Array[];
  private chunk = { at: 0, bytes: new Uint8Array(0) }; // of a Blob, read last
  size: number;
  written = false; // by the program
  constructor(private source: Blob | Uint8Array | null = null, private onRead?: (count: number) => void) {
    super();
    this.pieces = source instanceof Uint8Array ? [source] : [];
    this.size = source ? (source instanceof Blob ? source.size : source.length) : 0;
  }

  /** The file's bytes from |at|, at most |count| of them. */
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
    if (this.source) this.onRead?.(part.length);
    return part;
  }

  /** Writes |data| (which may change after) at |at|. */
  write(at: number, data: Uint8Array): void {
    this.written = true;
    if (at === this.size && !(this.source instanceof Blob)) {
      this.pieces.push(data.slice());
      this.size += data.length;
    } else {
      this.whole(Math.max(this.size, at + data.length)).set(data, at);
    }
    this.source = null;
  }

  /** Makes the file |size| bytes long, zeros filling what it gains. */
  resize(size: number): void {
    this.written = true;
    this.whole(size);
    this.source = null;
  }

  /** The file's bytes, exactly, in a buffer of their own: this file's. */
  take(): Uint8Array {
    const bytes = this.whole();
    this.pieces = [];
    return bytes;
  }

  // The file as one piece, made |size| bytes long.
  private whole(size = this.size): Uint8Array {
    if (this.pieces.length === 1 && this.pieces[0].length === size && !(this.source instanceof Blob)) return this.pieces[0];
    const one = new Uint8Array(size);
    if (this.source instanceof Blob) one.set(this.read(0, size));
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
    if (oflags & wasi.OFLAGS_TRUNC) this.resize(0);
    return { ret: wasi.ERRNO_SUCCESS, fd_obj: new OpenMemFile(this) };
  }

  stat(): wasi.Filestat {
    return stat_of(this.ino, wasi.FILETYPE_REGULAR_FILE, this.size);
  }
}

/** A folder: what the user chose in it, and what the program makes. */
export class MemDirectory extends Directory {
  made = false; // by the program
  constructor(contents: [string, Inode][] = []) {
    super(contents);
  }

  // The shim checks the path and makes its own entry there, which is
  // replaced by one of these.
  create_entry_for_path(path: string, is_dir: boolean) {
    const made = super.create_entry_for_path(path, is_dir);
    if (made.entry) {
      const parts = path.split("/").filter((part) => part !== "" && part !== ".");
      let parent: Directory = this;
      for (const part of parts.slice(0, -1)) parent = parent.contents.get(part) as Directory;
      const entry = is_dir ? new MemDirectory() : new MemFile();
      if (entry instanceof MemDirectory) entry.made = true;
      parent.contents.set(parts[parts.length - 1], entry);
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
    this.file.resize(Number(size));
    return wasi.ERRNO_SUCCESS;
  }
  fd_read(count: number) {
    const data = this.file.read(this.at, count);
    this.at += data.length;
    return { ret: 0, data };
  }
  fd_pread(count: number, offset: bigint) {
    return { ret: 0, data: this.file.read(Number(offset), count) };
  }
  fd_write(data: Uint8Array) {
    this.file.write(this.at, data);
    this.at += data.length;
    return { ret: 0, nwritten: data.length };
  }
  fd_pwrite(data: Uint8Array, offset: bigint) {
    this.file.write(Number(offset), data);
    return { ret: 0, nwritten: data.length };
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
}

/**
 * A standard stream that a program writes to, as a pipe: not a terminal,
 * so the program sends it its exact bytes.  What it is given may change
 * after: it takes a copy.
 */
export class Sink extends Fd {
  constructor(private receive: (bytes: Uint8Array) => void) {
    super();
  }
  fd_fdstat_get() {
    return { ret: 0, fdstat: new wasi.Fdstat(wasi.FILETYPE_UNKNOWN, 0) };
  }
  fd_write(data: Uint8Array) {
    this.receive(data.slice());
    return { ret: 0, nwritten: data.length };
  }
}
