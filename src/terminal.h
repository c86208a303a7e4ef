// The console streams as a person reads them: whether one is a terminal
// (a console on Windows), and what it is given there.  terminal-posix.cc
// and terminal-win32.cc are behind this header.  Files and pipes get the
// tool's exact bytes; only what a person reads is converted.
//
// The calls but term_name have C linkage, so that the tests'
// fault-injection build can put a stand-in in front of them.
#ifndef VELDOR_TERMINAL_H_
#define VELDOR_TERMINAL_H_

#include <cstddef>
#include <cstdio>
#include <string>

extern "C" {

/// Sets the console streams up for the run.
void term_setup();

/// True when |stream| is a terminal or console that a person reads.
bool term_is_console(FILE *stream);

/// The tool's own text |text|, written in the DOS code page, as |stream|
/// is to receive it: |text| itself for files and pipes, or its conversion,
/// held in |converted| (given empty), for a terminal or console that shows
/// another character set.
const char *term_text(FILE *stream, const char *text, std::string *converted);

/// Writes |size| bytes of text to a console stream, each line feed as the
/// two bytes CR LF and every other byte unchanged.  Returns 0, or -1 with
/// errno set.
int term_write(FILE *stream, const char *text, size_t size);

/// Called last, when everything is written: lets a person read a console
/// window that would close with the program.
void term_end();

}  // extern "C"

/// File name |name| as |stream| is to show it in a field |width| wide.  On
/// a terminal or console each character that cannot be shown as itself is
/// "?" (on POSIX what the locale cannot print, on Windows controls and lone
/// surrogates, and on both the controls of the text's direction), and the
/// name is padded to |width| columns, or characters where the system tells
/// no widths.  A file or pipe gets the name's own
/// bytes (on Windows, in the DOS code page), which a "%-*s" then pads by
/// bytes.
std::string term_name(FILE *stream, const char *name, int width);

/// True for the characters that set the direction of the text after them
/// (U+061C, U+200E, U+200F, U+202A to U+202E, U+2066 to U+2069): shown
/// raw, a name's could rearrange the line it stands in on a terminal that
/// orders text by the bidirectional algorithm.
inline bool term_is_direction_control(unsigned long c) {
  return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2066 && c <= 0x2069);
}

#endif  // VELDOR_TERMINAL_H_
