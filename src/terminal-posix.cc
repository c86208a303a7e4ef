// The terminal on POSIX systems.
#include "terminal.h"

#include <algorithm>
#include <clocale>
#include <csignal>
#include <cstring>
#include <cwchar>
#include <cwctype>

#include <iconv.h>
#include <langinfo.h>
#include <unistd.h>

namespace {

// From the DOS code page of the tool's text to the terminal's UTF-8, when
// the locale's character set, and so a terminal's, is UTF-8; (iconv_t)-1
// otherwise, where the text is left as it is.
iconv_t to_utf8 = iconv_t(-1);

// Standard output's buffer when redirected: glibc keeps its own size when
// setvbuf is given no buffer.
char stdout_buffer[512];

}  // namespace

void term_setup() {
  // A file size limit or a reader that went away makes the write fail
  // (EFBIG, EPIPE) instead of killing the run: the failure is then
  // reported, and images are never left cut short by a signal.
  signal(SIGXFSZ, SIG_IGN);
  signal(SIGPIPE, SIG_IGN);
  // The character set only; messages stay the system's English.
  setlocale(LC_CTYPE, "");
  if (strcmp(nl_langinfo(CODESET), "UTF-8") == 0)
    to_utf8 = iconv_open("UTF-8", "CP850");
  // Standard error is unbuffered from the start.
  if (isatty(STDOUT_FILENO))
    setbuf(stdout, nullptr);
  else
    setvbuf(stdout, stdout_buffer, _IOFBF, sizeof stdout_buffer);
}

bool term_is_console(FILE *stream) {
  return isatty(fileno(stream));
}

const char *term_text(FILE *stream, const char *text, std::string *converted) {
  if (to_utf8 == iconv_t(-1) || !term_is_console(stream))
    return text;
  // Every byte of the code page is a character, of at most three bytes
  // in UTF-8.
  size_t left = strlen(text), room = 3 * left;
  converted->resize(room);
  char *in = const_cast<char *>(text), *out = &(*converted)[0];
  iconv(to_utf8, &in, &left, &out, &room);
  converted->resize(converted->size() - room);
  return converted->c_str();
}

std::string term_name(FILE *stream, const char *name, int width) {
  if (!term_is_console(stream))
    return name;
  // As ls shows a name: what the locale cannot print could drive the
  // terminal (an escape sequence can clear it or colour it for good).
  std::string shown;
  int columns = 0;
  for (const char *p = name, *end = name + strlen(name); p < end;) {
    // Each character from the initial state, as a terminal's encoding has
    // no other (UTF-8, Latin-1, EUC-JP ...).
    mbstate_t state = mbstate_t();
    wchar_t c;
    size_t size = mbrtowc(&c, p, size_t(end - p), &state);
    if (size > size_t(end - p)) {  // (size_t)-1 or -2: a byte that is none
      size = 1;
      c = L'\0';
    }
    // What it may not print: controls, separators that end a line (U+2028),
    // unassigned characters, bytes that are none.  musl's C locale decodes
    // each byte past ASCII as U+DF80 to U+DFFF, a surrogate, which no
    // locale prints.  Nor what would reorder the line.
    if (!iswprint(wint_t(c)) || term_is_direction_control((unsigned long)c)) {
      shown += '?';
      columns++;
    } else {
      // The locale gives whatever it prints a width: 2 for CJK, 0 for a
      // combining accent.
      shown.append(p, size);
      columns += wcwidth(c);
    }
    p += size;
  }
  if (columns < width)
    shown.append(size_t(width - columns), ' ');
  return shown;
}

int term_write(FILE *stream, const char *text, size_t size) {
  const char *end = text + size, *line_feed = std::find(text, end, '\n');
  if (line_feed == end)  // a count, as most messages are
    return fwrite(text, 1, size, stream) == size ? 0 : -1;
  // Translated whole, so that an unbuffered console gets each message in
  // one write; kept from one message to the next.
  static std::string out;
  out.assign(text, line_feed);
  for (const char *p = line_feed; p < end; p = line_feed) {
    out.append("\r\n");
    line_feed = std::find(p + 1, end, '\n');
    out.append(p + 1, line_feed);
  }
  return fwrite(out.data(), 1, out.size(), stream) == out.size() ? 0 : -1;
}

void term_end() {}
