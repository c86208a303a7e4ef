// The few things veldor needs from the system it runs on.  Everything
// above this header is the same on every platform; each platform has its
// own platform-*.cc behind it.
#ifndef VELDOR_PLATFORM_H_
#define VELDOR_PLATFORM_H_

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

/// Fills |names| with the plain files of the current directory: regular
/// files, not directories, not hidden files, and not the special files
/// (FIFOs, sockets, devices) whose opening could stall the run.  Returns 0,
/// or -1 with errno set.  A failure part-way ends the list there.
int list_plain_files(std::vector<std::string> *names);

/// Opens an archive for buffered binary reading.  Returns null with errno set.
FILE *open_archive(const char *name);

/// Creates directory |name| in the current directory.  Returns 0, or -1
/// with errno set.
int make_directory(const char *name);

/// Makes |name| the current directory, remembering the one it leaves so
/// that leave_directory can come back to it even when ".." leads elsewhere
/// (|name| may be a symbolic link).  One level only.  Returns 0, or -1 with
/// errno set and the current directory unchanged.
int enter_directory(const char *name);

/// Returns to the directory that the last enter_directory left.  Returns 0,
/// or -1 with errno set.
int leave_directory();

/// Creates or truncates image file |name| in the current directory for
/// writing.  A symbolic link, or a FIFO that nothing reads, standing in its
/// place is replaced by a new regular file, never written through.  Returns
/// a descriptor, or -1 with errno set.
int create_image_file(const char *name);

/// Writes all |size| bytes of |data| to |fd|.  Returns 0, or -1 with errno set.
int write_image_data(int fd, const void *data, size_t size);

/// Closes an image file.  Returns 0, or -1 with errno set.
int close_image_file(int fd);

/// Sets the console streams up: standard error unbuffered, standard output
/// unbuffered on a terminal and written in 512-byte blocks otherwise.
void setup_console();

/// Writes |size| bytes of text to a console stream, each line feed as the
/// two bytes CR LF and every other byte unchanged.  Returns 0, or -1 with
/// errno set.
int write_console(FILE *stream, const char *text, size_t size);

#endif  // VELDOR_PLATFORM_H_
