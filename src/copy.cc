// Copying image entries: in the kernel when they are large and the system
// can, through a block buffer otherwise.
#include "copy.h"

#include "platform.h"

namespace {

// Below this an entry mostly sits in the stream's buffer already, and one
// write from there is cheaper than the system calls of a kernel copy.
const long kernel_copy_threshold = 64 * 1024;

// Large enough that system calls cost little next to the bytes they move;
// never a whole image.
char copy_buffer[64 * 1024];

}  // namespace

int copy_entry(FILE *archive, int fd, int32_t length) {
  long left = length;
  if (left >= kernel_copy_threshold) {
    long copied = copy_in_kernel(archive, fd, left);
    if (copied < 0)
      return copy_failed;
    left -= copied;
  }
  while (left > 0) {
    size_t want = size_t(left) < sizeof copy_buffer ? size_t(left)
                                                     : sizeof copy_buffer;
    size_t got = fread(copy_buffer, 1, want, archive);
    if (got > 0 && write_image_data(fd, copy_buffer, got) != 0)
      return copy_failed;
    if (got < want)
      return ferror(archive) ? copy_failed : copy_cut_short;
    left -= long(got);
  }
  return copy_done;
}
