// Copying image entries from the archive's buffer.
#include "copy.h"

#include "platform.h"

int copy_entry(archive_stream *archive, int fd, int32_t length) {
  size_t left = length > 0 ? size_t(length) : 0;
  while (left > 0) {
    const unsigned char *data;
    size_t got = archive_next(archive, left, &data);
    if (got == 0)
      return archive_error(archive) ? copy_failed : copy_cut_short;
    if (write_image_data(fd, data, got) != 0)
      return copy_failed;
    left -= got;
  }
  return copy_done;
}
