// The image files: what becomes of whatever stands where an image goes,
// decided here for every platform from what the file system's layer looks
// up; the layers only look, open, remove and create.
#ifndef VELDOR_IMAGE_H_
#define VELDOR_IMAGE_H_

#include "filesys.h"

/// Opens image file |name| in the current directory for writing, empty,
/// while |archive| is read: a new file where nothing stands; a regular file
/// of this one name that is not the archive, written over in place, so that
/// its mode and attributes stay; and in place of anything else a new file,
/// the name removed first, so that whatever else leads there keeps its
/// bytes: a link, a file with other names (the archive's too), a FIFO, a
/// socket or a device.  A directory there is EISDIR; the archive itself,
/// where this is its only name (it was reached through a link), EEXIST, as
/// replacing it would lose it.  A place that another program changes
/// meanwhile is looked at again, a few times, and then EEXIST.  Returns
/// the image's handle, or -1 with errno set.
fs_handle image_create(const char *name, const file_id &archive);

#endif  // VELDOR_IMAGE_H_
