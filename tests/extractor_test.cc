// The core called directly: how archives are named and ordered, and one
// archive's extraction in the cases a directory search hands over rarely
// or never.
#include "extractor.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "archive_writer.h"
#include "run_program.h"
#include "search.h"

namespace fs = std::filesystem;

namespace {

// What the system says when an archive turns out to be a folder.
#ifdef _WIN32
const int no_such_archive = EACCES;
#else
const int no_such_archive = EINVAL;
#endif

TEST(ArchiveNames, AreTheIxfFilesInUpperCasedOrderAndNameTheirFolders) {
  EXPECT_EQ(archive_directory_name("CITY.IXF"), "CITY");
  EXPECT_EQ(archive_directory_name("a.b.c.ixf"), "a.b.c");  // the last dot
  EXPECT_EQ(archive_directory_name("NODOT"), "NODOT");
  for (const char *name : {".IXF", "..IXF", "...IXF"})  // "", "." and ".."
    EXPECT_EQ(archive_directory_name(name), "") << name;
  EXPECT_EQ(archive_directory_name("....IXF"), "...");
  for (const char *name : {"A.IXF", "a.ixf", ".IXF", "x.y.iXf"})
    EXPECT_TRUE(is_archive_name(name)) << name;
  for (const char *name : {"IXF", "A.IX", "A.IXF.BAK", "A_IXF", "A.IXG"})
    EXPECT_FALSE(is_archive_name(name)) << name;
  // Each name before the next, never the other way round.
  const char *const order[] = {"A.IXF",  "a.ixf", "a2.IXF", "AB.IXF",
                               "b.ixf",  "B1.IXF", "Z.IXF", "z.ixf",
                               "_.IXF",  "\xC3\x89.IXF"};
  for (size_t i = 0; i + 1 < sizeof order / sizeof *order; i++) {
    EXPECT_TRUE(archive_order(order[i], order[i + 1])) << order[i];
    EXPECT_FALSE(archive_order(order[i + 1], order[i])) << order[i];
    EXPECT_FALSE(archive_order(order[i], order[i])) << order[i];
  }
}

// A current directory of the test's own, left and removed at the end.
class InFolder : public testing::Test {
 protected:
  void SetUp() override {
    start_ = fs::current_path();
    dir_ = make_temp_dir();
    fs::current_path(dir_);
    // A text stream, as the console is: on Windows the runtime writes
    // each line feed as CR LF.
    console_ = fopen("console.txt", "w");
  }
  void TearDown() override {
    fclose(console_);
    fs::current_path(start_);
    remove_temp_dir(dir_);
  }
  std::string console_text() {
    fflush(console_);
    return read_file(dir_ + "/console.txt");
  }
  fs::path start_;
  std::string dir_;
  FILE *console_;
};

TEST_F(InFolder, FailsOnWhatCannotBeOpenedOrEntered) {
  std::string archive = make_archive({make_image(4, 4, 1)});
  struct {
    const char *name;
    const char *kind;  // what stands there: an archive, a folder, nothing
    int error;
  } cases[] = {
      {".IXF", "archive", ENOENT},  // a folder without a name
      {"..IXF", "archive", ENOENT},
      {"...IXF", "archive", ENOENT},
      {"MISSING.IXF", "nothing", ENOENT},
      {"DIR.IXF", "folder", no_such_archive},
  };
  std::string shown;
  for (const auto &c : cases) {
    if (std::string(c.kind) == "archive")
      write_file(c.name, archive);
    if (std::string(c.kind) == "folder")
      fs::create_directory(c.name);
    errno = 0;
    EXPECT_EQ(extract_archive(c.name, console_), 1) << c.name;
    EXPECT_EQ(errno, c.error) << c.name;
    EXPECT_EQ(fs::current_path(), fs::path(dir_)) << c.name;
    shown += "\r\nTraitement de " + (c.name + std::string(13, ' ')).substr(0, 13) + "...";
  }
  EXPECT_EQ(console_text(), shown);
  EXPECT_FALSE(fs::exists("DIR"));
  // A run claims its folders anew: those of an earlier one are reused.
  write_file("A.IXF", archive);
  for (int run = 0; run < 2; run++, begin_run())
    EXPECT_EQ(extract_archive("A.IXF", console_), 0) << run;
}

}  // namespace
