// Copying one image entry out of an archive.
#ifndef VELDOR_COPY_H_
#define VELDOR_COPY_H_

#include <cstdint>

#include "archive.h"

/// Results of copy_entry.
enum { copy_done = 0, copy_cut_short = 1, copy_failed = -1 };

/// Copies the next |length| bytes of |archive| to image file |fd|, leaving
/// the stream right after them.  Returns copy_done, or copy_cut_short when
/// the archive ended first (everything it had is written), or copy_failed
/// with errno set on a read or write error.  The bytes are written straight
/// from the stream's buffer, each read once, whatever |length| is.
int copy_entry(archive_stream *archive, int fd, int32_t length);

#endif  // VELDOR_COPY_H_
