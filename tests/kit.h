// The test kit: what the tests share on every platform.  A folder of the
// test's own, the built program run in it as a user would run it, and the
// text that the program is expected to print.
#ifndef VELDOR_TESTS_KIT_H_
#define VELDOR_TESTS_KIT_H_

#include <gtest/gtest.h>

#include <cstddef>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "archives.h"
#include "stream.h"

namespace fs = std::filesystem;

/// True for the Windows build, whose system says some things otherwise:
/// the one system whose paths are written with backslashes.
inline constexpr bool windows = fs::path::preferred_separator == '\\';

/// |path| as Windows must be given it to take any name for a file's, a
/// device's too ("\\?\C:\...\AUX.IXF"); |path| itself elsewhere.
std::string verbatim_path(const std::string &path);

/// Where the program's standard output goes.
enum output_kind {
  output_file,         // a file, read back
  output_packets,      // a socket that keeps each write apart (POSIX)
  output_closed_pipe,  // a pipe whose reader has gone (POSIX)
  output_terminal,     // a pseudo-terminal passing bytes unchanged (POSIX),
                       // or the test's own console, not read (Windows)
};

/// How the program is run.  The Windows runner fails a test that asks it
/// for what it cannot do: the options marked POSIX.
struct run_options {
  bool merge_streams = false;   // standard error into standard output
  long file_size_limit = -1;    // bytes a written file may reach; -1: none (POSIX)
  std::string stdout_path;      // standard output elsewhere, not read back
  output_kind output = output_file;
  long open_files_limit = -1;   // descriptors it may hold; -1: no limit (POSIX)
  bool stdin_closed = false;    // no standard input at all
  std::vector<std::string> environment;  // NAME=value, for the program only
  std::vector<std::string> wrapper;  // runs the program as its last argument (POSIX)
};

struct run_result {
  int status = -1;   // exit status, low 8 bits, or -1 when it did not exit
  std::string out;   // standard output
  std::string err;   // standard error
  std::vector<size_t> writes;  // the size of each write, with output_packets
};

/// Runs |program| in folder |dir|, its output streams going to the files
/// "stdout" and "stderr" beside |dir| (so |dir| belongs in a temporary
/// folder of its own) or as |options| say, and returns what it printed and
/// its exit status.  Signals are at their defaults in the program, as a
/// shell leaves them.
run_result run_program(const std::string &program, const std::string &dir,
                       const run_options &options = run_options());

/// The platform's part of run_program: starts |program| in |dir| with its
/// standard output and error in the files named, and waits for it.
/// Returns its status, or -1.
int spawn_program(const std::string &program, const std::string &dir,
                  const std::string &out_path, const std::string &err_path,
                  const run_options &options, run_result *result);

/// The banner up to its credit, and the completion message, as written to
/// a file.
inline const char banner_head[] =
    "Extracteur de fichiers BitMaP depuis des archives IXF\r\n"
    "Version 1.00 pour SimCity 3000\r\npar ";
inline const char done[] = "\r\nEx\x82" "cution achev\x82" "e.";

/// The fatal report of |message|.
inline std::string report(const std::string &message) {
  return "\r\nError (VELDOR.EXE): " + message + "\r\n";
}

/// The console line of archive |name| as it stands after |count| images:
/// the announcement, then each count written over it.  |name| is padded to
/// 13 bytes, as a file receives it; a terminal's is given padded.
std::string progress(const std::string &name, int count);

/// A folder of the test's own, "work" in a temporary folder, removed with
/// all it holds when the test ends.
class TempFolder : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string path(const std::string &name) const { return work_ + "/" + name; }
  void put(const std::string &name, const std::string &bytes) {
    ASSERT_EQ(save_file(path(name), bytes), 0) << name;
  }
  std::string get(const std::string &name) const { return load_file(path(name)); }

  std::string root_, work_;
};

/// Archive streams on files of the folder, closed when the test ends.
class StreamTest : public TempFolder {
 protected:
  void TearDown() override;

  /// A stream on a new file of |bytes|, at |offset| of a sparse file,
  /// through the program's own buffer or through one of |capacity| bytes.
  archive_stream *open(const std::string &bytes, size_t capacity = 0,
                       int64_t offset = 0);

  std::deque<archive_stream> open_;  // streams are kept by address
  std::vector<std::vector<unsigned char>> buffers_;
};

/// The built program, run in the folder.
class ProgramTest : public TempFolder {
 protected:
  /// Runs the program; checks and strips the banner and the line feed that
  /// ends it, which every run prints.
  run_result run(const run_options &options = run_options());

  /// The built program, or the one VELDOR_TEST_PROGRAM names (tests/wasi-run
  /// runs veldor.wasm so).
  std::string program_ = getenv("VELDOR_TEST_PROGRAM") ? getenv("VELDOR_TEST_PROGRAM") : VELDOR_PROGRAM;
};

#endif  // VELDOR_TESTS_KIT_H_
