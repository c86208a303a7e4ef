// Running the program on POSIX systems.
#include "run_program.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "archive_writer.h"

run_result run_program(const std::string &program, const std::string &dir,
                       const run_options &options) {
  std::string out_path = options.stdout_path.empty() ? dir + "/../stdout"
                                                     : options.stdout_path;
  std::string err_path = dir + "/../stderr";
  run_result result;
  pid_t pid = fork();
  if (pid == 0) {
    int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = options.merge_streams
                  ? out
                  : open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
        chdir(dir.c_str()) != 0)
      _exit(127);
    if (options.file_size_limit >= 0) {
      // Ignored, the signal leaves the failing write to report EFBIG.
      signal(SIGXFSZ, SIG_IGN);
      struct rlimit limit;
      limit.rlim_cur = limit.rlim_max = rlim_t(options.file_size_limit);
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    alarm(60);  // a program that hangs fails its test instead of stalling it
    std::vector<char *> argv;
    for (const std::string &word : options.wrapper)
      argv.push_back(const_cast<char *>(word.c_str()));
    argv.push_back(const_cast<char *>(program.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status;
  if (pid < 0 || waitpid(pid, &status, 0) != pid)
    return result;
  if (WIFEXITED(status))
    result.status = WEXITSTATUS(status);
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
