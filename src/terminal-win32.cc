// The console on Windows.  A console shows characters, not bytes: it is
// given UTF-16, which shows every name and the tool's text alike in any
// console code page (chcp 437, 850, 1252 or 65001).  Text on its way
// there is held in UTF-8.  Files and pipes get the tool's bytes.
#include "terminal.h"
#include "terminal-win32.h"

#include <cerrno>
#include <cstring>

#include <conio.h>
#include <fcntl.h>
#include <io.h>

#include "win32.h"

namespace {

// True when a console shows standard output.  Standard error carries the
// fatal report alone, all ASCII, which the runtime writes as a console
// shows it.
bool stdout_is_console;

// Standard output's buffer when redirected.
char stdout_buffer[512];

// The code page of the tool's own texts: é is 0x82 in it.
const UINT text_code_page = 850;

// |text|, in code page |from|, in UTF-16.
std::wstring wide_in(const char *text, UINT from) {
  int length = int(strlen(text));
  int size = MultiByteToWideChar(from, 0, text, length, nullptr, 0);
  std::wstring wide(size_t(size), L'\0');
  MultiByteToWideChar(from, 0, text, length, &wide[0], size);
  return wide;
}

// |wide| in code page |to|, a character it cannot hold written "?".
std::string narrow_of(const std::wstring &wide, UINT to) {
  bool utf8 = to == CP_UTF8;
  DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const char *fallback = utf8 ? nullptr : "?";
  int size = WideCharToMultiByte(to, flags, wide.data(), int(wide.size()),
                                 nullptr, 0, fallback, nullptr);
  std::string out(size_t(size), '\0');
  WideCharToMultiByte(to, flags, wide.data(), int(wide.size()), &out[0], size,
                      fallback, nullptr);
  return out;
}

// True for the characters that a console takes as commands rather than
// shows (C0 and C1 controls, DEL), and those that would reorder the line,
// which term_name shows as "?".
bool is_control(wchar_t c) {
  return c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0) || term_is_direction_control(c);
}

// True when |stream| is standard output and a console shows it.
bool on_console(FILE *stream) {
  return stream == stdout && stdout_is_console;
}

bool handle_is_console(DWORD which) {
  DWORD mode;
  return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

}  // namespace

bool waits_for_key(unsigned long processes, bool input_is_console,
                   bool output_is_console, bool window_visible) {
  return processes == 1 && input_is_console && output_is_console &&
         window_visible;
}

void term_setup() {
  // Text mode whatever the parent handed down: the runtime then writes
  // each line feed as CR LF.
  _setmode(_fileno(stdout), _O_TEXT);
  _setmode(_fileno(stderr), _O_TEXT);
  stdout_is_console = handle_is_console(STD_OUTPUT_HANDLE);
  // Redirected, standard output goes out in blocks; a console is written
  // to directly (term_write), never through the stream's buffer.
  // Standard error is unbuffered from the start.
  setvbuf(stdout, stdout_buffer, _IOFBF, sizeof stdout_buffer);
}

bool term_is_console(FILE *stream) {
  return on_console(stream);
}

const char *term_text(FILE *stream, const char *text, std::string *converted) {
  if (!on_console(stream))
    return text;
  *converted = narrow_of(wide_in(text, text_code_page), CP_UTF8);
  return converted->c_str();
}

std::string term_name(FILE *stream, const char *name, int width) {
  std::wstring wide;
  bool utf8 = win32_wide(name, &wide);
  // A file or pipe gets it in the DOS code page, like the text around it.
  if (!on_console(stream))
    return utf8 ? narrow_of(wide, GetOEMCP()) : name;
  if (!utf8)  // never so from the system: each byte past ASCII a "?"
    for (const char *p = name; *p; p++)
      wide.push_back(*p & 0x80 ? L'?' : wchar_t(*p));
  std::wstring shown;
  int characters = 0;
  for (size_t i = 0; i < wide.size(); i++, characters++) {
    wchar_t c = wide[i];
    // wide[wide.size()] is its terminating NUL, which ends no pair.
    bool pair = c >= 0xD800 && c < 0xDC00 && wide[i + 1] >= 0xDC00 &&
                wide[i + 1] < 0xE000;
    if (pair) {
      shown.append(wide, i++, 2);
    } else if (is_control(c) ||
               (c >= 0xD800 && c < 0xE000)) {  // a lone surrogate too
      shown.push_back(L'?');
    } else {
      shown.push_back(c);
    }
  }
  if (characters < width)
    shown.append(size_t(width - characters), L' ');
  return narrow_of(shown, CP_UTF8);
}

int term_write(FILE *stream, const char *text, size_t size) {
  if (!on_console(stream)) {
    // In text mode: the runtime writes each line feed as CR LF itself,
    // and every other byte as it is.
    return fwrite(text, 1, size, stream) == size ? 0 : -1;
  }
  // UTF-8 gives at most one UTF-16 unit per byte.
  static std::wstring wide, lines;
  wide.resize(size);
  int length = int(size);
  wide.resize(size_t(MultiByteToWideChar(CP_UTF8, 0, text, length, &wide[0], length)));
  lines.clear();
  for (wchar_t c : wide) {
    if (c == L'\n')
      lines.push_back(L'\r');
    lines.push_back(c);
  }
  // A console takes all of a message at once.
  DWORD written;
  if (!WriteConsoleW(GetStdHandle(STD_OUTPUT_HANDLE), lines.data(),
                     DWORD(lines.size()), &written, nullptr)) {
    errno = win32_errno(GetLastError());
    return -1;
  }
  return 0;
}

void wait_for_key() {
  // A key pressed during the run is no answer to a prompt not yet shown.
  FlushConsoleInputBuffer(GetStdHandle(STD_INPUT_HANDLE));
  std::string converted;
  const char *prompt = term_text(
      stdout, "\nAppuyez sur une touche pour fermer la fen\x88tre.", &converted);
  term_write(stdout, prompt, strlen(prompt));
  _getch();
}

void term_end() {
  // A double-clicked veldor has a console window of its own, which closes
  // with it: the last message would be gone before anyone read it.
  DWORD processes[2];
  HWND window = GetConsoleWindow();
  if (waits_for_key(GetConsoleProcessList(processes, ARRAYSIZE(processes)),
                    handle_is_console(STD_INPUT_HANDLE), stdout_is_console,
                    window != nullptr && IsWindowVisible(window)))
    wait_for_key();
}
