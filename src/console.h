// Formatted output to the console streams.
#ifndef VELDOR_CONSOLE_H_
#define VELDOR_CONSOLE_H_

#include <cstdio>

/// printf to a console stream, line feeds going out as CR LF.  |format| is
/// the tool's own text, in the DOS code page, and is converted for a
/// terminal that shows another character set; the arguments are written
/// as given.  A failure of the stream is noted for console_error.  Leaves
/// errno as it found it, so that a failure's cause survives the messages
/// written before it is reported.
void console_printf(FILE *stream, const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

/// Flushes a console stream; a failure is noted for console_error.
void console_flush(FILE *stream);

/// The errno of the first write that failed on a console stream since the
/// program started, or 0.
int console_error();

#endif  // VELDOR_CONSOLE_H_
