// The archive stream: an archive read forward through one buffer, the few
// seeks the layout makes mostly moves inside that buffer, and each image
// written to its file straight from it.
#ifndef VELDOR_STREAM_H_
#define VELDOR_STREAM_H_

#include <cstddef>
#include <cstdint>

#include "filesys.h"

/// An open archive.  The fields are the stream's own: use the functions.
struct archive_stream {
  fs_handle file;
  unsigned char *buffer;
  size_t capacity;
  int64_t base;         // file offset of buffer[0]
  size_t filled;        // bytes of the file held from buffer[0] on
  int64_t position;     // file offset of the next byte to read
  int64_t file_offset;  // where the file's own position stands
  bool failed;          // a read or seek failed, errno telling why: the
                        // stream is not to be read again
  file_id id;           // the archive's identity, when opened by name
};

/// Opens archive |name| in the current directory and starts |s| on it,
/// reading through the program's one buffer.  Returns 0, or -1 with errno
/// set.
int stream_open(archive_stream *s, const char *name);

/// Starts |s| on open |file| at offset 0, reading through |buffer| of
/// |capacity| bytes.
void stream_attach(archive_stream *s, fs_handle file, unsigned char *buffer,
                   size_t capacity);

/// Closes the archive's file.  Returns 0, or -1 with errno set.
int stream_close(archive_stream *s);

/// Moves to absolute |offset|.  No system call until the next read, which
/// fails (EINVAL) for an offset before the start of the file.
void stream_seek(archive_stream *s, int64_t offset);

/// Moves by |delta| from the current position, as stream_seek.
void stream_skip(archive_stream *s, int64_t delta);

/// The current position.
int64_t stream_tell(const archive_stream *s);

/// Reads one item of |size| bytes, at most the buffer's capacity, into
/// |data|.  Returns the count read: |size|, or fewer at the end of the file
/// or on a read error.  The item stays in the buffer, so a seek back over
/// it costs no system call.
size_t stream_read(archive_stream *s, void *data, size_t size);

/// Copies the next |length| (> 0) bytes to image file |image|, leaving the
/// stream right after them; an archive that ends first gives what it has.
/// The bytes are written straight from the buffer, each read once, whatever
/// |length| is.  Returns 0, or -1 with errno set on a read or write error.
int stream_copy(archive_stream *s, fs_handle image, int32_t length);

/// The identity of the archive's file, as stream_open found it.
const file_id *stream_file_id(const archive_stream *s);

/// True once a read or seek has failed.
bool stream_error(const archive_stream *s);

#endif  // VELDOR_STREAM_H_
