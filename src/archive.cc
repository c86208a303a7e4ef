// Buffered archive reading over the platform's read and 64-bit seek.
#include "archive.h"

#include <cerrno>
#include <cstring>

#include "platform.h"

namespace {

// One buffer for the whole run: archives are read one at a time.  Large
// images move through it in few system calls; small ones are written from
// it a few hundred at a time.  It is the whole of veldor's memory for image
// data, whatever the size of the archive.
unsigned char run_buffer[512 * 1024];

// Bytes held in the buffer from the position on.
size_t available(const archive_stream *s) {
  if (s->position < s->base || s->position >= s->base + int64_t(s->filled))
    return 0;
  return size_t(s->base + int64_t(s->filled) - s->position);
}

// Makes at least |want| bytes (at most the capacity) available from the
// position, fewer only at the end of the file or on a read error; the
// bytes already held there move to the front of the buffer.  Returns the
// count available.
size_t fill(archive_stream *s, size_t want) {
  size_t keep = available(s);
  if (keep >= want)
    return keep;
  if (keep > 0)
    memmove(s->buffer, s->buffer + (s->position - s->base), keep);
  s->base = s->position;
  s->filled = keep;
  int64_t next = s->base + int64_t(keep);
  if (s->file_offset != next) {
    if (seek_file(s->fd, next) != 0) {
      s->file_offset = -1;
      s->failed = true;
      return keep;
    }
    s->file_offset = next;
  }
  while (s->filled < want) {
    long n = s->read(s->fd, s->buffer + s->filled, s->capacity - s->filled);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0) {
      s->failed = true;
      break;
    }
    if (n == 0)
      break;
    s->filled += size_t(n);
    s->file_offset += n;
  }
  return s->filled;
}

}  // namespace

void archive_attach(archive_stream *s, int fd, archive_read_fn read,
                    unsigned char *buffer, size_t capacity) {
  s->fd = fd;
  s->read = read;
  s->buffer = buffer;
  s->capacity = capacity;
  s->base = 0;
  s->filled = 0;
  s->position = 0;
  s->file_offset = 0;
  s->failed = false;
}

int archive_open(archive_stream *s, const char *name) {
  int fd = open_archive(name);
  if (fd < 0)
    return -1;
  archive_attach(s, fd, read_file, run_buffer, sizeof run_buffer);
  return 0;
}

int archive_close(archive_stream *s) {
  return close_file(s->fd);
}

int archive_seek(archive_stream *s, int64_t offset) {
  if (offset < 0) {
    errno = EINVAL;
    return -1;
  }
  s->position = offset;
  return 0;
}

int archive_skip(archive_stream *s, int64_t delta) {
  if (delta < 0 ? s->position < -delta : s->position > INT64_MAX - delta) {
    errno = EINVAL;
    return -1;
  }
  return archive_seek(s, s->position + delta);
}

int64_t archive_tell(const archive_stream *s) {
  return s->position;
}

int archive_getc(archive_stream *s) {
  if (fill(s, 1) == 0)
    return -1;
  return s->buffer[s->position++ - s->base];
}

size_t archive_read(archive_stream *s, void *data, size_t size) {
  size_t got = fill(s, size);
  if (got > size)
    got = size;
  memcpy(data, s->buffer + (s->position - s->base), got);
  s->position += int64_t(got);
  return got;
}

size_t archive_next(archive_stream *s, size_t most, const unsigned char **data) {
  size_t got = available(s);
  if (got == 0)
    got = fill(s, 1);
  if (got > most)
    got = most;
  *data = s->buffer + (s->position - s->base);
  s->position += int64_t(got);
  return got;
}

bool archive_error(const archive_stream *s) {
  return s->failed;
}
