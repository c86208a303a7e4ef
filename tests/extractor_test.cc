// One archive's extraction called directly: its folder's name, and the
// cases a directory search hands over rarely or never.
#include "extractor.h"

#include <cerrno>

#include "kit.h"

namespace {

// What the system says when an archive turns out to be a folder.
const int no_such_archive = windows ? EACCES : EINVAL;

// The test's folder as the current one, left when the test ends.
class Extractor : public TempFolder {
 protected:
  void SetUp() override {
    TempFolder::SetUp();
    start_ = fs::current_path();
    fs::current_path(fs::u8path(work_));
    // A text stream, as the console is: on Windows the runtime writes
    // each line feed as CR LF.
    console_ = fopen("console.txt", "w");
  }
  void TearDown() override {
    fclose(console_);
    fs::current_path(start_);
    TempFolder::TearDown();
  }
  fs::path start_;
  FILE *console_;
};

TEST_F(Extractor, NamesTheFolderAfterTheArchive) {
  EXPECT_EQ(archive_directory_name("CITY.IXF"), "CITY");
  EXPECT_EQ(archive_directory_name("a.b.c.ixf"), "a.b.c");  // the last dot
  EXPECT_EQ(archive_directory_name("NODOT"), "NODOT");
  for (const char *name : {".IXF", "..IXF", "...IXF"})  // "", "." and ".."
    EXPECT_EQ(archive_directory_name(name), "") << name;
  EXPECT_EQ(archive_directory_name("....IXF"), "...");
}

TEST_F(Extractor, FailsOnWhatCannotBeOpenedOrEntered) {
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
      put(c.name, archive);
    if (std::string(c.kind) == "folder")
      fs::create_directory(path(c.name));
    errno = 0;
    EXPECT_EQ(extract_archive(c.name, console_), 1) << c.name;
    EXPECT_EQ(errno, c.error) << c.name;
    EXPECT_EQ(fs::current_path(), fs::u8path(work_)) << c.name;
    shown += progress(c.name, 0);
  }
  fflush(console_);
  EXPECT_EQ(get("console.txt"), shown);
  EXPECT_FALSE(fs::exists(path("DIR")));
  // A run claims its folders anew: those of an earlier one are reused.
  put("A.IXF", archive);
  for (int run = 0; run < 2; run++, begin_run())
    EXPECT_EQ(extract_archive("A.IXF", console_), 0) << run;
}

}  // namespace
