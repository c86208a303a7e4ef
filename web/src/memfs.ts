// The program's current folder, in the worker's memory, as the WASI shim
// serves it: the files the user chose, read only when the program reads
// them, and the folders and images the program writes, whose storage grows
// in doubling steps, so that writing a file costs time in proportion to
// its size.

import { Directory, Fd, Inode, wasi } from "@bjorn3/browser_wasi_shim";

// Reads Blobs synchronously; dedicated workers have it.
declare const FileReaderSync: { new (): { readAsArrayBuffer(blob: Blob): ArrayBuffer } };

/** A regular file: a chosen one until it is written to, then bytes here. */
export class MemFile extends Inode {
  private bytes = new Uint8Array(0); // room, of which |size| bytes are the file
  size = 0;
  written = false; // by the program
  constructor(private source: Blob | null = null, private onRead?: (count: number) => void) {
    super();
    this.size = source ? source.size : 0;
  }

  /** The file's bytes from |at|, at most |count| of them. */
  read(at: number, count: number): Uint8Array {
    const end = Math.min(this.size, at + count);
    if (at >= end) return new Uint8Array(0);
    if (!this.source) return this.bytes.subarray(at, end);
    const part = new Uint8Array(new FileReaderSync().readAsArrayBuffer(this.source.slice(at, end)));
    this.onRead?.(part.length);
    return part;
  }

  write(at: number, data: Uint8Array): void {
    this.resize(Math.max(this.size, at + data.length));
    this.bytes.set(data, at);
  }

  /** Makes the file |size| bytes long, zeros filling what it gains. */
  resize(size: number): void {
    this.written = true;
    if (this.source) {
      const kept = this.read(0, size);
      this.source = null;
      this.bytes = new Uint8Array(Math.max(size, 1));
      this.bytes.set(kept);
    }
    if (size > this.bytes.length) {
      const room = new Uint8Array(Math.max(size, this.bytes.length * 2));
      room.set(this.bytes.subarray(0, this.size));
      this.bytes = room;
    } else if (size < this.size) {
      this.bytes.fill(0, size, this.size);
    }
    this.size = size;
  }

  /** The file's bytes, exactly. */
  contents(): Uint8Array {
    return this.source ? this.read(0, this.size) : this.bytes.slice(0, this.size);
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

  create_entry_for_path(path: string, is_dir: boolean) {
    const made = super.create_entry_for_path(path, is_dir);
    if (made.entry) {
      const entry = is_dir ? new MemDirectory() : new MemFile();
      if (entry instanceof MemDirectory) entry.made = true;
      const parts = path.split("/").filter((part) => part !== "" && part !== ".");
      const { entry: parent } = this.get_entry_for_path({ parts: parts.slice(0, -1), is_dir: true } as never);
      (parent as Directory).contents.set(parts[parts.length - 1], entry);
      made.entry = entry;
    }
    return made;
  }

  stat(): wasi.Filestat {
    return stat_of(this.ino, wasi.FILETYPE_DIRECTORY, 0);
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
 * so the program sends it its exact bytes.
 */
export class Sink extends Fd {
  constructor(private take: (bytes: Uint8Array) => void) {
    super();
  }
  fd_fdstat_get() {
    return { ret: 0, fdstat: new wasi.Fdstat(wasi.FILETYPE_UNKNOWN, 0) };
  }
  fd_write(data: Uint8Array) {
    this.take(data);
    return { ret: 0, nwritten: data.length };
  }
}
