// Copying image entries from the archive's buffer.
#include "copy.h"

#include "platform.h"

int copy_entry(archive_stream *archive, int fd, int32_t length) {
  size_t left = size_t(length);
  while (left > 0) {
    const unsigned char *data;
    size_t got = archive_next(archive, left, &data);
    if (got == 0)
      return archive_error(archive) ? -1 : 0;
    if (write_image_data(fd, data, got) != 0)
      return -1;
    left -= got;
  }
  return 0;
}
