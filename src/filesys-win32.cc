// The file system on Windows, called directly: every failure reaches errno
// through the one table of Windows errors (win32.cc), so that a report
// reads the same whichever C runtime, or Wine, the program runs with.
// The program's names are UTF-8; every call takes them in UTF-16, so no
// name is ever approximated by the ANSI code page.
#include "filesys.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cwchar>

#include "win32.h"

namespace {

// The directory that fs_enter_directory left, exactly as Windows names it.
std::wstring return_path;

// -1, with errno set from the error of the Windows call that just failed.
int failed() {
  errno = win32_errno(GetLastError());
  return -1;
}

// Opens |name| for |access| as |disposition| and |flags| say, letting
// other programs go on reading, writing and deleting it (a name of the
// archive where an image goes is removed while the archive is read).
// Returns its handle, or -1 with errno set.
fs_handle open_file(const std::wstring &name, DWORD access, DWORD disposition,
                    DWORD flags) {
  HANDLE file = CreateFileW(name.c_str(), access,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, disposition, FILE_ATTRIBUTE_NORMAL | flags,
                            nullptr);
  return file == INVALID_HANDLE_VALUE ? failed() : fs_handle(file);
}

// Closes |file|, which a failure makes useless, errno left as it is.
// Returns |result|.
fs_handle close_failed(HANDLE file, fs_handle result) {
  int error = errno;
  CloseHandle(file);
  errno = error;
  return result;
}

// What open |file| is, in |entry|: its kind, anything but a disk file (a
// FIFO under Wine, which Windows has none of) being a special file; and
// its identity and count of names: a 128-bit id where Windows has it
// (Windows 8 on; ReFS's ids do not fit in 64 bits), the 64-bit file index
// elsewhere.  Returns 0, or -1 with errno set.
int entry_of(HANDLE file, fs_entry *entry) {
  BY_HANDLE_FILE_INFORMATION info;
  FILE_ID_INFO full;
  entry->kind = fs_special;
  if (GetFileType(file) != FILE_TYPE_DISK)
    return 0;
  if (!GetFileInformationByHandle(file, &info))
    return failed();
  DWORD attributes = info.dwFileAttributes;
  entry->kind = attributes & FILE_ATTRIBUTE_REPARSE_POINT ? fs_link
                : attributes & FILE_ATTRIBUTE_DIRECTORY   ? fs_directory
                                                          : fs_regular;
  entry->links = info.nNumberOfLinks;
  file_id *id = &entry->id;
  if (GetFileInformationByHandleEx(file, FileIdInfo, &full, sizeof full)) {
    id->volume = full.VolumeSerialNumber;
    memcpy(id->file, full.FileId.Identifier, sizeof id->file);
  } else {
    id->volume = info.dwVolumeSerialNumber;
    id->file[0] = uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    id->file[1] = 0;
  }
  return 0;
}

// |wide| opened for its attributes alone, and as it is, a link and not
// what it leads to: nothing waits, no other program's sharing refuses it.
HANDLE open_as_it_is(const std::wstring &wide, DWORD access) {
  return CreateFileW(wide.c_str(), access,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                     nullptr);
}

// Removes |wide| as the POSIX layer does, the name going at once though the
// file is open, whatever its attributes: Windows 10 1809 on, on NTFS.
// (FileDispositionInfoEx and its flags, by their values: older headers
// have none of them.)
bool remove_at_once(const std::wstring &wide) {
  HANDLE file = open_as_it_is(wide, DELETE);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  const DWORD delete_it = 0x1, posix_semantics = 0x2, ignore_read_only = 0x10;
  DWORD flags = delete_it | posix_semantics | ignore_read_only;
  bool removed = SetFileInformationByHandle(file, FILE_INFO_BY_HANDLE_CLASS(21), &flags,
                                            sizeof flags);
  CloseHandle(file);
  return removed;
}

// Removes regular file |wide| where Windows has no removal at once: Windows
// keeps the name of a file still open (the archive may be this file) until
// it is closed, so it is moved aside first, to a name of its own, and
// deleted there; a delete that fails puts it back, so that the folder is
// as it was.  Returns 0, or -1 with errno set.
int remove_aside(const std::wstring &wide) {
  std::wstring aside;
  for (int n = 0;; n++) {
    aside = wide + L".veldor-removed-" + std::to_wstring(n);
    if (MoveFileExW(wide.c_str(), aside.c_str(), 0))
      break;
    if (GetLastError() != ERROR_ALREADY_EXISTS || n == 15)
      return failed();
  }
  if (DeleteFileW(aside.c_str()))
    return 0;
  int error = win32_errno(GetLastError());
  MoveFileExW(aside.c_str(), wide.c_str(), 0);
  errno = error;
  return -1;
}

// What one call moves of |size| bytes: Windows counts them in 32 bits.
DWORD part(size_t size) {
  return DWORD(std::min<size_t>(size, MAXDWORD));
}

}  // namespace

int fs_list_plain_files(std::vector<std::string> *names) {
  // Nothing found at all (the empty root of a drive) fails with ENOENT,
  // which is what finding no archive reports too.
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW(L"*", &entry);
  if (search == INVALID_HANDLE_VALUE)
    return failed();
  do {
    if (!(entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY |
                                    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)))
      names->push_back(win32_utf8(entry.cFileName));
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  return 0;
}

bool fs_is_device(const char *name) {
  // Windows tells by the full path it makes of the name: "\\.\AUX" for
  // "AUX.IXF".  The names change with its versions (Windows 11 takes fewer
  // of them with an extension for devices, and still the bare names), so
  // it is asked.  A device's path is short; a longer one, or a failure, is
  // a file's.
  std::wstring wide;
  wchar_t full[16] = {};
  if (!win32_wide(name, &wide))
    return false;
  if (GetFullPathNameW(wide.c_str(), 16, full, nullptr) < 16 &&
      wcsncmp(full, L"\\\\.\\", 4) == 0)
    return true;
  // What is no disk file (a FIFO under Wine) could stall the run as well.
  HANDLE file = open_as_it_is(wide, FILE_READ_ATTRIBUTES);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  bool disk = GetFileType(file) == FILE_TYPE_DISK;
  CloseHandle(file);
  return !disk;
}

fs_handle fs_open_archive(const char *name, file_id *id) {
  // A folder does not open without backup semantics: ERROR_ACCESS_DENIED;
  // what is no disk file, put there since the search, is refused as the
  // POSIX layer refuses it.
  std::wstring wide;
  fs_entry entry;
  if (!win32_wide(name, &wide))
    return -1;
  fs_handle file = open_file(wide, GENERIC_READ, OPEN_EXISTING, 0);
  if (file < 0)
    return -1;
  if (entry_of(HANDLE(file), &entry) != 0)
    return close_failed(HANDLE(file), -1);
  if (entry.kind != fs_regular) {
    errno = EINVAL;
    return close_failed(HANDLE(file), -1);
  }
  *id = entry.id;
  return file;
}

long fs_read(fs_handle file, void *data, size_t size) {
  DWORD got;
  return ReadFile(HANDLE(file), data, part(size), &got, nullptr) ? long(got)
                                                                  : failed();
}

int fs_seek(fs_handle file, int64_t offset) {
  LARGE_INTEGER to;
  to.QuadPart = offset;
  return SetFilePointerEx(HANDLE(file), to, nullptr, FILE_BEGIN) ? 0 : failed();
}

int fs_close(fs_handle file) {
  return CloseHandle(HANDLE(file)) ? 0 : failed();
}

int fs_make_directory(const char *name) {
  std::wstring wide;
  if (!win32_wide(name, &wide))
    return -1;
  return CreateDirectoryW(wide.c_str(), nullptr) ? 0 : failed();
}

int fs_enter_directory(const char *name) {
  std::wstring wide;
  if (!win32_wide(name, &wide))
    return -1;
  // The current directory, however long: asked for its size first (0 on
  // a failure, which the length then got never matches).
  DWORD size = GetCurrentDirectoryW(0, nullptr);
  std::wstring here(size, L'\0');
  if (GetCurrentDirectoryW(size, &here[0]) + 1 != size ||
      !SetCurrentDirectoryW(wide.c_str()))
    return failed();
  return_path = here.c_str();
  return 0;
}

int fs_leave_directory() {
  return SetCurrentDirectoryW(return_path.c_str()) ? 0 : failed();
}

int fs_directory_id(file_id *id) {
  // A directory opens only with backup semantics; no right to its content
  // is asked for, only to its attributes.
  HANDLE dir = CreateFileW(L".", FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                           nullptr);
  if (dir == INVALID_HANDLE_VALUE)
    return failed();
  fs_entry entry;
  int result = entry_of(dir, &entry);
  CloseHandle(dir);
  if (result == 0)
    *id = entry.id;
  return result;
}

int fs_look(const char *name, fs_entry *entry) {
  std::wstring wide;
  if (!win32_wide(name, &wide))
    return -1;
  entry->kind = fs_nothing;
  HANDLE file = open_as_it_is(wide, FILE_READ_ATTRIBUTES);
  if (file == INVALID_HANDLE_VALUE)
    return GetLastError() == ERROR_FILE_NOT_FOUND ? 0 : failed();
  int result = entry_of(file, entry);
  CloseHandle(file);
  return result;
}

fs_handle fs_create_new(const char *name) {
  std::wstring wide;
  if (!win32_wide(name, &wide))
    return -1;
  return open_file(wide, GENERIC_WRITE, CREATE_NEW, FILE_FLAG_OPEN_REPARSE_POINT);
}

fs_handle fs_open_old_image(const char *name, fs_entry *entry) {
  std::wstring wide;
  if (!win32_wide(name, &wide))
    return -1;
  fs_handle old = open_file(wide, GENERIC_WRITE, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT);
  if (old < 0 || entry_of(HANDLE(old), entry) == 0)
    return old;
  return close_failed(HANDLE(old), -1);
}

int fs_empty(fs_handle file) {
  return SetEndOfFile(HANDLE(file)) ? 0 : failed();
}

int fs_remove(const char *name, fs_kind kind) {
  std::wstring wide;
  if (!win32_wide(name, &wide))
    return -1;
  if (remove_at_once(wide))
    return 0;
  if (kind == fs_regular)
    return remove_aside(wide);
  // A link itself, not what it leads to; a junction or a mount point is a
  // folder's.
  DWORD attributes = GetFileAttributesW(wide.c_str());
  bool folder = attributes != INVALID_FILE_ATTRIBUTES && attributes & FILE_ATTRIBUTE_DIRECTORY;
  return (folder ? RemoveDirectoryW(wide.c_str()) : DeleteFileW(wide.c_str())) ? 0 : failed();
}

int fs_write(fs_handle file, const void *data, size_t size) {
  // Windows writes all it is given to a file, or fails; the loop is for
  // sizes past 32 bits, and for the writes that stop short elsewhere.
  const char *p = static_cast<const char *>(data);
  while (size > 0) {
    DWORD written;
    if (!WriteFile(HANDLE(file), p, part(size), &written, nullptr))
      return failed();
    p += written;
    size -= written;
  }
  return 0;
}
