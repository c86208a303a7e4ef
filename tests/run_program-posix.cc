// Running the program on POSIX systems.
#include "run_program.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>

#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "archive_writer.h"

namespace {

// Makes the descriptor the program's standard output writes to, and the
// one the test reads from (-1 when it reads a file).  Returns false when
// it cannot.
bool make_output(output_kind kind, int *child_end, int *parent_end) {
  int fds[2];
  *parent_end = -1;
  switch (kind) {
    case output_packets:
      if (socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds) != 0)
        return false;
      *parent_end = fds[0];
      *child_end = fds[1];
      return true;
    case output_closed_pipe:
      if (pipe(fds) != 0)
        return false;
      close(fds[0]);
      *child_end = fds[1];
      return true;
    case output_terminal: {
      // Raw, so that the terminal adds no CR of its own to the bytes.
      struct termios raw;
      cfmakeraw(&raw);
      if (openpty(&fds[0], &fds[1], nullptr, &raw, nullptr) != 0)
        return false;
      *parent_end = fds[0];
      *child_end = fds[1];
      return true;
    }
    case output_file:
      break;
  }
  return false;
}

// Everything the program writes to |fd| until it ends, keeping each
// read's size apart.
std::string read_all(int fd, std::vector<size_t> *sizes) {
  std::string s;
  char buf[65536];
  for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) {
    s.append(buf, size_t(n));
    sizes->push_back(size_t(n));
  }
  return s;
}

}  // namespace

run_result run_program(const std::string &program, const std::string &dir,
                       const run_options &options) {
  std::string out_path = options.stdout_path.empty() ? dir + "/../stdout"
                                                     : options.stdout_path;
  std::string err_path = dir + "/../stderr";
  run_result result;
  int child_end = -1, parent_end = -1;
  if (options.output != output_file &&
      !make_output(options.output, &child_end, &parent_end))
    return result;
  pid_t pid = fork();
  if (pid == 0) {
    int out = child_end >= 0
                  ? child_end
                  : open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = options.merge_streams
                  ? out
                  : open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
        chdir(dir.c_str()) != 0)
      _exit(127);
    if (parent_end >= 0)
      close(parent_end);
    // What a shell hands down, whatever the test runner's own settings.
    signal(SIGPIPE, SIG_DFL);
    signal(SIGXFSZ, SIG_DFL);
    if (options.file_size_limit >= 0) {
      struct rlimit limit;
      limit.rlim_cur = limit.rlim_max = rlim_t(options.file_size_limit);
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    for (const std::string &setting : options.environment)
      putenv(const_cast<char *>(setting.c_str()));
    alarm(60);  // a program that hangs fails its test instead of stalling it
    std::vector<char *> argv;
    for (const std::string &word : options.wrapper)
      argv.push_back(const_cast<char *>(word.c_str()));
    argv.push_back(const_cast<char *>(program.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  if (child_end >= 0)
    close(child_end);
  if (parent_end >= 0) {
    result.out = read_all(parent_end, &result.writes);
    close(parent_end);
  }
  int status;
  if (pid < 0 || waitpid(pid, &status, 0) != pid)
    return result;
  if (WIFEXITED(status))
    result.status = WEXITSTATUS(status);
  if (options.output == output_file)
    result.out = options.stdout_path.empty() ? read_file(out_path) : "";
  result.err = options.merge_streams ? "" : read_file(err_path);
  return result;
}

std::string make_temp_dir() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "veldor-test-XXXXXX").string();
  if (!mkdtemp(&pattern[0]))
    abort();
  return pattern;
}

void remove_temp_dir(const std::string &dir) {
  std::filesystem::remove_all(dir);
}
