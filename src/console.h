// Formatted output to the console streams.
#ifndef VELDOR_CONSOLE_H_
#define VELDOR_CONSOLE_H_

#include <cstdio>
#include <string>

#if defined(__GNUC__)
#define VELDOR_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#define VELDOR_PRINTF(f, a)
#endif

/// printf to a console stream, line feeds going out as CR LF.  |format| is
/// the tool's own text, in the DOS code page, and is converted for a
/// terminal that shows another character set; the arguments are written
/// as given.  A failure of the stream is noted for console_error.  Leaves
/// errno as it found it, so that a failure's cause survives the messages
/// written before it is reported.
void console_printf(FILE *stream, const char *format, ...) VELDOR_PRINTF(2, 3);

/// Appends to |out| what console_printf would write to |stream|, before
/// its line feeds become CR LF: text made once and written many times.
/// Leaves errno as it found it.
void console_format(FILE *stream, std::string *out, const char *format, ...)
    VELDOR_PRINTF(3, 4);

/// Writes |text|, made by console_format for |stream|, as console_printf
/// writes, errno left as it was.
void console_write(FILE *stream, const std::string &text);

/// Flushes a console stream; a failure is noted for console_error.
void console_flush(FILE *stream);

/// The errno of the first write that failed on a console stream since the
/// program started, or 0.
int console_error();

#endif  // VELDOR_CONSOLE_H_
