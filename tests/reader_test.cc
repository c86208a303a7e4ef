// The archive layout: where images start, how long each entry is.
#include "reader.h"

#include <gtest/gtest.h>

#include "archive_writer.h"

namespace {

// An unnamed temporary file holding |bytes|, positioned at its start.
FILE *archive_of(const std::string &bytes) {
  FILE *f = tmpfile();
  fwrite(bytes.data(), 1, bytes.size(), f);
  rewind(f);
  return f;
}

TEST(VerifyArchive, AcceptsBmAtTheImageAreaWhateverThePrefix) {
  std::string bytes = make_archive({make_image(4, 4, 1)});
  bytes.replace(0, 2, "BM");            // a prefix that looks like an image
  bytes[100] = 'X';
  FILE *f = archive_of(bytes);
  EXPECT_EQ(verify_archive(f), 0);
  EXPECT_EQ(ftell(f), 0x5004);          // on the first entry
  fclose(f);

  f = archive_of(std::string(prefix_size, '\0') + "BM");
  EXPECT_EQ(verify_archive(f), 0);
  fclose(f);
}

TEST(VerifyArchive, RejectsShortAndWrongFiles) {
  const std::string cases[] = {
      "",
      std::string(prefix_size, '\0'),              // nothing at 0x5004
      std::string(prefix_size, '\0') + "B",        // one byte short
      std::string(prefix_size, '\0') + "MB",
      std::string(prefix_size, '\0') + "bm",
      std::string(prefix_size - 1, '\0') + "BM",   // one byte early
      "BM" + std::string(prefix_size, '\0'),
  };
  for (const std::string &bytes : cases) {
    FILE *f = archive_of(bytes);
    EXPECT_EQ(verify_archive(f), 1) << "size " << bytes.size();
    fclose(f);
  }
}

TEST(EntryLength, FollowsThePixelCountRule) {
  EXPECT_EQ(entry_length(2, 2), 68);
  EXPECT_EQ(entry_length(0, 480), 56);
  EXPECT_EQ(entry_length(640, 0), 56);
  EXPECT_EQ(entry_length(640, 480), 640 * 480 * 3 + 56);
  EXPECT_EQ(entry_length(4, -100), -1144);
  // The product wraps modulo 2^32.
  EXPECT_EQ(entry_length(65536, 65536), 56);
  EXPECT_EQ(entry_length(INT32_MIN, -1), INT32_MIN + 56);
  EXPECT_EQ(entry_length(32768, 32768), -1073741768);  // 3 x 2^30 + 56
  EXPECT_EQ(entry_length(-19, 1), -1);
  EXPECT_EQ(entry_length(int32_t(0xaaaaaa98u), 1), 0);
}

TEST(ReadEntryLength, WalksTheEntriesAndEndsAtTheFirstNonImage) {
  std::string image1 = make_image(2, 2, 1), image2 = make_image(8, 4, 2);
  FILE *f = archive_of(make_archive({image1, image2}) + "trailing bytes");
  ASSERT_EQ(verify_archive(f), 0);
  EXPECT_EQ(read_entry_length(f), 68);
  EXPECT_EQ(ftell(f), 0x5004);  // back on the signature, ready to copy
  fseek(f, 68, SEEK_CUR);
  EXPECT_EQ(read_entry_length(f), 8 * 4 * 3 + 56);
  EXPECT_EQ(ftell(f), 0x5004 + 68);
  fseek(f, long(image2.size()), SEEK_CUR);
  EXPECT_EQ(read_entry_length(f), end_of_images);
  fclose(f);
}

TEST(ReadEntryLength, EndsAtTheEndOfTheFile) {
  FILE *f = archive_of(make_archive({make_image(4, 4, 1)}));
  ASSERT_EQ(verify_archive(f), 0);
  EXPECT_EQ(read_entry_length(f), 4 * 4 * 3 + 56);
  fseek(f, 4 * 4 * 3 + 56, SEEK_CUR);
  EXPECT_EQ(read_entry_length(f), end_of_images);
  EXPECT_FALSE(ferror(f));
  fclose(f);
}

TEST(ReadEntryLength, ReturnsForgedLengthsAsComputed) {
  struct {
    std::string bytes;
    int32_t length;
  } cases[] = {
      {entry_header(4, -100), -1144},
      {entry_header(-19, 1), end_of_images},  // computes to -1
      {entry_header(-3, 1), 47},
      {entry_header(-6, 1), 38},
      {entry_header(-17, 1), 5},              // shorter than its own header
      {entry_header(2, 2).substr(0, 25), end_of_images},  // header cut short
      {"B", end_of_images},
  };
  for (const auto &c : cases) {
    FILE *f = archive_of(c.bytes);
    EXPECT_EQ(read_entry_length(f), c.length) << c.bytes.size();
    if (c.length != end_of_images) {
      EXPECT_EQ(ftell(f), 0);
    }
    fclose(f);
  }
}

}  // namespace
