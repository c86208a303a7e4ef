// The Windows layers' own decisions: which bytes are a name they can pass
// on, what a console shows, and when a double-clicked veldor waits.
#include "terminal-win32.h"

#include <cerrno>
#include <thread>

#include <windows.h>

#include "filesys.h"
#include "kit.h"
#include "terminal.h"
#include "win32.h"

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
      "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF",  // overlong U+07FF and U+FFFF
      "\xF4\x90\x80\x80",                  // past U+10FFFF
      "\xF5\x80\x80\x80", "\xFF",
  };
  static file_id id;
  static fs_entry entry;
  intptr_t (*const calls[])(const char *) = {
      [](const char *name) { return fs_open_archive(name, &id); },
      [](const char *name) { return fs_create_new(name); },
      [](const char *name) { return fs_open_old_image(name, &entry); },
      [](const char *name) -> intptr_t { return fs_look(name, &entry); },
      [](const char *name) -> intptr_t { return fs_remove(name, fs_regular); },
      [](const char *name) -> intptr_t { return fs_make_directory(name); },
      [](const char *name) -> intptr_t { return fs_enter_directory(name); }};
  for (const char *name : names) {
    for (auto call : calls) {
      errno = 0;
      EXPECT_EQ(call(name), -1) << name;
      EXPECT_EQ(errno, EINVAL) << name;
    }
    EXPECT_FALSE(fs_is_device(name)) << name;
    EXPECT_EQ(term_name(stdout, name, 13), name);  // shown as it is
  }
  // Windows names are UTF-16 whatever their surrogates: each converts to
  // UTF-8 and back, paired or not (a high one before another high one too).
  const std::wstring odd = L"\xD7FF\xDC00\xDC00\xD800\xDFFF\xDBFF\xDFFF\xDBFF\xE000\xD800\xDBFF\xDC00";
  std::wstring back;
  EXPECT_EQ(win32_utf8(odd.c_str()), "\xED\x9F\xBF\xED\xB0\x80\xED\xB0\x80\xF0\x90\x8F\xBF"
                                     "\xF4\x8F\xBF\xBF\xED\xAF\xBF\xEE\x80\x80\xED\xA0\x80\xF4\x8F\xB0\x80");
  EXPECT_TRUE(win32_wide(win32_utf8(odd.c_str()).c_str(), &back) && back == odd);
}

TEST(WindowsLayer, ReportsWritesThatFail) {
  EXPECT_EQ(fs_write(-1, "x", 1), -1);
  EXPECT_EQ(errno, EBADF);  // in Windows' words: ERROR_INVALID_HANDLE
  EXPECT_EQ(term_write(stdin, "x", 1), -1);  // a stream to read
}

// In a console of the test's own: tests/CMakeLists.txt runs these under a
// pseudo-terminal, where Wine gives the program one.
class WindowsConsole : public TempFolder {
  void SetUp() override {
    DWORD mode;
    bool console = GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode);
    if (!console && !getenv("VELDOR_CONSOLE_EXPECTED"))
      GTEST_SKIP() << "standard output is no console here";
    ASSERT_TRUE(console);
    term_setup();
    TempFolder::SetUp();
  }

 protected:
  // What the console holds in the row |up| rows above the cursor's,
  // trailing spaces left out.
  static std::wstring row(int up) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info;
    GetConsoleScreenBufferInfo(out, &info);
    std::wstring row(size_t(info.dwSize.X), L' ');
    DWORD read;
    SHORT y = SHORT(info.dwCursorPosition.Y - up);
    ReadConsoleOutputCharacterW(out, &row[0], DWORD(row.size()), {0, y}, &read);
    return row.substr(0, row.find_last_not_of(L' ') + 1);
  }
};

TEST_F(WindowsConsole, ShowsTextAndNamesAsThemselvesInAnyCodePage) {
  // In order: A<DEL><CSI>, Été, Łódź, 日本, U+FF5E, then U+10000 and
  // U+10FFFF (two UTF-16 units, one character, after U+FF5E as in UTF-8);
  // then the rows the console holds.
  const char *const names[] = {"A\x7F\xC2\x9B", "\xC3\x89t\xC3\xA9",
                               "\xC5\x81\xC3\xB3" "d\xC5\xBA",
                               "\xE6\x97\xA5\xE6\x9C\xAC", "\xEF\xBD\x9E",
                               "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF"};
  const std::wstring rows[] = {
      L"Traitement de A??.IXF      ...  1 fichier extrait.",
      L"Traitement de \u00C9t\u00E9.IXF      ...  1 fichier extrait.",
      L"Traitement de \u0141\u00F3d\u017A.IXF     ...  1 fichier extrait.",
      L"Traitement de \u65E5\u672C.IXF       ...  1 fichier extrait.",
      L"Traitement de \uFF5E.IXF        ...  1 fichier extrait.",
      L"Traitement de \U00010000.IXF        ...  1 fichier extrait.",
      L"Traitement de \U0010FFFF.IXF        ...  1 fichier extrait.",
      L"Ex\u00E9" L"cution achev\u00E9" L"e.",
  };
  for (const char *name : names)
    put(std::string(name) + ".IXF", make_archive({make_image(4, 4, 1)}));
  // As a person runs it: in the console's own code page, then after chcp
  // 65001 and chcp 850.
  run_options options;
  options.output = output_terminal;
  for (UINT code_page : {GetConsoleOutputCP(), 65001u, 850u}) {
    ASSERT_TRUE(SetConsoleOutputCP(code_page));
    EXPECT_EQ(run_program(VELDOR_PROGRAM, work_, options).status, 0);
    EXPECT_EQ(row(0), L"");  // the prompt on a line of its own
    for (int i = 0; i < 8; i++)
      EXPECT_EQ(row(8 - i), rows[i]) << "code page " << code_page;
  }
  // A console that fails: reported once all is done, in Windows' words.
  options.environment = {"VELDOR_FAULTS=WriteConsoleW:stdout@3=ERROR_INVALID_HANDLE"};
  EXPECT_EQ(run_program(VELDOR_FAULTS_PROGRAM, work_, options).status, 255);
  EXPECT_EQ(row(1), L"Error (VELDOR.EXE): Bad file descriptor");
  // Never so from the system: U+001F, lone surrogates (two low after
  // U+D7FF, a high before U+E000 and one at the end) around U+E000, U+103FF
  // and U+10FFFD, which show as themselves, as do a space and a no-break
  // space after the controls; bytes that are no UTF-8; and names wider
  // than their field.
  const char lone[] = "a\x1F\xED\x9F\xBF\xED\xB0\x80\xED\xB0\x80\xED\xA0\x80\xEE\x80\x80"
                      "\xF0\x90\x8F\xBF\xF4\x8F\xBF\xBD\xED\xA0\x80 \xC2\xA0";
  EXPECT_EQ(term_name(stdout, lone, 2),
            "a?\xED\x9F\xBF???\xEE\x80\x80\xF0\x90\x8F\xBF\xF4\x8F\xBF\xBD? \xC2\xA0");
  EXPECT_EQ(term_name(stdout, "\xFF" "a\x01", 4), "?a? ");
  // The C1 controls' ends (U+0080, U+009F) and the controls of the text's
  // direction, each beside what shows as itself (U+061B, U+061C, U+200D to
  // U+200F, U+202A, U+202E, U+202F, U+2066, U+2069, U+206A).
  EXPECT_EQ(term_name(stdout, "\xC2\x80\xC2\x9F\xD8\x9B\xD8\x9C\xE2\x80\x8D\xE2\x80\x8E\xE2\x80\x8F\xE2\x80\xAA"
                              "\xE2\x80\xAE\xE2\x80\xAF\xE2\x81\xA6\xE2\x81\xA9\xE2\x81\xAA", 0),
            "??\xD8\x9B?\xE2\x80\x8D????\xE2\x80\xAF??\xE2\x81\xAA");
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
  EXPECT_EQ(row(0), L"Appuyez sur une touche pour fermer la fen\u00EAtre.");
  DWORD left = 1;
  GetNumberOfConsoleInputEvents(input, &left);
  EXPECT_EQ(left, 0u);  // the first dropped, the second taken
}

}  // namespace
