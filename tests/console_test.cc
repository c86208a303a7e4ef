// Console text on POSIX: line feeds out as CR LF, every other byte as it
// is, whatever the message's length; errno left for the fatal report.
#include "console.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace {

std::string written(FILE *f) {
  fflush(f);
  rewind(f);
  std::string s;
  for (int c; (c = getc(f)) != EOF;)
    s += char(c);
  return s;
}

TEST(ConsolePrintf, WritesLineFeedsAsCrLfAtAnyLength) {
  std::string line = "\nab\r\x82";
  std::string text, expected;
  for (int i = 0; i < 300; i++) {  // 1500 bytes, past every buffer
    text += line;
    expected += "\r\nab\r\x82";
  }
  FILE *f = tmpfile();
  errno = EACCES;
  EXPECT_EQ(console_printf(f, "%s|%3d\n", text.c_str(), 7), 0);
  EXPECT_EQ(errno, EACCES);
  EXPECT_EQ(written(f), expected + "|  7\r\n");
  fclose(f);
}

}  // namespace
