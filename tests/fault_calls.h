// The calls that veldor-faults puts a stand-in in front of: the one list.
// tests/CMakeLists.txt reads it for the linker's --wrap options, and
// faults.cc includes it to define the stand-ins.  A row, on one line:
//
//   LINKED(type, call, (params), (args), target, size, failure, kind)
//     a call linked from an object or a library (ld --wrap=call);
//   BY_HAND(call)
//     one whose stand-in faults.cc writes out, for the reason given there.
//
// |target| is what the call acts on, as fault plans name it: named(name),
// a name in the current folder; opened(fd), what an earlier call of kind
// |opens| opened; here(), the current folder; stream_name(stream).  |size|
// is the count of bytes the call moves, 0 for one that moves none; |args|
// pass |most| where the plan may let fewer through.  |failure| is what the
// call returns when it fails.  |kind|: |opens| for a call that returns a
// descriptor, |acts| for the others.

// The tool's own layers, on every platform.
LINKED(int, fs_list_plain_files, (std::vector<std::string> *names), (names), here(), 0, -1, acts)
LINKED(int, fs_open_archive, (const char *name), (name), named(name), 0, -1, opens)
LINKED(long, fs_read, (int fd, void *data, size_t size), (fd, data, size_t(most)), opened(fd), size, -1, acts)
LINKED(int, fs_seek, (int fd, int64_t offset), (fd, offset), opened(fd), 0, -1, acts)
LINKED(int, fs_close, (int fd), (fd), opened(fd), 0, -1, acts)
LINKED(int, fs_make_directory, (const char *name), (name), named(name), 0, -1, acts)
LINKED(int, fs_enter_directory, (const char *name), (name), named(name), 0, -1, acts)
LINKED(int, fs_leave_directory, (), (), here(), 0, -1, acts)
LINKED(int, fs_directory_id, (directory_id *id), (id), here(), 0, -1, acts)
LINKED(int, fs_create_image, (const char *name), (name), named(name), 0, -1, opens)
BY_HAND(fs_write)
LINKED(int, term_write, (FILE *stream, const char *text, size_t size), (stream, text, size), stream_name(stream), 0, -1, acts)

#if defined(__linux__)
// The C library under the POSIX layer, as glibc's headers name its calls
// on 64-bit Linux.
LINKED(DIR *, opendir, (const char *name), (name), named(name), 0, nullptr, acts)
BY_HAND(open64)
LINKED(ssize_t, read, (int fd, void *data, size_t size), (fd, data, size_t(most)), opened(fd), size, -1, acts)
LINKED(ssize_t, write, (int fd, const void *data, size_t size), (fd, data, size_t(most)), opened(fd), size, -1, acts)
LINKED(off64_t, lseek64, (int fd, off64_t offset, int whence), (fd, offset, whence), opened(fd), 0, -1, acts)
LINKED(int, fstat64, (int fd, struct stat64 *st), (fd, st), opened(fd), 0, -1, acts)
LINKED(int, stat64, (const char *name, struct stat64 *st), (name, st), named(name), 0, -1, acts)
LINKED(int, lstat64, (const char *name, struct stat64 *st), (name, st), named(name), 0, -1, acts)
LINKED(int, unlink, (const char *name), (name), named(name), 0, -1, acts)
LINKED(int, fchdir, (int fd), (fd), opened(fd), 0, -1, acts)
#endif
