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

// Notes a failure of the console, errno telling why.  Returns -1.
int console_failed() {
  if (first_error == 0)
    first_error = errno != 0 ? errno : EIO;
  return -1;
}

}  // namespace

int console_printf(FILE *stream, const char *format, ...) {
  int saved = errno;
  std::string converted;
  const char *shown = console_text(stream, format, &converted);
  va_list args, again;
  va_start(args, format);
  va_copy(again, args);
  // Messages fit here but for archive names near the platform's limit;
  // those get a buffer of their size.
  char text[256];
  int size = vsnprintf(text, sizeof text, shown, args);
  va_end(args);
  int result = -1;
  if (size >= 0 && size_t(size) < sizeof text) {
    result = write_console(stream, text, size_t(size));
  } else if (size >= 0) {
    std::string long_text(size_t(size) + 1, '\0');
    vsnprintf(&long_text[0], long_text.size(), shown, again);
    result = write_console(stream, long_text.data(), size_t(size));
  }
  va_end(again);
  if (result != 0)
    console_failed();
  errno = saved;
  return result;
}

int console_flush(FILE *stream) {
  int saved = errno;
  int result = fflush(stream) != 0 || ferror(stream) ? console_failed() : 0;
  errno = saved;
  return result;
}

int console_error() {
  return first_error;
}
