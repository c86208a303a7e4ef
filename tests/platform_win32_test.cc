// The Windows layer's own decision: when a double-clicked veldor waits.
#include "platform-win32.h"

#include <gtest/gtest.h>

namespace {

TEST(WaitsForKey, OnlyAloneInAVisibleConsoleOfItsOwn) {
  struct {
    unsigned long processes;
    bool input, output, visible, waits;
  } cases[] = {
      {1, true, true, true, true},    // double-clicked in Explorer
      {2, true, true, true, false},   // started from cmd or PowerShell
      {1, false, true, true, false},  // input redirected
      {1, true, false, true, false},  // output redirected
      {1, true, true, false, false},  // a hidden console: a task, Wine
      {0, true, true, true, false},   // the process list unknown
  };
  for (const auto &c : cases)
    EXPECT_EQ(waits_for_key(c.processes, c.input, c.output, c.visible), c.waits)
        << c.processes << c.input << c.output << c.visible;
}

}  // namespace
