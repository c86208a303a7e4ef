// Formatted output to the console streams.
#ifndef VELDOR_CONSOLE_H_
#define VELDOR_CONSOLE_H_

#include <cstdio>

/// printf to a console stream, line feeds going out as CR LF.  Leaves errno
/// as it found it, so that a failure's cause survives the messages written
/// before it is reported.  Returns 0, or -1 when the stream failed.
int console_printf(FILE *stream, const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

#endif  // VELDOR_CONSOLE_H_
