// Starting the program on POSIX systems.
#include "kit.h"

#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

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

}  // namespace

int spawn_program(const std::string &program, const std::string &dir,
                  const std::string &out_path, const std::string &err_path,
                  const run_options &options, run_result *result) {
  int child_end = -1, parent_end = -1;
  if (options.output != output_file &&
      !make_output(options.output, &child_end, &parent_end))
    return -1;
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
    struct rlimit size = {rlim_t(options.file_size_limit), rlim_t(options.file_size_limit)};
    struct rlimit files = {rlim_t(options.open_files_limit), rlim_t(options.open_files_limit)};
    if ((options.file_size_limit >= 0 && setrlimit(RLIMIT_FSIZE, &size) != 0) ||
        (options.open_files_limit >= 0 && setrlimit(RLIMIT_NOFILE, &files) != 0))
      _exit(127);
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
  // Everything the program writes until it ends, each read's size apart.
  char buf[65536];
  for (ssize_t n; parent_end >= 0 && (n = read(parent_end, buf, sizeof buf)) > 0;) {
    result->out.append(buf, size_t(n));
    result->writes.push_back(size_t(n));
  }
  if (parent_end >= 0)
    close(parent_end);
  int status;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
    return -1;
  return WEXITSTATUS(status);
}
