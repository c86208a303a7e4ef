// Copying one image entry out of an archive.
#ifndef VELDOR_COPY_H_
#define VELDOR_COPY_H_

#include <cstdint>

#include "archive.h"

/// Copies the next |length| (> 0) bytes of |archive| to image file |fd|,
/// leaving the stream right after them; an archive that ends first gives
/// what it has.  Returns 0, or -1 with errno set on a read or write error.
/// The bytes are written straight from the stream's buffer, each read
/// once, whatever |length| is.
int copy_entry(archive_stream *archive, int fd, int32_t length);

#endif  // VELDOR_COPY_H_
