// The platform layer on Windows.  The program's names are UTF-8; every
// call that takes or gives a name goes through the wide (UTF-16) calls, so
// no name is ever approximated by the ANSI code page.
#include "platform.h"
#include "platform-win32.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <conio.h>
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

namespace {

// The directory that enter_directory left, exactly as Windows names it.
std::wstring return_path;

// Standard output and standard error: true when a console shows them.
bool is_console[3];

// Standard output's buffer when redirected.
char stdout_buffer[512];

// The code page of the tool's own texts: é is 0x82 in it.
const UINT text_code_page = 850;

// The errno of each Windows error code that a failed call may leave;
// EINVAL stands for any other.
const struct {
  DWORD error;
  int value;
} errnos[] = {
    {ERROR_FILE_NOT_FOUND, ENOENT},     {ERROR_PATH_NOT_FOUND, ENOENT},
    {ERROR_INVALID_DRIVE, ENOENT},      {ERROR_ACCESS_DENIED, EACCES},
    {ERROR_SHARING_VIOLATION, EACCES},  {ERROR_LOCK_VIOLATION, EACCES},
    {ERROR_NOT_ENOUGH_MEMORY, ENOMEM},  {ERROR_OUTOFMEMORY, ENOMEM},
    {ERROR_DISK_FULL, ENOSPC},          {ERROR_HANDLE_DISK_FULL, ENOSPC},
    {ERROR_FILE_EXISTS, EEXIST},        {ERROR_ALREADY_EXISTS, EEXIST},
    {ERROR_FILENAME_EXCED_RANGE, ENAMETOOLONG},
    {ERROR_DIRECTORY, ENOTDIR},
};

// errno for the Windows error code of a failed call.
int errno_for(DWORD error) {
  for (const auto &e : errnos)
    if (e.error == error)
      return e.value;
  return EINVAL;
}

// Appends |c| to |out| as UTF-8.  A lone surrogate, which a Windows name
// may hold, gets the three bytes of its value, so that it converts back.
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

// A name as Windows gives it, in UTF-8.
std::string utf8_of(const wchar_t *name) {
  std::string out;
  for (const wchar_t *p = name; *p; p++) {
    unsigned long c = *p;
    if (c >= 0xD800 && c < 0xDC00 && p[1] >= 0xDC00 && p[1] < 0xE000)
      c = 0x10000 + ((c - 0xD800) << 10) + (unsigned long)(*++p - 0xDC00);
    append_utf8(&out, c);
  }
  return out;
}

// A UTF-8 name as Windows takes it: exactly the inverse of utf8_of.
// Returns false, with errno EINVAL, for bytes that are no such text.
bool wide_of(const char *name, std::wstring *out) {
  out->clear();
  const unsigned char *p = reinterpret_cast<const unsigned char *>(name);
  while (*p) {
    unsigned long c = *p++;
    int more = c < 0x80 ? 0 : c < 0xC2 ? -1 : c < 0xE0 ? 1 : c < 0xF0 ? 2
             : c < 0xF5 ? 3 : -1;
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

// |text|, in code page |from|, in UTF-16.
std::wstring wide_in(const char *text, UINT from) {
  int length = int(strlen(text));
  int size = MultiByteToWideChar(from, 0, text, length, nullptr, 0);
  std::wstring wide(size_t(size > 0 ? size : 0), L'\0');
  MultiByteToWideChar(from, 0, text, length, &wide[0], size);
  return wide;
}

// |wide| in code page |to|, a character it cannot hold written "?".
std::string narrow_of(const std::wstring &wide, UINT to) {
  bool utf8 = to == CP_UTF8;
  DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const char *fallback = utf8 ? nullptr : "?";
  int size = WideCharToMultiByte(to, flags, wide.data(), int(wide.size()),
                                 nullptr, 0, fallback, nullptr);
  std::string out(size_t(size > 0 ? size : 0), '\0');
  WideCharToMultiByte(to, flags, wide.data(), int(wide.size()), &out[0], size,
                      fallback, nullptr);
  return out;
}

// True when |stream| is standard output or error and a console shows it.
bool on_console(FILE *stream) {
  int fd = _fileno(stream);
  return fd >= 1 && fd <= 2 && is_console[fd];
}

bool handle_is_console(DWORD which) {
  DWORD mode;
  return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

}  // namespace

bool waits_for_key(unsigned long processes, bool input_is_console,
                   bool output_is_console, bool window_visible) {
  return processes == 1 && input_is_console && output_is_console &&
         window_visible;
}

int list_plain_files(std::vector<std::string> *names) {
  // Nothing found at all (the empty root of a drive) fails with ENOENT,
  // which is what finding no archive reports too.
  struct _wfinddata64_t entry;
  intptr_t search = _wfindfirst64(L"*", &entry);
  if (search == -1)
    return -1;
  do {
    if (!(entry.attrib & (_A_SUBDIR | _A_HIDDEN | _A_SYSTEM)))
      names->push_back(utf8_of(entry.name));
  } while (_wfindnext64(search, &entry) == 0);
  _findclose(search);
  return 0;
}

int open_archive(const char *name) {
  std::wstring wide;
  if (!wide_of(name, &wide))
    return -1;
  // Other programs may go on reading and writing the archive meanwhile.
  return _wsopen(wide.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT,
                 _SH_DENYNO);
}

long read_file(int fd, void *data, size_t size) {
  unsigned chunk = size < 0x40000000 ? unsigned(size) : 0x40000000u;
  return _read(fd, data, chunk);
}

int seek_file(int fd, int64_t offset) {
  return _lseeki64(fd, offset, SEEK_SET) < 0 ? -1 : 0;
}

int close_file(int fd) {
  return _close(fd);
}

int make_directory(const char *name) {
  std::wstring wide;
  if (!wide_of(name, &wide))
    return -1;
  return _wmkdir(wide.c_str());
}

int enter_directory(const char *name) {
  std::wstring wide;
  if (!wide_of(name, &wide))
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

int leave_directory() {
  return _wchdir(return_path.c_str());
}

int current_directory_id(directory_id *id) {
  // A directory opens only with backup semantics; no right to its content
  // is asked for.
  HANDLE dir = CreateFileW(L".", 0,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                           nullptr);
  if (dir == INVALID_HANDLE_VALUE) {
    errno = errno_for(GetLastError());
    return -1;
  }
  BY_HANDLE_FILE_INFORMATION info;
  BOOL got = GetFileInformationByHandle(dir, &info);
  DWORD error = GetLastError();
  CloseHandle(dir);
  if (!got) {
    errno = errno_for(error);
    return -1;
  }
  id->volume = info.dwVolumeSerialNumber;
  id->file = uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
  return 0;
}

int create_image_file(const char *name) {
  std::wstring wide;
  if (!wide_of(name, &wide))
    return -1;
  return _wsopen(wide.c_str(),
                 _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT,
                 _SH_DENYNO, _S_IREAD | _S_IWRITE);
}

int write_image_data(int fd, const void *data, size_t size) {
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

void setup_console() {
  // Text mode whatever the parent handed down: the runtime then writes
  // each line feed as CR LF.
  _setmode(_fileno(stdout), _O_TEXT);
  _setmode(_fileno(stderr), _O_TEXT);
  is_console[1] = handle_is_console(STD_OUTPUT_HANDLE);
  is_console[2] = handle_is_console(STD_ERROR_HANDLE);
  // A console is written to directly (write_console), never through the
  // stream's buffer.
  if (!is_console[1])
    setvbuf(stdout, stdout_buffer, _IOFBF, sizeof stdout_buffer);
  setvbuf(stderr, nullptr, _IONBF, 0);
}

bool console_is_terminal(FILE *stream) {
  return on_console(stream);
}

// A console shows characters, not bytes: it is given UTF-16, which shows
// every name and the tool's text alike in any console code page (chcp
// 437, 850, 1252 or 65001).  Text on its way there is held in UTF-8.

const char *console_text(FILE *stream, const char *text, std::string *converted) {
  if (!on_console(stream))
    return text;
  *converted = narrow_of(wide_in(text, text_code_page), CP_UTF8);
  return converted->c_str();
}

std::string console_name(FILE *stream, const char *name, int width) {
  std::wstring wide;
  bool utf8 = wide_of(name, &wide);
  // A file or pipe gets it in the DOS code page, like the text around it.
  if (!on_console(stream))
    return utf8 ? narrow_of(wide, GetOEMCP()) : name;
  if (!utf8)  // never so from the system: each byte past ASCII a "?"
    for (const char *p = name; *p; p++)
      wide.push_back(*p & 0x80 ? L'?' : wchar_t(*p));
  std::wstring shown;
  int characters = 0;
  for (size_t i = 0; i < wide.size(); i++, characters++) {
    wchar_t c = wide[i];
    bool pair = c >= 0xD800 && c < 0xDC00 && i + 1 < wide.size() &&
                wide[i + 1] >= 0xDC00 && wide[i + 1] < 0xE000;
    if (pair) {
      shown.append(wide, i++, 2);
    } else if (is_control_character(c) ||
               (c >= 0xD800 && c < 0xE000)) {  // a lone surrogate too
      shown.push_back(L'?');
    } else {
      shown.push_back(c);
    }
  }
  if (characters < width)
    shown.append(size_t(width - characters), L' ');
  return narrow_of(shown, CP_UTF8);
}

int write_console(FILE *stream, const char *text, size_t size) {
  if (!on_console(stream)) {
    // In text mode: the runtime writes each line feed as CR LF itself,
    // and every other byte as it is.
    return fwrite(text, 1, size, stream) == size ? 0 : -1;
  }
  // UTF-8 gives at most one UTF-16 unit per byte.
  static std::wstring wide, lines;
  wide.resize(size);
  int length = int(size);
  wide.resize(size_t(
      size > 0 ? MultiByteToWideChar(CP_UTF8, 0, text, length, &wide[0], length)
               : 0));
  lines.clear();
  for (wchar_t c : wide) {
    if (c == L'\n')
      lines.push_back(L'\r');
    lines.push_back(c);
  }
  HANDLE console = GetStdHandle(_fileno(stream) == 1 ? STD_OUTPUT_HANDLE
                                                      : STD_ERROR_HANDLE);
  for (size_t done = 0; done < lines.size();) {
    DWORD written = 0;
    if (!WriteConsoleW(console, lines.data() + done, DWORD(lines.size() - done),
                       &written, nullptr) || written == 0) {
      errno = errno_for(GetLastError());
      return -1;
    }
    done += written;
  }
  return 0;
}

void wait_for_key() {
  // A key pressed during the run is no answer to a prompt not yet shown.
  FlushConsoleInputBuffer(GetStdHandle(STD_INPUT_HANDLE));
  std::string converted;
  const char *prompt = console_text(
      stdout, "\nAppuyez sur une touche pour fermer la fen\x88tre.", &converted);
  write_console(stdout, prompt, strlen(prompt));
  fflush(stdout);
  _getch();
}

void end_console() {
  // A double-clicked veldor has a console window of its own, which closes
  // with it: the last message would be gone before anyone read it.
  DWORD processes[2];
  HWND window = GetConsoleWindow();
  if (waits_for_key(GetConsoleProcessList(processes, 2),
                    handle_is_console(STD_INPUT_HANDLE), is_console[1],
                    window != nullptr && IsWindowVisible(window)))
    wait_for_key();
}
