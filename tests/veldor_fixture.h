// The end-to-end test fixture: the built program, run in a folder of its
// own, and the console text it is expected to print.
#ifndef VELDOR_TESTS_VELDOR_FIXTURE_H_
#define VELDOR_TESTS_VELDOR_FIXTURE_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "archive_writer.h"
#include "run_program.h"

namespace fs = std::filesystem;

inline const char banner_head[] =
    "Extracteur de fichiers BitMaP depuis des archives IXF\r\n"
    "Version 1.00 pour SimCity 3000\r\n"
    "par ";
inline const char done[] = "\r\nEx\x82" "cution achev\x82" "e.";
inline const char no_archive[] =
    "\r\nError (VELDOR.EXE): No such file or directory\r\n";
// What the system says when a plain file stands where a folder is entered.
inline const char not_a_directory[] = "\r\nError (VELDOR.EXE): "
#ifdef _WIN32
    "Invalid argument\r\n";
#else
    "Not a directory\r\n";
#endif

// A folder to run the program in, inside a temporary directory of its own.
class Veldor : public testing::Test {
 protected:
  void SetUp() override {
    root_ = make_temp_dir();
    work_ = root_ + "/work";
    fs::create_directory(work_);
  }
  void TearDown() override { remove_temp_dir(root_); }

  std::string path(const std::string &name) const { return work_ + "/" + name; }
  void put(const std::string &name, const std::string &bytes) {
    ASSERT_EQ(write_file(path(name), bytes), 0) << name;
  }
  std::string get(const std::string &name) const { return read_file(path(name)); }

  // Runs the program; checks and strips the banner and the line feed that
  // ends it, which every run prints.
  run_result run(const run_options &options = run_options()) {
    run_result r = run_program(program_, work_, options);
    std::string head = banner_head;
    size_t credit_end = std::min(r.out.find_first_of("\r\n", head.size()),
                                 r.out.size());
    EXPECT_EQ(r.out.substr(0, head.size()), head);
    EXPECT_EQ(r.out.substr(credit_end, 2), "\r\n");
    r.out.erase(0, credit_end + 2);
    return r;
  }

  std::string root_, work_;
  std::string program_ = VELDOR_PROGRAM;
};

// The console line of one archive as it stands after |count| images:
// the announcement, then each count written over it.
inline std::string progress(const std::string &padded_name, int count) {
  std::string line = "\r\nTraitement de " + padded_name + "...";
  for (int n = 1; n <= count; n++) {
    char tail[64];
    snprintf(tail, sizeof tail, "%3d fichier%s extrait%s.", n,
             n > 1 ? "s" : "", n > 1 ? "s" : "");
    line += "\rTraitement de " + padded_name + "..." + tail;
  }
  return line;
}

#endif  // VELDOR_TESTS_VELDOR_FIXTURE_H_
