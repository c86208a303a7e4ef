// The platform layer on POSIX systems.
#include "platform.h"

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstring>
#include <cwchar>

#include <dirent.h>
#include <fcntl.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef O_PATH
#define O_PATH O_RDONLY  // systems without it need read rights to come back
#endif

namespace {

// The directory that enter_directory left, as a descriptor, so that the way
// back does not depend on what ".." is.
int return_fd;

// True when the locale's character set, and so a terminal's, is UTF-8.
bool utf8_locale;

// Standard output's buffer when redirected: glibc keeps its own size when
// setvbuf is given no buffer.
char stdout_buffer[512];

// Keeps |fd| if it is a regular file, and otherwise closes it.  Returns
// |fd|, or -1 with errno set: |not_regular| for anything but a regular
// file.  (Opened non-blocking, it stays so: that changes nothing for a
// regular file.)
int keep_if_regular(int fd, int not_regular) {
  struct stat st;
  int error = fstat(fd, &st) != 0     ? errno
              : S_ISREG(st.st_mode) ? 0
                                    : not_regular;
  if (error == 0)
    return fd;
  close(fd);
  errno = error;
  return -1;
}

// Opens |name| for writing, emptied, if it is a regular file; never
// follows a link, waits on a FIFO or opens a device.  Returns a
// descriptor; -2 when something else stands there; or -1 with errno set.
int open_existing_regular(const char *name) {
  struct stat st;
  if (lstat(name, &st) != 0)
    return -1;
  if (!S_ISREG(st.st_mode))
    return -2;
  // The name may have changed since: a link put there now is refused by
  // the open, anything but a regular file by the check after it, and
  // O_TRUNC empties nothing else.
  int fd = open(name, O_WRONLY | O_TRUNC | O_NOFOLLOW | O_NONBLOCK);
  return fd < 0 ? -1 : keep_if_regular(fd, EEXIST);
}

}  // namespace

int list_plain_files(std::vector<std::string> *names) {
  DIR *dir = opendir(".");
  if (!dir)
    return -1;
  while (struct dirent *entry = readdir(dir)) {
    // Hidden files are those whose names begin with a dot; stat follows a
    // link to what it leads to.
    struct stat st;
    if (entry->d_name[0] != '.' && stat(entry->d_name, &st) == 0 &&
        S_ISREG(st.st_mode))
      names->push_back(entry->d_name);
  }
  closedir(dir);
  return 0;
}

int open_archive(const char *name) {
  // Non-blocking, so that a FIFO put in the archive's place after the
  // search cannot stall the run; anything but a regular file is refused.
  int fd = open(name, O_RDONLY | O_NONBLOCK);
  return fd < 0 ? -1 : keep_if_regular(fd, EINVAL);
}

long read_file(int fd, void *data, size_t size) {
  ssize_t n;
  do
    n = read(fd, data, size);
  while (n < 0 && errno == EINTR);
  return long(n);
}

int seek_file(int fd, int64_t offset) {
  return lseek(fd, off_t(offset), SEEK_SET) < 0 ? -1 : 0;
}

int close_file(int fd) {
  return close(fd);
}

int make_directory(const char *name) {
  return mkdir(name, 0777);
}

int enter_directory(const char *name) {
  // O_PATH needs no read right on the directory, only the right to reach it.
  int fd = open(".", O_PATH);
  if (fd < 0)
    return -1;
  if (chdir(name) != 0) {
    close(fd);  // leaves errno alone when it succeeds
    return -1;
  }
  return_fd = fd;
  return 0;
}

int leave_directory() {
  if (fchdir(return_fd) != 0)
    return -1;
  close(return_fd);
  return 0;
}

int current_directory_id(directory_id *id) {
  struct stat st;
  if (stat(".", &st) != 0)
    return -1;
  id->volume = uint64_t(st.st_dev);
  id->file = uint64_t(st.st_ino);
  return 0;
}

int create_image_file(const char *name) {
  // Only a regular file is ever written into.  Anything else in the
  // image's place (a symbolic link, a FIFO, a socket, a device) is removed
  // and a new file made there; O_EXCL never follows a link.
  auto create = [name] {
    return open(name, O_WRONLY | O_CREAT | O_EXCL, 0666);
  };
  int fd = create();
  if (fd >= 0 || errno != EEXIST)
    return fd;
  fd = open_existing_regular(name);
  if (fd != -2)
    return fd;
  // unlink refuses a directory: EISDIR.
  if (unlink(name) != 0)
    return -1;
  return create();
}

int write_image_data(int fd, const void *data, size_t size) {
  const char *p = static_cast<const char *>(data);
  while (size > 0) {
    ssize_t n = write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return -1;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return 0;
}

void setup_console() {
  // A file size limit or a reader that went away makes the write fail
  // (EFBIG, EPIPE) instead of killing the run: the failure is then
  // reported, and images are never left cut short by a signal.
  signal(SIGXFSZ, SIG_IGN);
  signal(SIGPIPE, SIG_IGN);
  // The character set only; messages stay the system's English.
  setlocale(LC_CTYPE, "");
  utf8_locale = strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
  // Standard error is unbuffered from the start.
  if (isatty(STDOUT_FILENO))
    setbuf(stdout, nullptr);
  else
    setvbuf(stdout, stdout_buffer, _IOFBF, sizeof stdout_buffer);
}

bool console_is_terminal(FILE *stream) {
  return isatty(fileno(stream));
}

const char *console_text(FILE *stream, const char *text, std::string *converted) {
  if (!utf8_locale || !console_is_terminal(stream))
    return text;
  // The tool's texts hold one character outside ASCII: \x82, é in the DOS
  // code page.
  for (const char *p = text; *p; p++) {
    if (*p == '\x82')
      converted->append("\xC3\xA9");
    else
      converted->push_back(*p);
  }
  return converted->c_str();
}

std::string console_name(FILE *stream, const char *name, int width) {
  if (!console_is_terminal(stream))
    return name;
  // As ls shows a name: what the locale cannot print would drive the
  // terminal (an escape sequence can clear it or colour it for good).
  std::string shown;
  int columns = 0;
  for (const char *p = name, *end = name + strlen(name); p < end;) {
    // Each character from the initial state, as a terminal's encoding has
    // no other (UTF-8, Latin-1, EUC-JP ...).
    mbstate_t state = mbstate_t();
    wchar_t c;
    size_t size = mbrtowc(&c, p, size_t(end - p), &state);
    if (size > size_t(end - p)) {  // (size_t)-1 or -2: a byte that is none
      size = 1;
      c = L'\0';
    }
    if (is_control_character(c)) {
      shown += '?';
      columns++;
    } else {
      shown.append(p, size);
      int w = wcwidth(c);  // 2 for CJK, 0 for a combining accent
      columns += w < 0 ? 1 : w;
    }
    p += size;
  }
  if (columns < width)
    shown.append(size_t(width - columns), ' ');
  return shown;
}

int write_console(FILE *stream, const char *text, size_t size) {
  const char *end = text + size, *line_feed = std::find(text, end, '\n');
  if (line_feed == end)  // a count, as most messages are
    return fwrite(text, 1, size, stream) == size ? 0 : -1;
  // Translated whole, so that an unbuffered console gets each message in
  // one write; kept from one message to the next.
  static std::string out;
  out.assign(text, line_feed);
  for (const char *p = line_feed; p < end; p = line_feed) {
    out.append("\r\n");
    line_feed = std::find(p + 1, end, '\n');
    out.append(p + 1, line_feed);
  }
  return fwrite(out.data(), 1, out.size(), stream) == out.size() ? 0 : -1;
}

void end_console() {}
