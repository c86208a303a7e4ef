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
// ERROR is an errno name (EIO, ENOSPC, ...), or a Windows error's for a
// Windows call (ERROR_DISK_FULL, ...); "none", a failure that leaves
// errno (and Windows' last error) as it was, as the C library may;
// "short": the call then moves one byte only and succeeds, as an
// interrupted read or write may; "abort": the program ends there at once,
// as an interrupt ends it; or a number: the call does not run and returns
// it, as if the system had answered so (for a file's attributes, 1024 is
// a symbolic link, 1040 a junction).
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "filesys.h"
#include "terminal.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
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
  bool answers; // returns |error| as its result instead
  int error;    // errno of the failure; 0 for one that gives no reason
  long seen;    // calls, or bytes moved, so far
};

// The ERRORs of a plan: "none" for a failure without errno, errno names,
// and on Windows Windows errors' ("short" and "abort" are read apart).
// Stand-ins may run before the program's dynamic initialisation: the
// engine's constants are constant-initialised, its state made on first use.
const struct { const char *name; int value; } errors[] = {
#define NAMED(e) {#e, e}
    {"none", 0},   NAMED(EACCES), NAMED(EEXIST), NAMED(EINTR),  NAMED(EIO), NAMED(EISDIR),
    NAMED(ELOOP),  NAMED(EMFILE), NAMED(ENOENT), NAMED(ENOSPC), NAMED(ENXIO), NAMED(EPIPE),
    NAMED(EROFS),
#ifdef _WIN32
    NAMED(ERROR_ACCESS_DENIED),     NAMED(ERROR_ALREADY_EXISTS),     NAMED(ERROR_CRC),
    NAMED(ERROR_DISK_FULL),         NAMED(ERROR_FILE_NOT_FOUND),
    NAMED(ERROR_HANDLE_DISK_FULL),  NAMED(ERROR_INVALID_FUNCTION),
    NAMED(ERROR_INVALID_HANDLE),    NAMED(ERROR_NOT_READY),
    NAMED(ERROR_PATH_NOT_FOUND),    NAMED(ERROR_SHARING_VIOLATION),
    NAMED(ERROR_WRITE_PROTECT),
#endif
};

// The plan, read once; a malformed one ends the program, since a test
// that meant to inject a fault must not pass without it.
std::vector<fault> read_plan() {
  std::vector<fault> plan;
  for (const char *p = getenv("VELDOR_FAULTS") ? getenv("VELDOR_FAULTS") : ""; *p;) {
    char call[64] = "", target[512] = "", mark[2] = "", count[10] = "", error[64] = "";
    int end = 0;  // set only when the whole entry matched
    if (sscanf(p, "%63[^:@#=,]:%511[^@#=,]%1[@#]%9[0-9]=%63[^,]%n", call, target, mark, count,
               error, &end) != 5)
      sscanf(p, "%63[^:@#=,]:%511[^@#=,]=%63[^,]%n", call, target, error, &end);
    std::string name = error;  // empty unless the entry matched
    char *digits_end;
    long value = strtol(error, &digits_end, 10);
    bool answers = *error && !*digits_end;
    fault f = {call, target, *mark == '#', *mark ? atol(count) : 1, name != "short",
               name == "abort", answers, int(value), 0};
    bool known = name == "short" || name == "abort" || answers;
    for (const auto &e : errors)
      known = name == e.name ? (f.error = e.value, true) : known;
    if (!known || (p[end] != ',' && p[end])) {
      fprintf(stderr, "VELDOR_FAULTS: cannot read \"%s\"\n", p);
      exit(125);
    }
    plan.push_back(f);
    p += end + !!p[end];
  }
  return plan;
}

// What a call that the plan answers returns.
intptr_t answer;

// How many of |size| bytes |call| may move on |target| now: |size|, or
// fewer where the plan says so; -1 with errno set when the call is to
// fail; or -2 when it is to return |answer|.  Calls that move nothing ask
// with |size| 0.
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
  if (failing && failing->answers) {
    answer = failing->error;
    return -2;
  }
  if (failing && failing->error != 0) {  // "none" leaves errno as it is
    errno = failing->error;
#ifdef _WIN32
    SetLastError(DWORD(failing->error));  // for a Windows call
#endif
  }
  if (failing)
    return -1;
  for (fault &f : plan)
    f.seen += f.budget && f.call == call && f.target == target ? most : 0;
  return most;
}

// What each descriptor that a call of kind |opens| returned was opened on.
std::map<intptr_t, std::string> &targets() {
  static std::map<intptr_t, std::string> opened;
  return opened;
}

enum { acts, opens };

// File |name| of the current folder, as plans name it: from the start.
std::string named(const fs::path &name) {
  fs::path here = fs::current_path();
  static const fs::path start = here;  // the folder the program started in
  fs::path path = name == "." ? here : here / name;
  return path.lexically_normal().lexically_relative(start).generic_u8string();
}

std::string opened(intptr_t fd) {
  auto at = targets().find(fd);
  return at == targets().end() ? "?" : at->second;
}

}  // namespace

// A stand-in: fails as planned, or calls |real| with |args|, where |most|
// is the count of bytes the plan lets through.
#define STAND_IN_BODY(type, call, real, args, target, size, failure, kind) \
  {                                                                  \
    std::string on = target;                                         \
    [[maybe_unused]] long most = allowance(#call, on, size);         \
    if (most < 0)                                                    \
      return most == -2 ? (type)answer : failure;                    \
    auto result = real args;                                         \
    if (kind == opens && result != failure)                          \
      targets()[(intptr_t)result] = on;                                \
    return result;                                                   \
  }

// ld --wrap sends every caller of |call| to __wrap_|call|, and
// __real_|call| to the call itself.
#define LINKED(type, call, params, args, target, size, failure, kind) \
  extern "C" type __real_##call params;                               \
  extern "C" type __wrap_##call params                                \
      STAND_IN_BODY(type, call, __real_##call, args, target, size, failure, kind)

// The import of |call| is a pointer to it, which ld --wrap points at the
// stand-in, naming it as 64-bit or 32-bit Windows names imports.
#ifdef _WIN64
#define IMPORT_LABEL(kind, call, bytes) "__" kind "___imp_" #call
#else
#define IMPORT_LABEL(kind, call, bytes) "___" kind "__imp__" #call "@" #bytes
#endif
#define IMPORTED(bytes, type, call, params, args, target, size, failure, kind) \
  extern "C" decltype(&call) real_##call __asm__(IMPORT_LABEL("real", call, bytes)); \
  static type WINAPI stand_in_##call params                                   \
      STAND_IN_BODY(type, call, real_##call, args, target, size, failure, kind) \
  extern "C" decltype(&call) wrap_##call __asm__(IMPORT_LABEL("wrap", call, bytes)); \
  decltype(&call) wrap_##call = stand_in_##call;

#include "fault_calls.h"
