// The archive stream: an archive read forward through one buffer, with the
// few seeks the reader makes mostly moves inside that buffer.
#ifndef VELDOR_ARCHIVE_H_
#define VELDOR_ARCHIVE_H_

#include <cstddef>
#include <cstdint>

/// An open archive.  The fields are the stream's own: use the functions.
struct archive_stream {
  int fd;
  unsigned char *buffer;
  size_t capacity;
  int64_t base;         // file offset of buffer[0]
  size_t filled;        // bytes of the file held from buffer[0] on
  int64_t position;     // file offset of the next byte to read
  int64_t file_offset;  // where the descriptor stands
  bool failed;          // a read or seek failed, errno telling why: the
                        // stream is not to be read again
};

/// Opens archive |name| in the current directory and starts |s| on it,
/// reading through the program's one buffer.  Returns 0, or -1 with errno
/// set.
int archive_open(archive_stream *s, const char *name);

/// Starts |s| on open descriptor |fd| at offset 0, reading through
/// |buffer| of |capacity| bytes.
void archive_attach(archive_stream *s, int fd, unsigned char *buffer,
                    size_t capacity);

/// Closes the archive's descriptor.  Returns 0, or -1 with errno set.
int archive_close(archive_stream *s);

/// Moves to absolute |offset|.  No system call until the next read, which
/// fails (EINVAL) for an offset before the start of the file.
void archive_seek(archive_stream *s, int64_t offset);

/// Moves by |delta| from the current position, as archive_seek.
void archive_skip(archive_stream *s, int64_t delta);

/// The current position.
int64_t archive_tell(const archive_stream *s);

/// Reads one item of |size| bytes, at most the buffer's capacity, into
/// |data|.  Returns the count read: |size|, or fewer at the end of the file
/// or on a read error.  The item stays in the buffer, so a seek back over
/// it costs no system call.
size_t archive_read(archive_stream *s, void *data, size_t size);

/// Points |data| at the next bytes in the buffer, up to |most| of them,
/// and moves past them; refills the buffer only when nothing is left in it.
/// Returns the count: 0 at the end of the file or on a read error.
size_t archive_next(archive_stream *s, size_t most, const unsigned char **data);

/// True once a read or seek has failed.
bool archive_error(const archive_stream *s);

#endif  // VELDOR_ARCHIVE_H_
