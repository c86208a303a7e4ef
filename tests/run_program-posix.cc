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
// one the test reads from (-1 when there is none).  Returns false when it
// cannot.
bool make_output(output_kind kind, int *child_end, int *parent_end) {
  int fds[2];
  struct termios raw;  // a terminal that adds no CR of its own
  cfmakeraw(&raw);
  bool made = kind == output_packets ? socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds) == 0
              : kind == output_closed_pipe ? pipe(fds) == 0
              : openpty(&fds[0], &fds[1], nullptr, &raw, nullptr) == 0;
  if (made && kind == output_closed_pipe)
    close(fds[0]);
  *parent_end = made && kind != output_closed_pipe ? fds[0] : -1;
  *child_end = fds[1];
  return made;
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
    // What a shell hands down: the three standard streams, no other
    // descriptor, signals at their defaults.
    for (int fd = 3; fd < 1024; fd++)
      close(fd);
    signal(SIGPIPE, SIG_DFL);
    signal(SIGXFSZ, SIG_DFL);
    struct rlimit limit;
    limit.rlim_cur = limit.rlim_max = rlim_t(options.file_size_limit);
    if (options.file_size_limit >= 0)
      setrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = limit.rlim_max = rlim_t(options.open_files_limit);
    if (options.open_files_limit >= 0)
      setrlimit(RLIMIT_NOFILE, &limit);
    if (options.stdin_closed)
      close(0);
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
