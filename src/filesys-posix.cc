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

// What |st| shows.
fs_entry entry_of(const struct stat &st) {
  fs_kind kind = S_ISREG(st.st_mode)   ? fs_regular
                 : S_ISDIR(st.st_mode) ? fs_directory
                 : S_ISLNK(st.st_mode) ? fs_link
                                       : fs_special;
  return {kind, id_of(st), (unsigned long)st.st_nlink};
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

int fs_look(const char *name, fs_entry *entry) {
  struct stat st;
  if (lstat(name, &st) == 0) {
    *entry = entry_of(st);
    return 0;
  }
  entry->kind = fs_nothing;
  return errno == ENOENT ? 0 : -1;
}

fs_handle fs_create_new(const char *name) {
  // O_EXCL never follows a link.
  return open(name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0666);
}

fs_handle fs_open_old_image(const char *name, fs_entry *entry) {
  // A FIFO with no reader is ENXIO, and one with a reader is opened, not
  // waited on; a device put there since is looked at through the open file,
  // and never written.  (Opened non-blocking, a regular file stays as it
  // is.)
  int fd = open(name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0)
    return -1;
  struct stat st;
  if (fstat(fd, &st) != 0)
    return close_failed(fd, errno);
  *entry = entry_of(st);
  return fd;
}

int fs_empty(fs_handle file) {
  return ftruncate(int(file), 0);
}

int fs_remove(const char *name, fs_kind) {
  return unlink(name);
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
