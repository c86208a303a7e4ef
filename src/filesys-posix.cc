// The file system on POSIX systems.
#include "filesys.h"

#include <cerrno>

#include <climits>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The directory that fs_enter_directory left, so that the way back does not
// depend on what ".." is.  Remembers it (returns 0, or -1 with errno set),
// goes back to it (likewise), or forgets it, errno left alone.
#ifdef __wasi__
// WASI has no fchdir.  Its C library keeps the current directory as a path
// of its own, which leads back to exactly it.
char return_path[PATH_MAX];
int remember_here() {
  return getcwd(return_path, sizeof return_path) ? 0 : -1;
}
int go_back() {
  return chdir(return_path);
}
void forget_way_back() {}
#else
#ifndef O_PATH
#define O_PATH O_RDONLY  // systems without it need read rights to come back
#endif
int return_fd;
int remember_here() {
  // O_PATH needs no read right on the directory, only the right to reach it.
  return_fd = open(".", O_PATH);
  return return_fd < 0 ? -1 : 0;
}
int go_back() {
  if (fchdir(return_fd) != 0)
    return -1;
  close(return_fd);
  return 0;
}
void forget_way_back() {
  close(return_fd);  // leaves errno alone when it succeeds
}
#endif

file_id id_of(const struct stat &st) {
  return {uint64_t(st.st_dev), {uint64_t(st.st_ino), 0}};
}

// Closes |fd|, which a failure makes useless.  Returns -1 with errno
// |error|.
int close_failed(int fd, int error) {
  close(fd);
  errno = error;
  return -1;
}

// Opens the old image |name| for writing, emptied, if it may be written
// over; never follows a link, waits on a FIFO or opens a device.  Returns
// a descriptor; -2 when it is to be replaced by a new file, or has gone;
// or -1 with errno set.
int reuse_old_image(const char *name, const file_id *archive) {
  struct stat st;
  if (lstat(name, &st) != 0)
    return errno == ENOENT ? -2 : -1;
  if (!S_ISREG(st.st_mode))
    return -2;
  // What is open is judged, not what the name led to a moment before: a
  // link put there since is refused by the open, and anything else is
  // judged as any file there is.
  int fd = open(name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0)
    return errno == ENOENT ? -2 : -1;
  int verdict = fstat(fd, &st) != 0
                    ? -1
                    : fs_judge_old_image(id_of(st), st.st_nlink,
                                         S_ISREG(st.st_mode), *archive);
  if (verdict == 0 && ftruncate(fd, 0) == 0)
    return fd;
  close_failed(fd, errno);
  return verdict == -2 ? -2 : -1;
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

fs_handle fs_open_archive(const char *name, file_id *id) {
  // Non-blocking, so that a FIFO put in the archive's place after the
  // search cannot stall the run; anything but a regular file is refused.
  // (Opened non-blocking, it stays so: that changes nothing for a regular
  // file.)
  int fd = open(name, O_RDONLY | O_NONBLOCK);
  if (fd < 0)
    return -1;
  struct stat st;
  if (fstat(fd, &st) != 0)
    return close_failed(fd, errno);
  if (!S_ISREG(st.st_mode))
    return close_failed(fd, EINVAL);
  *id = id_of(st);
  return fd;
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
  if (remember_here() != 0)
    return -1;
  if (chdir(name) != 0) {
    forget_way_back();
    return -1;
  }
  return 0;
}

int fs_leave_directory() {
  return go_back();
}

int fs_directory_id(file_id *id) {
  struct stat st;
  if (stat(".", &st) != 0)
    return -1;
  *id = id_of(st);
  return 0;
}

fs_handle fs_create_image(const char *name, const file_id *archive) {
  // Only a regular file of this one name is ever written into.  Anything
  // else in the image's place is removed and a new file made there;
  // O_EXCL never follows a link.
  auto create = [name] {
    return open(name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0666);
  };
  int fd = create();
  if (fd >= 0 || errno != EEXIST)
    return fd;
  fd = reuse_old_image(name, archive);
  if (fd != -2)
    return fd;
  // unlink refuses a directory: EISDIR.  A file gone since is no matter.
  if (unlink(name) != 0 && errno != ENOENT)
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
