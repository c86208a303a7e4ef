// The file system on Windows.  The program's names are UTF-8; every call
// that takes or gives a name goes through the wide (UTF-16) calls, so no
// name is ever approximated by the ANSI code page.
#include "filesys.h"

#include <cerrno>
#include <cstdlib>

#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include "win32.h"

namespace {

// The directory that fs_enter_directory left, exactly as Windows names it.
std::wstring return_path;

}  // namespace

int fs_list_plain_files(std::vector<std::string> *names) {
  // Nothing found at all (the empty root of a drive) fails with ENOENT,
  // which is what finding no archive reports too.
  struct _wfinddata64_t entry;
  intptr_t search = _wfindfirst64(L"*", &entry);
  if (search == -1)
    return -1;
  do {
    if (!(entry.attrib & (_A_SUBDIR | _A_HIDDEN | _A_SYSTEM)))
      names->push_back(win32_utf8(entry.name));
  } while (_wfindnext64(search, &entry) == 0);
  _findclose(search);
  return 0;
}

int fs_open_archive(const char *name) {
  std::wstring wide;
  if (!win32_wide(name, &wide))
    return -1;
  // Other programs may go on reading and writing the archive meanwhile.
  return _wsopen(wide.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT,
                 _SH_DENYNO);
}

long fs_read(int fd, void *data, size_t size) {
  unsigned chunk = size < 0x40000000 ? unsigned(size) : 0x40000000u;
  return _read(fd, data, chunk);
}

int fs_seek(int fd, int64_t offset) {
  return _lseeki64(fd, offset, SEEK_SET) < 0 ? -1 : 0;
}

int fs_close(int fd) {
  return _close(fd);
}

int fs_make_directory(const char *name) {
  std::wstring wide;
  if (!win32_wide(name, &wide))
    return -1;
  return _wmkdir(wide.c_str());
}

int fs_enter_directory(const char *name) {
  std::wstring wide;
  if (!win32_wide(name, &wide))
    return -1;
  wchar_t *here = _wgetcwd(nullptr, 0);
  if (!here)
    return -1;
  int result = _wchdir(wide.c_str());
  int saved = errno;
  if (result == 0)
    return_path = here;
  free(here);
  errno = saved;
  return result;
}

int fs_leave_directory() {
  return _wchdir(return_path.c_str());
}

int fs_directory_id(directory_id *id) {
  // A directory opens only with backup semantics; no right to its content
  // is asked for.
  HANDLE dir = CreateFileW(L".", 0,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                           nullptr);
  if (dir == INVALID_HANDLE_VALUE) {
    errno = win32_errno(GetLastError());
    return -1;
  }
  BY_HANDLE_FILE_INFORMATION info;
  BOOL got = GetFileInformationByHandle(dir, &info);
  DWORD error = GetLastError();
  CloseHandle(dir);
  if (!got) {
    errno = win32_errno(error);
    return -1;
  }
  id->volume = info.dwVolumeSerialNumber;
  id->file = uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
  return 0;
}

int fs_create_image(const char *name) {
  std::wstring wide;
  if (!win32_wide(name, &wide))
    return -1;
  return _wsopen(wide.c_str(),
                 _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT,
                 _SH_DENYNO, _S_IREAD | _S_IWRITE);
}

int fs_write(int fd, const void *data, size_t size) {
  const char *p = static_cast<const char *>(data);
  while (size > 0) {
    unsigned chunk = size < 0x40000000 ? unsigned(size) : 0x40000000u;
    int n = _write(fd, p, chunk);
    if (n < 0)
      return -1;
    if (n == 0) {
      errno = ENOSPC;  // the runtime's word for a disk that took nothing
      return -1;
    }
    p += n;
    size -= size_t(n);
  }
  return 0;
}
