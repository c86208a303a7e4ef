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
  // Measured first: a name may be as long as the platform allows.  Kept
  // from one message to the next.
  static std::string text;
  text.assign(size_t(vsnprintf(nullptr, 0, shown, args)), '\0');
  va_end(args);
  vsnprintf(&text[0], text.size() + 1, shown, again);
  va_end(again);
  if (write_console(stream, text.data(), text.size()) != 0)
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
