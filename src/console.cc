// Formatted console output.
#include "console.h"

#include <cerrno>
#include <cstdarg>
#include <string>

#include "platform.h"

int console_printf(FILE *stream, const char *format, ...) {
  int saved = errno;
  va_list args, again;
  va_start(args, format);
  va_copy(again, args);
  // Messages fit here but for archive names near the platform's limit;
  // those get a buffer of their size.
  char text[256];
  int size = vsnprintf(text, sizeof text, format, args);
  va_end(args);
  int result = -1;
  if (size >= 0 && size_t(size) < sizeof text) {
    result = write_console(stream, text, size_t(size));
  } else if (size >= 0) {
    std::string long_text(size_t(size) + 1, '\0');
    vsnprintf(&long_text[0], long_text.size(), format, again);
    result = write_console(stream, long_text.data(), size_t(size));
  }
  va_end(again);
  errno = saved;
  return result;
}
