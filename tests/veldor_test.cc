// The built program, run in folders of archives as a user would run it.
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

#include "veldor_fixture.h"

namespace {

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
  run_result r = run();
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, no_archive);
  EXPECT_EQ(r.status, 255);

  // Nothing here is a plain archive, though all bear the name.
  fs::create_directory(path("DIR.IXF"));
  put(".HIDDEN.IXF", make_archive({make_image(4, 4, 0)}));
  put("IXF", make_archive({make_image(4, 4, 0)}));
  put("A.IXF.BAK", make_archive({make_image(4, 4, 0)}));
  r = run();
  EXPECT_EQ(r.err, no_archive);
  EXPECT_EQ(r.status, 255);
  EXPECT_FALSE(fs::exists(path("HIDDEN")));
}

TEST_F(Veldor, TakesDotIxfForAnArchiveWhereItIsNotHidden) {
  put(".IXF", make_archive({make_image(4, 4, 0)}));
#ifdef _WIN32
  std::wstring name = fs::u8path(path(".IXF")).wstring();
  SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (GetFileAttributesW(name.c_str()) & FILE_ATTRIBUTE_HIDDEN)
    GTEST_SKIP() << "dot files are hidden here (Wine)";
#endif
  run_result r = run();
  EXPECT_EQ(r.status, 255);
#ifdef _WIN32
  // Its folder would have no name: neither made nor entered.
  EXPECT_EQ(r.out, progress(".IXF         ", 0));
  EXPECT_EQ(r.err, "\r\nError (VELDOR.EXE): Invalid argument\r\n");
#else
  EXPECT_EQ(r.err, no_archive);  // a dot file, hidden
#endif
}

TEST_F(Veldor, StopsBeforeASecondArchiveWritesIntoTheSameFolder) {
  // Two names of one folder: "A" twice, or "A." that Windows trims to "A".
  // Folders from an earlier run, by contrast, are reused.
#ifdef _WIN32
  const std::string first = "A..IXF", second = "A.IXF";
#else
  const std::string first = "A.IXF", second = "A.ixf";
#endif
  put(first, make_archive({make_image(4, 4, 1), make_image(4, 4, 2)}));
  put(second, make_archive({make_image(8, 8, 3)}));
  run_result r = run();
  EXPECT_EQ(r.out, progress((first + std::string(13, ' ')).substr(0, 13), 2) +
                       progress((second + std::string(13, ' ')).substr(0, 13), 0));
  EXPECT_EQ(r.err, "\r\nError (VELDOR.EXE): File exists\r\n");
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(get("A/00000000.BMP"), make_image(4, 4, 1));
  EXPECT_EQ(get("A/00000001.BMP"), make_image(4, 4, 2));
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
  EXPECT_EQ(r.err, not_a_directory);
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(get("A/00000000.BMP"), make_image(4, 4, 1));  // kept
  EXPECT_FALSE(fs::exists(path("C")));                   // never reached
}

TEST_F(Veldor, ComesBackToItsFolderWhateverItsName) {
  // Windows' ANSI code page would make "Lodz" with an acute o of the first
  // folder's name: the way back must not lead there.
  std::string here = root_ + "/\xC5\x81\xC3\xB3" "d\xC5\xBA";  // Łódź
  std::string lookalike = root_ + "/L\xC3\xB3" "dz";
  fs::create_directory(fs::u8path(here));
  fs::create_directory(fs::u8path(lookalike));
  ASSERT_EQ(write_file(here + "/CITY.IXF", make_archive({make_image(4, 4, 1)})), 0);
  ASSERT_EQ(write_file(here + "/ZZZ.IXF", make_archive({make_image(4, 4, 2)})), 0);
  ASSERT_EQ(write_file(lookalike + "/ZZZ.IXF", make_archive({make_image(4, 4, 3)})), 0);
  run_result r = run_program(program_, here);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_file(here + "/ZZZ/00000000.BMP"), make_image(4, 4, 2));
  EXPECT_FALSE(fs::exists(fs::u8path(lookalike + "/ZZZ")));
}

TEST_F(Veldor, ExtractsArchivesNamedInAnyScript) {
  const std::string latin = "\xC3\x89t\xC3\xA9";    // Été
  const std::string japanese = "\xE6\x97\xA5\xE6\x9C\xAC";  // 日本
  put(latin + ".IXF", make_archive({make_image(4, 4, 1)}));
  put(japanese + ".IXF", make_archive({make_image(4, 4, 2)}));
  run_result r = run();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(get(latin + "/00000000.BMP"), make_image(4, 4, 1));
  EXPECT_EQ(get(japanese + "/00000000.BMP"), make_image(4, 4, 2));
#ifdef _WIN32
  // In the DOS code page, like the text around them; "?" for what it
  // cannot hold.
  EXPECT_EQ(r.out, progress("\x90t\x82.IXF      ", 1) +
                       progress("??.IXF       ", 1) + done);
#else
  EXPECT_EQ(r.out, progress(latin + ".IXF    ", 1) +
                       progress(japanese + ".IXF   ", 1) + done);
#endif
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

TEST_F(Veldor, ComputesWrappedLengthsWithoutOverflow) {
  // 65536 x 65536 x 3 + 56 wraps to 56.
  std::string wrapped = entry_header(65536, 65536) + std::string(30, 'w');
  put("WRAP.IXF", make_archive({wrapped, make_image(4, 4, 1)}));
  run_result r = run();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(get("WRAP/00000000.BMP"), wrapped);
  EXPECT_EQ(get("WRAP/00000001.BMP"), make_image(4, 4, 1));
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
                       not_a_directory);
  EXPECT_EQ(r.status, 255);
}


}  // namespace
