// The file system on POSIX systems.
#include "filesys.h"

#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef O_PATH
#define O_PATH O_RDONLY  // systems without it need read rights to come back
#endif

namespace {

// The directory that fs_enter_directory left, as a descriptor, so that the way
// back does not depend on what ".." is.
int return_fd;

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

int fs_list_plain_files(std::vector<std::string> *names) {
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

bool fs_is_device(const char *) {
  return false;
}

fs_handle fs_open_archive(const char *name) {
  // Non-blocking, so that a FIFO put in the archive's place after the
  // search cannot stall the run; anything but a regular file is refused.
  int fd = open(name, O_RDONLY | O_NONBLOCK);
  return fd < 0 ? -1 : keep_if_regular(fd, EINVAL);
}

long fs_read(fs_handle file, void *data, size_t size) {
  ssize_t n;
  do
    n = read(int(file), data, size);
  while (n < 0 && errno == EINTR);
  return long(n);
}

int fs_seek(fs_handle file, int64_t offset) {
  return lseek(int(file), off_t(offset), SEEK_SET) < 0 ? -1 : 0;
}

int fs_close(fs_handle file) {
  return close(int(file));
}

int fs_make_directory(const char *name) {
  return mkdir(name, 0777);
}

int fs_enter_directory(const char *name) {
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

int fs_leave_directory() {
  if (fchdir(return_fd) != 0)
    return -1;
  close(return_fd);
  return 0;
}

int fs_directory_id(directory_id *id) {
  struct stat st;
  if (stat(".", &st) != 0)
    return -1;
  id->volume = uint64_t(st.st_dev);
  id->file = uint64_t(st.st_ino);
  return 0;
}

fs_handle fs_create_image(const char *name) {
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

int fs_write(fs_handle file, const void *data, size_t size) {
  const char *p = static_cast<const char *>(data);
  while (size > 0) {
    ssize_t n = write(int(file), p, size);
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
