// The platform's calls as a failing system would answer them, where the
// plan in VELDOR_FAULTS says: a full disk, a failing medium, a folder gone
// or forbidden.  veldor above them runs unchanged.
#include "platform-faults.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform.h"

namespace {

struct fault {
  char call[32];
  bool budget;     // CALL#B: |limit| bytes in all; CALL@N: the |limit|th call
  long limit;
  bool fails;      // or moves one byte only, a short read or write
  bool aborts;     // ends the program there, as an interrupt does
  int error;       // errno of the failure; 0 for one that gives no reason
  long seen;       // calls, or bytes moved, so far
};

fault plan[8];
int planned = -1;  // entries in |plan|; -1 until VELDOR_FAULTS is read

// The ERRORs of a plan: "short", "none" for a failure without errno, and
// errno names.
const struct {
  const char *name;
  int value;
} errors[] = {
    {"none", 0},        {"EACCES", EACCES}, {"EEXIST", EEXIST},
    {"EINTR", EINTR},   {"EIO", EIO},       {"EISDIR", EISDIR},
    {"EMFILE", EMFILE}, {"ENOENT", ENOENT}, {"ENOSPC", ENOSPC},
    {"EPIPE", EPIPE},   {"EROFS", EROFS},
};

// Reads the plan; a malformed one ends the program, since a test that
// meant to inject a fault must not pass without it.
void read_plan() {
  planned = 0;
  const char *p = getenv("VELDOR_FAULTS");
  while (p && *p) {
    fault &f = plan[planned];
    char kind, error[16];
    int used = 0;
    if (planned == 8 ||
        sscanf(p, "%31[^@#]%c%ld=%15[^,]%n", f.call, &kind, &f.limit, error,
               &used) != 4) {
      fprintf(stderr, "VELDOR_FAULTS: cannot read \"%s\"\n", p);
      exit(125);
    }
    f.budget = kind == '#';
    f.fails = strcmp(error, "short") != 0;
    f.aborts = strcmp(error, "abort") == 0;
    f.error = f.fails && !f.aborts ? -1 : 0;
    for (const auto &e : errors)
      if (strcmp(e.name, error) == 0)
        f.error = e.value;
    if (f.error < 0) {
      fprintf(stderr, "VELDOR_FAULTS: no error named %s\n", error);
      exit(125);
    }
    planned++;
    p += used;
    p += *p == ',';
  }
}

}  // namespace

long allowance(const char *call, size_t size) {
  if (planned < 0)
    read_plan();
  // Every entry of the call counts every call, whichever fails it.
  long most = long(size);
  const fault *failing = nullptr;
  for (int i = 0; i < planned; i++) {
    fault &f = plan[i];
    if (strcmp(f.call, call) != 0)
      continue;
    bool due = f.budget ? f.seen >= f.limit : ++f.seen == f.limit;
    if (due && f.fails && !failing)
      failing = &f;
    if (due && most > 1)
      most = 1;
    if (f.budget && most > f.limit - f.seen)
      most = f.limit - f.seen;
  }
  if (failing && failing->aborts)
    abort();  // no exit processing: what is buffered is lost
  if (failing) {
    errno = failing->error;
    return -1;
  }
  return most;
}

void moved(const char *call, long count) {
  for (int i = 0; i < planned; i++)
    if (plan[i].budget && strcmp(plan[i].call, call) == 0)
      plan[i].seen += count;
}

// The stand-ins, which ld --wrap puts in front of the real calls
// (__real_*) for every caller.
extern "C" {

STAND_IN(int, list_plain_files, (std::vector<std::string> * names), (names))
STAND_IN(int, open_archive, (const char *name), (name))
STAND_IN(int, seek_file, (int fd, int64_t offset), (fd, offset))
STAND_IN(int, close_file, (int fd), (fd))
STAND_IN(int, make_directory, (const char *name), (name))
STAND_IN(int, enter_directory, (const char *name), (name))
STAND_IN(int, leave_directory, (), ())
STAND_IN(int, current_directory_id, (directory_id * id), (id))
STAND_IN(int, create_image_file, (const char *name), (name))
STAND_IN(int, write_console, (FILE * stream, const char *text, size_t size),
         (stream, text, size))

long __real_read_file(int fd, void *data, size_t size);
long __wrap_read_file(int fd, void *data, size_t size) {
  long most = allowance("read_file", size);
  if (most < 0)
    return -1;
  long count = __real_read_file(fd, data, size_t(most));
  moved("read_file", count > 0 ? count : 0);
  return count;
}

int __real_write_image_data(int fd, const void *data, size_t size);
int __wrap_write_image_data(int fd, const void *data, size_t size) {
  long most = allowance("write_image_data", size);
  if (most < 0 || __real_write_image_data(fd, data, size_t(most)) != 0)
    return -1;
  moved("write_image_data", most);
  // The rest goes out in a call of its own, which the plan may fail: a
  // disk that fills up keeps what fitted.
  if (size_t(most) == size)
    return 0;
  return __wrap_write_image_data(fd, static_cast<const char *>(data) + most,
                                 size - size_t(most));
}

}  // extern "C"
