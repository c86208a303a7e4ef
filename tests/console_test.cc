// Console text on POSIX: line feeds out as CR LF, every other byte as it
// is, whatever the message's length; each message in one write on an
// unbuffered console; errno left for the fatal report.
#include "console.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include <sys/socket.h>
#include <unistd.h>

namespace {

TEST(ConsolePrintf, WritesLineFeedsAsCrLfAndEachMessageInOneWrite) {
  std::string text, expected;
  for (int i = 0; i < 300; i++) {  // 1800 bytes, 2400 written
    text += "\n\nab\r\x82";
    expected += "\r\n\r\nab\r\x82";
  }
  // Unbuffered, as on a terminal; a packet socket keeps each write apart.
  int fds[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds), 0);
  FILE *f = fdopen(fds[1], "w");
  setvbuf(f, nullptr, _IONBF, 0);
  errno = EACCES;
  console_printf(f, "%s|%3d\n", text.c_str(), 7);
  EXPECT_EQ(errno, EACCES);
  fclose(f);
  // A failure is noted for the report, with the errno it left.
  console_printf(stdin, "x");  // a stream to read
  EXPECT_EQ(console_error(), EBADF);
  char packet[4096];  // the first write
  ssize_t n = read(fds[0], packet, sizeof packet);
  close(fds[0]);
  EXPECT_EQ(std::string(packet, size_t(n > 0 ? n : 0)), expected + "|  7\r\n");
}

}  // namespace
