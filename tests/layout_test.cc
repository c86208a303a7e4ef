// The archive layout: where images start and how long each entry is.
#include "layout.h"

#include "kit.h"

namespace {

class Layout : public StreamTest {};

TEST_F(Layout, AcceptsBmAtTheImageAreaAndNothingElse) {
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
    EXPECT_FALSE(stream_error(s));
    if (c.verdict == 0) {
      EXPECT_EQ(stream_tell(s), 0x5004);  // on the first entry
    }
  }
}

TEST_F(Layout, ComputesEntryLengthsFromThePixelCount) {
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
      EXPECT_EQ(stream_tell(s), 0);  // back on the signature
    }
  }
}

}  // namespace
