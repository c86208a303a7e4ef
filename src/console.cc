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
  int size = vsnprintf(nullptr, 0, format, args);
  va_end(args);
  int result = -1;
  if (size >= 0) {
    // Sized to the text: an archive name is as long as the platform allows.
    std::string text(size_t(size) + 1, '\0');
    vsnprintf(&text[0], text.size(), format, again);
    result = write_console(stream, text.data(), size_t(size));
  }
  va_end(again);
  errno = saved;
  return result;
}
