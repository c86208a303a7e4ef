// Copying image entries through one block buffer.
#include "copy.h"

#include "platform.h"

namespace {

// Large images move in few system calls (as fast as cp moves a whole
// archive, measured), small ones in one write.  The buffer is the whole of
// veldor's memory for image data, whatever the size of the archive.
char copy_buffer[512 * 1024];

}  // namespace

int copy_entry(FILE *archive, int fd, int32_t length) {
  size_t left = size_t(length);
  while (left > 0) {
    size_t want = left < sizeof copy_buffer ? left : sizeof copy_buffer;
    size_t got = fread(copy_buffer, 1, want, archive);
    if (got > 0 && write_image_data(fd, copy_buffer, got) != 0)
      return copy_failed;
    if (got < want)
      return ferror(archive) ? copy_failed : copy_cut_short;
    left -= got;
  }
  return copy_done;
}
