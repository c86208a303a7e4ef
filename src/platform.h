// The few things veldor needs from the system it runs on.  Everything
// above this header is the same on every platform; each platform has its
// own platform-*.cc behind it.  Names are bytes on POSIX and UTF-8 on
// Windows, where the platform layer converts them at each call.
//
// The calls have C linkage, so that a test build can put a stand-in in
// front of any of them at link time (platform-faults.cc) while the code
// above runs unchanged.
#ifndef VELDOR_PLATFORM_H_
#define VELDOR_PLATFORM_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern "C" {

/// Appends to |names| the plain files of the current directory: regular
/// files, not directories, not hidden files, and not the special files
/// (FIFOs, sockets, devices) whose opening could stall the run.  Returns 0,
/// or -1 with errno set.  A failure part-way ends the list there.
int list_plain_files(std::vector<std::string> *names);

/// Opens regular file |name| for reading.  Returns a descriptor, or -1 with
/// errno set.
int open_archive(const char *name);

/// Reads up to |size| bytes into |data|.  Returns the count, 0 at the end
/// of the file, or -1 with errno set.
long read_file(int fd, void *data, size_t size);

/// Moves descriptor |fd| to absolute |offset|, in 64 bits everywhere.
/// Returns 0, or -1 with errno set.
int seek_file(int fd, int64_t offset);

/// Closes a descriptor.  Returns 0, or -1 with errno set.
int close_file(int fd);

/// Creates directory |name| in the current directory.  Returns 0, or -1
/// with errno set.
int make_directory(const char *name);

/// Makes |name| the current directory, remembering the one it leaves so
/// that leave_directory can come back to exactly it, even when ".." leads
/// elsewhere (|name| may be a symbolic link).  One level only: each
/// successful call is to be followed by leave_directory.  Returns 0, or -1
/// with errno set and the current directory unchanged.
int enter_directory(const char *name);

/// Returns to the directory that the last enter_directory left.  Returns 0,
/// or -1 with errno set.
int leave_directory();

/// What tells one directory from another, whatever the names leading to
/// it: device and inode, or volume and file index.
struct directory_id {
  uint64_t volume;
  uint64_t file;
};

/// The identity of the current directory.  Returns 0, or -1 with errno set.
int current_directory_id(directory_id *id);

/// Creates or truncates image file |name| in the current directory for
/// writing.  On POSIX only a regular file is ever written into: a link, a
/// FIFO, a socket or a device standing there is removed and a new file
/// made in its place; a directory there is EISDIR.  Returns a descriptor,
/// or -1 with errno set.
int create_image_file(const char *name);

/// Writes all |size| bytes of |data| to |fd|.  Returns 0, or -1 with errno set.
int write_image_data(int fd, const void *data, size_t size);

/// Sets the console streams up for the run.
void setup_console();

/// True when |stream| is a terminal or console that a person reads.
bool console_is_terminal(FILE *stream);

/// The tool's own text |text|, written in the DOS code page, as |stream|
/// is to receive it: |text| itself for files and pipes, or its conversion,
/// held in |converted| (given empty), for a terminal or console that shows
/// another character set.
const char *console_text(FILE *stream, const char *text, std::string *converted);

/// Writes |size| bytes of text to a console stream, each line feed as the
/// two bytes CR LF and every other byte unchanged.  Returns 0, or -1 with
/// errno set.
int write_console(FILE *stream, const char *text, size_t size);

/// Called last, when everything is written: lets a person read a console
/// window that would close with the program.
void end_console();

}  // extern "C"

/// File name |name| as |stream| is to show it in a field |width| wide.  On
/// a terminal or console each character that cannot be shown as itself
/// (controls, bytes that are no character) is "?", and the name is padded
/// to |width| columns, or characters where the system tells no widths.  A
/// file or pipe gets the name's own bytes (on Windows, in the DOS code
/// page), which a "%-*s" then pads by bytes.
std::string console_name(FILE *stream, const char *name, int width);

/// True for the characters that a terminal takes as commands rather than
/// shows (C0 and C1 controls, DEL: cursor moves, bells, escape sequences),
/// which console_name shows as "?".
inline bool is_control_character(unsigned long c) {
  return c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0);
}

#endif  // VELDOR_PLATFORM_H_
