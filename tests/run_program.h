// Running the built program in a folder of its own, as a user would.
#ifndef VELDOR_TESTS_RUN_PROGRAM_H_
#define VELDOR_TESTS_RUN_PROGRAM_H_

#include <cstddef>
#include <string>
#include <vector>

// Where the program's standard output goes.
enum output_kind {
  output_file,         // a file, read back
  output_packets,      // a socket that keeps each write apart (POSIX)
  output_closed_pipe,  // a pipe whose reader has gone (POSIX)
  output_terminal,     // a pseudo-terminal passing bytes unchanged (POSIX),
                       // or the test's own console, not read (Windows)
};

struct run_options {
  bool merge_streams = false;   // standard error into standard output
  long file_size_limit = -1;    // bytes a written file may reach; -1: none
  std::string stdout_path;      // standard output elsewhere, not read back
  output_kind output = output_file;
  long open_files_limit = -1;   // descriptors it may hold; -1: no limit (POSIX)
  bool stdin_closed = false;    // standard input closed, not inherited (POSIX)
  std::vector<std::string> environment;  // NAME=value, for the program only
  std::vector<std::string> wrapper;  // runs the program as its last argument (POSIX)
};

struct run_result {
  int status = -1;   // exit status, or -1 when the program did not exit
  std::string out;   // standard output
  std::string err;   // standard error
  std::vector<size_t> writes;  // the size of each write, with output_packets
};

/// Runs |program| with |dir| as its current directory, its output streams
/// going to the files "stdout" and "stderr" beside |dir| (so |dir| belongs
/// in a temporary directory of its own) or as |options| say, and returns
/// what it printed and its exit status.  Signals are at their defaults in
/// the program, as a shell leaves them.
run_result run_program(const std::string &program, const std::string &dir,
                       const run_options &options = run_options());

/// A new empty directory under the system's temporary directory.
std::string make_temp_dir();

/// Removes a directory made by make_temp_dir, whatever the length of the
/// paths inside it.
void remove_temp_dir(const std::string &dir);

#endif  // VELDOR_TESTS_RUN_PROGRAM_H_
