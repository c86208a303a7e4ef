// The archive stream: reads and seeks at the edges of its buffer and past
// 4 GiB, and images copied out of it whole or cut short.
#include "stream.h"

#include "filesys.h"
#include "image.h"
#include "kit.h"
#include "layout.h"

namespace {

class Stream : public StreamTest {
 protected:
  // Copies |length| bytes of |s| to a new file; what the file then holds.
  std::string copied(archive_stream *s, int32_t length) {
    std::string out = path("out");
    const file_id no_archive = {};
    fs_handle fd = image_create(out.c_str(), no_archive);
    EXPECT_EQ(stream_copy(s, fd, length), 0);
    EXPECT_EQ(fs_close(fd), 0);
    return load_file(out);
  }
};

TEST_F(Stream, WalksAndCopiesTheEntriesThroughAnyBufferSize) {
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
      EXPECT_EQ(stream_tell(s), at) << capacity;  // back on the signature
      EXPECT_EQ(copied(s, int32_t(images[i].size())), images[i])
          << capacity << " image " << i;
      at += int64_t(images[i].size());
    }
    EXPECT_EQ(read_entry_length(s), end_of_images) << capacity;
    EXPECT_FALSE(stream_error(s));
  }
}

TEST_F(Stream, ReadsAnEntryPastFourGibibytes) {
  // A sparse file: nothing before the entry takes room on the disk.
  const int64_t at = (int64_t(1) << 32) + 12345;
  std::string image = make_image(2, 2, 9);
  archive_stream *s = open(image + "end", 0, at);
  stream_seek(s, at);
  EXPECT_EQ(read_entry_length(s), 68);
  EXPECT_EQ(stream_tell(s), at);
  EXPECT_EQ(copied(s, 68), image);
  EXPECT_EQ(read_entry_length(s), end_of_images);
}

TEST_F(Stream, CopiesLargeAndCutShortEntriesThroughTheBuffer) {
  // 1.2 MB from an odd offset: three buffers' worth, none aligned.
  std::string bytes(1300000, '\0');
  for (size_t i = 0; i < bytes.size(); i++)
    bytes[i] = char(i * 7 % 251);
  archive_stream *s = open(bytes);
  stream_seek(s, 3);
  EXPECT_TRUE(copied(s, 1200001) == bytes.substr(3, 1200001));
  EXPECT_EQ(stream_tell(s), 1200004);  // the next entry starts right after
  stream_seek(s, 0);                   // back before the buffer's start
  EXPECT_EQ(copied(s, 1000), bytes.substr(0, 1000));
  // What the archive has, within one buffer and past one.
  for (size_t size : {70000u, 700000u}) {
    s = open(bytes.substr(0, size));
    EXPECT_EQ(copied(s, 1000000).size(), size);
    EXPECT_FALSE(stream_error(s));
  }
}

}  // namespace
