// The platform layer on Windows, over the C runtime's own calls.
#include "platform.h"

#include <cerrno>
#include <cstdlib>

#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

namespace {

// The directory that enter_directory left.
std::string return_path;

}  // namespace

int list_plain_files(std::vector<std::string> *names) {
  names->clear();
  struct _finddata_t entry;
  intptr_t search = _findfirst("*", &entry);
  if (search == -1)
    return errno == ENOENT ? 0 : -1;
  do {
    if (!(entry.attrib & (_A_SUBDIR | _A_HIDDEN | _A_SYSTEM)))
      names->push_back(entry.name);
  } while (_findnext(search, &entry) == 0);
  _findclose(search);
  return 0;
}

FILE *open_archive(const char *name) {
  // Other programs may go on reading and writing the archive meanwhile.
  return _fsopen(name, "rb", _SH_DENYNO);
}

int make_directory(const char *name) {
  return _mkdir(name);
}

int enter_directory(const char *name) {
  char *here = _getcwd(nullptr, 0);
  if (!here)
    return -1;
  int result = _chdir(name);
  int saved = errno;
  if (result == 0)
    return_path = here;
  free(here);
  errno = saved;
  return result;
}

int leave_directory() {
  if (return_path.empty()) {
    errno = EBADF;
    return -1;
  }
  if (_chdir(return_path.c_str()) != 0)
    return -1;
  return_path.clear();
  return 0;
}

int create_image_file(const char *name) {
  return _sopen(name, _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _SH_DENYNO,
                _S_IREAD | _S_IWRITE);
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

int close_image_file(int fd) {
  return _close(fd);
}

void setup_console() {
  // Text mode whatever the parent handed down: the runtime then writes
  // each line feed as CR LF.
  _setmode(_fileno(stdout), _O_TEXT);
  _setmode(_fileno(stderr), _O_TEXT);
  if (_isatty(_fileno(stdout)))
    setvbuf(stdout, nullptr, _IONBF, 0);
  else
    setvbuf(stdout, nullptr, _IOFBF, 512);
  setvbuf(stderr, nullptr, _IONBF, 0);
}

int write_console(FILE *stream, const char *text, size_t size) {
  // The console streams are in text mode: the runtime writes each line
  // feed as CR LF itself, and every other byte as it is.
  if (fwrite(text, 1, size, stream) != size)
    return -1;
  return 0;
}
