// Buffered archive reading over the file system's read and 64-bit seek.
#include "stream.h"

#include <algorithm>
#include <cstring>

namespace {

// One buffer for the whole run: archives are read one at a time.  Large
// images move through it in few system calls; small ones are written from
// it a few hundred at a time.  It is the whole of veldor's memory for image
// data, whatever the size of the archive.
unsigned char run_buffer[512 * 1024];

// Bytes held in the buffer from the position on.
size_t available(const archive_stream *s) {
  int64_t left = s->base + int64_t(s->filled) - s->position;
  return s->position < s->base ? 0 : size_t(std::max(left, int64_t(0)));
}

// Makes at least |want| bytes (at most the capacity) available from the
// position, fewer only at the end of the file or on a read error; the
// bytes already held there move to the front of the buffer.
void fill(archive_stream *s, size_t want) {
  size_t keep = available(s);
  if (keep >= want)
    return;
  memmove(s->buffer, s->buffer + (s->filled - keep), keep);
  s->base = s->position;
  s->filled = keep;
  int64_t next = s->base + int64_t(keep);
  if (s->file_offset != next) {
    if (fs_seek(s->file, next) != 0) {
      s->failed = true;
      return;
    }
    s->file_offset = next;
  }
  while (s->filled < want) {
    long n = fs_read(s->file, s->buffer + s->filled, s->capacity - s->filled);
    if (n < 0)
      s->failed = true;
    if (n <= 0)
      return;
    s->filled += size_t(n);
    s->file_offset += n;
  }
}

// Points |data| at the next bytes in the buffer, up to |most| of them,
// and moves past them; refills the buffer only when nothing is left in it.
// Returns the count: 0 at the end of the file or on a read error.
size_t next_bytes(archive_stream *s, size_t most, const unsigned char **data) {
  fill(s, 1);
  size_t got = std::min(available(s), most);
  *data = s->buffer + (s->position - s->base);
  s->position += int64_t(got);
  return got;
}

}  // namespace

void stream_attach(archive_stream *s, fs_handle file, unsigned char *buffer,
                   size_t capacity) {
  *s = archive_stream();  // at offset 0, nothing held, nothing failed
  s->file = file;
  s->buffer = buffer;
  s->capacity = capacity;
}

int stream_open(archive_stream *s, const char *name) {
  file_id id;
  fs_handle file = fs_open_archive(name, &id);
  if (file < 0)
    return -1;
  stream_attach(s, file, run_buffer, sizeof run_buffer);
  s->id = id;
  return 0;
}

int stream_close(archive_stream *s) {
  return fs_close(s->file);
}

void stream_seek(archive_stream *s, int64_t offset) {
  s->position = offset;
}

void stream_skip(archive_stream *s, int64_t delta) {
  s->position += delta;
}

int64_t stream_tell(const archive_stream *s) {
  return s->position;
}

size_t stream_read(archive_stream *s, void *data, size_t size) {
  fill(s, size);
  size_t got = std::min(available(s), size);
  memcpy(data, s->buffer + (s->position - s->base), got);
  s->position += int64_t(got);
  return got;
}

int stream_copy(archive_stream *s, fs_handle image, int32_t length) {
  size_t left = size_t(length);
  while (left > 0) {
    const unsigned char *data;
    size_t got = next_bytes(s, left, &data);
    if (got == 0)
      return stream_error(s) ? -1 : 0;
    if (fs_write(image, data, got) != 0)
      return -1;
    left -= got;
  }
  return 0;
}

const file_id *stream_file_id(const archive_stream *s) {
  return &s->id;
}

bool stream_error(const archive_stream *s) {
  return s->failed;
}
