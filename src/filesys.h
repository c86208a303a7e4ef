// The file system as veldor uses it.  Everything above this header is the
// same on every platform; filesys-posix.cc and filesys-win32.cc are behind
// it.  Names are bytes on POSIX and UTF-8 on Windows, where the layer
// converts them at each call.
//
// The calls have C linkage, so that the tests' fault-injection build can
// put a stand-in in front of any of them at link time while the code above
// runs unchanged.
#ifndef VELDOR_FILESYS_H_
#define VELDOR_FILESYS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" {

/// An open file: a descriptor on POSIX, a handle on Windows; -1 for none.
typedef intptr_t fs_handle;

/// Appends to |names| the plain files of the current directory: regular
/// files, not directories, not hidden files, and not the special files
/// (FIFOs, sockets, devices) whose opening could stall the run.  Returns 0,
/// or -1 with errno set.  A failure part-way ends the list there.
int fs_list_plain_files(std::vector<std::string> *names);

/// True when the system takes |name|, in the current directory, for a
/// device, so that opening it would open the device and not a file: on
/// Windows, a name such as CON, AUX.IXF or "NUL .txt", as the running
/// version of Windows decides, and a file that is no disk file (a FIFO
/// under Wine).  Never on POSIX, where a device is a file of its own type,
/// which fs_list_plain_files passes over.
bool fs_is_device(const char *name);

/// What tells one file or folder from another, whatever the names leading
/// to it: device and inode, or volume and file id (128 bits where Windows
/// has them: ReFS's do not fit in 64).
struct file_id {
  uint64_t volume;
  uint64_t file[2];
};

/// Opens regular file |name| for reading, letting other programs go on
/// reading, writing, renaming and deleting it, and puts its identity in
/// |id|.  Returns its handle, or -1 with errno set.
fs_handle fs_open_archive(const char *name, file_id *id);

/// Reads up to |size| bytes into |data|.  Returns the count, 0 at the end
/// of the file, or -1 with errno set.
long fs_read(fs_handle file, void *data, size_t size);

/// Moves |file| to absolute |offset|, in 64 bits everywhere.  Returns 0,
/// or -1 with errno set.
int fs_seek(fs_handle file, int64_t offset);

/// Closes |file|.  Returns 0, or -1 with errno set.
int fs_close(fs_handle file);

/// Creates directory |name| in the current directory.  Returns 0, or -1
/// with errno set.
int fs_make_directory(const char *name);

/// Makes |name| the current directory, remembering the one it leaves so
/// that fs_leave_directory can come back to exactly it, even when ".."
/// leads elsewhere (|name| may be a symbolic link).  One level only: each
/// successful call is to be followed by fs_leave_directory.  Returns 0, or
/// -1 with errno set and the current directory unchanged.
int fs_enter_directory(const char *name);

/// Returns to the directory that the last fs_enter_directory left.
/// Returns 0, or -1 with errno set.
int fs_leave_directory();

/// The identity of the current directory.  Returns 0, or -1 with errno set.
int fs_directory_id(file_id *id);

/// What stands at a name: nothing; a regular file; a directory; a link (on
/// Windows any reparse point: a symbolic link, a junction, a mount point);
/// or a special file, whose opening or writing could stall the run (a
/// FIFO, a socket, a device; on Windows anything that is no disk file, such
/// as a FIFO under Wine).
enum fs_kind { fs_nothing, fs_regular, fs_directory, fs_link, fs_special };

/// What a look finds at a name: its kind, and for a regular file its
/// identity and its count of names.
struct fs_entry {
  fs_kind kind;
  file_id id;
  unsigned long links;
};

/// Looks at |name| in the current directory as it stands, a link and not
/// what it leads to, opening nothing that could stall the run, and puts
/// what is there in |entry| (fs_nothing where nothing is).  Returns 0, or
/// -1 with errno set.
int fs_look(const char *name, fs_entry *entry);

/// Creates file |name| in the current directory for writing, letting other
/// programs go on reading and writing it, where nothing stands: EEXIST
/// where anything does, a link that leads nowhere too.  Returns its
/// handle, or -1 with errno set.
fs_handle fs_create_new(const char *name);

/// Opens the file that stands at |name| in the current directory for
/// writing, as it is (nothing truncated), following no link, waiting on no
/// FIFO, and puts what it opened in |entry|.  Returns its handle, or -1
/// with errno set: ENOENT, ELOOP or ENXIO where what stands there has
/// changed since it was looked at (gone, a link, a FIFO).
fs_handle fs_open_old_image(const char *name, fs_entry *entry);

/// Empties open file |file|, which is at its start.  Returns 0, or -1 with
/// errno set.
int fs_empty(fs_handle file);

/// Removes name |name|, of |kind|, from the current directory: the name
/// only (a link and not what it leads to; the other names of a file keep
/// it), at once, though the file be open, and removed or left as it was,
/// the file's attributes unchanged either way.  Returns 0, or -1 with
/// errno set: ENOENT where the name has gone already.
int fs_remove(const char *name, fs_kind kind);

/// Writes all |size| bytes of |data| to |file|.  Returns 0, or -1 with
/// errno set.
int fs_write(fs_handle file, const void *data, size_t size);

}  // extern "C"

/// True when |a| and |b| are one file.
inline bool fs_same_file(const file_id &a, const file_id &b) {
  return a.volume == b.volume && a.file[0] == b.file[0] && a.file[1] == b.file[1];
}

#endif  // VELDOR_FILESYS_H_
