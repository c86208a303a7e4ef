// The calls that veldor-faults puts a stand-in in front of: the one list.
// faults.cc includes it to define the stand-ins; tests/CMakeLists.txt has
// the compiler's preprocessor read it, with LINKED and IMPORTED defined to
// name the calls, for the linker's --wrap options, so that any condition
// here is the compiler's own.  A row:
//
//   LINKED(type, call, (params), (args), target, size, failure, kind)
//     a call linked from an object or a library (ld --wrap=call);
//   IMPORTED(bytes, type, call, (params), (args), target, size, failure, kind)
//     a call that Windows exports, through its import (ld --wrap=__imp_call;
//     on 32-bit Windows, whose calls are named with the bytes of their
//     arguments, --wrap=_imp__call@bytes);
//
// |target| is what the call acts on, as fault plans name it: named(name),
// a name in the current folder, or named(".") the current folder itself;
// opened(fd), what an earlier call of kind |opens| opened; or "stdout" or
// "stderr".  |size|
// is the count of bytes the call moves, 0 for one that moves none; |args|
// pass |most| where the plan may let fewer through.  |failure| is what the
// call returns when it fails.  |kind|: |opens| for a call that returns a
// descriptor, |acts| for the others.

// The tool's own layers, on every platform.
LINKED(int, fs_list_plain_files, (std::vector<std::string> *names), (names), named("."), 0, -1, acts)
LINKED(bool, fs_is_device, (const char *name), (name), named(name), 0, false, acts)
LINKED(fs_handle, fs_open_archive, (const char *name, file_id *id), (name, id), named(name), 0, -1, opens)
LINKED(long, fs_read, (fs_handle fd, void *data, size_t size), (fd, data, size_t(most)), opened(fd), size, -1, acts)
LINKED(int, fs_seek, (fs_handle fd, int64_t offset), (fd, offset), opened(fd), 0, -1, acts)
LINKED(int, fs_close, (fs_handle fd), (fd), opened(fd), 0, -1, acts)
LINKED(int, fs_make_directory, (const char *name), (name), named(name), 0, -1, acts)
LINKED(int, fs_enter_directory, (const char *name), (name), named(name), 0, -1, acts)
LINKED(int, fs_leave_directory, (), (), named("."), 0, -1, acts)
LINKED(int, fs_directory_id, (file_id *id), (id), named("."), 0, -1, acts)
LINKED(int, fs_look, (const char *name, fs_entry *entry), (name, entry), named(name), 0, -1, acts)
LINKED(fs_handle, fs_create_new, (const char *name), (name), named(name), 0, -1, opens)
LINKED(fs_handle, fs_open_old_image, (const char *name, fs_entry *entry), (name, entry), named(name), 0, -1, opens)
LINKED(int, fs_empty, (fs_handle fd), (fd), opened(fd), 0, -1, acts)
LINKED(int, fs_remove, (const char *name, fs_kind kind), (name, kind), named(name), 0, -1, acts)
LINKED(int, fs_write, (fs_handle fd, const void *data, size_t size), (fd, data, size), opened(fd), 0, -1, acts)
LINKED(int, term_write, (FILE *stream, const char *text, size_t size), (stream, text, size), stream == stderr ? "stderr" : "stdout", 0, -1, acts)

#if defined(__linux__)
// The C library under the POSIX layer, as glibc's headers name its calls
// on 64-bit Linux.  open64 is variadic: a Linux caller passes its mode as
// it passes a third argument, which is read only with O_CREAT.
LINKED(DIR *, opendir, (const char *name), (name), named(name), 0, nullptr, acts)
LINKED(int, open64, (const char *name, int flags, mode_t mode), (name, flags, mode), named(name), 0, -1, opens)
LINKED(ssize_t, read, (int fd, void *data, size_t size), (fd, data, size_t(most)), opened(fd), size, -1, acts)
LINKED(ssize_t, write, (int fd, const void *data, size_t size), (fd, data, size_t(most)), opened(fd), size, -1, acts)
LINKED(off64_t, lseek64, (int fd, off64_t offset, int whence), (fd, offset, whence), opened(fd), 0, -1, acts)
LINKED(int, fstat64, (int fd, struct stat64 *st), (fd, st), opened(fd), 0, -1, acts)
LINKED(int, stat64, (const char *name, struct stat64 *st), (name, st), named(name), 0, -1, acts)
LINKED(int, lstat64, (const char *name, struct stat64 *st), (name, st), named(name), 0, -1, acts)
LINKED(int, unlink, (const char *name), (name), named(name), 0, -1, acts)
LINKED(int, ftruncate64, (int fd, off64_t size), (fd, size), opened(fd), 0, -1, acts)
LINKED(int, fchdir, (int fd), (fd), opened(fd), 0, -1, acts)

#elif defined(_WIN32)
// Windows under its layers.
IMPORTED(8, HANDLE, FindFirstFileW, (LPCWSTR pattern, LPWIN32_FIND_DATAW entry), (pattern, entry), named("."), 0, INVALID_HANDLE_VALUE, acts)
IMPORTED(8, BOOL, FindNextFileW, (HANDLE search, LPWIN32_FIND_DATAW entry), (search, entry), named("."), 0, FALSE, acts)
IMPORTED(28, HANDLE, CreateFileW, (LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags, HANDLE model), (name, access, share, security, disposition, flags, model), named(name), 0, INVALID_HANDLE_VALUE, opens)
IMPORTED(20, BOOL, ReadFile, (HANDLE file, LPVOID data, DWORD size, LPDWORD moved, LPOVERLAPPED overlapped), (file, data, DWORD(most), moved, overlapped), opened(intptr_t(file)), size, FALSE, acts)
IMPORTED(20, BOOL, WriteFile, (HANDLE file, LPCVOID data, DWORD size, LPDWORD moved, LPOVERLAPPED overlapped), (file, data, DWORD(most), moved, overlapped), opened(intptr_t(file)), size, FALSE, acts)
IMPORTED(20, BOOL, SetFilePointerEx, (HANDLE file, LARGE_INTEGER to, PLARGE_INTEGER at, DWORD from), (file, to, at, from), opened(intptr_t(file)), 0, FALSE, acts)
IMPORTED(4, BOOL, CloseHandle, (HANDLE file), (file), opened(intptr_t(file)), 0, FALSE, acts)
IMPORTED(4, DWORD, GetFileAttributesW, (LPCWSTR name), (name), named(name), 0, INVALID_FILE_ATTRIBUTES, acts)
IMPORTED(4, BOOL, DeleteFileW, (LPCWSTR name), (name), named(name), 0, FALSE, acts)
IMPORTED(12, BOOL, MoveFileExW, (LPCWSTR name, LPCWSTR to, DWORD flags), (name, to, flags), named(name), 0, FALSE, acts)
IMPORTED(4, BOOL, RemoveDirectoryW, (LPCWSTR name), (name), named(name), 0, FALSE, acts)
IMPORTED(16, DWORD, GetFullPathNameW, (LPCWSTR name, DWORD size, LPWSTR full, LPWSTR *part), (name, size, full, part), named(name), 0, 0, acts)
IMPORTED(8, BOOL, CreateDirectoryW, (LPCWSTR name, LPSECURITY_ATTRIBUTES security), (name, security), named(name), 0, FALSE, acts)
IMPORTED(8, DWORD, GetCurrentDirectoryW, (DWORD size, LPWSTR folder), (size, folder), named("."), 0, 0, acts)
IMPORTED(4, BOOL, SetCurrentDirectoryW, (LPCWSTR name), (name), named(name), 0, FALSE, acts)
IMPORTED(8, BOOL, GetFileInformationByHandle, (HANDLE file, LPBY_HANDLE_FILE_INFORMATION info), (file, info), opened(intptr_t(file)), 0, FALSE, acts)
IMPORTED(16, BOOL, GetFileInformationByHandleEx, (HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID info, DWORD size), (file, kind, info, size), opened(intptr_t(file)), 0, FALSE, acts)
IMPORTED(4, BOOL, SetEndOfFile, (HANDLE file), (file), opened(intptr_t(file)), 0, FALSE, acts)
IMPORTED(4, DWORD, GetFileType, (HANDLE file), (file), opened(intptr_t(file)), 0, FILE_TYPE_UNKNOWN, acts)
IMPORTED(16, BOOL, SetFileInformationByHandle, (HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID info, DWORD size), (file, kind, info, size), opened(intptr_t(file)), 0, FALSE, acts)
IMPORTED(20, BOOL, WriteConsoleW, (HANDLE console, const VOID *text, DWORD size, LPDWORD written, LPVOID reserved), (console, text, size, written, reserved), console == GetStdHandle(STD_ERROR_HANDLE) ? "stderr" : "stdout", 0, FALSE, acts)
#endif
