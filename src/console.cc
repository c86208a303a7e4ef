// Formatted console output.
#include "console.h"

#include <cerrno>
#include <cstdarg>

#include "terminal.h"

namespace {

// Later writes fail for the same reason, or the errno they leave is some
// other call's: only the first failure says what went wrong.
int first_error = 0;

// Notes a failure of the console, errno telling why if the failed call
// set it: the C library need not, and errno is cleared before each call.
void console_failed() {
  if (first_error == 0)
    first_error = errno != 0 ? errno : EIO;
}

// console_format with its arguments in |args|.  Leaves errno as it found
// it: asking whether the stream is a terminal may set it.
void append_formatted(FILE *stream, std::string *out, const char *format,
                      va_list args) {
  int saved = errno;
  std::string converted;
  const char *shown = term_text(stream, format, &converted);
  va_list again;
  va_copy(again, args);
  // Measured, then formatted in place after what |out| holds: a message
  // is written once per archive at most, and a name may be as long as
  // the platform allows.
  size_t size = size_t(vsnprintf(nullptr, 0, shown, args));
  size_t start = out->size();
  out->resize(start + size + 1);
  vsnprintf(&(*out)[start], size + 1, shown, again);
  va_end(again);
  out->resize(start + size);
  errno = saved;
}

}  // namespace

void console_printf(FILE *stream, const char *format, ...) {
  // Kept from one message to the next.
  static std::string text;
  text.clear();
  va_list args;
  va_start(args, format);
  append_formatted(stream, &text, format, args);
  va_end(args);
  console_write(stream, text);
}

void console_format(FILE *stream, std::string *out, const char *format, ...) {
  va_list args;
  va_start(args, format);
  append_formatted(stream, out, format, args);
  va_end(args);
}

void console_write(FILE *stream, const std::string &text) {
  int saved = errno;
  errno = 0;  // so that a failure that gives no reason is seen as such
  if (term_write(stream, text.data(), text.size()) != 0)
    console_failed();
  errno = saved;
}

void console_flush(FILE *stream) {
  errno = 0;
  if (fflush(stream) != 0)
    console_failed();
}

int console_error() {
  return first_error;
}
