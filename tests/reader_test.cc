// The archive layout: where images start, how long each entry is, and the
// stream the reader walks, at the edges of its buffer and past 4 GiB.
#include "reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "archive_writer.h"
#include "copy.h"
#include "platform.h"
#include "run_program.h"

namespace {

// Archive streams on files of a temporary folder of the test's own.
class Reader : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = make_temp_dir();
    open_.reserve(64);  // streams are kept by address
  }
  void TearDown() override {
    for (archive_stream &s : open_)
      archive_close(&s);
    remove_temp_dir(dir_);
  }
  // A stream on a file of |bytes|, at |offset| of a sparse file, through
  // the program's own buffer or through one of |capacity| bytes.
  archive_stream *open(const std::string &bytes, size_t capacity = 0,
                       int64_t offset = 0) {
    std::string path = dir_ + "/" + std::to_string(open_.size());
    EXPECT_EQ(write_sparse_file(path, offset, bytes), 0);
    open_.emplace_back();
    archive_stream *s = &open_.back();
    memset(s, 0xA5, sizeof *s);  // as a stream on the stack starts
    if (capacity == 0) {
      EXPECT_EQ(archive_open(s, path.c_str()), 0) << path;
    } else {
      buffers_.emplace_back(capacity);
      archive_attach(s, open_archive(path.c_str()), buffers_.back().data(),
                     capacity);
    }
    return s;
  }
  // Copies |length| bytes of |s| to a new file; what the file then holds.
  std::string copied(archive_stream *s, int32_t length) {
    std::string out = dir_ + "/out";
    int fd = create_image_file(out.c_str());
    EXPECT_EQ(copy_entry(s, fd, length), 0);
    EXPECT_EQ(close_file(fd), 0);
    return read_file(out);
  }
  std::string dir_;
  std::vector<archive_stream> open_;
  std::vector<std::vector<unsigned char>> buffers_;
};

TEST_F(Reader, AcceptsBmAtTheImageAreaAndNothingElse) {
  std::string zeros(prefix_size, '\0');
  struct {
    std::string bytes;
    int verdict;
  } cases[] = {
      {"BM" + zeros.substr(2) + "BM", 0},  // a prefix that looks like an image
      {zeros + "BM", 0},
      {"", 1},
      {zeros, 1},                         // nothing at 0x5004
      {zeros + "B", 1},                   // one byte short
      {zeros + "MB", 1},
      {zeros + "BA", 1},
      {zeros + "bm", 1},
      {zeros.substr(1) + "BM", 1},        // one byte early
      {"BM" + zeros, 1},
  };
  for (const auto &c : cases) {
    archive_stream *s = open(c.bytes);
    EXPECT_EQ(verify_archive(s), c.verdict) << "size " << c.bytes.size();
    EXPECT_FALSE(archive_error(s));
    if (c.verdict == 0) {
      EXPECT_EQ(archive_tell(s), 0x5004);  // on the first entry
    }
  }
}

TEST_F(Reader, WalksAndCopiesTheEntriesThroughAnyBufferSize) {
  // 68, 104 and 152 bytes.  Small buffers put headers across refills and
  // the seek back before a refill's start; 104 and 103 hold the second
  // entry exactly and all but its last byte.
  std::vector<std::string> images = {make_image(2, 2, 1), make_image(4, 4, 2),
                                     make_image(8, 4, 3), make_image(2, 2, 4)};
  std::string bytes = make_archive(images) + "trailing bytes";
  for (size_t capacity : {26, 27, 33, 67, 68, 69, 103, 104, 105, 1000, 0}) {
    archive_stream *s = open(bytes, capacity);
    ASSERT_EQ(verify_archive(s), 0) << capacity;
    int64_t at = 0x5004;
    for (size_t i = 0; i < images.size(); i++) {
      ASSERT_EQ(read_entry_length(s), int32_t(images[i].size())) << capacity;
      EXPECT_EQ(archive_tell(s), at) << capacity;  // back on the signature
      EXPECT_EQ(copied(s, int32_t(images[i].size())), images[i])
          << capacity << " image " << i;
      at += int64_t(images[i].size());
    }
    EXPECT_EQ(read_entry_length(s), end_of_images) << capacity;
    EXPECT_FALSE(archive_error(s));
  }
}

TEST_F(Reader, ComputesEntryLengthsFromThePixelCount) {
  // Width x height x 3 + 56, the product wrapping modulo 2^32.
  struct {
    std::string bytes;
    int32_t length;
  } cases[] = {
      {entry_header(2, 2), 68},
      {entry_header(0, 480), 56},
      {entry_header(640, 0), 56},
      {entry_header(640, 480), 640 * 480 * 3 + 56},
      {entry_header(4, -100), -1144},
      {entry_header(65536, 65536), 56},
      {entry_header(INT32_MIN, -1), INT32_MIN + 56},
      {entry_header(INT32_MAX, 1), -2147483595},  // 0x80000035
      {entry_header(32768, 32768), -1073741768},  // 3 x 2^30 + 56
      {entry_header(int32_t(0xaaaaaa98u), 1), 0},
      {entry_header(-19, 1), end_of_images},  // computes to -1
      {entry_header(-3, 1), 47},
      {entry_header(-6, 1), 38},
      {entry_header(-17, 1), 5},              // shorter than its own header
      {entry_header(2, 2).substr(0, 25), end_of_images},  // header cut short
      {"B", end_of_images},
      {"BA" + entry_header(2, 2).substr(2), end_of_images},
  };
  for (const auto &c : cases) {
    archive_stream *s = open(c.bytes);
    EXPECT_EQ(read_entry_length(s), c.length) << c.bytes.size();
    if (c.length != end_of_images) {
      EXPECT_EQ(archive_tell(s), 0);  // back on the signature
    }
  }
}

TEST_F(Reader, ReadsAnEntryPastFourGibibytes) {
  // A sparse file: nothing before the entry takes room on the disk.
  const int64_t at = (int64_t(1) << 32) + 12345;
  std::string image = make_image(2, 2, 9);
  archive_stream *s = open(image + "end", 0, at);
  archive_seek(s, at);
  EXPECT_EQ(read_entry_length(s), 68);
  EXPECT_EQ(archive_tell(s), at);
  EXPECT_EQ(copied(s, 68), image);
  EXPECT_EQ(read_entry_length(s), end_of_images);
}

TEST_F(Reader, CopiesLargeAndCutShortEntriesThroughTheBuffer) {
  // 1.2 MB from an odd offset: three buffers' worth, none aligned.
  std::string bytes(1300000, '\0');
  for (size_t i = 0; i < bytes.size(); i++)
    bytes[i] = char(i * 7 % 251);
  archive_stream *s = open(bytes);
  archive_seek(s, 3);
  EXPECT_TRUE(copied(s, 1200001) == bytes.substr(3, 1200001));
  EXPECT_EQ(archive_tell(s), 1200004);  // the next entry starts right after
  archive_seek(s, 0);                   // back before the buffer's start
  EXPECT_EQ(copied(s, 1000), bytes.substr(0, 1000));
  // What the archive has, within one buffer and past one.
  for (size_t size : {70000u, 700000u}) {
    s = open(bytes.substr(0, size));
    EXPECT_EQ(copied(s, 1000000).size(), size);
    EXPECT_FALSE(archive_error(s));
  }
}

}  // namespace
