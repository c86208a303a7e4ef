// Running the program on Windows.
#include "run_program.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>

#include "archive_writer.h"

namespace {

// Points descriptor |target| at |fd|, returning a copy of what it was.
int redirect(int target, int fd) {
  int saved = _dup(target);
  _dup2(fd, target);
  return saved;
}

}  // namespace

run_result run_program(const std::string &program, const std::string &dir,
                       const run_options &options) {
  std::string out_path = dir + "/../stdout", err_path = dir + "/../stderr";
  run_result result;
  const int flags = _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY;
  int out = _wopen(std::filesystem::u8path(out_path).c_str(), flags,
                   _S_IREAD | _S_IWRITE);
  int err = options.merge_streams
                ? out
                : _wopen(std::filesystem::u8path(err_path).c_str(), flags,
                         _S_IREAD | _S_IWRITE);
  if (out < 0 || err < 0)
    return result;
  fflush(stdout);
  fflush(stderr);
  // output_terminal: the program writes to this test's console.
  bool console = options.output == output_terminal;
  int saved_out = console ? -1 : redirect(1, out);
  int saved_err = console ? -1 : redirect(2, err);
  std::filesystem::path start = std::filesystem::current_path();
  std::filesystem::current_path(std::filesystem::u8path(dir));
  // The program inherits the environment: set for it, and unset after.
  for (const std::string &setting : options.environment)
    _putenv(setting.c_str());
  // Started apart from waited for: on 32-bit Windows an exit code of -1
  // could not be told from a failure to start.
  intptr_t process = _spawnl(_P_NOWAIT, program.c_str(), program.c_str(), nullptr);
  int status = 0;
  bool spawned = process != -1 && _cwait(&status, process, 0) != -1;
  for (const std::string &setting : options.environment)
    _putenv(setting.substr(0, setting.find('=') + 1).c_str());
  std::filesystem::current_path(start);
  if (!console) {
    _dup2(saved_out, 1);
    _dup2(saved_err, 2);
    _close(saved_out);
    _close(saved_err);
  }
  _close(out);
  if (err != out)
    _close(err);
  // Statuses are compared as POSIX sees them: the low eight bits.
  if (spawned)
    result.status = int(status & 0xFF);
  result.out = read_file(out_path);
  result.err = options.merge_streams ? "" : read_file(err_path);
  return result;
}

std::string make_temp_dir() {
  std::filesystem::path base = std::filesystem::temp_directory_path();
  for (unsigned n = unsigned(rand()) ^ unsigned(_getpid());; n++) {
    std::filesystem::path dir = base / ("veldor-test-" + std::to_string(n));
    if (_mkdir(dir.string().c_str()) == 0)
      return dir.string();
    if (errno != EEXIST)
      abort();
  }
}

void remove_temp_dir(const std::string &dir) {
  // Paths past 260 characters defeat the runtime (Wine's among them); what
  // cannot be removed stays in the temporary directory.
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
}
