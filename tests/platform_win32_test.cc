// The Windows layer's own decisions: which bytes are a name it can pass
// on, what a console shows, and when a double-clicked veldor waits.
#include "platform-win32.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <thread>

#include <windows.h>

#include "platform.h"

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

TEST(WideNames, RefuseBytesThatAreNoUtf8) {
  const char *const names[] = {
      "\x80", "\xC3", "a\xC3(", "\xE6\x97", "\xC0\xAF", "\xC1\xBF",
      "\xE0\x80\xAF", "\xF0\x80\x80\xAF",  // overlong
      "\xF4\x90\x80\x80",                  // past U+10FFFF
      "\xF5\x80\x80\x80", "\xFF",
  };
  int (*const calls[])(const char *) = {open_archive, make_directory,
                                        enter_directory, create_image_file};
  for (const char *name : names) {
    for (auto call : calls) {
      errno = 0;
      EXPECT_EQ(call(name), -1) << name;
      EXPECT_EQ(errno, EINVAL) << name;
    }
    EXPECT_EQ(console_name(stdout, name), name);  // shown as it is
  }
}

TEST(WindowsLayer, ReportsWritesThatFail) {
  EXPECT_EQ(write_image_data(-1, "x", 1), -1);
  EXPECT_EQ(write_console(stdin, "x", 1), -1);  // a stream to read
}

// In a console of the test's own: tests/CMakeLists.txt runs these under a
// pseudo-terminal, where Wine gives the program one.
class WindowsConsole : public testing::Test {
  void SetUp() override {
    DWORD mode;
    bool console = GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode);
    if (!console && !getenv("VELDOR_CONSOLE_EXPECTED"))
      GTEST_SKIP() << "standard output is no console here";
    ASSERT_TRUE(console);
    setup_console();
  }
};

TEST_F(WindowsConsole, ShowsTextAndNamesInTheConsolesCodePage) {
  EXPECT_TRUE(console_is_terminal(stdout));
  struct {
    UINT code_page;
    const char *text, *name;  // "Exécution", "Été"
  } cases[] = {
      {850, "Ex\x82" "cution", "\x90t\x82"},
      {1252, "Ex\xE9" "cution", "\xC9t\xE9"},
      {65001, "Ex\xC3\xA9" "cution", "\xC3\x89t\xC3\xA9"},
  };
  for (const auto &c : cases) {
    ASSERT_TRUE(SetConsoleOutputCP(c.code_page)) << c.code_page;
    std::string converted;
    EXPECT_STREQ(console_text(stdout, "Ex\x82" "cution", &converted), c.text);
    EXPECT_EQ(console_name(stdout, "\xC3\x89t\xC3\xA9"), c.name) << c.code_page;
  }
}

TEST_F(WindowsConsole, WaitsForAKeyPressedAfterThePrompt) {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  auto press = [input](wchar_t key) {
    INPUT_RECORD event = {KEY_EVENT, {{TRUE, 1, 0, 0, {key}, 0}}};
    DWORD written;
    WriteConsoleInputW(input, &event, 1, &written);
  };
  // One key pressed during the run, one after the prompt.
  press(L'a');
  std::thread later([&] {
    Sleep(500);
    press(L'b');
  });
  wait_for_key();
  later.join();
  DWORD left = 1;
  GetNumberOfConsoleInputEvents(input, &left);
  EXPECT_EQ(left, 0u);  // the first dropped, the second taken
}

}  // namespace
