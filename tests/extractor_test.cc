// One archive's extraction, called directly: the cases that a directory
// search hands over rarely or never.
#include "extractor.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "archive_writer.h"
#include "run_program.h"

namespace fs = std::filesystem;

namespace {

// What the system says when asked to enter a folder with no name.
#ifdef _WIN32
const int no_such_folder = EINVAL;
#else
const int no_such_folder = ENOENT;
#endif

TEST(ArchiveDirectoryName, DropsTheLastExtensionOnly) {
  EXPECT_EQ(archive_directory_name("CITY.IXF"), "CITY");
  EXPECT_EQ(archive_directory_name("a.b.c.ixf"), "a.b.c");
  EXPECT_EQ(archive_directory_name("NODOT"), "NODOT");
  EXPECT_EQ(archive_directory_name(".IXF"), "");
  EXPECT_EQ(archive_directory_name("..IXF"), "");
  EXPECT_EQ(archive_directory_name("...IXF"), "");
  EXPECT_EQ(archive_directory_name("....IXF"), "...");
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

TEST_F(InFolder, FailsOnAnEmptyFolderName) {
  std::string archive = make_archive({make_image(4, 4, 1)});
  for (const char *name : {".IXF", "..IXF", "...IXF"}) {
    ASSERT_EQ(write_file(name, archive), 0);
    errno = 0;
    EXPECT_EQ(extract_archive(name, console_), 1) << name;
    EXPECT_EQ(errno, no_such_folder) << name;
    EXPECT_EQ(fs::current_path(), fs::path(dir_));
  }
  EXPECT_EQ(console_text(), "\r\nTraitement de .IXF         ..."
                            "\r\nTraitement de ..IXF        ..."
                            "\r\nTraitement de ...IXF       ...");
}

TEST_F(InFolder, RejectsWithoutAFolderAndGoesOn) {
  ASSERT_EQ(write_file("SHORT.IXF", std::string(prefix_size + 1, 'B')), 0);
  EXPECT_EQ(extract_archive("SHORT.IXF", console_), 0);
  EXPECT_FALSE(fs::exists("SHORT"));
  EXPECT_EQ(console_text(),
            "\r\nTraitement de SHORT.IXF    ...Format de fichier incorrect.");
}

TEST_F(InFolder, FailsOnWhatCannotBeOpenedOrRead) {
  errno = 0;
  EXPECT_EQ(extract_archive("MISSING.IXF", console_), 1);
  EXPECT_EQ(errno, ENOENT);
  fs::create_directory("DIR.IXF");
  EXPECT_EQ(extract_archive("DIR.IXF", console_), 1);
  EXPECT_FALSE(fs::exists("DIR"));
}

}  // namespace
