// The platform layer on POSIX systems.
#include "platform.h"

#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef O_PATH
#define O_PATH O_RDONLY  // systems without it need read rights to come back
#endif

namespace {

// The directory that enter_directory left, as a descriptor, so that the way
// back does not depend on what ".." is.
int return_fd = -1;

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

FILE *open_archive(const char *name) {
  // Non-blocking, so that a FIFO put in the archive's place after the
  // search cannot stall the run; anything but a regular file is refused.
  int fd = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    return nullptr;
  struct stat st;
  if (fstat(fd, &st) != 0) {
    close_quietly(fd);
    return nullptr;
  }
  if (!S_ISREG(st.st_mode)) {
    close(fd);
    errno = EINVAL;
    return nullptr;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  FILE *archive = fdopen(fd, "rb");
  if (!archive)
    close_quietly(fd);
  return archive;
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

int create_image_file(const char *name) {
  // O_NOFOLLOW refuses a symbolic link; O_NONBLOCK refuses a FIFO without a
  // reader rather than wait for one, and changes nothing for a regular file.
  const int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  int fd = open(name, flags | O_TRUNC, 0666);
  if (fd >= 0 || (errno != ELOOP && errno != ENXIO))
    return fd;
  // Something other than a regular file stands in the image's place:
  // replace it rather than write through it.
  if (unlink(name) != 0)
    return -1;
  return open(name, flags | O_EXCL, 0666);
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

int close_image_file(int fd) {
  return close(fd);
}

void setup_console() {
  if (isatty(STDOUT_FILENO))
    setvbuf(stdout, nullptr, _IONBF, 0);
  else
    setvbuf(stdout, nullptr, _IOFBF, 512);
  setvbuf(stderr, nullptr, _IONBF, 0);
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
