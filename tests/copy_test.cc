// Copying one entry: across blocks, from archives that end early or fail,
// into files that fail.
#include "copy.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Writes |size| patterned bytes to a new temporary stream, rewound.
FILE *stream_of(size_t size) {
  FILE *f = tmpfile();
  for (size_t i = 0; i < size; i++)
    putc(int(i * 7 % 251), f);
  rewind(f);
  return f;
}

std::string contents(int fd) {
  std::string s;
  char buf[4096];
  lseek(fd, 0, SEEK_SET);
  for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;)
    s.append(buf, size_t(n));
  return s;
}

TEST(CopyEntry, CopiesExactlyTheLengthAcrossBlocks) {
  FILE *in = stream_of(1300000);
  FILE *out = tmpfile();
  fseek(in, 3, SEEK_SET);
  EXPECT_EQ(copy_entry(in, fileno(out), 1200001), copy_done);
  EXPECT_EQ(ftell(in), 1200004);  // the next entry starts right after
  std::string copied = contents(fileno(out));
  ASSERT_EQ(copied.size(), 1200001u);
  for (size_t i = 0; i < copied.size(); i++)
    ASSERT_EQ(copied[i], char((i + 3) * 7 % 251)) << i;
  fclose(in);
  fclose(out);
}

TEST(CopyEntry, KeepsWhatACutShortArchiveHas) {
  for (size_t size : {70000u, 700000u}) {  // within one block, past one
    FILE *in = stream_of(size);
    FILE *out = tmpfile();
    EXPECT_EQ(copy_entry(in, fileno(out), 1000000), copy_cut_short);
    EXPECT_EQ(contents(fileno(out)).size(), size);
    fclose(in);
    fclose(out);
  }
}

// A stream whose reads give 5000 bytes, then an I/O error.
ssize_t failing_read(void *cookie, char *buf, size_t size) {
  size_t *left = static_cast<size_t *>(cookie);
  if (*left == 0) {
    errno = EIO;
    return -1;
  }
  size_t n = size < *left ? size : *left;
  memset(buf, 'r', n);
  *left -= n;
  return ssize_t(n);
}

TEST(CopyEntry, FailsOnAReadError) {
  size_t left = 5000;
  cookie_io_functions_t io = {failing_read, nullptr, nullptr, nullptr};
  FILE *in = fopencookie(&left, "rb", io);
  FILE *out = tmpfile();
  errno = 0;
  EXPECT_EQ(copy_entry(in, fileno(out), 100000), copy_failed);
  EXPECT_EQ(errno, EIO);
  fclose(in);
  fclose(out);
}

TEST(CopyEntry, FailsOnAWriteError) {
  int full = open("/dev/full", O_WRONLY);
  if (full < 0)
    GTEST_SKIP() << "no /dev/full here";
  for (int32_t length : {1000, 1500000}) {  // one write, several
    FILE *in = stream_of(size_t(length));
    errno = 0;
    EXPECT_EQ(copy_entry(in, full, length), copy_failed) << length;
    EXPECT_EQ(errno, ENOSPC) << length;
    fclose(in);
  }
  close(full);
}

}  // namespace
