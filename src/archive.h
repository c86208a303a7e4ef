// The archive stream: an archive read forward through one buffer, with the
// few seeks the reader makes mostly moves inside that buffer.
#ifndef VELDOR_ARCHIVE_H_
#define VELDOR_ARCHIVE_H_

#include <cstddef>
#include <cstdint>

/// Reads up to |size| bytes of descriptor |fd| into |data|, as the
/// platform's read_file does.  Returns the count, 0 at the end, or -1 with
/// errno set.
typedef long (*archive_read_fn)(int fd, void *data, size_t size);

/// An open archive.  The fields are the stream's own: use the functions.
struct archive_stream {
  int fd;
  archive_read_fn read;
  unsigned char *buffer;
  size_t capacity;
  int64_t base;         // file offset of buffer[0]
  size_t filled;        // bytes of the file held from buffer[0] on
  int64_t position;     // file offset of the next byte to read
  int64_t file_offset;  // where the descriptor stands, -1 when unknown
  bool failed;          // a read or seek failed; errno told why
};

/// Opens archive |name| in the current directory and starts |s| on it,
/// reading through the program's one buffer.  Returns 0, or -1 with errno
/// set.
int archive_open(archive_stream *s, const char *name);

/// Starts |s| on open descriptor |fd| at offset 0, reading with |read|
/// through |buffer| of |capacity| bytes.
void archive_attach(archive_stream *s, int fd, archive_read_fn read,
                    unsigned char *buffer, size_t capacity);

/// Closes the archive's descriptor.  Returns 0, or -1 with errno set.
int archive_close(archive_stream *s);

/// Moves to absolute |offset|.  No system call
/// until the next read.  Returns 0, or -1 (EINVAL) for a negative offset.
int archive_seek(archive_stream *s, int64_t offset);

/// Moves by |delta| from the current position, as archive_seek.
int archive_skip(archive_stream *s, int64_t delta);

/// The current position.
int64_t archive_tell(const archive_stream *s);

/// The next byte, or -1 at the end of the file or on a read error.
int archive_getc(archive_stream *s);

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
