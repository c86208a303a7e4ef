// What the Windows layers share.
#include "win32.h"

#include <cerrno>

namespace {

// The errno of each Windows error that the file calls give where a report
// must say what happened: EINVAL stands for any other, as for a plain file
// where a folder is entered (ERROR_DIRECTORY) or an offset before the
// start (ERROR_NEGATIVE_SEEK).  A read-only medium and a file that
// another program holds are "Permission denied", as the C runtime says.
const struct {
  DWORD error;
  int value;
} errnos[] = {
    {ERROR_FILE_NOT_FOUND, ENOENT},    {ERROR_PATH_NOT_FOUND, ENOENT},
    {ERROR_ACCESS_DENIED, EACCES},     {ERROR_SHARING_VIOLATION, EACCES},
    {ERROR_WRITE_PROTECT, EACCES},     {ERROR_ALREADY_EXISTS, EEXIST},
    {ERROR_FILE_EXISTS, EEXIST},
    {ERROR_DISK_FULL, ENOSPC},         {ERROR_HANDLE_DISK_FULL, ENOSPC},
    {ERROR_INVALID_HANDLE, EBADF},
    {ERROR_CRC, EIO},        // a damaged disc
    {ERROR_NOT_READY, EIO},  // a disc or drive taken out
};

// Appends |c| to |out| as UTF-8, a lone surrogate too.
void append_utf8(std::string *out, unsigned long c) {
  if (c < 0x80) {
    out->push_back(char(c));
  } else if (c < 0x800) {
    out->push_back(char(0xC0 | c >> 6));
    out->push_back(char(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(char(0xE0 | c >> 12));
    out->push_back(char(0x80 | (c >> 6 & 0x3F)));
    out->push_back(char(0x80 | (c & 0x3F)));
  } else {
    out->push_back(char(0xF0 | c >> 18));
    out->push_back(char(0x80 | (c >> 12 & 0x3F)));
    out->push_back(char(0x80 | (c >> 6 & 0x3F)));
    out->push_back(char(0x80 | (c & 0x3F)));
  }
}

}  // namespace

int win32_errno(DWORD error) {
  for (const auto &e : errnos)
    if (e.error == error)
      return e.value;
  return EINVAL;
}

std::string win32_utf8(const wchar_t *name) {
  std::string out;
  for (const wchar_t *p = name; *p; p++) {
    unsigned long c = *p;
    if (c >= 0xD800 && c < 0xDC00 && p[1] >= 0xDC00 && p[1] < 0xE000)
      c = 0x10000 + ((c - 0xD800) << 10) + (unsigned long)(*++p - 0xDC00);
    append_utf8(&out, c);
  }
  return out;
}

bool win32_wide(const char *name, std::wstring *out) {
  out->clear();
  const unsigned char *p = reinterpret_cast<const unsigned char *>(name);
  while (*p) {
    unsigned long c = *p++;
    // Leads past F4 give values past U+10FFFF, refused below.
    int more = c < 0x80 ? 0 : c < 0xC2 ? -1 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    if (more < 0) {
      errno = EINVAL;
      return false;
    }
    if (more > 0)
      c &= 0x3F >> more;
    for (int i = 0; i < more; i++, p++) {
      if ((*p & 0xC0) != 0x80) {
        errno = EINVAL;
        return false;
      }
      c = c << 6 | (*p & 0x3F);
    }
    static const unsigned long least[] = {0, 0x80, 0x800, 0x10000};
    if (c < least[more] || c > 0x10FFFF) {  // overlong, or past Unicode
      errno = EINVAL;
      return false;
    }
    if (c >= 0x10000) {
      out->push_back(wchar_t(0xD800 + ((c - 0x10000) >> 10)));
      out->push_back(wchar_t(0xDC00 + (c & 0x3FF)));
    } else {
      out->push_back(wchar_t(c));
    }
  }
  return true;
}
