// Formatted console output.
#include "console.h"

#include <cerrno>
#include <cstdarg>
#include <string>

#include "platform.h"

namespace {

// Later writes fail for the same reason, or the errno they leave is some
// other call's: only the first failure says what went wrong.
int first_error = 0;

// Notes a failure of the console, errno telling why, if it has one: the C
// library need not set it.
void console_failed() {
  if (first_error == 0)
    first_error = errno != 0 ? errno : EIO;
}

}  // namespace

void console_printf(FILE *stream, const char *format, ...) {
  int saved = errno;
  std::string converted;
  const char *shown = console_text(stream, format, &converted);
  va_list args, again;
  va_start(args, format);
  va_copy(again, args);
  // Kept from one message to the next: it grows for a message with a
  // name as long as the platform allows, once.
  static std::string text(256, '\0');
  size_t size = size_t(vsnprintf(&text[0], text.size(), shown, args));
  va_end(args);
  if (size >= text.size()) {
    text.resize(size + 1);
    vsnprintf(&text[0], text.size(), shown, again);
  }
  va_end(again);
  if (write_console(stream, text.data(), size) != 0)
    console_failed();
  errno = saved;
}

void console_flush(FILE *stream) {
  if (fflush(stream) != 0)
    console_failed();
}

int console_error() {
  return first_error;
}
