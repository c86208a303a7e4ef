// The image files: what stands where an image goes, and what becomes of it.
#include "image.h"

#include <cerrno>

namespace {

// What becomes of what stands where an image goes.
enum fate { make_new, write_over, replace, refuse };

// The fate of |entry| while |archive| is read; errno set where it is
// refused.
fate fate_of(const fs_entry &entry, const file_id &archive) {
  switch (entry.kind) {
    case fs_nothing:
      return make_new;
    case fs_directory:
      errno = EISDIR;
      return refuse;
    case fs_regular:
      if (entry.links > 1)
        return replace;
      if (!fs_same_file(entry.id, archive))
        return write_over;
      errno = EEXIST;  // the archive, of no other name
      return refuse;
    default:  // a link or a special file
      return replace;
  }
}

// Closes |file|, which is of no more use, errno left as it is.
void close_quietly(fs_handle file) {
  int error = errno;
  fs_close(file);
  errno = error;
}

// Looks at an image's place at most this many times: once, and again each
// time another program changed it between the look and what followed.
const int looks = 4;

}  // namespace

fs_handle image_create(const char *name, const file_id &archive) {
  for (int look = 1;; look++) {
    fs_handle image = fs_create_new(name);
    if (image >= 0 || errno != EEXIST || look > looks)
      return image;
    fs_entry entry;
    if (fs_look(name, &entry) != 0)
      return -1;
    fate f = fate_of(entry, archive);
    if (f == write_over) {
      // What is open is judged, not what the name showed a moment before;
      // and what has changed since is looked at again.
      image = fs_open_old_image(name, &entry);
      if (image < 0) {
        f = errno == ENOENT || errno == ELOOP || errno == ENXIO ? make_new : refuse;
      } else {
        f = fate_of(entry, archive);
        if (f == write_over && fs_empty(image) == 0)
          return image;
        close_quietly(image);
        if (f == write_over)
          return -1;
      }
    }
    if (f == refuse)
      return -1;
    if (f == replace && fs_remove(name, entry.kind) != 0 && errno != ENOENT)
      return -1;
  }
}
