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

// The identity of open |file| in |id|, and its count of names in |links|:
// a 128-bit id where Windows has it (Windows 8 on; ReFS's ids do not fit
// in 64 bits), the 64-bit file index elsewhere.  Returns 0, or -1 with
// errno set.
int handle_id(HANDLE file, file_id *id, DWORD *links) {
  BY_HANDLE_FILE_INFORMATION info;
  FILE_ID_INFO full;
  if (!GetFileInformationByHandle(file, &info))
    return failed();
  *links = info.nNumberOfLinks;
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

// Opens the old image |wide| for writing, emptied, if it may be written
// over.  Returns its handle; -2 when it is to be replaced by a new file,
// or has gone; or -1 with errno set.
fs_handle reuse_old_image(const std::wstring &wide, const file_id *archive) {
  fs_handle old = open_file(wide, GENERIC_WRITE, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT);
  if (old < 0)
    return errno == ENOENT ? -2 : -1;
  HANDLE file = HANDLE(old);
  file_id id;
  DWORD links;
  int verdict = handle_id(file, &id, &links) != 0
                    ? -1
                    : fs_judge_old_image(id, links, true, *archive);
  if (verdict == 0 && SetEndOfFile(file))
    return fs_handle(file);
  if (verdict == 0)
    verdict = failed();
  return close_failed(file, verdict);
}

// Removes |wide|, of |attributes|: a link itself, not what it leads to.
// Windows keeps the name of a file that is open until the file is closed,
// and the archive, open all along, may be this file under another name:
// a file is moved aside first, to a name that goes with that close.
bool remove_entry(const std::wstring &wide, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? RemoveDirectoryW(wide.c_str())
                                                 : DeleteFileW(wide.c_str());
  std::wstring aside = wide + L".veldor-removed";
  return MoveFileExW(wide.c_str(), aside.c_str(), 0) && DeleteFileW(aside.c_str());
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
  return win32_wide(name, &wide) &&
         GetFullPathNameW(wide.c_str(), 16, full, nullptr) < 16 &&
         wcsncmp(full, L"\\\\.\\", 4) == 0;
}

fs_handle fs_open_archive(const char *name, file_id *id) {
  // A folder does not open without backup semantics: ERROR_ACCESS_DENIED.
  std::wstring wide;
  DWORD links;
  if (!win32_wide(name, &wide))
    return -1;
  fs_handle file = open_file(wide, GENERIC_READ, OPEN_EXISTING, 0);
  if (file < 0 || handle_id(HANDLE(file), id, &links) == 0)
    return file;
  return close_failed(HANDLE(file), -1);
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
  DWORD links;
  int result = handle_id(dir, id, &links);
  CloseHandle(dir);
  return result;
}

fs_handle fs_create_image(const char *name, const file_id *archive) {
  std::wstring wide;
  if (!win32_wide(name, &wide))
    return -1;
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)  // nothing there, or the open says why
    return open_file(wide, GENERIC_WRITE, CREATE_ALWAYS, FILE_FLAG_OPEN_REPARSE_POINT);
  // A reparse point there (a symbolic link, a junction, a mount point) is
  // removed, the link and not what it leads to, and so is a file that is
  // not to be written over; a directory is left, for the open to refuse.
  bool file = !(attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY));
  bool link = attributes & FILE_ATTRIBUTE_REPARSE_POINT;
  if (file) {
    fs_handle old = reuse_old_image(wide, archive);
    if (old != -2)
      return old;
  }
  if ((file || link) && !remove_entry(wide, attributes) &&
      GetLastError() != ERROR_FILE_NOT_FOUND)  // gone since: no matter
    return failed();
  // Where something was removed, whatever was put there since is not
  // opened: the new file is made, or the open fails.
  return open_file(wide, GENERIC_WRITE, file || link ? CREATE_NEW : CREATE_ALWAYS,
                   FILE_FLAG_OPEN_REPARSE_POINT);
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
