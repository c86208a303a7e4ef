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

#include <cerrno>
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
/// version of Windows decides.  Never on POSIX, where a device is a file of
/// its own type, which fs_list_plain_files passes over.
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

/// Creates or truncates image file |name| in the current directory for
/// writing, letting other programs go on reading and writing it.  Only a
/// file of this one name is written over: anything else standing there is
/// removed and a new file made in its place, so that whatever else leads
/// to it keeps its bytes.  That is a symbolic link (on Windows, any reparse
/// point: a junction or a mount point too); a file with other names (hard
/// links) or the archive |archive| itself; and, on POSIX, a FIFO, a socket
/// or a device.  When |archive| has no other name than this one, reached
/// through a link, the call fails with EEXIST: replacing it would lose it.
/// An old image that vanishes meanwhile is made again.  A directory there
/// is EISDIR on POSIX, EACCES on Windows.  Returns its handle, or -1 with
/// errno set.
fs_handle fs_create_image(const char *name, const file_id *archive);

/// Writes all |size| bytes of |data| to |file|.  Returns 0, or -1 with
/// errno set.
int fs_write(fs_handle file, const void *data, size_t size);

}  // extern "C"

/// True when |a| and |b| are one file.
inline bool fs_same_file(const file_id &a, const file_id &b) {
  return a.volume == b.volume && a.file[0] == b.file[0] && a.file[1] == b.file[1];
}

/// What becomes of the file |id|, of |links| names and |regular| or not,
/// found in an image's place while |archive| is read: 0, it is written
/// over; -2, it is removed and a new file made there, so that whatever
/// else leads to it keeps its bytes; or -1 with errno EEXIST, it is the
/// archive and has no other name, which replacing it would lose.
inline int fs_judge_old_image(const file_id &id, unsigned long links,
                              bool regular, const file_id &archive) {
  if (!fs_same_file(id, archive))
    return regular && links == 1 ? 0 : -2;
  if (links > 1)
    return -2;
  errno = EEXIST;
  return -1;
}

#endif  // VELDOR_FILESYS_H_
