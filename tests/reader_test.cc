// The archive layout: where images start, how long each entry is, and the
// stream the reader walks, at the edges of its buffer and past 4 GiB.
#include "reader.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

#include "archive_writer.h"
#include "copy.h"
#include "platform.h"
#include "run_program.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

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
  // A stream on |bytes| through the program's own buffer, or through one
  // of |capacity| bytes read with |read|.
  archive_stream *open(const std::string &bytes, size_t capacity = 0,
                       archive_read_fn read = read_file) {
    std::string path = dir_ + "/" + std::to_string(open_.size());
    EXPECT_EQ(write_file(path, bytes), 0);
    return open_path(path, capacity, read);
  }
  archive_stream *open_path(const std::string &path, size_t capacity = 0,
                            archive_read_fn read = read_file) {
    open_.emplace_back();
    archive_stream *s = &open_.back();
    if (capacity == 0) {
      EXPECT_EQ(archive_open(s, path.c_str()), 0) << path;
    } else {
      buffers_.emplace_back(capacity);
      archive_attach(s, open_archive(path.c_str()), read,
                     buffers_.back().data(), capacity);
    }
    return s;
  }
  // Copies |length| bytes of |s| to a new file; what the file then holds.
  std::string copied(archive_stream *s, int32_t length, int expected = copy_done) {
    std::string out = dir_ + "/out";
    int fd = create_image_file(out.c_str());
    EXPECT_EQ(copy_entry(s, fd, length), expected);
    EXPECT_EQ(close_file(fd), 0);
    return read_file(out);
  }
  std::string dir_;
  std::vector<archive_stream> open_;
  std::vector<std::vector<unsigned char>> buffers_;
};

TEST_F(Reader, AcceptsBmAtTheImageAreaWhateverThePrefix) {
  std::string bytes = make_archive({make_image(4, 4, 1)});
  bytes.replace(0, 2, "BM");            // a prefix that looks like an image
  bytes[100] = 'X';
  archive_stream *s = open(bytes);
  EXPECT_EQ(verify_archive(s), 0);
  EXPECT_EQ(archive_tell(s), 0x5004);   // on the first entry
  EXPECT_EQ(verify_archive(open(std::string(prefix_size, '\0') + "BM")), 0);
}

TEST_F(Reader, RejectsShortAndWrongFiles) {
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
    archive_stream *s = open(bytes);
    EXPECT_EQ(verify_archive(s), 1) << "size " << bytes.size();
    EXPECT_FALSE(archive_error(s));
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

TEST_F(Reader, ReturnsForgedLengthsAsComputed) {
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
    archive_stream *s = open(c.bytes);
    EXPECT_EQ(read_entry_length(s), c.length) << c.bytes.size();
    if (c.length != end_of_images) {
      EXPECT_EQ(archive_tell(s), 0);
    }
  }
}

TEST_F(Reader, ReadsAnEntryPastFourGibibytes) {
  // A sparse file: nothing before the entry takes room on the disk.
  const int64_t at = (int64_t(1) << 32) + 12345;
  std::string path = dir_ + "/sparse";
  std::string image = make_image(2, 2, 9);
  ASSERT_EQ(write_sparse_file(path, at, image + "end"), 0);
  archive_stream *s = open_path(path);
  ASSERT_EQ(archive_seek(s, at), 0);
  EXPECT_EQ(read_entry_length(s), 68);
  EXPECT_EQ(archive_tell(s), at);
  EXPECT_EQ(copied(s, 68), image);
  EXPECT_EQ(read_entry_length(s), end_of_images);
}

// Reads as the platform does for 8000 bytes, then fails.
long failing_read(int fd, void *data, size_t size) {
  static int64_t given = 0;
  if (data == nullptr) {  // a new test
    given = 0;
    return 0;
  }
  if (given >= 8000) {
    errno = EIO;
    return -1;
  }
  size_t most = size_t(8000 - given);
  long n = read_file(fd, data, size < most ? size : most);
  given += n > 0 ? n : 0;
  return n;
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
  // What the archive has, within one buffer and past one.
  for (size_t size : {70000u, 700000u}) {
    s = open(bytes.substr(0, size));
    EXPECT_EQ(copied(s, 1000000, copy_cut_short).size(), size);
    EXPECT_FALSE(archive_error(s));
  }
}

TEST_F(Reader, FailsOnAReadError) {
  // The error comes in the middle of the image, 8000 bytes into it.
  std::string bytes = make_archive({make_image(64, 64, 1)});
  failing_read(0, nullptr, 0);
  archive_stream *s = open(bytes, 4096, failing_read);
  ASSERT_EQ(verify_archive(s), 0);
  ASSERT_EQ(read_entry_length(s), int32_t(64 * 64 * 3 + 56));
  errno = 0;
  std::string out = copied(s, 64 * 64 * 3 + 56, copy_failed);
  EXPECT_EQ(errno, EIO);
  EXPECT_TRUE(archive_error(s));
  EXPECT_TRUE(out == bytes.substr(0x5004, 8000)) << out.size();  // all it read
}

#ifndef _WIN32
TEST_F(Reader, FailsOnAWriteError) {
  int full = ::open("/dev/full", O_WRONLY);
  if (full < 0)
    GTEST_SKIP() << "no /dev/full here";
  for (int32_t length : {1000, 1500000}) {  // one write, several
    archive_stream *s = open(std::string(size_t(length), 'w'));
    errno = 0;
    EXPECT_EQ(copy_entry(s, full, length), copy_failed) << length;
    EXPECT_EQ(errno, ENOSPC) << length;
  }
  close(full);
}
#endif

}  // namespace
