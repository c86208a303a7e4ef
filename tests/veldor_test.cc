// The built program, run in folders of archives as a user would run it.
#include <gtest/gtest.h>

#include <filesystem>
#include <cstring>

#include <sys/stat.h>

#include "archive_writer.h"
#include "run_program.h"

namespace fs = std::filesystem;

namespace {

const char banner_head[] =
    "Extracteur de fichiers BitMaP depuis des archives IXF\r\n"
    "Version 1.00 pour SimCity 3000\r\n"
    "par ";
const char done[] = "\r\nEx\x82" "cution achev\x82" "e.";
const char no_archive[] =
    "\r\nError (VELDOR.EXE): No such file or directory\r\n";

// A folder to run the program in, inside a temporary directory of its own.
class Veldor : public testing::Test {
 protected:
  void SetUp() override {
    root_ = make_temp_dir();
    work_ = root_ + "/work";
    fs::create_directory(work_);
  }
  void TearDown() override { fs::remove_all(root_); }

  std::string path(const std::string &name) const { return work_ + "/" + name; }
  void put(const std::string &name, const std::string &bytes) {
    ASSERT_EQ(write_file(path(name), bytes), 0) << name;
  }
  std::string get(const std::string &name) const { return read_file(path(name)); }

  // Runs the program; checks and strips the banner and the line feed that
  // ends it, which every run prints.
  run_result run(const run_options &options = run_options()) {
    run_result r = run_program(VELDOR_PROGRAM, work_, options);
    std::string head = banner_head;
    EXPECT_EQ(r.out.substr(0, head.size()), head);
    size_t credit_end = r.out.find("\r\n", head.size());
    EXPECT_NE(credit_end, std::string::npos);
    if (credit_end != std::string::npos) {
      EXPECT_EQ(r.out.find_first_of("\r\n", head.size()), credit_end);
      r.out.erase(0, credit_end + 2);
    }
    return r;
  }

  std::string root_, work_;
};

// The console line of one archive as it stands after |count| images:
// the announcement, then each count written over it.
std::string progress(const std::string &padded_name, int count) {
  std::string line = "\r\nTraitement de " + padded_name + "...";
  for (int n = 1; n <= count; n++) {
    char tail[64];
    snprintf(tail, sizeof tail, "%3d fichier%s extrait%s.", n,
             n > 1 ? "s" : "", n > 1 ? "s" : "");
    line += "\rTraitement de " + padded_name + "..." + tail;
  }
  return line;
}

TEST_F(Veldor, WritesTheConsoleBytesExactly) {
  put("A.IXF", make_archive({make_image(4, 4, 1), make_image(8, 4, 2)}));
  put("NOTES.IXF", "not an archive");
  run_result r = run();
  EXPECT_EQ(r.out,
            "\r\nTraitement de A.IXF        ..."
            "\rTraitement de A.IXF        ...  1 fichier extrait."
            "\rTraitement de A.IXF        ...  2 fichiers extraits."
            "\r\nTraitement de NOTES.IXF    ...Format de fichier incorrect."
            "\r\nEx\x82" "cution achev\x82" "e.");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
}

TEST_F(Veldor, CopiesEveryImageByteForByteIntoOneFolderPerArchive) {
  std::vector<std::string> city, park;
  for (int i = 0; i < 12; i++)
    city.push_back(make_image(4 * (i + 1), 3 + i, unsigned(i)));
  park.push_back(make_image(64, 64, 99));
  put("CITY.IXF", make_archive(city));
  put("park.ixf", make_archive(park) + "trailing bytes, not an image");
  put("readme.txt", "left alone");
  run_result r = run();
  EXPECT_EQ(r.status, 0);
  for (size_t i = 0; i < city.size(); i++) {
    char name[32];
    snprintf(name, sizeof name, "CITY/%08zu.BMP", i);
    EXPECT_EQ(get(name), city[i]) << name;
  }
  EXPECT_EQ(get("park/00000000.BMP"), park[0]);  // numbering restarts
  // Nothing but the images, and no folder for anything else.
  EXPECT_EQ(std::distance(fs::directory_iterator(path("CITY")), {}), 12);
  EXPECT_EQ(std::distance(fs::directory_iterator(path("park")), {}), 1);
  EXPECT_EQ(std::distance(fs::directory_iterator(work_), {}), 5);
}

TEST_F(Veldor, TakesArchivesInUpperCasedNameOrder) {
  // Byte order would put "B.IXF" before "a2.ixf".
  for (const char *name : {"B.IXF", "a2.ixf", "A.IXF", "c.Ixf"})
    put(name, make_archive({make_image(4, 4, 0)}));
  run_result r = run();
  size_t a = r.out.find("de A.IXF "), a2 = r.out.find("de a2.ixf "),
         b = r.out.find("de B.IXF "), c = r.out.find("de c.Ixf ");
  ASSERT_NE(c, std::string::npos);
  EXPECT_LT(a, a2);
  EXPECT_LT(a2, b);
  EXPECT_LT(b, c);
  EXPECT_EQ(get("c/00000000.BMP"), make_image(4, 4, 0));
}

TEST_F(Veldor, PadsShortNamesAndWritesLongNamesWhole) {
  std::string long_name = std::string(251, 'L') + ".IXF";  // 255 bytes
  put("ABCDEFGHI.IXF", make_archive({make_image(4, 4, 0)}));  // 13 exactly
  put(long_name, make_archive({make_image(4, 4, 0)}));
  put("X.V1.2.IXF", make_archive({make_image(4, 4, 0)}));
  run_result r = run();
  EXPECT_EQ(r.out, progress("ABCDEFGHI.IXF", 1) +
                       progress(long_name, 1) + progress("X.V1.2.IXF   ", 1) +
                       done);
  EXPECT_EQ(get(std::string(251, 'L') + "/00000000.BMP"), make_image(4, 4, 0));
  EXPECT_EQ(get("X.V1.2/00000000.BMP"), make_image(4, 4, 0));  // last dot only
  EXPECT_EQ(r.status, 0);
}

TEST_F(Veldor, CountsPastThreeColumns) {
  FILE *f = fopen(path("MANY.IXF").c_str(), "wb");
  ASSERT_EQ(write_archive(f, 1001, 4, 4), 0);
  fclose(f);
  run_result r = run();
  EXPECT_EQ(r.status, 0);
  std::string tail = "\rTraitement de MANY.IXF     ...1001 fichiers extraits.";
  EXPECT_EQ(r.out.substr(r.out.size() - tail.size() - strlen(done)),
            tail + done);
  EXPECT_EQ(get("MANY/00001000.BMP"), make_image(4, 4, 1000));
}

TEST_F(Veldor, ReportsAFolderWithoutArchives) {
  // Nothing here is a plain archive: a directory, hidden files, a FIFO, a
  // dangling link and a link to a directory all bear the name.
  fs::create_directory(path("DIR.IXF"));
  put(".HIDDEN.IXF", make_archive({make_image(4, 4, 0)}));
  put(".IXF", make_archive({make_image(4, 4, 0)}));
  ASSERT_EQ(mkfifo(path("PIPE.IXF").c_str(), 0644), 0);
  fs::create_symlink("nowhere", path("DANGLING.IXF"));
  fs::create_symlink("DIR.IXF", path("TODIR.IXF"));
  run_result r = run();
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, no_archive);
  EXPECT_EQ(r.status, 255);
  EXPECT_FALSE(fs::exists(path("HIDDEN")));
}

TEST_F(Veldor, FollowsALinkToAnArchive) {
  put("real.bin", make_archive({make_image(4, 4, 5)}));
  fs::create_symlink("real.bin", path("LINKED.IXF"));
  run_result r = run();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(get("LINKED/00000000.BMP"), make_image(4, 4, 5));
}

TEST_F(Veldor, RerunOverwritesImagesAndLeavesHigherNumbersAlone) {
  put("A.IXF", make_archive({make_image(4, 4, 1), make_image(4, 4, 2),
                             make_image(4, 4, 3)}));
  ASSERT_EQ(run().status, 0);
  put("A.IXF", make_archive({make_image(8, 8, 7)}));
  put("A/00000000.BMP", "stale");
  run_result r = run();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(get("A/00000000.BMP"), make_image(8, 8, 7));
  EXPECT_EQ(get("A/00000001.BMP"), make_image(4, 4, 2));
  EXPECT_EQ(get("A/00000002.BMP"), make_image(4, 4, 3));
}

TEST_F(Veldor, GivesAnArchiveWithoutImagesAnEmptyFolder) {
  put("EMPTY.IXF", std::string(prefix_size, '\0') + "BM");
  run_result r = run();
  EXPECT_EQ(r.out, progress("EMPTY.IXF    ", 0) + done);
  EXPECT_TRUE(fs::is_directory(path("EMPTY")));
  EXPECT_TRUE(fs::is_empty(path("EMPTY")));
}

TEST_F(Veldor, StopsAtAFileInTheFoldersPlace) {
  put("A.IXF", make_archive({make_image(4, 4, 1)}));
  put("B.IXF", make_archive({make_image(4, 4, 2)}));
  put("B", "a file, not a folder");
  put("C.IXF", make_archive({make_image(4, 4, 3)}));
  run_result r = run();
  EXPECT_EQ(r.out, progress("A.IXF        ", 1) +
                       progress("B.IXF        ", 0));
  EXPECT_EQ(r.err, "\r\nError (VELDOR.EXE): Not a directory\r\n");
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(get("A/00000000.BMP"), make_image(4, 4, 1));  // kept
  EXPECT_FALSE(fs::exists(path("C")));                   // never reached
}

// Departures from the original tool's behaviour, where it lost or invented
// data or could be led astray.

TEST_F(Veldor, EndsTheImageAreaAtAnEntryOfNoLength) {
  put("ZERO.IXF", make_archive({make_image(4, 4, 1)}) +
                      entry_header(int32_t(0xaaaaaa98u), 1) + "more");
  put("NEG.IXF", make_archive({make_image(4, 4, 2), entry_header(4, -100)}));
  run_result r = run();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, progress("NEG.IXF      ", 1) +
                       progress("ZERO.IXF     ", 1) + done);
  EXPECT_FALSE(fs::exists(path("ZERO/00000001.BMP")));
  EXPECT_FALSE(fs::exists(path("NEG/00000001.BMP")));
}

TEST_F(Veldor, WritesOnlyTheBytesACutShortEntryHas) {
  std::string first = make_image(4, 4, 1), second = make_image(16, 16, 2);
  put("CUT.IXF", make_archive({first, second.substr(0, 300)}));
  // 20000 x 20000 claims 1.2 GB in a 30 KB file.
  put("FORGED.IXF", make_archive({entry_header(20000, 20000) +
                                  std::string(10000, 'p')}));
  run_result r = run();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, progress("CUT.IXF      ", 2) +
                       progress("FORGED.IXF   ", 1) + done);
  EXPECT_EQ(get("CUT/00000000.BMP"), first);
  EXPECT_EQ(get("CUT/00000001.BMP"), second.substr(0, 300));
  EXPECT_EQ(fs::file_size(path("FORGED/00000000.BMP")), 26u + 10000u);
}

TEST_F(Veldor, ReportsAWriteThatFails) {
  // The second image of B outgrows the limit: copied through the buffer
  // at 64 x 64, by the kernel at 160 x 160.
  for (int32_t size : {64, 160}) {
    put("A.IXF", make_archive({make_image(4, 4, 1)}));
    put("B.IXF", make_archive({make_image(4, 4, 2), make_image(size, size, 3)}));
    run_options options;
    options.file_size_limit = 4096;
    run_result r = run(options);
    EXPECT_EQ(r.err, "\r\nError (VELDOR.EXE): File too large\r\n") << size;
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, progress("A.IXF        ", 1) + progress("B.IXF        ", 1));
    EXPECT_EQ(get("B/00000000.BMP"), make_image(4, 4, 2));
  }
}

TEST_F(Veldor, ComputesWrappedLengthsWithoutOverflow) {
  // 65536 x 65536 x 3 + 56 wraps to 56.
  std::string wrapped = entry_header(65536, 65536) + std::string(30, 'w');
  put("WRAP.IXF", make_archive({wrapped, make_image(4, 4, 1)}));
  run_result r = run();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(get("WRAP/00000000.BMP"), wrapped);
  EXPECT_EQ(get("WRAP/00000001.BMP"), make_image(4, 4, 1));
}

TEST_F(Veldor, ComesBackToItsFolderThroughALinkedArchiveFolder) {
  // ".." of the linked folder is elsewhere/deep, not the working folder.
  fs::create_directories(root_ + "/elsewhere/deep/target");
  fs::create_directory_symlink(root_ + "/elsewhere/deep/target", path("A"));
  put("A.IXF", make_archive({make_image(4, 4, 1)}));
  put("B.IXF", make_archive({make_image(4, 4, 2)}));
  run_result r = run();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_file(root_ + "/elsewhere/deep/target/00000000.BMP"),
            make_image(4, 4, 1));
  EXPECT_EQ(get("B/00000000.BMP"), make_image(4, 4, 2));
  EXPECT_FALSE(fs::exists(root_ + "/elsewhere/deep/B"));
}

TEST_F(Veldor, ReplacesWhatStandsInAnImageFilesPlace) {
  put("A.IXF", make_archive({make_image(4, 4, 1), make_image(4, 4, 2),
                             make_image(4, 4, 3)}));
  fs::create_directory(path("A"));
  write_file(root_ + "/victim", "precious");
  fs::create_symlink(root_ + "/victim", path("A/00000000.BMP"));
  fs::create_symlink(root_ + "/absent", path("A/00000001.BMP"));
  ASSERT_EQ(mkfifo(path("A/00000002.BMP").c_str(), 0644), 0);
  run_result r = run();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(read_file(root_ + "/victim"), "precious");
  EXPECT_FALSE(fs::exists(root_ + "/absent"));
  for (int i = 0; i < 3; i++) {
    std::string name = "A/0000000" + std::to_string(i) + ".BMP";
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(path(name)))) << name;
    EXPECT_EQ(get(name), make_image(4, 4, unsigned(i + 1))) << name;
  }
}

TEST_F(Veldor, PutsProgressBeforeTheReportInAMergedLog) {
  put("A.IXF", make_archive({make_image(4, 4, 1)}));
  put("B.IXF", make_archive({make_image(4, 4, 2)}));
  put("B", "in the way");
  run_options options;
  options.merge_streams = true;
  run_result r = run(options);
  EXPECT_EQ(r.out, progress("A.IXF        ", 1) +
                       progress("B.IXF        ", 0) +
                       "\r\nError (VELDOR.EXE): Not a directory\r\n");
  EXPECT_EQ(r.status, 255);
}


TEST_F(Veldor, ReportsAConsoleThatCannotBeWritten) {
  if (!fs::exists("/dev/full"))
    GTEST_SKIP() << "no /dev/full here";
  put("A.IXF", make_archive({make_image(4, 4, 1)}));
  run_options options;
  options.stdout_path = "/dev/full";
  run_result r = run_program(VELDOR_PROGRAM, work_, options);
  EXPECT_EQ(r.err, "\r\nError (VELDOR.EXE): No space left on device\r\n");
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(get("A/00000000.BMP"), make_image(4, 4, 1));
}

}  // namespace
