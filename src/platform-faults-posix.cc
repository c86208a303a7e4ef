// The system calls under the POSIX layer, failing where VELDOR_FAULTS
// says, so that the layer's own ways out of a failure are run too.  The
// names are the ones glibc's headers call on a 64-bit Linux.
#include <cerrno>
#include <cstdarg>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform-faults.h"

extern "C" {

STAND_IN(int, fstat64, (int fd, struct stat64 *st), (fd, st))
STAND_IN(int, stat64, (const char *name, struct stat64 *st), (name, st))
STAND_IN(int, lstat64, (const char *name, struct stat64 *st), (name, st))
STAND_IN(off64_t, lseek64, (int fd, off64_t offset, int whence),
         (fd, offset, whence))
STAND_IN(int, unlink, (const char *name), (name))
STAND_IN(int, fchdir, (int fd), (fd))

DIR *__real_opendir(const char *name);
DIR *__wrap_opendir(const char *name) {
  return allowance("opendir", 0) < 0 ? nullptr : __real_opendir(name);
}

int __real_open64(const char *name, int flags, ...);
int __wrap_open64(const char *name, int flags, ...) {
  va_list rest;
  va_start(rest, flags);
  int mode = flags & O_CREAT ? va_arg(rest, int) : 0;
  va_end(rest);
  return allowance("open64", 0) < 0 ? -1 : __real_open64(name, flags, mode);
}

ssize_t __real_read(int fd, void *data, size_t size);
ssize_t __wrap_read(int fd, void *data, size_t size) {
  long most = allowance("read", size);
  return most < 0 ? -1 : __real_read(fd, data, size_t(most));
}

ssize_t __real_write(int fd, const void *data, size_t size);
ssize_t __wrap_write(int fd, const void *data, size_t size) {
  long most = allowance("write", size);
  return most < 0 ? -1 : __real_write(fd, data, size_t(most));
}

}  // extern "C"
