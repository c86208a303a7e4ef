// Running the built program in a folder of its own, as a user would.
#ifndef VELDOR_TESTS_RUN_PROGRAM_H_
#define VELDOR_TESTS_RUN_PROGRAM_H_

#include <string>
#include <vector>

struct run_options {
  bool merge_streams = false;   // standard error into standard output
  long file_size_limit = -1;    // bytes a written file may reach; -1: none
  std::string stdout_path;      // standard output elsewhere, not read back
  std::vector<std::string> wrapper;  // runs the program as its last argument
};

struct run_result {
  int status = -1;   // exit status, or -1 when the program did not exit
  std::string out;   // standard output
  std::string err;   // standard error
};

/// Runs |program| with |dir| as its current directory, its output streams
/// going to the files "stdout" and "stderr" beside |dir| (so |dir| belongs
/// in a temporary directory of its own), and returns what it printed and
/// its exit status.
run_result run_program(const std::string &program, const std::string &dir,
                       const run_options &options = run_options());

/// A new empty directory under the system's temporary directory.
std::string make_temp_dir();

/// Removes a directory made by make_temp_dir, whatever the length of the
/// paths inside it.
void remove_temp_dir(const std::string &dir);

#endif  // VELDOR_TESTS_RUN_PROGRAM_H_
