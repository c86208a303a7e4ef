// Planned failures, for the tests: veldor-faults is veldor with a stand-in
// linked in front of each call of fault_calls.h, which asks the plan
// whether to go ahead.  veldor above them runs unchanged.
//
// The plan is read once from VELDOR_FAULTS: entries separated by commas,
//   CALL:FILE=ERROR    the first call of CALL on FILE fails with ERROR;
//   CALL:FILE@N=ERROR  the Nth call of CALL on FILE does;
//   CALL:FILE#B=ERROR  CALL moves B bytes to or from FILE, then fails.
// FILE is a path from the folder the program started in ("A.IXF",
// "A/00000001.BMP", "." for that folder itself), or stdout or stderr.
// ERROR is an errno name (EIO, ENOSPC, ...); "none", a failure that leaves
// errno 0, as the C library may; "short": the call then moves one byte
// only and succeeds, as an interrupted read or write may; or "abort": the
// program ends there at once, as an interrupt ends it.
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "filesys.h"
#include "terminal.h"

#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

struct fault {
  std::string call, target;
  bool budget;  // #B: |limit| bytes in all; @N: the |limit|th call
  long limit;
  bool fails;   // or moves one byte only, a short read or write
  bool aborts;  // ends the program there, as an interrupt does
  int error;    // errno of the failure; 0 for one that gives no reason
  long seen;    // calls, or bytes moved, so far
};

// The ERRORs of a plan: "none" for a failure without errno, and errno
// names ("short" and "abort" are read apart).
const std::map<std::string, int> errors = {
    {"none", 0},        {"EACCES", EACCES}, {"EEXIST", EEXIST},
    {"EINTR", EINTR},   {"EIO", EIO},       {"EISDIR", EISDIR},
    {"EMFILE", EMFILE}, {"ENOENT", ENOENT}, {"ENOSPC", ENOSPC},
    {"EPIPE", EPIPE},   {"EROFS", EROFS},
};

// The plan, read once; a malformed one ends the program, since a test
// that meant to inject a fault must not pass without it.
std::vector<fault> read_plan() {
  const char *text = getenv("VELDOR_FAULTS");
  std::string rest = text ? text : "";
  static const std::regex entry(R"(^(\w+):([^@#=,]+)(([@#])(\d+))?=(\w+)(,|$))");
  std::vector<fault> plan;
  for (std::smatch m; !rest.empty(); rest = m.suffix()) {
    bool short_or_abort = regex_search(rest, m, entry) && (m[6] == "short" || m[6] == "abort");
    if (m.empty() || (!short_or_abort && !errors.count(m[6]))) {
      fprintf(stderr, "VELDOR_FAULTS: cannot read \"%s\"\n", rest.c_str());
      exit(125);
    }
    plan.push_back({m[1], m[2], m[4] == "#", m[5].matched ? stol(m[5]) : 1,
                    m[6] != "short", m[6] == "abort",
                    short_or_abort ? 0 : errors.at(m[6]), 0});
  }
  return plan;
}

// How many of |size| bytes |call| may move on |target| now: |size|, or
// fewer where the plan says so; or -1 with errno set when the call is to
// fail.  Calls that move nothing ask with |size| 0.
long allowance(const char *call, const std::string &target, size_t size) {
  static std::vector<fault> plan = read_plan();
  long most = long(size);
  const fault *failing = nullptr;
  for (fault &f : plan) {
    if (f.call != call || f.target != target)
      continue;
    bool due = f.budget ? f.seen >= f.limit : ++f.seen == f.limit;
    if (due && f.fails && !failing)
      failing = &f;
    most = due ? std::min(most, 1L) : f.budget ? std::min(most, f.limit - f.seen) : most;
  }
  if (failing && failing->aborts)
    abort();  // no exit processing: what is buffered is lost
  if (failing) {
    errno = failing->error;
    return -1;
  }
  for (fault &f : plan)
    f.seen += f.budget && f.call == call && f.target == target ? most : 0;
  return most;
}

// The folder the program started in, whose paths fault plans name.
fs::path start;

// What each descriptor that a call of kind |opens| returned was opened on.
std::map<intptr_t, std::string> targets;

enum { acts, opens };

// File |name| of the current folder, as plans name it: from the start.
std::string named(const fs::path &name) {
  fs::path here = fs::current_path();
  if (start.empty())
    start = here;
  fs::path path = name == "." ? here : here / name;
  return path.lexically_normal().lexically_relative(start).generic_u8string();
}

std::string here() {
  return named(".");
}

std::string opened(intptr_t fd) {
  auto at = targets.find(fd);
  return at == targets.end() ? "?" : at->second;
}

std::string stream_name(FILE *stream) {
  return stream == stderr ? "stderr" : "stdout";
}

}  // namespace

// A stand-in: fails as planned, or calls |real| with |args|, where |most|
// is the count of bytes the plan lets through.
#define STAND_IN_BODY(call, real, args, target, size, failure, kind) \
  {                                                                  \
    std::string on = target;                                         \
    long most = allowance(#call, on, size);                          \
    (void)most;                                                      \
    if (most < 0)                                                    \
      return failure;                                                \
    auto result = real args;                                         \
    if (kind == opens && result != failure)                          \
      targets[(intptr_t)result] = on;                                \
    return result;                                                   \
  }

// ld --wrap sends every caller of |call| to __wrap_|call|, and
// __real_|call| to the call itself.
#define LINKED(type, call, params, args, target, size, failure, kind) \
  extern "C" type __real_##call params;                               \
  extern "C" type __wrap_##call params                                \
      STAND_IN_BODY(call, __real_##call, args, target, size, failure, kind)
#define BY_HAND(call)

#include "fault_calls.h"

extern "C" {

// All or nothing, as the layer promises: what the plan lets through is
// written, and the rest in a call of its own, which the plan may fail (a
// disk that fills up keeps what fitted).
int __real_fs_write(int fd, const void *data, size_t size);
int __wrap_fs_write(int fd, const void *data, size_t size) {
  long most = allowance("fs_write", opened(fd), size);
  if (most < 0 || __real_fs_write(fd, data, size_t(most)) != 0)
    return -1;
  if (size_t(most) == size)
    return 0;
  return __wrap_fs_write(fd, static_cast<const char *>(data) + most,
                         size - size_t(most));
}

#if defined(__linux__)
// Its mode comes only with O_CREAT, as the variadic call passes it.
int __real_open64(const char *name, int flags, ...);
int __wrap_open64(const char *name, int flags, ...) {
  va_list rest;
  va_start(rest, flags);
  int mode = flags & O_CREAT ? va_arg(rest, int) : 0;
  va_end(rest);
  std::string on = named(name);
  int fd = allowance("open64", on, 0) < 0 ? -1 : __real_open64(name, flags, mode);
  if (fd >= 0)
    targets[fd] = on;
  return fd;
}
#endif

}  // extern "C"
