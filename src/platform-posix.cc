// The platform layer on POSIX systems.
#include "platform.h"

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstring>

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
int return_fd = -1;

// Standard output and standard error: true when a terminal that expects
// UTF-8 shows them.
bool utf8_terminal[3];

// Standard output's buffer when redirected: glibc keeps its own size when
// setvbuf is given no buffer.
char stdout_buffer[512];

// Unicode for the upper half of the DOS code page (850), in which the
// tool's own texts are written.
const uint16_t dos_code_page[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA,
    0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6,
    0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC,
    0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC,
    0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1,
    0x00C2, 0x00C0, 0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5,
    0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4, 0x00F0,
    0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE, 0x00CF, 0x2518,
    0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580, 0x00D3, 0x00DF, 0x00D4,
    0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE, 0x00DE, 0x00DA, 0x00DB, 0x00D9,
    0x00FD, 0x00DD, 0x00AF, 0x00B4, 0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6,
    0x00A7, 0x00F7, 0x00B8, 0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2,
    0x25A0, 0x00A0};

// Appends code point |c| (below 0x10000) to |out| as UTF-8.
void append_utf8(std::string *out, unsigned c) {
  if (c < 0x80) {
    out->push_back(char(c));
  } else if (c < 0x800) {
    out->push_back(char(0xC0 | c >> 6));
    out->push_back(char(0x80 | (c & 0x3F)));
  } else {
    out->push_back(char(0xE0 | c >> 12));
    out->push_back(char(0x80 | (c >> 6 & 0x3F)));
    out->push_back(char(0x80 | (c & 0x3F)));
  }
}

// True for regular files, and for symbolic links that lead to one.
bool is_plain_file(const struct dirent *entry) {
  if (entry->d_type == DT_REG)
    return true;
  if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
    return false;
  struct stat st;
  return stat(entry->d_name, &st) == 0 && S_ISREG(st.st_mode);
}

// Closes |fd| without disturbing errno.
void close_quietly(int fd) {
  int saved = errno;
  close(fd);
  errno = saved;
}

// Keeps |fd|, opened non-blocking, if it is a regular file, and makes it
// blocking again; otherwise closes it.  Returns |fd|, or -1: with errno
// |not_regular| for anything but a regular file.
int keep_if_regular(int fd, int not_regular) {
  struct stat st;
  bool known = fstat(fd, &st) == 0;
  if (known && !S_ISREG(st.st_mode)) {
    close(fd);
    errno = not_regular;
    return -1;
  }
  if (!known || fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    close_quietly(fd);
    return -1;
  }
  return fd;
}

// Opens |name| for writing if it is a regular file, never following a link
// and never waiting on a FIFO.  Returns a descriptor, or -1: with errno
// EEXIST when something else stands there, otherwise as open sets it.
int open_existing_regular(const char *name) {
  struct stat st;
  if (lstat(name, &st) != 0)
    return -1;
  if (!S_ISREG(st.st_mode)) {
    errno = S_ISDIR(st.st_mode) ? EISDIR : EEXIST;
    return -1;
  }
  // Checked again on the open file: the name may have changed meanwhile.
  int fd = open(name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0)
    return errno == ELOOP || errno == ENXIO ? (errno = EEXIST, -1) : -1;
  fd = keep_if_regular(fd, EEXIST);
  if (fd >= 0 && ftruncate(fd, 0) != 0) {
    close_quietly(fd);
    return -1;
  }
  return fd;
}

}  // namespace

int list_plain_files(std::vector<std::string> *names) {
  names->clear();
  DIR *dir = opendir(".");
  if (!dir)
    return -1;
  while (struct dirent *entry = readdir(dir)) {
    // Hidden files are those whose names begin with a dot.
    if (entry->d_name[0] != '.' && is_plain_file(entry))
      names->push_back(entry->d_name);
  }
  closedir(dir);
  return 0;
}

int open_archive(const char *name) {
  // Non-blocking, so that a FIFO put in the archive's place after the
  // search cannot stall the run; anything but a regular file is refused.
  int fd = open(name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  return fd < 0 ? -1 : keep_if_regular(fd, EINVAL);
}

long read_file(int fd, void *data, size_t size) {
  return long(read(fd, data, size));
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
  int fd = open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return -1;
  if (chdir(name) != 0) {
    close_quietly(fd);
    return -1;
  }
  if (return_fd >= 0)
    close(return_fd);
  return_fd = fd;
  return 0;
}

int leave_directory() {
  if (return_fd < 0) {
    errno = EBADF;
    return -1;
  }
  if (fchdir(return_fd) != 0)
    return -1;
  close(return_fd);
  return_fd = -1;
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
  // and a new file made there; a few tries, in case the name keeps
  // changing under us.
  for (int tries = 0; tries < 4; tries++) {
    int fd = open(name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  0666);
    if (fd >= 0 || errno != EEXIST)
      return fd;
    fd = open_existing_regular(name);
    if (fd >= 0 || (errno != EEXIST && errno != ENOENT))
      return fd;
    if (errno == EEXIST && unlink(name) != 0 && errno != ENOENT)
      return -1;
  }
  errno = EEXIST;
  return -1;
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
  bool utf8 = strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
  for (int fd = 1; fd <= 2; fd++)
    utf8_terminal[fd] = utf8 && isatty(fd);
  if (isatty(STDOUT_FILENO))
    setvbuf(stdout, nullptr, _IONBF, 0);
  else
    setvbuf(stdout, stdout_buffer, _IOFBF, sizeof stdout_buffer);
  setvbuf(stderr, nullptr, _IONBF, 0);
}

bool console_is_terminal(FILE *stream) {
  return isatty(fileno(stream));
}

const char *console_text(FILE *stream, const char *text, std::string *converted) {
  int fd = fileno(stream);
  if (fd < 1 || fd > 2 || !utf8_terminal[fd])
    return text;
  converted->clear();
  for (const char *p = text; *p; p++) {
    unsigned char c = static_cast<unsigned char>(*p);
    append_utf8(converted, c < 0x80 ? c : dos_code_page[c - 0x80]);
  }
  return converted->c_str();
}

std::string console_name(FILE *, const char *name) {
  // The file system's bytes, whatever the terminal: a name is shown as
  // ls would show it.
  return name;
}

int write_console(FILE *stream, const char *text, size_t size) {
  // Translated a chunk at a time, so that an unbuffered console gets an
  // ordinary message in one write.
  char out[512];
  size_t used = 0;
  for (size_t i = 0; i < size; i++) {
    if (used + 2 > sizeof out) {
      if (fwrite(out, 1, used, stream) != used)
        return -1;
      used = 0;
    }
    if (text[i] == '\n')
      out[used++] = '\r';
    out[used++] = text[i];
  }
  if (fwrite(out, 1, used, stream) != used)
    return -1;
  return 0;
}

void end_console() {}
